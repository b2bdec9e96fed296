#include "sim/flash_memory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

constexpr size_t kMiB = size_t{1} << 20;
constexpr size_t kChunk = sim::FlashMemory::kChunkSize;

TEST(PatternByte, FollowsItsFormulaOverTheWholeModule) {
  struct Case {
    uint64_t offset;
    uint8_t byte;
  };
  // ((o * 31) ^ (o >> 8) ^ (o >> 17)) & 0xFF worked out by hand.
  for (const Case c : {Case{0, 0x00}, Case{1, 0x1F}, Case{2, 0x3E}, Case{0x100, 0x01},
                       Case{0x20000, 0x01}, Case{0x3FFFFFF, 0xE1}}) {
    EXPECT_EQ(sim::PatternByte(c.offset), c.byte) << c.offset;
  }
}

TEST(FlashMemory, UntouchedModuleAllocatesNothing) {
  sim::FlashMemory flash(64 * kMiB, 2, sim::InitialContents::Pattern);
  EXPECT_EQ(flash.Size(), 64 * kMiB);
  EXPECT_EQ(flash.BankSize(), 32 * kMiB);
  EXPECT_EQ(flash.AllocatedChunks(), 0u);
  std::vector<uint8_t> out(3 * kChunk);
  flash.Read(1, 5 * kMiB, out.data(), out.size());
  flash.ReadImage(60 * kMiB, out.data(), out.size());
  EXPECT_EQ(flash.AllocatedChunks(), 0u);  // reading never allocates
  const uint8_t one = 0x0F;
  flash.Program(1, 7 * kChunk + 3, &one, 1);
  EXPECT_EQ(flash.AllocatedChunks(), 1u);
}

TEST(FlashMemory, InitialContents) {
  struct Case {
    sim::InitialContents contents;
    uint8_t at0, at1;
  };
  for (const Case c : {Case{sim::InitialContents::Erased, 0xFF, 0xFF},
                       Case{sim::InitialContents::Zero, 0x00, 0x00},
                       Case{sim::InitialContents::Pattern, 0x00, 0x1F}}) {
    sim::FlashMemory flash(16 * kMiB, 1, c.contents);
    uint8_t out[2];
    flash.Read(0, 0, out, 2);
    EXPECT_EQ(out[0], c.at0);
    EXPECT_EQ(out[1], c.at1);
  }
}

TEST(FlashMemory, PatternRunsInDumpOrderAcrossBanks) {
  sim::FlashMemory flash(32 * kMiB, 2, sim::InitialContents::Pattern);
  std::vector<uint8_t> first(64), second(64);
  flash.Read(0, 100, first.data(), first.size());
  flash.Read(1, 100, second.data(), second.size());
  for (size_t i = 0; i < 64; ++i) {
    EXPECT_EQ(first[i], sim::PatternByte(100 + i));
    EXPECT_EQ(second[i], sim::PatternByte(16 * kMiB + 100 + i));
  }
  // Whole-image reads cross the bank border seamlessly.
  std::vector<uint8_t> border(8);
  flash.ReadImage(16 * kMiB - 4, border.data(), border.size());
  for (size_t i = 0; i < border.size(); ++i)
    EXPECT_EQ(border[i], sim::PatternByte(16 * kMiB - 4 + i));
}

TEST(FlashMemory, ProgrammingOnlyClearsBits) {
  sim::FlashMemory flash(16 * kMiB, 1, sim::InitialContents::Erased);
  const uint8_t first[] = {0xF0, 0xAA, 0xFF, 0x00};
  const uint8_t second[] = {0x3C, 0x55, 0x12, 0xFF};
  flash.Program(0, kChunk - 2, first, 4);  // across a chunk border
  flash.Program(0, kChunk - 2, second, 4);
  uint8_t out[4];
  flash.Read(0, kChunk - 2, out, 4);
  EXPECT_EQ(out[0], 0x30);
  EXPECT_EQ(out[1], 0x00);
  EXPECT_EQ(out[2], 0x12);
  EXPECT_EQ(out[3], 0x00);
  // Programming over the pattern ANDs with the pattern.
  sim::FlashMemory patterned(16 * kMiB, 1, sim::InitialContents::Pattern);
  const uint8_t f0 = 0xF0;
  patterned.Program(0, 1, &f0, 1);
  patterned.Read(0, 1, out, 1);
  EXPECT_EQ(out[0], 0x1F & 0xF0);
}

