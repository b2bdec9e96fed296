#include "base/log_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LogText, PlaceholdersTakeTheArgumentsInOrder) {
  EXPECT_EQ(LogText("[%s] Start write from %s", {"14:03:27", "/tmp/dump.bin"}),
            "[14:03:27] Start write from /tmp/dump.bin");
  EXPECT_EQ(LogText("Module %x, chip %X, %d MB, bank %c", {"a1", "B2", "64", "1"}),
            "Module a1, chip B2, 64 MB, bank 1");
}

TEST(LogText, PercentInAnArgumentIsKeptLiterally) {
  EXPECT_EQ(LogText("[%s] Start read to %s", {"09:00:00", "/home/op/100%s%d%%.bin"}),
            "[09:00:00] Start read to /home/op/100%s%d%%.bin");
}

TEST(LogText, TrailingAndUnknownPercentSignsStay) {
  EXPECT_EQ(LogText("Reading %d%", {"42"}), "Reading 42%");
  EXPECT_EQ(LogText("Writing %d%", {"100"}), "Writing 100%");
  EXPECT_EQ(LogText("50%% done %q", {}), "50%% done %q");
  EXPECT_EQ(LogText("%", {"unused"}), "%");
}

TEST(LogText, MissingArgumentsLeaveThePlaceholderAndExtraOnesAreIgnored) {
  EXPECT_EQ(LogText("[%s] Write done, %s", {"10:00:00"}), "[10:00:00] Write done, %s");
  EXPECT_EQ(LogText("Erasing... %c", {"|", "extra"}), "Erasing... |");
  EXPECT_EQ(LogText("no placeholders", {"a"}), "no placeholders");
}

TEST(LogText, LongPathsStayWhole) {
  const std::string path = "/" + std::string(4000, 'd') + "/flash.bin";
  const std::string line = LogText("[%s] Start check with %s", {"12:34:56", path});
  EXPECT_EQ(line, "[12:34:56] Start check with " + path);
  EXPECT_EQ(line.size(), 28 + path.size());
}

TEST(LogText, EmptyArgumentFillsNothing) {
  EXPECT_EQ(LogText("<%s>", {""}), "<>");
}

TEST(HexText, LowerAndUpperCaseWithoutLeadingZeros) {
  struct Case {
    uint32_t value;
    std::string lower, upper;
  };
  for (const Case& c :
       {Case{0, "0", "0"}, Case{0x0f, "f", "F"}, Case{0xab, "ab", "AB"}, Case{0x0102, "102", "102"},
        Case{0xdeadbeef, "deadbeef", "DEADBEEF"}, Case{0xffffffff, "ffffffff", "FFFFFFFF"}}) {
    EXPECT_EQ(Hex(c.value), c.lower);
    EXPECT_EQ(HexUpper(c.value), c.upper);
  }
}

}  // namespace
