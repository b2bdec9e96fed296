// Routing of clicks and check changes, and the JobSelection read from the controls.
#include <filesystem>
#include <string>

#include "programmer/programmer_link.h"
#include "tests/appcore/form_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using Dispatch = FormFixture;

TEST_F(Dispatch, SelectionControlsReachTheirHandlers) {
  struct Case {
    Control control;
    std::string line;
  };
  // Each click of a job box with no dialog answer ends in its deselection line.
  for (const Case& c : {Case{Control::CheckBox1, "Read job deselected"},
                        Case{Control::CheckBox2, "Erase job selected"},
                        Case{Control::CheckBox3, "Write job deselected"}}) {
    window.Click(c.control);
    ASSERT_GT(ctx.log.LineCount(), 0);
    EXPECT_EQ(ctx.log.Last().text, Stamp() + c.line);
  }
  DispatchClick(ctx, Control::Button1);
  EXPECT_EQ(window.Text(Control::Button1), "Check FLASH");
}

TEST_F(Dispatch, ControlsWithoutHandlerDoNothing) {
  for (Control c : {Control::isSharp, Control::ProgressBar1, Control::MD5_result,
                    Control::CRC_check, Control::Label1, Control::lblAGI}) {
    DispatchClick(ctx, c);
  }
  EXPECT_EQ(ctx.log.LineCount(), 0);
  EXPECT_TRUE(window.messages.empty());
  EXPECT_TRUE(window.dialogsRun.empty());
  EXPECT_FALSE(window.closed);
  EXPECT_FALSE(ctx.cancelFlag);
}

TEST_F(Dispatch, ButtonsReachTheSequencer) {
  DispatchClick(ctx, Control::btnCancel);
  EXPECT_TRUE(ctx.cancelFlag);

  DispatchClick(ctx, Control::btnStart);  // nothing selected
  EXPECT_EQ(window.messages,
            (std::vector<FakeWindow::Message>{{"Nothing to do", kProgrammerCaption, false}}));
  EXPECT_FALSE(window.closed);

  DispatchClick(ctx, Control::btnExit);
  EXPECT_TRUE(window.closed);
}

TEST_F(Dispatch, TestButtonRunsTheDiagnostic) {
  TempDir dir;
  ASSERT_FALSE(dir.Path().empty());
  ctx.statusPath = dir.File("status.txt");
  ctx.bindUsb = [] { return UnboundUsbApi(); };  // no programmer on the bus

  DispatchClick(ctx, Control::Button2);

  EXPECT_TRUE(std::filesystem::exists(ctx.statusPath));
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].caption, kProgrammerCaption);
}

// ---- JobSelection ---------------------------------------------------------------------

TEST_F(Dispatch, JobSelectionOfAFreshWindowSelectsNothing) {
  const JobSelection s = TakeJobSelection(ctx);
  EXPECT_FALSE(s.ReadCheckSelected);
  EXPECT_FALSE(s.EraseSelected);
  EXPECT_FALSE(s.WriteSelected);
  EXPECT_TRUE(s.ReadMode);
  EXPECT_EQ(s.ReadFileName, "");
  EXPECT_EQ(s.CheckFileName, "");
  EXPECT_EQ(s.WriteFileName, "");
  EXPECT_EQ(s.hashCheckMode, HashCheckMode::Auto);
}

TEST_F(Dispatch, JobSelectionIsWhatTheControlsHold) {
  window.dialogAnswers[FileDialog::SaveDialog1] = {"/r.bin"};
  window.dialogAnswers[FileDialog::OpenDialog2] = {"/c.bin"};
  window.dialogAnswers[FileDialog::OpenDialog1] = {"/w.bin"};
  window.Click(Control::CheckBox1);  // read file chosen
  DispatchClick(ctx, Control::Button1);
  window.Click(Control::CheckBox1);  // check file chosen
  window.Click(Control::CheckBox2);
  window.Click(Control::CheckBox3);
  window.Click(Control::RadioButton2);
  window.SetText(Control::MD5_check, "00112233445566778899AABBCCDDEEFF");
  window.SetText(Control::SHA1_check, "");
  window.SetText(Control::CRC_check, "DEADBEEF");

  const JobSelection s = TakeJobSelection(ctx);
  EXPECT_TRUE(s.ReadCheckSelected);
  EXPECT_FALSE(s.ReadMode);
  EXPECT_TRUE(s.EraseSelected);
  EXPECT_TRUE(s.WriteSelected);
  EXPECT_EQ(s.ReadFileName, "/r.bin");
  EXPECT_EQ(s.CheckFileName, "/c.bin");
  EXPECT_EQ(s.WriteFileName, "/w.bin");
  EXPECT_EQ(s.hashCheckMode, HashCheckMode::Manual);
  EXPECT_EQ(s.ManualMD5, "00112233445566778899aabbccddeeff");
  EXPECT_EQ(s.ManualSHA1, "");
  EXPECT_EQ(s.ManualCRC, "deadbeef");

  window.Click(Control::RadioButton1);
  window.Click(Control::CheckBox2);
  EXPECT_EQ(TakeJobSelection(ctx).hashCheckMode, HashCheckMode::Auto);
  EXPECT_FALSE(TakeJobSelection(ctx).EraseSelected);
}

}  // namespace
