// The main window's controls, their layout and initial state, and its window events.
#include "app/Unit1.h"

#include <pwd.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QStyle>
#include <QStyleFactory>

#include "app/core/form_logic.h"
#include "app/digest_box.h"
#include "app/log_colour.h"
#include "app/window_font.h"

namespace {

// The progress bar steps once per block. Its hidden percentage text would still be
// formatted on every step; nothing shows it, so it is left empty.
class BlockProgressBar : public QProgressBar {
 public:
  using QProgressBar::QProgressBar;
  QString text() const override { return isTextVisible() ? QProgressBar::text() : QString(); }
};

constexpr int kClientWidth = 610;
constexpr int kClientHeight = 600;
constexpr int kLogLeft = 8;
constexpr int kLogTop = 186;
constexpr int kLogPitch = 13;

// The home folder from the password database, not from the environment.
std::string StatusFilePath() {
  const passwd* entry = getpwuid(getuid());
  if (entry == nullptr || entry->pw_dir == nullptr)
    return "";
  return std::string(entry->pw_dir) + "/status.txt";
}

QColor ToQColor(Rgb c) {
  return QColor(c.r, c.g, c.b);
}

// A log row has no background of its own: its colour is chosen against the window's face.
QColor LogQColor(const QWidget& form, LogColour colour) {
  const QColor face = form.palette().color(QPalette::Window);
  const auto channel = [](int value) { return static_cast<unsigned char>(value); };
  return ToQColor(
      LogRgb(colour, {channel(face.red()), channel(face.green()), channel(face.blue())}));
}

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      systemPalette_(QApplication::palette()),
      ctx(*this) {
  static_assert(kControlCount == 24);
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Flash Programmator (One flash) v2.5"));
  setFixedSize(kClientWidth, kClientHeight);

  QPalette face = palette();
  face.setColor(QPalette::Window, systemPalette_.color(QPalette::Button));
  setPalette(face);
  setAutoFillBackground(true);

  CreateControls();
  SetWindowFont(WindowFont());
  CreateLogRows();
  SetTabOrder();
  ConnectHandlers();
  btnStart->setFocus();

  ctx.statusPath = StatusFilePath();
  ctx.log.SetObserver([this](int row) {
    if (row == EventLog::kAllRows) {
      for (int i = 0; i < EventLog::kRows; ++i) ShowLogRow(i);
    } else {
      ShowLogRow(row);
    }
  });
}

TForm1::~TForm1() {
  ctx.log.SetObserver(nullptr);
}

void TForm1::SetWindowFont(const QFont& font) {
  setFont(font);
  QFont bold = font;
  bold.setBold(true);
  btnCancel->setFont(bold);
  // Labels are as large as their text in the new face.
  for (QLabel* label : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
    label->adjustSize();
}

template <typename W>
W* TForm1::Place(Control control, const char* name, const QRect& geometry) {
  W* widget = new W(this);
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(geometry);
  controls_[static_cast<size_t>(control)] = widget;
  return widget;
}

// A caption label at its place, as wide and high as its text.
void TForm1::PlaceLabel(Control control, const char* name, const char* caption, int left, int top) {
  QLabel* label = Place<QLabel>(control, name, QRect(left, top, 0, 0));
  label->setTextFormat(Qt::PlainText);
  label->setText(QString::fromLatin1(caption));
  label->adjustSize();
}

void TForm1::CreateControls() {
  btnStart = Place<QPushButton>(Control::btnStart, "btnStart", {498, 8, 105, 25});
  btnStart->setText(QStringLiteral("Start"));

  btnCancel = Place<QPushButton>(Control::btnCancel, "btnCancel", {498, 8, 105, 25});
  btnCancel->setText(QStringLiteral("Cancel"));
  SetTextColour(Control::btnCancel, Rgb{255, 0, 0});
  btnCancel->hide();

  CheckBox1 = Place<QCheckBox>(Control::CheckBox1, "CheckBox1", {8, 8, 17, 17});
  CheckBox2 = Place<QCheckBox>(Control::CheckBox2, "CheckBox2", {8, 29, 81, 17});
  CheckBox2->setText(QStringLiteral("Erase FLASH"));
  CheckBox3 = Place<QCheckBox>(Control::CheckBox3, "CheckBox3", {8, 51, 81, 17});
  CheckBox3->setText(QStringLiteral("Write FLASH"));

  btnExit = Place<QPushButton>(Control::btnExit, "btnExit", {498, 39, 105, 25});
  btnExit->setText(QStringLiteral("E&xit"));  // the mnemonic gives Alt+X

  ProgressBar1 = Place<BlockProgressBar>(Control::ProgressBar1, "ProgressBar1", {3, 589, 600, 9});
  // The plain chunked bar repaints in a fraction of the time of a gradient style, which
  // matters because a read repaints it as it grows, block after block.
  if (QStyle* plain = QStyleFactory::create(QStringLiteral("Windows"))) {
    plain->setParent(ProgressBar1);
    ProgressBar1->setStyle(plain);
  }
  ProgressBar1->setRange(0, 2048);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setAccessibleName(QStringLiteral("Progress"));

  struct EditBoxPlace {
    Control control;
    const char* name;
    QRect geometry;
    bool enabled;
    bool readOnly;
    const char* caption;  // of the label beside it, which names it to a screen reader
  };
  const EditBoxPlace editBoxes[] = {
      {Control::MD5_result, "MD5_result", {224, 8, 241, 21}, false, true, "Last read MD5"},
      {Control::MD5_check, "MD5_check", {224, 96, 241, 21}, false, false, "MD5"},
      {Control::SHA1_check, "SHA1_check", {224, 120, 241, 21}, false, false, "SHA-1"},
      {Control::SHA1_result, "SHA1_result", {224, 29, 241, 21}, false, true, "Last read SHA-1"},
      {Control::CRC_check, "CRC_check", {224, 144, 241, 21}, false, false, "AGI CRC"},
      {Control::CRC_result, "CRC_result", {224, 50, 241, 21}, true, false, "Last read CRC AGI"},
  };
  for (const EditBoxPlace& e : editBoxes) {
    DigestBox* box = Place<DigestBox>(e.control, e.name, e.geometry);
    box->setEnabled(e.enabled);
    box->setReadOnly(e.readOnly);
    box->setAccessibleName(QString::fromLatin1(e.caption));
    SetBackground(e.control, SystemColour::ScrollBar);
  }

  RadioButton1 = Place<QRadioButton>(Control::RadioButton1, "RadioButton1", {121, 75, 49, 17});
  RadioButton1->setText(QStringLiteral("Auto"));
  RadioButton2 = Place<QRadioButton>(Control::RadioButton2, "RadioButton2", {121, 98, 63, 17});
  RadioButton2->setText(QStringLiteral("Manual"));

  Button1 = Place<QPushButton>(Control::Button1, "Button1", {25, 7, 81, 20});
  SetText(Control::Button1, "Read FLASH");  // also names CheckBox1, which it labels

  isSharp = Place<QCheckBox>(Control::isSharp, "isSharp", {546, 101, 57, 17});
  isSharp->setText(QStringLiteral("isSharp"));
  isSharp->setEnabled(false);
  isSharp->hide();

  Button2 = Place<QPushButton>(Control::Button2, "Button2", {498, 70, 100, 25});
  Button2->setText(QStringLiteral("Test!"));
  Button2->setEnabled(false);
  Button2->hide();

  PlaceLabel(Control::Label1, "Label1", "Last read MD5", 121, 11);
  PlaceLabel(Control::Label2, "Label2", "Last read SHA-1", 121, 31);
  PlaceLabel(Control::Label33, "Label33", "Last read CRC AGI", 121, 53);
  PlaceLabel(Control::lblMD5, "lblMD5", "MD5", 197, 99);
  PlaceLabel(Control::lblSHA1, "lblSHA1", "SHA-1", 190, 123);
  PlaceLabel(Control::lblAGI, "lblAGI", "AGI CRC", 176, 147);

  // Return and Enter press the focused push button, as Space does. An auto-default
  // button takes them; outside a QDialog nothing else changes.
  for (QPushButton* button : {btnStart, btnCancel, btnExit, Button1, Button2})
    button->setAutoDefault(true);
}

void TForm1::CreateLogRows() {
  for (int i = 0; i < EventLog::kRows; ++i) {
    QLabel* row = new QLabel(this);
    row->setObjectName(QStringLiteral("Label%1").arg(i + 3));  // Label3 .. Label32
    row->setTextFormat(Qt::PlainText);  // a path with "<" or "&" is shown as it is
    row->move(kLogLeft, kLogTop + kLogPitch * i);
    QPalette p = row->palette();
    p.setColor(QPalette::WindowText, LogQColor(*this, LogColour::Green));
    row->setPalette(p);
    row->adjustSize();
    logRows_[static_cast<size_t>(i)] = row;
  }
}

void TForm1::SetTabOrder() {
  const QWidget* order[] = {btnStart,
                            btnCancel,
                            CheckBox1,
                            CheckBox2,
                            CheckBox3,
                            btnExit,
                            ProgressBar1,
                            Widget(Control::MD5_result),
                            Widget(Control::MD5_check),
                            RadioButton1,
                            RadioButton2,
                            Button1,
                            isSharp,
                            Button2,
                            Widget(Control::SHA1_check),
                            Widget(Control::SHA1_result),
                            Widget(Control::CRC_check),
                            Widget(Control::CRC_result)};
  for (size_t i = 0; i + 1 < std::size(order); ++i)
    QWidget::setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
}

void TForm1::ConnectHandlers() {
  // Buttons act on a click; check boxes and radio buttons on every change of their mark,
  // so that a change made by the program runs the handler as a click does.
  for (Control c : {Control::btnStart, Control::btnCancel, Control::btnExit, Control::Button1,
                    Control::Button2}) {
    connect(Button(c), &QAbstractButton::clicked, this, [this, c] { DispatchClick(ctx, c); });
  }
  for (Control c : {Control::CheckBox1, Control::CheckBox2, Control::CheckBox3,
                    Control::RadioButton1, Control::RadioButton2}) {
    connect(Button(c), &QAbstractButton::toggled, this, [this, c] { DispatchClick(ctx, c); });
  }
  // Exit is the window's cancel button: Esc presses it, but only while it can be pressed.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, [this] {
    if (btnExit->isEnabled() && !btnExit->isHidden())
      btnExit->click();
  });
}

