#include "flash/flash_difference.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kFirstBankByte = 1;
constexpr int kSecondBankByte = 0;

const char* LaneName(Lane lane) {
  return lane == Lane::kEven ? "even" : "odd";
}

const char* DirectionWords(Direction direction) {
  return direction == Direction::kReadOne ? "1 where the file has 0" : "0 where the file has 1";
}

std::string Printed(const char* format, auto... values) {
  char text[160];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

constexpr uint64_t kLowBits = 0x0101010101010101;

// The byte of memory that byte field `field` (0 the lowest) of a loaded word came from.
constexpr int ByteOfField(int field) {
  return std::endian::native == std::endian::little ? field : 7 - field;
}

// The counters of up to 255 differing words, one byte field per byte of the word: field p
// of bits[direction][bit] counts the words whose byte p differed in that bit that way,
// field p of bytes those whose byte p differed at all. Emptied before a field overflows.
struct WordCounts {
  uint64_t bits[2][8] = {};
  uint64_t bytes = 0;
  int words = 0;

  // Counts a differing word; true when the counters must be emptied.
  bool Add(uint64_t flash, uint64_t file) {
    const uint64_t differs = flash ^ file;
    const uint64_t ones = flash & differs, zeros = file & differs;
    for (int bit = 0; bit < 8; ++bit) {
      bits[static_cast<int>(Direction::kReadOne)][bit] += (ones >> bit) & kLowBits;
      bits[static_cast<int>(Direction::kReadZero)][bit] += (zeros >> bit) & kLowBits;
    }
    uint64_t any = differs | differs >> 4;
    any |= any >> 2;
    bytes += (any | any >> 1) & kLowBits;
    return ++words == 255;
  }

  // Adds the fields to the counters of `d`. The words came from the block at `base`, each
  // from a multiple of eight bytes into it, so field p holds bytes at base + p + 8n.
  void EmptyInto(FlashDifference& d, uint64_t base) {
    for (int field = 0; field < 8; ++field) {
      const int shift = field * 8;
      auto& lane = d.bitCounts[(base + ByteOfField(field)) & 1];
      d.differingBytes += (bytes >> shift) & 0xff;
      for (int bit = 0; bit < 8; ++bit)
        for (int direction = 0; direction < 2; ++direction)
          lane[bit][direction] += (bits[direction][bit] >> shift) & 0xff;
    }
    *this = WordCounts{};
  }
};

std::string RangeText(const BlockRange& range) {
  if (range.first == range.last)
    return std::to_string(range.first);
  return std::to_string(range.first) + "-" + std::to_string(range.last);
}

}  // namespace

FlashDifferenceAccumulator::FlashDifferenceAccumulator(int blockCount, bool twoBanks,
                                                       size_t blockSize)
    : blockSize_(blockSize) {
  result_.blockCount = blockCount;
  result_.twoBanks = twoBanks;
}

bool FlashDifferenceAccumulator::Add(int blockIndex, const uint8_t* flash, const uint8_t* file,
                                     size_t size) {
  if (blockIndex < 0 || blockIndex >= result_.blockCount || blockIndex <= lastBlock_ ||
      size != blockSize_)
    return false;
  lastBlock_ = blockIndex;
  ++result_.comparedBlocks;
  if (std::memcmp(flash, file, size) == 0)
    return true;

  FlashDifference& d = result_;
  const uint64_t base = static_cast<uint64_t>(blockIndex) * size;
  const size_t start = std::mismatch(flash, flash + size, file).first - flash;
  if (d.differingBlocks == 0) {
    d.firstOffset = base + start;
    d.firstBlock = blockIndex;
    d.firstBank = d.twoBanks && blockIndex >= d.blockCount / 2 ? kSecondBankByte : kFirstBankByte;
  }
  ++d.differingBlocks;
  if (!d.ranges.empty() && d.ranges.back().last == blockIndex - 1)
    d.ranges.back().last = blockIndex;
  else if (d.ranges.size() < FlashDifference::kMaxRanges)
    d.ranges.push_back({blockIndex, blockIndex});
  else
    d.moreRanges = true;

  // Eight bytes at a time, the word from `at` zero-padded past the block's end.
  WordCounts counts;
  const auto countWord = [&](size_t at, size_t n) {
    uint64_t f = 0, g = 0;
    std::memcpy(&f, flash + at, n);
    std::memcpy(&g, file + at, n);
    if ((f ^ g) != 0 && counts.Add(f, g))
      counts.EmptyInto(d, base);
  };
  size_t at = start / 8 * 8;
  for (; at + 8 <= size; at += 8) countWord(at, 8);
  if (at < size)
    countWord(at, size - at);
  counts.EmptyInto(d, base);
  return true;
}

