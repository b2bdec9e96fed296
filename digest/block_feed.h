// Buffering shared by the 64-byte-block digests (MD5, SHA-1).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Completes a pending block first, hands whole blocks straight from the caller's buffer
// (no copy), and keeps the rest pending. `process(blocks, count)` compresses `count`
// consecutive 64-byte blocks.
template <typename Process>
void FeedBlocks(uint8_t (&pending)[64], size_t& pendingCount, const uint8_t* data, size_t length,
                Process process) {
  if (pendingCount > 0) {
    const size_t take = std::min(length, sizeof pending - pendingCount);
    std::memcpy(pending + pendingCount, data, take);
    pendingCount += take;
    data += take;
    length -= take;
    if (pendingCount < sizeof pending)
      return;
    process(pending, size_t{1});
    pendingCount = 0;
  }
  const size_t blocks = length / 64;
  if (blocks > 0)
    process(data, blocks);
  data += blocks * 64;
  length -= blocks * 64;
  if (length > 0) {
    std::memcpy(pending, data, length);
    pendingCount = length;
  }
}
