// The rule as installed: readable by udev, matching the programmer, and giving access
// through uaccess and through the plugdev group on separate lines.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "tests/install/udev_rule_syntax.h"

namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The tool's rule among the staged rules, found by name so that a renamed rule is still
// judged as installed; empty (and a failure) when there is not exactly one.
std::filesystem::path StagedRule() {
  std::vector<std::filesystem::path> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(FW_STAGED_RULES_DIR, error)) {
    const std::string name = entry.path().filename().string();
    if (name.find("flashwrendel") != std::string::npos)
      found.push_back(entry.path());
  }
  if (found.size() != 1) {
    ADD_FAILURE() << found.size() << " flashwrendel rules in " << FW_STAGED_RULES_DIR;
    return {};
  }
  return found[0];
}

// True when the rule matches exactly the programmer's USB device node.
bool MatchesProgrammer(const UdevRule& rule) {
  const UdevKey* subsystem = FindUdevKey(rule, "SUBSYSTEM", "", "==");
  const UdevKey* vendor = FindUdevKey(rule, "ATTR", "idVendor", "==");
  const UdevKey* product = FindUdevKey(rule, "ATTR", "idProduct", "==");
  return subsystem != nullptr && subsystem->value == "usb" && vendor != nullptr &&
         vendor->value == "ffff" && product != nullptr && product->value == "0201";
}

bool GivesUaccess(const UdevRule& rule) {
  const UdevKey* tag = FindUdevKey(rule, "TAG", "", "+=");
  return tag != nullptr && tag->value == "uaccess";
}

bool NamesGroup(const UdevRule& rule) {
  for (const UdevKey& key : rule.keys) {
    if (key.name == "GROUP")
      return true;
  }
  return false;
}

TEST(InstalledUdevRule, IsWellFormed) {
  const std::filesystem::path rule = StagedRule();
  ASSERT_TRUE(std::filesystem::is_regular_file(rule)) << rule;
  const UdevRuleFile file = ParseUdevRules(ReadFile(rule));
  for (const UdevRuleError& error : file.errors) {
    ADD_FAILURE() << rule << ":" << error.lineNumber << ": " << error.reason;
  }
  EXPECT_EQ(file.rules.size(), 2u);
}

TEST(InstalledUdevRule, SortsBeforeSeatLateRules) {
  // 73-seat-late.rules turns the uaccess tag into an ACL, so the tag must come first.
  const std::filesystem::path rule = StagedRule();
  const std::string name = rule.filename().string();
  ASSERT_GE(name.size(), 3u);
  ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(name[0])) &&
              std::isdigit(static_cast<unsigned char>(name[1])) && name[2] == '-')
      << name;
  EXPECT_LT(std::stoi(name.substr(0, 2)), 70) << name;
  EXPECT_EQ(rule.extension(), ".rules");
}

TEST(InstalledUdevRule, UaccessAndGroupOnSeparateLinesForTheProgrammer) {
  const std::filesystem::path rule = StagedRule();
  ASSERT_FALSE(rule.empty());
  const UdevRuleFile file = ParseUdevRules(ReadFile(rule));
  ASSERT_TRUE(file.errors.empty());
  int uaccessLines = 0;
  int groupLines = 0;
  for (const UdevRule& rule : file.rules) {
    SCOPED_TRACE(rule.lineNumber);
    EXPECT_TRUE(MatchesProgrammer(rule));
    // A device node, not its interfaces.
    const UdevKey* devtype = FindUdevKey(rule, "ENV", "DEVTYPE", "==");
    ASSERT_NE(devtype, nullptr);
    EXPECT_EQ(devtype->value, "usb_device");
    if (GivesUaccess(rule)) {
      ++uaccessLines;
      EXPECT_FALSE(NamesGroup(rule)) << "an unknown group would drop the uaccess tag too";
    }
    if (NamesGroup(rule)) {
      ++groupLines;
      const UdevKey* group = FindUdevKey(rule, "GROUP", "", "=");
      const UdevKey* mode = FindUdevKey(rule, "MODE", "", "=");
      ASSERT_NE(group, nullptr);
      ASSERT_NE(mode, nullptr);
      EXPECT_EQ(group->value, "plugdev");
      EXPECT_EQ(mode->value, "0660");
    }
  }
  EXPECT_EQ(uaccessLines, 1);
  EXPECT_EQ(groupLines, 1);
}

}  // namespace
