// A transfer lost on the link (a timeout, a stall, a short transfer, a programmer that
// dropped off the bus) costs a reconnection, not the job: the link is closed, the same
// programmer found again and opened, and the same module and chip must be in it. Nothing
// else is tried again: a file, the device's own refusal, a difference, a cancel.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "flash/job_context.h"
#include "flash/job_results.h"

class LinkRetry {
 public:
  explicit LinkRetry(JobContext& ctx) : ctx_(ctx) {}

  // After `failure` at block `block`: true when the job may go on, the link open again to
  // the same module (its bus width set, nothing positioned). False when the failure
  // stands: not a link failure, no tries left, or the reconnection failed; `failure` then
  // says why (ModuleChanged when another module is in the programmer, its line written;
  // Cancelled when a stop was asked for meanwhile).
  // Tries count in a row: getting past `block` starts them afresh.
  bool Recover(JobFailure& failure, int block);

  const std::vector<RetryRecord>& Records() const { return records_; }

 private:
  JobContext& ctx_;
  std::vector<RetryRecord> records_;
  int failedBlock_ = -1;
  int tries_ = 0;
};

// Closes the link and opens the same programmer again: the same port path when the system
// gave one, else the only programmer on the bus, waiting a few seconds for it to come
// back. Then the module type and chip ID must be the session's (no question is asked) and
// the bus width is set again. None when that worked.
std::optional<JobFailure> Reconnect(JobContext& ctx);

// Waits (up to a few seconds) until the programmer the link last opened, or without one
// the only programmer, is on the bus; false when it did not come.
bool AwaitProgrammer(JobContext& ctx);

// The wait before try `attempt` (1 for the first): short, then growing.
void WaitBeforeRetry(const JobContext& ctx, int attempt);
