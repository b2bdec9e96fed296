#include "digest/sha1.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "digest/sha1_blocks.h"
#include "tests/digest/digest_helpers.h"

namespace {

constexpr uint32_t kInitialChain[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};

TEST(Sha1, Fips180_1Examples) {
  EXPECT_EQ(Sha1TextOf(BytesOf("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(Sha1TextOf(BytesOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
}

TEST(Sha1, Fips180_1MillionAFedInPieces) {
  // One million "a", in pieces that are not multiples of 64.
  const Bytes chunk(1000, 'a');
  SHA1Context ctx;
  SHA1Init(ctx);
  for (int i = 0; i < 1000; ++i) SHA1Update(ctx, chunk.data(), chunk.size());
  EXPECT_EQ(SHA1Hex(SHA1Final(ctx)), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Sha1, EmptyMessage) {
  EXPECT_EQ(Sha1TextOf({}), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST(Sha1, HexIsLowerCaseHighHalfFirstWithLeadingZeros) {
  const SHA1Digest digest = {0xab, 0x00, 0x0f, 0xf0, 0x01, 0x10, 0xcd, 0xef, 0x9a, 0x5b,
                             0x7c, 0x3d, 0x2e, 0x1f, 0x80, 0xff, 0x02, 0x20, 0xa0, 0x0a};
  EXPECT_EQ(SHA1Hex(digest), "ab000ff00110cdef9a5b7c3d2e1f80ff0220a00a");
  EXPECT_EQ(SHA1Hex(SHA1Digest{}), std::string(40, '0'));
}

TEST(Sha1, EveryTextHas40LowerCaseHexDigits) {
  for (size_t length = 0; length < 300; length += 7) {
    const std::string text = Sha1TextOf(PseudoRandomBytes(length, 2000 + length));
    ASSERT_EQ(text.size(), 40u) << "length " << length;
    EXPECT_EQ(text.find_first_not_of("0123456789abcdef"), std::string::npos) << text;
  }
}

TEST(Sha1, SplitFeedingAroundPaddingBoundaries) {
  for (size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 121u, 127u, 128u, 129u}) {
    const Bytes data = PseudoRandomBytes(length, static_cast<uint32_t>(length) + 77);
    const std::string whole = Sha1TextOf(data);
    for (size_t split = 0; split <= length; ++split) {
      SHA1Context ctx;
      SHA1Init(ctx);
      SHA1Update(ctx, data.data(), split);
      EXPECT_LT(ctx.bufferCount, 64u);
      SHA1Update(ctx, data.data() + split, length - split);
      EXPECT_EQ(SHA1Hex(SHA1Final(ctx)), whole) << "length " << length << " split " << split;
    }
  }
}

TEST(Sha1, ByteByByteEqualsWhole) {
  const Bytes data = PseudoRandomBytes(1000, 17);
  SHA1Context ctx;
  SHA1Init(ctx);
  for (uint8_t byte : data) SHA1Update(ctx, &byte, 1);
  EXPECT_EQ(SHA1Hex(SHA1Final(ctx)), Sha1TextOf(data));
}

TEST(Sha1, EmptyUpdateChangesNothing) {
  const Bytes data = BytesOf("abc");
  SHA1Context ctx;
  SHA1Init(ctx);
  SHA1Update(ctx, nullptr, 0);
  SHA1Update(ctx, data.data(), 2);
  SHA1Update(ctx, data.data() + 2, 0);
  SHA1Update(ctx, data.data() + 2, 1);
  EXPECT_EQ(SHA1Hex(SHA1Final(ctx)), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

// A dump is a whole number of blocks; its digest ends with one block of pure padding:
// 0x80, zeros, and the bit length most significant byte first.
TEST(Sha1, WholeBlocksEndWithOnePaddingBlock) {
  for (size_t blocks : {1u, 2u, 512u}) {
    const Bytes data = PseudoRandomBytes(64 * blocks, static_cast<uint32_t>(blocks));
    uint32_t chain[5];
    std::copy(std::begin(kInitialChain), std::end(kInitialChain), chain);
    Sha1BlocksPortable(chain, data.data(), blocks);
    uint8_t padding[64] = {0x80};
    const uint64_t bits = 512ull * blocks;
    for (int i = 0; i < 8; ++i) padding[63 - i] = static_cast<uint8_t>(bits >> (8 * i));
    Sha1BlocksPortable(chain, padding, 1);

    SHA1Context ctx;
    SHA1Init(ctx);
    SHA1Update(ctx, data.data(), data.size());
    EXPECT_EQ(ctx.bufferCount, 0u);
    const SHA1Digest digest = SHA1Final(ctx);
    for (int i = 0; i < 5; ++i) {
      const uint32_t word = uint32_t{digest[4 * i]} << 24 | uint32_t{digest[4 * i + 1]} << 16 |
                            uint32_t{digest[4 * i + 2]} << 8 | uint32_t{digest[4 * i + 3]};
      EXPECT_EQ(word, chain[i]) << "blocks " << blocks << " word " << i;
    }
  }
}

TEST(Sha1, InitAfterUseStartsAfresh) {
  const Bytes first = PseudoRandomBytes(32768 + 21, 19);
  SHA1Context ctx;
  SHA1Init(ctx);
  SHA1Update(ctx, first.data(), first.size());
  (void)SHA1Final(ctx);
  SHA1Init(ctx);
  const Bytes abc = BytesOf("abc");
  SHA1Update(ctx, abc.data(), abc.size());
  EXPECT_EQ(SHA1Hex(SHA1Final(ctx)), "a9993e364706816aba3e25717850c26c9cd0d89d");

  SHA1Init(ctx);
  SHA1Update(ctx, first.data(), 5);  // leaves bytes waiting
  SHA1Init(ctx);
  EXPECT_EQ(SHA1Hex(SHA1Final(ctx)), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

// The fallback for processors without SHA extensions, checked on its own against the
// published "abc" digest (one block: the message, 0x80, zeros, bit length 24).
TEST(Sha1, PortableBlocksGiveStandardDigest) {
  uint8_t block[64] = {'a', 'b', 'c', 0x80};
  block[63] = 24;
  uint32_t chain[5];
  std::copy(std::begin(kInitialChain), std::end(kInitialChain), chain);
  Sha1BlocksPortable(chain, block, 1);
  const uint32_t expected[5] = {0xa9993e36, 0x4706816a, 0xba3e2571, 0x7850c26c, 0x9cd0d89d};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(chain[i], expected[i]) << "word " << i;
}

// The SHA extension path must give the very chaining words of the portable one, from
// any starting chain and for runs of any number of blocks.
TEST(Sha1, ShaExtensionsMatchPortableBlocks) {
  if (!Sha1ShaNiAvailable())
    GTEST_SKIP() << "processor without SHA extensions";
  const Bytes data = PseudoRandomBytes(64 * 300, 23);
  uint32_t portable[5], hardware[5];
  std::copy(std::begin(kInitialChain), std::end(kInitialChain), portable);
  std::copy(std::begin(kInitialChain), std::end(kInitialChain), hardware);
  size_t offset = 0;
  for (size_t blocks = 0; offset + 64 * blocks <= data.size(); ++blocks) {
    Sha1BlocksPortable(portable, data.data() + offset, blocks);
    Sha1BlocksShaNi(hardware, data.data() + offset, blocks);
    offset += 64 * blocks;
    for (int i = 0; i < 5; ++i) ASSERT_EQ(hardware[i], portable[i]) << "after " << offset;
  }
  // Uniform data (all zero, all ones) as the flash often holds.
  for (uint8_t fill : {uint8_t{0x00}, uint8_t{0xff}}) {
    const Bytes uniform(64 * 8, fill);
    Sha1BlocksPortable(portable, uniform.data(), 8);
    Sha1BlocksShaNi(hardware, uniform.data(), 8);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(hardware[i], portable[i]) << "fill " << int{fill};
  }
}

}  // namespace
