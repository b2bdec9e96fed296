// What one run of jobs did, in plain records: the identified module and chip, each job's
// result and figures, the digests and their verification, and the final log lines. The
// Start sequence fills it from what identification and the jobs hand back; a front end
// reads it (the command line prints it as JSON and derives its exit status from it).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/log_colour.h"
#include "flash/job_results.h"
#include "programmer/programmer_list.h"

enum class JobOutcome { Ok, Failed, Cancelled };

struct JobRecord {
  std::string name;  // read, check, reread, erase, write, verify, diagnose
  std::string file;
  JobOutcome result = JobOutcome::Failed;
  uint64_t bytes = 0;  // handled before the job ended
  double seconds = 0;
  bool mismatch = false;  // the flash differed from the file ("check ... FAILED")
  std::optional<DigestTexts> digests;
  std::optional<VerificationRecord> verification;
  std::optional<FlashDifference> difference;  // where and how the flash differed
};

struct LoggedLine {
  std::string time;  // local date and time when the line became final (ISO 8601)
  LogColour colour = LogColour::Green;
  std::string text;
};

struct RunReport {
  bool connectFailed = false;   // no programmer, a failed connection or a declined question
  bool connectStopped = false;  // ... because the operator asked to stop (a signal)
  // The programmers the bus listed when the run connected, and the one it opened.
  std::vector<ProgrammerPlace> programmersFound;
  std::optional<ProgrammerPlace> programmer;
  std::optional<IdentificationRecord> identification;
  std::vector<JobRecord> jobs;
  std::vector<LoggedLine> log;
};

// What a run came to, most serious first.
enum class RunVerdict { Done, VerificationFailed, JobFailed, NotConnected, Interrupted };
RunVerdict JudgeRun(const RunReport& report);
