#include "app/core/run_jobs.h"

#include <chrono>
#include <functional>

#include "app/core/form_logic.h"
#include "app/stamped.h"
#include "flash/identify.h"
#include "flash/job_lines.h"
#include "flash/jobs.h"
#include "programmer/commands.h"

namespace {

using JobFunction = uint8_t (*)(AppContext&);

DigestTexts ShownDigests(const WindowOps& window) {
  return {window.Text(Control::MD5_result), window.Text(Control::SHA1_result),
          window.Text(Control::CRC_result)};
}

// Adds a job's record, runs the job and notes how long it took. The record is taken
// afresh afterwards: the job may add to the report while it runs.
JobRecord& TimedJob(AppContext& ctx, const char* name, const std::string& file,
                    const std::function<void()>& job) {
  JobRecord& started = ctx.report.jobs.emplace_back();
  started.name = name;
  started.file = file;
  const auto start = std::chrono::steady_clock::now();
  job();
  JobRecord& record = ctx.report.jobs.back();
  record.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return record;
}

// Runs one job and keeps its record. A job that failed while Cancel was pending was
// cancelled (its stop is the cancel line; a fault on the same block is the rarer case).
bool RunJob(AppContext& ctx, const char* name, const std::string& file, JobFunction job) {
  ctx.report.checkMismatch = false;
  ctx.report.verification.reset();
  bool ok = false;
  JobRecord& record = TimedJob(ctx, name, file, [&] { ok = job(ctx) == kCommandOk; });
  record.result = ok ? JobOutcome::Ok : ctx.cancelFlag ? JobOutcome::Cancelled : JobOutcome::Failed;
  record.mismatch = ctx.report.checkMismatch;
  record.verification = ctx.report.verification;
  // The block jobs step the progress bar once per block they finished.
  const bool erase = job == EraseJob;
  record.bytes = erase ? (ok ? FlashBytes(ctx) : 0)
                       : static_cast<uint64_t>(ctx.window.ProgressPosition()) * kBlockSize;
  if (ok && !erase)
    record.digests = ShownDigests(ctx.window);
  return ok;
}

// A new run's record; the log lines collected so far stay.
void BeginRun(RunReport& report) {
  report.connectFailed = false;
  report.identification.reset();
  report.jobs.clear();
}

// The flash read back and checked against the file just written. The digests start
// afresh, as after identification.
bool VerifyWrite(AppContext& ctx, const JobSelection& selection) {
  ctx.selection.ReadMode = false;
  ctx.selection.CheckFileName = selection.WriteFileName;
  ctx.digests.Reset();
  ctx.window.SetProgressPosition(0);
  const bool ok = RunJob(ctx, "verify", selection.WriteFileName, ReadCheckJob);
  ctx.selection = selection;
  return ok;
}

}  // namespace

StartResult RunStart(AppContext& ctx, const JobSelection& selection, const RunOptions& options) {
  BeginRun(ctx.report);
  ctx.selection = selection;
  const JobSelection& sel = selection;
  if (!sel.ReadCheckSelected && !sel.EraseSelected && !sel.WriteSelected) {
    ctx.window.ShowMessage("Nothing to do", kProgrammerCaption);
    return StartResult::NothingToDo;
  }
  if (ConnectAndIdentify(ctx) != 1) {
    ctx.report.connectFailed = true;
    return StartResult::NotConnected;
  }
  ctx.log.AppendLine(Stamped(ctx, "[%s] Start jobs"), LogColour::Green);
  LockWindow(ctx);

  bool ok = !sel.ReadCheckSelected ||
            RunJob(ctx, sel.ReadMode ? "read" : "check",
                   sel.ReadMode ? sel.ReadFileName : sel.CheckFileName, ReadCheckJob);
  if (ok) {
    ctx.window.SetProgressPosition(0);
    ok = !sel.EraseSelected || RunJob(ctx, "erase", "", EraseJob);
  }
  if (ok)
    ok = !sel.WriteSelected || RunJob(ctx, "write", sel.WriteFileName, WriteJob);
  if (ok && sel.WriteSelected && options.verifyAfterWrite)
    ok = VerifyWrite(ctx, sel);
  if (ok)
    ctx.log.AppendLine(Stamped(ctx, "[%s] Jobs successful done"), LogColour::Green);

  CloseProgrammer(ctx.session.handle);
  UnlockWindow(ctx);
  return ok ? StartResult::Done : StartResult::JobFailed;
}

bool RunIdentify(AppContext& ctx) {
  BeginRun(ctx.report);
  if (ConnectAndIdentify(ctx) != 1) {
    ctx.report.connectFailed = true;
    return false;
  }
  CloseProgrammer(ctx.session.handle);
  return true;
}

bool RunDiagnose(AppContext& ctx) {
  // The diagnostic makes its status file before it connects: whether it got as far as
  // binding libusb tells a file that could not be made from a failed connection.
  BeginRun(ctx.report);
  bool connecting = false;
  const UsbBinder bind = ctx.bindUsb;
  ctx.bindUsb = [&] {
    connecting = true;
    return bind();
  };
  bool ok = false;
  JobRecord& record =
      TimedJob(ctx, "diagnose", ctx.statusPath, [&] { ok = StatusTest(ctx) == kCommandOk; });
  ctx.bindUsb = bind;
  ctx.report.connectFailed = connecting && !ctx.report.identification.has_value();
  record.result = ok ? JobOutcome::Ok : JobOutcome::Failed;
  return ok;
}
