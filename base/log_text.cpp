#include "base/log_text.h"

#include <cstdio>

std::string LogText(const std::string& pattern, std::initializer_list<std::string> args) {
  std::string out;
  out.reserve(pattern.size() + 64);
  auto next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && next != args.end()) {
      const char kind = pattern[i + 1];
      if (kind == 's' || kind == 'd' || kind == 'x' || kind == 'X' || kind == 'c') {
        out += *next++;
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

std::string Hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%x", value);
  return buffer;
}

std::string HexUpper(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%X", value);
  return buffer;
}
