// The runs both front ends start: the selected jobs of a Start press, identification on
// its own and the bench diagnostic. Each fills `report` from what identification and the
// jobs hand back, and gives the run's verdict.
#pragma once

#include <functional>

#include "flash/job_context.h"
#include "run/run_report.h"

struct RunOptions {
  // After a successful write, read the flash back and check it against the write file,
  // with the digests and verification lines of a check.
  bool verifyAfterWrite = false;
  // After a read that an erase or a write follows, read the flash a second time and
  // compare it with the new dump before anything is erased or written.
  bool secondRead = false;
  // The window locks its controls once identification has succeeded, and unlocks them
  // after the link is closed; a terminal has nothing to lock.
  std::function<void()> lock{};
  std::function<void()> unlock{};
  // Told when each job begins and when it has ended, with its record.
  std::function<void(const JobRecord&)> jobStarted{};
  std::function<void(const JobRecord&)> jobEnded{};
};

// Connects, identifies and runs the selected jobs in the fixed order read or check,
// erase, write (then the verify when asked), stopping at the first that fails or whose
// digests did not verify: nothing is erased or written after a dump the tool could not
// vouch for. Nothing selected: the "Nothing to do" box, and Done.
RunVerdict RunStart(JobContext& ctx, RunReport& report, const JobSelection& selection,
                    const RunOptions& options);

// Connects, identifies (its lines go to the log) and closes.
RunVerdict RunIdentify(JobContext& ctx, RunReport& report);

// The bench diagnostic, its lines written to ctx.statusPath.
RunVerdict RunDiagnose(JobContext& ctx, RunReport& report, const RunOptions& options = {});
