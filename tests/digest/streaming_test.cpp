// The read job feeds every digest block by block; the result must be that of the whole
// dump fed in one piece.
#include <gtest/gtest.h>

#include "digest/agi_crc.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "tests/digest/digest_helpers.h"
#include "tests/support/test_constants.h"

namespace {

constexpr size_t kBlocks = 512;  // a 16 MiB module

TEST(DigestStreaming, SixteenMiBInBlocksEqualsOnePiece) {
  const Bytes dump = PseudoRandomBytes(kBlocks * kBlock, 61);

  // As the read job does it: per block MD5, then SHA-1, then the AGI CRC.
  MD5Context md5;
  SHA1Context sha1;
  auto crc = NewAgiCrc();
  MD5Init(md5);
  SHA1Init(sha1);
  for (size_t block = 0; block < kBlocks; ++block) {
    const uint8_t* data = dump.data() + block * kBlock;
    MD5Update(md5, data, kBlock);
    SHA1Update(sha1, data, kBlock);
    AgiCrcUpdate(*crc, data, kBlock);
  }
  EXPECT_EQ(md5.pendingCount, 0u);
  EXPECT_EQ(sha1.bufferCount, 0u);
  EXPECT_EQ(sha1.bitCount, uint64_t{kBlocks * kBlock} * 8);

  const std::string md5Text = MD5Hex(MD5Final(md5));
  const std::string sha1Text = SHA1Hex(SHA1Final(sha1));
  EXPECT_EQ(md5Text, Md5TextOf(dump));
  EXPECT_EQ(sha1Text, Sha1TextOf(dump));
  EXPECT_EQ(AgiCrcText(*crc), AgiCrcTextOf(dump));

  // The texts really depend on the data: one flipped bit in the last block changes all.
  Bytes changed = dump;
  changed.back() ^= 0x01;
  EXPECT_NE(Md5TextOf(changed), md5Text);
  EXPECT_NE(Sha1TextOf(changed), sha1Text);
  EXPECT_NE(AgiCrcTextOf(changed), AgiCrcText(*crc));
}

}  // namespace
