// LoadDatabase: the Setup keys, the main-hash rules and their messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/database/ini_test_files.h"

namespace {

using Mode = HashMode;

struct SetupCase {
  std::string setup;  // lines of the Setup section
  bool ok;
  std::vector<FakeWindow::Message> messages;
  HashSettings settings;  // as they stand after the load
};

TEST(LoadSetup, ReadsModesAndAppliesTheMainHashRules) {
  const FakeWindow::Message tooMany =
      ErrorBox("INI file error: Main hashes can not be more than one");
  const FakeWindow::Message noMain = ErrorBox("INI file error: No main hash");
  const SetupCase cases[] = {
      {"MD5_check=m\nSHA1_check=1\nAGI_CRC_check=0",
       true,
       {},
       {Mode::Main, Mode::Checked, Mode::NotChecked}},
      {"MD5_check=1\nSHA1_check=M\nAGI_CRC_check=1",
       true,
       {},
       {Mode::Checked, Mode::Main, Mode::Checked}},
      {"MD5_check=0\nSHA1_check=0\nAGI_CRC_check=m",
       true,
       {},
       {Mode::NotChecked, Mode::NotChecked, Mode::Main}},
      {"MD5_check=m", true, {}, {Mode::Main, Mode::NotChecked, Mode::NotChecked}},
      // Blanks around the key and value are the reader's; the character is what counts.
      {"  MD5_check =  m  ", true, {}, {Mode::Main, Mode::NotChecked, Mode::NotChecked}},
      {"MD5_check=M\nAGI_CRC_check=m",
       false,
       {tooMany},
       {Mode::Main, Mode::NotChecked, Mode::Main}},
      {"MD5_check=m\nSHA1_check=m\nAGI_CRC_check=M",
       false,
       {tooMany},
       {Mode::Main, Mode::Main, Mode::Main}},
      {"MD5_check=0\nSHA1_check=1\nAGI_CRC_check=1",
       false,
       {noMain},
       {Mode::NotChecked, Mode::Checked, Mode::Checked}},
      {"", false, {noMain}, {}},
      // A later key is not read after a refused one.
      {"MD5_check=m\nSHA1_check=2\nAGI_CRC_check=1",
       false,
       {ErrorBox("Error INI file (SHA1_check=2)")},
       {Mode::Main, Mode::NotChecked, Mode::NotChecked}},
      {"MD5_check=m\nSHA1_check=mm\nAGI_CRC_check=1",
       false,
       {ErrorBox("Error INI file (SHA1_check=mm)")},
       {Mode::Main, Mode::NotChecked, Mode::NotChecked}},
      {"MD5_check=m\nSHA1_check=\nAGI_CRC_check=1",
       false,
       {ErrorBox("Error INI file (SHA1_check=)")},
       {Mode::Main, Mode::NotChecked, Mode::NotChecked}},
      {"MD5_check=x\nSHA1_check=m", false, {ErrorBox("Error INI file (MD5_check=x)")}, {}},
      {"MD5_check=m\nSHA1_check=0\nAGI_CRC_check=11",
       false,
       {ErrorBox("Error INI file (AGI_CRC_check=11)")},
       {Mode::Main, Mode::NotChecked, Mode::NotChecked}},
      {"MD5_check=m\nAGI_CRC_check=Checked",
       false,
       {ErrorBox("Error INI file (AGI_CRC_check=Checked)")},
       {Mode::Main, Mode::NotChecked, Mode::NotChecked}},
      {"MD5_check=\"m\"", false, {ErrorBox("Error INI file (MD5_check=\"m\")")}, {}},
      // Keys are matched as written; the first of a repeated key counts.
      {"md5_check=m", false, {noMain}, {}},
      {"MD5_check=m\nMD5_check=x", true, {}, {Mode::Main, Mode::NotChecked, Mode::NotChecked}},
  };
  for (const SetupCase& c : cases) {
    SCOPED_TRACE(c.setup);
    const LoadResult r = LoadText("[Setup]\n" + c.setup + "\n");
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_EQ(r.messages, c.messages);
    EXPECT_EQ(r.db.settings.md5Mode, c.settings.md5Mode);
    EXPECT_EQ(r.db.settings.sha1Mode, c.settings.sha1Mode);
    EXPECT_EQ(r.db.settings.crcMode, c.settings.crcMode);
  }
}

TEST(LoadSetup, FileWithOnlySetupLoadsWithNoRecords) {
  const LoadResult r = LoadText("[Setup]\nMD5_check=m\n");
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(r.db.moduleCount, 0);
  EXPECT_EQ(r.db.chipCount, 0);
  EXPECT_EQ(r.db.vendorCount, 0);
  EXPECT_EQ(r.db.dumpHashCount, 0);
  EXPECT_EQ(r.db.settings.sha1Mode, HashMode::NotChecked);
  EXPECT_EQ(r.db.settings.crcMode, HashMode::NotChecked);
}

TEST(LoadSetup, MissingFileHasNoMainHash) {
  TempDir folder;
  FakeWindow window;
  FlashDatabase db;
  EXPECT_FALSE(LoadDatabase(db, window.Boxes(), folder.File("kz1_v2.6.ini")));
  EXPECT_EQ(window.messages, std::vector{ErrorBox("INI file error: No main hash")});
  EXPECT_EQ(db.moduleCount + db.chipCount + db.vendorCount + db.dumpHashCount, 0);
  EXPECT_TRUE(db.modules.empty() && db.chips.empty() && db.vendors.empty() &&
              db.dumpHashes.empty());
}

TEST(LoadSetup, PathThatIsAFolderReadsAsAMissingFile) {
  TempDir folder;
  FakeWindow window;
  FlashDatabase db;
  EXPECT_FALSE(LoadDatabase(db, window.Boxes(), folder.File("")));
  EXPECT_EQ(window.messages, std::vector{ErrorBox("INI file error: No main hash")});
}

TEST(LoadSetup, FileWithoutSetupSectionHasNoMainHash) {
  const LoadResult r = LoadText("[Modules]\nA=3,16,0\n");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.messages, std::vector{ErrorBox("INI file error: No main hash")});
  EXPECT_EQ(r.db.moduleCount, 1);  // the sections before Setup were read
}

TEST(LoadSetup, SectionNameMatchesWithoutRegardToCase) {
  const LoadResult r = LoadText("[SETUP]\nSHA1_check=m\n[modules]\nA=3,16,0\n");
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.db.settings.sha1Mode, HashMode::Main);
  EXPECT_EQ(r.db.moduleCount, 1);
}

}  // namespace
