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
