// What an emulated programmer looks like on the kernel's usbfs: its device node, the
// descriptors that libusb-0.1 reads from that node, and the umockdev text that creates it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace usbfs {

// Bus and device number: the node /dev/bus/usb/BBB/DDD; and the port path, the name of
// the device's sysfs directory (empty: "BUS-DEVICE", port DEVICE of the root hub).
struct NodeAddress {
  NodeAddress(int b = 1, int d = 2, std::string p = {}) : bus(b), device(d), port(std::move(p)) {}
  int bus;
  int device;
  std::string port;
};

// "/dev/bus/usb/001/002".
std::string NodePath(const NodeAddress& address);

// The device's directory in the emulated sysfs: "/sys/devices/fwtest/usb1/1-2" (or
// ".../usb1/1-3.1" for the port path 1-3.1).
std::string SysPath(const NodeAddress& address);

// The device descriptor followed by configuration 1 (interface 0 with bulk endpoints 0x04
// OUT and 0x85 IN, 512-byte packets), as the kernel serves them from the node: the device
// descriptor's words in host byte order, the configuration as sent by the device.
std::vector<uint8_t> ProgrammerDescriptors(uint16_t vendorId, uint16_t productId);

// A umockdev device description whose node holds `descriptors`.
std::string DeviceDescription(const NodeAddress& address, const std::vector<uint8_t>& descriptors);

}  // namespace usbfs
