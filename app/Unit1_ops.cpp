// TForm1 as the toolkit-free code sees it: the WindowOps on the Qt controls.
#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <algorithm>

#include "app/Unit1.h"
#include "app/digest_box.h"
#include "app/file_dialog_box.h"

namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Sets a text colour for the normal states; a disabled control keeps the style's grey.
void SetRoleColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette p = widget->palette();
  p.setColor(QPalette::Active, role, colour);
  p.setColor(QPalette::Inactive, role, colour);
  widget->setPalette(p);
}

}  // namespace

QWidget* TForm1::Widget(Control control) const {
  return controls_.at(static_cast<size_t>(control));
}

QAbstractButton* TForm1::Button(Control control) const {
  return qobject_cast<QAbstractButton*>(Widget(control));
}

QLineEdit* TForm1::EditBox(Control control) const {
  return qobject_cast<QLineEdit*>(Widget(control));
}

// The system colours of the original platform, taken from the application palette.
// There is no scroll-bar colour in a QPalette; Midlight is the light grey of the same
// kind (a shade between the button face and a frame's shadow).
QColor TForm1::ColourOf(SystemColour colour) const {
  switch (colour) {
    case SystemColour::ScrollBar:
      return systemPalette_.color(QPalette::Active, QPalette::Midlight);
    case SystemColour::ButtonFace:
      return systemPalette_.color(QPalette::Active, QPalette::Button);
    case SystemColour::Window:
      break;
  }
  return systemPalette_.color(QPalette::Active, QPalette::Base);
}

SystemColour TForm1::Background(Control control) const {
  const auto it = backgrounds_.find(control);
  return it == backgrounds_.end() ? SystemColour::ButtonFace : it->second;
}

void TForm1::ShowMessage(const std::string& text, const std::string& caption) {
  if (messageHook) {
    messageHook(text, caption);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, FromUtf8(caption), FromUtf8(text), QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool TForm1::AskOkCancel(const std::string& text, const std::string& caption) {
  if (questionHook)
    return questionHook(text, caption);
  QMessageBox box(QMessageBox::NoIcon, FromUtf8(caption), FromUtf8(text),
                  QMessageBox::Ok | QMessageBox::Cancel, this);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  return box.clickedButton() == box.button(QMessageBox::Ok);
}

std::optional<std::string> TForm1::RunFileDialog(FileDialog dialog) {
  std::string& current = dialogFiles_[dialog];
  std::optional<std::string> chosen;
  if (fileDialogHook) {
    chosen = fileDialogHook(dialog, current);
  } else if (const auto path = RunFileDialogBox(this, dialog, QFile::decodeName(current.c_str()))) {
    chosen = QFile::encodeName(*path).toStdString();  // the bytes the file system knows
  }
  if (chosen)
    current = *chosen;
  return chosen;
}

std::string TForm1::DialogFileName(FileDialog dialog) const {
  const auto it = dialogFiles_.find(dialog);
  return it == dialogFiles_.end() ? std::string() : it->second;
}

void TForm1::SetEnabled(Control control, bool enabled) {
  Widget(control)->setEnabled(enabled);
}

bool TForm1::IsEnabled(Control control) const {
  return Widget(control)->isEnabled();
}

// Hidden or not as the program set it, whether or not the window itself is shown yet.
void TForm1::SetVisible(Control control, bool visible) {
  Widget(control)->setVisible(visible);
}

bool TForm1::IsVisible(Control control) const {
  return !Widget(control)->isHidden();
}

void TForm1::SetBackground(Control control, SystemColour colour) {
  QWidget* widget = Widget(control);
  QPalette p = widget->palette();
  p.setColor(QPalette::Base, ColourOf(colour));  // every state: a disabled box shows it too
  widget->setPalette(p);
  backgrounds_[control] = colour;
}

void TForm1::SetTextColour(Control control, Rgb colour) {
  QWidget* widget = Widget(control);
  const bool button = qobject_cast<QAbstractButton*>(widget) != nullptr;
  SetRoleColour(widget, button ? QPalette::ButtonText : QPalette::WindowText,
                QColor(colour.r, colour.g, colour.b));
}

std::string TForm1::Text(Control control) const {
  QWidget* widget = Widget(control);
  if (const QLineEdit* box = qobject_cast<QLineEdit*>(widget))
    return box->text().toStdString();
  if (const QAbstractButton* button = qobject_cast<QAbstractButton*>(widget))
    return button->text().toStdString();
  if (const QLabel* label = qobject_cast<QLabel*>(widget))
    return label->text().toStdString();
  return "";
}

void TForm1::SetText(Control control, const std::string& text) {
  QWidget* widget = Widget(control);
  if (DigestBox* box = dynamic_cast<DigestBox*>(widget)) {
    box->ShowText(FromUtf8(text));  // folded to lower case by the box itself
  } else if (QAbstractButton* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(FromUtf8(text));
    if (control == Control::Button1)  // the caption of CheckBox1's job
      CheckBox1->setAccessibleName(button->text());
  } else if (QLabel* label = qobject_cast<QLabel*>(widget)) {
    label->setText(FromUtf8(text));
    label->adjustSize();
  }
}

bool TForm1::IsChecked(Control control) const {
  const QAbstractButton* button = Button(control);
  return button != nullptr && button->isChecked();
}

// Runs the handler through the toggled signal. An exclusive radio button cannot be
// unchecked on its own; checking the other one unchecks it.
void TForm1::SetChecked(Control control, bool checked) {
  if (QAbstractButton* button = Button(control))
    button->setChecked(checked);
}

// Out-of-range positions are held at the nearest end (QProgressBar would ignore them).
void TForm1::SetProgressPosition(int position) {
  ProgressBar1->setValue(std::clamp(position, ProgressBar1->minimum(), ProgressBar1->maximum()));
}

void TForm1::SetProgressMaximum(int maximum) {
  ProgressBar1->setMaximum(maximum);
}

void TForm1::StepProgress() {
  SetProgressPosition(ProgressBar1->value() + 1);
}

int TForm1::ProgressPosition() const {
  return ProgressBar1->value();
}

void TForm1::ProcessEvents() {
  QCoreApplication::processEvents();
}

void TForm1::CloseWindow() {
  close();
}