FlashDifference FlashDifferenceAccumulator::Result() const {
  FlashDifference d = result_;
  // The non-zero counters, as lane * 16 + bit * 2 + direction; three are enough to know
  // that no fit is possible.
  int found[3];
  int count = 0;
  for (int lane = 0; lane < 2; ++lane)
    for (int bit = 0; bit < 8; ++bit)
      for (int direction = 0; direction < 2; ++direction)
        if (d.bitCounts[lane][bit][direction] != 0 && count < 3)
          found[count++] = lane * 16 + bit * 2 + direction;
  // A counter is non-zero only for a differing byte, and a byte that differed in a second
  // bit or the other way would have made a second counter non-zero.
  const bool oneLane = count == 1;
  const bool bothLanes = count == 2 && found[1] - found[0] == 16;
  if (oneLane || bothLanes) {
    d.fit = oneLane ? DataLineFit::kOneLane : DataLineFit::kBothLanes;
    d.fitLane = oneLane ? static_cast<Lane>(found[0] / 16) : Lane::kEven;
    d.fitBit = found[0] % 16 / 2;
    d.fitDirection = static_cast<Direction>(found[0] % 2);
  }
  return d;
}

std::vector<std::string> FlashDifferenceLines(const FlashDifference& d) {
  std::vector<std::string> lines;
  if (d.differingBytes == 0)
    return lines;

  const auto offset = static_cast<unsigned long long>(d.firstOffset);
  lines.push_back(d.twoBanks
                      ? Printed("First difference at 0x%08llx (block %d, bank %d)", offset,
                                d.firstBlock, d.firstBank)
                      : Printed("First difference at 0x%08llx (block %d)", offset, d.firstBlock));

  std::string blocks =
      Printed("%llu %s in %d %s: ", static_cast<unsigned long long>(d.differingBytes),
              d.differingBytes == 1 ? "byte differs" : "bytes differ", d.differingBlocks,
              d.differingBlocks == 1 ? "block" : "blocks");
  for (size_t i = 0; i < d.ranges.size(); ++i)
    blocks += (i == 0 ? "" : ", ") + RangeText(d.ranges[i]);
  if (d.moreRanges)
    blocks += ", ...";
  lines.push_back(blocks);

  for (const Lane lane : {Lane::kEven, Lane::kOdd}) {
    for (int bit = 0; bit < 8; ++bit) {
      std::string line;
      for (const Direction direction : {Direction::kReadOne, Direction::kReadZero}) {
        const uint64_t n = d.bitCounts[static_cast<int>(lane)][bit][static_cast<int>(direction)];
        if (n != 0)
          line += Printed("%s%llu read %s", line.empty() ? "" : ", ",
                          static_cast<unsigned long long>(n), DirectionWords(direction));
      }
      if (!line.empty())
        lines.push_back(Printed("%s bytes bit %d: ", LaneName(lane), bit) + line);
    }
  }

  // With the bytes it rests on: one weak cell is no stuck data line.
  if (d.fit != DataLineFit::kNone)
    lines.push_back(Printed("every difference is bit %d of %s bytes reading %s (%llu %s)", d.fitBit,
                            d.fit == DataLineFit::kOneLane ? LaneName(d.fitLane) : "even and odd",
                            DirectionWords(d.fitDirection),
                            static_cast<unsigned long long>(d.differingBytes),
                            d.differingBytes == 1 ? "byte" : "bytes"));
  return lines;
}
