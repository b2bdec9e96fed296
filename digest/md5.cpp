#include "digest/md5.h"

#include <algorithm>
#include <cstring>

#include "digest/block_feed.h"
#include "digest/hex_text.h"

namespace {

[[gnu::always_inline]] inline uint32_t Rotl(uint32_t x, int s) {
  return (x << s) | (x >> (32 - s));
}

// Byte assembly rather than a cast: no alignment or endianness assumption, and the
// compilers turn it into a single load on little-endian machines.
[[gnu::always_inline]] inline uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void StoreLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// The four auxiliary functions in forms with short dependency chains.
struct F {
  static uint32_t Mix(uint32_t b, uint32_t c, uint32_t d) { return d ^ (b & (c ^ d)); }
};
struct G {
  static uint32_t Mix(uint32_t b, uint32_t c, uint32_t d) { return c ^ (d & (b ^ c)); }
};
struct H {
  static uint32_t Mix(uint32_t b, uint32_t c, uint32_t d) { return b ^ c ^ d; }
};
struct I {
  static uint32_t Mix(uint32_t b, uint32_t c, uint32_t d) { return c ^ (b | ~d); }
};

template <typename Fn, int S>
[[gnu::always_inline]] inline void Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x,
                                        uint32_t t) {
  a += x + t;
  a += Fn::Mix(b, c, d);
  a = Rotl(a, S) + b;
}

// G as two sums: the half without b, the newest value, can start before b is known.
template <int S>
[[gnu::always_inline]] inline void StepG(uint32_t& a, uint32_t b, uint32_t c, uint32_t d,
                                         uint32_t x, uint32_t t) {
  a += x + t + (c & ~d);
  a += b & d;
  a = Rotl(a, S) + b;
}

// Runs the compression function over `blocks` consecutive 64-byte groups.
void ProcessBlocks(uint32_t state[4], const uint8_t* data, size_t blocks) {
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (; blocks > 0; --blocks, data += 64) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLe32(data + 4 * i);
    const uint32_t aa = a, bb = b, cc = c, dd = d;

    Step<F, 7>(a, b, c, d, x[0], 0xd76aa478);
    Step<F, 12>(d, a, b, c, x[1], 0xe8c7b756);
    Step<F, 17>(c, d, a, b, x[2], 0x242070db);
    Step<F, 22>(b, c, d, a, x[3], 0xc1bdceee);
    Step<F, 7>(a, b, c, d, x[4], 0xf57c0faf);
    Step<F, 12>(d, a, b, c, x[5], 0x4787c62a);
    Step<F, 17>(c, d, a, b, x[6], 0xa8304613);
    Step<F, 22>(b, c, d, a, x[7], 0xfd469501);
    Step<F, 7>(a, b, c, d, x[8], 0x698098d8);
    Step<F, 12>(d, a, b, c, x[9], 0x8b44f7af);
    Step<F, 17>(c, d, a, b, x[10], 0xffff5bb1);
    Step<F, 22>(b, c, d, a, x[11], 0x895cd7be);
    Step<F, 7>(a, b, c, d, x[12], 0x6b901122);
    Step<F, 12>(d, a, b, c, x[13], 0xfd987193);
    Step<F, 17>(c, d, a, b, x[14], 0xa679438e);
    Step<F, 22>(b, c, d, a, x[15], 0x49b40821);

    StepG<5>(a, b, c, d, x[1], 0xf61e2562);
    StepG<9>(d, a, b, c, x[6], 0xc040b340);
    StepG<14>(c, d, a, b, x[11], 0x265e5a51);
    StepG<20>(b, c, d, a, x[0], 0xe9b6c7aa);
    StepG<5>(a, b, c, d, x[5], 0xd62f105d);
    StepG<9>(d, a, b, c, x[10], 0x02441453);
    StepG<14>(c, d, a, b, x[15], 0xd8a1e681);
    StepG<20>(b, c, d, a, x[4], 0xe7d3fbc8);
    StepG<5>(a, b, c, d, x[9], 0x21e1cde6);
    StepG<9>(d, a, b, c, x[14], 0xc33707d6);
    StepG<14>(c, d, a, b, x[3], 0xf4d50d87);
    StepG<20>(b, c, d, a, x[8], 0x455a14ed);
    StepG<5>(a, b, c, d, x[13], 0xa9e3e905);
    StepG<9>(d, a, b, c, x[2], 0xfcefa3f8);
    StepG<14>(c, d, a, b, x[7], 0x676f02d9);
    StepG<20>(b, c, d, a, x[12], 0x8d2a4c8a);

    Step<H, 4>(a, b, c, d, x[5], 0xfffa3942);
    Step<H, 11>(d, a, b, c, x[8], 0x8771f681);
    Step<H, 16>(c, d, a, b, x[11], 0x6d9d6122);
    Step<H, 23>(b, c, d, a, x[14], 0xfde5380c);
    Step<H, 4>(a, b, c, d, x[1], 0xa4beea44);
    Step<H, 11>(d, a, b, c, x[4], 0x4bdecfa9);
    Step<H, 16>(c, d, a, b, x[7], 0xf6bb4b60);
    Step<H, 23>(b, c, d, a, x[10], 0xbebfbc70);
    Step<H, 4>(a, b, c, d, x[13], 0x289b7ec6);
    Step<H, 11>(d, a, b, c, x[0], 0xeaa127fa);
    Step<H, 16>(c, d, a, b, x[3], 0xd4ef3085);
    Step<H, 23>(b, c, d, a, x[6], 0x04881d05);
    Step<H, 4>(a, b, c, d, x[9], 0xd9d4d039);
    Step<H, 11>(d, a, b, c, x[12], 0xe6db99e5);
    Step<H, 16>(c, d, a, b, x[15], 0x1fa27cf8);
    Step<H, 23>(b, c, d, a, x[2], 0xc4ac5665);

    Step<I, 6>(a, b, c, d, x[0], 0xf4292244);
    Step<I, 10>(d, a, b, c, x[7], 0x432aff97);
    Step<I, 15>(c, d, a, b, x[14], 0xab9423a7);
    Step<I, 21>(b, c, d, a, x[5], 0xfc93a039);
    Step<I, 6>(a, b, c, d, x[12], 0x655b59c3);
    Step<I, 10>(d, a, b, c, x[3], 0x8f0ccc92);
    Step<I, 15>(c, d, a, b, x[10], 0xffeff47d);
    Step<I, 21>(b, c, d, a, x[1], 0x85845dd1);
    Step<I, 6>(a, b, c, d, x[8], 0x6fa87e4f);
    Step<I, 10>(d, a, b, c, x[15], 0xfe2ce6e0);
    Step<I, 15>(c, d, a, b, x[6], 0xa3014314);
    Step<I, 21>(b, c, d, a, x[13], 0x4e0811a1);
    Step<I, 6>(a, b, c, d, x[4], 0xf7537e82);
    Step<I, 10>(d, a, b, c, x[11], 0xbd3af235);
    Step<I, 15>(c, d, a, b, x[2], 0x2ad7d2bb);
    Step<I, 21>(b, c, d, a, x[9], 0xeb86d391);

    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }
  state[0] = a;
  state[1] = b;
  state[2] = c;
  state[3] = d;
}

}  // namespace

