// The write job: programs the whole flash from a file, block by block. It neither erases
// nor reads back.
#include <cerrno>
#include <vector>

#include "flash/identify.h"
#include "flash/job_file.h"
#include "flash/job_lines.h"
#include "flash/jobs.h"
#include "flash/stamped.h"
#include "programmer/commands.h"

namespace {

// The device refused a block: what it answered takes the progress line's place, and the
// failure line goes below it, where the next line would have been.
void ShowRefusal(JobHost& host, const std::string& errorAnswer) {
  host.ReplaceLastLine(errorAnswer, LogColour::Red);
  host.AppendLine(" ", LogColour::Red);
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

  std::vector<uint8_t> block(kBlockSize);
  for (int i = 0; i < s.blockCount; ++i) {
    if (CancelRequested(ctx)) {
      host.ReplaceLastLine(Stamped(ctx, "[%s] Operation cancelled"), LogColour::Red);
      return fail(FailureReason::Cancelled);
    }
    if (SelectBankForBlock(ctx, i) != kCommandOk) {
      result.failure = TransferFailure(s.handle);
      return result;
    }
    const size_t got = ReadUpTo(file.get(), block.data(), kBlockSize);
    if (got != kBlockSize) {
      // Only a file that is not a regular one, shrank meanwhile or cannot be read gets here.
      const bool error = std::ferror(file.get()) != 0;
      const int number = errno;
      host.ReplaceLastLine(ShortBlockLine(ctx, file.get(), path, i, got), LogColour::Red);
      return error ? fail(FailureReason::FileRead, number) : fail(FailureReason::FileTooShort);
    }
    std::string errorAnswer;
    if (WriteBlock(s.handle, block.data(), kBlockSize >> 8, kBlockSize & 0xFF, s.chip.writeMode,
                   &errorAnswer) != kCommandOk) {
      if (!errorAnswer.empty())
        ShowRefusal(host, errorAnswer);
      host.ReplaceLastLine(Stamped(ctx, "[%s] Write error"), LogColour::Red);
      // A status the device answered is its refusal; anything else is the link's.
      result.failure = errorAnswer.empty()
                           ? TransferFailure(s.handle)
                           : JobFailure{FailureReason::WriteRefused, 0, errorAnswer};
      return result;
    }
    host.ReplaceLastLine(ProgressLine("Writing %d%", i, s.blockCount), LogColour::Green);
    result.bytes += kBlockSize;
    host.StepProgress();
    host.ProcessEvents();
  }

  const double end = ctx.now();
  host.ReplaceLastLine(
      LogText("[%s] Write done, %s", {TimeText(end), TimeText(ElapsedValue(start, end))}),
      LogColour::Green);
  return result;
}
