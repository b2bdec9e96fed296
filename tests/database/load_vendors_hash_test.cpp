// LoadDatabase: the Vendors and Hash entries, the description warning and the value limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/utf8_text.h"
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
      // 26 and 50 "ö": 52 and 100 bytes, but 26 and 50 characters.
      {Repeat(kUmlautO, 26) + ",20", "", {0x20, Repeat(kUmlautO, 26)}},
      {Repeat(kUmlautO, 50) + ",20", "", {0x20, Repeat(kUmlautO, 50)}},
      {Repeat(kUmlautO, 51) + ",20", kErrorIni},
      {std::string(50, '\xF6') + ",20", "", {0x20, std::string(50, '\xF6')}},  // Latin-1
      {std::string(51, '\xF6') + ",20", kErrorIni},
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

// Descriptions longer than 99 characters are warned about and kept to 100, counted in
// characters of UTF-8 text and in bytes of any other.
struct DescriptionCase {
  size_t length;  // in units
  bool warned;
  size_t kept;
  std::string unit = "";  // repeated; empty: the letters a to z over and over
};

TEST(LoadHash, LongDescriptionsAreWarnedAboutAndCut) {
  const DescriptionCase cases[] = {
      {0, false, 0},
      {99, false, 99},
      {100, true, 100},
      {101, true, 100},
      {110, true, 100},
      {116, true, 100},  // the longest that keeps the whole value within 199 characters
      {99, false, 99, kUmlautO},
      {100, true, 100, kUmlautO},        // 200 bytes, kept whole
      {116, true, 100, kUmlautO},        // cut after the 100th character, never inside one
      {110, true, 100, "\xE2\x82\xAC"},  // "€", three bytes each
      {100, true, 100, "\xF6"},          // not UTF-8: bytes
  };
  for (const DescriptionCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.length << " x " << testing::PrintToString(c.unit));
    std::string description;
    for (size_t i = 0; i < c.length; ++i)
      description += c.unit.empty() ? std::string(1, static_cast<char>('a' + i % 26)) : c.unit;
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
    const size_t unitBytes = c.unit.empty() ? 1 : c.unit.size();
    EXPECT_EQ(r.db.dumpHashes[0].description, description.substr(0, c.kept * unitBytes));
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
      {"Modules", "3,16,0" + Repeat(kUmlautO, 193) + "x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.section);
    ASSERT_EQ(CharacterCount(c.value), 200u);
    const LoadResult r = LoadText(FileWithSection(c.section, "X=" + c.value));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messages, std::vector{ErrorBox("Error INI file (X=" + c.value + ")")});
  }
}

TEST(LoadEntries, ValueOf199CharactersIsAccepted) {
  for (const std::string& filler : {std::string(" "), kUmlautO}) {
    const std::string value = "3,16,0" + Repeat(filler, 192) + "x";
    ASSERT_EQ(CharacterCount(value), 199u);
    const LoadResult r = LoadText(FileWithSection("Modules", "X=" + value));
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(r.db.moduleCount, 1);
  }
}

// A message quotes at most 200 characters of a key or value, then "…"; a line over the
// reader's limit is refused without being read whole.
TEST(LoadEntries, MessagesQuoteAtMost200Characters) {
  const std::string more = "\xE2\x80\xA6";
  const std::string lineOver1MiB = std::string(2 << 20, 'v') + "\n";
  const struct {
    std::string file;
    std::string message;
  } cases[] = {
      {FileWithSection("Vendors", "X=" + std::string(250, 'v')),
       "Error INI file (X=" + std::string(200, 'v') + more + ")"},
      {FileWithSection("Vendors", "X=" + Repeat(kUmlautO, 201)),
       "Error INI file (X=" + Repeat(kUmlautO, 200) + more + ")"},
      {FileWithSection("Vendors", "X=" + std::string(201, '\xF6')),
       "Error INI file (X=" + std::string(200, '\xF6') + more + ")"},
      {FileWithSection("Modules", std::string(300, 'k') + "=7f,16,0"),
       "Flash module ID incorrect (" + std::string(200, 'k') + more + "=7f,16,0)"},
      {FileWithSection("Modules", "X=" + lineOver1MiB),
       "Error INI file (X=" + std::string(200, 'v') + more + ")"},
      // A key over the limit: the entry is refused however short its value.
      {FileWithSection("Modules", std::string(2 << 20, 'k') + "=3,16,0"),
       "Error INI file (" + std::string(200, 'k') + more + "=)"},
      {"[Setup]\nMD5_check=" + std::string(300, 'm') + "\n",
       "Error INI file (MD5_check=" + std::string(200, 'm') + more + ")"},
      // What is kept of a cut line may look like a good value; it is still refused.
      {"[Setup]\nMD5_check=" + std::string((1 << 20) - 11, ' ') + "m" + lineOver1MiB,
       "Error INI file (MD5_check=m)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message.substr(0, 40));
    const LoadResult r = LoadText(c.file);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messages, std::vector{ErrorBox(c.message)});
  }
}

}  // namespace
