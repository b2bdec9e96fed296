// LoadDatabase: the Modules and Chips entries, accepted or refused with their message.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/database/ini_test_files.h"

namespace {

const std::string kErrorIni = "Error INI file (X=";
const std::string kModuleIdIncorrect = "Flash module ID incorrect (X=";
const std::string kTooMany = "Too many parameters INI file (X=";
const std::string kMissing = "Parameter(s) missing INI file (X=";

// value: the text after "X="; message: the start of the expected message (the value and
// ")" follow), empty when the entry is accepted.
struct ModuleCase {
  std::string value;
  std::string message;
  ModuleRecord expected{};
};

TEST(LoadModules, AcceptsOrRefusesEachEntry) {
  const ModuleCase cases[] = {
      {"3,16,0", "", {0x03, 16, 0}},
      {"5,32,1", "", {0x05, 32, 1}},
      {"6,64,1", "", {0x06, 64, 1}},
      {"20, 16, 1", "", {0x20, 16, 1}},  // numbers skip leading blanks
      {"0x2A,+32,0", "", {0x2A, 32, 0}},
      {"20z,16abc,1 bank", "", {0x20, 16, 1}},  // reading stops at the first other char
      {"17F,16,0", "", {0x7F, 16, 0}},          // the low byte of a number that is not 7F
      {"1000000000000000000000007f,16,0", "", {0x7F, 16, 0}},
      {"-7f,16,-0", "", {0x81, 16, 0}},
      {"7f,16,0", kModuleIdIncorrect},
      {"7F,16,0", kModuleIdIncorrect},
      {"0x7f,16,0", kModuleIdIncorrect},
      {"007F,99,9,9", kModuleIdIncorrect},  // ID tested before SIZE
      {"20,16,0,", kMissing},               // trailing comma
      {"20,16,0,1", kTooMany},
      {"20,16,0,1,", kTooMany},  // the surplus parameter comes before the comma test
      {"20,99,0,1", kErrorIni},  // SIZE tested before the surplus parameter is reached
      {"20,16,2,1", kErrorIni},
      {"20,16", kMissing},
      {"20", kMissing},
      {"20,15,0", kErrorIni},
      {"20,0x10,0", kErrorIni},        // decimal: reads 0
      {"20,4294967312,0", kErrorIni},  // 2^32 + 16 is not 16
      {"20,-16,0", kErrorIni},
      {"20,16,-1", kErrorIni},
      {"zz,16,0", kErrorIni},  // no number at all
      {"20,,0", kErrorIni},
      {"20,16,", kMissing},
      {",16,0", kErrorIni},
  };
  for (const ModuleCase& c : cases) {
    SCOPED_TRACE("X=" + c.value);
    const LoadResult r = LoadText(FileWithSection("Modules", "A=3,16,0\nX=" + c.value));
    if (c.message.empty()) {
      EXPECT_TRUE(r.ok);
      EXPECT_TRUE(r.messages.empty());
      ASSERT_EQ(r.db.moduleCount, 2);
      ASSERT_EQ(r.db.modules.size(), 2u);
      EXPECT_EQ(r.db.modules[1].moduleId, c.expected.moduleId);
      EXPECT_EQ(r.db.modules[1].sizeMB, c.expected.sizeMB);
      EXPECT_EQ(r.db.modules[1].dualBank, c.expected.dualBank);
    } else {
      EXPECT_FALSE(r.ok);
      EXPECT_EQ(r.messages, std::vector{ErrorBox(c.message + c.value + ")")});
      EXPECT_EQ(r.db.moduleCount, 1);
      EXPECT_EQ(r.db.modules.size(), 1u);
    }
  }
}

TEST(LoadModules, EmptyValueHasParametersMissing) {
  const LoadResult r = LoadText(FileWithSection("Modules", "X="));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.messages, std::vector{ErrorBox("Parameter(s) missing INI file (X=)")});
}

TEST(LoadModules, MessageShowsKeyAndValueAsWritten) {
  const LoadResult r = LoadText(FileWithSection("Modules", "Module %s 1 = 7f, 16,0"));
  EXPECT_EQ(r.messages, std::vector{ErrorBox("Flash module ID incorrect (Module %s 1=7f, 16,0)")});
}

struct ChipCase {
  std::string value;
  std::string message;
  ChipRecord expected{};
};

