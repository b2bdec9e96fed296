// The jobs that read the whole flash: the read (into a dump file), the check (against a
// file, also the verify after a write) and the second read that vouches for a new dump
// before anything is erased. One loop reads the blocks; what a job does with each block
// is a list of small uses: write the dump, compare with a file, feed the digests.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "flash/block_fingerprint.h"
#include "flash/dump_file.h"
#include "flash/flash_difference.h"
#include "flash/identify.h"
#include "flash/job_file.h"
#include "flash/job_lines.h"
#include "flash/jobs.h"
#include "flash/link_retry.h"
#include "flash/stamped.h"
#include "flash/verify_digests.h"
#include "programmer/commands.h"

namespace {

// The lines of a pass: its heading, the placeholder the progress replaces, the progress
// and the done line.
struct PassTexts {
  const char* start;
  const char* placeholder;
  const char* progress;
  const char* done;
};

constexpr PassTexts kReadTexts{"[%s] Start read to %s", "Reading...", "Reading %d%",
                               "[%s] Read done, %s"};
constexpr PassTexts kCheckTexts{"[%s] Start check with %s", "Checking...", "Checking %d%",
                                "[%s] Check done, %s"};
constexpr PassTexts kSecondReadTexts{"[%s] Start second read to compare with %s",
                                     "Reading again...", "Reading again %d%",
                                     "[%s] Second read done, %s"};

// Why a pass stopped, and the line that says so in place of the progress line.
struct PassStop {
  JobFailure failure;
  std::string line;
};
using MaybeStop = std::optional<PassStop>;

// One thing a pass does with every block it reads, in block order.
class BlockUse {
 public:
  virtual ~BlockUse() = default;
  virtual MaybeStop Take(int index, const uint8_t* block) = 0;
  // After the last block.
  virtual MaybeStop Finish() { return std::nullopt; }
};

// Writes the blocks into the dump, which is only put in place once whole.
class DumpWriter : public BlockUse {
 public:
  DumpWriter(JobContext& ctx, const std::string& path) : ctx_(ctx), path_(path) {}
  bool Open() { return dump_.Open(path_, FlashBytes(ctx_)); }
  int Error() const { return dump_.Error(); }
  MaybeStop Take(int, const uint8_t* block) override {
    if (dump_.Write(block, kBlockSize))
      return std::nullopt;
    return Stop(FailureReason::FileWrite);
  }
  // A dump is only done once all of it is on the disk under its name: an erase may follow
  // in this same Start.
  MaybeStop Finish() override {
    if (dump_.Commit())
      return std::nullopt;
    return Stop(FailureReason::FileSync);
  }

 private:
  PassStop Stop(FailureReason reason) const {
    return {JobFailure{reason, dump_.Error(), path_},
            Stamped(ctx_, "[%s] File write error: %s", path_)};
  }
  JobContext& ctx_;
  const std::string& path_;
  DumpFile dump_;
};

// Compares the blocks with a file of exactly the flash's size: to the first difference,
// or through the whole flash, counting where and how the two differ.
class FileComparer : public BlockUse {
 public:
  FileComparer(JobContext& ctx, const std::string& path, bool wholeFlash, const char* differsLine)
      : ctx_(ctx), path_(path), differsLine_(differsLine), reference_(kBlockSize) {
    if (wholeFlash)
      difference_.emplace(ctx.session.blockCount, ctx.session.module.dualBank != 0, kBlockSize);
  }

  // A file that cannot be opened, or is not the flash's size (refused at once rather than
  // after reading the flash up to where the file ends).
  std::optional<JobFailure> Open() {
    file_ = OpenJobFile(path_, "rb");
    if (!file_) {
      const int error = errno;
      ctx_.host.AppendLine(Stamped(ctx_, "[%s] File open error: %s", path_), LogColour::Red);
      return JobFailure{FailureReason::FileOpen, error, path_};
    }
    const std::optional<uint64_t> size = RegularFileSize(file_.get());
    if (const auto refusal = FileSizeRefusal(ctx_, path_, size)) {
      ctx_.host.AppendLine(*refusal, LogColour::Red);
      return JobFailure{
          *size < FlashBytes(ctx_) ? FailureReason::FileTooShort : FailureReason::FileTooLong, 0,
          path_};
    }
    return std::nullopt;
  }

