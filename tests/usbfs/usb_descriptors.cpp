#include "tests/usbfs/usb_descriptors.h"

#include <cstdio>

namespace usbfs {

namespace {

constexpr uint16_t kMaxPacket = 512;  // high-speed bulk

void PutWord(std::vector<uint8_t>& out, uint16_t word) {
  out.push_back(static_cast<uint8_t>(word & 0xFF));
  out.push_back(static_cast<uint8_t>(word >> 8));
}

void PutBulkEndpoint(std::vector<uint8_t>& out, uint8_t address) {
  out.insert(out.end(), {7, 0x05, address, 0x02});
  PutWord(out, kMaxPacket);
  out.push_back(0);  // bInterval
}

}  // namespace

std::string NodePath(const NodeAddress& address) {
  char path[64];
  std::snprintf(path, sizeof path, "/dev/bus/usb/%03d/%03d", address.bus, address.device);
  return path;
}

std::string SysPath(const NodeAddress& address) {
  const std::string port = address.port.empty()
                               ? std::to_string(address.bus) + "-" + std::to_string(address.device)
                               : address.port;
  return "/sys/devices/fwtest/usb" + std::to_string(address.bus) + "/" + port;
}

std::vector<uint8_t> ProgrammerDescriptors(uint16_t vendorId, uint16_t productId) {
  std::vector<uint8_t> out{18, 0x01};
  PutWord(out, 0x0200);                     // bcdUSB
  out.insert(out.end(), {0xFF, 0, 0, 64});  // vendor class, control packets of 64
  PutWord(out, vendorId);
  PutWord(out, productId);
  PutWord(out, 0x0100);                 // bcdDevice
  out.insert(out.end(), {0, 0, 0, 1});  // no strings, one configuration

  constexpr uint16_t kConfigurationLength = 9 + 9 + 7 + 7;
  out.insert(out.end(), {9, 0x02});
  PutWord(out, kConfigurationLength);
  out.insert(out.end(), {1, 1, 0, 0x80, 50});  // one interface, value 1, bus powered, 100 mA
  out.insert(out.end(), {9, 0x04, 0, 0, 2, 0xFF, 0, 0, 0});  // interface 0, two endpoints
  PutBulkEndpoint(out, 0x04);
  PutBulkEndpoint(out, 0x85);
  return out;
}

std::string DeviceDescription(const NodeAddress& address, const std::vector<uint8_t>& descriptors) {
  // The description names the sysfs path without its "/sys" and the node without "/dev/".
  std::string text =
      "P: " + SysPath(address).substr(4) + "\nN: " + NodePath(address).substr(5) + "=";
  char hex[3];
  for (uint8_t byte : descriptors) {
    std::snprintf(hex, sizeof hex, "%02X", byte);
    text += hex;
  }
  text += "\nE: DEVNAME=" + NodePath(address) +
          "\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\n"
          "A: busnum=" +
          std::to_string(address.bus) + "\nA: devnum=" + std::to_string(address.device) + "\n";
  return text;
}

}  // namespace usbfs
