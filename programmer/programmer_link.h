// Finding, opening, configuring and releasing the USB programmer.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "programmer/programmer_list.h"
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

// A transfer that did not move what was asked: the request it belonged to, which way it
// went, and what the library said.
struct TransferFault {
  uint8_t request = 0;  // the request's opcode; the data phase of a block belongs to its request
  bool answer = false;  // the IN transfer of an answer; else the OUT transfer of the request
  int result = 0;       // the library's result: -errno, or the bytes moved when short
  int size = 0;         // the bytes asked for
  friend bool operator==(const TransferFault&, const TransferFault&) = default;
};

// "request 12, answer: -110 (Connection timed out)", "request 11, 4096 of 32768 bytes".
std::string TransferFaultText(const TransferFault& fault);

// The open programmer: the table it was opened through and its handle (null: none), with
// what the last attempt to open it found.
struct ProgrammerLink {
  UsbApi api = UnboundUsbApi();
  usb_dev_handle* handle = nullptr;

  std::vector<ProgrammerPlace> found;  // every programmer on the bus, in bus-list order
  std::optional<DeviceChoice> choice;  // the one asked for; none: the only one there
  // The programmer usb_open gave the handle for. It stays when a later step of the
  // connection failed and after CloseProgrammer, for the front end to report.
  std::optional<ProgrammerPlace> opened;

  // The last transfer that failed, for the caller of a command that returned 0xFF to say
  // why; the commands take the link as it stands, so these two are kept as they go.
  mutable std::optional<TransferFault> fault;
  mutable uint8_t request = 0;  // the opcode of the request being exchanged
};

// How an attempt to open the programmer ended. Every status but Ok is a message box for
// the operator (LinkMessage), and leaves nothing open.
enum class LinkStatus {
  Ok,
  NotFound,               // no programmer, no library, or the one to open not opened
  SetConfigurationError,  // usb_set_configuration of configuration 1 failed
  InterfaceError,         // usb_claim_interface of interface 0 failed
  DeviceError,            // the GetVersion exchange failed
  VersionIncorrect,       // a firmware other than 2.1
  SeveralFound,           // no choice and more than one programmer: none was opened
  ChoiceNotFound,         // the chosen programmer is not on the bus: none was opened
  // -EBUSY from usb_set_configuration or usb_claim_interface: another program (or a
  // kernel driver) has the programmer's interface claimed.
  SetConfigurationInUse,
  InterfaceInUse,
  // The caller asked to stop (a signal) while the programmer was found or opened: it was
  // closed before its next request. No message: the caller says the run was cancelled.
  Stopped,
};

// Binds the library through `bind`, calls usb_init, refreshes the bus and device lists
// and records the programmers in link.found, then opens one with usb_open: without a
// choice the only one there, with a choice only the one it matches. Ok when usb_open gave
// a handle; NotFound when none is there or it gave none; SeveralFound and ChoiceNotFound
// open nothing. `usbDevices`: where the port paths are read (FindProgrammers).
LinkStatus FindProgrammer(ProgrammerLink& link, const UsbBinder& bind,
                          const std::optional<DeviceChoice>& choice = std::nullopt,
                          const std::string& usbDevices = kUsbDevicesFolder);

// The fixed text of a failed status: "Device not found", "Device set configuration
// error", "Device interface error", "Device error", "Device version incorrect",
// "Several programmers found. Keep only one connected.", "Chosen programmer not found";
// for the two in use "Device set configuration error: the programmer is in use by
// another program" and "Device interface error: the programmer is in use by another
// program" (starting as the plain errors do, which the operator knows).
const char* LinkStatusText(LinkStatus status);

// What the operator is shown for a failed status of the last attempt on `link`:
// LinkStatusText, except for the two that name the programmers (PlaceText, ChoiceText):
//   SeveralFound:   "2 programmers found: 001:007 (port 1-2), 001:009 (port 1-3). Keep
//                   only one connected."
//   ChoiceNotFound: "No programmer at 001:009. Found: 001:007 (port 1-2)." (or "Found:
//                   none.")
std::string LinkMessage(LinkStatus status, const ProgrammerLink& link);

// FindProgrammer, configuration 1, interface 0 and firmware version 2.1. Anything but Ok
// leaves nothing open; the caller tells the operator (LinkMessage). `stopped` is asked
// before each step after the open: true ends the attempt with Stopped.
LinkStatus OpenProgrammerLink(ProgrammerLink& link, const UsbBinder& bind,
                              const std::optional<DeviceChoice>& choice = std::nullopt,
                              const std::string& usbDevices = kUsbDevicesFolder,
                              const std::function<bool()>& stopped = {});

// Releases interface 0 and closes the handle; results are not examined.
void CloseProgrammer(ProgrammerLink& link);
