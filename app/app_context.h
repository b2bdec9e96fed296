// The window's records: the jobs' context, run through the window's host (the event log
// and the controls behind WindowOps), with the window's read-or-check choice, the run's
// report and the database file.
#pragma once

#include <string>

#include "app/window_job_host.h"
#include "database/load_database.h"
#include "flash/job_context.h"
#include "run/run_report.h"

// The host comes first among the bases, so that it exists before the context that refers
// to it.
struct AppContext : private WindowJobHost, JobContext {
  explicit AppContext(WindowOps& w)
      : WindowJobHost(w), JobContext(static_cast<WindowJobHost&>(*this)) {}

  using WindowJobHost::log;
  using WindowJobHost::window;

  bool readMode = true;  // the window's read-or-check choice (Button1)
  RunReport report;      // what the last run did
  // The database file, in the working directory.
  std::string databasePath = kDatabaseFileName;
};
