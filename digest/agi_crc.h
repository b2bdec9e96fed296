// The AGI CRC: CRC-32 with polynomial 0x04C11DB7, most significant bit first, register
// starting at 0 and no final XOR (not one of the common CRC-32 variants).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct AgiCrcState {
  std::array<uint32_t, 256> table;  // table[i]: the CRC step of byte i
  // wide[k][i]: the step of byte i followed by k + 1 zero bytes; with table they let
  // the update take eight bytes per step.
  std::array<std::array<uint32_t, 256>, 7> wide;
  uint32_t reg;
};

void AgiCrcInit(AgiCrcState& state);
void AgiCrcUpdate(AgiCrcState& state, const uint8_t* data, size_t length);
// The register as 8 lower-case hexadecimal digits ("%08lx").
std::string AgiCrcText(const AgiCrcState& state);
