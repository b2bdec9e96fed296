#include "sim/flash_memory.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace sim {

uint8_t PatternByte(uint64_t o) {
  return static_cast<uint8_t>((o * 31) ^ (o >> 8) ^ (o >> 17));
}

FlashMemory::FlashMemory(size_t totalBytes, int bankCount, InitialContents contents)
    : bankSize_(totalBytes / static_cast<size_t>(bankCount < 2 ? 1 : 2)),
      contents_(contents),
      banks_(bankCount < 2 ? 1 : 2) {
  for (Bank& bank : banks_) bank.chunks.resize((bankSize_ + kChunkSize - 1) / kChunkSize);
}

size_t FlashMemory::AllocatedChunks() const {
  size_t count = 0;
  for (const Bank& bank : banks_)
    count += static_cast<size_t>(
        std::count_if(bank.chunks.begin(), bank.chunks.end(), [](const auto& c) { return !!c; }));
  return count;
}

uint8_t FlashMemory::Baseline(int bank, size_t offset) const {
  if (banks_[bank].erased)
    return 0xFF;
  switch (contents_) {
    case InitialContents::Erased:
      return 0xFF;
    case InitialContents::Zero:
      return 0x00;
    case InitialContents::Pattern:
      break;
  }
  return PatternByte(DumpOffset(bank, offset));
}

uint8_t* FlashMemory::Chunk(int bank, size_t index) {
  auto& chunk = banks_[bank].chunks[index];
  if (!chunk) {
    chunk = std::make_unique<uint8_t[]>(kChunkSize);
    const size_t base = index * kChunkSize;
    for (size_t i = 0; i < kChunkSize; ++i) chunk[i] = Baseline(bank, base + i);
  }
  return chunk.get();
}

void FlashMemory::Read(int bank, size_t offset, uint8_t* out, size_t n) const {
  for (size_t i = 0; i < n; ++i) {
    const size_t at = offset + i;
    if (bank < 0 || bank >= BankCount() || at >= bankSize_) {
      out[i] = 0xFF;
      continue;
    }
    const auto& chunk = banks_[bank].chunks[at / kChunkSize];
    out[i] = chunk ? chunk[at % kChunkSize] : Baseline(bank, at);
  }
}

void FlashMemory::Program(int bank, size_t offset, const uint8_t* data, size_t n) {
  if (bank < 0 || bank >= BankCount())
    return;
  for (size_t i = 0; i < n && offset + i < bankSize_; ++i) {
    const size_t at = offset + i;
    Chunk(bank, at / kChunkSize)[at % kChunkSize] &= data[i];
  }
}

void FlashMemory::EraseBank(int bank) {
  if (bank < 0 || bank >= BankCount())
    return;
  for (auto& chunk : banks_[bank].chunks) chunk.reset();
  banks_[bank].erased = true;
}

void FlashMemory::ReadImage(size_t offset, uint8_t* out, size_t n) const {
  for (size_t done = 0; done < n;) {
    const size_t at = offset + done;
    const int bank = static_cast<int>(std::min(at / bankSize_, banks_.size()));
    const size_t inBank = at - static_cast<size_t>(bank) * bankSize_;
    const size_t step = bank < BankCount() ? std::min(n - done, bankSize_ - inBank) : n - done;
    Read(bank, inBank, out + done, step);
    done += step;
  }
}

std::vector<uint8_t> FlashMemory::Image() const {
  std::vector<uint8_t> image(Size());
  ReadImage(0, image.data(), image.size());
  return image;
}

void FlashMemory::LoadImage(const uint8_t* data, size_t n) {
  Store(0, data, n);
}

void FlashMemory::Store(size_t offset, const uint8_t* data, size_t n) {
  for (size_t done = 0; done < n && offset + done < Size();) {
    const size_t at = offset + done;
    const int bank = static_cast<int>(at / bankSize_);
    const size_t inBank = at % bankSize_;
    const size_t inChunk = inBank % kChunkSize;
    const size_t step = std::min({n - done, kChunkSize - inChunk, bankSize_ - inBank});
    std::memcpy(Chunk(bank, inBank / kChunkSize) + inChunk, data + done, step);
    done += step;
  }
}

bool FlashMemory::LoadImageFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return false;
  std::vector<uint8_t> buffer(kChunkSize);
  bool ok = true;
  for (size_t at = 0; at < Size(); at += kChunkSize) {
    const size_t got = std::fread(buffer.data(), 1, kChunkSize, file);
    Store(at, buffer.data(), got);
    if (got < kChunkSize) {
      ok = !std::ferror(file);
      break;
    }
  }
  std::fclose(file);
  return ok;
}

bool FlashMemory::SaveImageFile(const std::string& path) const {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr)
    return false;
  std::vector<uint8_t> buffer(kChunkSize);
  bool ok = true;
  for (size_t at = 0; at < Size() && ok; at += kChunkSize) {
    const size_t step = std::min(kChunkSize, Size() - at);
    ReadImage(at, buffer.data(), step);
    ok = std::fwrite(buffer.data(), 1, step, file) == step;
  }
  return std::fclose(file) == 0 && ok;
}

}  // namespace sim
