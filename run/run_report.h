// What one run of jobs did, in plain records: the programmers, the connection or why it
// failed, the identified module and chip, each job's result and figures, the message
// boxes, and the final log lines. The Start sequence fills it from what identification
// and the jobs hand back; a front end reads it (the command line prints it as JSON and
// derives its exit status from its verdict).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "flash/job_results.h"
#include "programmer/programmer_list.h"
#include "run/line_stream.h"

struct JobRecord {
  std::string name;  // read, check, reread, erase, write, verify, diagnose
  std::string file;
  JobResult result;  // what the job handed back
  double seconds = 0;

  // Why the job counts as failed in the run: the job's own failure, else digests that did
  // not verify (the job itself ended well, and the run stopped after it).
  std::optional<JobFailure> Failure() const;
};

// "ok", "failed" or "cancelled".
const char* OutcomeWord(const JobRecord& job);

struct ShownMessage {
  std::string caption;
  std::string text;
};

struct RunReport {
  // Why the run did not connect or identify; none when it did (or never tried).
  std::optional<ConnectFailure> connection;
  // The programmers the bus listed when the run connected, and the one it opened.
  std::vector<ProgrammerPlace> programmersFound;
  std::optional<ProgrammerPlace> programmer;
  std::optional<IdentificationRecord> identification;
  std::vector<RetryRecord> identifyRetries;  // identification tried again after a lost transfer
  std::vector<JobRecord> jobs;
  std::vector<ShownMessage> messages;  // every box and question, as shown
  std::vector<LoggedLine> log;
};

// What a run came to, most serious first: a stop the operator asked for, no connection,
// a job that failed, a verification that failed (a differing flash, digests that did not
// verify), done.
enum class RunVerdict { Done, VerificationFailed, JobFailed, NotConnected, Interrupted };
RunVerdict JudgeRun(const RunReport& report);
