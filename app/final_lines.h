// The log as a stream of finished lines, for an output that cannot rewrite a line in
// place (a terminal's scrollback, a file, a report). A line is final once the next one
// is appended below it: until then a job may still rewrite it with its progress and
// finally with its result.
#pragma once

#include <functional>

#include "app/event_log.h"
#include "app/run_report.h"

class FinalLines {
 public:
  using Printer = std::function<void(const LoggedLine&)>;

  // Takes the log's observer for as long as this object lives. Every final line goes
  // into report.log, then to `print`.
  FinalLines(EventLog& log, RunReport& report, Printer print);
  ~FinalLines();
  FinalLines(const FinalLines&) = delete;
  FinalLines& operator=(const FinalLines&) = delete;

  // Lets the newest line out now (the run is over, or a question is about to be asked).
  // A later rewrite of it counts as a line of its own.
  void Flush();

 private:
  void Changed(int row);

  EventLog& log_;
  RunReport& report_;
  Printer print_;
  EventLog::Entry newest_;
  int lineCount_ = 0;     // the log's count at the last change
  bool pending_ = false;  // newest_ has not gone out
};

// The local date and time, as the report's lines carry it: 2026-12-09T01:45:12.345.
std::string LocalDateTimeText();
