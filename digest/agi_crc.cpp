#include "digest/agi_crc.h"

namespace {

constexpr uint32_t kPolynomial = 0x04C11DB7;

[[gnu::always_inline]] inline uint32_t LoadBe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

[[gnu::always_inline]] inline uint32_t ByteStep(const AgiCrcState& s, uint32_t reg, uint8_t b) {
  return s.table[((reg >> 24) ^ b) & 0xff] ^ (reg << 8);
}

}  // namespace

void AgiCrcInit(AgiCrcState& state) {
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t value = i << 24;
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 0x80000000u) ? (value << 1) ^ kPolynomial : value << 1;
    }
    state.table[i] = value;
  }
  // Pushing one more zero byte through an entry gives the entry one byte further on.
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t value = state.table[i];
    for (auto& wide : state.wide) {
      value = state.table[value >> 24] ^ (value << 8);
      wide[i] = value;
    }
  }
  state.reg = 0;
}

void AgiCrcUpdate(AgiCrcState& state, const uint8_t* data, size_t length) {
  const auto& t0 = state.table;
  const auto& t = state.wide;  // t[k]: k + 1 bytes further on
  uint32_t reg = state.reg;
  // Eight bytes per step: the register meets the first four, and every byte is looked up
  // at the distance from the end of the step at which it enters.
  for (; length >= 8; length -= 8, data += 8) {
    const uint32_t hi = reg ^ LoadBe32(data);
    const uint32_t lo = LoadBe32(data + 4);
    reg = t[6][hi >> 24] ^ t[5][(hi >> 16) & 0xff] ^ t[4][(hi >> 8) & 0xff] ^ t[3][hi & 0xff] ^
          t[2][lo >> 24] ^ t[1][(lo >> 16) & 0xff] ^ t[0][(lo >> 8) & 0xff] ^ t0[lo & 0xff];
  }
  for (; length > 0; --length, ++data) reg = ByteStep(state, reg, *data);
  state.reg = reg;
}

std::string AgiCrcText(const AgiCrcState& state) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(8, '0');
  for (int i = 0; i < 8; ++i) text[i] = kDigits[(state.reg >> (28 - 4 * i)) & 0xf];
  return text;
}
