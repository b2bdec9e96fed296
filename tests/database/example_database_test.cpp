// The example database shipped in examples/: it loads, its chip order keeps every entry
// reachable, it knows the simulated programmer's modules, and its demo dumps are the
// simulated programmer's images.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "database/lookups.h"
#include "digest/agi_crc.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "sim/sim_config.h"
#include "tests/database/ini_test_files.h"

namespace {

const std::string kExamplePath = std::string(FW_SOURCE_DIR) + "/examples/kz1_v2.6.ini";

class ExampleDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadDatabase(db_, window_.Boxes(), kExamplePath));
    ASSERT_TRUE(window_.messages.empty());
  }
  FakeWindow window_;
  FlashDatabase db_;
};

TEST_F(ExampleDatabase, HasItsCountsAndSettings) {
  EXPECT_EQ(db_.moduleCount, 4);
  EXPECT_EQ(db_.chipCount, 26);
  EXPECT_EQ(db_.vendorCount, 10);
  EXPECT_EQ(db_.dumpHashCount, 6);
  EXPECT_EQ(db_.settings.md5Mode, HashMode::Main);
  EXPECT_EQ(db_.settings.sha1Mode, HashMode::Checked);
  EXPECT_EQ(db_.settings.crcMode, HashMode::Checked);
}

TEST_F(ExampleDatabase, KnowsEverySize) {
  const struct {
    uint8_t id, sizeMB, dualBank;
  } expected[] = {{0x03, 16, 0}, {0x04, 32, 0}, {0x05, 32, 1}, {0x06, 64, 1}};
  for (const auto& e : expected) {
    ModuleRecord module{e.id, 0, 0};
    ASSERT_TRUE(FindModule(db_, module)) << int(e.id);
    EXPECT_EQ(module.sizeMB, e.sizeMB);
    EXPECT_EQ(module.dualBank, e.dualBank);
  }
}

// The simulated programmer with no settings, and with the example settings of
// sim/README.md, carries a module and a chip this database knows, at their real size.
TEST_F(ExampleDatabase, KnowsTheSimulatorsDefaultAndDocumentedModules) {
  std::ifstream file(std::string(FW_SOURCE_DIR) + "/sim/README.md");
  const std::string readme{std::istreambuf_iterator<char>(file), {}};
  const std::string fence = "```\n";
  const size_t start = readme.find(fence + "module_type=");
  ASSERT_NE(start, std::string::npos);
  const size_t body = start + fence.size();
  const sim::ConfigResult documented =
      sim::ParseSimConfig(readme.substr(body, readme.find("```", body) - body));
  ASSERT_TRUE(documented.errors.empty());
  for (const sim::ModelConfig& model : {sim::ModelConfig{}, documented.setup.device.model}) {
    ModuleRecord module{model.moduleType, 0, 0};
    ASSERT_TRUE(FindModule(db_, module)) << int(model.moduleType);
    EXPECT_EQ(module.sizeMB, model.sizeMiB);
    EXPECT_EQ(module.dualBank, model.dualBank);
    ChipRecord chip;
    chip.chipId = model.chipId;
    EXPECT_TRUE(FindChip(db_, chip)) << int(model.chipId[1]) << " " << int(model.chipId[2]);
  }
}

TEST_F(ExampleDatabase, EveryChipIsReachableAndHasAVendor) {
  for (size_t i = 0; i < db_.chips.size(); ++i) {
    const ChipRecord& chip = db_.chips[i];
    SCOPED_TRACE(chip.chipName);
    // Reading exactly this chip's ID (zeros beyond its length) finds this very entry.
    ChipRecord read;
    read.chipId = chip.chipId;
    ASSERT_TRUE(FindChip(db_, read));
    EXPECT_EQ(read.chipName, chip.chipName);
    std::string vendor;
    EXPECT_TRUE(FindVendor(db_, chip.chipId[0], vendor));
  }
  std::set<std::string> names;
  for (const ChipRecord& chip : db_.chips) EXPECT_TRUE(names.insert(chip.chipName).second);
  std::set<uint8_t> codes;
  for (const VendorRecord& v : db_.vendors) EXPECT_TRUE(codes.insert(v.vendorId).second);
}

