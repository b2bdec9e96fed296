// The window as created, before its first show: every control's name, kind, caption,
// place, initial state and tab order, and the window's own frame, size and colours.
#include <pwd.h>
#include <unistd.h>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "tests/window/window_harness.h"

namespace {

enum class Kind { Push, Check, Radio, Edit, Progress, Label };

bool IsKind(QWidget* w, Kind kind) {
  switch (kind) {
    case Kind::Push:
      return qobject_cast<QPushButton*>(w) != nullptr;
    case Kind::Check:
      return qobject_cast<QCheckBox*>(w) != nullptr;
    case Kind::Radio:
      return qobject_cast<QRadioButton*>(w) != nullptr;
    case Kind::Edit:
      return qobject_cast<QLineEdit*>(w) != nullptr;
    case Kind::Progress:
      return qobject_cast<QProgressBar*>(w) != nullptr;
    case Kind::Label:
      return qobject_cast<QLabel*>(w) != nullptr;
  }
  return false;
}

QString CaptionOf(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w))
    return b->text();
  if (auto* e = qobject_cast<QLineEdit*>(w))
    return e->text();
  if (auto* l = qobject_cast<QLabel*>(w))
    return l->text();
  return QString();
}

}  // namespace

Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(Control)

class LayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void controls_data();
  void controls();
  void captionLabels_data();
  void captionLabels();
  void tabOrder();
  void windowFrame();
  void editBoxes();
  void hiddenAndExtraControls();
  void progressBar();
  void logRows();
  void cancelButtonLooksBoldRed();
};

void LayoutTest::controls_data() {
  QTest::addColumn<Control>("control");
  QTest::addColumn<Kind>("kind");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QRect>("geometry");
  QTest::addColumn<bool>("visible");
  QTest::addColumn<bool>("enabled");

  auto row = [](const char* name, Control c, Kind k, const char* caption, QRect r,
                bool visible = true, bool enabled = true) {
    QTest::newRow(name) << c << k << QString::fromLatin1(caption) << r << visible << enabled;
  };
  row("btnStart", Control::btnStart, Kind::Push, "Start", {498, 8, 105, 25});
  row("btnCancel", Control::btnCancel, Kind::Push, "Cancel", {498, 8, 105, 25}, false);
  row("CheckBox1", Control::CheckBox1, Kind::Check, "", {8, 8, 17, 17});
  row("CheckBox2", Control::CheckBox2, Kind::Check, "Erase FLASH", {8, 29, 81, 17});
  row("CheckBox3", Control::CheckBox3, Kind::Check, "Write FLASH", {8, 51, 81, 17});
  row("btnExit", Control::btnExit, Kind::Push, "E&xit", {498, 39, 105, 25});
  row("ProgressBar1", Control::ProgressBar1, Kind::Progress, "", {3, 589, 600, 9});
  row("MD5_result", Control::MD5_result, Kind::Edit, "", {224, 8, 241, 21}, true, false);
  row("MD5_check", Control::MD5_check, Kind::Edit, "", {224, 96, 241, 21}, true, false);
  row("RadioButton1", Control::RadioButton1, Kind::Radio, "Auto", {121, 75, 49, 17});
  row("RadioButton2", Control::RadioButton2, Kind::Radio, "Manual", {121, 98, 63, 17});
  row("Button1", Control::Button1, Kind::Push, "Read FLASH", {25, 7, 81, 20});
  row("isSharp", Control::isSharp, Kind::Check, "isSharp", {546, 101, 57, 17}, false, false);
  row("Button2", Control::Button2, Kind::Push, "Test!", {498, 70, 100, 25}, false, false);
  row("SHA1_check", Control::SHA1_check, Kind::Edit, "", {224, 120, 241, 21}, true, false);
  row("SHA1_result", Control::SHA1_result, Kind::Edit, "", {224, 29, 241, 21}, true, false);
  row("CRC_check", Control::CRC_check, Kind::Edit, "", {224, 144, 241, 21}, true, false);
  row("CRC_result", Control::CRC_result, Kind::Edit, "", {224, 50, 241, 21});
}

