// LoadDatabase: whole files, the order of the sections, what stands after a failure,
// and files written with CRLF line ends or a byte order mark.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/database/ini_test_files.h"

namespace {

const char kSampleFile[] =
    "[Modules]\n"
    "A=3,16,0\n"
    "B=5,32,1\n"
    "C=6,64,1\n"
    "\n"
    "[Chips]\n"
    "1=Sample chip S8,8,0,c2,a5\n"
    "2=Sample chip W16,16,1,c2,22,7e,01\n"
    "\n"
    "[Vendors]\n"
    "1=Sample vendor,c2\n"
    "\n"
    "[Hash]\n"
    "1=Sample dump rev 1,0123456789ABCDEF0123456789ABCDEF,"
    "0123456789abcdef0123456789abcdef01234567,89abcdef\n"
    "\n"
    "[Setup]\n"
    "MD5_check=m\n"
    "SHA1_check=1\n"
    "AGI_CRC_check=0\n";

void ExpectSampleLoaded(const LoadResult& r) {
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(r.db.moduleCount, 3);
  EXPECT_EQ(r.db.chipCount, 2);
  EXPECT_EQ(r.db.vendorCount, 1);
  EXPECT_EQ(r.db.dumpHashCount, 1);
  ASSERT_EQ(r.db.modules.size(), 3u);
  ASSERT_EQ(r.db.chips.size(), 2u);
  ASSERT_EQ(r.db.vendors.size(), 1u);
  ASSERT_EQ(r.db.dumpHashes.size(), 1u);
  EXPECT_EQ(r.db.modules[2].moduleId, 6);
  EXPECT_EQ(r.db.modules[2].sizeMB, 64);
  EXPECT_EQ(r.db.modules[2].dualBank, 1);
  EXPECT_EQ(r.db.chips[1].chipName, "Sample chip W16");
  EXPECT_EQ(r.db.chips[1].chipId, (std::array<uint8_t, 4>{0xC2, 0x22, 0x7E, 0x01}));
  EXPECT_EQ(r.db.chips[1].idLength, 4);
  EXPECT_EQ(r.db.vendors[0].vendorName, "Sample vendor");
  EXPECT_EQ(r.db.vendors[0].vendorId, 0xC2);
  EXPECT_EQ(r.db.dumpHashes[0].md5Text, "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(r.db.dumpHashes[0].crcText, "89abcdef");
  EXPECT_EQ(r.db.settings.md5Mode, HashMode::Main);
  EXPECT_EQ(r.db.settings.sha1Mode, HashMode::Checked);
  EXPECT_EQ(r.db.settings.crcMode, HashMode::NotChecked);
}

std::string WithCrlf(const std::string& lf) {
  std::string crlf;
  for (char c : lf) {
    if (c == '\n')
      crlf += '\r';
    crlf += c;
  }
  return crlf;
}

TEST(LoadDatabase, LoadsTheSampleFile) {
  ExpectSampleLoaded(LoadText(kSampleFile));
}

TEST(LoadDatabase, LoadsTheSampleFileWithCrlfLineEnds) {
  const LoadResult r = LoadText(WithCrlf(kSampleFile));
  ExpectSampleLoaded(r);
  // No CR is left at the end of a stored text.
  EXPECT_EQ(r.db.dumpHashes[0].crcText.size(), 8u);
}

TEST(LoadDatabase, LoadsTheSampleFileWithAByteOrderMark) {
  ExpectSampleLoaded(LoadText("\xEF\xBB\xBF" + std::string(kSampleFile)));
  ExpectSampleLoaded(LoadText("\xEF\xBB\xBF" + WithCrlf(kSampleFile)));
}

TEST(LoadDatabase, RefusesAUtf16File) {
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string(kSampleFile)) utf16 += std::string{c, '\0'};
  const LoadResult r = LoadText(utf16);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.messages, std::vector{ErrorBox("INI file error: the file is saved as UTF-16; it "
                                             "must be UTF-8 or ASCII text")});
  EXPECT_EQ(r.db.moduleCount, 0);
}

TEST(LoadDatabase, SectionOrderInTheFileDoesNotMatter) {
  const std::string file = std::string(kSampleFile);
  const size_t setup = file.find("[Setup]");
  ExpectSampleLoaded(LoadText(file.substr(setup) + "\n" + file.substr(0, setup)));
}

