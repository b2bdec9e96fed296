// The library behind the tool's table is Debian's libusb-0.1, and it sees the emulated
// node as the programmer.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/usbfs/usbfs_fixture.h"

namespace {

std::string FileOf(void* function) {
  Dl_info info{};
  if (dladdr(function, &info) == 0 || info.dli_fname == nullptr)
    return {};
  std::error_code ignored;
  return std::filesystem::canonical(info.dli_fname, ignored).string();
}

TEST(UsbfsLibrary, EveryFunctionComesFromDebiansLibusb) {
  const UsbApi api = BindUsbLibrary(kDebianLibusb);
  const UsbApi unbound = UnboundUsbApi();
  EXPECT_NE(api.usb_open, unbound.usb_open);
  const void* functions[] = {
      reinterpret_cast<void*>(api.usb_init),
      reinterpret_cast<void*>(api.usb_find_busses),
      reinterpret_cast<void*>(api.usb_find_devices),
      reinterpret_cast<void*>(api.usb_get_busses),
      reinterpret_cast<void*>(api.usb_open),
      reinterpret_cast<void*>(api.usb_set_configuration),
      reinterpret_cast<void*>(api.usb_claim_interface),
      reinterpret_cast<void*>(api.usb_release_interface),
      reinterpret_cast<void*>(api.usb_close),
      reinterpret_cast<void*>(api.usb_bulk_write),
      reinterpret_cast<void*>(api.usb_bulk_read),
  };
  const std::string library = FileOf(const_cast<void*>(functions[0]));
  EXPECT_EQ(std::filesystem::path(library).filename().string().rfind("libusb-0.1.so.4", 0), 0u)
      << library;
  EXPECT_EQ(library.find(FW_BINARY_DIR), std::string::npos) << "the simulated drop-in was loaded";
  for (const void* f : functions) EXPECT_EQ(FileOf(const_cast<void*>(f)), library);
}

TEST_F(UsbfsTest, LibraryParsesTheNodesDescriptorsAsTheProgrammer) {
  AddProgrammer();
  const UsbApi api = BindUsbLibrary(kDebianLibusb);
  api.usb_init();
  api.usb_find_busses();
  api.usb_find_devices();
  struct usb_bus* bus = api.usb_get_busses();
  ASSERT_NE(bus, nullptr);
  EXPECT_STREQ(bus->dirname, "001");
  EXPECT_EQ(bus->next, nullptr);
  struct usb_device* dev = bus->devices;
  ASSERT_NE(dev, nullptr);
  EXPECT_STREQ(dev->filename, "002");
  EXPECT_EQ(dev->devnum, 2);
  EXPECT_EQ(dev->descriptor.idVendor, 0xFFFF);
  EXPECT_EQ(dev->descriptor.idProduct, 0x0201);
  ASSERT_EQ(dev->descriptor.bNumConfigurations, 1);
  ASSERT_NE(dev->config, nullptr);
  EXPECT_EQ(dev->config->bConfigurationValue, 1);
  ASSERT_EQ(dev->config->bNumInterfaces, 1);
  const usb_interface_descriptor& intf = dev->config->interface[0].altsetting[0];
  EXPECT_EQ(intf.bInterfaceNumber, 0);
  ASSERT_EQ(intf.bNumEndpoints, 2);
  EXPECT_EQ(intf.endpoint[0].bEndpointAddress, 0x04);
  EXPECT_EQ(intf.endpoint[1].bEndpointAddress, 0x85);
  EXPECT_EQ(intf.endpoint[0].wMaxPacketSize, 512);
}

// When the bus directory itself cannot be listed, the library keeps its old lists, and
// usb_open of a device whose node is gone hands back a handle rather than none: the
// tool then fails at the configuration, not at "Device not found".
TEST_F(UsbfsTest, StaleDeviceAfterTheBusDirectoryVanishedFailsCleanly) {
  usbfs::UsbfsProgrammer& programmer = AddProgrammer();
  ASSERT_TRUE(OpenAndTell(ctx.session.handle, ctx.bindUsb, window));
  CloseProgrammer(ctx.session.handle);

  std::filesystem::remove_all(std::filesystem::path(bed->RootDir()) / "dev/bus/usb");
  EXPECT_FALSE(OpenAndTell(ctx.session.handle, ctx.bindUsb, window));
  EXPECT_EQ(window.messages, (std::vector<FakeWindow::Message>{
                                 {"Device set configuration error", "Flash programmator", false}}));
  EXPECT_EQ(ctx.session.handle.handle, nullptr);
  EXPECT_EQ(bed->OpenDescriptors(programmer), 0);
}

}  // namespace
