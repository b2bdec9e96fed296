// Numbers in parameters read as "%x" and "%d" read them, without their overflow.
#include "database/scan_number.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Texts whose numbers fit in an int, so the C library's answer is well defined.
const char* const kTexts[] = {
    "0",    "7f",  "7F",   "17F", "  12", "\t\n\v\f\r5", "+20",   "-7f", "-0",    "0x",
    "0X1f", "0xg", "0x-1", "20z", "1f",   "0x0x1",       "-0x10", "abc", "",      " ",
    "+",    "-",   "- 1",  "x1",  "g",    "ffff",        "12 34", "-16", "00010", "+-1",
};

TEST(ScanNumber, AgreesWithSscanfOnHexadecimal) {
  for (const char* text : kTexts) {
    SCOPED_TRACE(text);
    unsigned expected = 0;
    const bool converted = std::sscanf(text, "%x", &expected) == 1;
    const auto n = ScanNumber(text, NumberBase::Hexadecimal);
    ASSERT_EQ(n.has_value(), converted);
    if (!n)
      continue;
    const unsigned value = static_cast<unsigned>(n->magnitude);
    EXPECT_EQ(n->negative ? 0u - value : value, expected);
    EXPECT_EQ(n->lowByte, expected & 0xFFu);
  }
}

TEST(ScanNumber, AgreesWithSscanfOnDecimal) {
  for (const char* text : kTexts) {
    SCOPED_TRACE(text);
    int expected = 0;
    const bool converted = std::sscanf(text, "%d", &expected) == 1;
    const auto n = ScanNumber(text, NumberBase::Decimal);
    ASSERT_EQ(n.has_value(), converted);
    if (!n)
      continue;
    EXPECT_TRUE(n->Is(expected)) << n->magnitude;
    EXPECT_EQ(n->lowByte, static_cast<unsigned>(expected) & 0xFFu);
  }
}

TEST(ScanNumber, ComparesTheWholeNumber) {
  const auto n = ScanNumber("17F", NumberBase::Hexadecimal);
  ASSERT_TRUE(n);
  EXPECT_FALSE(n->Is(0x7F));
  EXPECT_TRUE(n->Is(0x17F));
  EXPECT_EQ(n->lowByte, 0x7F);

  const auto minus = ScanNumber("-1", NumberBase::Decimal);
  ASSERT_TRUE(minus);
  EXPECT_TRUE(minus->Is(-1));
  EXPECT_FALSE(minus->Is(1));
  EXPECT_EQ(minus->lowByte, 0xFF);

  const auto zero = ScanNumber("-0", NumberBase::Decimal);
  ASSERT_TRUE(zero);
  EXPECT_TRUE(zero->Is(0));
}

TEST(ScanNumber, NumbersBeyondAnyIntegerSaturateButKeepTheirLowByte) {
  // 2^32 + 16 would read as 16 through a 32-bit int; the whole number is not 16.
  const auto wide = ScanNumber("4294967312", NumberBase::Decimal);
  ASSERT_TRUE(wide);
  EXPECT_FALSE(wide->Is(16));
  EXPECT_EQ(wide->magnitude, 4294967312u);
  EXPECT_EQ(wide->lowByte, 16);

  const auto huge = ScanNumber("1000000000000000000000000000007f", NumberBase::Hexadecimal);
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->magnitude, UINT64_MAX);
  EXPECT_FALSE(huge->Is(0x7F));
  EXPECT_EQ(huge->lowByte, 0x7F);

  const auto decimal =
      ScanNumber("-99999999999999999999999999999999999999999", NumberBase::Decimal);
  ASSERT_TRUE(decimal);
  EXPECT_TRUE(decimal->negative);
  EXPECT_EQ(decimal->magnitude, UINT64_MAX);
  EXPECT_FALSE(decimal->Is(INT64_MIN));
  // ...999 mod 256 is 255 (10^41 - 1 = 0xFF mod 0x100), negated: 1.
  EXPECT_EQ(decimal->lowByte, 0x01);

  const auto edge = ScanNumber("-9223372036854775808", NumberBase::Decimal);
  ASSERT_TRUE(edge);
  EXPECT_TRUE(edge->Is(INT64_MIN));
}

// The last values that still fit, and the first that do not, in both bases.
TEST(ScanNumber, MagnitudeIsExactUpToItsMaximumAndSaturatesOnlyBeyond) {
  struct Case {
    const char* text;
    NumberBase base;
    uint64_t magnitude;
  };
  for (const Case& c : {Case{"18446744073709551614", NumberBase::Decimal, UINT64_MAX - 1},
                        Case{"18446744073709551615", NumberBase::Decimal, UINT64_MAX},
                        Case{"18446744073709551616", NumberBase::Decimal, UINT64_MAX},
                        Case{"1844674407370955161", NumberBase::Decimal, UINT64_MAX / 10},
                        Case{"fffffffffffffffe", NumberBase::Hexadecimal, UINT64_MAX - 1},
                        Case{"0xffffffffffffffff", NumberBase::Hexadecimal, UINT64_MAX},
                        Case{"10000000000000000", NumberBase::Hexadecimal, UINT64_MAX},
                        Case{"-fffffffffffffff0", NumberBase::Hexadecimal, UINT64_MAX - 15}}) {
    SCOPED_TRACE(c.text);
    const auto n = ScanNumber(c.text, c.base);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->magnitude, c.magnitude);
  }
}

TEST(ScanNumber, StopsAtTheEndOfTheViewWithoutReadingBeyondIt) {
  const std::string text = "1234";
  const auto n = ScanNumber(std::string_view(text).substr(0, 2), NumberBase::Decimal);
  ASSERT_TRUE(n);
  EXPECT_TRUE(n->Is(12));
  // A lone "0" before the end is a zero, with no "0x" read past the view.
  const auto zero = ScanNumber(std::string_view("0x5").substr(0, 1), NumberBase::Hexadecimal);
  ASSERT_TRUE(zero);
  EXPECT_TRUE(zero->Is(0));
}

}  // namespace