void LayoutTest::controls() {
  QFETCH(Control, control);
  QFETCH(Kind, kind);
  QFETCH(QString, caption);
  QFETCH(QRect, geometry);
  QFETCH(bool, visible);
  QFETCH(bool, enabled);

  WindowHarness h;
  const char* name = QTest::currentDataTag();
  QWidget* w = h.Find<QWidget>(name);
  QVERIFY2(w != nullptr, name);
  QCOMPARE(h.form.Widget(control), w);
  QVERIFY(IsKind(w, kind));
  QCOMPARE(w->parentWidget(), &h.form);
  QCOMPARE(CaptionOf(w), caption);
  QCOMPARE(w->geometry(), geometry);
  QCOMPARE(!w->isHidden(), visible);
  QCOMPARE(w->isEnabled(), enabled);
  QCOMPARE(h.form.IsVisible(control), visible);
  QCOMPARE(h.form.IsEnabled(control), enabled);
  QCOMPARE(QString::fromStdString(h.form.Text(control)), caption);
  if (auto* b = qobject_cast<QAbstractButton*>(w))
    QVERIFY(!b->isChecked());
}

void LayoutTest::captionLabels_data() {
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QPoint>("place");
  QTest::newRow("Label1") << QStringLiteral("Last read MD5") << QPoint(121, 11);
  QTest::newRow("Label2") << QStringLiteral("Last read SHA-1") << QPoint(121, 31);
  QTest::newRow("Label33") << QStringLiteral("Last read CRC AGI") << QPoint(121, 53);
  QTest::newRow("lblMD5") << QStringLiteral("MD5") << QPoint(197, 99);
  QTest::newRow("lblSHA1") << QStringLiteral("SHA-1") << QPoint(190, 123);
  QTest::newRow("lblAGI") << QStringLiteral("AGI CRC") << QPoint(176, 147);
}

void LayoutTest::captionLabels() {
  QFETCH(QString, caption);
  QFETCH(QPoint, place);
  WindowHarness h;
  auto* label = h.Find<QLabel>(QTest::currentDataTag());
  QVERIFY(label != nullptr);
  QCOMPARE(label->text(), caption);
  QCOMPARE(label->pos(), place);
  QVERIFY(label->isEnabled());
  QVERIFY(!label->isHidden());
  // Sized to its text.
  QCOMPARE(label->size(), label->sizeHint());
  QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(caption));
}

void LayoutTest::tabOrder() {
  WindowHarness h;
  const QStringList expected = {
      "btnStart",     "btnCancel",  "CheckBox1",  "CheckBox2",    "CheckBox3",    "btnExit",
      "ProgressBar1", "MD5_result", "MD5_check",  "RadioButton1", "RadioButton2", "Button1",
      "isSharp",      "Button2",    "SHA1_check", "SHA1_result",  "CRC_check",    "CRC_result"};
  // Walk the whole focus chain once from the window and keep the controls of the table.
  QStringList seen;
  for (QWidget* w = h.form.nextInFocusChain(); w != &h.form; w = w->nextInFocusChain())
    if (expected.contains(w->objectName()))
      seen << w->objectName();
  // The chain is a ring; rotate it so that it starts at tab stop 0.
  const qsizetype start = seen.indexOf(QStringLiteral("btnStart"));
  QVERIFY(start >= 0);
  seen = seen.mid(start) + seen.mid(0, start);
  QCOMPARE(seen, expected);
}

void LayoutTest::windowFrame() {
  WindowHarness h;
  QCOMPARE(h.form.objectName(), QStringLiteral("Form1"));
  QCOMPARE(h.form.windowTitle(), QStringLiteral("Flash Programmator (One flash) v2.5"));
  QCOMPARE(h.form.size(), QSize(610, 600));
  QCOMPARE(h.form.minimumSize(), QSize(610, 600));
  QCOMPARE(h.form.maximumSize(), QSize(610, 600));
  const Qt::WindowFlags flags = h.form.windowFlags();
  QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
  QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
  QVERIFY(flags.testFlag(Qt::WindowTitleHint));
  QVERIFY(!flags.testFlag(Qt::WindowSystemMenuHint));
  QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
  QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
  QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
  // Button-face background.
  QVERIFY(h.form.autoFillBackground());
  QCOMPARE(h.form.palette().color(QPalette::Window),
           QApplication::palette().color(QPalette::Button));
  QCOMPARE(h.form.font().pixelSize(), 11);
  // The diagnostic's file in the home folder of the password database.
  const passwd* me = getpwuid(getuid());
  QVERIFY(me != nullptr);
  QCOMPARE(h.form.context().statusPath, std::string(me->pw_dir) + "/status.txt");
}

