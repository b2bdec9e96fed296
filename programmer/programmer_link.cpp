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
bool FailOpen(ProgrammerLink& link, WindowOps& window, const char* text) {
  window.ShowMessage(text, kProgrammerCaption);
  link.api.usb_close(link.handle);
  link.handle = nullptr;
  return false;
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

bool OpenProgrammerLink(ProgrammerLink& link, const UsbBinder& bind, WindowOps& window) {
  FindProgrammer(link, bind);
  if (link.handle == nullptr) {
    window.ShowMessage("Device not found", kProgrammerCaption);
    return false;
  }
  if (link.api.usb_set_configuration(link.handle, kConfiguration) < 0)
    return FailOpen(link, window, "Device set configuration error");
  if (link.api.usb_claim_interface(link.handle, kInterface) < 0)
    return FailOpen(link, window, "Device interface error");
  std::array<uint8_t, 2> version{};
  if (GetVersion(link, version) != kCommandOk)
    return FailOpen(link, window, "Device error");
  if (version[0] != 2 || version[1] != 1)
    return FailOpen(link, window, "Device version incorrect");
  return true;
}

void CloseProgrammer(ProgrammerLink& link) {
  // The handle is forgotten once closed so that nothing can reach the library with it.
  if (link.handle == nullptr)
    return;
  link.api.usb_release_interface(link.handle, kInterface);
  link.api.usb_close(link.handle);
  link.handle = nullptr;
}
