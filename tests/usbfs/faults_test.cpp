// A programmer unplugged in the middle of a read, and a URB the device never completes:
// how Debian's libusb-0.1 reports them and what the tool makes of it.
#include <gtest/gtest.h>

#include <filesystem>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "flash/identify.h"
#include "flash/jobs.h"
#include "programmer/commands.h"
#include "tests/usbfs/usbfs_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int kUrbSize = 16384;
constexpr int kFailingBlock = 100;

TEST_F(UsbfsTest, ProgrammerUnpluggedMidReadFailsTheReadAndClosesTheLink) {
  usbfs::UsbfsFaults faults;
  // Gone after the first half of block 100 reached the host.
  faults.vanishWhen = [](const usbfs::UrbView& urb) {
    return urb.in && urb.blocksRead == kFailingBlock + 1 && urb.pendingIn == kUrbSize;
  };
  usbfs::UsbfsProgrammer& programmer = AddProgrammer(Module(kModule16M).Model(), faults);

  ASSERT_TRUE(ConnectAndIdentify(ctx).Ok());
  const std::string dump = dir.File("dump.bin");
  UseReadFile(dump);
  window.SetText(Control::MD5_result, "left from before");
  programmer.ClearRecord();
  EXPECT_EQ(ReadCheckJob(ctx).Code(), kCommandFailed);
  EXPECT_TRUE(programmer.Vanished());

  // The read error stands where the progress line was.
  const auto rows = Rows(Entries());
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[2], (Row{"[09:05:07] Start read to " + dump, LogColour::Green}));
  EXPECT_EQ(rows[3], (Row{"[09:05:07] Read error", LogColour::Red}));
  EXPECT_EQ(window.Text(Control::MD5_result), "");
  EXPECT_TRUE(window.messages.empty());

  // The library gave up at the first refused URB: nothing was submitted after it.
  const auto urbs = programmer.Urbs();
  ASSERT_FALSE(urbs.empty());
  EXPECT_EQ(urbs.back().refusedErrno, ENODEV);
  EXPECT_EQ(urbs.back().endpoint, 0x85);
  EXPECT_EQ(std::count_if(urbs.begin(), urbs.end(), [](const auto& u) { return u.refusedErrno; }),
            1);
  // No part of a dump is left behind.
  EXPECT_FALSE(std::filesystem::exists(dump));

  // The sequence closes the link: the release fails on a device that is gone, the node
  // is let go all the same.
  CloseProgrammer(ctx.session.handle);
  EXPECT_EQ(programmer.Ioctls().back(), (usbfs::IoctlRecord{"RELEASEINTERFACE", 0, ENODEV}));
  EXPECT_EQ(bed->OpenDescriptors(programmer), 0);
  EXPECT_EQ(ctx.session.handle.handle, nullptr);

  // Start again with the programmer's node gone: the library drops it from its list.
  bed->Unplug(programmer);
  EXPECT_FALSE(ConnectAndIdentify(ctx).Ok());
  EXPECT_EQ(window.MessageTexts(), (std::vector<std::string>{"Device not found"}));
}

TEST_F(UsbfsTest, UrbNeverCompletedTimesOutIsDiscardedAndFailsTheRead) {
  constexpr int kStuckBlock = 5;
  usbfs::UsbfsFaults faults;
  // The device NAKs the first IN URB of block 5 for good.
  faults.hangWhen = [](const usbfs::UrbView& urb) {
    return urb.in && urb.blocksRead == kStuckBlock && urb.pendingIn == 0;
  };
  usbfs::UsbfsProgrammer& programmer = AddProgrammer(Module(kModule16M).Model(), faults);
  ASSERT_TRUE(ConnectAndIdentify(ctx).Ok());
  const std::string dump = dir.File("dump.bin");
  UseReadFile(dump);
  programmer.ClearRecord();
  EXPECT_EQ(ReadCheckJob(ctx).Code(), kCommandFailed);

  EXPECT_EQ(LastOf(Rows(Entries()), 1)[0], (Row{"[09:05:07] Read error", LogColour::Red}));
  EXPECT_FALSE(std::filesystem::exists(dump));

  const auto urbs = programmer.Urbs();
  const auto stuck =
      std::find_if(urbs.begin(), urbs.end(), [](const auto& u) { return u.discarded; });
  ASSERT_NE(stuck, urbs.end());
  EXPECT_EQ(stuck->endpoint, 0x85);
  EXPECT_EQ(stuck->length, kUrbSize);
  EXPECT_FALSE(stuck->completed);
  EXPECT_TRUE(stuck->reaped);
  EXPECT_EQ(stuck->status, -ENOENT);
  EXPECT_EQ(stuck - urbs.begin(), static_cast<std::ptrdiff_t>(urbs.size()) - 1)
      << "nothing was submitted after the discarded URB";
  // The library's own deadline: it never gives up on a URB before the 1000 ms the tool
  // asked for.
  EXPECT_GE(stuck->held, std::chrono::milliseconds(kTimeoutMs));

  // After its submission the library polled without blocking until its deadline, then
  // discarded the URB and reaped it with a blocking reap.
  const auto ioctls = programmer.Ioctls();
  const auto submitted =
      std::find(ioctls.begin(), ioctls.end(), usbfs::IoctlRecord{"SUBMITURB", stuck->index, 0});
  ASSERT_NE(submitted, ioctls.end());
  const std::vector<usbfs::IoctlRecord> tail(submitted + 1, ioctls.end());
  ASSERT_GE(tail.size(), 3u);
  EXPECT_EQ(tail[tail.size() - 2], (usbfs::IoctlRecord{"DISCARDURB", stuck->index, 0}));
  EXPECT_EQ(tail.back(), (usbfs::IoctlRecord{"REAPURB", stuck->index, 0}));
  for (size_t i = 0; i + 2 < tail.size(); ++i)
    ASSERT_EQ(tail[i], (usbfs::IoctlRecord{"REAPURBNDELAY", 0, EAGAIN})) << "poll " << i;
  EXPECT_EQ(programmer.InFlight(), 0);

  CloseProgrammer(ctx.session.handle);
  EXPECT_EQ(programmer.Ioctls().back(), (usbfs::IoctlRecord{"RELEASEINTERFACE", 0, 0}));
  EXPECT_EQ(bed->OpenDescriptors(programmer), 0);
}

}  // namespace
