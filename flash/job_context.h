// The records the jobs work on, owned by the front end that runs them: the database, the
// identified module, the digest states, the operator's selection, the cancel flag, and how
// the jobs reach the USB library, the clock and the front end (the host).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/time_text.h"
#include "database/flash_database.h"
#include "digest/agi_crc.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "flash/failure.h"
#include "flash/flash_session.h"
#include "flash/job_host.h"
#include "flash/job_selection.h"
#include "programmer/programmer_list.h"
#include "programmer/usb_api.h"

struct DigestStates {
  MD5Context md5{};
  SHA1Context sha1{};
  AgiCrcState crc{};

  // Fresh states for the next dump: after identification and before a verify.
  void Reset() {
    MD5Init(md5);
    AgiCrcInit(crc);
    SHA1Init(sha1);
  }
};

// How a job meets a transfer lost on the link. The window never tries again (limit 0).
struct RetryPolicy {
  // Reconnections in a row a job may spend without getting past the block that failed.
  int limit = 0;
  // Waits, in milliseconds, before a reconnection and while the programmer is away.
  std::function<void(int ms)> sleep;
  // Told of each retry as it begins.
  std::function<void(const RetryRecord&)> told;
};

struct JobContext {
  explicit JobContext(JobHost& h) : host(h) {}
  JobContext(const JobContext&) = delete;
  JobContext& operator=(const JobContext&) = delete;

  JobHost& host;
  FlashDatabase database;
  FlashSession session;
  DigestStates digests;
  JobSelection selection;  // as the Start press handed it over
  bool cancelFlag = false;
  // A check that finds a difference goes on to the end of the flash and reports where and
  // how the two differ, instead of stopping at the first block that differs.
  bool compareWholeFlash = false;
  // The window's hidden isSharp box, taken when Start or Test! is pressed: identification
  // then takes the fixed china-sharp module without asking the programmer.
  bool isSharp = false;
  // The programmer to open; none (the window): the only one on the bus.
  std::optional<DeviceChoice> device;
  RetryPolicy retry;
  // The job that is running, for the retry lines and records.
  std::string jobName;
  // Where the port paths of the programmers are read; tests point it at a folder of theirs.
  std::string usbDevices = kUsbDevicesFolder;
  // Told which programmer usb_open gave a handle for, as soon as it did (also when a later
  // step of the connection fails).
  std::function<void(const ProgrammerPlace&)> programmerOpened;

  // Before each connection attempt: how the libusb table is obtained.
  UsbBinder bindUsb = [] { return BindUsbLibrary(); };
  // The local time of day (days); tests fix it.
  std::function<double()> now = LocalTimeOfDay;
  // Where the diagnostic writes its status.txt (an absolute path, fixed at start-up).
  std::string statusPath;

  std::string Now() const { return TimeText(now()); }
};
