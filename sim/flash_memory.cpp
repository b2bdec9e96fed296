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

void FlashMemory::FillBaseline(int bank, size_t offset, uint8_t* out, size_t n, bool erased) const {
  if (erased || contents_ == InitialContents::Erased) {
    std::memset(out, 0xFF, n);
  } else if (contents_ == InitialContents::Zero) {
    std::memset(out, 0x00, n);
  } else {
    const uint64_t base = DumpOffset(bank, offset);
    for (size_t i = 0; i < n; ++i) out[i] = PatternByte(base + i);
  }
}

uint8_t* FlashMemory::Chunk(int bank, size_t index) {
  auto& chunk = banks_[bank].chunks[index];
  if (!chunk) {
    chunk = std::make_unique<uint8_t[]>(kChunkSize);
    FillBaseline(bank, index * kChunkSize, chunk.get(), kChunkSize);
  }
  return chunk.get();
}

void FlashMemory::Read(int bank, size_t offset, uint8_t* out, size_t n) const {
  if (bank < 0 || bank >= BankCount() || offset >= bankSize_) {
    std::memset(out, 0xFF, n);
    return;
  }
  const size_t inside = std::min(n, bankSize_ - offset);
  std::memset(out + inside, 0xFF, n - inside);  // beyond the bank: nothing answers
  for (size_t done = 0; done < inside;) {
    const size_t at = offset + done;
    const size_t inChunk = at % kChunkSize;
    const size_t step = std::min(inside - done, kChunkSize - inChunk);
    if (const auto& chunk = banks_[bank].chunks[at / kChunkSize])
      std::memcpy(out + done, chunk.get() + inChunk, step);
    else
      FillBaseline(bank, at, out + done, step);
    done += step;
  }
}

void FlashMemory::Program(int bank, size_t offset, const uint8_t* data, size_t n) {
  if (bank < 0 || bank >= BankCount() || offset >= bankSize_)
    return;
  n = std::min(n, bankSize_ - offset);
  for (size_t done = 0; done < n;) {
    const size_t at = offset + done;
    const size_t inChunk = at % kChunkSize;
    const size_t step = std::min(n - done, kChunkSize - inChunk);
    uint8_t* cells = Chunk(bank, at / kChunkSize) + inChunk;
    for (size_t i = 0; i < step; ++i)
      cells[i] &= data[done + i];  // NOR cells: programming only clears bits
    done += step;
  }
}

void FlashMemory::EraseBank(int bank) {
  if (bank < 0 || bank >= BankCount())
    return;
  Bank& b = banks_[bank];
  const size_t chunks = b.chunks.size();
  b.before = std::move(b.chunks);
  b.erasedBefore = b.erased;
  b.chunks.clear();
  b.chunks.resize(chunks);
  b.erased = true;
}

void FlashMemory::RestoreBeforeErase(int bank, size_t offset) {
  if (bank < 0 || bank >= BankCount() || banks_[bank].before.empty())
    return;
  Bank& b = banks_[bank];
  for (size_t i = offset / kChunkSize; i < b.chunks.size(); ++i) {
    b.chunks[i] = std::move(b.before[i]);
    if (!b.chunks[i] && !b.erasedBefore) {
      // Untouched before the erase: the initial contents, which the blank bank lacks.
      b.chunks[i] = std::make_unique<uint8_t[]>(kChunkSize);
      FillBaseline(bank, i * kChunkSize, b.chunks[i].get(), kChunkSize, false);
    }
  }
  ForgetBeforeErase(bank);
}

void FlashMemory::ForgetBeforeErase(int bank) {
  if (bank >= 0 && bank < BankCount())
    std::vector<std::unique_ptr<uint8_t[]>>().swap(banks_[bank].before);
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
