// Where and how the flash differs from a file, gathered block by block while a check
// compares them. A block that matches costs one memcmp; only a block that differs is
// looked at bit by bit, from its first differing byte on, eight bytes at a time.
//
// What the counters tell an operator. Every differing bit is counted by its lane (even or
// odd byte offset: on a 16-bit bus the two byte lanes, on an 8-bit bus just alternate
// bytes), its position 0..7 within the byte and its direction: the flash read 1 where the
// file has 0, or 0 where the file has 1.
// - One bit of one lane in one direction explains every difference (DataLineFit::kOneLane):
//   the pattern of a data line of a 16-bit chip stuck at one level or open. The more
//   bytes differ, the stronger the sign: a handful of bytes may as well be a few weak
//   cells.
// - The same bit in the same direction in both lanes, and nothing else
//   (DataLineFit::kBothLanes): the same for an 8-bit chip, whose one data line carries
//   that bit of every byte.
// - Scattered bits in both directions: a flaky contact, noise, or another file.
//
// Banks are named by their bank byte, the one the programmer selects them with: on a
// two-bank module the first half of the blocks is bank 1 and the second half bank 0. A
// one-bank module is read with bank byte 1, so firstBank is 1 there too; the text lines
// name a bank on a two-bank module only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The byte lane of an offset: its parity. The values are what a report shows.
enum class Lane : uint8_t { kEven = 0, kOdd = 1 };

// Which way a bit differs. The values are what a report shows.
enum class Direction : uint8_t {
  kReadOne = 0,   // the flash read 1 where the file has 0
  kReadZero = 1,  // the flash read 0 where the file has 1
};

// Whether one data bit explains every difference. The values are what a report shows.
enum class DataLineFit : uint8_t {
  kNone = 0,       // nothing differs, or more than one bit, lane or direction is involved
  kOneLane = 1,    // one bit of one lane in one direction
  kBothLanes = 2,  // one bit in one direction, in even and in odd bytes
};

// Consecutive differing blocks, both ends included.
struct BlockRange {
  int first = 0;
  int last = 0;
  bool operator==(const BlockRange&) const = default;
};

// bitCounts[lane][bit][direction]: how many bytes of that lane differ in that bit that way.
using BitCounts = std::array<std::array<std::array<uint64_t, 2>, 8>, 2>;

// The comparison so far, as numbers.
struct FlashDifference {
  static constexpr size_t kMaxRanges = 8;

  int blockCount = 0;  // the module's, as given to the accumulator
  bool twoBanks = false;
  int comparedBlocks = 0;  // blocks added; fewer than blockCount when a check stopped early

  uint64_t differingBytes = 0;
  int differingBlocks = 0;

  // The lowest differing offset in the flash, its block and its bank byte. Zero when
  // nothing differs.
  uint64_t firstOffset = 0;
  int firstBlock = 0;
  int firstBank = 0;

  // The first kMaxRanges runs of differing blocks, lowest first; moreRanges when further
  // differing blocks lie beyond them.
  std::vector<BlockRange> ranges;
  bool moreRanges = false;

  BitCounts bitCounts{};

  // The bit that explains every difference; lane only for kOneLane, bit and direction for
  // both kinds, all zero for kNone.
  DataLineFit fit = DataLineFit::kNone;
  Lane fitLane = Lane::kEven;
  int fitBit = 0;
  Direction fitDirection = Direction::kReadOne;
};

// Fed each block of a check once, in increasing block order.
class FlashDifferenceAccumulator {
 public:
  // blockCount: 512, 1024 or 2048 in use; twoBanks: the module has two equal banks.
  // blockSize: bytes in every block (32768 in use).
  FlashDifferenceAccumulator(int blockCount, bool twoBanks, size_t blockSize = 32768);

  // Compares `size` bytes of block `blockIndex` as read from the flash and as held in the
  // file. False, with nothing counted, when the index lies outside the module or is not
  // above the index of the block added before, or when size is not the block size.
  bool Add(int blockIndex, const uint8_t* flash, const uint8_t* file, size_t size);

  // Whether any block added so far differs; cheap enough for every block.
  bool Differs() const { return result_.differingBlocks > 0; }

  // What the blocks added so far show, with the fit worked out.
  FlashDifference Result() const;

 private:
  FlashDifference result_;
  size_t blockSize_;
  int lastBlock_ = -1;
};

// The operator's lines for a terminal; none when nothing differs. In order:
//   First difference at 0x0012a004 (block 37, bank 1)     (the bank on two banks only)
//   1234 bytes differ in 12 blocks: 36-40, 100, 2000-2005, ...   (", ..." for moreRanges)
//   odd bytes bit 3: 1234 read 1 where the file has 0, 2 read 0 where the file has 1
//     (one line per lane and bit with a difference, even bytes first, then bit 0 up)
//   every difference is bit 3 of odd bytes reading 1 where the file has 0 (1234 bytes)
//   every difference is bit 5 of even and odd bytes reading 0 where the file has 1 (1 byte)
//     (the last line only for a fit, one of those two forms, with the bytes it rests on)
std::vector<std::string> FlashDifferenceLines(const FlashDifference& d);
