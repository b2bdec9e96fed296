#include "app/log_colour.h"

#include <gtest/gtest.h>

namespace {

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

}  // namespace
