// The write job: programs the whole flash from a file, block by block. It neither erases
// nor reads back.
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
  JobHost& host = ctx.host;
  const FlashSession& s = ctx.session;
  const std::string& path = ctx.selection.WriteFileName;
  JobResult result;

  host.ProcessEvents();
  if (CancelledBeforeStart(ctx))
    return result;

  JobFile file = OpenJobFile(path, "rb");
  if (!file) {
    host.AppendLine(Stamped(ctx, "[%s] File open error: %s", path), LogColour::Red);
    return result;
  }
  // Refused before anything reaches the flash: a short file has nothing to send for the
  // last blocks, a long one is an image of a bigger module.
  if (const auto refusal = FileSizeRefusal(ctx, path, RegularFileSize(file.get()))) {
    host.AppendLine(*refusal, LogColour::Red);
    return result;
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
      return result;
    }
    if (SelectBankForBlock(ctx, i) != kCommandOk)
      return result;
    const size_t got = ReadUpTo(file.get(), block.data(), kBlockSize);
    if (got != kBlockSize) {
      // Only a file that is not a regular one, shrank meanwhile or cannot be read gets here.
      host.ReplaceLastLine(ShortBlockLine(ctx, file.get(), path, i, got), LogColour::Red);
      return result;
    }
    std::string errorAnswer;
    if (WriteBlock(s.handle, block.data(), kBlockSize >> 8, kBlockSize & 0xFF, s.chip.writeMode,
                   &errorAnswer) != kCommandOk) {
      if (!errorAnswer.empty())
        ShowRefusal(host, errorAnswer);
      host.ReplaceLastLine(Stamped(ctx, "[%s] Write error"), LogColour::Red);
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
  result.code = kCommandOk;
  return result;
}
