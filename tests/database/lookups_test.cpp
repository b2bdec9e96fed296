// FindModule, FindChip, FindVendor and FindDumpHash: first match in file order, and a
// miss that leaves the caller's record alone.
#include "database/lookups.h"

#include <gtest/gtest.h>

#include <string>

namespace {

ChipRecord Chip(std::array<uint8_t, 4> id, uint8_t length, const std::string& name,
                uint8_t width = 16, uint8_t mode = 0) {
  ChipRecord chip;
  chip.chipId = id;
  chip.idLength = length;
  chip.chipName = name;
  chip.busWidth = width;
  chip.writeMode = mode;
  return chip;
}

ChipRecord ReadChip(std::array<uint8_t, 4> id) {
  ChipRecord chip;
  chip.chipId = id;
  chip.chipName = "before";
  chip.busWidth = 77;
  chip.writeMode = 9;
  return chip;
}

TEST(FindModule, FirstRecordWithTheTypeByteWins) {
  FlashDatabase db;
  db.modules = {{0x03, 16, 0}, {0x05, 32, 1}, {0x05, 64, 0}};
  ModuleRecord module{0x05, 0, 0};
  EXPECT_TRUE(FindModule(db, module));
  EXPECT_EQ(module.moduleId, 0x05);
  EXPECT_EQ(module.sizeMB, 32);
  EXPECT_EQ(module.dualBank, 1);
}

TEST(FindModule, MissLeavesTheRecordUntouched) {
  FlashDatabase db;
  for (uint8_t id : {0x00, 0x03, 0x7F, 0xFF}) {
    ModuleRecord module{id, 99, 7};
    EXPECT_FALSE(FindModule(db, module)) << int(id);  // empty sequence
    EXPECT_EQ(module.sizeMB, 99);
    EXPECT_EQ(module.dualBank, 7);
  }
  db.modules = {{0x03, 16, 0}};
  ModuleRecord module{0x04, 99, 7};
  EXPECT_FALSE(FindModule(db, module));
  EXPECT_EQ(module.moduleId, 0x04);
  EXPECT_EQ(module.sizeMB, 99);
  EXPECT_EQ(module.dualBank, 7);
}

TEST(FindChip, ShorterIdStandingFirstShadowsALongerOne) {
  FlashDatabase db;
  db.chips = {Chip({0xC2, 0xA5, 0, 0}, 2, "two", 8, 0),
              Chip({0xC2, 0xA5, 0x10, 0x00}, 4, "four", 16, 1)};
  ChipRecord chip = ReadChip({0xC2, 0xA5, 0x10, 0x00});
  EXPECT_TRUE(FindChip(db, chip));
  EXPECT_EQ(chip.chipName, "two");
  EXPECT_EQ(chip.busWidth, 8);
  EXPECT_EQ(chip.writeMode, 0);
  EXPECT_EQ(chip.chipId, (std::array<uint8_t, 4>{0xC2, 0xA5, 0x10, 0x00}));
}

TEST(FindChip, LongerIdStandingFirstIsFoundAndTheShorterCatchesTheRest) {
  FlashDatabase db;
  db.chips = {Chip({0xC2, 0xA5, 0x10, 0x00}, 4, "four", 16, 1),
              Chip({0xC2, 0xA5, 0, 0}, 2, "two", 8, 2)};
  struct {
    std::array<uint8_t, 4> id;
    const char* name;
  } cases[] = {
      {{0xC2, 0xA5, 0x10, 0x00}, "four"},
      {{0xC2, 0xA5, 0x33, 0x00}, "two"},
      {{0xC2, 0xA5, 0x10, 0x01}, "two"},  // the fourth byte counts for the long record
      {{0xC2, 0xA5, 0xFF, 0xFF}, "two"},
  };
  for (const auto& c : cases) {
    ChipRecord chip = ReadChip(c.id);
    EXPECT_TRUE(FindChip(db, chip));
    EXPECT_EQ(chip.chipName, c.name);
  }
}

TEST(FindChip, ThreeByteIdIgnoresTheFourthByte) {
  FlashDatabase db;
  db.chips = {Chip({0x01, 0x7E, 0x22, 0x55}, 3, "three")};
  ChipRecord chip = ReadChip({0x01, 0x7E, 0x22, 0x01});
  EXPECT_TRUE(FindChip(db, chip));
  EXPECT_EQ(chip.chipName, "three");
  ChipRecord other = ReadChip({0x01, 0x7E, 0x23, 0x01});
  EXPECT_FALSE(FindChip(db, other));
}

TEST(FindChip, SameIdTwiceFindsTheFirst) {
  FlashDatabase db;
  db.chips = {Chip({0xC2, 0xA5, 0, 0}, 2, "first"), Chip({0xC2, 0xA5, 0, 0}, 2, "second")};
  ChipRecord chip = ReadChip({0xC2, 0xA5, 0, 0});
  EXPECT_TRUE(FindChip(db, chip));
  EXPECT_EQ(chip.chipName, "first");
}

TEST(FindChip, MissLeavesTheRecordUntouched) {
  FlashDatabase db;
  db.chips = {Chip({0xC2, 0xA5, 0, 0}, 2, "two")};
  for (std::array<uint8_t, 4> id :
       {std::array<uint8_t, 4>{0xC2, 0xA4, 0, 0}, std::array<uint8_t, 4>{0xA5, 0xC2, 0, 0},
        std::array<uint8_t, 4>{0xFF, 0xFF, 0xFF, 0xFF}}) {
    ChipRecord chip = ReadChip(id);
    EXPECT_FALSE(FindChip(db, chip));
    EXPECT_EQ(chip.chipId, id);
    EXPECT_EQ(chip.chipName, "before");
    EXPECT_EQ(chip.busWidth, 77);
    EXPECT_EQ(chip.writeMode, 9);
  }
}

TEST(FindVendor, FirstOfTwoWithTheSameCodeWins) {
  FlashDatabase db;
  db.vendors = {{0x01, "AMD"}, {0xC2, "Macronix"}, {0x01, "Spansion"}};
  std::string name = "before";
  EXPECT_TRUE(FindVendor(db, 0x01, name));
  EXPECT_EQ(name, "AMD");
  EXPECT_TRUE(FindVendor(db, 0xC2, name));
  EXPECT_EQ(name, "Macronix");
  name = "before";
  EXPECT_FALSE(FindVendor(db, 0x89, name));
  EXPECT_EQ(name, "before");
}

// Digest texts: the letter says which dump, the length is the digest's.
DumpHashRecord Dump(const std::string& description, char md5, char sha1, char crc) {
  return {description, std::string(32, md5), std::string(40, sha1), std::string(8, crc)};
}

DumpDigests Read(char md5, char sha1, char crc) {
  return {"untouched", std::string(32, md5), std::string(40, sha1), std::string(8, crc)};
}

HashSettings Settings(HashMode md5, HashMode sha1, HashMode crc) {
  return {md5, sha1, crc};
}

constexpr HashMode N = HashMode::NotChecked;
constexpr HashMode C = HashMode::Checked;
constexpr HashMode M = HashMode::Main;

struct DumpCase {
  const char* what;
  HashSettings settings;
  DumpDigests read;
  bool found;
  uint8_t flags;
  const char* description;
};

TEST(FindDumpHash, MatchesTheMainDigestAndComparesTheCheckedOnes) {
  FlashDatabase db;
  db.dumpHashes = {Dump("one", '1', 'a', 'x'), Dump("two", '2', 'b', 'y'),
                   Dump("two again", '2', 'c', 'z'), Dump("three", '3', 'c', 'w')};
  const DumpCase cases[] = {
      {"MD5 main, all agree", Settings(M, C, C), Read('1', 'a', 'x'), true, 0x87, "one"},
      {"MD5 main, SHA1 differs", Settings(M, C, C), Read('1', 'b', 'x'), true, 0x85, "one"},
      {"MD5 main, CRC differs", Settings(M, C, C), Read('1', 'a', 'q'), true, 0x83, "one"},
      {"MD5 main, both differ", Settings(M, C, C), Read('1', 'q', 'q'), true, 0x81, "one"},
      {"MD5 main, unchecked differ", Settings(M, N, N), Read('1', 'q', 'q'), true, 0x87, "one"},
      // First of two MD5 matches wins even though the second's SHA-1 agrees.
      {"first of two", Settings(M, C, N), Read('2', 'c', 'z'), true, 0x85, "two"},
      {"SHA1 main, others unchecked", Settings(N, M, N), Read('q', 'c', 'q'), true, 0x87,
       "two again"},
      {"SHA1 main, MD5 differs", Settings(C, M, C), Read('q', 'c', 'z'), true, 0x86, "two again"},
      {"CRC main", Settings(C, C, M), Read('3', 'c', 'w'), true, 0x87, "three"},
      {"CRC main, SHA1 and MD5 differ", Settings(C, C, M), Read('q', 'q', 'y'), true, 0x84, "two"},
      {"not found", Settings(M, C, C), Read('9', 'a', 'x'), false, 0, "untouched"},
      {"SHA1 main, not found", Settings(C, M, C), Read('1', 'q', 'x'), false, 0, "untouched"},
  };
  for (const DumpCase& c : cases) {
    SCOPED_TRACE(c.what);
    DumpDigests digests = c.read;
    uint8_t flags = 0x55;
    EXPECT_EQ(FindDumpHash(db, digests, c.settings, flags), c.found);
    EXPECT_EQ(flags, c.flags);
    EXPECT_EQ(digests.description, c.description);
    // The digest texts of the dump are never changed.
    EXPECT_EQ(digests.md5Text, c.read.md5Text);
    EXPECT_EQ(digests.sha1Text, c.read.sha1Text);
    EXPECT_EQ(digests.crcText, c.read.crcText);
  }
}

TEST(FindDumpHash, ComparesWholeTextsCaseSensitively) {
  FlashDatabase db;
  db.dumpHashes = {{"d", std::string(32, 'a'), std::string(40, 'b'), "0000000a"}};
  const HashSettings crcMain = Settings(N, N, M);
  for (const char* text : {"0000000A", "0000000", "0000000a0", ""}) {
    DumpDigests digests = {"untouched", "", "", text};
    uint8_t flags = 0xFF;
    EXPECT_FALSE(FindDumpHash(db, digests, crcMain, flags)) << text;
    EXPECT_EQ(flags, 0);
    EXPECT_EQ(digests.description, "untouched");
  }
  DumpDigests digests = {"", "", "", "0000000a"};
  uint8_t flags = 0;
  EXPECT_TRUE(FindDumpHash(db, digests, crcMain, flags));
  EXPECT_EQ(flags, 0x87);
}

TEST(FindDumpHash, EmptyDatabaseFindsNothing) {
  FlashDatabase db;
  DumpDigests digests = Read('1', 'a', 'x');
  uint8_t flags = 0xFF;
  EXPECT_FALSE(FindDumpHash(db, digests, Settings(M, C, C), flags));
  EXPECT_EQ(flags, 0);
  EXPECT_EQ(digests.description, "untouched");
}

}  // namespace