// The identification line is "Vendor, chip name": a name that repeats its vendor's
// first word would read "Macronix, Macronix ...".
TEST_F(ExampleDatabase, ChipNamesDoNotRepeatTheirVendor) {
  for (const ChipRecord& chip : db_.chips) {
    std::string vendor;
    ASSERT_TRUE(FindVendor(db_, chip.chipId[0], vendor));
    const std::string firstWord = vendor.substr(0, vendor.find_first_of(" /"));
    EXPECT_NE(chip.chipName.rfind(firstWord + " ", 0), 0u) << chip.chipName << " / " << vendor;
  }
}

TEST_F(ExampleDatabase, HasTwoThreeAndFourByteIdsOfBothWidths) {
  std::set<int> lengths, widths;
  for (const ChipRecord& chip : db_.chips) {
    lengths.insert(chip.idLength);
    widths.insert(chip.busWidth);
  }
  EXPECT_EQ(lengths, (std::set<int>{2, 3, 4}));
  EXPECT_EQ(widths, (std::set<int>{8, 16}));
}

// The digests of one image at the sizes of the three module capacities.
struct ImageDigests {
  std::string md5, sha1, crc;
};

template <typename ByteAt>
std::vector<ImageDigests> DigestsAt16_32_64MiB(ByteAt byteAt) {
  constexpr size_t kMiB = size_t{1} << 20;
  MD5Context md5;
  SHA1Context sha1;
  AgiCrcState crc;
  MD5Init(md5);
  SHA1Init(sha1);
  AgiCrcInit(crc);
  std::vector<uint8_t> block(32768);
  std::vector<ImageDigests> out;
  for (size_t offset = 0; offset < 64 * kMiB; offset += block.size()) {
    for (size_t i = 0; i < block.size(); ++i) block[i] = byteAt(offset + i);
    MD5Update(md5, block.data(), block.size());
    SHA1Update(sha1, block.data(), block.size());
    AgiCrcUpdate(crc, block.data(), block.size());
    const size_t done = offset + block.size();
    if (done == 16 * kMiB || done == 32 * kMiB || done == 64 * kMiB) {
      MD5Context md5Copy = md5;
      SHA1Context sha1Copy = sha1;
      out.push_back({MD5Hex(MD5Final(md5Copy)), SHA1Hex(SHA1Final(sha1Copy)), AgiCrcText(crc)});
    }
  }
  return out;
}

void ExpectRecognised(const FlashDatabase& db, const std::vector<ImageDigests>& images,
                      const char* descriptionStart) {
  ASSERT_EQ(images.size(), 3u);
  const int sizes[] = {16, 32, 64};
  for (size_t i = 0; i < images.size(); ++i) {
    SCOPED_TRACE(sizes[i]);
    DumpDigests digests{"", images[i].md5, images[i].sha1, images[i].crc};
    uint8_t flags = 0;
    ASSERT_TRUE(FindDumpHash(db, digests, db.settings, flags));
    EXPECT_EQ(flags, Found | MD5Agrees | SHA1Agrees | CrcAgrees);
    EXPECT_EQ(digests.description, std::string(descriptionStart) + std::to_string(sizes[i]) +
                                       " MiB" + (descriptionStart[0] == 'B' ? " (erased)" : ""));
  }
}

TEST_F(ExampleDatabase, RecognisesTheSimulatorsPatternImages) {
  ExpectRecognised(db_, DigestsAt16_32_64MiB([](size_t o) {
                     return static_cast<uint8_t>(((o * 31) ^ (o >> 8) ^ (o >> 17)) & 0xFF);
                   }),
                   "Demo pattern image ");
}

TEST_F(ExampleDatabase, RecognisesBlankFlash) {
  ExpectRecognised(db_, DigestsAt16_32_64MiB([](size_t) { return uint8_t{0xFF}; }), "Blank flash ");
}

}  // namespace
