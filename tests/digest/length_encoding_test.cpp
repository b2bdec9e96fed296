// The message length at the end of the padding is 64 bits wide. Feeding 512 MiB to reach
// 2^32 bits would take seconds, so the counter is set just below such a boundary and a
// few bytes are fed across it. The expected digest comes from the final block(s) built
// here by hand (the bytes left over, 0x80, zeros, the length in the digest's byte order)
// and compressed by a second context: only the block function is shared with the code
// under test, not its padding or counting.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "digest/md5.h"
#include "digest/sha1.h"
#include "tests/digest/digest_helpers.h"

namespace {

struct LengthCase {
  uint64_t bytesBefore;  // a multiple of 64: nothing pending
  size_t fed;
};

const LengthCase kCases[] = {
    {(uint64_t{1} << 29) - 64, 67},       // ends 24 bits past 2^32 bits; one final block
    {(uint64_t{1} << 29) - 64, 64 + 60},  // the length does not fit: two final blocks
    {uint64_t{1} << 29, 5},               // exactly 2^32 bits before
    {(uint64_t{7} << 32) - 128, 200},     // the high word 0x38 after the carry
    {0x0123456789ABCD00, 10},             // eight different length bytes: their order
    {(uint64_t{1} << 61) - 64, 70},       // the counter wraps past 2^64 bits
};

// The final block(s) of `data` after `bytesBefore` bytes: its bytes past the last whole
// block, 0x80, zeros up to 56 modulo 64, the bit length in 8 bytes.
Bytes PaddedTail(const Bytes& data, uint64_t bytesBefore, bool bigEndian) {
  const size_t whole = data.size() / 64 * 64;
  Bytes tail(data.begin() + static_cast<long>(whole), data.end());
  tail.push_back(0x80);
  while (tail.size() % 64 != 56) tail.push_back(0);
  const uint64_t bits = (bytesBefore + data.size()) * 8;
  for (int i = 0; i < 8; ++i)
    tail.push_back(static_cast<uint8_t>(bits >> (bigEndian ? 56 - 8 * i : 8 * i)));
  return tail;
}

TEST(DigestLength, Md5CountsAllSixtyFourBits) {
  for (const LengthCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.bytesBefore << " + " << c.fed);
    const Bytes data = PseudoRandomBytes(c.fed, static_cast<uint32_t>(c.fed));
    MD5Context ctx;
    MD5Init(ctx);
    ctx.byteCount = c.bytesBefore;
    MD5Update(ctx, data.data(), data.size());
    const MD5Digest digest = MD5Final(ctx);

    MD5Context reference;
    MD5Init(reference);
    const Bytes tail = PaddedTail(data, c.bytesBefore, false);
    MD5Update(reference, data.data(), data.size() / 64 * 64);
    MD5Update(reference, tail.data(), tail.size());
    ASSERT_EQ(reference.pendingCount, 0u);
    MD5Digest expected;
    for (int i = 0; i < 16; ++i)
      expected[i] = static_cast<uint8_t>(reference.state[i / 4] >> (8 * (i % 4)));
    EXPECT_EQ(MD5Hex(digest), MD5Hex(expected));
  }
}

TEST(DigestLength, Sha1CountsAllSixtyFourBits) {
  for (const LengthCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.bytesBefore << " + " << c.fed);
    const Bytes data = PseudoRandomBytes(c.fed, static_cast<uint32_t>(c.fed) + 1);
    SHA1Context ctx;
    SHA1Init(ctx);
    ctx.bitCount = c.bytesBefore * 8;
    SHA1Update(ctx, data.data(), data.size());
    const SHA1Digest digest = SHA1Final(ctx);

    SHA1Context reference;
    SHA1Init(reference);
    const Bytes tail = PaddedTail(data, c.bytesBefore, true);
    SHA1Update(reference, data.data(), data.size() / 64 * 64);
    SHA1Update(reference, tail.data(), tail.size());
    ASSERT_EQ(reference.bufferCount, 0u);
    SHA1Digest expected;
    for (int i = 0; i < 20; ++i)
      expected[i] = static_cast<uint8_t>(reference.state[i / 4] >> (24 - 8 * (i % 4)));
    EXPECT_EQ(SHA1Hex(digest), SHA1Hex(expected));
  }
}

}  // namespace
