// The Start, Cancel and Exit buttons, and the window's locked state while a Start runs.
#include "app/core/form_logic.h"
#include "run/sequencer.h"

namespace {

// Controls that the lock disables and the unlock enables again, besides the edit boxes.
constexpr Control kLockedControls[] = {Control::btnExit,   Control::CheckBox1, Control::CheckBox2,
                                       Control::CheckBox3, Control::Label1,    Control::Label2,
                                       Control::Label33,   Control::lblMD5,    Control::lblSHA1,
                                       Control::lblAGI,    Control::MD5_result};

void SetExpectedBox(WindowOps& w, Control box, bool enabled, SystemColour colour) {
  w.SetBackground(box, colour);
  w.SetEnabled(box, enabled);
}

}  // namespace

void LockWindow(AppContext& ctx) {
  WindowOps& w = ctx.window;
  w.SetVisible(Control::btnStart, false);
  w.SetVisible(Control::btnCancel, true);
  w.SetProgressPosition(0);
  for (Control c : kLockedControls) w.SetEnabled(c, false);
  SetExpectedBox(w, Control::MD5_check, false, SystemColour::ButtonFace);
  w.SetEnabled(Control::SHA1_result, false);
  SetExpectedBox(w, Control::SHA1_check, false, SystemColour::ButtonFace);
  w.SetEnabled(Control::CRC_result, false);
  SetExpectedBox(w, Control::CRC_check, false, SystemColour::ButtonFace);
  w.SetEnabled(Control::RadioButton1, false);
  w.SetEnabled(Control::RadioButton2, false);
  w.SetEnabled(Control::Button1, false);
}

void UnlockWindow(AppContext& ctx) {
  WindowOps& w = ctx.window;
  w.SetVisible(Control::btnStart, true);
  w.SetVisible(Control::btnCancel, false);
  w.SetProgressPosition(0);
  for (Control c : kLockedControls) w.SetEnabled(c, true);
  w.SetEnabled(Control::SHA1_result, true);
  w.SetEnabled(Control::CRC_result, true);
  for (Control c : {Control::MD5_check, Control::SHA1_check, Control::CRC_check})
    SetExpectedBox(w, c, true, SystemColour::Window);
  w.SetEnabled(Control::Button1, true);
  w.SetEnabled(Control::RadioButton1, true);
  w.SetEnabled(Control::RadioButton2, true);
  // Back to the state of the selected verification mode.
  RadioButton1Click(ctx);
  RadioButton2Click(ctx);
}

void btnStartClick(AppContext& ctx) {
  // Nothing can change the box while the window is locked.
  ctx.isSharp = ctx.window.IsChecked(Control::isSharp);
  RunStart(ctx, ctx.report, TakeJobSelection(ctx),
           RunOptions{.lock = [&] { LockWindow(ctx); }, .unlock = [&] { UnlockWindow(ctx); }});
}

void btnCancelClick(AppContext& ctx) {
  ctx.cancelFlag = true;
}

void btnExitClick(AppContext& ctx) {
  ctx.window.CloseWindow();
}
