// The Start sequence: one connection, the selected jobs in their fixed order, a stop at
// the first that fails; and the two runs of their own, identification and the diagnostic.
#include "run/sequencer.h"

#include <chrono>
#include <functional>

#include "flash/identify.h"
#include "flash/job_lines.h"
#include "flash/jobs.h"
#include "flash/link_retry.h"
#include "flash/stamped.h"
#include "flash/verify_digests.h"
#include "programmer/commands.h"

namespace {

using JobFunction = std::function<JobResult(JobContext&)>;

// Adds a job's record (a front end may show its name while it runs), runs the job and
// notes how long it took.
JobRecord& TimedJob(JobContext& ctx, RunReport& report, const RunOptions& options, const char* name,
                    const std::string& file, const std::function<void(JobRecord&)>& job) {
  JobRecord& record = report.jobs.emplace_back();
  record.name = name;
  record.file = file;
  ctx.jobName = name;
  if (options.jobStarted)
    options.jobStarted(record);
  const auto start = std::chrono::steady_clock::now();
  job(record);
  record.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (options.jobEnded)
    options.jobEnded(record);
  return record;
}

// Runs one job and keeps what it handed back.
bool RunJob(JobContext& ctx, RunReport& report, const RunOptions& options, const char* name,
            const std::string& file, const JobFunction& job) {
  bool ok = false;
  TimedJob(ctx, report, options, name, file, [&](JobRecord& record) {
    record.result = job(ctx);
    ok = record.result.Ok();
  });
  return ok;
}

// After a job that succeeded: whether its digests verified. One that did not ends the run
// with its own line, whatever was to follow.
bool Verified(JobContext& ctx, const RunReport& report) {
  const JobResult& job = report.jobs.back().result;
  if (!job.verification || !job.verification->Failed())
    return true;
  ctx.host.AppendLine(Stamped(ctx, "[%s] Verification failed, jobs stopped"), LogColour::Red);
  return false;
}

// A new run's record; the log lines and messages collected so far stay. The run owns the
// cancel flag: a Cancel left from before means nothing to it.
void BeginRun(JobContext& ctx, RunReport& report) {
  ctx.cancelFlag = false;
  report.connection.reset();
  report.programmersFound.clear();
  report.programmer.reset();
  report.identification.reset();
  report.jobs.clear();
  report.identifyRetries.clear();
}

// Which programmers the connection saw and which one it opened, whatever came of it.
void NoteProgrammers(const JobContext& ctx, RunReport& report) {
  report.programmersFound = ctx.session.handle.found;
  report.programmer = ctx.session.handle.opened;
}

// Identification, its record kept for the report. A stop the operator asked for ends it
// before its next request, and says so.
bool Connect(JobContext& ctx, RunReport& report) {
  ctx.jobName = "identify";
  IdentifyOutcome outcome = ConnectAndIdentify(ctx);
  // A transfer lost on the link while identifying: identification again, as a whole.
  for (int attempt = 1;
       attempt <= ctx.retry.limit && !outcome.Ok() &&
       outcome.failure->reason == ConnectReason::Device && !ctx.host.CancelPending();
       ++attempt) {
    const JobFailure lost = TransferFailure(ctx.session.handle);
    const std::optional<std::string> cause = LinkLossCause(lost);
    if (!cause)
      break;
    const RetryRecord record{"identify", 0, *cause, attempt};
    report.identifyRetries.push_back(record);
    ctx.host.AppendLine(Stamped(ctx, "[%s] identify: %s, connecting again, try %s of %s", *cause,
                                std::to_string(attempt), std::to_string(ctx.retry.limit)),
                        LogColour::Red);
    if (ctx.retry.told)
      ctx.retry.told(record);
    WaitBeforeRetry(ctx, attempt);
    AwaitProgrammer(ctx);  // one that dropped off the bus comes back under another number
    outcome = ConnectAndIdentify(ctx);
  }
  NoteProgrammers(ctx, report);
  report.connection = outcome.failure;
  if (!outcome.Ok()) {
    if (outcome.failure->reason == ConnectReason::Cancelled)
      ctx.host.AppendLine(Stamped(ctx, "[%s] Operation cancelled"), LogColour::Red);
    return false;
  }
  report.identification = outcome.identified;
  return true;
}

// The flash read back and checked against the file just written. The digests start
// afresh, as after identification. Typed digests describe the run's read or check; only a
// run without one verifies the written flash against them.
bool VerifyWrite(JobContext& ctx, RunReport& report, const RunOptions& options,
                 const JobSelection& selection) {
  const DigestExpectation expected =
      selection.ReadCheckSelected ? DigestExpectation{} : ExpectationOf(selection);
  ctx.digests.Reset();
  ctx.host.ResetProgress();
  const std::string& file = selection.WriteFileName;
  return RunJob(ctx, report, options, "verify", file,
                [&](JobContext& c) { return CheckJob(c, file, expected); }) &&
         Verified(ctx, report);
}

// The new dump vouched for by a second read of the flash, before anything destructive.
bool SecondRead(JobContext& ctx, RunReport& report, const RunOptions& options,
                const JobSelection& selection) {
  const DigestTexts first = report.jobs.back().result.digests.value_or(DigestTexts{});
  const std::string& dump = selection.ReadFileName;
  return RunJob(ctx, report, options, "reread", dump,
                [&](JobContext& c) { return SecondReadJob(c, dump, first); });
}

}  // namespace

