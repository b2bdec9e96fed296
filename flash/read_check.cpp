// The read job (flash into a dump file) and the check job (flash against a file), with
// the three digests fed from every block read.
#include <cstring>
#include <vector>

#include "app/app_context.h"
#include "app/stamped.h"
#include "flash/dump_file.h"
#include "flash/identify.h"
#include "flash/job_file.h"
#include "flash/job_lines.h"
#include "flash/jobs.h"
#include "flash/verify_digests.h"
#include "programmer/commands.h"

namespace {

void ShowDigests(AppContext& ctx) {
  DigestStates& d = ctx.digests;
  ctx.window.SetText(Control::MD5_result, MD5Hex(MD5Final(d.md5)));
  ctx.window.SetText(Control::SHA1_result, SHA1Hex(SHA1Final(d.sha1)));
  ctx.window.SetText(Control::CRC_result, AgiCrcText(d.crc));
}

uint8_t Fail(AppContext& ctx, const std::string& line) {
  ctx.log.ReplaceLastLine(line, LogColour::Red);
  return kCommandFailed;
}

}  // namespace

uint8_t ReadCheckJob(AppContext& ctx) {
  WindowOps& window = ctx.window;
  const JobSelection& sel = ctx.selection;
  const FlashSession& s = ctx.session;
  const bool reading = sel.ReadMode;

  window.ProcessEvents();
  window.SetText(Control::MD5_result, "");
  if (CancelledBeforeStart(ctx))
    return kCommandFailed;

  if (FlashReset(s.handle) != kCommandOk) {
    ctx.log.AppendLine(Stamped(ctx, "[%s] Can't reset flash - device not ready"), LogColour::Red);
    return kCommandFailed;
  }
  const std::string& path = reading ? sel.ReadFileName : sel.CheckFileName;
  DumpFile dump;
  JobFile file;
  if (reading ? !dump.Open(path) : !(file = OpenJobFile(path, "rb"))) {
    ctx.log.AppendLine(Stamped(ctx, "[%s] File open error: %s", path), LogColour::Red);
    return kCommandFailed;
  }
  if (!reading) {
    // Refused at once rather than after reading the flash up to where the file ends.
    if (const auto refusal = FileSizeRefusal(ctx, path, RegularFileSize(file.get()))) {
      ctx.log.AppendLine(*refusal, LogColour::Red);
      return kCommandFailed;
    }
  }

  const double start = ctx.now();
  ctx.log.AppendLine(LogText(reading ? "[%s] Start read to %s" : "[%s] Start check with %s",
                             {TimeText(start), path}),
                     LogColour::Green);
  ctx.log.AppendLine(reading ? "Reading..." : "Checking...", LogColour::Green);
  window.SetProgressPosition(0);
  window.SetProgressMaximum(s.blockCount);

  std::vector<uint8_t> block(kBlockSize);
  std::vector<uint8_t> reference(reading ? 0 : kBlockSize);
  for (int i = 0; i < s.blockCount; ++i) {
    if (ctx.cancelFlag)
      return Fail(ctx, Stamped(ctx, "[%s] Operation cancelled"));
    if (SelectBankForBlock(ctx, i) != kCommandOk)
      return kCommandFailed;
    if (ReadBlock(s.handle, block.data(), kBlockSize >> 8, kBlockSize & 0xFF) != kCommandOk)
      return Fail(ctx, Stamped(ctx, "[%s] Read error"));
    ctx.log.ReplaceLastLine(ProgressLine(reading ? "Reading %d%" : "Checking %d%", i, s.blockCount),
                            LogColour::Green);
    if (reading) {
      if (!dump.Write(block.data(), kBlockSize))
        return Fail(ctx, Stamped(ctx, "[%s] File write error: %s", path));
    } else {
      const size_t got = ReadUpTo(file.get(), reference.data(), kBlockSize);
      if (got != kBlockSize)
        return Fail(ctx, ShortBlockLine(ctx, file.get(), path, i, got));
      if (std::memcmp(block.data(), reference.data(), kBlockSize) != 0) {
        ctx.report.checkMismatch = true;
        return Fail(ctx, Stamped(ctx, "[%s] Byte to byte check with file FAILED"));
      }
    }
    MD5Update(ctx.digests.md5, block.data(), kBlockSize);
    SHA1Update(ctx.digests.sha1, block.data(), kBlockSize);
    AgiCrcUpdate(ctx.digests.crc, block.data(), kBlockSize);
    window.StepProgress();
    window.ProcessEvents();
  }
  // A dump is only done once all of it is on the disk under its name: an erase may follow
  // in this same Start.
  if (reading && !dump.Commit())
    return Fail(ctx, Stamped(ctx, "[%s] File write error: %s", path));

  ShowDigests(ctx);
  const double end = ctx.now();
  const std::string times[] = {TimeText(end), TimeText(ElapsedValue(start, end))};
  ctx.log.ReplaceLastLine(
      LogText(reading ? "[%s] Read done, %s" : "[%s] Check done, %s", {times[0], times[1]}),
      LogColour::Green);
  if (!reading)
    ctx.log.AppendLine("Byte to byte check OK", LogColour::Purple);
  VerifyDigests(ctx);
  return kCommandOk;
}
