// SHA-1 (FIPS 180-1), fed block by block while the flash is read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct SHA1Context {
  uint32_t state[5];
  uint64_t bitCount;
  uint8_t buffer[64];
  size_t bufferCount;
};

using SHA1Digest = std::array<uint8_t, 20>;

void SHA1Init(SHA1Context& ctx);
// Any length is accepted; a remainder that does not fill a 64-byte block waits.
void SHA1Update(SHA1Context& ctx, const uint8_t* data, size_t length);
SHA1Digest SHA1Final(SHA1Context& ctx);
std::string SHA1Hex(const SHA1Digest& digest);
