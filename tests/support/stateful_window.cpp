#include "tests/support/stateful_window.h"

#include <algorithm>
#include <cctype>

namespace {

bool IsEditBox(Control c) {
  return c == Control::MD5_result || c == Control::SHA1_result || c == Control::CRC_result ||
         c == Control::MD5_check || c == Control::SHA1_check || c == Control::CRC_check;
}

bool IsRadio(Control c) {
  return c == Control::RadioButton1 || c == Control::RadioButton2;
}

}  // namespace

StatefulWindow::StatefulWindow() {
  for (Control c : {Control::MD5_result, Control::SHA1_result, Control::CRC_result,
                    Control::MD5_check, Control::SHA1_check, Control::CRC_check})
    background[c] = SystemColour::ScrollBar;
  for (Control c : {Control::MD5_result, Control::SHA1_result, Control::MD5_check,
                    Control::SHA1_check, Control::CRC_check})
    At(c).enabled = false;
  At(Control::btnCancel).visible = false;
  for (Control c : {Control::isSharp, Control::Button2}) {
    At(c).visible = false;
    At(c).enabled = false;
  }
  At(Control::btnStart).text = "Start";
  At(Control::btnCancel).text = "Cancel";
  At(Control::btnExit).text = "E&xit";
  At(Control::Button1).text = "Read FLASH";
  At(Control::Button2).text = "Test!";
}

void StatefulWindow::SetText(Control control, const std::string& text) {
  std::string& held = At(control).text;
  held = text;
  if (IsEditBox(control))
    std::transform(held.begin(), held.end(), held.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
}

void StatefulWindow::SetChecked(Control control, bool checked) {
  if (At(control).checked == checked)
    return;
  if (IsRadio(control) && !checked)
    return;  // an exclusive radio button is only unchecked by checking its partner
  At(control).checked = checked;
  if (IsRadio(control)) {
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

void StatefulWindow::SetProgressPosition(int position) {
  progress_ = std::clamp(position, 0, progressMaximum);
}

void StatefulWindow::SetProgressMaximum(int maximum) {
  progressMaximum = std::max(maximum, 0);
  progress_ = std::min(progress_, progressMaximum);
}

void StatefulWindow::ProcessEvents() {
  ++processEventsCalls;
  if (onProcessEvents)
    onProcessEvents();
}
