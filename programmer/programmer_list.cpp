#include "programmer/programmer_list.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <utility>

#include "programmer/programmer_link.h"

namespace {

// Takes a run of one to three digits off the front of `text`; -1 (nothing taken) when it
// does not start with one.
int TakeNumber(std::string_view& text) {
  size_t digits = 0;
  while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == 0 || digits > 3)
    return -1;
  int value = 0;
  for (size_t i = 0; i < digits; ++i) value = value * 10 + (text[i] - '0');
  text.remove_prefix(digits);
  return value;
}

// "1-2", "1-2.3": the name the kernel gives a device below a root hub. Root hubs ("usb1")
// and interfaces ("1-2:1.0") are not port paths.
bool IsPortPath(std::string_view text) {
  if (TakeNumber(text) < 0 || text.empty() || text.front() != '-')
    return false;
  do {
    text.remove_prefix(1);
    if (TakeNumber(text) < 0)
      return false;
  } while (!text.empty() && text.front() == '.');
  return text.empty();
}

// The whole of `text` as a decimal number, or `otherwise`.
int NumberOr(const char* text, int otherwise) {
  const std::string_view view(text);
  int value = 0;
  const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
  return !view.empty() && error == std::errc{} && end == view.data() + view.size() ? value
                                                                                   : otherwise;
}

// A sysfs attribute holding one decimal number; -1 when it cannot be read.
int ReadNumber(const std::filesystem::path& file) {
  std::ifstream in(file);
  int value = -1;
  return in >> value ? value : -1;
}

// The port path of every device the kernel lists, by bus and device number.
std::map<std::pair<int, int>, std::string> PortPaths(const std::string& usbDevices) {
  std::map<std::pair<int, int>, std::string> ports;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(usbDevices, error)) {
    const std::string name = entry.path().filename().string();
    if (IsPortPath(name))
      ports[{ReadNumber(entry.path() / "busnum"), ReadNumber(entry.path() / "devnum")}] = name;
  }
  return ports;
}

std::string ThreeDigits(int number) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d", number);
  return text;
}

}  // namespace

std::string BusDeviceText(const ProgrammerPlace& place) {
  return ThreeDigits(place.bus) + ":" + ThreeDigits(place.device);
}

std::string PlaceText(const ProgrammerPlace& place) {
  return place.port.empty() ? BusDeviceText(place)
                            : BusDeviceText(place) + " (port " + place.port + ")";
}

std::vector<FoundProgrammer> FindProgrammers(const UsbApi& api, const std::string& usbDevices) {
  api.usb_init();
  api.usb_find_busses();
  api.usb_find_devices();
  std::vector<FoundProgrammer> found;
  for (struct usb_bus* bus = api.usb_get_busses(); bus != nullptr; bus = bus->next) {
    for (struct usb_device* device = bus->devices; device != nullptr; device = device->next) {
      if (device->descriptor.idVendor != kVendorId || device->descriptor.idProduct != kProductId)
        continue;
      found.push_back({{NumberOr(bus->dirname, static_cast<int>(bus->location)),
                        NumberOr(device->filename, device->devnum),
                        {}},
                       device});
    }
  }
  if (found.empty())
    return found;
  const auto ports = PortPaths(usbDevices);
  for (FoundProgrammer& programmer : found) {
    const auto port = ports.find({programmer.place.bus, programmer.place.device});
    if (port != ports.end())
      programmer.place.port = port->second;
  }
  return found;
}

std::vector<ProgrammerPlace> ListProgrammers(const UsbApi& api, const std::string& usbDevices) {
  std::vector<ProgrammerPlace> places;
  for (const FoundProgrammer& programmer : FindProgrammers(api, usbDevices))
    places.push_back(programmer.place);
  return places;
}

bool DeviceChoice::Matches(const ProgrammerPlace& place) const {
  return port.empty() ? place.bus == bus && place.device == device : place.port == port;
}

std::optional<DeviceChoice> ParseDeviceChoice(std::string_view text) {
  if (IsPortPath(text))
    return DeviceChoice{0, 0, std::string(text)};
  const int bus = TakeNumber(text);
  if (bus <= 0 || text.empty() || text.front() != ':')
    return std::nullopt;
  text.remove_prefix(1);
  const int device = TakeNumber(text);
  if (device <= 0 || !text.empty())
    return std::nullopt;
  return DeviceChoice{bus, device, {}};
}

std::string ChoiceText(const DeviceChoice& choice) {
  return choice.port.empty() ? BusDeviceText({choice.bus, choice.device, {}})
                             : "port " + choice.port;
}
