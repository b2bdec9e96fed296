// A strict reader of udev rule files, for checking the rule the tool installs where
// `udevadm verify` is not available. It accepts a subset of udev's syntax: every key
// followed by an operator and a double-quoted value, keys separated by commas, match
// keys compared with == or !=, assignments made with =, +=, -= or :=.
#pragma once

#include <string>
#include <vector>

struct UdevKey {
  std::string name;       // e.g. "ATTR"
  std::string attribute;  // the part in braces, e.g. "idVendor"; empty without braces
  std::string op;         // "==", "!=", "=", "+=", "-=" or ":="
  std::string value;      // without the quotes

  bool IsMatch() const { return op == "==" || op == "!="; }
};

struct UdevRule {
  int lineNumber = 0;
  std::vector<UdevKey> keys;
};

struct UdevRuleError {
  int lineNumber = 0;
  std::string reason;
};

struct UdevRuleFile {
  std::vector<UdevRule> rules;  // one per rule line, comments and blank lines left out
  std::vector<UdevRuleError> errors;
};

UdevRuleFile ParseUdevRules(const std::string& text);

// The first key of the rule with this name, attribute and operator, or nullptr.
const UdevKey* FindUdevKey(const UdevRule& rule, const std::string& name,
                           const std::string& attribute, const std::string& op);
