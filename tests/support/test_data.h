// Small helpers the job tests share: expected log texts and test images.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/log_colour.h"
#include "tests/support/rig.h"

namespace testdata {

// A log text with the fixed test time stamp in front.
inline std::string Stamp(const std::string& text) {
  return std::string(kStamp) + text;
}

inline std::string ColourName(LogColour c) {
  switch (c) {
    case LogColour::Red:
      return "Red";
    case LogColour::Purple:
      return "Purple";
    case LogColour::Green:
      break;
  }
  return "Green";
}

// Noise whose blocks all differ (each begins with its own index), cheap to make.
inline std::vector<uint8_t> Noise(size_t size, uint32_t seed) {
  std::vector<uint8_t> base(kBlock);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : base) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x >> 24);
  }
  std::vector<uint8_t> bytes(size);
  for (size_t at = 0; at < size; at += kBlock) {
    std::memcpy(bytes.data() + at, base.data(), std::min(kBlock, size - at));
    for (size_t k = 0; k < 4 && at + k < size; ++k)
      bytes[at + k] = static_cast<uint8_t>((at / kBlock) >> (8 * k));
  }
  return bytes;
}

}  // namespace testdata
