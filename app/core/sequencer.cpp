// The Start sequence: one connection, the selected jobs in their fixed order, a stop at
// the first that fails; and the two runs of their own, identification and the diagnostic.
#include "app/core/sequencer.h"

#include <chrono>
#include <functional>

#include "flash/identify.h"
#include "flash/job_lines.h"
#include "flash/jobs.h"
#include "flash/stamped.h"
#include "programmer/commands.h"

namespace {

using JobFunction = std::function<JobResult(JobContext&)>;

// Adds a job's record (a front end may show its name while it runs), runs the job and
// notes how long it took.
JobRecord& TimedJob(RunReport& report, const RunOptions& options, const char* name,
                    const std::string& file, const std::function<void(JobRecord&)>& job) {
  JobRecord& record = report.jobs.emplace_back();
  record.name = name;
  record.file = file;
  if (options.jobStarted)
    options.jobStarted(record);
  const auto start = std::chrono::steady_clock::now();
  job(record);
  record.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (options.jobEnded)
    options.jobEnded(record);
  return record;
}

// Runs one job and keeps what it handed back. A job that failed while Cancel was pending
// was cancelled (its stop is the cancel line; a fault on the same block is the rarer case).
bool RunJob(JobContext& ctx, RunReport& report, const RunOptions& options, const char* name,
            const std::string& file, const JobFunction& job) {
  bool ok = false;
  TimedJob(report, options, name, file, [&](JobRecord& record) {
    const JobResult result = job(ctx);
    ok = result.Ok();
    record.result = ok               ? JobOutcome::Ok
                    : ctx.cancelFlag ? JobOutcome::Cancelled
                                     : JobOutcome::Failed;
    record.bytes = result.bytes;
    record.mismatch = result.mismatch;
    record.digests = result.digests;
    record.verification = result.verification;
    record.difference = result.difference;
  });
  return ok;
}

// After a job that succeeded: whether its digests verified. One that did not ends the run
// with its own line, whatever was to follow.
bool Verified(JobContext& ctx, const RunReport& report) {
  const JobRecord& job = report.jobs.back();
  if (!job.verification || !job.verification->Failed())
    return true;
  ctx.host.AppendLine(Stamped(ctx, "[%s] Verification failed, jobs stopped"), LogColour::Red);
  return false;
}

// A new run's record; the log lines collected so far stay.
void BeginRun(RunReport& report) {
  report.connectFailed = false;
  report.connectStopped = false;
  report.programmersFound.clear();
  report.programmer.reset();
  report.identification.reset();
  report.jobs.clear();
}

// Which programmers the connection saw and which one it opened, whatever came of it.
void NoteProgrammers(const JobContext& ctx, RunReport& report) {
  report.programmersFound = ctx.session.handle.found;
  report.programmer = ctx.session.handle.opened;
}

// Identification, its record kept for the report. A stop the host saw at once ends it
// before its next request, and says so.
bool Connect(JobContext& ctx, RunReport& report) {
  IdentificationRecord found;
  const int identified = ConnectAndIdentify(ctx, &found);
  NoteProgrammers(ctx, report);
  if (identified != 1) {
    report.connectFailed = true;
    report.connectStopped = ctx.host.CancelPending();
    if (report.connectStopped)
      ctx.host.AppendLine(Stamped(ctx, "[%s] Operation cancelled"), LogColour::Red);
    return false;
  }
  report.identification = found;
  return true;
}

// The flash read back and checked against the file just written. The digests start
// afresh, as after identification. Typed digests describe the run's read or check; only a
// run without one verifies the written flash against them.
bool VerifyWrite(JobContext& ctx, RunReport& report, const RunOptions& options,
                 const JobSelection& selection) {
  ctx.selection.ReadMode = false;
  ctx.selection.CheckFileName = selection.WriteFileName;
  if (selection.ReadCheckSelected) {
    ctx.selection.hashCheckMode = HashCheckMode::Auto;
    ctx.selection.ManualMD5.clear();
    ctx.selection.ManualSHA1.clear();
    ctx.selection.ManualCRC.clear();
  }
  ctx.digests.Reset();
  ctx.host.ResetProgress();
  const bool ok = RunJob(ctx, report, options, "verify", selection.WriteFileName, ReadCheckJob);
  ctx.selection = selection;
  return ok && Verified(ctx, report);
}

// The new dump vouched for by a second read of the flash, before anything destructive.
bool SecondRead(JobContext& ctx, RunReport& report, const RunOptions& options,
                const JobSelection& selection) {
  const DigestTexts first = report.jobs.back().digests.value_or(DigestTexts{});
  return RunJob(ctx, report, options, "reread", selection.ReadFileName,
                [&first](JobContext& c) { return SecondReadJob(c, first); });
}

}  // namespace

StartResult RunStart(JobContext& ctx, RunReport& report, const JobSelection& selection,
                     const RunOptions& options) {
  BeginRun(report);
  ctx.selection = selection;
  const JobSelection& sel = selection;
  if (!sel.ReadCheckSelected && !sel.EraseSelected && !sel.WriteSelected) {
    ctx.host.ShowMessage("Nothing to do", kProgrammerCaption);
    return StartResult::NothingToDo;
  }
  if (!Connect(ctx, report))
    return StartResult::NotConnected;
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
    ok = !sel.WriteSelected || RunJob(ctx, report, options, "write", sel.WriteFileName, WriteJob);
  if (ok && sel.WriteSelected && options.verifyAfterWrite)
    ok = VerifyWrite(ctx, report, options, sel);
  if (ok)
    ctx.host.AppendLine(Stamped(ctx, "[%s] Jobs successful done"), LogColour::Green);

  CloseProgrammer(ctx.session.handle);
  if (options.unlock)
    options.unlock();
  return ok ? StartResult::Done : StartResult::JobFailed;
}

bool RunIdentify(JobContext& ctx, RunReport& report) {
  BeginRun(report);
  if (!Connect(ctx, report))
    return false;
  CloseProgrammer(ctx.session.handle);
  return true;
}

bool RunDiagnose(JobContext& ctx, RunReport& report, const RunOptions& options) {
  BeginRun(report);
  bool ok = false;
  TimedJob(report, options, "diagnose", ctx.statusPath, [&](JobRecord& record) {
    const DiagnosticResult result = StatusTest(ctx);
    NoteProgrammers(ctx, report);
    report.identification = result.identification;
    // The status file is made before the connection: a file that could not be made is no
    // failed connection.
    report.connectFailed = result.connecting && !result.identification;
    ok = result.code == kCommandOk;
    record.result = ok                 ? JobOutcome::Ok
                    : result.cancelled ? JobOutcome::Cancelled
                                       : JobOutcome::Failed;
  });
  return ok;
}