TEST(LoadDatabase, ErrorInModulesStopsBeforeChipsIsRead) {
  const LoadResult r = LoadText(
      "[Modules]\nA=3,16,0\nB=5,32,1\nX=7f,16,0\nD=6,64,1\n"
      "[Chips]\n1=Bad,12,0,1,2\n"  // never reached, so never reported
      "[Vendors]\n1=V,01\n[Hash]\n1=D," +
      std::string(32, 'a') + "," + std::string(40, 'b') + "," + std::string(8, 'c') +
      "\n[Setup]\nMD5_check=m\nSHA1_check=1\n");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.messages, std::vector{ErrorBox("Flash module ID incorrect (X=7f,16,0)")});
  EXPECT_EQ(r.db.moduleCount, 2);
  ASSERT_EQ(r.db.modules.size(), 2u);
  EXPECT_EQ(r.db.modules[1].moduleId, 5);
  EXPECT_EQ(r.db.chipCount, 0);
  EXPECT_EQ(r.db.vendorCount, 0);
  EXPECT_EQ(r.db.dumpHashCount, 0);
  EXPECT_TRUE(r.db.chips.empty() && r.db.vendors.empty() && r.db.dumpHashes.empty());
  EXPECT_EQ(r.db.settings.md5Mode, HashMode::NotChecked);
  EXPECT_EQ(r.db.settings.sha1Mode, HashMode::NotChecked);
}

// The sections are read in the order Modules, Chips, Vendors, Hash; an error in one keeps
// the earlier sections whole and the later ones empty.
TEST(LoadDatabase, StateAfterAFailureInEachSection) {
  const std::string hash =
      "D," + std::string(32, 'a') + "," + std::string(40, 'b') + "," + std::string(8, 'c');
  struct Case {
    std::string section;
    std::string bad;
    int counts[4];  // modules, chips, vendors, dump hashes
  } cases[] = {
      {"Chips", "X=Chip,8,0,c2", {2, 1, 0, 0}},
      {"Vendors", "X=Vendor", {2, 2, 1, 0}},
      {"Hash", "X=Dump", {2, 2, 2, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section);
    auto section = [&](const std::string& name, const std::string& good1,
                       const std::string& good2) {
      std::string text = "[" + name + "]\n" + good1 + "\n";
      if (name == c.section)
        text += c.bad + "\n";
      return text + good2 + "\n";
    };
    const LoadResult r =
        LoadText(section("Modules", "A=3,16,0", "B=5,32,1") +
                 section("Chips", "1=C1,8,0,1,2", "2=C2,8,0,3,4") +
                 section("Vendors", "1=V1,01", "2=V2,02") +
                 section("Hash", "1=" + hash, "2=" + hash) + "[Setup]\nMD5_check=m\n");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messages, std::vector{ErrorBox("Parameter(s) missing INI file (" + c.bad + ")")});
    EXPECT_EQ(r.db.moduleCount, c.counts[0]);
    EXPECT_EQ(r.db.chipCount, c.counts[1]);
    EXPECT_EQ(r.db.vendorCount, c.counts[2]);
    EXPECT_EQ(r.db.dumpHashCount, c.counts[3]);
    EXPECT_EQ(r.db.modules.size(), static_cast<size_t>(c.counts[0]));
    EXPECT_EQ(r.db.chips.size(), static_cast<size_t>(c.counts[1]));
    EXPECT_EQ(r.db.vendors.size(), static_cast<size_t>(c.counts[2]));
    EXPECT_EQ(r.db.dumpHashes.size(), static_cast<size_t>(c.counts[3]));
    EXPECT_EQ(r.db.settings.md5Mode, HashMode::NotChecked);  // Setup not reached
  }
}

TEST(LoadDatabase, OnlyTheFirstErrorIsReported) {
  const LoadResult r = LoadText("[Modules]\nA=20,16,0,\nB=7f,16,0\n[Setup]\nMD5_check=x\n");
  EXPECT_EQ(r.messages, std::vector{ErrorBox("Parameter(s) missing INI file (A=20,16,0,)")});
}

TEST(LoadDatabase, StartsFromAnEmptyDatabase) {
  TempDir folder;
  FakeWindow window;
  FlashDatabase db;
  ASSERT_TRUE(LoadDatabase(db, window.Boxes(), folder.Write("good.ini", kSampleFile)));
  // Loading again into the same records does not add to what is there.
  EXPECT_FALSE(LoadDatabase(db, window.Boxes(),
                            folder.Write("bad.ini", "[Modules]\nA=1,16,0\nB=7f,16,0\n")));
  EXPECT_EQ(db.moduleCount, 1);
  EXPECT_EQ(db.modules.size(), 1u);
  EXPECT_EQ(db.chipCount, 0);
  EXPECT_TRUE(db.chips.empty());
  EXPECT_EQ(db.settings.md5Mode, HashMode::NotChecked);
}

TEST(LoadDatabase, RepeatedSectionsAndCommentsInARealisticFile) {
  const LoadResult r = LoadText(
      "; module types\n"
      "[Modules]\n"
      "# id, size, banks\n"
      "A = 3, 16, 0\n"
      "[Vendors]\n"
      "1 = AMD , 01\n"
      "[modules]\n"
      "B = 5, 32, 1\n"
      "[Setup]\n"
      "MD5_check = m\n");
  EXPECT_TRUE(r.ok);
  ASSERT_EQ(r.db.moduleCount, 2);
  EXPECT_EQ(r.db.modules[1].sizeMB, 32);
  ASSERT_EQ(r.db.vendorCount, 1);
  EXPECT_EQ(r.db.vendors[0].vendorName, "AMD ");  // only the value's ends are trimmed
}

}  // namespace
