// The jobs that read the whole flash: the read (into a dump file), the check (against a
// file) and the second read that vouches for a new dump before anything is erased. The
// three digests are fed from every block read.
#include <sys/stat.h>

#include <cstring>
#include <optional>
#include <vector>

#include "flash/dump_file.h"
#include "flash/flash_difference.h"
#include "flash/identify.h"
#include "flash/job_file.h"
#include "flash/job_lines.h"
#include "flash/jobs.h"
#include "flash/stamped.h"
#include "flash/verify_digests.h"
#include "programmer/commands.h"

namespace {

enum class Purpose { Read, Check, SecondRead };

// The lines of each purpose: its heading, the placeholder the progress replaces, the
// progress and the done line.
struct PassTexts {
  const char* start;
  const char* placeholder;
  const char* progress;
  const char* done;
};

PassTexts TextsOf(Purpose purpose) {
  switch (purpose) {
    case Purpose::Read:
      return {"[%s] Start read to %s", "Reading...", "Reading %d%", "[%s] Read done, %s"};
    case Purpose::Check:
      return {"[%s] Start check with %s", "Checking...", "Checking %d%", "[%s] Check done, %s"};
    case Purpose::SecondRead:
      break;
  }
  return {"[%s] Start second read to compare with %s", "Reading again...", "Reading again %d%",
          "[%s] Second read done, %s"};
}

DigestTexts FinishDigests(DigestStates& d) {
  return {MD5Hex(MD5Final(d.md5)), SHA1Hex(SHA1Final(d.sha1)), AgiCrcText(d.crc)};
}

// The texts shown are the ones verified.
void ShowDigests(JobContext& ctx, const DigestTexts& texts) {
  ctx.host.ShowDigest(DigestKind::MD5, texts.md5);
  ctx.host.ShowDigest(DigestKind::SHA1, texts.sha1);
  ctx.host.ShowDigest(DigestKind::CRC, texts.crc);
}

JobResult& Fail(JobContext& ctx, JobResult& result, const std::string& line) {
  ctx.host.ReplaceLastLine(line, LogColour::Red);
  return result;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// One pass over the whole flash. `firstDigests`: for a second read, the first read's
// digests, which are what it compares when the dump cannot be read back (a device or a
// FIFO); it then opens nothing.
JobResult ReadPass(JobContext& ctx, Purpose purpose, const std::string& path,
                   const DigestTexts* firstDigests = nullptr) {
  JobHost& host = ctx.host;
  const FlashSession& s = ctx.session;
  const PassTexts texts = TextsOf(purpose);
  const bool reading = purpose == Purpose::Read;
  const bool againstDigests = purpose == Purpose::SecondRead && !IsRegularFile(path);
  const bool againstFile = !reading && !againstDigests;
  // The second read always looks at the whole flash: it is what the operator is told
  // instead of an erase.
  const bool wholeFlash = purpose == Purpose::SecondRead || ctx.compareWholeFlash;
  JobResult result;

  host.ProcessEvents();
  if (purpose != Purpose::SecondRead)
    host.ShowDigest(DigestKind::MD5, "");
  if (CancelledBeforeStart(ctx))
    return result;

  if (FlashReset(s.handle) != kCommandOk) {
    host.AppendLine(Stamped(ctx, "[%s] Can't reset flash - device not ready"), LogColour::Red);
    return result;
  }
  DumpFile dump;
  JobFile file;
  if (reading ? !dump.Open(path) : againstFile && !(file = OpenJobFile(path, "rb"))) {
    host.AppendLine(Stamped(ctx, "[%s] File open error: %s", path), LogColour::Red);
    return result;
  }
  if (againstFile) {
    // Refused at once rather than after reading the flash up to where the file ends.
    if (const auto refusal = FileSizeRefusal(ctx, path, RegularFileSize(file.get()))) {
      host.AppendLine(*refusal, LogColour::Red);
      return result;
    }
  }
  if (purpose == Purpose::SecondRead)
    ctx.digests.Reset();

  const double start = ctx.now();
  host.AppendLine(LogText(texts.start, {TimeText(start), path}), LogColour::Green);
  host.AppendLine(texts.placeholder, LogColour::Green);
  host.StartProgress(s.blockCount);

  std::vector<uint8_t> block(kBlockSize);
  std::vector<uint8_t> reference(againstFile ? kBlockSize : 0);
  std::optional<FlashDifferenceAccumulator> difference;
  if (againstFile && wholeFlash)
    difference.emplace(s.blockCount, s.module.dualBank != 0, kBlockSize);
  bool differs = false;
  // A job that fails after it found a difference still hands back what it found.
  const auto stop = [&](const std::string* line) -> JobResult& {
    if (differs) {
      result.mismatch = true;
      result.difference = difference->Result();
    }
    return line == nullptr ? result : Fail(ctx, result, *line);
  };
  for (int i = 0; i < s.blockCount; ++i) {
    if (CancelRequested(ctx)) {
      const std::string line = Stamped(ctx, "[%s] Operation cancelled");
      return stop(&line);
    }
    if (SelectBankForBlock(ctx, i) != kCommandOk)
      return stop(nullptr);  // its line written
    if (ReadBlock(s.handle, block.data(), kBlockSize >> 8, kBlockSize & 0xFF) != kCommandOk) {
      const std::string line = Stamped(ctx, "[%s] Read error");
      return stop(&line);
    }
    host.ReplaceLastLine(ProgressLine(texts.progress, i, s.blockCount), LogColour::Green);
    if (reading) {
      if (!dump.Write(block.data(), kBlockSize))
        return Fail(ctx, result, Stamped(ctx, "[%s] File write error: %s", path));
    } else if (againstFile) {
      const size_t got = ReadUpTo(file.get(), reference.data(), kBlockSize);
      if (got != kBlockSize) {
        const std::string line = ShortBlockLine(ctx, file.get(), path, i, got);
        return stop(&line);
      }
      if (difference) {
        // Matching blocks cost one memcmp inside; only differing ones are looked into.
        difference->Add(i, block.data(), reference.data(), kBlockSize);
        differs = difference->Differs();
      } else if (std::memcmp(block.data(), reference.data(), kBlockSize) != 0) {
        result.mismatch = true;
        return Fail(ctx, result, Stamped(ctx, "[%s] Byte to byte check with file FAILED"));
      }
    }
    // Once the flash differs the job fails, and its digests are never finished.
    if (!differs) {
      MD5Update(ctx.digests.md5, block.data(), kBlockSize);
      SHA1Update(ctx.digests.sha1, block.data(), kBlockSize);
      AgiCrcUpdate(ctx.digests.crc, block.data(), kBlockSize);
    }
    result.bytes += kBlockSize;
    host.StepProgress();
    host.ProcessEvents();
  }
  if (differs) {
    result.mismatch = true;
    result.difference = difference->Result();
    Fail(ctx, result,
         Stamped(ctx, purpose == Purpose::SecondRead ? "[%s] Second read differs from the dump"
                                                     : "[%s] Byte to byte check with file FAILED"));
    for (const std::string& line : FlashDifferenceLines(*result.difference))
      host.AppendLine(line, LogColour::Red);
    return result;
  }
  // A dump is only done once all of it is on the disk under its name: an erase may follow
  // in this same Start.
  if (reading && !dump.Commit())
    return Fail(ctx, result, Stamped(ctx, "[%s] File write error: %s", path));

  const DigestTexts digests = FinishDigests(ctx.digests);
  if (againstDigests && !(digests == *firstDigests)) {
    result.mismatch = true;
    return Fail(ctx, result,
                Stamped(ctx,
                        "[%s] Second read differs from the dump: its digests are not the "
                        "first read's"));
  }
  if (purpose != Purpose::SecondRead)
    ShowDigests(ctx, digests);
  const double end = ctx.now();
  host.ReplaceLastLine(LogText(texts.done, {TimeText(end), TimeText(ElapsedValue(start, end))}),
                       LogColour::Green);
  result.digests = digests;
  result.code = kCommandOk;
  switch (purpose) {
    case Purpose::Read:
      result.verification = VerifyDigests(ctx, digests);
      break;
    case Purpose::Check:
      host.AppendLine("Byte to byte check OK", LogColour::Purple);
      result.verification = VerifyDigests(ctx, digests);
      break;
    case Purpose::SecondRead:
      host.AppendLine(againstDigests ? "Second read gives the digests of the first"
                                     : "Second read matches the dump",
                      LogColour::Purple);
      break;
  }
  return result;
}

}  // namespace

JobResult ReadCheckJob(JobContext& ctx) {
  const JobSelection& sel = ctx.selection;
  return sel.ReadMode ? ReadPass(ctx, Purpose::Read, sel.ReadFileName)
                      : ReadPass(ctx, Purpose::Check, sel.CheckFileName);
}

JobResult SecondReadJob(JobContext& ctx, const DigestTexts& firstDigests) {
  return ReadPass(ctx, Purpose::SecondRead, ctx.selection.ReadFileName, &firstDigests);
}
