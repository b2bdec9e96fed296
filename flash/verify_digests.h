#pragma once

#include <string>

#include "flash/job_context.h"
#include "flash/job_results.h"

// What the digests of a read are verified against: the operator's typed texts (Manual;
// an empty one is not compared) or the known dumps of the database (Auto).
struct DigestExpectation {
  HashCheckMode mode = HashCheckMode::Auto;
  std::string md5, sha1, crc;
};

// The selection's choice: its mode and typed texts.
DigestExpectation ExpectationOf(const JobSelection& selection);

// Checks the digests of a read or check, as shown, against what is expected, one log line
// per compared digest.
VerificationRecord VerifyDigests(JobContext& ctx, const DigestTexts& shown,
                                 const DigestExpectation& expected);
