// The hidden bench diagnostic (Test!) on the simulated programmer: its raw bus cycles,
// the lock register line, the toggle count in status.txt and its early exits.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "flash/jobs.h"
#include "programmer/commands.h"
#include "tests/support/rig.h"

namespace {

using Strings = std::vector<std::string>;

// GetVersion, GetModuleType, GetChipId, SetBus16 of a known 16-bit chip: 7 transfers.
const Strings kIdentify = {"13", "16", "36", "18"};
constexpr int kIdentifyTransfers = 7;

std::string FileText(const std::string& path) {
  const auto bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// The log lines written after identification, as "colour: text".
Strings LinesAfterIdentification(const Rig& rig) {
  Strings out;
  for (const auto& e : rig.Entries()) {
    if (e.text == "Macronix, MX29LV640" || e.text == "Flash module: 16M")
      continue;
    out.push_back(std::string(e.colour == LogColour::Purple ? "Purple: "
                              : e.colour == LogColour::Red  ? "Red: "
                                                            : "Green: ") +
                  e.text);
  }
  return out;
}

// ---------------------------------------------------------------------------------------
// Counting the cycles. The simulated chip's status bit 6 changes between consecutive
// reads `toggles` times; each cycle makes two reads, the status byte is 0x80 or 0xC0.

struct ToggleCase {
  std::string name;
  int toggles;
  int cycles;
  std::string lastStatus;  // the four bytes of the last read
  int otherBytes = -1;     // status reads: the status in byte 1 only, this elsewhere
};

class StatusTestCycles : public testing::TestWithParam<ToggleCase> {};

TEST_P(StatusTestCycles, OneLinePerCycleAndTheCountInTheLog) {
  const ToggleCase& c = GetParam();
  sim::DeviceConfig config = Module(kModule16M).StatusToggles(c.toggles);
  config.model.statusOtherBytes = c.otherBytes;
  Rig rig(config);
  EXPECT_EQ(StatusTest(rig.ctx).Code(), kCommandOk);

  // Cycle k compares reads 2k and 2k + 1; the chip toggled min(r, toggles) times by read r.
  auto status = [&](int read) { return (std::min(read, c.toggles) & 1) ? "c0" : "80"; };
  std::string expected;
  for (int k = 0; k < c.cycles; ++k)
    expected +=
        "Cycle " + std::to_string(k) + " ==> " + status(2 * k) + " : " + status(2 * k + 1) + "\n";
  const std::string text = FileText(rig.ctx.statusPath);
  EXPECT_EQ(text, expected);
  EXPECT_EQ(text.find('\r'), std::string::npos);  // LF line ends only

  EXPECT_EQ(LinesAfterIdentification(rig), (Strings{"Purple: Lock register: 1 0 1 0",
                                                    "Purple: Status register: " + c.lastStatus +
                                                        ", cycles: " + std::to_string(c.cycles)}));
}

INSTANTIATE_TEST_SUITE_P(StatusTest, StatusTestCycles,
                         testing::Values(ToggleCase{"NeverToggles", 0, 1, "80 80 80 80"},
                                         ToggleCase{"StopsAfterTheFifthCycle", 8, 5, "80 80 80 80"},
                                         ToggleCase{"StopsMidCycleFive", 7, 5, "c0 c0 c0 c0"},
                                         ToggleCase{"OneToggleOnly", 1, 2, "c0 c0 c0 c0"},
                                         ToggleCase{"TogglesUpToTheLastCycle", 1998, 1000,
                                                    "80 80 80 80"},
                                         ToggleCase{"KeepsToggling", 1000000, 1000, "c0 c0 c0 c0"},
                                         // Only byte 1 of the answer is the status.
                                         ToggleCase{"StatusInByteOne", 8, 5, "5a 80 5a 5a", 0x5A}),
                         [](const auto& info) { return info.param.name; });

TEST(StatusTest, FiveCycleFileHoldsExactlyTheseLines) {
  Rig rig(Module(kModule16M).StatusToggles(8));
  bool openAtStatusLine = false;
  rig.ctx.log.SetObserver([&](int) {
    if (rig.ctx.log.Last().text.rfind("Status register", 0) == 0)
      openAtStatusLine = rig.ctx.session.handle.handle != nullptr;
  });
  StatusTest(rig.ctx);
  EXPECT_TRUE(openAtStatusLine);  // logged before the programmer is closed
  EXPECT_EQ(FileText(rig.ctx.statusPath),
            "Cycle 0 ==> 80 : c0\n"
            "Cycle 1 ==> 80 : c0\n"
            "Cycle 2 ==> 80 : c0\n"
            "Cycle 3 ==> 80 : c0\n"
            "Cycle 4 ==> 80 : 80\n");
  EXPECT_EQ(LastOf(rig.Lines(), 1)[0], "Status register: 80 80 80 80, cycles: 5");
}

// ---------------------------------------------------------------------------------------
// The traffic.

TEST(StatusTest, SendsTheseBusCyclesByteForByte) {
  Rig rig(Module(kModule16M).StatusToggles(4));  // three cycles
  StatusTest(rig.ctx);

  Strings expected = kIdentify;
  expected.insert(expected.end(), {
                                      "01",
                                      "60 05 55 00 00 AA 00",  // AA to 555
                                      "60 02 AA 00 00 55 00",  // 55 to 2AA
                                      "60 05 55 00 00 40 00",  // 40 to 555
                                      "10 00 00 00 00",
                                      "61",
                                      "01",
                                      "60 05 55 00 00 AA 00",
                                      "60 02 AA 00 00 55 00",
                                      "60 00 00 00 00 25 00",
                                      "60 00 00 00 00 0F 00",
                                  });
  const char* hex = "0123456789ABCDEF";
  for (int i = 0; i < 16; ++i)
    expected.push_back(std::string("60 00 0") + hex[i] + " 00 00 8" + hex[i] + " 00");
  expected.insert(expected.end(), {"60 00 1F 00 00 29 00", "10 00 00 00 1F"});
  expected.insert(expected.end(), 6, "61");
  EXPECT_EQ(rig.Requests(), expected);

  // Every BusRead asks for four bytes; the link is released, then closed.
  int reads = 0;
  for (const auto& t : rig.bus.Transfers()) {
    if (!t.out && reads++ >= 3) {  // past the identification answers
      EXPECT_EQ(t.requested, 4);
      EXPECT_EQ(t.timeout, 1000);
    }
  }
  EXPECT_EQ(reads, 3 + 7);
  EXPECT_EQ(LastOf(rig.bus.CallNames(), 2), (Strings{"usb_release_interface", "usb_close"}));
  EXPECT_EQ(rig.bus.CallCount("usb_open"), 1);
  EXPECT_EQ(rig.bus.CallCount("usb_close"), 1);
}

TEST(StatusTest, ChipSeesTheDecodedAddressesAndData) {
  Rig rig(Module(kModule16M).StatusToggles(0));
  StatusTest(rig.ctx);
  std::vector<sim::BusCycle> expected = {{0x555, 0xAA}, {0x2AA, 0x55}, {0x555, 0x40}, {0x555, 0xAA},
                                         {0x2AA, 0x55}, {0x000, 0x25}, {0x000, 0x0F}};
  for (uint32_t i = 0; i < 16; ++i) expected.push_back({i, static_cast<uint16_t>(0x80 + i)});
  expected.push_back({0x01F, 0x29});
  EXPECT_EQ(rig.Model().Bus().Writes(), expected);
  EXPECT_EQ(rig.Model().Address(), 0x1Fu);
}

TEST(StatusTest, LockRegisterLineShowsTheFourBytesInPurple) {
  sim::DeviceConfig config;
  config.model.lockRegister = {0x12, 0xAB, 0x00, 0xFF};
  Rig rig(config);
  StatusTest(rig.ctx);
  const auto entries = rig.Entries();
  ASSERT_GE(entries.size(), 2u);
  EXPECT_EQ(entries[entries.size() - 2].text, "Lock register: 12 ab 0 ff");
  EXPECT_EQ(entries[entries.size() - 2].colour, LogColour::Purple);
  EXPECT_EQ(entries.back().colour, LogColour::Purple);
}

TEST(StatusTest, ButtonTwoRunsIt) {
  Rig rig(Module(kModule16M).StatusToggles(0));
  DispatchClick(rig.ctx, Control::Button2);
  EXPECT_EQ(FileText(rig.ctx.statusPath), "Cycle 0 ==> 80 : 80\n");
}

// ---------------------------------------------------------------------------------------
// Bytes a BusRead did not deliver.

TEST(StatusTest, BytesNotDeliveredShowAsZero) {
  Rig rig;
  // Everything fails from the lock register's answer on (7 identification transfers,
  // FlashReset, three BusWrites, SetAddress and the BusRead request come first).
  rig.device->Faults().vanishAfter = kIdentifyTransfers + 6;
  StatusTest(rig.ctx);
  EXPECT_EQ(FileText(rig.ctx.statusPath), "Cycle 0 ==> 0 : 0\n");
  EXPECT_EQ(
      LinesAfterIdentification(rig),
      (Strings{"Purple: Lock register: 0 0 0 0", "Purple: Status register: 0 0 0 0, cycles: 1"}));
  // The link is still released and closed.
  EXPECT_EQ(LastOf(rig.bus.CallNames(), 2), (Strings{"usb_release_interface", "usb_close"}));
}

TEST(StatusTest, ShortReadLeavesTheMissingByteZero) {
  sim::DeviceConfig config;
  config.model.lockRegister = {0x12, 0xAB, 0x34, 0xFF};
  config.faults.atTransfer = kIdentifyTransfers + 6;  // the lock register answer
  config.faults.kind = sim::FaultKind::Short;
  Rig rig(config);
  StatusTest(rig.ctx);
  EXPECT_EQ(LinesAfterIdentification(rig).at(0), "Purple: Lock register: 12 ab 34 0");
}

// ---------------------------------------------------------------------------------------
// Ending before any bus cycle.

struct EarlyEndCase {
  std::string name;
  sim::DeviceConfig config;
  std::vector<bool> answers;  // to the identification questions
  Strings requests;
  std::string message;  // the last message box
};

std::vector<EarlyEndCase> EarlyEndCases() {
  sim::DeviceConfig absent;
  absent.vendorId = 0x1234;
  sim::DeviceConfig oldFirmware;
  oldFirmware.model.version = {2, 0};
  return {
      {"UnknownModuleCancelled",
       Module(0x2A),
       {false},
       {"13", "16"},
       "Flash module unknown. To try as standart 64M module?"},
      {"NoModuleCancelled",
       Module(0x7F),
       {false},
       {"13", "16"},
       "Flash module is probably missing. To continue?"},
      {"UnknownChipOnDualBankCancelled",
       Module(kModule32M).Chip({0x55, 0x66, 0x77, 0x88}),
       {false},
       {"13", "16", "36"},
       "Chip unknown. To try as standart 16bit flash chip?"},
      {"UnknownChipOnSingleBankCancelled",
       Module(kModule16M).Chip({0x55, 0x66, 0x77, 0x88}),
       {false},
       {"13", "16", "36"},
       "Chip detecting fault. Try as one bank module with 8bit chip?"},
      {"NoProgrammer", absent, {}, {}, "Device not found"},
      {"WrongFirmware", oldFirmware, {}, {"13"}, "Device version incorrect"},
  };
}

class StatusTestEndsEarly : public testing::TestWithParam<EarlyEndCase> {};

TEST_P(StatusTestEndsEarly, LeavesStatusFileEmptyAndSendsNothingMore) {
  const EarlyEndCase& c = GetParam();
  Rig rig(c.config);
  for (bool a : c.answers) rig.window.answers.push_back(a);
  WriteFileBytes(rig.ctx.statusPath, {'o', 'l', 'd', '\n'});  // from an earlier run

  EXPECT_EQ(StatusTest(rig.ctx).Code(), kCommandFailed);
  EXPECT_EQ(rig.Requests(), c.requests);
  ASSERT_FALSE(rig.window.messages.empty());
  EXPECT_EQ(rig.window.messages.back().text, c.message);
  ASSERT_TRUE(std::filesystem::exists(rig.ctx.statusPath));
  EXPECT_EQ(std::filesystem::file_size(rig.ctx.statusPath), 0u);
  for (const auto& line : rig.Lines()) EXPECT_EQ(line.find("register"), std::string::npos);
  EXPECT_EQ(rig.bus.CallCount("usb_release_interface"), 0);
  EXPECT_EQ(rig.bus.CallCount("usb_close"), rig.bus.CallCount("usb_open"));
}

INSTANTIATE_TEST_SUITE_P(StatusTest, StatusTestEndsEarly, testing::ValuesIn(EarlyEndCases()),
                         [](const auto& info) { return info.param.name; });

TEST(StatusTest, StatusFileThatCannotBeCreatedStopsBeforeTheDevice) {
  for (const std::string where : {"missing-folder/status.txt", "a-folder"}) {
    Rig rig;
    rig.ctx.statusPath = rig.dir.File(where);
    if (where == "a-folder")
      std::filesystem::create_directory(rig.ctx.statusPath);
    EXPECT_EQ(StatusTest(rig.ctx).Code(), kCommandFailed);
    EXPECT_EQ(rig.Lines(),
              Strings{std::string(kStamp) + "Can't create status file: " + rig.ctx.statusPath})
        << where;
    EXPECT_EQ(LastOf(rig.Entries(), 1)[0].colour, LogColour::Red);
    EXPECT_TRUE(rig.bus.Calls().empty()) << where;  // not even usb_init
    EXPECT_TRUE(rig.window.messages.empty());
  }
}

}  // namespace

namespace {

// A disk that fills up while the cycles are recorded: the count line would claim a
// status.txt that is not on the disk.
TEST(StatusTest, StatusFileThatCannotBeWrittenIsReported) {
  Rig rig;
  rig.ctx.statusPath = "/dev/full";
  rig.ctx.cancelFlag = true;  // left from an earlier Start: means nothing to the test
  EXPECT_EQ(StatusTest(rig.ctx).Code(), kCommandFailed);
  EXPECT_EQ(
      LinesAfterIdentification(rig),
      (Strings{"Purple: Lock register: 1 0 1 0", "Purple: Status register: 80 80 80 80, cycles: 1",
               "Red: " + std::string(kStamp) + "File write error: /dev/full"}));
  EXPECT_EQ(rig.bus.CallCount("usb_close"), rig.bus.CallCount("usb_open"));
}

}  // namespace
