// The fuzzer's seed files, valid and broken, through the loader: a failed load shows
// exactly one error box, and the counts always match the records kept.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "tests/database/ini_test_files.h"

namespace {

int CountCaption(const std::vector<FakeWindow::Message>& messages, const std::string& caption) {
  int count = 0;
  for (const FakeWindow::Message& m : messages) count += m.caption == caption ? 1 : 0;
  return count;
}

TEST(FuzzSeeds, EveryLoadEndsInOneConsistentState) {
  const std::filesystem::path seeds = std::filesystem::path(FW_SOURCE_DIR) / "fuzz/corpus/fuzz_ini";
  std::set<std::string> loaded;
  int files = 0;
  for (const auto& file : std::filesystem::directory_iterator(seeds)) {
    SCOPED_TRACE(file.path().filename().string());
    ++files;
    FakeWindow window;
    FlashDatabase db;
    const bool ok = LoadDatabase(db, window.Boxes(), file.path().string());
    if (ok)
      loaded.insert(file.path().filename().string());
    EXPECT_EQ(CountCaption(window.messages, "Error"), ok ? 0 : 1);
    EXPECT_EQ(CountCaption(window.messages, "Error") + CountCaption(window.messages, "Warning"),
              static_cast<int>(window.messages.size()));
    if (!ok) {
      ASSERT_FALSE(window.messages.empty());
      EXPECT_EQ(window.messages.back().caption, "Error");  // the error ends the load
    }
    EXPECT_EQ(static_cast<size_t>(db.moduleCount), db.modules.size());
    EXPECT_EQ(static_cast<size_t>(db.chipCount), db.chips.size());
    EXPECT_EQ(static_cast<size_t>(db.vendorCount), db.vendors.size());
    EXPECT_EQ(static_cast<size_t>(db.dumpHashCount), db.dumpHashes.size());
  }
  EXPECT_GE(files, 10);
  // The well-formed seeds load; the broken ones are the rest.
  for (const char* name : {"sample.ini", "sample_crlf.ini", "sample_bom.ini", "example.ini",
                           "setup_only.ini", "utf8_names.ini"}) {
    EXPECT_EQ(loaded.count(name), 1u) << name;
  }
}

}  // namespace
