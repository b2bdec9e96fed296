#include "digest/sha1.h"

#include <algorithm>
#include <cstring>

#include "digest/block_feed.h"
#include "digest/hex_text.h"
#include "digest/sha1_blocks.h"

namespace {

using BlockFunction = void (*)(uint32_t*, const uint8_t*, size_t);

void ProcessBlocks(uint32_t state[5], const uint8_t* data, size_t blocks) {
  // Chosen once; the processor does not change under a running process.
  static const BlockFunction run = Sha1ShaNiAvailable() ? Sha1BlocksShaNi : Sha1BlocksPortable;
  run(state, data, blocks);
}

void StoreBe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

}  // namespace

void SHA1Init(SHA1Context& ctx) {
  ctx.state[0] = 0x67452301;
  ctx.state[1] = 0xefcdab89;
  ctx.state[2] = 0x98badcfe;
  ctx.state[3] = 0x10325476;
  ctx.state[4] = 0xc3d2e1f0;
  ctx.bitCount = 0;
  ctx.bufferCount = 0;
}

void SHA1Update(SHA1Context& ctx, const uint8_t* data, size_t length) {
  if (length == 0)
    return;  // data may be null then
  ctx.bitCount += static_cast<uint64_t>(length) * 8;

  FeedBlocks(
      ctx.buffer, ctx.bufferCount, data, length,
      [&ctx](const uint8_t* blocks, size_t count) { ProcessBlocks(ctx.state, blocks, count); });
}

SHA1Digest SHA1Final(SHA1Context& ctx) {
  // 0x80, zeros up to 56 modulo 64, then the bit length most significant byte first.
  // After whole blocks this is one block of pure padding.
  uint8_t tail[128] = {};
  std::memcpy(tail, ctx.buffer, ctx.bufferCount);
  tail[ctx.bufferCount] = 0x80;
  const size_t tailLength = ctx.bufferCount < 56 ? 64 : 128;
  StoreBe32(tail + tailLength - 8, static_cast<uint32_t>(ctx.bitCount >> 32));
  StoreBe32(tail + tailLength - 4, static_cast<uint32_t>(ctx.bitCount));
  ProcessBlocks(ctx.state, tail, tailLength / 64);
  ctx.bufferCount = 0;

  SHA1Digest digest;
  for (int i = 0; i < 5; ++i) StoreBe32(digest.data() + 4 * i, ctx.state[i]);
  return digest;
}

std::string SHA1Hex(const SHA1Digest& digest) {
  return LowerHexText(digest.data(), digest.size());
}
