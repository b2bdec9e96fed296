#include "digest/md5.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/digest/digest_helpers.h"

namespace {

struct Vector {
  std::string message;
  std::string digest;
};

// The test suite of RFC 1321, appendix A.5.
const std::vector<Vector> kRfc1321 = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, Rfc1321TestSuite) {
  for (const auto& v : kRfc1321) {
    EXPECT_EQ(Md5TextOf(BytesOf(v.message)), v.digest) << "message \"" << v.message << "\"";
  }
}

TEST(Md5, HexIsLowerCaseHighHalfFirstWithLeadingZeros) {
  const MD5Digest digest = {0xab, 0x00, 0x0f, 0xf0, 0x01, 0x10, 0xcd, 0xef,
                            0x9a, 0x5b, 0x7c, 0x3d, 0x2e, 0x1f, 0x80, 0xff};
  EXPECT_EQ(MD5Hex(digest), "ab000ff00110cdef9a5b7c3d2e1f80ff");
  EXPECT_EQ(MD5Hex(MD5Digest{}), std::string(32, '0'));
}

TEST(Md5, EveryTextHas32LowerCaseHexDigits) {
  for (size_t length = 0; length < 300; length += 7) {
    const std::string text = Md5TextOf(PseudoRandomBytes(length, 1000 + length));
    ASSERT_EQ(text.size(), 32u) << "length " << length;
    EXPECT_EQ(text.find_first_not_of("0123456789abcdef"), std::string::npos) << text;
  }
}

// Feeding split at any point around the padding boundaries gives the one-piece digest,
// and no more than 63 bytes ever wait in the context between calls.
TEST(Md5, SplitFeedingAroundPaddingBoundaries) {
  for (size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 121u, 127u, 128u, 129u}) {
    const Bytes data = PseudoRandomBytes(length, static_cast<uint32_t>(length));
    const std::string whole = Md5TextOf(data);
    for (size_t split = 0; split <= length; ++split) {
      MD5Context ctx;
      MD5Init(ctx);
      MD5Update(ctx, data.data(), split);
      EXPECT_LT(ctx.pendingCount, 64u);
      MD5Update(ctx, data.data() + split, length - split);
      EXPECT_LT(ctx.pendingCount, 64u);
      EXPECT_EQ(MD5Hex(MD5Final(ctx)), whole) << "length " << length << " split " << split;
    }
  }
}

TEST(Md5, ByteByByteEqualsWhole) {
  const Bytes data = PseudoRandomBytes(1000, 7);
  MD5Context ctx;
  MD5Init(ctx);
  for (uint8_t byte : data) MD5Update(ctx, &byte, 1);
  EXPECT_EQ(MD5Hex(MD5Final(ctx)), Md5TextOf(data));
}

TEST(Md5, IrregularPiecesEqualWhole) {
  const Bytes data = PseudoRandomBytes(5000, 8);
  MD5Context ctx;
  MD5Init(ctx);
  size_t offset = 0;
  for (size_t piece = 1; offset < data.size(); piece = piece * 3 % 197 + 1) {
    const size_t n = std::min(piece, data.size() - offset);
    MD5Update(ctx, data.data() + offset, n);
    offset += n;
  }
  EXPECT_EQ(MD5Hex(MD5Final(ctx)), Md5TextOf(data));
}

TEST(Md5, EmptyUpdateChangesNothing) {
  const Bytes data = BytesOf("abc");
  MD5Context ctx;
  MD5Init(ctx);
  MD5Update(ctx, nullptr, 0);
  MD5Update(ctx, data.data(), 1);
  MD5Update(ctx, data.data() + 1, 0);
  MD5Update(ctx, data.data() + 1, 2);
  MD5Update(ctx, nullptr, 0);
  EXPECT_EQ(MD5Hex(MD5Final(ctx)), "900150983cd24fb0d6963f7d28e17f72");
}

// The process-wide context is reset by every identification and used again.
TEST(Md5, InitAfterUseStartsAfresh) {
  const Bytes first = PseudoRandomBytes(32768 + 13, 9);
  MD5Context ctx;
  MD5Init(ctx);
  MD5Update(ctx, first.data(), first.size());
  (void)MD5Final(ctx);
  MD5Init(ctx);
  const Bytes abc = BytesOf("abc");
  MD5Update(ctx, abc.data(), abc.size());
  EXPECT_EQ(MD5Hex(MD5Final(ctx)), "900150983cd24fb0d6963f7d28e17f72");

  MD5Init(ctx);
  MD5Update(ctx, first.data(), 5);  // leaves bytes pending
  MD5Init(ctx);
  EXPECT_EQ(MD5Hex(MD5Final(ctx)), "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace
