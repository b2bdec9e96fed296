#include "app/log_colour.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr LogColour kColours[] = {LogColour::Green, LogColour::Purple, LogColour::Red};

TEST(LogColour, RgbValues) {
  struct Case {
    LogColour colour;
    Rgb rgb;
  };
  for (const Case c : {Case{LogColour::Green, {0, 128, 0}}, Case{LogColour::Red, {255, 0, 0}},
                       Case{LogColour::Purple, {128, 0, 128}}}) {
    const Rgb got = RgbOf(c.colour);
    EXPECT_EQ(got.r, c.rgb.r);
    EXPECT_EQ(got.g, c.rgb.g);
    EXPECT_EQ(got.b, c.rgb.b);
  }
}

// WCAG 2 contrast, worked out here from the definition.
double Contrast(Rgb a, Rgb b) {
  const auto luminance = [](Rgb c) {
    double sum = 0;
    for (const auto& [channel, weight] : {std::pair{c.r, 0.2126}, {c.g, 0.7152}, {c.b, 0.0722}}) {
      const double v = channel / 255.0;
      sum += weight * (v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
    }
    return sum;
  };
  const double la = luminance(a) + 0.05, lb = luminance(b) + 0.05;
  return std::max(la, lb) / std::min(la, lb);
}

// HSV hue in degrees; -1 for a grey, which has none.
double Hue(Rgb c) {
  const int max = std::max({c.r, c.g, c.b}), min = std::min({c.r, c.g, c.b});
  if (max == min)
    return -1;
  const double d = max - min;
  const double h = max == c.r   ? (c.g - c.b) / d
                   : max == c.g ? 2 + (c.b - c.r) / d
                                : 4 + (c.r - c.g) / d;
  return std::fmod(60 * h + 360, 360);
}

TEST(LogColour, LightFacesKeepTheWindowColours) {
  // Fusion's and Windows' button faces, qt6ct's airy, ia_ora, sand and simple, mid-grey.
  for (const Rgb face : {Rgb{0xef, 0xef, 0xef}, Rgb{0xf0, 0xf0, 0xf0}, Rgb{0xd4, 0xd0, 0xc8},
                         Rgb{0xdc, 0xdc, 0xdc}, Rgb{0xef, 0xf3, 0xf7}, Rgb{0xff, 0xff, 0xdc},
                         Rgb{0xef, 0xeb, 0xe7}, Rgb{0xff, 0xff, 0xff}, Rgb{0x80, 0x80, 0x80}})
    for (const LogColour colour : kColours) EXPECT_EQ(LogRgb(colour, face), RgbOf(colour));
}

TEST(LogColour, DarkFacesGetReadableShadesOfTheSameHue) {
  // qt6ct's darker (button, window), dusk and waves; common dark themes; just below mid-grey.
  for (const Rgb face : {Rgb{0x42, 0x42, 0x45}, Rgb{0x22, 0x20, 0x20}, Rgb{0x7f, 0x7f, 0x7f},
                         Rgb{0x01, 0x0b, 0x2c}, Rgb{0x2b, 0x2b, 0x2b}, Rgb{0x31, 0x36, 0x3b},
                         Rgb{0x00, 0x00, 0x00}, Rgb{0x75, 0x75, 0x75}, Rgb{0x76, 0x76, 0x76}})
    for (const LogColour colour : kColours) {
      const Rgb shade = LogRgb(colour, face);
      EXPECT_GE(Contrast(shade, face), 4.5) << int(face.r) << " " << int(colour);
      EXPECT_NEAR(Hue(shade), Hue(RgbOf(colour)), 0.5) << int(face.r) << " " << int(colour);
    }
  // Only as far as needed: red already stands out on black.
  EXPECT_EQ(LogRgb(LogColour::Red, {0, 0, 0}), RgbOf(LogColour::Red));
}

}  // namespace
