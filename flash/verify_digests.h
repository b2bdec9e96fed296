#pragma once

#include "flash/job_context.h"
#include "flash/job_results.h"

// Checks the digests of a read or check, as shown, against the operator's expected texts
// (Manual) or the known dumps of the database (Auto), one log line per compared digest.
VerificationRecord VerifyDigests(JobContext& ctx, const DigestTexts& shown);
