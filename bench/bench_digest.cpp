// Throughput of the three digests over the 32768-byte blocks the read job feeds them.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "digest/agi_crc.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "digest/sha1_blocks.h"

namespace {

constexpr size_t kBlockSize = 32768;

std::vector<uint8_t> RandomBlock() {
  std::vector<uint8_t> block(kBlockSize);
  std::mt19937 generator(20240601);
  for (auto& byte : block) byte = static_cast<uint8_t>(generator());
  return block;
}

void BM_MD5(benchmark::State& state) {
  const auto block = RandomBlock();
  MD5Context ctx;
  MD5Init(ctx);
  for (auto _ : state) {
    MD5Update(ctx, block.data(), block.size());
    benchmark::DoNotOptimize(ctx.state);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockSize));
}
BENCHMARK(BM_MD5);

void BM_SHA1(benchmark::State& state) {
  const auto block = RandomBlock();
  SHA1Context ctx;
  SHA1Init(ctx);
  for (auto _ : state) {
    SHA1Update(ctx, block.data(), block.size());
    benchmark::DoNotOptimize(ctx.state);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockSize));
}
BENCHMARK(BM_SHA1);

// The fallback used on processors without the SHA extensions.
void BM_SHA1_Portable(benchmark::State& state) {
  const auto block = RandomBlock();
  uint32_t chain[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
  for (auto _ : state) {
    Sha1BlocksPortable(chain, block.data(), kBlockSize / 64);
    benchmark::DoNotOptimize(chain);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockSize));
}
BENCHMARK(BM_SHA1_Portable);

void BM_AgiCrc(benchmark::State& state) {
  const auto block = RandomBlock();
  auto crc = std::make_unique<AgiCrcState>();
  AgiCrcInit(*crc);
  for (auto _ : state) {
    AgiCrcUpdate(*crc, block.data(), block.size());
    benchmark::DoNotOptimize(crc->reg);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockSize));
}
BENCHMARK(BM_AgiCrc);

// The read job's pass: MD5, SHA-1 and the AGI CRC over the same block.
void BM_AllThree(benchmark::State& state) {
  const auto block = RandomBlock();
  MD5Context md5;
  SHA1Context sha1;
  auto crc = std::make_unique<AgiCrcState>();
  MD5Init(md5);
  AgiCrcInit(*crc);
  SHA1Init(sha1);
  for (auto _ : state) {
    MD5Update(md5, block.data(), block.size());
    SHA1Update(sha1, block.data(), block.size());
    AgiCrcUpdate(*crc, block.data(), block.size());
    benchmark::DoNotOptimize(md5.state);
    benchmark::DoNotOptimize(sha1.state);
    benchmark::DoNotOptimize(crc->reg);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockSize));
}
BENCHMARK(BM_AllThree);

}  // namespace

BENCHMARK_MAIN();
