// The digests of generated data against the coreutils tools, run at test time on the
// same bytes written to a file.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "digest/agi_crc.h"
#include "tests/digest/digest_helpers.h"
#include "tests/support/system_digest.h"
#include "tests/support/temp_dir.h"

namespace {

// Lengths around the 64-byte padding boundaries, the flash block size and beyond.
const std::vector<size_t> kLengths = {
    0,      1,   3,   55,  56,  57,   63,    64,    65,    119,
    120,    121, 127, 128, 129, 1000, 32767, 32768, 32769, 3 * 32768 + 17,
    1 << 20};

TEST(DigestOracle, Md5AgreesWithMd5sum) {
  TempDir dir;
  for (size_t length : kLengths) {
    const Bytes data = PseudoRandomBytes(length, static_cast<uint32_t>(length) + 101);
    WriteFileBytes(dir.File("data.bin"), data);
    const std::string reference = SystemDigest("md5sum", dir.File("data.bin"));
    ASSERT_EQ(reference.size(), 32u) << "md5sum gave no digest";
    EXPECT_EQ(Md5TextOf(data), reference) << "length " << length;
  }
}

TEST(DigestOracle, Sha1AgreesWithSha1sum) {
  TempDir dir;
  for (size_t length : kLengths) {
    const Bytes data = PseudoRandomBytes(length, static_cast<uint32_t>(length) + 202);
    WriteFileBytes(dir.File("data.bin"), data);
    const std::string reference = SystemDigest("sha1sum", dir.File("data.bin"));
    ASSERT_EQ(reference.size(), 40u) << "sha1sum gave no digest";
    EXPECT_EQ(Sha1TextOf(data), reference) << "length " << length;
  }
}

// POSIX cksum runs the same register (polynomial 0x04C11DB7, MSB first, starting at 0)
// over the data followed by the length in as few bytes as hold it, least significant
// first, and prints the complement. Continuing the AGI CRC register over those length
// bytes and complementing it must give cksum's number.
TEST(DigestOracle, AgiCrcRegisterAgreesWithCksum) {
  TempDir dir;
  for (size_t length : kLengths) {
    const Bytes data = PseudoRandomBytes(length, static_cast<uint32_t>(length) + 303);
    WriteFileBytes(dir.File("data.bin"), data);
    std::istringstream out(SystemToolOutput("cksum", dir.File("data.bin")));
    unsigned long long printedCrc = 0, printedLength = 0;
    ASSERT_TRUE(out >> printedCrc >> printedLength) << "cksum gave no checksum";
    ASSERT_EQ(printedLength, length);

    auto crc = NewAgiCrc();
    AgiCrcUpdate(*crc, data.data(), data.size());
    for (size_t n = length; n != 0; n >>= 8) {
      const uint8_t lengthByte = static_cast<uint8_t>(n & 0xff);
      AgiCrcUpdate(*crc, &lengthByte, 1);
    }
    EXPECT_EQ(static_cast<uint32_t>(~crc->reg), printedCrc) << "length " << length;
  }
}

}  // namespace
