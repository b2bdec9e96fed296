// The example database as installed loads cleanly, so the launcher's first start of the
// tool ends in a working window.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "database/load_database.h"
#include "tests/support/fake_window.h"

namespace {

const std::filesystem::path kStagedExample = FW_STAGED_EXAMPLE;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(InstalledExampleDatabase, HasTheNameTheToolOpens) {
  EXPECT_EQ(kStagedExample.filename().string(), kDatabaseFileName);
}

TEST(InstalledExampleDatabase, IsTheShippedExample) {
  ASSERT_TRUE(std::filesystem::is_regular_file(kStagedExample)) << kStagedExample;
  const std::string installed = ReadFile(kStagedExample);
  EXPECT_FALSE(installed.empty());
  EXPECT_EQ(installed,
            ReadFile(std::filesystem::path(FW_SOURCE_DIR) / "examples" / kDatabaseFileName));
}

TEST(InstalledExampleDatabase, LoadsWithoutAnyMessage) {
  FlashDatabase db;
  FakeWindow window;
  ASSERT_TRUE(LoadDatabase(db, window.Boxes(), kStagedExample.string()));
  for (const FakeWindow::Message& message : window.messages) {
    ADD_FAILURE() << message.caption << ": " << message.text;
  }
  EXPECT_FALSE(window.closed);
  EXPECT_GT(db.moduleCount, 0);
  EXPECT_GT(db.chipCount, 0);
  EXPECT_GT(db.vendorCount, 0);
  EXPECT_EQ(db.moduleCount, static_cast<int>(db.modules.size()));
  EXPECT_EQ(db.chipCount, static_cast<int>(db.chips.size()));
  EXPECT_EQ(db.vendorCount, static_cast<int>(db.vendors.size()));
  EXPECT_EQ(db.dumpHashCount, static_cast<int>(db.dumpHashes.size()));
  const int mains = (db.settings.md5Mode == HashMode::Main) +
                    (db.settings.sha1Mode == HashMode::Main) +
                    (db.settings.crcMode == HashMode::Main);
  EXPECT_EQ(mains, 1);
}

}  // namespace
