// A window for the fuzz targets: the shared stateful window, with message boxes only
// counted by caption and questions answered with OK.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

#include "tests/support/stateful_window.h"

class SilentWindow : public StatefulWindow {
 public:
  int errorBoxes = 0;
  int warningBoxes = 0;
  int otherBoxes = 0;
  size_t longestText = 0;

  void ShowMessage(const std::string& text, const std::string& caption) override {
    longestText = std::max(longestText, text.size());
    if (caption == "Error")
      ++errorBoxes;
    else if (caption == "Warning")
      ++warningBoxes;
    else
      ++otherBoxes;
  }
  bool AskOkCancel(const std::string&, const std::string&) override {
    ++otherBoxes;
    return true;
  }
};
