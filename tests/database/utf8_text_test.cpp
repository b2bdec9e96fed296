// Character counting of names and descriptions: UTF-8 by code point, anything else by
// byte, cuts on character boundaries, and how messages quote long texts.
#include "database/utf8_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

struct TextCase {
  std::string text;
  bool valid;
  size_t characters;
  std::string firstTwo;
};

TEST(Utf8Text, CountsAndCutsCharactersOfValidUtf8AndBytesOfTheRest) {
  const TextCase cases[] = {
      {"", true, 0, ""},
      {"abc", true, 3, "ab"},
      {"\xC3\xB6\xC3\xB6\xC3\xB6", true, 3, "\xC3\xB6\xC3\xB6"},  // ööö
      {"\xE2\x82\xAC"
       "a",
       true, 2,
       "\xE2\x82\xAC"
       "a"},                                                 // €a
      {"\xF0\x9F\x98\x80!!", true, 3, "\xF0\x9F\x98\x80!"},  // U+1F600
      {"\xF4\x8F\xBF\xBF", true, 1, "\xF4\x8F\xBF\xBF"},     // U+10FFFF
      {"\xF0\x90\x80\x80", true, 1, "\xF0\x90\x80\x80"},     // U+10000, the lowest
      // Not UTF-8: counted and cut by bytes.
      {"\xF6\xF6\xF6", false, 3, "\xF6\xF6"},      // Latin-1 ööö
      {"\xC3\xB6\x80", false, 3, "\xC3\xB6"},      // stray continuation byte
      {"a\xE2\x82", false, 3, "a\xE2"},            // sequence cut short
      {"\xC0\xAF", false, 2, "\xC0\xAF"},          // overlong "/"
      {"\xE0\x80\xAF", false, 3, "\xE0\x80"},      // overlong, three bytes
      {"\xED\xA0\x80", false, 3, "\xED\xA0"},      // surrogate U+D800
      {"\xF4\x90\x80\x80", false, 4, "\xF4\x90"},  // above U+10FFFF
      {"\xF5\x80\x80\x80", false, 4, "\xF5\x80"},
      {"\xF0\x8F\xBF\xBF", false, 4, "\xF0\x8F"},  // overlong U+FFFF, four bytes
      {"\xF0\x9F\x98", false, 3, "\xF0\x9F"},      // four-byte sequence cut short
      {"\xF0\x9F\x98!", false, 4, "\xF0\x9F"},     // ... by an ASCII byte
      {"\xF0\x9F\xC0\x80", false, 4, "\xF0\x9F"},  // third byte out of range
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    // Seen through a view with a continuation byte behind it, which is no part of it.
    const std::string behind = c.text + "\x80";
    const std::string_view text(behind.data(), c.text.size());
    EXPECT_EQ(IsValidUtf8(text), c.valid);
    EXPECT_EQ(CharacterCount(text), c.characters);
    EXPECT_EQ(FirstCharacters(text, 2), c.firstTwo);
  }
}

TEST(Utf8Text, QuotesAtMost200CharactersThenAnEllipsis) {
  const std::string o = "\xC3\xB6";
  std::string o200, o201;
  for (int i = 0; i < 200; ++i) o200 += o;
  o201 = o200 + o;
  const std::string ellipsis = "\xE2\x80\xA6";
  EXPECT_EQ(QuotedText(std::string(200, 'v')), std::string(200, 'v'));
  EXPECT_EQ(QuotedText(std::string(201, 'v')), std::string(200, 'v') + ellipsis);
  EXPECT_EQ(QuotedText(o200), o200);
  EXPECT_EQ(QuotedText(o201), o200 + ellipsis);
  EXPECT_EQ(QuotedText(std::string(300, '\xF6')), std::string(200, '\xF6') + ellipsis);
}

}  // namespace
