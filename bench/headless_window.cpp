#include "bench/headless_window.h"

#include <algorithm>
#include <cctype>

namespace {

bool IsEditBox(Control c) {
  return c == Control::MD5_result || c == Control::SHA1_result || c == Control::CRC_result ||
         c == Control::MD5_check || c == Control::SHA1_check || c == Control::CRC_check;
}

}  // namespace

HeadlessWindow::HeadlessWindow() {
  for (Control c : {Control::btnCancel, Control::isSharp, Control::Button2}) {
    At(c).visible = false;
    At(c).enabled = c == Control::btnCancel;
  }
  At(Control::btnStart).text = "Start";
  At(Control::btnCancel).text = "Cancel";
  At(Control::btnExit).text = "E&xit";
  At(Control::Button1).text = "Read FLASH";
}

void HeadlessWindow::ShowLog(EventLog& log) {
  log_ = &log;
  log.SetObserver([this](int row) {
    if (row != EventLog::kAllRows) {
      ShowRow(row);
      return;
    }
    for (int i = 0; i < EventLog::kRows; ++i) ShowRow(i);
  });
}

// Only what changed is copied, as the real window only touches a label that changed.
void HeadlessWindow::ShowRow(int row) {
  const EventLog::Entry& entry = log_->Row(row);
  EventLog::Entry& shown = rows_[static_cast<size_t>(row)];
  if (shown.colour != entry.colour)
    shown.colour = entry.colour;
  if (shown.text != entry.text)
    shown.text = entry.text;
  ++rowUpdates;
  if (onRowShown)
    onRowShown(shown);
}

void HeadlessWindow::ShowMessage(const std::string& text, const std::string& caption) {
  messages.push_back(caption + ": " + text);
}

bool HeadlessWindow::AskOkCancel(const std::string& text, const std::string& caption) {
  messages.push_back(caption + ": " + text);
  return true;
}

std::optional<std::string> HeadlessWindow::RunFileDialog(FileDialog dialog) {
  if (dialogAnswer)
    dialogFiles_.at(static_cast<size_t>(dialog)) = *dialogAnswer;
  return dialogAnswer;
}

std::string HeadlessWindow::DialogFileName(FileDialog dialog) const {
  return dialogFiles_.at(static_cast<size_t>(dialog));
}

void HeadlessWindow::SetText(Control control, const std::string& text) {
  std::string& held = At(control).text;
  held = text;
  if (IsEditBox(control))  // edit boxes fold to lower case
    std::transform(held.begin(), held.end(), held.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
}

// A change runs the handler, as the real window's toggled signal does; checking a radio
// button unchecks (and so notifies) the other one.
void HeadlessWindow::SetChecked(Control control, bool checked) {
  if (At(control).checked == checked)
    return;
  const bool radio = control == Control::RadioButton1 || control == Control::RadioButton2;
  if (radio && !checked)
    return;  // an exclusive radio button is only unchecked by checking its partner
  At(control).checked = checked;
  if (radio) {
    const Control other =
        control == Control::RadioButton1 ? Control::RadioButton2 : Control::RadioButton1;
    if (At(other).checked) {
      At(other).checked = false;
      if (onClick)
        onClick(other);
    }
  }
  if (onClick)
    onClick(control);
}

void HeadlessWindow::SetProgressPosition(int position) {
  progress_ = std::clamp(position, 0, progressMaximum_);
}

void HeadlessWindow::SetProgressMaximum(int maximum) {
  progressMaximum_ = std::max(maximum, 0);
  progress_ = std::min(progress_, progressMaximum_);
}

void HeadlessWindow::ProcessEvents() {
  if (onProcessEvents)
    onProcessEvents();
}
