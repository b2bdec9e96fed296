// LoadDatabase: the Vendors and Hash entries, the description warning and the value limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/database/ini_test_files.h"

namespace {

const std::string kErrorIni = "Error INI file (X=";
const std::string kTooMany = "Too many parameters INI file (X=";
const std::string kMissing = "Parameter(s) missing INI file (X=";

struct VendorCase {
  std::string value;
  std::string message;  // start of the expected message; empty: accepted
  VendorRecord expected{};
};

TEST(LoadVendors, AcceptsOrRefusesEachEntry) {
  const std::string name50(50, 'v');
  const VendorCase cases[] = {
      {"AMD/Spansion,01", "", {0x01, "AMD/Spansion"}},
      {"Macronix, C2", "", {0xC2, "Macronix"}},
      {"Wide,1c2", "", {0xC2, "Wide"}},
      {name50 + ",20", "", {0x20, name50}},
      {name50 + "x,20", kErrorIni},  // the vendor name holds at most 50 characters
      {"Intel", kMissing},
      {"Intel,", kMissing},
      {"Intel,89,", kMissing},  // nothing follows the last comma: no third parameter
      {"Intel,89,90", kTooMany},
      {"Intel,zz", kErrorIni},
      {"Intel,,", kErrorIni},
  };
  for (const VendorCase& c : cases) {
    SCOPED_TRACE("X=" + c.value);
    const LoadResult r = LoadText(FileWithSection("Vendors", "A=First,04\nX=" + c.value));
    if (c.message.empty()) {
      EXPECT_TRUE(r.ok);
      EXPECT_TRUE(r.messages.empty());
      ASSERT_EQ(r.db.vendorCount, 2);
      ASSERT_EQ(r.db.vendors.size(), 2u);
      EXPECT_EQ(r.db.vendors[1].vendorId, c.expected.vendorId);
      EXPECT_EQ(r.db.vendors[1].vendorName, c.expected.vendorName);
    } else {
      EXPECT_FALSE(r.ok);
      EXPECT_EQ(r.messages, std::vector{ErrorBox(c.message + c.value + ")")});
      EXPECT_EQ(r.db.vendorCount, 1);
      EXPECT_EQ(r.db.vendors.size(), 1u);
    }
  }
}

const std::string kMd5 = "0123456789abcdef0123456789abcdef";
const std::string kSha1 = "0123456789abcdef0123456789abcdef01234567";
const std::string kCrc = "89abcdef";

std::string HashValue(const std::string& description, const std::string& md5 = kMd5,
                      const std::string& sha1 = kSha1, const std::string& crc = kCrc) {
  return description + "," + md5 + "," + sha1 + "," + crc;
}

struct HashCase {
  std::string value;
  std::string message;
};

TEST(LoadHash, RefusesDigestTextsOfWrongLengthOrCharacters) {
  const HashCase cases[] = {
      {HashValue("Dump", kMd5.substr(1)), kErrorIni},        // 31 characters
      {HashValue("Dump", kMd5 + "0"), kErrorIni},            // 33
      {HashValue("Dump", "g" + kMd5.substr(1)), kErrorIni},  // letter g
      {HashValue("Dump", " " + kMd5), kErrorIni},            // blank after the comma: 33
      {HashValue("Dump", "0x" + kMd5.substr(2)), kErrorIni},
      {HashValue("Dump", kMd5, kSha1.substr(1)), kErrorIni},
      {HashValue("Dump", kMd5, kSha1 + "a"), kErrorIni},
      {HashValue("Dump", kMd5, kSha1.substr(1) + "-"), kErrorIni},
      {HashValue("Dump", kMd5, kSha1, "1234567"), kErrorIni},
      {HashValue("Dump", kMd5, kSha1, "123456789"), kErrorIni},
      {HashValue("Dump", kMd5, kSha1, "1234567z"), kErrorIni},
      // A comma in the description shifts the texts: " rev 2" is then tested as the MD5
      // text and refused before the surplus parameter is reached.
      {HashValue("Dump, rev 2"), kErrorIni},
      {"Dump,a," + kMd5 + "," + kSha1 + "," + kCrc, kErrorIni},
      {HashValue("Dump") + ",extra", kTooMany},
      {HashValue("Dump", kMd5.substr(1)) + ",extra", kErrorIni},  // MD5 tested first
      {HashValue("Dump") + ",", kMissing},
      {"Dump," + kMd5 + "," + kSha1, kMissing},
      {"Dump," + kMd5 + "," + kSha1 + ",", kMissing},
      {"Dump," + kMd5 + "," + kSha1 + ",,", kErrorIni},  // an empty CRC text
      {"Dump", kMissing},
  };
  for (const HashCase& c : cases) {
    SCOPED_TRACE("X=" + c.value);
    const LoadResult r =
        LoadText(FileWithSection("Hash", "A=" + HashValue("First") + "\nX=" + c.value));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messages, std::vector{ErrorBox(c.message + c.value + ")")});
    EXPECT_EQ(r.db.dumpHashCount, 1);
    EXPECT_EQ(r.db.dumpHashes.size(), 1u);
  }
}

