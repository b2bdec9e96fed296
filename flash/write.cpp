// The write job: programs the whole flash from a file, block by block. It neither erases
// nor reads back.
#include <cerrno>
#include <vector>

#include "flash/identify.h"
#include "flash/job_file.h"
#include "flash/job_lines.h"
#include "flash/jobs.h"
#include "flash/link_retry.h"
#include "flash/stamped.h"
#include "programmer/commands.h"

namespace {

// The device refused a block: what it answered takes the progress line's place, and the
// failure line goes below it, where the next line would have been.
void ShowRefusal(JobHost& host, const std::string& errorAnswer) {
  host.ReplaceLastLine(errorAnswer, LogColour::Red);
  host.AppendLine(" ", LogColour::Red);
}

// After a transfer lost at block `index`: reconnected, the bank that holds it erased
// again and the file back at the bank's first block, for the bank to be written again
// from there (the device only knows the start of a bank, and a half-programmed block can
// only be mended by an erase). False, `lost` saying why, when that could not be done.
bool StartBankAgain(JobContext& ctx, LinkRetry& retry, JobFailure& lost, int index,
                    std::FILE* file) {
  const FlashSession& s = ctx.session;
  const int first = BankStart(s, index);
  while (retry.Recover(lost, index)) {
    const std::optional<JobFailure> erased = EraseBank(ctx, first == 0 ? kBankFirst : kBankSecond);
    if (!erased)
      return std::fseek(file, static_cast<long>(first) * kBlockSize, SEEK_SET) == 0;
    lost = *erased;
  }
  return false;
}

}  // namespace

JobResult WriteJob(JobContext& ctx) {
  return WriteJob(ctx, ctx.selection.WriteFileName);
}

JobResult WriteJob(JobContext& ctx, const std::string& path) {
  JobHost& host = ctx.host;
  const FlashSession& s = ctx.session;
  JobResult result;
  const auto fail = [&](FailureReason reason, int error = 0) -> JobResult& {
    result.failure = JobFailure{reason, error, path};
    return result;
  };

  host.ProcessEvents();
  if (CancelledBeforeStart(ctx))
    return fail(FailureReason::Cancelled);

  JobFile file = OpenJobFile(path, "rb");
  if (!file) {
    const int error = errno;
    host.AppendLine(Stamped(ctx, "[%s] File open error: %s", path), LogColour::Red);
    return fail(FailureReason::FileOpen, error);
  }
  // Refused before anything reaches the flash: a short file has nothing to send for the
  // last blocks, a long one is an image of a bigger module.
  const std::optional<uint64_t> size = RegularFileSize(file.get());
  if (const auto refusal = FileSizeRefusal(ctx, path, size)) {
    host.AppendLine(*refusal, LogColour::Red);
    return fail(*size < FlashBytes(ctx) ? FailureReason::FileTooShort : FailureReason::FileTooLong);
  }
  std::fseek(file.get(), 0, SEEK_SET);

  const double start = ctx.now();
  host.AppendLine(LogText("[%s] Start write from %s", {TimeText(start), path}), LogColour::Green);
  host.AppendLine(" ", LogColour::Green);
  host.ProcessEvents();
  host.StartProgress(s.blockCount);

  LinkRetry retry(ctx);
  int reached = 0;  // blocks written before a reconnection sent the job back
  std::vector<uint8_t> block(kBlockSize);
  for (int i = 0; i < s.blockCount; ++i) {
    if (CancelRequested(ctx)) {
      host.ReplaceLastLine(Stamped(ctx, "[%s] Operation cancelled"), LogColour::Red);
      result.retries = retry.Records();
      return fail(FailureReason::Cancelled);
    }
    const BankPosition position = PositionForBlock(s, i);
    std::string errorAnswer;
    bool written = false;
    if (position == BankPosition::Ok) {
      const size_t got = ReadUpTo(file.get(), block.data(), kBlockSize);
      if (got != kBlockSize) {
        // Only a file that is not a regular one, shrank meanwhile or cannot be read gets here.
        const bool error = std::ferror(file.get()) != 0;
        const int number = errno;
        host.ReplaceLastLine(ShortBlockLine(ctx, file.get(), path, i, got), LogColour::Red);
        result.retries = retry.Records();
        return error ? fail(FailureReason::FileRead, number) : fail(FailureReason::FileTooShort);
      }
      written = WriteBlock(s.handle, block.data(), kBlockSize >> 8, kBlockSize & 0xFF,
                           s.chip.writeMode, &errorAnswer) == kCommandOk;
    }
    if (!written) {
      // A status the device answered is its refusal; anything else is the link's.
      JobFailure lost = errorAnswer.empty()
                            ? TransferFailure(s.handle)
                            : JobFailure{FailureReason::WriteRefused, 0, errorAnswer};
      if (StartBankAgain(ctx, retry, lost, i, file.get())) {
        i = BankStart(s, i) - 1;
        continue;
      }
      result.retries = retry.Records();
      result.failure = lost;
      if (lost.reason == FailureReason::ModuleChanged)  // its line written
        return result;
      if (position != BankPosition::Ok && lost.reason == FailureReason::Transfer) {
        ShowPositionFailure(ctx, position);
        return result;
      }
      if (!errorAnswer.empty())
        ShowRefusal(host, errorAnswer);
      host.ReplaceLastLine(
          Stamped(ctx, lost.reason == FailureReason::Cancelled ? "[%s] Operation cancelled"
                                                               : "[%s] Write error"),
          LogColour::Red);
      return result;
    }
    if (i >= reached) {
      host.ReplaceLastLine(ProgressLine("Writing %d%", i, s.blockCount), LogColour::Green);
      result.bytes += kBlockSize;
      host.StepProgress();
      reached = i + 1;
    }
    host.ProcessEvents();
  }
  result.retries = retry.Records();

  const double end = ctx.now();
  host.ReplaceLastLine(
      LogText("[%s] Write done, %s", {TimeText(end), TimeText(ElapsedValue(start, end))}),
      LogColour::Green);
  return result;
}
