// Routes the window's clicks and check changes to their handlers, and reads the
// operator's choices back from the controls.
#include "app/core/form_logic.h"
#include "flash/jobs.h"

void DispatchClick(AppContext& ctx, Control control) {
  switch (control) {
    case Control::btnStart:
      btnStartClick(ctx);
      break;
    case Control::btnCancel:
      btnCancelClick(ctx);
      break;
    case Control::btnExit:
      btnExitClick(ctx);
      break;
    case Control::Button2:
      ctx.isSharp = ctx.window.IsChecked(Control::isSharp);
      StatusTest(ctx);
      break;
    case Control::CheckBox1:
      CheckBox1Click(ctx);
      break;
    case Control::CheckBox2:
      CheckBox2Click(ctx);
      break;
    case Control::CheckBox3:
      CheckBox3Click(ctx);
      break;
    case Control::Button1:
      Button1Click(ctx);
      break;
    case Control::RadioButton1:
      RadioButton1Click(ctx);
      break;
    case Control::RadioButton2:
      RadioButton2Click(ctx);
      break;
    default:
      break;  // isSharp, the progress bar, edit boxes and labels have no click handler
  }
}

JobSelection TakeJobSelection(const AppContext& ctx) {
  const WindowOps& window = ctx.window;
  JobSelection selection;
  selection.ReadCheckSelected = window.IsChecked(Control::CheckBox1);
  selection.ReadMode = ctx.readMode;
  selection.EraseSelected = window.IsChecked(Control::CheckBox2);
  selection.WriteSelected = window.IsChecked(Control::CheckBox3);
  selection.ReadFileName = window.DialogFileName(FileDialog::SaveDialog1);
  selection.CheckFileName = window.DialogFileName(FileDialog::OpenDialog2);
  selection.WriteFileName = window.DialogFileName(FileDialog::OpenDialog1);
  selection.hashCheckMode =
      window.IsChecked(Control::RadioButton2) ? HashCheckMode::Manual : HashCheckMode::Auto;
  selection.ManualMD5 = window.Text(Control::MD5_check);
  selection.ManualSHA1 = window.Text(Control::SHA1_check);
  selection.ManualCRC = window.Text(Control::CRC_check);
  return selection;
}
