// The comparison of flash and file: where the first difference lies, how the differing
// blocks are grouped, the per-lane bit counters, the data-line fit and the operator's lines.
#include "flash/flash_difference.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr size_t kBlock = 32768;

// The file byte at every offset is the offset's low byte: each value comes 128 times per
// block, so a bit is set in half of the even and half of the odd bytes of any block.
uint8_t FileByte(uint64_t offset) {
  return static_cast<uint8_t>(offset);
}

struct Counter {
  Lane lane;
  int bit;
  Direction direction;
  uint64_t count;
};

struct First {
  uint64_t offset;
  int block;
  int bank;
};

struct Fit {
  DataLineFit kind;
  Lane lane;
  int bit;
  Direction direction;
};

constexpr auto E = Lane::kEven;
constexpr auto O = Lane::kOdd;
constexpr auto kOne = Direction::kReadOne;
constexpr auto kZero = Direction::kReadZero;
constexpr Fit kNoFit{DataLineFit::kNone, E, 0, kOne};

// What the flash reads at `offset` where the file holds `file`.
using FlashRead = uint8_t (*)(uint64_t offset, uint8_t file);

bool Odd(uint64_t offset) {
  return offset % 2 != 0;
}
uint8_t Flip(uint8_t file, int mask) {
  return static_cast<uint8_t>(file ^ mask);
}
uint8_t Same(uint64_t, uint8_t f) {
  return f;
}
uint8_t LastByteBit0(uint64_t o, uint8_t f) {
  return o == 0xffffff ? Flip(f, 1) : f;
}
uint8_t OddBit3Stuck1(uint64_t o, uint8_t f) {
  return Odd(o) ? f | 0x08 : f;
}
uint8_t Bit5Stuck0(uint64_t, uint8_t f) {
  return f & ~0x20;
}
// Both lanes' bit 5 and, in one byte, a third kind of difference.
uint8_t Bit5Stuck0AndOneOddBit3(uint64_t o, uint8_t f) {
  return o == 1 ? f | 0x08 : f & ~0x20;
}
uint8_t OddBits3And4Stuck1(uint64_t o, uint8_t f) {
  return Odd(o) ? f | 0x18 : f;
}
uint8_t OddBit3Flipped(uint64_t o, uint8_t f) {
  return Odd(o) ? Flip(f, 0x08) : f;
}
uint8_t Bit5StuckEachLaneAnotherWay(uint64_t o, uint8_t f) {
  return Odd(o) ? f | 0x20 : f & ~0x20;
}
uint8_t Bit7At2000000(uint64_t o, uint8_t f) {
  return o == 0x2000000 ? Flip(f, 0x80) : f;
}
uint8_t Bit7At1000000(uint64_t o, uint8_t f) {
  return o == 0x1000000 ? Flip(f, 0x80) : f;
}
uint8_t Bit7Around2000000(uint64_t o, uint8_t f) {
  return o == 0x1ffffff || o == 0x2000000 ? Flip(f, 0x80) : f;
}
uint8_t Bit0OfByte12Of13(uint64_t o, uint8_t f) {
  return o % 13 == 12 ? Flip(f, 1) : f;
}
// Bit 0 of byte 0x100 of every block but 35, 41, 43, 99 and 101 reads 1.
uint8_t Bit0OfByte100(uint64_t o, uint8_t f) {
  const uint64_t b = o / kBlock;
  const bool equal = b == 35 || b == 41 || b == 43 || b == 99 || b == 101;
  return !equal && o % kBlock == 0x100 ? f | 1 : f;
}

// The module and the blocks fed, in this order.
struct Input {
  int blockCount;
  bool twoBanks;
  std::vector<int> blocks;
  FlashRead flash;
  size_t blockSize = kBlock;
};

struct Where {
  uint64_t bytes;
  int blocks;
  First first;
  std::vector<BlockRange> ranges;
  bool more;
};

using Lines = std::vector<std::string>;

struct DifferenceCase {
  const char* name;
  Input input;
  Where where;
  std::vector<Counter> counters;  // the non-zero ones
  Fit fit;
  std::optional<Lines> lines;  // checked when given
  friend void PrintTo(const DifferenceCase& c, std::ostream* os) { *os << c.name; }
};

constexpr Fit OneLane(Lane lane, int bit, Direction direction) {
  return {DataLineFit::kOneLane, lane, bit, direction};
}

