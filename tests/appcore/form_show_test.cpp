// First show: the database report, the main-hash line, and the working state the window
// is put in, also after a database that fails to load.
#include <ostream>
#include <string>

#include "database/flash_database.h"
#include "tests/appcore/form_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

std::string Hex2(int v) {
  const char* digits = "0123456789abcdef";
  return std::string{digits[(v >> 4) & 15], digits[v & 15]};
}

// A valid database with the given entry counts and the three Setup values.
std::string DatabaseText(int modules, int vendors, int chips, int hashes, const char* md5,
                         const char* sha1, const char* crc) {
  std::string ini = "[Modules]\n";
  const char* sizes[] = {"16", "32", "64"};
  for (int i = 0; i < modules; ++i)
    ini += "M" + std::to_string(i) + "=" + Hex2(i + 1) + "," + sizes[i % 3] + "," +
           std::to_string(i % 2) + "\n";
  ini += "\n[Chips]\n";
  for (int i = 0; i < chips; ++i)
    ini += std::to_string(i) + "=Chip " + std::to_string(i) + ",16,1,c2," + Hex2(i) + "\n";
  ini += "\n[Vendors]\n";
  for (int i = 0; i < vendors; ++i)
    ini += std::to_string(i) + "=Vendor " + std::to_string(i) + "," + Hex2(0x10 + i) + "\n";
  ini += "\n[Hash]\n";
  for (int i = 0; i < hashes; ++i)
    ini += std::to_string(i) + "=Dump " + std::to_string(i) + "," + std::string(30, 'a') + Hex2(i) +
           "," + std::string(38, 'B') + Hex2(i) + ",0000ab" + Hex2(i) + "\n";
  ini += std::string("\n[Setup]\nMD5_check=") + md5 + "\nSHA1_check=" + sha1 +
         "\nAGI_CRC_check=" + crc + "\n";
  return ini;
}

class FormShowTest : public FormFixture {
 protected:
  void UseDatabase(const std::string& text) {
    ASSERT_FALSE(dir.Path().empty());
    ctx.databasePath = dir.Write("kz1_v2.6.ini", text);
  }

  TempDir dir;
};

TEST_F(FormShowTest, ReportsCountsAndMainHash) {
  UseDatabase(DatabaseText(3, 5, 40, 12, "m", "1", "1"));
  FormShow(ctx);

  EXPECT_FALSE(window.closed);
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(Lines(), Green({"Program started. Module types 3, vendors 5, chips 40, dumps hash's "
                            "12 in database.",
                            "MD5 main hash, SHA1 check, AGI CRC check"}));
}

struct MainHashCase {
  const char* md5;
  const char* sha1;
  const char* crc;
  const char* line;
};

void PrintTo(const MainHashCase& c, std::ostream* os) {
  *os << "MD5_check=" << c.md5 << " SHA1_check=" << c.sha1 << " AGI_CRC_check=" << c.crc;
}

class MainHashLine : public FormShowTest, public ::testing::WithParamInterface<MainHashCase> {};

TEST_P(MainHashLine, NamesTheMainHashAndEachOtherDigest) {
  const MainHashCase& c = GetParam();
  UseDatabase(DatabaseText(1, 1, 1, 1, c.md5, c.sha1, c.crc));
  FormShow(ctx);

  ASSERT_EQ(ctx.log.LineCount(), 2);
  EXPECT_EQ(ctx.log.Row(1).text, Stamp() + c.line);
  EXPECT_EQ(ctx.log.Row(1).colour, LogColour::Green);
}

INSTANTIATE_TEST_SUITE_P(
    FormShow, MainHashLine,
    ::testing::Values(
        MainHashCase{"1", "M", "0", "SHA1 main hash, MD5 check, AGI CRC NOT check"},
        MainHashCase{"0", "0", "m", "AGI CRC main hash, MD5 NOT check, SHA1 NOT check"},
        MainHashCase{"M", "0", "0", "MD5 main hash, SHA1 NOT check, AGI CRC NOT check"},
        MainHashCase{"1", "1", "m", "AGI CRC main hash, MD5 check, SHA1 check"},
        MainHashCase{"m", "1", "0", "MD5 main hash, SHA1 check, AGI CRC NOT check"}));

