// The check's comparison of flash and file per 32768-byte block: a matching block must cost
// what memcmp costs. Differing blocks: one bit of every 16-bit word (a stuck data line of a
// 16-bit chip, the worst realistic case), one byte per block, and an unrelated file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "flash/flash_difference.h"

namespace {

constexpr size_t kBlockSize = 32768;
constexpr int kBlocks = 2048;  // a 64 MiB two-bank module

std::vector<uint8_t> RandomBlock(uint32_t seed) {
  std::vector<uint8_t> block(kBlockSize);
  std::mt19937 generator(seed);
  for (auto& byte : block) byte = static_cast<uint8_t>(generator());
  return block;
}

// A file block and what the flash reads there.
struct Pair {
  std::vector<uint8_t> file = RandomBlock(20240601);
  std::vector<uint8_t> flash = file;
};

void Throughput(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockSize));
}

void BM_Memcmp_Equal(benchmark::State& state) {
  const Pair p;
  for (auto _ : state) {
    benchmark::ClobberMemory();
    benchmark::DoNotOptimize(std::memcmp(p.flash.data(), p.file.data(), kBlockSize));
  }
  Throughput(state);
}
BENCHMARK(BM_Memcmp_Equal);

// Feeds the same pair as block after block of a module, starting over after its last.
void RunAccumulator(benchmark::State& state, const Pair& p) {
  FlashDifferenceAccumulator accumulator(kBlocks, true);
  int index = 0;
  for (auto _ : state) {
    if (index == kBlocks) {
      accumulator = FlashDifferenceAccumulator(kBlocks, true);
      index = 0;
    }
    benchmark::ClobberMemory();
    benchmark::DoNotOptimize(accumulator.Add(index++, p.flash.data(), p.file.data(), kBlockSize));
  }
  benchmark::DoNotOptimize(accumulator.Result());
  Throughput(state);
}

void BM_Accumulator_Equal(benchmark::State& state) {
  RunAccumulator(state, Pair{});
}
BENCHMARK(BM_Accumulator_Equal);

void BM_Accumulator_OneBitPerWord(benchmark::State& state) {
  Pair p;
  for (size_t i = 1; i < kBlockSize; i += 2) p.flash[i] ^= 0x08;
  RunAccumulator(state, p);
}
BENCHMARK(BM_Accumulator_OneBitPerWord);

void BM_Accumulator_OneBytePerBlock(benchmark::State& state) {
  Pair p;
  p.flash[kBlockSize / 2] ^= 0x08;
  RunAccumulator(state, p);
}
BENCHMARK(BM_Accumulator_OneBytePerBlock);

// Every byte differs in about four bits: the wrong file, or a block never written.
void BM_Accumulator_UnrelatedFile(benchmark::State& state) {
  Pair p;
  p.flash = RandomBlock(7);
  RunAccumulator(state, p);
}
BENCHMARK(BM_Accumulator_UnrelatedFile);

}  // namespace

BENCHMARK_MAIN();
