#include "run/run_report.h"

std::optional<JobFailure> JobRecord::Failure() const {
  if (result.failure)
    return result.failure;
  if (result.verification && result.verification->Failed())
    return JobFailure{FailureReason::Verification, 0, ""};
  return std::nullopt;
}

const char* OutcomeWord(const JobRecord& job) {
  if (job.result.Cancelled())
    return "cancelled";
  return job.result.Ok() ? "ok" : "failed";
}

RunVerdict JudgeRun(const RunReport& report) {
  if (report.connection && report.connection->reason == ConnectReason::Cancelled)
    return RunVerdict::Interrupted;
  bool failed = false;
  bool verificationFailed = false;
  for (const JobRecord& job : report.jobs) {
    const std::optional<JobFailure> failure = job.Failure();
    if (!failure)
      continue;
    switch (failure->reason) {
      case FailureReason::Cancelled:
        return RunVerdict::Interrupted;
      // A flash that differs from its file is a verification that failed, not a fault.
      case FailureReason::Mismatch:
      case FailureReason::Verification:
        verificationFailed = true;
        break;
      default:
        failed = true;
    }
  }
  if (report.connection)
    return RunVerdict::NotConnected;
  if (failed)
    return RunVerdict::JobFailed;
  return verificationFailed ? RunVerdict::VerificationFailed : RunVerdict::Done;
}
