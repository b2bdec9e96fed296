// The flash jobs of a Start sequence. Each hands back what it did and, when it failed, why
// (its Red line written).
#pragma once

#include <string>
#include <vector>

#include "flash/job_context.h"
#include "flash/job_results.h"
#include "flash/verify_digests.h"

// The selection's read or check, verified as the selection says.
JobResult ReadCheckJob(JobContext& ctx);
// The flash read into the dump `path`, its digests verified against `expected`.
JobResult ReadJob(JobContext& ctx, const std::string& path, const DigestExpectation& expected);
// The flash compared with the file `path` (also the verify after a write), its digests
// verified against `expected`. With ctx.compareWholeFlash a difference does not stop the
// job: it goes on to the end and hands back where and how the two differ.
JobResult CheckJob(JobContext& ctx, const std::string& path, const DigestExpectation& expected);
// The flash read again after a read, before anything is erased or written: compared byte
// for byte with the dump just written, or, when that is not a file that can be read back
// (a device, a FIFO), by its digests with `firstDigests`. A difference fails the job as a
// mismatch, with where and how the flash differs.
JobResult SecondReadJob(JobContext& ctx, const std::string& dumpPath,
                        const DigestTexts& firstDigests);
JobResult EraseJob(JobContext& ctx);
// Erases both banks and polls them until done; why not, when it failed. `retries` gets the
// reconnections it spent.
std::optional<JobFailure> EraseFlash(JobContext& ctx, std::vector<RetryRecord>* retries = nullptr);
// Erases one bank (bank byte 1 or 0) and polls it until done, without lines: for a write
// that starts the bank again after a reconnection.
std::optional<JobFailure> EraseBank(JobContext& ctx, uint8_t bank);
// The whole flash programmed from the selection's write file, or from `path`.
JobResult WriteJob(JobContext& ctx);
JobResult WriteJob(JobContext& ctx, const std::string& path);

// The hidden bench diagnostic behind the Test! button; it fails when the status file
// cannot be made or written, or the programmer is not identified.
DiagnosticResult StatusTest(JobContext& ctx);
