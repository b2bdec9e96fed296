// MD5 (RFC 1321), fed block by block while the flash is read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct MD5Context {
  uint32_t state[4];
  uint64_t byteCount;
  uint8_t pending[64];
  size_t pendingCount;
};

using MD5Digest = std::array<uint8_t, 16>;

void MD5Init(MD5Context& ctx);
void MD5Update(MD5Context& ctx, const uint8_t* data, size_t length);
MD5Digest MD5Final(MD5Context& ctx);
std::string MD5Hex(const MD5Digest& digest);
