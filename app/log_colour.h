// How the window draws each log colour.
#pragma once

#include "app/window_ops.h"
#include "base/log_colour.h"

constexpr Rgb RgbOf(LogColour colour) {
  switch (colour) {
    case LogColour::Red:
      return {255, 0, 0};
    case LogColour::Purple:
      return {128, 0, 128};
    case LogColour::Green:
      break;
  }
  return {0, 128, 0};
}

// The colour a log line is drawn in on `background`. On a background of mid-grey or
// lighter it is RgbOf, exactly. On a darker one it is the nearest shade of the same hue
// that stands out from the background at least 4.5:1 (WCAG contrast): lighter on dark
// backgrounds, darker on those just below mid-grey, where no lighter shade gets there.
Rgb LogRgb(LogColour colour, Rgb background);
