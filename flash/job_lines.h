// Log lines shared by the read, check and write jobs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "flash/job_context.h"
#include "flash/stamped.h"

// The progress text of block `index`: its percentage truncated, so never 100.
inline std::string ProgressLine(const char* pattern, int index, int blockCount) {
  const int percent = static_cast<int>(index * 100.0 / blockCount);
  return LogText(pattern, {std::to_string(percent)});
}

// A source or reference file that holds less than the whole flash.
inline std::string FileTooShortLine(const JobContext& ctx, const std::string& path,
                                    uint64_t fileBytes, uint64_t flashBytes) {
  return Stamped(ctx, "[%s] File too short: %s (%s bytes, the flash holds %s bytes)", path,
                 std::to_string(fileBytes), std::to_string(flashBytes));
}

inline uint64_t FlashBytes(const JobContext& ctx) {
  return static_cast<uint64_t>(ctx.session.blockCount) * kBlockSize;
}

// A check or write file must hold exactly the flash: a shorter one leaves blocks with
// nothing to compare or send, a longer one is an image of another module. The refusal
// line, or nothing when the size is right or unknown (a pipe or device).
inline std::optional<std::string> FileSizeRefusal(const JobContext& ctx, const std::string& path,
                                                  std::optional<uint64_t> fileBytes) {
  const uint64_t flashBytes = FlashBytes(ctx);
  if (!fileBytes || *fileBytes == flashBytes)
    return std::nullopt;
  if (*fileBytes < flashBytes)
    return FileTooShortLine(ctx, path, *fileBytes, flashBytes);
  return Stamped(ctx, "[%s] File too long: %s (%s bytes, the flash holds %s bytes)", path,
                 std::to_string(*fileBytes), std::to_string(flashBytes));
}

// Block `index` of a check or write file came back short: the file ended early (it shrank,
// or is not a regular file) or could not be read.
inline std::string ShortBlockLine(const JobContext& ctx, std::FILE* file, const std::string& path,
                                  int index, size_t got) {
  if (std::ferror(file))
    return Stamped(ctx, "[%s] File read error: %s", path);
  const uint64_t fileBytes = static_cast<uint64_t>(index) * kBlockSize + got;
  return FileTooShortLine(ctx, path, fileBytes, FlashBytes(ctx));
}

// Whether the operator has asked to stop: a Cancel handled with the events, or a stop the
// host sees at once (which then counts as the Cancel).
inline bool CancelRequested(JobContext& ctx) {
  if (!ctx.cancelFlag && ctx.host.CancelPending())
    ctx.cancelFlag = true;
  return ctx.cancelFlag;
}

// Every job looks at the flag before its first request: a Cancel clicked after the last
// block or pass of the job before it stops this one before it touches the flash.
inline bool CancelledBeforeStart(JobContext& ctx) {
  if (!CancelRequested(ctx))
    return false;
  ctx.host.AppendLine(Stamped(ctx, "[%s] Operation cancelled"), LogColour::Red);
  return true;
}
