// What the operator has chosen in the main window, taken when Start is pressed.
#pragma once

#include <string>

enum class HashCheckMode { Auto, Manual };

struct JobSelection {
  bool ReadCheckSelected = false;
  bool ReadMode = true;  // true: read into ReadFileName; false: check against CheckFileName
  bool EraseSelected = false;
  bool WriteSelected = false;
  std::string ReadFileName;
  std::string CheckFileName;
  std::string WriteFileName;
  HashCheckMode hashCheckMode = HashCheckMode::Auto;
  std::string ManualMD5;
  std::string ManualSHA1;
  std::string ManualCRC;
};
