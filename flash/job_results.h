// What identification and the jobs found out, handed back as plain values for a front end
// that reports them (the run's report, the command line's JSON and exit status).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "flash/failure.h"
#include "flash/flash_difference.h"
#include "flash/job_selection.h"

// The three digest texts of one read or check, as they are shown.
struct DigestTexts {
  std::string md5, sha1, crc;
  friend bool operator==(const DigestTexts&, const DigestTexts&) = default;
};

// How one digest fared: not compared (no expected text, or NOT check in Auto mode), the
// main hash by which the dump was looked up, or compared with OK or FAIL.
enum class DigestVerdict { NotCompared, Main, Ok, Fail };

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

// The module and chip of a successful identification, with what the database knew of
// them (the session holds the standard values assumed for what it did not know).
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

// What one job did: nothing failed, or why it did (its Red line written). A verify or
// check may keep what it found of a difference also when it failed for another reason.
struct JobResult {
  std::optional<JobFailure> failure;
  uint64_t bytes = 0;                  // flash bytes handled before the job ended
  bool mismatch = false;               // a check found the flash different from its file
  std::optional<DigestTexts> digests;  // a read or check that finished
  std::optional<VerificationRecord> verification;  // of those digests
  std::optional<FlashDifference> difference;       // a whole-flash compare that differed
  std::vector<RetryRecord> retries;                // reconnections after lost transfers

  bool Ok() const { return !failure; }
  // The job's result as the programmer's commands give theirs: 0 done, 0xFF failed.
  uint8_t Code() const { return Ok() ? 0 : 0xFF; }
  bool Cancelled() const { return failure && failure->reason == FailureReason::Cancelled; }
};

// A job that failed before it handled any of the flash.
inline JobResult FailedJob(JobFailure failure) {
  JobResult result;
  result.failure = std::move(failure);
  return result;
}

// Connection and identification: the module and chip, or why there are none (the box or
// question shown, the link closed).
struct IdentifyOutcome {
  std::optional<ConnectFailure> failure;
  IdentificationRecord identified;  // when nothing failed

  bool Ok() const { return !failure; }
};

// What the bench diagnostic did: why it failed (its status file, or its connection), and
// what it identified.
struct DiagnosticResult {
  std::optional<JobFailure> failure;
  std::optional<ConnectFailure> connection;  // connecting failed
  std::optional<IdentificationRecord> identification;

  bool Ok() const { return !failure && !connection; }
  uint8_t Code() const { return Ok() ? 0 : 0xFF; }
};