TEST(LoadHash, StoresDigestTextsInLowerCase) {
  const LoadResult r =
      LoadText(FileWithSection("Hash",
                               "1=Sample dump rev 1,0123456789ABCDEF0123456789ABCDEF,"
                               "0123456789ABCDEF0123456789abcdef01234567,89ABcdEF"));
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(r.messages.empty());
  ASSERT_EQ(r.db.dumpHashCount, 1);
  const DumpHashRecord& d = r.db.dumpHashes[0];
  EXPECT_EQ(d.description, "Sample dump rev 1");
  EXPECT_EQ(d.md5Text, "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(d.sha1Text, "0123456789abcdef0123456789abcdef01234567");
  EXPECT_EQ(d.crcText, "89abcdef");
}

// Descriptions longer than 99 characters are warned about and kept to 100.
struct DescriptionCase {
  size_t length;
  bool warned;
  size_t kept;
};

TEST(LoadHash, LongDescriptionsAreWarnedAboutAndCut) {
  const DescriptionCase cases[] = {
      {0, false, 0},    {99, false, 99},  {100, true, 100}, {101, true, 100},
      {110, true, 100}, {116, true, 100},  // the longest that keeps the whole value within 199
                                           // characters
  };
  for (const DescriptionCase& c : cases) {
    SCOPED_TRACE(c.length);
    std::string description;
    for (size_t i = 0; i < c.length; ++i) description += static_cast<char>('a' + i % 26);
    const std::string value = HashValue(description);
    const LoadResult r = LoadText(FileWithSection("Hash", "D=" + value));
    EXPECT_TRUE(r.ok);
    if (c.warned) {
      EXPECT_EQ(r.messages,
                std::vector{WarningBox(
                    "Dump description too long, truncated to 100 symbols (D=" + value + ")")});
    } else {
      EXPECT_TRUE(r.messages.empty());
    }
    ASSERT_EQ(r.db.dumpHashCount, 1);
    EXPECT_EQ(r.db.dumpHashes[0].description, description.substr(0, c.kept));
    EXPECT_EQ(r.db.dumpHashes[0].md5Text, kMd5);
  }
}

TEST(LoadHash, WarningComesBeforeTheErrorOfALaterParameter) {
  const std::string value = HashValue(std::string(110, 'd'), kMd5.substr(1));
  const LoadResult r = LoadText(FileWithSection("Hash", "D=" + value));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.messages,
            (std::vector{
                WarningBox("Dump description too long, truncated to 100 symbols (D=" + value + ")"),
                ErrorBox("Error INI file (D=" + value + ")")}));
  EXPECT_EQ(r.db.dumpHashCount, 0);
}

TEST(LoadEntries, ValueLongerThan199CharactersIsRefusedInEverySection) {
  const struct {
    std::string section;
    std::string value;
  } cases[] = {
      // A 117-character description: refused as too long a value, without a warning.
      {"Hash", HashValue(std::string(117, 'd'))},
      {"Modules", "3,16,0" + std::string(193, ' ') + "x"},
      {"Chips", std::string(192, 'n') + ",8,0,1,2"},
      {"Vendors", std::string(197, 'n') + ",01"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.section);
    ASSERT_EQ(c.value.size(), 200u);
    const LoadResult r = LoadText(FileWithSection(c.section, "X=" + c.value));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messages, std::vector{ErrorBox("Error INI file (X=" + c.value + ")")});
  }
}

TEST(LoadEntries, ValueOf199CharactersIsAccepted) {
  const std::string value = "3,16,0" + std::string(192, ' ') + "x";
  ASSERT_EQ(value.size(), 199u);
  const LoadResult r = LoadText(FileWithSection("Modules", "X=" + value));
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(r.db.moduleCount, 1);
}

}  // namespace
