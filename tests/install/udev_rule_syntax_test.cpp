// The rule reader must tell a well-formed rule from the mistakes that make udev drop a
// line, or it could not vouch for the installed rule.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

#include "tests/install/udev_rule_syntax.h"

namespace {

TEST(UdevRuleSyntax, ReadsKeysOfAWellFormedRule) {
  const UdevRuleFile file = ParseUdevRules(
      "# comment\n"
      "\n"
      "  SUBSYSTEM==\"usb\", ATTR{idVendor}==\"ffff\",ATTRS{idProduct}!=\"0201\",  "
      "TAG+=\"uaccess\", GROUP=\"plugdev\", MODE:=\"0660\"\n");
  ASSERT_TRUE(file.errors.empty()) << file.errors[0].reason;
  ASSERT_EQ(file.rules.size(), 1u);
  const UdevRule& rule = file.rules[0];
  EXPECT_EQ(rule.lineNumber, 3);
  ASSERT_EQ(rule.keys.size(), 6u);
  const UdevKey expected[] = {
      {"SUBSYSTEM", "", "==", "usb"},       {"ATTR", "idVendor", "==", "ffff"},
      {"ATTRS", "idProduct", "!=", "0201"}, {"TAG", "", "+=", "uaccess"},
      {"GROUP", "", "=", "plugdev"},        {"MODE", "", ":=", "0660"},
  };
  for (size_t i = 0; i < rule.keys.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rule.keys[i].name, expected[i].name);
    EXPECT_EQ(rule.keys[i].attribute, expected[i].attribute);
    EXPECT_EQ(rule.keys[i].op, expected[i].op);
    EXPECT_EQ(rule.keys[i].value, expected[i].value);
  }
  EXPECT_TRUE(rule.keys[0].IsMatch());
  EXPECT_TRUE(rule.keys[2].IsMatch());
  EXPECT_FALSE(rule.keys[3].IsMatch());
}

TEST(UdevRuleSyntax, FindsKeysByNameAttributeAndOperator) {
  const UdevRuleFile file =
      ParseUdevRules("ATTR{idVendor}==\"ffff\", ATTR{idVendor}=\"x\", TAG+=\"uaccess\"\n");
  ASSERT_EQ(file.rules.size(), 1u);
  const UdevRule& rule = file.rules[0];
  const UdevKey* match = FindUdevKey(rule, "ATTR", "idVendor", "==");
  ASSERT_NE(match, nullptr);
  EXPECT_EQ(match->value, "ffff");
  const UdevKey* assign = FindUdevKey(rule, "ATTR", "idVendor", "=");
  ASSERT_NE(assign, nullptr);
  EXPECT_EQ(assign->value, "x");
  EXPECT_EQ(FindUdevKey(rule, "ATTR", "idProduct", "=="), nullptr);
  EXPECT_EQ(FindUdevKey(rule, "TAG", "", "="), nullptr);
}

TEST(UdevRuleSyntax, KeepsLineNumbersOfEveryRule) {
  const UdevRuleFile file = ParseUdevRules(
      "TAG+=\"a\"\n"
      "# between\n"
      "TAG+=\"b\"\n");
  ASSERT_EQ(file.rules.size(), 2u);
  EXPECT_EQ(file.rules[0].lineNumber, 1);
  EXPECT_EQ(file.rules[1].lineNumber, 3);
}

struct BadLine {
  const char* what;
  const char* line;
  const char* reason;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BadLine& bad, std::ostream* out) {
  *out << bad.what;
}

class UdevRuleSyntaxRejects : public testing::TestWithParam<BadLine> {};

TEST_P(UdevRuleSyntaxRejects, LineWithReason) {
  const BadLine& bad = GetParam();
  const UdevRuleFile file = ParseUdevRules(std::string("# first\n") + bad.line + "\n");
  EXPECT_TRUE(file.rules.empty());
  ASSERT_EQ(file.errors.size(), 1u);
  EXPECT_EQ(file.errors[0].lineNumber, 2);
  EXPECT_EQ(file.errors[0].reason, bad.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, UdevRuleSyntaxRejects,
    testing::Values(
        BadLine{"match key assigned", "SUBSYSTEM=\"usb\", TAG+=\"uaccess\"",
                "SUBSYSTEM is a match key and needs == or !="},
        BadLine{"assignment compared", "SUBSYSTEM==\"usb\", GROUP==\"plugdev\"",
                "GROUP cannot be matched"},
        BadLine{"unquoted value", "SUBSYSTEM==usb, TAG+=\"uaccess\"",
                "SUBSYSTEM: value must be quoted"},
        BadLine{"single quotes", "SUBSYSTEM=='usb', TAG+=\"uaccess\"",
                "SUBSYSTEM: value must be quoted"},
        BadLine{"unterminated value", "SUBSYSTEM==\"usb\", TAG+=\"uaccess",
                "TAG: unterminated value"},
        BadLine{"missing comma", "SUBSYSTEM==\"usb\" TAG+=\"uaccess\"",
                "',' expected after SUBSYSTEM"},
        BadLine{"trailing comma", "SUBSYSTEM==\"usb\", TAG+=\"uaccess\",",
                "',' at the end of the line"},
        BadLine{"carriage return", "SUBSYSTEM==\"usb\", TAG+=\"uaccess\"\r",
                "',' expected after TAG"},
        BadLine{"no assignment", "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"ffff\"",
                "rule assigns nothing"},
        BadLine{"unknown key", "SUBSYSTEMZ==\"usb\", TAG+=\"uaccess\"", "unknown key SUBSYSTEMZ"},
        BadLine{"lower-case key", "subsystem==\"usb\", TAG+=\"uaccess\"",
                "key name expected at column 1"},
        BadLine{"missing operator", "SUBSYSTEM\"usb\", TAG+=\"uaccess\"",
                "SUBSYSTEM: operator expected"},
        BadLine{"attribute missing", "ATTR==\"ffff\", TAG+=\"uaccess\"", "ATTR needs {attribute}"},
        BadLine{"attribute not closed", "ATTR{idVendor==\"ffff\", TAG+=\"uaccess\"",
                "ATTR: '{' without '}'"},
        BadLine{"attribute where none belongs", "GROUP{x}=\"plugdev\"",
                "GROUP takes no {attribute}"},
        BadLine{"group appended", "SUBSYSTEM==\"usb\", GROUP+=\"plugdev\"",
                "GROUP takes = or :=, not +="},
        BadLine{"mode removed", "SUBSYSTEM==\"usb\", MODE-=\"0660\"", "MODE takes = or :=, not -="},
        BadLine{"run removed", "SUBSYSTEM==\"usb\", RUN-=\"x\"", "RUN cannot be removed with -="},
        BadLine{"escape in value", "SUBSYSTEM==\"us\\b\", TAG+=\"uaccess\"",
                "SUBSYSTEM: escapes not allowed"},
        BadLine{"continued line", "SUBSYSTEM==\"usb\", \\", "continued lines not allowed"}),
    [](const testing::TestParamInfo<BadLine>& info) {
      std::string name;
      for (const char* c = info.param.what; *c != '\0'; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      }
      return name;
    });

}  // namespace
