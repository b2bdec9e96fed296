// A 64-bit fingerprint of a block, to tell whether a block read again after a
// reconnection reads as it did. Four independent lanes of multiply and rotate over 8-byte
// words keep it far faster than the digests the blocks are fed to anyway.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

inline uint64_t BlockFingerprint(const uint8_t* data, size_t size) {
  constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
  constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
  uint64_t lane[4] = {kPrime1, kPrime2, kPrime1 ^ kPrime2, size};
  size_t at = 0;
  for (; at + 32 <= size; at += 32) {
    for (int k = 0; k < 4; ++k) {
      uint64_t word;
      std::memcpy(&word, data + at + 8 * k, 8);
      lane[k] = (lane[k] ^ (word * kPrime2)) * kPrime1;
      lane[k] = (lane[k] << 31) | (lane[k] >> 33);
    }
  }
  uint64_t hash = lane[0] ^ (lane[1] * kPrime1) ^ (lane[2] * kPrime2) ^ lane[3];
  for (; at < size; ++at) hash = (hash ^ data[at]) * kPrime1;
  return hash ^ (hash >> 29);
}