std::vector<DifferenceCase> Cases() {
  return {
      {"Identical",
       {512, false, {0, 1, 2, 3}, Same},
       {0, 0, {0, 0, 0}, {}, false},
       {},
       kNoFit,
       Lines{}},
      {"LastBitOfLastBlock",
       {512, false, {510, 511}, LastByteBit0},
       {1, 1, {0xffffff, 511, 1}, {{511, 511}}, false},
       {{O, 0, kZero, 1}},
       OneLane(O, 0, kZero),
       Lines{"First difference at 0x00ffffff (block 511)", "1 byte differs in 1 block: 511",
             "odd bytes bit 0: 1 read 0 where the file has 1",
             "every difference is bit 0 of odd bytes reading 0 where the file has 1 (1 byte)"}},
      {"StuckOddBit3AcrossBothBanks",
       {1024, true, {510, 511, 512, 513}, OddBit3Stuck1},
       {4 * 8192, 4, {0xff0001, 510, 1}, {{510, 513}}, false},
       {{O, 3, kOne, 4 * 8192}},
       OneLane(O, 3, kOne),
       Lines{
           "First difference at 0x00ff0001 (block 510, bank 1)",
           "32768 bytes differ in 4 blocks: 510-513",
           "odd bytes bit 3: 32768 read 1 where the file has 0",
           "every difference is bit 3 of odd bytes reading 1 where the file has 0 (32768 bytes)"}},
      // An 8-bit chip's data line: the same bit of every byte.
      {"Bit5Stuck0InBothLanes",
       {512, false, {2, 3}, Bit5Stuck0},
       {2 * 16384, 2, {0x10020, 2, 1}, {{2, 3}}, false},
       {{E, 5, kZero, 16384}, {O, 5, kZero, 16384}},
       {DataLineFit::kBothLanes, E, 5, kZero},
       Lines{"First difference at 0x00010020 (block 2)", "32768 bytes differ in 2 blocks: 2-3",
             "even bytes bit 5: 16384 read 0 where the file has 1",
             "odd bytes bit 5: 16384 read 0 where the file has 1",
             "every difference is bit 5 of even and odd bytes reading 0 where the file has 1 "
             "(32768 bytes)"}},
      {"BothLanesAndAThirdKind",
       {512, false, {0}, Bit5Stuck0AndOneOddBit3},
       {16385, 1, {1, 0, 1}, {{0, 0}}, false},
       {{E, 5, kZero, 8192}, {O, 3, kOne, 1}, {O, 5, kZero, 8192}},
       kNoFit,
       std::nullopt},
      // A byte with either bit clear differs: three quarters of the odd bytes, fewer than
      // the two counters together.
      {"TwoBitsOfOddBytes",
       {512, false, {0}, OddBits3And4Stuck1},
       {12288, 1, {1, 0, 1}, {{0, 0}}, false},
       {{O, 3, kOne, 8192}, {O, 4, kOne, 8192}},
       kNoFit,
       std::nullopt},
      {"OneBitBothWays",
       {512, false, {0}, OddBit3Flipped},
       {16384, 1, {1, 0, 1}, {{0, 0}}, false},
       {{O, 3, kOne, 8192}, {O, 3, kZero, 8192}},
       kNoFit,
       Lines{"First difference at 0x00000001 (block 0)", "16384 bytes differ in 1 block: 0",
             "odd bytes bit 3: 8192 read 1 where the file has 0, 8192 read 0 where the file has "
             "1"}},
      {"OneBitEachLaneAnotherWay",
       {512, false, {0}, Bit5StuckEachLaneAnotherWay},
       {16384, 1, {1, 0, 1}, {{0, 0}}, false},
       {{E, 5, kZero, 8192}, {O, 5, kOne, 8192}},
       kNoFit,
       std::nullopt},
      // Eight runs, the last of them growing once the limit is reached; 700 and 800 only
      // set `more`. The equal blocks 41, 99 and 101 break runs.
      {"RangesMergeAndStopAtTheLimit",
       {2048,
        false,
        {35, 36, 37, 38, 39, 40, 41, 42, 43, 99, 100, 101, 200, 300, 400, 500, 600, 601, 700, 800},
        Bit0OfByte100},
       {15,
        15,
        {0x120100, 36, 1},
        {{36, 40},
         {42, 42},
         {100, 100},
         {200, 200},
         {300, 300},
         {400, 400},
         {500, 500},
         {600, 601}},
        true},
       {{E, 0, kOne, 15}},
       OneLane(E, 0, kOne),
       Lines{"First difference at 0x00120100 (block 36)",
             "15 bytes differ in 15 blocks: 36-40, 42, 100, 200, 300, 400, 500, 600-601, ...",
             "even bytes bit 0: 15 read 1 where the file has 0",
             "every difference is bit 0 of even bytes reading 1 where the file has 0 (15 bytes)"}},
      {"FirstByteOfTheSecondBank",
       {2048, true, {1023, 1024}, Bit7At2000000},
       {1, 1, {0x2000000, 1024, 0}, {{1024, 1024}}, false},
       {{E, 7, kOne, 1}},
       OneLane(E, 7, kOne),
       std::nullopt},
      {"BothSidesOfTheBankBoundary",
       {2048, true, {1023, 1024}, Bit7Around2000000},
       {2, 2, {0x1ffffff, 1023, 1}, {{1023, 1024}}, false},
       {{E, 7, kOne, 1}, {O, 7, kZero, 1}},
       kNoFit,
       Lines{"First difference at 0x01ffffff (block 1023, bank 1)",
             "2 bytes differ in 2 blocks: 1023-1024",
             "even bytes bit 7: 1 read 1 where the file has 0",
             "odd bytes bit 7: 1 read 0 where the file has 1"}},
      {"SecondHalfOfAOneBankModule",
       {1024, false, {511, 512}, Bit7At1000000},
       {1, 1, {0x1000000, 512, 1}, {{512, 512}}, false},
       {{E, 7, kOne, 1}},
       OneLane(E, 7, kOne),
       std::nullopt},
      // Blocks of 13 bytes: each ends in a part-word, and every other block starts at an
      // odd offset, so its last byte is in the other lane.
      {"BlocksOfAnOddSize",
       {4, false, {0, 1, 2, 3}, Bit0OfByte12Of13, 13},
       {4, 4, {12, 0, 1}, {{0, 3}}, false},
       {{E, 0, kOne, 2}, {O, 0, kZero, 2}},
       kNoFit,
       std::nullopt},
  };
}

