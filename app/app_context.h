// The process-wide records of the tool, owned by the main window and handed to the
// functions that need them.
#pragma once

#include <string>

#include "app/event_log.h"
#include "app/job_selection.h"
#include "app/run_report.h"
#include "app/time_text.h"
#include "app/window_ops.h"
#include "database/flash_database.h"
#include "digest/agi_crc.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "flash/flash_session.h"
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

struct AppContext {
  explicit AppContext(WindowOps& w) : window(w) {}
  AppContext(const AppContext&) = delete;
  AppContext& operator=(const AppContext&) = delete;

  WindowOps& window;
  EventLog log;
  FlashDatabase database;
  FlashSession session;
  DigestStates digests;
  bool cancelFlag = false;
  bool readMode = true;    // the window's read-or-check choice (Button1)
  JobSelection selection;  // taken from the controls when Start is pressed
  RunReport report;        // what the jobs did, for a front end that reports it

  // Before each connection attempt: how the libusb table is obtained.
  UsbBinder bindUsb = [] { return BindUsbLibrary(); };
  // The local time of day (days); tests fix it.
  std::function<double()> now = LocalTimeOfDay;
  // The database file, in the working directory.
  std::string databasePath = "kz1_v2.6.ini";
  // Where the diagnostic writes its status.txt (an absolute path, fixed at start-up).
  std::string statusPath;

  std::string Now() const { return TimeText(now()); }
};
