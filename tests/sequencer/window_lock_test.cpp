// The window's locked state while a sequence runs, its idle state afterwards, and the
// closing of the programmer link after every outcome.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/sequencer/sequence_fixture.h"

namespace {

using namespace seqtest;

// Disabled by the lock, enabled again by the unlock (the expected-digest boxes aside).
const std::vector<Control> kLockedControls = {
    Control::btnExit,    Control::CheckBox1,    Control::CheckBox2,    Control::CheckBox3,
    Control::Label1,     Control::Label2,       Control::Label33,      Control::lblMD5,
    Control::lblSHA1,    Control::lblAGI,       Control::MD5_result,   Control::SHA1_result,
    Control::CRC_result, Control::RadioButton1, Control::RadioButton2, Control::Button1};
const std::vector<Control> kExpectedDigestBoxes = {Control::MD5_check, Control::SHA1_check,
                                                   Control::CRC_check};

// The first way in which the window is not in its locked state; empty when it is.
std::string NotLocked(const FakeWindow& w) {
  if (w.IsVisible(Control::btnStart))
    return "btnStart visible";
  if (!w.IsVisible(Control::btnCancel) || !w.IsEnabled(Control::btnCancel))
    return "btnCancel not usable";
  for (Control c : kLockedControls)
    if (w.IsEnabled(c))
      return "control " + std::to_string(int(c)) + " enabled";
  for (Control c : kExpectedDigestBoxes)
    if (w.IsEnabled(c) || w.background.at(c) != SystemColour::ButtonFace)
      return "digest box " + std::to_string(int(c)) + " not button-face and disabled";
  return "";
}

enum class Mode { Auto, Manual };

void Choose(Rig& rig, Mode mode) {
  rig.window.Click(mode == Mode::Auto ? Control::RadioButton1 : Control::RadioButton2);
}

void SelectAllThree(Rig& rig) {
  const std::string writePath = rig.dir.File("write.bin");
  WriteFileBytes(writePath, Noise(kFlash16M, 1));
  rig.SelectRead(rig.dir.File("read.bin"));
  rig.SelectErase();
  rig.SelectWrite(writePath);
}

void ExpectIdle(const Rig& rig, Mode mode) {
  const FakeWindow& w = rig.window;
  EXPECT_TRUE(w.IsVisible(Control::btnStart));
  EXPECT_FALSE(w.IsVisible(Control::btnCancel));
  EXPECT_EQ(w.ProgressPosition(), 0);
  for (Control c : kLockedControls) EXPECT_TRUE(w.IsEnabled(c)) << int(c);
  for (Control c : kExpectedDigestBoxes) {
    EXPECT_EQ(w.IsEnabled(c), mode == Mode::Manual) << int(c);
    EXPECT_EQ(w.background.at(c),
              mode == Mode::Manual ? SystemColour::Window : SystemColour::ButtonFace)
        << int(c);
  }
  // The result boxes keep their own colour; the hidden controls are left alone.
  for (Control c : {Control::MD5_result, Control::SHA1_result, Control::CRC_result})
    EXPECT_EQ(w.background.at(c), SystemColour::ScrollBar) << int(c);
  EXPECT_FALSE(w.IsVisible(Control::Button2));
  EXPECT_FALSE(w.IsEnabled(Control::Button2));
  EXPECT_FALSE(w.IsVisible(Control::isSharp));
}

// ---------------------------------------------------------------------------------------

class WindowLock : public testing::TestWithParam<Mode> {};

TEST_P(WindowLock, LockedWheneverAJobLetsEventsThrough) {
  Rig rig;
  Choose(rig, GetParam());
  SelectAllThree(rig);
  int events = 0;
  std::vector<std::string> problems;
  rig.window.onProcessEvents = [&] {
    ++events;
    const std::string problem = NotLocked(rig.window);
    if (!problem.empty())
      problems.push_back(problem);
  };
  btnStartClick(rig.ctx);
  EXPECT_GT(events, 2 * 512);  // the read, the erase and the write all ran
  EXPECT_TRUE(problems.empty()) << problems.size() << " times, first: " << problems.front();
  EXPECT_EQ(LastOf(rig.Lines(), 1)[0], Stamp("Jobs successful done"));
}

TEST_P(WindowLock, IdleAfterASuccessfulSequence) {
  Rig rig;
  Choose(rig, GetParam());
  SelectAllThree(rig);
  // Before the first sequence the two result boxes are shown disabled.
  ASSERT_FALSE(rig.window.IsEnabled(Control::MD5_result));
  btnStartClick(rig.ctx);
  ASSERT_EQ(LastOf(rig.Lines(), 1)[0], Stamp("Jobs successful done"));
  ExpectIdle(rig, GetParam());
}

TEST_P(WindowLock, IdleAfterAFailedSequence) {
  Rig rig;
  Choose(rig, GetParam());
  rig.SelectRead(rig.dir.File("no-such-folder/read.bin"));
  rig.SelectErase();
  btnStartClick(rig.ctx);
  ASSERT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
  ExpectIdle(rig, GetParam());
}

INSTANTIATE_TEST_SUITE_P(StartSequence, WindowLock, testing::Values(Mode::Auto, Mode::Manual),
                         [](const auto& info) {
                           return info.param == Mode::Auto ? "Auto" : "Manual";
                         });

TEST(StartSequence, LockClearsACancelFlagLeftFromBefore) {
  Rig rig;
  rig.SelectErase();
  rig.ctx.cancelFlag = true;
  btnStartClick(rig.ctx);
  EXPECT_EQ(LastOf(rig.Lines(), 1)[0], Stamp("Jobs successful done"));
}

TEST(StartSequence, CancelOnlyRaisesTheFlagAndExitOnlyClosesTheWindow) {
  Rig rig;
  const WindowState before = Snapshot(rig.window);
  btnCancelClick(rig.ctx);
  EXPECT_TRUE(rig.ctx.cancelFlag);
  EXPECT_EQ(Snapshot(rig.window), before);
  EXPECT_FALSE(rig.window.closed);
  btnExitClick(rig.ctx);
  EXPECT_TRUE(rig.window.closed);
  EXPECT_TRUE(rig.bus.Calls().empty());
  EXPECT_EQ(rig.ctx.log.LineCount(), 0);
}

// ---------------------------------------------------------------------------------------
// CloseProgrammer after every outcome: interface 0 released, then the handle closed,
// exactly once per open, and nothing sent on a closed handle.

struct CloseCase {
  std::string name;
  std::function<void(sim::DeviceConfig&)> setUp;
  std::function<void(Rig&)> select;
  LogColour lastColour;
};

std::vector<CloseCase> CloseCases() {
  auto none = [](sim::DeviceConfig&) {};
  auto writeFile = [](Rig& rig) {
    WriteFileBytes(rig.dir.File("write.bin"), Noise(kFlash16M, 2));
    rig.SelectWrite(rig.dir.File("write.bin"));
  };
  return {
      {"AllSucceed", none, [](Rig& rig) { SelectAllThree(rig); }, LogColour::Green},
      {"ReadFileFails", none,
       [](Rig& rig) { rig.SelectRead(rig.dir.File("no-such-folder/r.bin")); }, LogColour::Red},
      {"ReadBlockFails", [](sim::DeviceConfig& c) { c.faults.atReadBlock = 3; },
       [](Rig& rig) { rig.SelectRead(rig.dir.File("r.bin")); }, LogColour::Red},
      {"EraseBroken",
       [](sim::DeviceConfig& c) {
         c.model.eraseScript[0] = {3, 3};
       },
       [](Rig& rig) { rig.SelectErase(); }, LogColour::Red},
      {"WriteDeviceError",
       [](sim::DeviceConfig& c) {
         c.model.writeStatus = 1;
         c.model.writeStatusAtBlock = 7;
       },
       writeFile, LogColour::Red},
      {"WriteFileMissing", none, [](Rig& rig) { rig.SelectWrite(rig.dir.File("missing.bin")); },
       LogColour::Red},
  };
}

class LinkClosing : public testing::TestWithParam<CloseCase> {};

TEST_P(LinkClosing, ReleasesThenClosesOncePerOpen) {
  const CloseCase& c = GetParam();
  sim::DeviceConfig config;
  c.setUp(config);
  Rig rig(config);
  c.select(rig);
  for (int press = 1; press <= 2; ++press) {
    btnStartClick(rig.ctx);
    EXPECT_EQ(rig.ctx.log.Last().colour, c.lastColour) << rig.ctx.log.Last().text;
    const auto& calls = rig.bus.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2].name, "usb_release_interface");
    EXPECT_EQ(calls[calls.size() - 2].argument, 0);
    EXPECT_EQ(calls.back().name, "usb_close");
    EXPECT_EQ(calls.back().result, 0);
    EXPECT_EQ(rig.bus.CallCount("usb_open"), press);
    EXPECT_EQ(rig.bus.CallCount("usb_release_interface"), press);
    EXPECT_EQ(rig.bus.CallCount("usb_close"), press);
    EXPECT_EQ(rig.bus.TransfersAfterClose(), 0);
    EXPECT_FALSE(rig.device->IsOpen());
  }
}

INSTANTIATE_TEST_SUITE_P(StartSequence, LinkClosing, testing::ValuesIn(CloseCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
