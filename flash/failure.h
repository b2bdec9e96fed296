// Why a job or a connection did not succeed: one closed set of reasons each, with a word
// for each that a rig can rely on (the words stay as they are) and the detail that goes
// with it. The operator's log lines and boxes are written where the failure happens; these
// are what is handed back.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "programmer/programmer_link.h"

enum class FailureReason {
  FileOpen,       // the dump, check or write file (or the status file) could not be opened
  FileRead,       // reading the check or write file failed
  FileWrite,      // writing the dump or the status file failed
  FileSync,       // the dump could not be synced or put in place
  FileTooShort,   // the check or write file holds less than the flash
  FileTooLong,    // ... or more
  Transfer,       // a USB transfer failed or came back short (the fault says which)
  WriteRefused,   // the device answered a write block with an error status
  EraseFailed,    // the device reported a bank it cannot erase, or an unknown state
  Cancelled,      // the operator asked to stop (Cancel, a signal)
  Verification,   // the digests did not verify
  Mismatch,       // the flash differs from the file (or the second read from the dump)
  FlashChanged,   // after a reconnection the flash no longer read as it had
  ModuleChanged,  // after a reconnection another module or chip was in the programmer
};

struct JobFailure {
  JobFailure() = default;
  explicit JobFailure(FailureReason why, int errorNumber = 0, std::string text = "",
                      std::optional<TransferFault> transfer = std::nullopt)
      : reason(why), error(errorNumber), detail(std::move(text)), fault(transfer) {}

  FailureReason reason = FailureReason::Transfer;
  int error = 0;  // errno of a file failure; 0 for none
  std::string detail;
  std::optional<TransferFault> fault;  // of a Transfer
  friend bool operator==(const JobFailure&, const JobFailure&) = default;
};

// "file_open", "file_read", "file_write", "file_sync", "file_too_short", "file_too_long",
// "transfer", "write_refused", "erase_failed", "cancelled", "verification", "mismatch",
// "flash_changed", "module_changed".
const char* FailureWord(FailureReason reason);

// A failed transfer on `link`, with the fault the commands kept.
JobFailure TransferFailure(const ProgrammerLink& link);

// What a transfer lost on the link came to, for a failure that may be tried again after a
// reconnection: "timeout", "stall", "short transfer" or "device gone". None for anything
// else: a file, the device's own answer, a difference, a cancel.
std::optional<std::string> LinkLossCause(const JobFailure& failure);

enum class ConnectReason {
  NotFound,       // no programmer (or no USB library), or usb_open gave no handle
  Several,        // more than one and none chosen: none was opened
  NotPresent,     // the chosen one is not on the bus
  InUse,          // another program has it claimed
  Configuration,  // usb_set_configuration failed
  Interface,      // usb_claim_interface failed
  Version,        // a firmware other than 2.1
  Device,         // a request of the connection or identification failed
  Declined,       // the operator answered Cancel to a question
  Cancelled,      // the operator asked to stop (a signal)
};

struct ConnectFailure {
  ConnectReason reason = ConnectReason::NotFound;
  std::string detail;  // the box's text, the question declined, or the transfer's fault
  friend bool operator==(const ConnectFailure&, const ConnectFailure&) = default;
};

// "not_found", "several", "not_present", "in_use", "configuration", "interface",
// "version", "device", "declined", "cancelled".
const char* ConnectWord(ConnectReason reason);

// The reason of a failed LinkStatus (Ok has none: NotFound is given).
ConnectReason ConnectReasonOf(LinkStatus status);

// One reconnection after a lost transfer: where, why and which try.
struct RetryRecord {
  std::string job;     // read, check, reread, erase, write, verify, identify
  int block = 0;       // the block being read or written (0 for the erase's and identify's)
  std::string reason;  // timeout, stall, short transfer, device gone
  int attempt = 0;     // 1 for the first try at that block
};
