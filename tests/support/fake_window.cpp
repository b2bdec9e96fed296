#include "tests/support/fake_window.h"

#include <cctype>

namespace {

bool IsEditBox(Control c) {
  return c == Control::MD5_result || c == Control::SHA1_result || c == Control::CRC_result ||
         c == Control::MD5_check || c == Control::SHA1_check || c == Control::CRC_check;
}

}  // namespace

FakeWindow::FakeWindow() {
  // The window as created, before its first show.
  for (Control c :
       {Control::btnStart,     Control::btnCancel,    Control::btnExit,    Control::CheckBox1,
        Control::CheckBox2,    Control::CheckBox3,    Control::Button1,    Control::Button2,
        Control::RadioButton1, Control::RadioButton2, Control::isSharp,    Control::ProgressBar1,
        Control::MD5_result,   Control::SHA1_result,  Control::CRC_result, Control::MD5_check,
        Control::SHA1_check,   Control::CRC_check,    Control::Label1,     Control::Label2,
        Control::Label33,      Control::lblMD5,       Control::lblSHA1,    Control::lblAGI}) {
    enabled_[c] = true;
    visible_[c] = true;
    checked_[c] = false;
    if (IsEditBox(c))
      background[c] = SystemColour::ScrollBar;
  }
  visible_[Control::btnCancel] = false;
  visible_[Control::isSharp] = false;
  enabled_[Control::isSharp] = false;
  visible_[Control::Button2] = false;
  enabled_[Control::Button2] = false;
  for (Control c : {Control::MD5_result, Control::SHA1_result, Control::MD5_check,
                    Control::SHA1_check, Control::CRC_check})
    enabled_[c] = false;
  text_[Control::btnStart] = "Start";
  text_[Control::btnCancel] = "Cancel";
  text_[Control::btnExit] = "E&xit";
  text_[Control::Button1] = "Read FLASH";
  text_[Control::Button2] = "Test!";
  progressMaximum = 2048;
}

void FakeWindow::ShowMessage(const std::string& text, const std::string& caption) {
  messages.push_back({text, caption, false});
}

bool FakeWindow::AskOkCancel(const std::string& text, const std::string& caption) {
  messages.push_back({text, caption, true});
  if (answers.empty())
    return true;
  const bool ok = answers.front();
  answers.pop_front();
  return ok;
}

std::optional<std::string> FakeWindow::RunFileDialog(FileDialog dialog) {
  dialogsRun.push_back(dialog);
  auto& queue = dialogAnswers[dialog];
  if (queue.empty())
    return std::nullopt;
  std::optional<std::string> answer = queue.front();
  queue.pop_front();
  if (answer)
    dialogFile_[dialog] = *answer;
  return answer;
}

std::string FakeWindow::DialogFileName(FileDialog dialog) const {
  auto it = dialogFile_.find(dialog);
  return it == dialogFile_.end() ? std::string() : it->second;
}

std::string FakeWindow::Text(Control control) const {
  auto it = text_.find(control);
  return it == text_.end() ? std::string() : it->second;
}

void FakeWindow::SetText(Control control, const std::string& text) {
  std::string held = text;
  if (IsEditBox(control))
    for (char& ch : held) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  text_[control] = held;
}

bool FakeWindow::IsChecked(Control control) const {
  return checked_.at(control);
}

void FakeWindow::SetChecked(Control control, bool checked) {
  if (checked_[control] == checked)
    return;
  checked_[control] = checked;
  // Radio buttons are exclusive: checking one unchecks the other first.
  Control other = control;
  if (control == Control::RadioButton1)
    other = Control::RadioButton2;
  if (control == Control::RadioButton2)
    other = Control::RadioButton1;
  if (checked && other != control && checked_[other]) {
    checked_[other] = false;
    if (onClick)
      onClick(other);
  }
  if (onClick)
    onClick(control);
}

void FakeWindow::ProcessEvents() {
  ++processEventsCalls;
  if (onProcessEvents)
    onProcessEvents();
}

void FakeWindow::Click(Control control) {
  const bool radio = control == Control::RadioButton1 || control == Control::RadioButton2;
  SetChecked(control, radio ? true : !IsChecked(control));
}
