#include "app/log_colour.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kReadable = 4.5;

// WCAG relative luminance of an sRGB colour, 0 (black) to 1 (white).
double Luminance(Rgb c) {
  const auto linear = [](unsigned char channel) {
    const double v = channel / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

double Contrast(Rgb a, Rgb b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// `weight` 255ths of the way from `c` to `to`; each channel moves by the same share, so
// the hue stays.
Rgb Towards(Rgb c, Rgb to, int weight) {
  const auto mix = [weight](unsigned char from, unsigned char target) {
    return static_cast<unsigned char>(from + std::lround((target - from) * weight / 255.0));
  };
  return {mix(c.r, to.r), mix(c.g, to.g), mix(c.b, to.b)};
}

}  // namespace

Rgb LogRgb(LogColour colour, Rgb background) {
  const Rgb base = RgbOf(colour);
  if (Luminance(background) >= Luminance(Rgb{128, 128, 128}))
    return base;
  // Towards whichever of white and black stands out more on this background: that one
  // reaches 4.5:1 on every background darker than mid-grey.
  constexpr Rgb white{255, 255, 255}, black{0, 0, 0};
  const Rgb end = Contrast(white, background) >= Contrast(black, background) ? white : black;
  for (int weight = 0; weight < 255; ++weight) {
    const Rgb shade = Towards(base, end, weight);
    if (Contrast(shade, background) >= kReadable)
      return shade;
  }
  return end;
}
