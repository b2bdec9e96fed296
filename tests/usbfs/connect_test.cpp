// Finding, opening and releasing the programmer through Debian's libusb-0.1.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "tests/usbfs/usbfs_fixture.h"

namespace {

using usbfs::IoctlRecord;
using Names = std::vector<std::string>;

// What the library does on the node when it scans the bus: the device number, and a
// question to interface 0's kernel driver that has no driver to answer it.
const std::vector<IoctlRecord> kScan = {{"CONNECTINFO", 2, 0}, {"IOCTL", 0, ENODATA}};

std::vector<IoctlRecord> Then(std::vector<IoctlRecord> a, const std::vector<IoctlRecord>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(UsbfsTest, OpensConfiguresClaimsAndAcceptsVersion21) {
  usbfs::UsbfsProgrammer& programmer = AddProgrammer();
  ASSERT_TRUE(OpenAndTell(ctx.session.handle, ctx.bindUsb, window));
  EXPECT_TRUE(window.messages.empty());
  EXPECT_NE(ctx.session.handle.handle, nullptr);
  EXPECT_EQ(bed->OpenDescriptors(programmer), 1);

  const std::vector<IoctlRecord> opened = Then(kScan, {{"SETCONFIGURATION", 1, 0},
                                                       {"CLAIMINTERFACE", 0, 0},
                                                       {"SUBMITURB", 0, 0},
                                                       {"REAPURBNDELAY", 0, 0},
                                                       {"SUBMITURB", 1, 0},
                                                       {"REAPURBNDELAY", 1, 0}});
  EXPECT_EQ(programmer.Ioctls(), opened);
  const auto urbs = programmer.Urbs();
  ASSERT_EQ(urbs.size(), 2u);
  EXPECT_EQ(urbs[0].endpoint, 0x04);
  EXPECT_EQ(urbs[0].length, 1);
  EXPECT_EQ(urbs[0].head, (std::vector<uint8_t>{0x13}));
  EXPECT_EQ(urbs[1].endpoint, 0x85);
  EXPECT_EQ(urbs[1].length, 2);
  EXPECT_EQ(urbs[1].actual, 2);
  EXPECT_EQ(urbs[1].head, (std::vector<uint8_t>{2, 1}));
  for (const auto& urb : urbs) {
    EXPECT_TRUE(urb.completed && urb.reaped);
    EXPECT_FALSE(urb.discarded);
  }

  CloseProgrammer(ctx.session.handle);
  EXPECT_EQ(programmer.Ioctls(), Then(opened, {{"RELEASEINTERFACE", 0, 0}}));
  EXPECT_EQ(bed->OpenDescriptors(programmer), 0);
  EXPECT_EQ(ctx.session.handle.handle, nullptr);
}

struct FailureCase {
  std::string name;
  std::function<void(UsbfsTest&)> setUp;  // adds what the bus holds
  std::string message;
  Names ioctls;  // on the programmer's node, scan included; empty: no programmer
};

TEST_F(UsbfsTest, EachFailedStepReachesTheOperatorAndLeavesNothingOpen) {
  auto version = [](std::vector<uint8_t> answer) {
    return [answer](UsbfsTest& t) {
      sim::ModelConfig model = Module(kModule16M).Model();
      model.version = answer;
      t.AddProgrammer(model);
    };
  };
  auto faults = [](std::function<void(usbfs::UsbfsFaults&)> change) {
    return [change](UsbfsTest& t) {
      usbfs::UsbfsFaults f;
      change(f);
      t.AddProgrammer(Module(kModule16M).Model(), f);
    };
  };
  const Names scan = {"CONNECTINFO", "IOCTL"};
  const Names versionRead = {"CONNECTINFO", "IOCTL",         "SETCONFIGURATION", "CLAIMINTERFACE",
                             "SUBMITURB",   "REAPURBNDELAY", "SUBMITURB",        "REAPURBNDELAY"};
  const std::vector<FailureCase> cases = {
      {"EmptyBus", [](UsbfsTest&) {}, "Device not found", {}},
      {"OnlyAForeignDevice",
       [](UsbfsTest& t) {
         t.bed->AddProgrammer({1, 9}, Module(kModule16M).Model(), {}, 0xFFFF, 0x0202);
       },
       "Device not found", scan},
      // A node opened read-only refuses both with EPERM; another program's claim of the
      // interface makes them EBUSY.
      {"ConfigurationRefused",
       faults([](auto& f) { f.setConfigurationErrno = EPERM; }),
       "Device set configuration error",
       {"CONNECTINFO", "IOCTL", "SETCONFIGURATION"}},
      {"ConfigurationBusy",
       faults([](auto& f) { f.setConfigurationErrno = EBUSY; }),
       "Device set configuration error: the programmer is in use by another program",
       {"CONNECTINFO", "IOCTL", "SETCONFIGURATION"}},
      {"InterfaceRefused",
       faults([](auto& f) { f.claimErrno = EPERM; }),
       "Device interface error",
       {"CONNECTINFO", "IOCTL", "SETCONFIGURATION", "CLAIMINTERFACE"}},
      {"InterfaceBusy",
       faults([](auto& f) { f.claimErrno = EBUSY; }),
       "Device interface error: the programmer is in use by another program",
       {"CONNECTINFO", "IOCTL", "SETCONFIGURATION", "CLAIMINTERFACE"}},
      {"Version20", version({2, 0}), "Device version incorrect", versionRead},
      {"Version31", version({3, 1}), "Device version incorrect", versionRead},
      {"Version12", version({1, 2}), "Device version incorrect", versionRead},
      // One byte where two were asked for: a short transfer, not a version.
      {"OneVersionByte", version({2}), "Device error", versionRead},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    NewBed();
    window.messages.clear();
    c.setUp(*this);
    EXPECT_FALSE(OpenAndTell(ctx.session.handle, ctx.bindUsb, window));
    EXPECT_EQ(window.messages,
              (std::vector<FakeWindow::Message>{{c.message, "Flash programmator", false}}));
    EXPECT_EQ(ctx.session.handle.handle, nullptr);
    if (c.ioctls.empty())
      continue;
    // The one node this case put on the bus: nothing after the failed step, no release.
    const auto& programmer = *bed->Programmers().front();
    EXPECT_EQ(programmer.IoctlNames(), c.ioctls);
    EXPECT_EQ(bed->OpenDescriptors(programmer), 0);
  }
}

TEST_F(UsbfsTest, AProgrammerPluggedInAfterAFailedStartIsFound) {
  EXPECT_FALSE(OpenAndTell(ctx.session.handle, ctx.bindUsb, window));
  EXPECT_EQ(window.MessageTexts(), (std::vector<std::string>{"Device not found"}));

  usbfs::UsbfsProgrammer& programmer = AddProgrammer();
  EXPECT_TRUE(OpenAndTell(ctx.session.handle, ctx.bindUsb, window));
  EXPECT_EQ(window.MessageTexts(), (std::vector<std::string>{"Device not found"}));
  EXPECT_EQ(programmer.Requests(), (std::vector<std::string>{"13"}));
  CloseProgrammer(ctx.session.handle);
  EXPECT_EQ(bed->OpenDescriptors(programmer), 0);
}

}  // namespace
