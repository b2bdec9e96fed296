// Reads and validates the INI database, reporting the first error in a message box.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "database/flash_database.h"

inline constexpr const char* kDatabaseFileName = "kz1_v2.6.ini";

// Where the loader's message boxes go: their text and caption ("Error", or "Warning" for
// a description that was cut).
using DatabaseMessage = std::function<void(const std::string& text, const std::string& caption)>;

// Loads `path` (the tool passes kDatabaseFileName, in the working directory). The first
// error, and any warning before it, goes to `show`.
bool LoadDatabase(FlashDatabase& db, const DatabaseMessage& show,
                  const std::string& path = kDatabaseFileName);

// Cuts a value at its commas. endsWithComma tells that the value's last character was a
// comma, which makes the entry count as having parameters missing.
std::vector<std::string> SplitParameters(const std::string& value, bool& endsWithComma);

// True when every character is one of "01234567890ABCDEFabcdef"; the text is then
// turned to lower case in place. False leaves it unchanged.
bool NormaliseHexText(std::string& text);