class FlashDifferenceCases : public testing::TestWithParam<DifferenceCase> {};

TEST_P(FlashDifferenceCases, DescribesTheDifferences) {
  const DifferenceCase& c = GetParam();
  const size_t size = c.input.blockSize;
  FlashDifferenceAccumulator accumulator(c.input.blockCount, c.input.twoBanks, size);
  std::vector<uint8_t> flash(size), file(size);
  for (const int block : c.input.blocks) {
    for (size_t i = 0; i < size; ++i) {
      const uint64_t offset = static_cast<uint64_t>(block) * size + i;
      file[i] = FileByte(offset);
      flash[i] = c.input.flash(offset, file[i]);
    }
    ASSERT_TRUE(accumulator.Add(block, flash.data(), file.data(), size)) << block;
  }

  const FlashDifference d = accumulator.Result();
  EXPECT_EQ(d.comparedBlocks, static_cast<int>(c.input.blocks.size()));
  EXPECT_EQ(d.differingBytes, c.where.bytes);
  EXPECT_EQ(d.differingBlocks, c.where.blocks);
  EXPECT_EQ(d.firstOffset, c.where.first.offset);
  EXPECT_EQ(d.firstBlock, c.where.first.block);
  EXPECT_EQ(d.firstBank, c.where.first.bank);
  EXPECT_EQ(d.ranges, c.where.ranges);
  EXPECT_EQ(d.moreRanges, c.where.more);
  BitCounts counts{};
  for (const Counter& n : c.counters)
    counts[static_cast<int>(n.lane)][n.bit][static_cast<int>(n.direction)] = n.count;
  EXPECT_EQ(d.bitCounts, counts);
  EXPECT_EQ(d.fit, c.fit.kind);
  EXPECT_EQ(d.fitLane, c.fit.lane);
  EXPECT_EQ(d.fitBit, c.fit.bit);
  EXPECT_EQ(d.fitDirection, c.fit.direction);
  if (c.lines) {
    EXPECT_EQ(FlashDifferenceLines(d), *c.lines);
  }
}

INSTANTIATE_TEST_SUITE_P(FlashDifference, FlashDifferenceCases, testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Refused blocks count for nothing; every block here differs.
TEST(FlashDifference, RefusesBlocksOutsideTheModuleOutOfOrderOrOfAnotherSize) {
  struct Call {
    int block;
    size_t size;
    bool accepted;
  };
  const Call calls[] = {{1, kBlock, true},   {1, kBlock, false}, {0, kBlock, false},
                        {-1, kBlock, false}, {4, kBlock, false}, {2, kBlock - 1, false},
                        {2, kBlock, true}};
  FlashDifferenceAccumulator accumulator(4, false);
  const std::vector<uint8_t> flash(kBlock, 0xFF), file(kBlock, 0x00);
  for (const Call& call : calls)
    EXPECT_EQ(accumulator.Add(call.block, flash.data(), file.data(), call.size), call.accepted)
        << call.block << " " << call.size;
  const FlashDifference d = accumulator.Result();
  EXPECT_EQ(d.comparedBlocks, 2);
  EXPECT_EQ(d.differingBlocks, 2);
  EXPECT_EQ(d.differingBytes, 2 * kBlock);
  EXPECT_EQ(d.ranges, (std::vector<BlockRange>{{1, 2}}));
}

}  // namespace