TEST_F(FormShowTest, PutsTheWindowIntoAutoAndReadMode) {
  UseDatabase(DatabaseText(3, 5, 40, 12, "m", "1", "1"));
  ctx.readMode = false;
  window.SetText(Control::Button1, "Check FLASH");
  window.SetEnabled(Control::RadioButton1, false);
  window.SetEnabled(Control::RadioButton2, false);
  FormShow(ctx);

  EXPECT_TRUE(window.IsEnabled(Control::RadioButton1));
  EXPECT_TRUE(window.IsEnabled(Control::RadioButton2));
  EXPECT_TRUE(window.IsChecked(Control::RadioButton1));
  EXPECT_FALSE(window.IsChecked(Control::RadioButton2));
  for (Control box : {Control::MD5_check, Control::SHA1_check, Control::CRC_check}) {
    EXPECT_FALSE(window.IsEnabled(box));
    EXPECT_EQ(window.background.at(box), SystemColour::ButtonFace);
  }
  // The result boxes keep their first look.
  EXPECT_EQ(window.background.at(Control::CRC_result), SystemColour::ScrollBar);
  EXPECT_TRUE(ctx.readMode);
  EXPECT_EQ(window.Text(Control::Button1), "Read FLASH");
  EXPECT_EQ(window.textColour.at(Control::btnCancel), (Rgb{255, 0, 0}));
  EXPECT_EQ(ctx.log.LineCount(), 2);
}

TEST_F(FormShowTest, BothLinesCarryOneTimeStamp) {
  UseDatabase(DatabaseText(1, 1, 1, 1, "m", "0", "0"));
  double clock = 10 * 3600.0 / 86400.0;
  ctx.now = [&clock] { return clock += 1.0 / 86400.0; };  // one second later on every call
  FormShow(ctx);

  ASSERT_EQ(ctx.log.LineCount(), 2);
  const std::string first = ctx.log.Row(0).text;
  const std::string second = ctx.log.Row(1).text;
  EXPECT_EQ(first.substr(0, first.find(']') + 1), second.substr(0, second.find(']') + 1));
  EXPECT_EQ(first.substr(0, first.find(']') + 1),
            "[" + TimeText(10 * 3600.0 / 86400.0 + 1.0 / 86400.0) + "]");
}

TEST_F(FormShowTest, MissingFileClosesTheWindowAfterTheReport) {
  ASSERT_FALSE(dir.Path().empty());
  ctx.databasePath = dir.File("kz1_v2.6.ini");  // never written
  FormShow(ctx);

  EXPECT_EQ(window.messages,
            (std::vector<FakeWindow::Message>{{"INI file error: No main hash", "Error", false}}));
  EXPECT_TRUE(window.closed);
  // The later steps still run on the empty database.
  EXPECT_EQ(Lines(),
            Green({"Program started. Module types 0, vendors 0, chips 0, dumps hash's 0 "
                   "in database.",
                   "AGI CRC main hash, MD5 NOT check, SHA1 NOT check, AGI CRC NOT check"}));
  EXPECT_TRUE(window.IsChecked(Control::RadioButton1));
  EXPECT_EQ(window.Text(Control::Button1), "Read FLASH");
}

TEST_F(FormShowTest, ErrorInModulesClosesTheWindowAndReportsWhatWasLoaded) {
  UseDatabase("[Modules]\nA=3,16,0\nX=7f,16,0\n[Chips]\n1=C,8,0,c2,a5\n[Setup]\nMD5_check=m\n");
  FormShow(ctx);

  EXPECT_EQ(window.messages, (std::vector<FakeWindow::Message>{
                                 {"Flash module ID incorrect (X=7f,16,0)", "Error", false}}));
  EXPECT_TRUE(window.closed);
  ASSERT_EQ(ctx.log.LineCount(), 2);
  EXPECT_EQ(ctx.log.Row(0).text, Stamp() +
                                     "Program started. Module types 1, vendors 0, chips 0, "
                                     "dumps hash's 0 in database.");
}

}  // namespace
