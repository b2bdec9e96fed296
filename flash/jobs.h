// The flash jobs of a Start sequence. Each returns its result (code 0 for success, 0xFF
// for failure, having written its own Red line) with what it did.
#pragma once

#include "flash/job_context.h"
#include "flash/job_results.h"

JobResult ReadCheckJob(JobContext& ctx);
// The flash read again after a read, before anything is erased or written: compared byte
// for byte with the dump just written (ctx.selection.ReadFileName), or, when that is not a
// file that can be read back (a device, a FIFO), by its digests with `firstDigests`. A
// difference fails the job as a mismatch, with where and how the flash differs.
JobResult SecondReadJob(JobContext& ctx, const DigestTexts& firstDigests);
JobResult EraseJob(JobContext& ctx);
uint8_t EraseFlash(JobContext& ctx);
JobResult WriteJob(JobContext& ctx);

// The hidden bench diagnostic behind the Test! button; it fails when the status file
// cannot be made or written, or the programmer is not identified.
DiagnosticResult StatusTest(JobContext& ctx);
