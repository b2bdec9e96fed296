// Feeds arbitrary bytes to the INI reader and, as the database file, to LoadDatabase,
// then checks what a load may leave behind: nothing beyond the record limits (in
// characters of UTF-8 text, never half a character), counts that match the records,
// exactly one error box for a failed load, no message longer than its quotes allow, and
// time in proportion to the input.
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "database/ini_reader.h"
#include "database/load_database.h"
#include "database/utf8_text.h"
#include "fuzz/message_count.h"

namespace {

// The file the input is written to, made once per fuzzing process and removed at exit.
// It lives in memory (/dev/shm) when it can: rewriting a file on disk thousands of times
// a second is slow.
class InputFile {
 public:
  InputFile() {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    if (access("/dev/shm", W_OK) == 0)
      dir = "/dev/shm";
    path_ = dir + "/fuzz_ini-XXXXXX";
    const int fd = mkstemp(path_.data());
    if (fd < 0)
      std::abort();
    close(fd);
  }
  ~InputFile() { std::remove(path_.c_str()); }

  const std::string& Write(const uint8_t* data, size_t size) const {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr)
      std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
      std::abort();
    std::fclose(file);
    return path_;
  }

 private:
  std::string path_;
};

void Require(bool condition) {
  if (!condition)
    std::abort();
}

bool IsLowerHex(const std::string& text, size_t length) {
  if (text.size() != length)
    return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
      return false;
  return true;
}

// The reader's line limit, made small so that short inputs cross it.
constexpr size_t kSmallLineLimit = 24;

void CheckReader(std::string_view text) {
  const IniFile ini = IniFile::Parse(text);
  const IniFile capped = IniFile::Parse(text, {.maxLineLength = kSmallLineLimit});
  for (const char* section : {"Modules", "Chips", "Vendors", "Hash", "Setup"}) {
    for (const IniEntry& entry : ini.Entries(section)) {
      // A line end never ends up inside a key or value, nor blanks at their ends.
      Require(entry.key.find('\n') == std::string::npos);
      Require(entry.value.find('\n') == std::string::npos);
      Require(entry.value.empty() || (entry.value.front() != ' ' && entry.value.back() != ' '));
      Require(!entry.cut);
    }
    // Nothing beyond the limit is kept of any line.
    for (const IniEntry& entry : capped.Entries(section))
      Require(entry.key.size() + entry.value.size() <= kSmallLineLimit);
  }
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The longest message: the longest pattern with a key and a value of 200 characters of up
// to 4 bytes each, and the "…" after each.
constexpr size_t kLongestMessage = 64 + 2 * (200 * 4 + 3);

void CheckDatabase(const FlashDatabase& db, bool loaded, const MessageCount& window,
                   bool inputIsUtf8) {
  Require(window.otherBoxes == 0);
  Require(window.longestText <= kLongestMessage);
  Require(window.errorBoxes == (loaded ? 0 : 1));
  Require(db.moduleCount == static_cast<int32_t>(db.modules.size()));
  Require(db.chipCount == static_cast<int32_t>(db.chips.size()));
  Require(db.vendorCount == static_cast<int32_t>(db.vendors.size()));
  Require(db.dumpHashCount == static_cast<int32_t>(db.dumpHashes.size()));
  Require(window.warningBoxes <= db.dumpHashCount + 1);

  for (const ModuleRecord& m : db.modules) {
    Require(m.sizeMB == 16 || m.sizeMB == 32 || m.sizeMB == 64);
    Require(m.dualBank <= 1);
  }
  for (const ChipRecord& c : db.chips) {
    Require(c.idLength >= 2 && c.idLength <= 4);
    Require(CharacterCount(c.chipName) <= 49);
    Require(IsValidUtf8(c.chipName) || !inputIsUtf8);
    Require(c.busWidth == 8 || c.busWidth == 16);
    Require(c.writeMode <= 2);
  }
  for (const VendorRecord& v : db.vendors) {
    Require(CharacterCount(v.vendorName) <= 50);
    Require(IsValidUtf8(v.vendorName) || !inputIsUtf8);
  }
  for (const DumpHashRecord& d : db.dumpHashes) {
    Require(CharacterCount(d.description) <= 100);
    Require(IsValidUtf8(d.description) || !inputIsUtf8);  // never cut inside a character
    Require(IsLowerHex(d.md5Text, 32) && IsLowerHex(d.sha1Text, 40) && IsLowerHex(d.crcText, 8));
  }
  if (loaded) {
    int mains = 0;
    for (HashMode mode : {db.settings.md5Mode, db.settings.sha1Mode, db.settings.crcMode})
      mains += mode == HashMode::Main ? 1 : 0;
    Require(mains == 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const InputFile input;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const double start = ThreadCpuSeconds();
  CheckReader(text);

  MessageCount window;
  FlashDatabase db;
  const bool loaded = LoadDatabase(db, window.Boxes(), input.Write(data, size));
  // Linear work takes milliseconds here even under the sanitizers; the bound leaves room
  // for a busy machine (page faults count as the thread's time) and still stops at work
  // that grows with the square of the input.
  Require(ThreadCpuSeconds() - start < 1.0 + 1e-4 * static_cast<double>(size));
  CheckDatabase(db, loaded, window, IsValidUtf8(text));
  return 0;
}
