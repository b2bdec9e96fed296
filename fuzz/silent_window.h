// A window for the fuzz targets: the shared stateful window, with message boxes only
// counted by caption and questions answered with OK.
#pragma once

#include <string>

#include "tests/support/stateful_window.h"

class SilentWindow : public StatefulWindow {
 public:
  int errorBoxes = 0;
  int warningBoxes = 0;
  int otherBoxes = 0;

  void ShowMessage(const std::string&, const std::string& caption) override {
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
