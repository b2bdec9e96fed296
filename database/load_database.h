// Reads and validates the INI database, reporting the first error in a message box.
#pragma once

#include <string>
#include <vector>

#include "app/window_ops.h"
#include "database/flash_database.h"

inline constexpr const char* kDatabaseFileName = "kz1_v2.6.ini";

// Loads `path` (the tool passes kDatabaseFileName, in the working directory).
bool LoadDatabase(FlashDatabase& db, WindowOps& window, const std::string& path = kDatabaseFileName);

// Cuts a value at its commas. endsWithComma tells that the value's last character was a
// comma, which makes the entry count as having parameters missing.
std::vector<std::string> SplitParameters(const std::string& value, bool& endsWithComma);

// True when every character is one of "01234567890ABCDEFabcdef"; the text is then
// turned to lower case in place. False leaves it unchanged.
bool NormaliseHexText(std::string& text);
