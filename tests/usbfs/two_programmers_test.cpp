// Two programmers on the bus: listed with their places from the library and sysfs, none
// opened without a choice, and only the chosen one opened with one.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "flash/identify.h"
#include "tests/usbfs/usbfs_fixture.h"

namespace {

// Module 16M at 001:002 (port 1-2); 32M with two banks at 001:005 behind a hub (port
// 1-3.1), so that its device number says nothing of its port.
class UsbfsTwoProgrammers : public UsbfsTest {
 protected:
  UsbfsTwoProgrammers() {
    sim::ModelConfig other = Module(kModule16M).Model();
    other.moduleType = 0x05;  // 32M, two banks: the log tells which module answered
    other.sizeMiB = 32;
    other.dualBank = true;
    AddProgrammer(Module(kModule16M).Model(), {}, {1, 2});
    AddProgrammer(other, {}, {1, 5, "1-3.1"});
  }
  usbfs::UsbfsProgrammer& First() { return *bed->Programmers()[0]; }
  usbfs::UsbfsProgrammer& Second() { return *bed->Programmers()[1]; }

  // The bus scans only: the device number, and the question to a kernel driver.
  void ExpectOnlyScanned(const usbfs::UsbfsProgrammer& programmer) {
    for (const auto& name : programmer.IoctlNames())
      EXPECT_TRUE(name == "CONNECTINFO" || name == "IOCTL") << name;
    EXPECT_TRUE(programmer.Urbs().empty());
    EXPECT_EQ(bed->OpenDescriptors(programmer), 0);
  }
};

const std::vector<ProgrammerPlace> kPlaces = {{1, 2, "1-2"}, {1, 5, "1-3.1"}};

std::vector<ProgrammerPlace> Sorted(std::vector<ProgrammerPlace> places) {
  std::sort(places.begin(), places.end(),
            [](const auto& a, const auto& b) { return a.device < b.device; });
  return places;
}

TEST_F(UsbfsTwoProgrammers, AreListedWithBusDeviceAndPortPathAndNeitherIsOpened) {
  // The library lists a bus's devices in the order it reads its directory.
  EXPECT_EQ(Sorted(ListProgrammers(ctx.bindUsb())), kPlaces);
  ExpectOnlyScanned(First());
  ExpectOnlyScanned(Second());
}

TEST_F(UsbfsTwoProgrammers, WithoutAChoiceNeitherIsOpened) {
  EXPECT_FALSE(ConnectAndIdentify(ctx).Ok());
  const std::vector<ProgrammerPlace>& found = ctx.session.handle.found;
  ASSERT_EQ(Sorted(found), kPlaces);
  EXPECT_EQ(window.MessageTexts(),
            (std::vector<std::string>{"2 programmers found: " + PlaceText(found[0]) + ", " +
                                      PlaceText(found[1]) + ". Keep only one connected."}));
  EXPECT_EQ(ctx.log.LineCount(), 0);
  ExpectOnlyScanned(First());
  ExpectOnlyScanned(Second());
}

TEST_F(UsbfsTwoProgrammers, AChoiceByBusDeviceOrPortPathOpensThatOneOnly) {
  struct Case {
    std::string choice;
    bool second;
  };
  for (const Case& c :
       {Case{"001:002", false}, Case{"1:5", true}, Case{"1-2", false}, Case{"1-3.1", true}}) {
    SCOPED_TRACE(c.choice);
    for (const auto& programmer : bed->Programmers()) programmer->ClearRecord();
    usbfs::UsbfsProgrammer& used = c.second ? Second() : First();
    usbfs::UsbfsProgrammer& unused = c.second ? First() : Second();
    ctx.device = ParseDeviceChoice(c.choice);
    const IdentifyOutcome outcome = ConnectAndIdentify(ctx);
    ASSERT_TRUE(outcome.Ok());
    EXPECT_EQ(ctx.session.handle.opened, kPlaces[c.second ? 1 : 0]);
    EXPECT_EQ(LastOf(Entries(), 1)[0].text, c.second ? "Flash module: 32M" : "Flash module: 16M");
    EXPECT_EQ(used.Requests(), (std::vector<std::string>{"13", "16", "36", "18"}));
    EXPECT_EQ(bed->OpenDescriptors(used), 1);
    ExpectOnlyScanned(unused);
    CloseProgrammer(ctx.session.handle);
    EXPECT_EQ(bed->OpenDescriptors(used), 0);
  }
}

}  // namespace
