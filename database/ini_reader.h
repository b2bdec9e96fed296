// A small reader for the INI (profile) file of the database, written for this tool.
//
// How it reads a file:
// - A UTF-8 byte order mark at the very start is ignored. Lines end with LF; a CR right
//   before the LF (CRLF files) is dropped, so such lines read exactly as LF lines.
// - A file that starts with a UTF-16 byte order mark is not read at all: IsUtf16() tells
//   the caller, which asks for a UTF-8 or ASCII file instead.
// - Blank lines, and lines whose first non-blank character is ";" or "#", are skipped.
// - A line whose first non-blank character is "[" and that holds a "]" starts a section
//   named by the text between them, blanks trimmed. A "[" line without "]" is skipped.
//   Section names are matched without regard to (ASCII) case. A section that appears
//   again continues the same section: its entries follow the earlier ones.
// - Any other line holding "=" is an entry: the key is the text before the first "=",
//   the value the text after it. Blanks (space, tab) around the key and at both ends of
//   the value are trimmed; blanks inside the value (e.g. after a comma) are kept.
//   Quotation marks are ordinary characters. Keys are kept and matched as written.
// - Lines without "=" and entries before the first section are skipped.
// - Repeated keys are all listed in file order; Value() gives the first.
// - Of a line longer than the limit (kMaxLineLength bytes) only the start is kept (the
//   file is read piece by piece, so the rest is never held). Such an entry is marked
//   `cut`: its value is not whole and must not be taken as it stands.
// - A caller that names the sections it wants gets only those: the lines of the others
//   are read past without being stored.
// A file that cannot be opened or read (a folder, a read error) reads as a file without
// sections; a missing section has no entries. Neither is an error.
#pragma once

#include <cstddef>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct IniEntry {
  std::string key;
  std::string value;
  bool cut = false;  // the line was longer than the reader keeps
  friend bool operator==(const IniEntry&, const IniEntry&) = default;
};

inline constexpr size_t kMaxLineLength = size_t{1} << 20;

struct IniReadOptions {
  std::vector<std::string> sections = {};  // the sections to keep; empty: all of them
  size_t maxLineLength = kMaxLineLength;
};

class IniFile {
 public:
  // Reads the file at `path`; a missing or unreadable file gives an empty IniFile.
  static IniFile Read(const std::string& path, const IniReadOptions& options = {});
  // Reads the text of a whole file already in memory.
  static IniFile Parse(std::string_view text, const IniReadOptions& options = {});

  // All entries of a section in file order; empty when the section is absent.
  std::span<const IniEntry> Entries(std::string_view section) const;
  // The first entry `key` in `section`, or null when there is none.
  const IniEntry* Find(std::string_view section, std::string_view key) const;
  // The value of the first entry `key` in `section`, or `fallback` when there is none.
  std::string Value(std::string_view section, std::string_view key,
                    std::string_view fallback) const;
  // The file began with a UTF-16 byte order mark and was not read.
  bool IsUtf16() const { return utf16_; }

 private:
  class Builder;
  struct Section {
    std::string name;
    std::vector<IniEntry> entries;
  };
  const Section* FindSection(std::string_view name) const;

  std::deque<Section> sections_;  // never moved as it grows
  // Section index by lower-cased name: one look-up per header, however many there are.
  std::unordered_map<std::string, size_t> sectionIndex_;
  bool utf16_ = false;
};
