// SplitParameters and NormaliseHexText.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/load_database.h"

namespace {

struct SplitCase {
  std::string value;
  std::vector<std::string> parameters;
  bool endsWithComma;
};

TEST(SplitParameters, CutsAtEveryCommaAndTrimsNothing) {
  const SplitCase cases[] = {
      {"", {}, false},
      {"a", {"a"}, false},
      {"20,16,0", {"20", "16", "0"}, false},
      {"20, 16, 1", {"20", " 16", " 1"}, false},
      {"20,16,0,", {"20", "16", "0"}, true},
      {",", {""}, true},
      {",,", {"", ""}, true},
      {"a,,b", {"a", "", "b"}, false},
      {",a", {"", "a"}, false},
      {" , ", {" ", " "}, false},
      {"name with blanks ,x", {"name with blanks ", "x"}, false},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE("value [" + c.value + "]");
    bool endsWithComma = !c.endsWithComma;  // must be overwritten either way
    EXPECT_EQ(SplitParameters(c.value, endsWithComma), c.parameters);
    EXPECT_EQ(endsWithComma, c.endsWithComma);
  }
}

TEST(NormaliseHexText, LowersValidTextInPlace) {
  std::string text = "0123456789ABCDEFabcdef";
  EXPECT_TRUE(NormaliseHexText(text));
  EXPECT_EQ(text, "0123456789abcdefabcdef");

  std::string empty;
  EXPECT_TRUE(NormaliseHexText(empty));
  EXPECT_EQ(empty, "");
}

TEST(NormaliseHexText, LeavesTextWithAnyOtherCharacterUnchanged) {
  for (const std::string original : {"ABCG", "AB CD", " ABCD", "ABCD ", "0xAB", "AB-CD",
                                     "\xC3\x84"
                                     "B",
                                     "AB\tC", "abcdefgh"}) {
    std::string text = original;
    EXPECT_FALSE(NormaliseHexText(text)) << original;
    EXPECT_EQ(text, original);
  }
  std::string withNul("AB\0C", 4);
  EXPECT_FALSE(NormaliseHexText(withNul));
  EXPECT_EQ(withNul, std::string("AB\0C", 4));
}

}  // namespace
