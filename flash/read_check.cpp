// The read job (flash into a dump file) and the check job (flash against a file), with
// the three digests fed from every block read.
#include <cstring>
#include <vector>

#include "flash/dump_file.h"
#include "flash/identify.h"
#include "flash/job_file.h"
#include "flash/job_lines.h"
#include "flash/jobs.h"
#include "flash/stamped.h"
#include "flash/verify_digests.h"
#include "programmer/commands.h"

namespace {

// Finishes the three digests and shows them; the texts shown are the ones verified.
DigestTexts ShowDigests(JobContext& ctx) {
  DigestStates& d = ctx.digests;
  const DigestTexts texts{MD5Hex(MD5Final(d.md5)), SHA1Hex(SHA1Final(d.sha1)), AgiCrcText(d.crc)};
  ctx.host.ShowDigest(DigestKind::MD5, texts.md5);
  ctx.host.ShowDigest(DigestKind::SHA1, texts.sha1);
  ctx.host.ShowDigest(DigestKind::CRC, texts.crc);
  return texts;
}

JobResult& Fail(JobContext& ctx, JobResult& result, const std::string& line) {
  ctx.host.ReplaceLastLine(line, LogColour::Red);
  return result;
}

}  // namespace

JobResult ReadCheckJob(JobContext& ctx) {
  JobHost& host = ctx.host;
  const JobSelection& sel = ctx.selection;
  const FlashSession& s = ctx.session;
  const bool reading = sel.ReadMode;
  JobResult result;

  host.ProcessEvents();
  host.ShowDigest(DigestKind::MD5, "");
  if (CancelledBeforeStart(ctx))
    return result;

  if (FlashReset(s.handle) != kCommandOk) {
    host.AppendLine(Stamped(ctx, "[%s] Can't reset flash - device not ready"), LogColour::Red);
    return result;
  }
  const std::string& path = reading ? sel.ReadFileName : sel.CheckFileName;
  DumpFile dump;
  JobFile file;
  if (reading ? !dump.Open(path) : !(file = OpenJobFile(path, "rb"))) {
    host.AppendLine(Stamped(ctx, "[%s] File open error: %s", path), LogColour::Red);
    return result;
  }
  if (!reading) {
    // Refused at once rather than after reading the flash up to where the file ends.
    if (const auto refusal = FileSizeRefusal(ctx, path, RegularFileSize(file.get()))) {
      host.AppendLine(*refusal, LogColour::Red);
      return result;
    }
  }

  const double start = ctx.now();
  host.AppendLine(LogText(reading ? "[%s] Start read to %s" : "[%s] Start check with %s",
                          {TimeText(start), path}),
                  LogColour::Green);
  host.AppendLine(reading ? "Reading..." : "Checking...", LogColour::Green);
  host.StartProgress(s.blockCount);

  std::vector<uint8_t> block(kBlockSize);
  std::vector<uint8_t> reference(reading ? 0 : kBlockSize);
  for (int i = 0; i < s.blockCount; ++i) {
    if (ctx.cancelFlag)
      return Fail(ctx, result, Stamped(ctx, "[%s] Operation cancelled"));
    if (SelectBankForBlock(ctx, i) != kCommandOk)
      return result;
    if (ReadBlock(s.handle, block.data(), kBlockSize >> 8, kBlockSize & 0xFF) != kCommandOk)
      return Fail(ctx, result, Stamped(ctx, "[%s] Read error"));
    host.ReplaceLastLine(ProgressLine(reading ? "Reading %d%" : "Checking %d%", i, s.blockCount),
                         LogColour::Green);
    if (reading) {
      if (!dump.Write(block.data(), kBlockSize))
        return Fail(ctx, result, Stamped(ctx, "[%s] File write error: %s", path));
    } else {
      const size_t got = ReadUpTo(file.get(), reference.data(), kBlockSize);
      if (got != kBlockSize)
        return Fail(ctx, result, ShortBlockLine(ctx, file.get(), path, i, got));
      if (std::memcmp(block.data(), reference.data(), kBlockSize) != 0) {
        result.mismatch = true;
        return Fail(ctx, result, Stamped(ctx, "[%s] Byte to byte check with file FAILED"));
      }
    }
    MD5Update(ctx.digests.md5, block.data(), kBlockSize);
    SHA1Update(ctx.digests.sha1, block.data(), kBlockSize);
    AgiCrcUpdate(ctx.digests.crc, block.data(), kBlockSize);
    result.bytes += kBlockSize;
    host.StepProgress();
    host.ProcessEvents();
  }
  // A dump is only done once all of it is on the disk under its name: an erase may follow
  // in this same Start.
  if (reading && !dump.Commit())
    return Fail(ctx, result, Stamped(ctx, "[%s] File write error: %s", path));

  const DigestTexts digests = ShowDigests(ctx);
  const double end = ctx.now();
  const std::string times[] = {TimeText(end), TimeText(ElapsedValue(start, end))};
  host.ReplaceLastLine(
      LogText(reading ? "[%s] Read done, %s" : "[%s] Check done, %s", {times[0], times[1]}),
      LogColour::Green);
  if (!reading)
    host.AppendLine("Byte to byte check OK", LogColour::Purple);
  result.verification = VerifyDigests(ctx, digests);
  result.digests = digests;
  result.code = kCommandOk;
  return result;
}
