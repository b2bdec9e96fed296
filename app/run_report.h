// What one run of jobs did, in plain records: the identified module and chip, each job's
// result and figures, the digests and their verification, and the final log lines. The
// core fills it as the run goes; a front end reads it (the command line prints it as
// JSON and derives its exit status from it).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/job_selection.h"
#include "app/log_colour.h"

enum class JobOutcome { Ok, Failed, Cancelled };

// How one digest fared: not compared (no expected text, or NOT check in Auto mode), the
// main hash by which the dump was looked up, or compared with OK or FAIL.
enum class DigestVerdict { NotCompared, Main, Ok, Fail };

struct DigestTexts {
  std::string md5, sha1, crc;
};

struct VerificationRecord {
  HashCheckMode mode = HashCheckMode::Auto;
  bool matched = false;     // Auto: a known dump has the main digest
  std::string description;  // of that dump
  DigestVerdict md5 = DigestVerdict::NotCompared;
  DigestVerdict sha1 = DigestVerdict::NotCompared;
  DigestVerdict crc = DigestVerdict::NotCompared;

  // A Manual FAIL or, for a matched dump, a checked digest that differs. An unknown dump
  // is no failure.
  bool Failed() const {
    return md5 == DigestVerdict::Fail || sha1 == DigestVerdict::Fail || crc == DigestVerdict::Fail;
  }
};

struct IdentificationRecord {
  uint8_t moduleId = 0;
  uint8_t sizeMB = 0;
  bool dualBank = false;
  bool moduleKnown = false;  // in the database; otherwise the standard assumption
  std::array<uint8_t, 4> chipId{};
  bool chipRead = false;  // false in the fixed china-sharp mode, which reads no ID
  bool chipKnown = false;
  std::string chipName;
  std::string vendor;  // empty when the vendor code is not in the database
  uint8_t busWidth = 0;
  uint8_t writeMode = 0;
  int32_t blockCount = 0;
};

struct JobRecord {
  std::string name;  // read, check, erase, write, verify, diagnose
  std::string file;
  JobOutcome result = JobOutcome::Failed;
  uint64_t bytes = 0;  // handled before the job ended
  double seconds = 0;
  bool mismatch = false;  // the flash differed from the file ("check ... FAILED")
  std::optional<DigestTexts> digests;
  std::optional<VerificationRecord> verification;
};

struct LoggedLine {
  std::string time;  // local date and time when the line became final (ISO 8601)
  LogColour colour = LogColour::Green;
  std::string text;
};

struct RunReport {
  bool connectFailed = false;  // no programmer, a failed connection or a declined question
  std::optional<IdentificationRecord> identification;
  std::vector<JobRecord> jobs;
  std::vector<LoggedLine> log;
  // Set by the jobs and the digest verification while a job runs; taken into its record.
  bool checkMismatch = false;
  std::optional<VerificationRecord> verification;
};

// What a run came to, most serious first.
enum class RunVerdict { Done, VerificationFailed, JobFailed, NotConnected, Interrupted };
RunVerdict JudgeRun(const RunReport& report);