TEST(LoadChips, AcceptsOrRefusesEachEntry) {
  const std::string name49(49, 'n');
  const ChipCase cases[] = {
      {"S29GL256P,16,1,01,7e,22,01", "", {{0x01, 0x7E, 0x22, 0x01}, 4, "S29GL256P", 16, 1}},
      {"Am29F040B,8,0,01,a4", "", {{0x01, 0xA4, 0, 0}, 2, "Am29F040B", 8, 0}},
      {"Three,8,2,c2,7e,21", "", {{0xC2, 0x7E, 0x21, 0}, 3, "Three", 8, 2}},
      {"Name with blanks , 16, 0, C2, 0x22, 1c9",
       "",
       {{0xC2, 0x22, 0xC9, 0}, 3, "Name with blanks ", 16, 0}},
      {",8,0,1,2", "", {{1, 2, 0, 0}, 2, "", 8, 0}},  // an empty name is still a name
      {name49 + ",8,0,1,2", "", {{1, 2, 0, 0}, 2, name49, 8, 0}},
      {name49 + "x,8,0,1,2", kErrorIni},  // the chip name holds at most 49 characters
      // UTF-8 names count characters; other 8-bit text counts bytes.
      {Repeat(kUmlautO, 49) + ",8,0,1,2", "", {{1, 2, 0, 0}, 2, Repeat(kUmlautO, 49), 8, 0}},
      {Repeat(kUmlautO, 50) + ",8,0,1,2", kErrorIni},
      {std::string(50, '\xF6') + ",8,0,1,2", kErrorIni},
      {"Chip,8,0,c2", kMissing},           // 4 parameters
      {"Chip,8,0,c2,a5,1,2,3", kTooMany},  // 8 parameters
      {"Chip,12,0,c2,a5,1,2,3", kErrorIni},
      {"Chip,8,0,c2,a5,", kMissing},
      {"Chip,8,0,c2,a5,1,2,", kMissing},
      {"Chip,8,0,c2,a5,1,2,3,", kTooMany},
      {"Chip,12,0,c2,a5", kErrorIni},
      {"Chip,7,0,c2,a5", kErrorIni},
      {"Chip,16,3,c2,a5", kErrorIni},
      {"Chip,16,-1,c2,a5", kErrorIni},
      {"Chip,,0,c2,a5", kErrorIni},
      {"Chip,16,0,zz,a5", kErrorIni},
      {"Chip,16,0,c2,", kMissing},
      {"Chip,16,0,c2,,", kErrorIni},
      {"Chip", kMissing},
  };
  for (const ChipCase& c : cases) {
    SCOPED_TRACE("X=" + c.value);
    const LoadResult r = LoadText(FileWithSection("Chips", "A=First,8,0,1,2\nX=" + c.value));
    if (c.message.empty()) {
      EXPECT_TRUE(r.ok);
      EXPECT_TRUE(r.messages.empty());
      ASSERT_EQ(r.db.chipCount, 2);
      ASSERT_EQ(r.db.chips.size(), 2u);
      const ChipRecord& chip = r.db.chips[1];
      EXPECT_EQ(chip.chipId, c.expected.chipId);
      EXPECT_EQ(chip.idLength, c.expected.idLength);
      EXPECT_EQ(chip.chipName, c.expected.chipName);
      EXPECT_EQ(chip.busWidth, c.expected.busWidth);
      EXPECT_EQ(chip.writeMode, c.expected.writeMode);
    } else {
      EXPECT_FALSE(r.ok);
      EXPECT_EQ(r.messages, std::vector{ErrorBox(c.message + c.value + ")")});
      EXPECT_EQ(r.db.chipCount, 1);
      EXPECT_EQ(r.db.chips.size(), 1u);
    }
  }
}

TEST(LoadChips, TwoEntriesWithTheSameIdBothLoad) {
  const LoadResult r = LoadText(FileWithSection("Chips", "1=First,8,0,c2,a5\n2=Second,16,1,c2,a5"));
  EXPECT_TRUE(r.ok);
  ASSERT_EQ(r.db.chipCount, 2);
  EXPECT_EQ(r.db.chips[0].chipName, "First");
  EXPECT_EQ(r.db.chips[1].chipName, "Second");
}

}  // namespace
