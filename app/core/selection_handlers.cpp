// The handlers of the selection controls: the three job boxes, the read/check toggle
// and the Auto/Manual choice. Each change of a job box writes one Green log line.
#include <optional>
#include <string>

#include "app/core/form_logic.h"
#include "base/log_text.h"

namespace {

// The time is taken when the line is made, i.e. after a file dialog has closed.
void LogSelection(AppContext& ctx, const char* pattern) {
  ctx.log.AppendLine(LogText(pattern, {ctx.Now()}), LogColour::Green);
}

void LogSelection(AppContext& ctx, const char* pattern, const std::string& path) {
  ctx.log.AppendLine(LogText(pattern, {ctx.Now(), path}), LogColour::Green);
}

// The three boxes that hold the expected digests of Manual mode.
constexpr Control kExpectedDigestBoxes[] = {Control::MD5_check, Control::SHA1_check,
                                            Control::CRC_check};

void SetExpectedDigestBoxes(AppContext& ctx, SystemColour colour, bool enabled) {
  for (Control box : kExpectedDigestBoxes) {
    ctx.window.SetBackground(box, colour);
    ctx.window.SetEnabled(box, enabled);
  }
}

}  // namespace

void CheckBox1Click(AppContext& ctx) {
  WindowOps& window = ctx.window;
  if (!window.IsChecked(Control::CheckBox1)) {
    LogSelection(ctx, ctx.readMode ? "[%s] Read job deselected" : "[%s] Check job deselected");
    return;
  }
  const FileDialog dialog = ctx.readMode ? FileDialog::SaveDialog1 : FileDialog::OpenDialog2;
  const std::optional<std::string> file = window.RunFileDialog(dialog);
  if (!file) {
    // Unchecking runs this handler again, which writes the deselection line.
    window.SetChecked(Control::CheckBox1, false);
    return;
  }
  LogSelection(
      ctx, ctx.readMode ? "[%s] Selected file for read: %s" : "[%s] Selected file for check: %s",
      *file);
}

void CheckBox2Click(AppContext& ctx) {
  LogSelection(ctx, ctx.window.IsChecked(Control::CheckBox2) ? "[%s] Erase job selected"
                                                             : "[%s] Erase job deselected");
}

void CheckBox3Click(AppContext& ctx) {
  WindowOps& window = ctx.window;
  if (!window.IsChecked(Control::CheckBox3)) {
    LogSelection(ctx, "[%s] Write job deselected");
    return;
  }
  const std::optional<std::string> file = window.RunFileDialog(FileDialog::OpenDialog1);
  if (!file) {
    window.SetChecked(Control::CheckBox3, false);
    return;
  }
  LogSelection(ctx, "[%s] Selected file for write: %s", *file);
}

void Button1Click(AppContext& ctx) {
  // Unchecking first lets CheckBox1Click name the mode that is being left.
  if (ctx.window.IsChecked(Control::CheckBox1))
    ctx.window.SetChecked(Control::CheckBox1, false);
  ctx.readMode = !ctx.readMode;
  ctx.window.SetText(Control::Button1, ctx.readMode ? "Read FLASH" : "Check FLASH");
}

void RadioButton1Click(AppContext& ctx) {
  if (ctx.window.IsChecked(Control::RadioButton1))
    SetExpectedDigestBoxes(ctx, SystemColour::ButtonFace, false);
}

void RadioButton2Click(AppContext& ctx) {
  if (ctx.window.IsChecked(Control::RadioButton2))
    SetExpectedDigestBoxes(ctx, SystemColour::Window, true);
}
