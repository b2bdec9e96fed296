#include "programmer/programmer_link.h"

#include <array>
#include <cstdint>

#include "programmer/commands.h"

namespace {

bool IsProgrammer(const struct usb_device& device) {
  return device.descriptor.idVendor == kVendorId && device.descriptor.idProduct == kProductId;
}

// A failure between opening and the version check: the interface may not even be
// claimed, so the handle is only closed.
LinkStatus FailOpen(ProgrammerLink& link, LinkStatus status) {
  link.api.usb_close(link.handle);
  link.handle = nullptr;
  return status;
}

}  // namespace

void FindProgrammer(ProgrammerLink& link, const UsbBinder& bind) {
  link.api = bind();
  link.handle = nullptr;
  link.api.usb_init();
  link.api.usb_find_busses();
  link.api.usb_find_devices();
  for (struct usb_bus* bus = link.api.usb_get_busses(); bus != nullptr; bus = bus->next) {
    for (struct usb_device* device = bus->devices; device != nullptr; device = device->next) {
      if (IsProgrammer(*device)) {
        // Only the first match counts, even when it cannot be opened (another
        // process holding it): a second programmer is never used behind its back.
        link.handle = link.api.usb_open(device);
        return;
      }
    }
  }
}

const char* LinkStatusText(LinkStatus status) {
  switch (status) {
    case LinkStatus::Ok:
      return "";
    case LinkStatus::NotFound:
      return "Device not found";
    case LinkStatus::SetConfigurationError:
      return "Device set configuration error";
    case LinkStatus::InterfaceError:
      return "Device interface error";
    case LinkStatus::DeviceError:
      return "Device error";
    case LinkStatus::VersionIncorrect:
      break;
  }
  return "Device version incorrect";
}

LinkStatus OpenProgrammerLink(ProgrammerLink& link, const UsbBinder& bind) {
  FindProgrammer(link, bind);
  if (link.handle == nullptr)
    return LinkStatus::NotFound;
  if (link.api.usb_set_configuration(link.handle, kConfiguration) < 0)
    return FailOpen(link, LinkStatus::SetConfigurationError);
  if (link.api.usb_claim_interface(link.handle, kInterface) < 0)
    return FailOpen(link, LinkStatus::InterfaceError);
  std::array<uint8_t, 2> version{};
  if (GetVersion(link, version) != kCommandOk)
    return FailOpen(link, LinkStatus::DeviceError);
  if (version[0] != 2 || version[1] != 1)
    return FailOpen(link, LinkStatus::VersionIncorrect);
  return LinkStatus::Ok;
}

void CloseProgrammer(ProgrammerLink& link) {
  // The handle is forgotten once closed so that nothing can reach the library with it.
  if (link.handle == nullptr)
    return;
  link.api.usb_release_interface(link.handle, kInterface);
  link.api.usb_close(link.handle);
  link.handle = nullptr;
}
