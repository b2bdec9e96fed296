#include "database/scan_number.h"

#include <limits>

namespace {

// The white space "%d" and "%x" skip: the characters isspace() accepts in the C locale.
bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c, NumberBase base) {
  int value = -1;
  if (c >= '0' && c <= '9')
    value = c - '0';
  if (base == NumberBase::Hexadecimal) {
    if (c >= 'a' && c <= 'f')
      value = c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
      value = c - 'A' + 10;
  }
  return value;
}

}  // namespace

bool ScannedNumber::Is(int64_t value) const {
  if (value < 0) {
    // -(value + 1) + 1 avoids negating INT64_MIN.
    return negative && magnitude == static_cast<uint64_t>(-(value + 1)) + 1;
  }
  // A negative zero ("-0") is zero.
  return (!negative || magnitude == 0) && magnitude == static_cast<uint64_t>(value);
}

std::optional<ScannedNumber> ScanNumber(std::string_view text, NumberBase base) {
  size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;

  ScannedNumber number;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    number.negative = text[i] == '-';
    ++i;
  }

  bool sawDigit = false;
  // "0x" counts as a read zero even when no hexadecimal digit follows, as in sscanf.
  if (base == NumberBase::Hexadecimal && i + 1 < text.size() && text[i] == '0' &&
      (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    sawDigit = true;
    i += 2;
  }

  const unsigned radix = static_cast<unsigned>(base);
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  unsigned low = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0)
      break;
    sawDigit = true;
    const auto d = static_cast<uint64_t>(digit);
    if (number.magnitude > (kMax - d) / radix)
      number.magnitude = kMax;
    else
      number.magnitude = number.magnitude * radix + d;
    low = (low * radix + static_cast<unsigned>(digit)) & 0xFFu;
  }
  if (!sawDigit)
    return std::nullopt;

  if (number.negative)
    low = (0x100u - low) & 0xFFu;
  number.lowByte = static_cast<uint8_t>(low);
  return number;
}
