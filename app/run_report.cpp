#include "app/run_report.h"

RunVerdict JudgeRun(const RunReport& report) {
  bool failed = false;
  bool verificationFailed = false;
  for (const JobRecord& job : report.jobs) {
    if (job.result == JobOutcome::Cancelled)
      return RunVerdict::Interrupted;
    // A flash that differs from its file is a verification that failed, not a fault.
    if (job.result == JobOutcome::Failed && !job.mismatch)
      failed = true;
    if (job.mismatch || (job.verification && job.verification->Failed()))
      verificationFailed = true;
  }
  if (report.connectStopped)
    return RunVerdict::Interrupted;
  if (report.connectFailed)
    return RunVerdict::NotConnected;
  if (failed)
    return RunVerdict::JobFailed;
  return verificationFailed ? RunVerdict::VerificationFailed : RunVerdict::Done;
}
