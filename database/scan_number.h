// Reads a number at the start of a parameter the way the C library's "%x" and "%d"
// conversions do: leading white space skipped, an optional sign, for hexadecimal an
// optional "0x"/"0X", then digits until the first other character. Unlike sscanf it never
// overflows: the magnitude stops growing at its maximum, and the low 8 bits of the whole
// number are kept exactly, since that is what a byte field stores.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

struct ScannedNumber {
  bool negative = false;
  uint64_t magnitude = 0;  // saturates at UINT64_MAX for numbers too long to hold
  uint8_t lowByte = 0;     // the low 8 bits of the whole number (two's complement)

  // True when the whole number read equals `value` exactly.
  bool Is(int64_t value) const;
};

enum class NumberBase { Hexadecimal = 16, Decimal = 10 };

// Nothing when the text holds no number at its start (sscanf would convert nothing).
std::optional<ScannedNumber> ScanNumber(std::string_view text, NumberBase base);
