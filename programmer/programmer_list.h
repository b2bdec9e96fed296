// The programmers on the bus, where each one sits, and the operator's choice of one.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "programmer/usb_api.h"

// Where the kernel lists the USB devices (and their interfaces), one entry each.
inline constexpr const char* kUsbDevicesFolder = "/sys/bus/usb/devices";

// Where one programmer sits: its bus and device number, as `lsusb -s` takes them, and its
// port path ("1-2.3": bus 1, port 2 of the root hub, port 3 of the hub there). The device
// number is new each time the programmer is plugged in; the port path stays the same as
// long as it goes into the same socket.
struct ProgrammerPlace {
  int bus = 0;
  int device = 0;
  std::string port;  // empty when the system does not tell it
  friend bool operator==(const ProgrammerPlace&, const ProgrammerPlace&) = default;
};

// "001:007".
std::string BusDeviceText(const ProgrammerPlace& place);
// "001:007 (port 1-2)", or "001:007" when the port path is not known.
std::string PlaceText(const ProgrammerPlace& place);

// A programmer found on the bus, with the library's device to open it by (valid until
// the library's lists are refreshed again).
struct FoundProgrammer {
  ProgrammerPlace place;
  struct usb_device* device = nullptr;
};

// Every device 0xFFFF:0x0201 in the library's bus-list order. Calls usb_init,
// usb_find_busses, usb_find_devices and usb_get_busses only: nothing is opened or claimed,
// so it may run while another program uses a programmer. The bus and device numbers are
// the library's usb_bus::dirname and usb_device::filename (on Linux the zero-padded
// numbers), else its location and devnum. The port path is the name of the entry of
// `usbDevices` whose busnum and devnum files hold those numbers.
std::vector<FoundProgrammer> FindProgrammers(const UsbApi& api,
                                             const std::string& usbDevices = kUsbDevicesFolder);
// FindProgrammers without the library's devices, for a front end to show.
std::vector<ProgrammerPlace> ListProgrammers(const UsbApi& api,
                                             const std::string& usbDevices = kUsbDevicesFolder);

// The programmer the operator asks for: by bus and device number, or by port path (which
// stays right after the programmer is plugged again into the same socket).
struct DeviceChoice {
  int bus = 0;  // bus and device number, both above 0; or 0 with a port path
  int device = 0;
  std::string port;

  bool Matches(const ProgrammerPlace& place) const;
  friend bool operator==(const DeviceChoice&, const DeviceChoice&) = default;
};

// "BUS:DEV" ("001:007", "1:7": one to three digits each, neither 0) or a port path ("1-2",
// "1-2.3": digits, '-', digits with dots between). No choice for any other text (the
// caller makes that a usage error).
std::optional<DeviceChoice> ParseDeviceChoice(std::string_view text);
// "001:007", or "port 1-2.3".
std::string ChoiceText(const DeviceChoice& choice);
