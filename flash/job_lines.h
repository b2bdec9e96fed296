// Log lines shared by the read, check and write jobs.
#pragma once

#include <cstdint>
#include <string>

#include "app/app_context.h"
#include "app/stamped.h"

// The progress text of block `index`: its percentage truncated, so never 100.
inline std::string ProgressLine(const char* pattern, int index, int blockCount) {
  const int percent = static_cast<int>(index * 100.0 / blockCount);
  return LogText(pattern, {std::to_string(percent)});
}

// A source or reference file that holds less than the whole flash.
inline std::string FileTooShortLine(const AppContext& ctx, const std::string& path,
                                    uint64_t fileBytes, uint64_t flashBytes) {
  return Stamped(ctx, "[%s] File too short: %s (%s bytes, the flash holds %s bytes)", path,
                 std::to_string(fileBytes), std::to_string(flashBytes));
}

inline uint64_t FlashBytes(const AppContext& ctx) {
  return static_cast<uint64_t>(ctx.session.blockCount) * kBlockSize;
}