void MD5Init(MD5Context& ctx) {
  ctx.state[0] = 0x67452301;
  ctx.state[1] = 0xefcdab89;
  ctx.state[2] = 0x98badcfe;
  ctx.state[3] = 0x10325476;
  ctx.byteCount = 0;
  ctx.pendingCount = 0;
}

void MD5Update(MD5Context& ctx, const uint8_t* data, size_t length) {
  if (length == 0)
    return;  // data may be null then
  ctx.byteCount += length;

  FeedBlocks(
      ctx.pending, ctx.pendingCount, data, length,
      [&ctx](const uint8_t* blocks, size_t count) { ProcessBlocks(ctx.state, blocks, count); });
}

MD5Digest MD5Final(MD5Context& ctx) {
  // 0x80, zeros up to 56 modulo 64, then the bit length least significant byte first:
  // one block, or two when fewer than 9 bytes are left in the pending one.
  uint8_t tail[128] = {};
  std::memcpy(tail, ctx.pending, ctx.pendingCount);
  tail[ctx.pendingCount] = 0x80;
  const size_t tailLength = ctx.pendingCount < 56 ? 64 : 128;
  const uint64_t bits = ctx.byteCount * 8;
  StoreLe32(tail + tailLength - 8, static_cast<uint32_t>(bits));
  StoreLe32(tail + tailLength - 4, static_cast<uint32_t>(bits >> 32));
  ProcessBlocks(ctx.state, tail, tailLength / 64);
  ctx.pendingCount = 0;

  MD5Digest digest;
  for (int i = 0; i < 4; ++i) StoreLe32(digest.data() + 4 * i, ctx.state[i]);
  return digest;
}

std::string MD5Hex(const MD5Digest& digest) {
  return LowerHexText(digest.data(), digest.size());
}
