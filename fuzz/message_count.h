// The loader's message boxes as the INI fuzzer sees them: counted by caption, with the
// longest text kept.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

#include "database/load_database.h"

struct MessageCount {
  int errorBoxes = 0;
  int warningBoxes = 0;
  int otherBoxes = 0;
  size_t longestText = 0;

  DatabaseMessage Boxes() {
    return [this](const std::string& text, const std::string& caption) {
      longestText = std::max(longestText, text.size());
      if (caption == "Error")
        ++errorBoxes;
      else if (caption == "Warning")
        ++warningBoxes;
      else
        ++otherBoxes;
    };
  }
};
