// Finding, opening, configuring and releasing the USB programmer.
#pragma once

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

// How an attempt to open the programmer ended. Every status but Ok is a message box for
// the operator (LinkStatusText), and leaves nothing open.
enum class LinkStatus {
  Ok,
  NotFound,               // no programmer, no library, or the first match not opened
  SetConfigurationError,  // usb_set_configuration of configuration 1 failed
  InterfaceError,         // usb_claim_interface of interface 0 failed
  DeviceError,            // the GetVersion exchange failed
  VersionIncorrect,       // a firmware other than 2.1
};

// The message box text of a failed status: "Device not found", "Device set configuration
// error", "Device interface error", "Device error", "Device version incorrect".
const char* LinkStatusText(LinkStatus status);

// FindProgrammer, configuration 1, interface 0 and firmware version 2.1. Anything but Ok
// leaves nothing open; the caller tells the operator.
LinkStatus OpenProgrammerLink(ProgrammerLink& link, const UsbBinder& bind);

// Releases interface 0 and closes the handle; results are not examined.
void CloseProgrammer(ProgrammerLink& link);
