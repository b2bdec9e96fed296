#include "database/ini_reader.h"

#include <cstdio>
#include <memory>
#include <set>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimFront(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view Trim(std::string_view text) {
  text = TrimFront(text);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

constexpr size_t kNoSection = static_cast<size_t>(-1);
constexpr size_t kReadPiece = 64 * 1024;

}  // namespace

// Takes the file piece by piece and cuts it into lines, holding at most one line's
// first maxLineLength bytes at a time.
class IniFile::Builder {
 public:
  explicit Builder(const IniReadOptions& options) : maxLineLength_(options.maxLineLength) {
    for (const std::string& name : options.sections) wanted_.insert(LowerAscii(name));
  }

  // False once the rest of the file is of no interest (a UTF-16 file).
  bool Add(std::string_view piece) {
    while (!piece.empty() && !file_.utf16_) {
      const size_t end = piece.find('\n');
      const std::string_view part = piece.substr(0, end);
      if (end == std::string_view::npos) {
        Keep(part);
        return true;
      }
      piece.remove_prefix(end + 1);
      if (pending_.empty() && dropped_ == 0 && part.size() <= maxLineLength_) {
        Line(part, false);  // the whole line lies in this piece: no copy
      } else {
        Keep(part);
        EndPendingLine();
      }
    }
    return !file_.utf16_;
  }

  IniFile Finish() {
    if (!pending_.empty() || dropped_ > 0)
      EndPendingLine();
    return std::move(file_);
  }

 private:
  // Adds to the line being collected what fits within the limit; the rest is dropped,
  // noting whether it held an "=" (the line is then still an entry).
  void Keep(std::string_view part) {
    const size_t room = maxLineLength_ - pending_.size();
    pending_.append(part.substr(0, room));
    if (part.size() > room) {
      const std::string_view dropped = part.substr(room);
      dropped_ += dropped.size();
      lastDropped_ = dropped.back();
      equalsDropped_ = equalsDropped_ || dropped.find('=') != std::string_view::npos;
    }
  }

  void EndPendingLine() {
    // A CRLF line one byte over the limit lost only its CR.
    const bool cut = dropped_ > 1 || (dropped_ == 1 && lastDropped_ != '\r');
    Line(pending_, cut);
    pending_.clear();
    dropped_ = 0;
    equalsDropped_ = false;
  }

  void Line(std::string_view line, bool cut) {
    if (firstLine_) {
      firstLine_ = false;
      if (line.starts_with(kUtf16LeBom) || line.starts_with(kUtf16BeBom)) {
        file_.utf16_ = true;
        return;
      }
      if (line.starts_with(kUtf8Bom))
        line.remove_prefix(kUtf8Bom.size());
    }
    if (!cut && line.ends_with('\r'))
      line.remove_suffix(1);

    // The end of a cut line is not its end: nothing is trimmed there.
    const std::string_view trimmed = cut ? TrimFront(line) : Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#')
      return;

    if (trimmed.front() == '[') {
      const size_t close = trimmed.find(']');
      if (close != std::string_view::npos)
        StartSection(Trim(trimmed.substr(1, close - 1)));
      return;
    }

    if (current_ == kNoSection)
      return;
    const size_t equals = trimmed.find('=');
    IniEntry entry;
    entry.cut = cut;
    if (equals != std::string_view::npos) {
      entry.key = Trim(trimmed.substr(0, equals));
      const std::string_view value = TrimFront(trimmed.substr(equals + 1));
      entry.value = cut ? value : Trim(value);
    } else if (cut && equalsDropped_) {
      entry.key = trimmed;  // the "=" lies in the part not kept
    } else {
      return;
    }
    file_.sections_[current_].entries.push_back(std::move(entry));
  }

  void StartSection(std::string_view name) {
    std::string key = LowerAscii(name);
    if (!wanted_.empty() && !wanted_.contains(key)) {
      current_ = kNoSection;  // its entries are not kept
      return;
    }
    const auto [at, added] =
        file_.sectionIndex_.try_emplace(std::move(key), file_.sections_.size());
    if (added)
      file_.sections_.push_back(Section{std::string(name), {}});
    current_ = at->second;
  }

  const size_t maxLineLength_;
  std::set<std::string> wanted_;  // lower-cased; empty: every section
  IniFile file_;
  // The line being collected across pieces, and what was dropped of it.
  std::string pending_;
  size_t dropped_ = 0;
  char lastDropped_ = 0;
  bool equalsDropped_ = false;
  bool firstLine_ = true;
  // Index of the section being read; entries before the first section have nowhere to go.
  size_t current_ = kNoSection;
};

IniFile IniFile::Read(const std::string& path, const IniReadOptions& options) {
  // C stdio rather than a stream: reading a folder or a failing device only sets an error
  // flag here, where a stream buffer would throw.
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return IniFile{};
  Builder builder(options);
  const auto buffer = std::make_unique<char[]>(kReadPiece);
  size_t got = 0;
  while ((got = std::fread(buffer.get(), 1, kReadPiece, file)) > 0)
    if (!builder.Add(std::string_view(buffer.get(), got)))
      break;
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed)
    return IniFile{};
  return builder.Finish();
}

IniFile IniFile::Parse(std::string_view text, const IniReadOptions& options) {
  Builder builder(options);
  builder.Add(text);
  return builder.Finish();
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  const auto found = sectionIndex_.find(LowerAscii(name));
  return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

std::span<const IniEntry> IniFile::Entries(std::string_view section) const {
  const Section* found = FindSection(section);
  if (found == nullptr)
    return {};
  return found->entries;
}

const IniEntry* IniFile::Find(std::string_view section, std::string_view key) const {
  for (const IniEntry& entry : Entries(section))
    if (entry.key == key)
      return &entry;
  return nullptr;
}

std::string IniFile::Value(std::string_view section, std::string_view key,
                           std::string_view fallback) const {
  const IniEntry* entry = Find(section, key);
  return entry != nullptr ? entry->value : std::string(fallback);
}