  MaybeStop Take(int index, const uint8_t* block) override {
    const size_t got = ReadUpTo(file_.get(), reference_.data(), kBlockSize);
    if (got != kBlockSize) {
      const bool error = std::ferror(file_.get()) != 0;
      return PassStop{JobFailure{error ? FailureReason::FileRead : FailureReason::FileTooShort,
                                 error ? errno : 0, path_},
                      ShortBlockLine(ctx_, file_.get(), path_, index, got)};
    }
    if (difference_) {
      // Matching blocks cost one memcmp inside; only differing ones are looked into.
      difference_->Add(index, block, reference_.data(), kBlockSize);
      return std::nullopt;
    }
    if (std::memcmp(block, reference_.data(), kBlockSize) == 0)
      return std::nullopt;
    firstDiffers_ = true;
    return Differs();
  }

  MaybeStop Finish() override {
    if (!Found())
      return std::nullopt;
    return Differs();
  }

  // Whether a difference has been found so far.
  bool Found() const { return firstDiffers_ || (difference_ && difference_->Differs()); }
  // Where and how, for a whole-flash compare that found one.
  std::optional<FlashDifference> Difference() const {
    if (!difference_ || !difference_->Differs())
      return std::nullopt;
    return difference_->Result();
  }

 private:
  PassStop Differs() const {
    return {JobFailure{FailureReason::Mismatch, 0, path_}, Stamped(ctx_, differsLine_)};
  }
  JobContext& ctx_;
  const std::string& path_;
  const char* differsLine_;
  JobFile file_;
  std::vector<uint8_t> reference_;
  std::optional<FlashDifferenceAccumulator> difference_;
  bool firstDiffers_ = false;
};

// Feeds the three digests. Once the flash differs from its file the job fails and its
// digests are never finished, so the rest is not fed.
class DigestFeeder : public BlockUse {
 public:
  DigestFeeder(DigestStates& digests, const FileComparer* comparer)
      : digests_(digests), comparer_(comparer) {}
  MaybeStop Take(int, const uint8_t* block) override {
    if (comparer_ == nullptr || !comparer_->Found()) {
      MD5Update(digests_.md5, block, kBlockSize);
      SHA1Update(digests_.sha1, block, kBlockSize);
      AgiCrcUpdate(digests_.crc, block, kBlockSize);
    }
    return std::nullopt;
  }

