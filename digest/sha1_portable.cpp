#include <utility>

#include "digest/sha1_blocks.h"

namespace {

[[gnu::always_inline]] inline uint32_t Rotl(uint32_t x, int s) {
  return (x << s) | (x >> (32 - s));
}

[[gnu::always_inline]] inline uint32_t LoadBe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

// Round T of 80. The schedule lives in a rolling window of 16 words; the five working
// variables are renamed by the caller instead of being moved, so only b and e change.
template <int T>
[[gnu::always_inline]] inline void Round(uint32_t a, uint32_t& b, uint32_t c, uint32_t d,
                                         uint32_t& e, uint32_t (&w)[16]) {
  uint32_t word;
  if constexpr (T < 16) {
    word = w[T];
  } else {
    word = Rotl(w[(T - 3) & 15] ^ w[(T - 8) & 15] ^ w[(T - 14) & 15] ^ w[T & 15], 1);
    w[T & 15] = word;
  }
  uint32_t f, k;
  if constexpr (T < 20) {
    f = d ^ (b & (c ^ d));
    k = 0x5a827999;
  } else if constexpr (T < 40) {
    f = b ^ c ^ d;
    k = 0x6ed9eba1;
  } else if constexpr (T < 60) {
    f = (b & c) | (d & (b | c));
    k = 0x8f1bbcdc;
  } else {
    f = b ^ c ^ d;
    k = 0xca62c1d6;
  }
  e += Rotl(a, 5) + f + k + word;
  b = Rotl(b, 30);
}

// Five rounds from T: after them the variables are back in their starting roles.
template <int T>
[[gnu::always_inline]] inline void FiveRounds(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d,
                                              uint32_t& e, uint32_t (&w)[16]) {
  Round<T>(a, b, c, d, e, w);
  Round<T + 1>(e, a, b, c, d, w);
  Round<T + 2>(d, e, a, b, c, w);
  Round<T + 3>(c, d, e, a, b, w);
  Round<T + 4>(b, c, d, e, a, w);
}

template <size_t... G>
[[gnu::always_inline]] inline void EightyRounds(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d,
                                                uint32_t& e, uint32_t (&w)[16],
                                                std::index_sequence<G...>) {
  (FiveRounds<static_cast<int>(G) * 5>(a, b, c, d, e, w), ...);
}

}  // namespace

void Sha1BlocksPortable(uint32_t state[5], const uint8_t* data, size_t blocks) {
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (; blocks > 0; --blocks, data += 64) {
    uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = LoadBe32(data + 4 * i);
    const uint32_t aa = a, bb = b, cc = c, dd = d, ee = e;
    EightyRounds(a, b, c, d, e, w, std::make_index_sequence<16>{});
    a += aa;
    b += bb;
    c += cc;
    d += dd;
    e += ee;
  }
  state[0] = a;
  state[1] = b;
  state[2] = c;
  state[3] = d;
  state[4] = e;
}
