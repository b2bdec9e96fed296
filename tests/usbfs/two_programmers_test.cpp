// Two programmers on the bus: the first one in the library's bus and device order is
// used, and the other is never opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "flash/identify.h"
#include "tests/usbfs/usbfs_fixture.h"

namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The node of the first 0xFFFF:0x0201 device in the library's own lists, walked apart
// from the tool's code.
std::string FirstProgrammerInLibraryOrder() {
  const UsbApi api = BindUsbLibrary(kDebianLibusb);
  api.usb_init();
  api.usb_find_busses();
  api.usb_find_devices();
  for (struct usb_bus* bus = api.usb_get_busses(); bus; bus = bus->next)
    for (struct usb_device* dev = bus->devices; dev; dev = dev->next)
      if (dev->descriptor.idVendor == 0xFFFF && dev->descriptor.idProduct == 0x0201)
        return std::string("/dev/bus/usb/") + bus->dirname + "/" + dev->filename;
  return {};
}

TEST_F(UsbfsTest, OnlyTheFirstOfTwoProgrammersIsOpened) {
  sim::ModelConfig other = Module(kModule16M).Model();
  other.moduleType = 0x05;  // 32M, two banks: the log tells which module answered
  other.sizeMiB = 32;
  other.dualBank = true;
  usbfs::UsbfsProgrammer& a = AddProgrammer(Module(kModule16M).Model(), {}, {1, 2});
  usbfs::UsbfsProgrammer& b = AddProgrammer(other, {}, {1, 3});

  ASSERT_EQ(ConnectAndIdentify(ctx), 1);
  const std::string first = FirstProgrammerInLibraryOrder();
  ASSERT_TRUE(first == a.Node() || first == b.Node()) << first;
  usbfs::UsbfsProgrammer& used = first == a.Node() ? a : b;
  usbfs::UsbfsProgrammer& unused = first == a.Node() ? b : a;

  EXPECT_EQ(LastOf(Entries(), 1)[0].text, &used == &a ? "Flash module: 16M" : "Flash module: 32M");
  EXPECT_EQ(used.Requests(), (std::vector<std::string>{"13", "16", "36", "18"}));
  EXPECT_EQ(bed->OpenDescriptors(used), 1);
  // The other one was only looked at by the bus scans.
  for (const auto& name : unused.IoctlNames())
    EXPECT_TRUE(name == "CONNECTINFO" || name == "IOCTL") << name;
  EXPECT_TRUE(unused.Urbs().empty());
  EXPECT_EQ(bed->OpenDescriptors(unused), 0);
  EXPECT_TRUE(Contains(used.IoctlNames(), "CLAIMINTERFACE"));

  CloseProgrammer(ctx.session.handle);
  EXPECT_EQ(bed->OpenDescriptors(used), 0);
}

}  // namespace
