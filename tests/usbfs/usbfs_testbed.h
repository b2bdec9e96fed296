// An emulated usbfs inside the test process: a umockdev testbed whose /dev/bus/usb holds
// simulated programmers. libumockdev-preload is linked into the test executable, so the
// file and ioctl calls that libusb-0.1 makes from this process reach the testbed.
#pragma once

#include <umockdev.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/device_config.h"
#include "tests/usbfs/usbfs_programmer.h"

namespace usbfs {

class UsbfsTestbed {
 public:
  UsbfsTestbed();
  ~UsbfsTestbed();
  UsbfsTestbed(const UsbfsTestbed&) = delete;
  UsbfsTestbed& operator=(const UsbfsTestbed&) = delete;

  // A device node with the programmer's descriptors (or another identity), answered by
  // a model built from `model`.
  UsbfsProgrammer& AddProgrammer(const NodeAddress& address, const sim::ModelConfig& model = {},
                                 UsbfsFaults faults = {},
                                 uint16_t vendorId = sim::kProgrammerVendor,
                                 uint16_t productId = sim::kProgrammerProduct);

  // Takes the device off the bus: its node is gone, its model stays for inspection.
  void Unplug(const UsbfsProgrammer& programmer);

  const std::vector<std::unique_ptr<UsbfsProgrammer>>& Programmers() const { return programmers_; }

  // File descriptors of this process open on the device's node.
  int OpenDescriptors(const UsbfsProgrammer& programmer) const;
  std::string RootDir() const { return root_; }
  // Where the testbed keeps the device's node.
  std::filesystem::path NodeFile(const UsbfsProgrammer& programmer) const;

 private:
  UMockdevTestbed* testbed_ = nullptr;
  std::string root_;
  std::vector<std::unique_ptr<UsbfsProgrammer>> programmers_;
};

}  // namespace usbfs
