#include "digest/agi_crc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/digest/digest_helpers.h"

namespace {

// The CRC straight from its definition, one bit at a time: the register shifts left,
// each message bit (most significant first) meets the bit shifted out, and a set result
// XORs in the polynomial. Shares no code or table with the implementation.
uint32_t BitwiseAgiCrc(const uint8_t* data, size_t length) {
  uint32_t reg = 0;
  for (size_t i = 0; i < length; ++i) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool top = ((reg >> 31) ^ (data[i] >> bit)) & 1;
      reg <<= 1;
      if (top)
        reg ^= 0x04C11DB7;
    }
  }
  return reg;
}

std::string Hex8(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

TEST(AgiCrc, TableEntries) {
  const auto crc = NewAgiCrc();
  const std::vector<std::pair<int, uint32_t>> entries = {
      {0, 0x00000000}, {1, 0x04C11DB7}, {2, 0x09823B6E}, {128, 0x690CE0EE}, {255, 0xB1F740B4}};
  for (const auto& [index, value] : entries) {
    EXPECT_EQ(crc->table[index], value) << "entry " << index;
  }
  // Every entry is the CRC of its index byte alone.
  for (int i = 0; i < 256; ++i) {
    const uint8_t byte = static_cast<uint8_t>(i);
    EXPECT_EQ(crc->table[i], BitwiseAgiCrc(&byte, 1)) << "entry " << i;
  }
}

TEST(AgiCrc, InitSetsRegisterToZeroAndRebuildsTheSameTable) {
  const auto fresh = NewAgiCrc();
  EXPECT_EQ(fresh->reg, 0u);
  const Bytes data = PseudoRandomBytes(100, 31);
  auto used = NewAgiCrc();
  AgiCrcUpdate(*used, data.data(), data.size());
  ASSERT_NE(used->reg, 0u);
  AgiCrcInit(*used);
  EXPECT_EQ(used->reg, 0u);
  EXPECT_EQ(used->table, fresh->table);
  EXPECT_EQ(used->wide, fresh->wide);
}

struct Example {
  std::string input;
  std::string text;
};

TEST(AgiCrc, WorkedExamples) {
  const std::vector<Example> examples = {
      {"", "00000000"},
      {"abc", "2c17398c"},
      {"123456789", "89a1897f"},
      {std::string("\0\0abc", 5), "2c17398c"},  // leading zeros change nothing
  };
  for (const auto& e : examples) {
    EXPECT_EQ(AgiCrcTextOf(BytesOf(e.input)), e.text) << "input of " << e.input.size();
  }
}

TEST(AgiCrc, LeadingZerosDoNotChangeTheResult) {
  const Bytes tail = PseudoRandomBytes(77, 41);
  const std::string expected = AgiCrcTextOf(tail);
  for (size_t zeros : {1u, 7u, 8u, 9u, 64u, 32768u}) {
    Bytes data(zeros, 0);
    data.insert(data.end(), tail.begin(), tail.end());
    EXPECT_EQ(AgiCrcTextOf(data), expected) << zeros << " leading zeros";
  }
}

TEST(AgiCrc, AllZeroFlashGivesZero) {
  for (size_t length : {1u, 3u, 8u, 15u, 32768u, 3u * 32768u}) {
    EXPECT_EQ(AgiCrcTextOf(Bytes(length, 0)), "00000000") << length << " zero bytes";
  }
}

// The eight-bytes-a-step update against the bit-by-bit definition, for every length
// from 0 to 80 and for starting addresses of every alignment.
TEST(AgiCrc, MatchesBitwiseDefinitionForAnyLengthAndAlignment) {
  const Bytes data = PseudoRandomBytes(100, 43);
  for (size_t offset = 0; offset < 8; ++offset) {
    for (size_t length = 0; length <= 80; ++length) {
      auto crc = NewAgiCrc();
      AgiCrcUpdate(*crc, data.data() + offset, length);
      ASSERT_EQ(crc->reg, BitwiseAgiCrc(data.data() + offset, length))
          << "offset " << offset << " length " << length;
    }
  }
  const Bytes block = PseudoRandomBytes(32768, 47);
  auto crc = NewAgiCrc();
  AgiCrcUpdate(*crc, block.data(), block.size());
  EXPECT_EQ(crc->reg, BitwiseAgiCrc(block.data(), block.size()));
}

TEST(AgiCrc, ByteByByteEqualsOneCall) {
  const Bytes data = PseudoRandomBytes(1001, 53);
  auto crc = NewAgiCrc();
  for (uint8_t byte : data) AgiCrcUpdate(*crc, &byte, 1);
  EXPECT_EQ(AgiCrcText(*crc), AgiCrcTextOf(data));
}

TEST(AgiCrc, SplitCallsEqualOneCall) {
  const Bytes data = PseudoRandomBytes(70, 59);
  const std::string whole = AgiCrcTextOf(data);
  for (size_t split = 0; split <= data.size(); ++split) {
    auto crc = NewAgiCrc();
    AgiCrcUpdate(*crc, data.data(), split);
    AgiCrcUpdate(*crc, data.data() + split, data.size() - split);
    EXPECT_EQ(AgiCrcText(*crc), whole) << "split " << split;
  }
}

TEST(AgiCrc, EmptyUpdateChangesNothing) {
  auto crc = NewAgiCrc();
  AgiCrcUpdate(*crc, nullptr, 0);
  EXPECT_EQ(crc->reg, 0u);
  const Bytes abc = BytesOf("abc");
  AgiCrcUpdate(*crc, abc.data(), abc.size());
  AgiCrcUpdate(*crc, abc.data(), 0);
  EXPECT_EQ(AgiCrcText(*crc), "2c17398c");
}

TEST(AgiCrc, TextHasEightLowerCaseDigitsWithLeadingZeros) {
  auto crc = NewAgiCrc();
  for (uint32_t value : {0x00000000u, 0x00000001u, 0x0000abcdu, 0x0fedcba9u, 0xabcdef01u,
                         0xffffffffu, 0x80000000u}) {
    crc->reg = value;
    EXPECT_EQ(AgiCrcText(*crc), Hex8(value));
    EXPECT_EQ(AgiCrcText(*crc), AgiCrcText(*crc));  // reading does not change the state
    EXPECT_EQ(crc->reg, value);
  }
  crc->reg = 0x0000abcd;
  EXPECT_EQ(AgiCrcText(*crc), "0000abcd");
  crc->reg = 0xABCDEF01;
  EXPECT_EQ(AgiCrcText(*crc), "abcdef01");
}

}  // namespace
