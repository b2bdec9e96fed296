// The write job: programs the whole flash from a file, block by block. It neither erases
// nor reads back.
#include <vector>

#include "app/app_context.h"
#include "app/stamped.h"
#include "flash/identify.h"
#include "flash/job_file.h"
#include "flash/job_lines.h"
#include "flash/jobs.h"
#include "programmer/commands.h"

uint8_t WriteJob(AppContext& ctx) {
  WindowOps& window = ctx.window;
  const FlashSession& s = ctx.session;
  const std::string& path = ctx.selection.WriteFileName;

  window.ProcessEvents();
  if (CancelledBeforeStart(ctx))
    return kCommandFailed;

  JobFile file = OpenJobFile(path, "rb");
  if (!file) {
    ctx.log.AppendLine(Stamped(ctx, "[%s] File open error: %s", path), LogColour::Red);
    return kCommandFailed;
  }
  // Refused before anything reaches the flash: a short file has nothing to send for the
  // last blocks, a long one is an image of a bigger module.
  if (const auto refusal = FileSizeRefusal(ctx, path, RegularFileSize(file.get()))) {
    ctx.log.AppendLine(*refusal, LogColour::Red);
    return kCommandFailed;
  }
  std::fseek(file.get(), 0, SEEK_SET);

  const double start = ctx.now();
  ctx.log.AppendLine(LogText("[%s] Start write from %s", {TimeText(start), path}),
                     LogColour::Green);
  ctx.log.AppendLine(" ", LogColour::Green);
  window.ProcessEvents();
  window.SetProgressPosition(0);
  window.SetProgressMaximum(s.blockCount);

  std::vector<uint8_t> block(kBlockSize);
  for (int i = 0; i < s.blockCount; ++i) {
    if (ctx.cancelFlag) {
      ctx.log.ReplaceLastLine(Stamped(ctx, "[%s] Operation cancelled"), LogColour::Red);
      return kCommandFailed;
    }
    if (SelectBankForBlock(ctx, i) != kCommandOk)
      return kCommandFailed;
    const size_t got = ReadUpTo(file.get(), block.data(), kBlockSize);
    if (got != kBlockSize) {
      // Only a file that is not a regular one, shrank meanwhile or cannot be read gets here.
      ctx.log.ReplaceLastLine(ShortBlockLine(ctx, file.get(), path, i, got), LogColour::Red);
      return kCommandFailed;
    }
    if (WriteBlock(s.handle, ctx.log, block.data(), kBlockSize >> 8, kBlockSize & 0xFF,
                   s.chip.writeMode) != kCommandOk) {
      ctx.log.ReplaceLastLine(Stamped(ctx, "[%s] Write error"), LogColour::Red);
      return kCommandFailed;
    }
    ctx.log.ReplaceLastLine(ProgressLine("Writing %d%", i, s.blockCount), LogColour::Green);
    window.StepProgress();
    window.ProcessEvents();
  }

  const double end = ctx.now();
  ctx.log.ReplaceLastLine(
      LogText("[%s] Write done, %s", {TimeText(end), TimeText(ElapsedValue(start, end))}),
      LogColour::Green);
  return kCommandOk;
}
