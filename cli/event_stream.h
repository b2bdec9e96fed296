// --events: the run as JSON Lines while it goes, for a rig that follows several runs at
// once without parsing their text. One object per line, each with an "event" member:
//   {"event":"line","time":"2026-12-09T10:22:57.123","colour":"red","text":"..."}
//       a log line once it is final (the lines of the report's "log")
//   {"event":"job_start","job":"read","file":"dump.bin"}            (file: null for none)
//   {"event":"progress","job":"read","percent":12,"bytes":2031616,
//    "bytes_per_second":19876543.2,"seconds_left":2.9}             at most once a percent
//   {"event":"job_end","job":"read","result":"ok","bytes":16777216,"seconds":0.84}
//   {"event":"message","caption":"Flash programmator","text":"Device not found"}
//       a message box or question, as it is shown
//   {"event":"retry","job":"read","block":37,"reason":"timeout","try":1}
//       a transfer lost on the link: the job reconnects and goes on
//   {"event":"end","exit_code":0}                                    the last line
// Each line is flushed as it is written. The shapes are documented in the man page and
// stay as they are; new members may be added.
#pragma once

#include <cstdio>
#include <string>

#include "run/run_report.h"

class EventStream {
 public:
  // Writes to `out` (not closed here); null writes nothing.
  explicit EventStream(std::FILE* out) : out_(out) {}

  void Line(const LoggedLine& line);
  void JobStarted(const JobRecord& job);
  void JobEnded(const JobRecord& job);
  void Message(const ShownMessage& message);
  void Retry(const RetryRecord& retry);
  // `position` of `maximum` blocks of 32 KiB done after `seconds`; written only when the
  // percentage has moved on since the last one of this job.
  void Progress(const std::string& job, int position, int maximum, double seconds);
  void End(int exitCode);

 private:
  void Write(const std::string& json);

  std::FILE* out_;
  int lastPercent_ = -1;
};
