// Cutting an entry's value into parameters, and the digest texts' character test.
#include <string_view>

#include "database/load_database.h"

std::vector<std::string> SplitParameters(const std::string& value, bool& endsWithComma) {
  std::vector<std::string> parameters;
  endsWithComma = false;
  size_t start = 0;
  while (start < value.size()) {
    const size_t comma = value.find(',', start);
    if (comma == std::string::npos) {
      parameters.push_back(value.substr(start));
      endsWithComma = false;
      break;
    }
    parameters.push_back(value.substr(start, comma - start));
    endsWithComma = true;
    start = comma + 1;
  }
  return parameters;
}

bool NormaliseHexText(std::string& text) {
  constexpr std::string_view kHexCharacters = "01234567890ABCDEFabcdef";
  for (char c : text)
    if (kHexCharacters.find(c) == std::string_view::npos)
      return false;
  for (char& c : text)
    if (c >= 'A' && c <= 'F')
      c = static_cast<char>(c - 'A' + 'a');
  return true;
}