void LayoutTest::editBoxes() {
  WindowHarness h;
  struct Box {
    const char* name;
    Control control;
    bool readOnly;
  };
  const QColor scrollBar = h.form.ColourOf(SystemColour::ScrollBar);
  QCOMPARE(scrollBar, QApplication::palette().color(QPalette::Midlight));
  for (const Box& b :
       {Box{"MD5_result", Control::MD5_result, true},
        Box{"SHA1_result", Control::SHA1_result, true},
        Box{"CRC_result", Control::CRC_result, false}, Box{"MD5_check", Control::MD5_check, false},
        Box{"SHA1_check", Control::SHA1_check, false},
        Box{"CRC_check", Control::CRC_check, false}}) {
    auto* box = h.Find<QLineEdit>(b.name);
    QVERIFY2(box != nullptr, b.name);
    QCOMPARE(box->isReadOnly(), b.readOnly);
    QCOMPARE(h.form.Background(b.control), SystemColour::ScrollBar);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
      QCOMPARE(box->palette().color(group, QPalette::Base), scrollBar);
  }
  QCOMPARE(h.form.ColourOf(SystemColour::ButtonFace),
           QApplication::palette().color(QPalette::Button));
  QCOMPARE(h.form.ColourOf(SystemColour::Window), QApplication::palette().color(QPalette::Base));
}

void LayoutTest::hiddenAndExtraControls() {
  WindowHarness h;
  // Nothing besides the table's controls and the 30 log rows: 5 push buttons, 4 check
  // boxes, 2 radio buttons, 6 edit boxes, the progress bar, 6 captions and 30 rows.
  QCOMPARE(h.form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(),
           qsizetype{54});
  QCOMPARE(h.form.findChildren<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly).size(),
           qsizetype{11});
  QCOMPARE(h.form.findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly).size(),
           qsizetype{6});
  QCOMPARE(h.form.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly).size(),
           qsizetype{36});
  QVERIFY(!h.form.IsChecked(Control::isSharp));
}

void LayoutTest::progressBar() {
  WindowHarness h;
  auto* bar = h.Find<QProgressBar>("ProgressBar1");
  QCOMPARE(bar->minimum(), 0);
  QCOMPARE(bar->maximum(), 2048);
  QCOMPARE(bar->value(), 0);
  QCOMPARE(h.form.ProgressPosition(), 0);
  h.form.StepProgress();
  h.form.StepProgress();
  QCOMPARE(bar->value(), 2);
  h.form.SetProgressMaximum(512);
  h.form.SetProgressPosition(512);
  h.form.StepProgress();  // held at the end
  QCOMPARE(h.form.ProgressPosition(), 512);
  h.form.SetProgressPosition(-5);
  QCOMPARE(h.form.ProgressPosition(), 0);
}

void LayoutTest::logRows() {
  WindowHarness h;
  for (int i = 0; i < 30; ++i) {
    QLabel* row = h.form.LogRow(i);
    QCOMPARE(row->objectName(), QStringLiteral("Label%1").arg(i + 3));
    QCOMPARE(h.Find<QLabel>(qPrintable(row->objectName())), row);
    QCOMPARE(row->pos(), QPoint(8, 186 + 13 * i));
    QCOMPARE(row->text(), QString());
    QCOMPARE(row->textFormat(), Qt::PlainText);
    QCOMPARE(h.RowColour(i), QColor(0, 128, 0));
  }
  QCOMPARE(h.form.LogRow(29)->pos(), QPoint(8, 563));
}

void LayoutTest::cancelButtonLooksBoldRed() {
  WindowHarness h;
  auto* cancel = h.Find<QPushButton>("btnCancel");
  QVERIFY(cancel->font().bold());
  QCOMPARE(cancel->palette().color(QPalette::Active, QPalette::ButtonText), QColor(255, 0, 0));
  auto* start = h.Find<QPushButton>("btnStart");
  QVERIFY(!start->font().bold());
}

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
