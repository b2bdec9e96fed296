// Finding, opening, configuring and releasing the USB programmer.
#pragma once

#include "app/window_ops.h"
#include "programmer/usb_api.h"

// Fixed identity of the programmer.
inline constexpr int kVendorId = 0xFFFF;
inline constexpr int kProductId = 0x0201;
inline constexpr int kConfiguration = 1;
inline constexpr int kInterface = 0;
inline constexpr int kEndpointOut = 0x04;
inline constexpr int kEndpointIn = 0x85;
inline constexpr int kTimeoutMs = 1000;
inline constexpr int kWriteDataTimeoutMs = 5000;

inline constexpr const char* kProgrammerCaption = "Flash programmator";

// The open programmer: the table it was opened through and its handle (null: none).
struct ProgrammerLink {
  UsbApi api = UnboundUsbApi();
  usb_dev_handle* handle = nullptr;
};

// Binds the library through `bind`, calls usb_init and refreshes the bus and device
// lists, then opens the first device 0xFFFF:0x0201. link.handle is null when none was
// found or the first match could not be opened.
void FindProgrammer(ProgrammerLink& link, const UsbBinder& bind);

// FindProgrammer, configuration 1, interface 0 and firmware version 2.1. On false a
// message box has been shown and nothing is left open.
bool OpenProgrammerLink(ProgrammerLink& link, const UsbBinder& bind, WindowOps& window);

// Releases interface 0 and closes the handle; results are not examined.
void CloseProgrammer(ProgrammerLink& link);
