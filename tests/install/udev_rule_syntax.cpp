#include "tests/install/udev_rule_syntax.h"

#include <array>
#include <cctype>
#include <optional>
#include <sstream>
#include <string_view>

namespace {

struct KeyKind {
  std::string_view name;
  bool canMatch;
  bool canAssign;
  bool needsAttribute;
  bool plainAssignOnly;  // takes = or := only (a single value, no list)
};

// udev's keys; the flags follow udev(7).
constexpr std::array kKeyKinds{
    KeyKind{"ACTION", true, false, false, false},
    KeyKind{"DEVPATH", true, false, false, false},
    KeyKind{"KERNEL", true, false, false, false},
    KeyKind{"KERNELS", true, false, false, false},
    KeyKind{"SUBSYSTEM", true, false, false, false},
    KeyKind{"SUBSYSTEMS", true, false, false, false},
    KeyKind{"DRIVER", true, false, false, false},
    KeyKind{"DRIVERS", true, false, false, false},
    KeyKind{"ATTRS", true, false, true, false},
    KeyKind{"TAGS", true, false, false, false},
    KeyKind{"TEST", true, false, false, false},
    KeyKind{"PROGRAM", true, false, false, false},
    KeyKind{"RESULT", true, false, false, false},
    KeyKind{"CONST", true, false, true, false},
    KeyKind{"NAME", true, true, false, true},
    KeyKind{"SYMLINK", true, true, false, false},
    KeyKind{"TAG", true, true, false, false},
    KeyKind{"ENV", true, true, true, false},
    KeyKind{"ATTR", true, true, true, true},
    KeyKind{"SYSCTL", true, true, true, true},
    KeyKind{"OWNER", false, true, false, true},
    KeyKind{"GROUP", false, true, false, true},
    KeyKind{"MODE", false, true, false, true},
    KeyKind{"SECLABEL", false, true, true, true},
    KeyKind{"RUN", false, true, false, false},
    KeyKind{"LABEL", false, true, false, true},
    KeyKind{"GOTO", false, true, false, true},
    KeyKind{"IMPORT", false, true, true, false},
    KeyKind{"OPTIONS", false, true, false, false},
};

const KeyKind* FindKind(std::string_view name) {
  for (const KeyKind& kind : kKeyKinds) {
    if (kind.name == name)
      return &kind;
  }
  return nullptr;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t';
}

// Reads one rule line; returns the reason it is not valid, if any.
std::optional<std::string> ParseRuleLine(std::string_view line, UdevRule& rule) {
  size_t at = 0;
  const auto skipSpaces = [&] {
    while (at < line.size() && IsSpace(line[at])) ++at;
  };
  bool hasAssignment = false;
  while (true) {
    skipSpaces();
    UdevKey key;
    const size_t nameStart = at;
    while (at < line.size() &&
           (std::isupper(static_cast<unsigned char>(line[at])) || line[at] == '_')) {
      ++at;
    }
    key.name = std::string(line.substr(nameStart, at - nameStart));
    if (key.name.empty())
      return "key name expected at column " + std::to_string(at + 1);
    const KeyKind* kind = FindKind(key.name);
    if (kind == nullptr)
      return "unknown key " + key.name;

    if (at < line.size() && line[at] == '{') {
      const size_t close = line.find('}', at);
      if (close == std::string_view::npos)
        return key.name + ": '{' without '}'";
      key.attribute = std::string(line.substr(at + 1, close - at - 1));
      if (key.attribute.empty())
        return key.name + ": empty attribute";
      at = close + 1;
    }
    if (kind->needsAttribute && key.attribute.empty())
      return key.name + " needs {attribute}";
    if (!kind->needsAttribute && !key.attribute.empty() && key.name != "TEST") {
      return key.name + " takes no {attribute}";
    }

    skipSpaces();
    for (std::string_view op : {"==", "!=", "+=", "-=", ":=", "="}) {
      if (line.substr(at, op.size()) == op) {
        key.op = std::string(op);
        at += op.size();
        break;
      }
    }
    if (key.op.empty())
      return key.name + ": operator expected";
    if (key.IsMatch() && !kind->canMatch)
      return key.name + " cannot be matched";
    if (!key.IsMatch()) {
      if (!kind->canAssign)
        return key.name + " is a match key and needs == or !=";
      if (kind->plainAssignOnly && key.op != "=" && key.op != ":=") {
        return key.name + " takes = or :=, not " + key.op;
      }
      if (key.op == "-=" && key.name != "TAG")
        return key.name + " cannot be removed with -=";
      hasAssignment = true;
    }

    skipSpaces();
    if (at >= line.size() || line[at] != '"')
      return key.name + ": value must be quoted";
    const size_t close = line.find('"', at + 1);
    if (close == std::string_view::npos)
      return key.name + ": unterminated value";
    key.value = std::string(line.substr(at + 1, close - at - 1));
    if (key.value.find('\\') != std::string::npos)
      return key.name + ": escapes not allowed";
    at = close + 1;
    rule.keys.push_back(std::move(key));

    skipSpaces();
    if (at == line.size())
      break;
    if (line[at] != ',')
      return "',' expected after " + rule.keys.back().name;
    ++at;
    skipSpaces();
    if (at == line.size())
      return "',' at the end of the line";
  }
  if (!hasAssignment)
    return "rule assigns nothing";
  return std::nullopt;
}

}  // namespace

UdevRuleFile ParseUdevRules(const std::string& text) {
  UdevRuleFile file;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    size_t first = 0;
    while (first < line.size() && IsSpace(line[first])) ++first;
    if (first == line.size() || line[first] == '#')
      continue;
    if (line.back() == '\\') {
      file.errors.push_back({number, "continued lines not allowed"});
      continue;
    }
    UdevRule rule;
    rule.lineNumber = number;
    if (auto reason = ParseRuleLine(std::string_view(line).substr(first), rule)) {
      file.errors.push_back({number, *reason});
    } else {
      file.rules.push_back(std::move(rule));
    }
  }
  return file;
}

const UdevKey* FindUdevKey(const UdevRule& rule, const std::string& name,
                           const std::string& attribute, const std::string& op) {
  for (const UdevKey& key : rule.keys) {
    if (key.name == name && key.attribute == attribute && key.op == op)
      return &key;
  }
  return nullptr;
}
