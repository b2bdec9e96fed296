// The selection handlers: job boxes with their file dialogs, the read/check toggle and
// the Auto/Manual choice.
#include <optional>
#include <ostream>
#include <string>

#include "tests/appcore/form_fixture.h"

namespace {

using SelectionHandlers = FormFixture;

// ---- CheckBox1: read or check job --------------------------------------------------

TEST_F(SelectionHandlers, ReadBoxWithCancelledSaveDialogWritesOnlyTheDeselectionLine) {
  window.Click(Control::CheckBox1);  // save dialog: no answer queued, so Cancel

  EXPECT_FALSE(window.IsChecked(Control::CheckBox1));
  EXPECT_EQ(window.dialogsRun, std::vector<FileDialog>{FileDialog::SaveDialog1});
  EXPECT_EQ(Lines(), Green({"Read job deselected"}));
  EXPECT_EQ(window.DialogFileName(FileDialog::SaveDialog1), "");
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(SelectionHandlers, ReadBoxWithChosenFileLogsTheFullPath) {
  window.dialogAnswers[FileDialog::SaveDialog1] = {"/home/op/dumps/module 64M.bin"};
  window.Click(Control::CheckBox1);

  EXPECT_TRUE(window.IsChecked(Control::CheckBox1));
  EXPECT_EQ(Lines(), Green({"Selected file for read: /home/op/dumps/module 64M.bin"}));

  window.Click(Control::CheckBox1);
  EXPECT_EQ(Lines(), Green({"Selected file for read: /home/op/dumps/module 64M.bin",
                            "Read job deselected"}));
  EXPECT_EQ(window.dialogsRun.size(), 1u) << "unticking opens no dialog";
}

TEST_F(SelectionHandlers, PathsArePutInLiterallyWhateverTheirLengthAndCharacters) {
  const std::string path = "/tmp/" + std::string(600, 'd') + "/100%s %d %n %x.bin";
  window.dialogAnswers[FileDialog::SaveDialog1] = {path};
  window.Click(Control::CheckBox1);

  ASSERT_EQ(ctx.log.LineCount(), 1);
  EXPECT_EQ(ctx.log.Row(0).text, Stamp() + "Selected file for read: " + path);
}

// The operator may keep a dialog open for minutes: the line carries the time it closed.
TEST_F(SelectionHandlers, SelectionLinesAreStampedWhenTheDialogHasClosed) {
  ctx.now = [this] { return kTestTime + 75 * window.dialogsRun.size() / 86400.0; };
  window.dialogAnswers[FileDialog::SaveDialog1] = {"/d/read.bin"};
  window.dialogAnswers[FileDialog::OpenDialog1] = {"/d/write.bin"};
  window.Click(Control::CheckBox1);
  window.Click(Control::CheckBox3);
  EXPECT_EQ(Lines(),
            (LogLines{{"[09:06:22] Selected file for read: /d/read.bin", LogColour::Green},
                      {"[09:07:37] Selected file for write: /d/write.bin", LogColour::Green}}));
}

TEST_F(SelectionHandlers, CheckModeUsesTheCheckDialogAndItsLines) {
  window.Click(Control::Button1);  // to check mode
  ASSERT_FALSE(ctx.readMode);

  window.Click(Control::CheckBox1);  // cancelled
  window.dialogAnswers[FileDialog::OpenDialog2] = {"/srv/ref.bin"};
  window.Click(Control::CheckBox1);
  window.Click(Control::CheckBox1);

  EXPECT_EQ(window.dialogsRun,
            (std::vector<FileDialog>{FileDialog::OpenDialog2, FileDialog::OpenDialog2}));
  EXPECT_EQ(Lines(), Green({"Check job deselected", "Selected file for check: /srv/ref.bin",
                            "Check job deselected"}));
  EXPECT_EQ(window.DialogFileName(FileDialog::OpenDialog2), "/srv/ref.bin");
  EXPECT_EQ(window.DialogFileName(FileDialog::SaveDialog1), "");
}

TEST_F(SelectionHandlers, CancelledDialogKeepsTheLastChosenPath) {
  window.dialogAnswers[FileDialog::SaveDialog1] = {"/first.bin", std::nullopt};
  window.Click(Control::CheckBox1);
  window.Click(Control::CheckBox1);
  window.Click(Control::CheckBox1);  // cancelled

  EXPECT_FALSE(window.IsChecked(Control::CheckBox1));
  EXPECT_EQ(window.DialogFileName(FileDialog::SaveDialog1), "/first.bin");
  EXPECT_EQ(Lines(), Green({"Selected file for read: /first.bin", "Read job deselected",
                            "Read job deselected"}));
}

// ---- CheckBox3: write job ------------------------------------------------------------

TEST_F(SelectionHandlers, WriteBoxLogsChosenFileAndDeselection) {
  window.dialogAnswers[FileDialog::OpenDialog1] = {"/data/new image.bin"};
  window.Click(Control::CheckBox3);
  EXPECT_TRUE(window.IsChecked(Control::CheckBox3));
  window.Click(Control::CheckBox3);

  EXPECT_FALSE(window.IsChecked(Control::CheckBox3));
  EXPECT_EQ(window.dialogsRun, std::vector<FileDialog>{FileDialog::OpenDialog1});
  EXPECT_EQ(Lines(),
            Green({"Selected file for write: /data/new image.bin", "Write job deselected"}));
}

TEST_F(SelectionHandlers, WriteBoxWithCancelledDialogWritesOnlyTheDeselectionLine) {
  window.Click(Control::CheckBox3);

  EXPECT_FALSE(window.IsChecked(Control::CheckBox3));
  EXPECT_EQ(Lines(), Green({"Write job deselected"}));
}

// ---- CheckBox2: erase job ------------------------------------------------------------

TEST_F(SelectionHandlers, EraseBoxLogsWithoutDialog) {
  window.Click(Control::CheckBox2);
  window.Click(Control::CheckBox2);

  EXPECT_TRUE(window.dialogsRun.empty());
  EXPECT_EQ(Lines(), Green({"Erase job selected", "Erase job deselected"}));
}

// ---- Button1: read/check toggle ------------------------------------------------------

TEST_F(SelectionHandlers, ToggleWithReadBoxTickedDeselectsItThenToggleBackWritesNothing) {
  window.dialogAnswers[FileDialog::SaveDialog1] = {"/r.bin"};
  window.Click(Control::CheckBox1);

  DispatchClick(ctx, Control::Button1);
  EXPECT_FALSE(window.IsChecked(Control::CheckBox1));
  EXPECT_FALSE(ctx.readMode);
  EXPECT_EQ(window.Text(Control::Button1), "Check FLASH");
  EXPECT_EQ(Lines(), Green({"Selected file for read: /r.bin", "Read job deselected"}));

  DispatchClick(ctx, Control::Button1);
  EXPECT_TRUE(ctx.readMode);
  EXPECT_EQ(window.Text(Control::Button1), "Read FLASH");
  EXPECT_EQ(ctx.log.LineCount(), 2) << "nothing to deselect";
}

TEST_F(SelectionHandlers, ToggleWithCheckBoxTickedNamesTheCheckJob) {
  DispatchClick(ctx, Control::Button1);
  window.dialogAnswers[FileDialog::OpenDialog2] = {"/c.bin"};
  window.Click(Control::CheckBox1);

  DispatchClick(ctx, Control::Button1);
  EXPECT_TRUE(ctx.readMode);
  EXPECT_EQ(window.Text(Control::Button1), "Read FLASH");
  EXPECT_FALSE(window.IsChecked(Control::CheckBox1));
  EXPECT_EQ(Lines(), Green({"Selected file for check: /c.bin", "Check job deselected"}));
}

// ---- Auto / Manual ---------------------------------------------------------------------

constexpr Control kExpected[] = {Control::MD5_check, Control::SHA1_check, Control::CRC_check};

TEST_F(SelectionHandlers, ManualEnablesExpectedBoxesInWindowColourAutoDisablesThem) {
  window.SetText(Control::MD5_check, "0123456789ABCDEF0123456789abcdef");
  window.SetText(Control::CRC_check, "89abcdef");

  window.Click(Control::RadioButton2);
  for (Control box : kExpected) {
    EXPECT_TRUE(window.IsEnabled(box));
    EXPECT_EQ(window.background.at(box), SystemColour::Window);
  }
  window.Click(Control::RadioButton1);
  for (Control box : kExpected) {
    EXPECT_FALSE(window.IsEnabled(box));
    EXPECT_EQ(window.background.at(box), SystemColour::ButtonFace);
  }
  EXPECT_EQ(window.Text(Control::MD5_check), "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(window.Text(Control::CRC_check), "89abcdef");
  EXPECT_EQ(ctx.log.LineCount(), 0) << "the hash mode writes no log line";
}

// Each radio handler acts only when its own button is the checked one, so both can be
// called one after the other to restore the selected mode.
struct RadioCase {
  const char* name;
  Control checked;  // the radio button that is selected before the call
  void (*handler)(AppContext&);
  bool changes;
  SystemColour colour;
  bool enabled;
};

void PrintTo(const RadioCase& c, std::ostream* os) {
  *os << c.name;
}

class RadioHandlers : public FormFixture, public ::testing::WithParamInterface<RadioCase> {};

TEST_P(RadioHandlers, ActOnlyForTheirOwnButton) {
  const RadioCase& c = GetParam();
  window.onClick = nullptr;  // set the mark without running anything
  window.SetChecked(c.checked, true);
  for (Control box : kExpected) {
    window.SetEnabled(box, true);
    window.SetBackground(box, SystemColour::ScrollBar);
  }

  c.handler(ctx);

  for (Control box : kExpected) {
    EXPECT_EQ(window.IsEnabled(box), c.changes ? c.enabled : true);
    EXPECT_EQ(window.background.at(box), c.changes ? c.colour : SystemColour::ScrollBar);
  }
}

INSTANTIATE_TEST_SUITE_P(
    SelectionHandlers, RadioHandlers,
    ::testing::Values(
        RadioCase{"AutoWhenAuto", Control::RadioButton1, RadioButton1Click, true,
                  SystemColour::ButtonFace, false},
        RadioCase{"AutoWhenManual", Control::RadioButton2, RadioButton1Click, false, {}, {}},
        RadioCase{"ManualWhenManual", Control::RadioButton2, RadioButton2Click, true,
                  SystemColour::Window, true},
        RadioCase{"ManualWhenAuto", Control::RadioButton1, RadioButton2Click, false, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
