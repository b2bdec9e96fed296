// Opening the programmer as identification does, for tests of the connection alone.
#pragma once

#include <optional>
#include <string>

#include "app/window_ops.h"
#include "programmer/programmer_link.h"

// OpenProgrammerLink, its failure shown in `window` with the programmer's caption.
inline bool OpenAndTell(ProgrammerLink& link, const UsbBinder& bind, WindowOps& window,
                        LinkStatus& status,
                        const std::optional<DeviceChoice>& choice = std::nullopt,
                        const std::string& usbDevices = kUsbDevicesFolder) {
  status = OpenProgrammerLink(link, bind, choice, usbDevices);
  if (status != LinkStatus::Ok)
    window.ShowMessage(LinkMessage(status, link), kProgrammerCaption);
  return status == LinkStatus::Ok;
}
inline bool OpenAndTell(ProgrammerLink& link, const UsbBinder& bind, WindowOps& window) {
  LinkStatus status = LinkStatus::Ok;
  return OpenAndTell(link, bind, window, status);
}