 private:
  DigestStates& digests_;
  const FileComparer* comparer_;
};

DigestTexts FinishDigests(DigestStates& d) {
  return {MD5Hex(MD5Final(d.md5)), SHA1Hex(SHA1Final(d.sha1)), AgiCrcText(d.crc)};
}

// The texts shown are the ones verified.
void ShowDigests(JobContext& ctx, const DigestTexts& texts) {
  ctx.host.ShowDigest(DigestKind::MD5, texts.md5);
  ctx.host.ShowDigest(DigestKind::SHA1, texts.sha1);
  ctx.host.ShowDigest(DigestKind::CRC, texts.crc);
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// What every pass does before it opens anything: the events, the Cancel pending, the
// flash reset. A failure has its line written.
std::optional<JobFailure> BeginPass(JobContext& ctx, bool clearsDigest) {
  ctx.host.ProcessEvents();
  if (clearsDigest)
    ctx.host.ShowDigest(DigestKind::MD5, "");
  if (CancelledBeforeStart(ctx))
    return JobFailure{FailureReason::Cancelled, 0, ""};
  if (FlashReset(ctx.session.handle) != kCommandOk) {
    ctx.host.AppendLine(Stamped(ctx, "[%s] Can't reset flash - device not ready"), LogColour::Red);
    return TransferFailure(ctx.session.handle);
  }
  return std::nullopt;
}

// The blocks of the whole flash, each handed to every use in turn, then the uses'
// finish. A stop writes its line and ends the pass; what a comparer found is kept.
JobResult ReadBlocks(JobContext& ctx, const PassTexts& texts, const std::string& path,
                     const std::vector<BlockUse*>& uses, const FileComparer* comparer,
                     double& start) {
  JobHost& host = ctx.host;
  const FlashSession& s = ctx.session;
  JobResult result;
  start = ctx.now();
  host.AppendLine(LogText(texts.start, {TimeText(start), path}), LogColour::Green);
  host.AppendLine(texts.placeholder, LogColour::Green);
  host.StartProgress(s.blockCount);

  const auto stop = [&](std::optional<PassStop> why) -> JobResult& {
    if (comparer != nullptr && comparer->Found()) {
      result.mismatch = true;
      result.difference = comparer->Difference();
    }
    if (why) {
      host.ReplaceLastLine(why->line, LogColour::Red);
      result.failure = why->failure;
    }
    return result;
  };
  // After a reconnection the device starts again at its bank's first block: the blocks
  // read before the loss are read again and must read as they did (their fingerprints),
  // and only then does the pass go on; each block reaches the uses once.
  LinkRetry retry(ctx);
  std::vector<uint64_t> prints(ctx.retry.limit > 0 ? static_cast<size_t>(s.blockCount) : 0);
  int reached = 0;  // blocks handed to the uses
  std::vector<uint8_t> block(kBlockSize);
  for (int i = 0; i < s.blockCount; ++i) {
    if (CancelRequested(ctx))
      return stop(
          PassStop{JobFailure{FailureReason::Cancelled}, Stamped(ctx, "[%s] Operation cancelled")});
    const BankPosition position = PositionForBlock(s, i);
    const bool read =
        position == BankPosition::Ok &&
        ReadBlock(s.handle, block.data(), kBlockSize >> 8, kBlockSize & 0xFF) == kCommandOk;
    if (!read) {
      JobFailure lost = TransferFailure(s.handle);
      if (retry.Recover(lost, i)) {
        i = BankStart(s, i) - 1;
        continue;
      }
      result.retries = retry.Records();
      if (lost.reason == FailureReason::ModuleChanged) {  // its line written
        stop(std::nullopt);
        result.failure = lost;
        return result;
      }
      if (position != BankPosition::Ok) {
        ShowPositionFailure(ctx, position);
        stop(std::nullopt);
        result.failure = lost;
        return result;
      }
      return stop(PassStop{
          lost, Stamped(ctx, lost.reason == FailureReason::Cancelled ? "[%s] Operation cancelled"
                                                                     : "[%s] Read error")});
    }
    if (i < reached) {
      if (BlockFingerprint(block.data(), kBlockSize) == prints[static_cast<size_t>(i)])
        continue;
      result.retries = retry.Records();
      return stop(PassStop{
          JobFailure{FailureReason::FlashChanged, 0, "block " + std::to_string(i)},
          Stamped(ctx, "[%s] The flash changed while it was read (block %s)", std::to_string(i))});
    }
    host.ReplaceLastLine(ProgressLine(texts.progress, i, s.blockCount), LogColour::Green);
    for (BlockUse* use : uses)
      if (MaybeStop why = use->Take(i, block.data())) {
        result.retries = retry.Records();
        return stop(why);
      }
    if (!prints.empty())
      prints[static_cast<size_t>(i)] = BlockFingerprint(block.data(), kBlockSize);
    reached = i + 1;
    result.bytes += kBlockSize;
    host.StepProgress();
    host.ProcessEvents();
  }
  result.retries = retry.Records();
  for (BlockUse* use : uses)
    if (MaybeStop why = use->Finish()) {
      stop(why);
      if (result.difference)
        for (const std::string& line : FlashDifferenceLines(*result.difference))
          host.AppendLine(line, LogColour::Red);
      return result;
    }
  return result;
}

// The done line after a pass that read the whole flash.
void Done(JobContext& ctx, const PassTexts& texts, double start) {
  const double end = ctx.now();
  ctx.host.ReplaceLastLine(LogText(texts.done, {TimeText(end), TimeText(ElapsedValue(start, end))}),
                           LogColour::Green);
}

// A read or check that went through: its digests finished and shown, its done line.
const DigestTexts& FinishShown(JobContext& ctx, const PassTexts& texts, double start,
                               JobResult& result) {
  result.digests = FinishDigests(ctx.digests);
  ShowDigests(ctx, *result.digests);
  Done(ctx, texts, start);
  return *result.digests;
}

}  // namespace

JobResult ReadJob(JobContext& ctx, const std::string& path, const DigestExpectation& expected) {
  if (auto failure = BeginPass(ctx, true))
    return FailedJob(*failure);
  DumpWriter dump(ctx, path);
  if (!dump.Open()) {
    const JobFailure failure{FailureReason::FileOpen, dump.Error(), path};
    ctx.host.AppendLine(Stamped(ctx, "[%s] File open error: %s", path), LogColour::Red);
    return FailedJob(failure);
  }
  DigestFeeder feed(ctx.digests, nullptr);
  double start = 0;
  JobResult result = ReadBlocks(ctx, kReadTexts, path, {&dump, &feed}, nullptr, start);
  if (!result.Ok())
    return result;
  const DigestTexts& digests = FinishShown(ctx, kReadTexts, start, result);
  result.verification = VerifyDigests(ctx, digests, expected);
  return result;
}

JobResult CheckJob(JobContext& ctx, const std::string& path, const DigestExpectation& expected) {
  if (auto failure = BeginPass(ctx, true))
    return FailedJob(*failure);
  FileComparer compare(ctx, path, ctx.compareWholeFlash,
                       "[%s] Byte to byte check with file FAILED");
  if (auto failure = compare.Open())
    return FailedJob(*failure);
  DigestFeeder feed(ctx.digests, &compare);
  double start = 0;
  JobResult result = ReadBlocks(ctx, kCheckTexts, path, {&compare, &feed}, &compare, start);
  if (!result.Ok())
    return result;
  const DigestTexts& digests = FinishShown(ctx, kCheckTexts, start, result);
  ctx.host.AppendLine("Byte to byte check OK", LogColour::Purple);
  result.verification = VerifyDigests(ctx, digests, expected);
  return result;
}

JobResult ReadCheckJob(JobContext& ctx) {
  const JobSelection& sel = ctx.selection;
  return sel.ReadMode ? ReadJob(ctx, sel.ReadFileName, ExpectationOf(sel))
                      : CheckJob(ctx, sel.CheckFileName, ExpectationOf(sel));
}

// The second read always looks at the whole flash: it is what the operator is told
// instead of an erase. A dump that cannot be read back (a device, a FIFO) is compared by
// its digests, and nothing is opened.
JobResult SecondReadJob(JobContext& ctx, const std::string& dumpPath,
                        const DigestTexts& firstDigests) {
  if (auto failure = BeginPass(ctx, false))
    return FailedJob(*failure);
  const bool readBack = IsRegularFile(dumpPath);
  FileComparer compare(ctx, dumpPath, true, "[%s] Second read differs from the dump");
  if (readBack)
    if (auto failure = compare.Open())
      return FailedJob(*failure);
  ctx.digests.Reset();
  DigestFeeder feed(ctx.digests, &compare);
  std::vector<BlockUse*> uses{&feed};
  if (readBack)
    uses.insert(uses.begin(), &compare);
  double start = 0;
  JobResult result = ReadBlocks(ctx, kSecondReadTexts, dumpPath, uses, &compare, start);
  if (!result.Ok())
    return result;
  const DigestTexts digests = FinishDigests(ctx.digests);
  if (!readBack && !(digests == firstDigests)) {
    result.mismatch = true;
    result.failure = JobFailure{FailureReason::Mismatch, 0, dumpPath};
    ctx.host.ReplaceLastLine(Stamped(ctx,
                                     "[%s] Second read differs from the dump: its digests are "
                                     "not the first read's"),
                             LogColour::Red);
    return result;
  }
  Done(ctx, kSecondReadTexts, start);
  result.digests = digests;
  ctx.host.AppendLine(
      readBack ? "Second read matches the dump" : "Second read gives the digests of the first",
      LogColour::Purple);
  return result;
}
