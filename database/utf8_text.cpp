#include "database/utf8_text.h"

#include <cstdint>

namespace {

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0 when it is not
// one (the ranges of the Unicode standard's table of well-formed byte sequences).
size_t SequenceLength(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(0);
  if (lead < 0x80)
    return 1;
  size_t length = 0;
  uint8_t low = 0x80;  // allowed range of the second byte
  uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0)
      low = 0xA0;  // overlong below U+0800
    if (lead == 0xED)
      high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0)
      low = 0x90;  // overlong below U+10000
    if (lead == 0xF4)
      high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high)
    return 0;
  for (size_t i = 2; i < length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF)
      return 0;
  return length;
}

// Bytes taken by the first `count` code points of valid UTF-8.
size_t Utf8Prefix(std::string_view text, size_t count) {
  size_t at = 0;
  for (size_t n = 0; n < count && at < text.size(); ++n) at += SequenceLength(text.substr(at));
  return at;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = SequenceLength(text.substr(at));
    if (length == 0)
      return false;
    at += length;
  }
  return true;
}

size_t CharacterCount(std::string_view text) {
  if (!IsValidUtf8(text))
    return text.size();
  size_t count = 0;
  for (char c : text)
    if ((static_cast<uint8_t>(c) & 0xC0) != 0x80)
      ++count;
  return count;
}

std::string_view FirstCharacters(std::string_view text, size_t count) {
  if (!IsValidUtf8(text))
    return text.substr(0, count);
  return text.substr(0, Utf8Prefix(text, count));
}

std::string QuotedText(std::string_view text) {
  const std::string_view kept = FirstCharacters(text, kMaxQuotedCharacters);
  if (kept.size() == text.size())
    return std::string(text);
  return std::string(kept) + "\xE2\x80\xA6";  // U+2026 HORIZONTAL ELLIPSIS
}
