// The flash jobs of a Start sequence. Each returns its result (code 0 for success, 0xFF
// for failure, having written its own Red line) with what it did.
#pragma once

#include "flash/job_context.h"
#include "flash/job_results.h"

JobResult ReadCheckJob(JobContext& ctx);
JobResult EraseJob(JobContext& ctx);
uint8_t EraseFlash(JobContext& ctx);
JobResult WriteJob(JobContext& ctx);

// The hidden bench diagnostic behind the Test! button; it fails when the status file
// cannot be made or written, or the programmer is not identified.
DiagnosticResult StatusTest(JobContext& ctx);
