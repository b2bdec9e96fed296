// The flash of a simulated module: one or two banks, stored in 32 KiB chunks that are
// allocated only when first written, so an untouched 64 MiB module costs almost nothing.
// Programming is NOR-like (bits only go from 1 to 0); only an erase brings back 0xFF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/device_config.h"

namespace sim {

// The "pattern" image: byte at dump offset o (bank 1 first, then bank 0).
uint8_t PatternByte(uint64_t offset);

class FlashMemory {
 public:
  static constexpr size_t kChunkSize = 0x8000;

  // bankCount 1 or 2; the banks share totalBytes equally.
  FlashMemory(size_t totalBytes, int bankCount, InitialContents contents);

  size_t Size() const { return bankSize_ * banks_.size(); }
  size_t BankSize() const { return bankSize_; }
  int BankCount() const { return static_cast<int>(banks_.size()); }
  size_t AllocatedChunks() const;

  // Bank access (bank 0 = the first bank). Bytes beyond the bank read as 0xFF and are
  // not programmed.
  void Read(int bank, size_t offset, uint8_t* out, size_t n) const;
  void Program(int bank, size_t offset, const uint8_t* data, size_t n);  // old AND new
  // Blanks the bank. What it held is kept aside until ForgetBeforeErase (or the next
  // erase), so that an erase cut short can be undone in part.
  void EraseBank(int bank);
  // The bank from `offset` (a multiple of kChunkSize) to its end holds again what it held
  // before its last erase; the kept contents are then let go.
  void RestoreBeforeErase(int bank, size_t offset);
  void ForgetBeforeErase(int bank);

  // Whole-module access in dump order: the first bank, then the second.
  void ReadImage(size_t offset, uint8_t* out, size_t n) const;
  std::vector<uint8_t> Image() const;
  // Replaces (not programs) the contents from dump offset 0; bytes beyond the module are
  // ignored.
  void LoadImage(const uint8_t* data, size_t n);
  // A file shorter than the module fills its start. False when it cannot be read.
  bool LoadImageFile(const std::string& path);
  bool SaveImageFile(const std::string& path) const;

 private:
  struct Bank {
    std::vector<std::unique_ptr<uint8_t[]>> chunks;
    bool erased = false;  // untouched chunks read 0xFF rather than the initial contents
    // The chunks and `erased` before the last erase (EraseBank); empty when let go.
    std::vector<std::unique_ptr<uint8_t[]>> before;
    bool erasedBefore = false;
  };

  void Store(size_t dumpOffset, const uint8_t* data, size_t n);  // replaces, no AND
  // What untouched bytes of a bank hold: the initial contents, or 0xFF after an erase.
  void FillBaseline(int bank, size_t offset, uint8_t* out, size_t n) const {
    FillBaseline(bank, offset, out, n, banks_[bank].erased);
  }
  void FillBaseline(int bank, size_t offset, uint8_t* out, size_t n, bool erased) const;
  uint8_t* Chunk(int bank, size_t index);  // allocates and fills it with the baseline
  size_t DumpOffset(int bank, size_t offset) const { return bank * bankSize_ + offset; }

  size_t bankSize_;
  InitialContents contents_;
  std::vector<Bank> banks_;
};

}  // namespace sim