void TForm1::ShowLogRow(int row) {
  const EventLog::Entry& entry = ctx.log.Row(row);
  EventLog::Entry& shown = shownRows_[static_cast<size_t>(row)];
  QLabel* label = LogRow(row);
  if (shown.colour != entry.colour) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, LogQColor(*this, entry.colour));
    label->setPalette(p);
    shown.colour = entry.colour;
  }
  if (shown.text != entry.text) {
    label->setText(QString::fromUtf8(entry.text.data(), static_cast<qsizetype>(entry.text.size())));
    label->adjustSize();
    shown.text = entry.text;
  }
}

void TForm1::setVisible(bool visible) {
  if (visible && !centred_) {
    centred_ = true;
    if (const QScreen* screen = QApplication::primaryScreen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  QWidget::setVisible(visible);
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (firstShowDone_)
    return;
  firstShowDone_ = true;
  // Queued, so that the close asked for by a failed database load comes after the show
  // has finished and really ends the program.
  QMetaObject::invokeMethod(
      this, [this] { FormShow(ctx); }, Qt::QueuedConnection);
}

void TForm1::closeEvent(QCloseEvent* event) {
  // While a job runs (Cancel in place of Start) the window stays; idle, a close request
  // from the desktop does what Exit does.
  if (!btnCancel->isHidden()) {
    event->ignore();
    return;
  }
  event->accept();
}