RunVerdict RunStart(JobContext& ctx, RunReport& report, const JobSelection& selection,
                    const RunOptions& options) {
  BeginRun(ctx, report);
  ctx.selection = selection;
  const JobSelection& sel = selection;
  if (!sel.ReadCheckSelected && !sel.EraseSelected && !sel.WriteSelected) {
    ctx.host.ShowMessage("Nothing to do", kProgrammerCaption);
    return RunVerdict::Done;
  }
  if (!Connect(ctx, report))
    return JudgeRun(report);
  ctx.host.AppendLine(Stamped(ctx, "[%s] Start jobs"), LogColour::Green);
  if (options.lock)
    options.lock();

  const bool destructive = sel.EraseSelected || sel.WriteSelected;
  bool ok = !sel.ReadCheckSelected ||
            (RunJob(ctx, report, options, sel.ReadMode ? "read" : "check",
                    sel.ReadMode ? sel.ReadFileName : sel.CheckFileName, ReadCheckJob) &&
             Verified(ctx, report));
  if (ok)
    ctx.host.ResetProgress();
  if (ok && sel.ReadCheckSelected && sel.ReadMode && destructive && options.secondRead)
    ok = SecondRead(ctx, report, options, sel);
  if (ok)
    ok = !sel.EraseSelected || RunJob(ctx, report, options, "erase", "", EraseJob);
  if (ok)
    ok =
        !sel.WriteSelected || RunJob(ctx, report, options, "write", sel.WriteFileName,
                                     [&](JobContext& c) { return WriteJob(c, sel.WriteFileName); });
  if (ok && sel.WriteSelected && options.verifyAfterWrite)
    ok = VerifyWrite(ctx, report, options, sel);
  if (ok)
    ctx.host.AppendLine(Stamped(ctx, "[%s] Jobs successful done"), LogColour::Green);

  CloseProgrammer(ctx.session.handle);
  if (options.unlock)
    options.unlock();
  return JudgeRun(report);
}

RunVerdict RunIdentify(JobContext& ctx, RunReport& report) {
  BeginRun(ctx, report);
  if (Connect(ctx, report))
    CloseProgrammer(ctx.session.handle);
  return JudgeRun(report);
}

RunVerdict RunDiagnose(JobContext& ctx, RunReport& report, const RunOptions& options) {
  BeginRun(ctx, report);
  TimedJob(ctx, report, options, "diagnose", ctx.statusPath, [&](JobRecord& record) {
    const DiagnosticResult result = StatusTest(ctx);
    NoteProgrammers(ctx, report);
    report.identification = result.identification;
    report.connection = result.connection;
    record.result.failure = result.failure;
  });
  return JudgeRun(report);
}