TEST(FlashMemory, EraseRestoresFfInOneBankOnly) {
  sim::FlashMemory flash(32 * kMiB, 2, sim::InitialContents::Zero);
  const uint8_t zero = 0;
  flash.Program(0, 0, &zero, 1);
  flash.EraseBank(0);
  EXPECT_EQ(flash.AllocatedChunks(), 0u);
  uint8_t out[2];
  flash.Read(0, 0, out, 1);
  flash.Read(0, 16 * kMiB - 1, out + 1, 1);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0xFF);
  flash.Read(1, 0, out, 1);
  EXPECT_EQ(out[0], 0x00);
  // Programmed after the erase: bits clear again.
  const uint8_t value = 0x5A;
  flash.Program(0, 10, &value, 1);
  flash.Read(0, 10, out, 1);
  EXPECT_EQ(out[0], 0x5A);
}

TEST(FlashMemory, OutsideTheBanksReadsFfAndIgnoresWrites) {
  sim::FlashMemory flash(16 * kMiB, 1, sim::InitialContents::Zero);
  uint8_t out[4];
  flash.Read(0, 16 * kMiB - 2, out, 4);
  EXPECT_EQ(out[0], 0x00);
  EXPECT_EQ(out[1], 0x00);
  EXPECT_EQ(out[2], 0xFF);
  EXPECT_EQ(out[3], 0xFF);
  flash.Read(1, 0, out, 1);  // a one-bank module has no second bank
  EXPECT_EQ(out[0], 0xFF);
  const uint8_t bytes[4] = {};
  flash.Program(1, 0, bytes, 4);
  flash.Program(0, 16 * kMiB - 1, bytes, 4);
  flash.Program(-1, 0, bytes, 4);
  EXPECT_EQ(flash.AllocatedChunks(), 1u);
}

TEST(FlashMemory, ImageLoadsReplaceAndSaveInDumpOrder) {
  TempDir dir;
  sim::FlashMemory flash(32 * kMiB, 2, sim::InitialContents::Zero);
  std::vector<uint8_t> start(3 * kChunk + 5);
  for (size_t i = 0; i < start.size(); ++i) start[i] = static_cast<uint8_t>(i * 13 + 1);
  WriteFileBytes(dir.File("short.bin"), start);
  ASSERT_TRUE(flash.LoadImageFile(dir.File("short.bin")));
  // Loading replaces: bytes go up as well as down.
  std::vector<uint8_t> out(start.size() + 1);
  flash.ReadImage(0, out.data(), out.size());
  EXPECT_TRUE(std::equal(start.begin(), start.end(), out.begin()));
  EXPECT_EQ(out.back(), 0x00);  // the rest keeps its contents

  ASSERT_TRUE(flash.SaveImageFile(dir.File("all.bin")));
  const std::vector<uint8_t> saved = ReadFileBytes(dir.File("all.bin"));
  EXPECT_EQ(saved, flash.Image());
  EXPECT_EQ(saved.size(), 32 * kMiB);

  sim::FlashMemory copy(32 * kMiB, 2, sim::InitialContents::Erased);
  ASSERT_TRUE(copy.LoadImageFile(dir.File("all.bin")));
  EXPECT_EQ(copy.Image(), saved);
  EXPECT_FALSE(copy.LoadImageFile(dir.File("missing.bin")));
  EXPECT_FALSE(copy.SaveImageFile(dir.File("no/such/folder/x.bin")));
}

TEST(FlashMemory, LoadImageFromBufferIgnoresBytesBeyondTheModule) {
  sim::FlashMemory flash(16 * kMiB, 1, sim::InitialContents::Erased);
  std::vector<uint8_t> big(16 * kMiB + 100, 0x42);
  flash.LoadImage(big.data(), big.size());
  EXPECT_EQ(flash.Image(), std::vector<uint8_t>(16 * kMiB, 0x42));
}

}  // namespace
