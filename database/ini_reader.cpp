#include "database/ini_reader.h"

#include <cstdio>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i]))
      return false;
  return true;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

IniFile IniFile::Read(const std::string& path) {
  // C stdio rather than a stream: reading a folder or a failing device only sets an error
  // flag here, where a stream buffer would throw.
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return IniFile{};
  std::string text;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed)
    return IniFile{};
  return Parse(text);
}

IniFile IniFile::Parse(std::string_view text) {
  IniFile file;
  if (text.starts_with(kUtf8Bom))
    text.remove_prefix(kUtf8Bom.size());

  // Index of the section being read; entries before the first section have nowhere to go.
  constexpr size_t kNoSection = static_cast<size_t>(-1);
  size_t current = kNoSection;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r'))
      line.remove_suffix(1);

    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#')
      continue;

    if (trimmed.front() == '[') {
      const size_t close = trimmed.find(']');
      if (close == std::string_view::npos)
        continue;
      const std::string_view name = Trim(trimmed.substr(1, close - 1));
      if (const Section* known = file.FindSection(name)) {
        current = static_cast<size_t>(known - file.sections_.data());
      } else {
        current = file.sections_.size();
        file.sections_.push_back(Section{std::string(name), {}});
      }
      continue;
    }

    const size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos || current == kNoSection)
      continue;
    file.sections_[current].entries.push_back(
        IniEntry{std::string(Trim(trimmed.substr(0, equals))),
                 std::string(Trim(trimmed.substr(equals + 1)))});
  }
  return file;
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  for (const Section& section : sections_)
    if (SameNameIgnoringCase(section.name, name))
      return &section;
  return nullptr;
}

std::span<const IniEntry> IniFile::Entries(std::string_view section) const {
  const Section* found = FindSection(section);
  if (found == nullptr)
    return {};
  return found->entries;
}

std::string IniFile::Value(std::string_view section, std::string_view key,
                           std::string_view fallback) const {
  for (const IniEntry& entry : Entries(section))
    if (entry.key == key)
      return entry.value;
  return std::string(fallback);
}
