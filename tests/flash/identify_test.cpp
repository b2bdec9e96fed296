// Connecting and identifying the module and chip, with the questions, log lines and
// traffic they give, and the bank positioning before blocks.
#include <gtest/gtest.h>

#include "app/window_job_host.h"
#include "flash/identify.h"
#include "programmer/commands.h"
#include "tests/support/rig.h"

namespace {

using Msg = FakeWindow::Message;

struct IdentifyCase {
  const char* name;
  uint8_t type;
  std::array<uint8_t, 4> chip;
  std::vector<bool> answers;           // to the questions, in order
  std::vector<std::string> questions;  // asked, in order
  std::vector<std::string> lines;      // Purple log lines
  std::string busRequest;              // "17" or "18"
  int blockCount;
  uint8_t dualBank;
  uint8_t busWidth;
};

class IdentifyTable : public ::testing::TestWithParam<IdentifyCase> {};

TEST_P(IdentifyTable, LogsQuestionsAndSetsTheSession) {
  const IdentifyCase& c = GetParam();
  Rig rig(Module(c.type).Chip(c.chip));
  rig.ctx.session.chip.writeMode = 1;  // left from an earlier chip
  for (bool a : c.answers) rig.window.answers.push_back(a);

  ASSERT_TRUE(ConnectAndIdentify(rig.ctx).Ok());

  std::vector<std::string> asked;
  for (const Msg& m : rig.window.messages) {
    EXPECT_TRUE(m.question);
    EXPECT_EQ(m.caption, "Flash programmator");
    asked.push_back(m.text);
  }
  EXPECT_EQ(asked, c.questions);
  EXPECT_EQ(rig.Lines(), c.lines);
  for (const auto& e : rig.Entries()) EXPECT_EQ(e.colour, LogColour::Purple);
  const auto requests = rig.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0], "13");
  EXPECT_EQ(requests[1], "16");
  EXPECT_EQ(requests[2], "36");
  EXPECT_EQ(requests[3], c.busRequest);
  EXPECT_EQ(rig.ctx.session.blockCount, c.blockCount);
  EXPECT_EQ(rig.ctx.session.module.dualBank, c.dualBank);
  EXPECT_EQ(rig.ctx.session.chip.busWidth, c.busWidth);
  EXPECT_EQ(rig.bus.CallCount("usb_close"), 0);  // the caller owns the open link
}

INSTANTIATE_TEST_SUITE_P(
    Identification, IdentifyTable,
    ::testing::Values(IdentifyCase{"KnownModuleAndChip",
                                   0x03,
                                   {0xC2, 0x7E, 0x21, 0x01},
                                   {},
                                   {},
                                   {"Macronix, MX29LV640", "Flash module: 16M"},
                                   "18",
                                   512,
                                   0,
                                   16},
                      // A 2-byte ID matches whatever bytes 2 and 3 are.
                      IdentifyCase{"TwoByteIdMatches",
                                   0x05,
                                   {0xC2, 0x7E, 0xFF, 0x00},
                                   {},
                                   {},
                                   {"Macronix, MX29LV640", "Flash module: 32M"},
                                   "18",
                                   1024,
                                   1,
                                   16},
                      IdentifyCase{"VendorMissing",
                                   0x03,
                                   {0x01, 0xA7, 0x12, 0x99},
                                   {},
                                   {},
                                   {"Chip AM29F032", "Flash module: 16M"},
                                   "17",
                                   512,
                                   0,
                                   8},
                      IdentifyCase{"NoModuleAskedTwice",
                                   0x7F,
                                   {0xC2, 0x7E, 0x21, 0x01},
                                   {true, true},
                                   {"Flash module is probably missing. To continue?",
                                    "Flash module unknown. To try as standart 64M module?"},
                                   {"Flash module type unknown (7F). Used as 64M module.",
                                    "Macronix, MX29LV640", "Flash module: 64M"},
                                   "18",
                                   2048,
                                   1,
                                   16},
                      IdentifyCase{"UnknownModuleUpperHex",
                                   0x2A,
                                   {0xC2, 0x7E, 0x21, 0x01},
                                   {true},
                                   {"Flash module unknown. To try as standart 64M module?"},
                                   {"Flash module type unknown (2A). Used as 64M module.",
                                    "Macronix, MX29LV640", "Flash module: 64M"},
                                   "18",
                                   2048,
                                   1,
                                   16},
                      IdentifyCase{"UnknownModuleNoLeadingZero",
                                   0x0A,
                                   {0xC2, 0x7E, 0x21, 0x01},
                                   {true},
                                   {"Flash module unknown. To try as standart 64M module?"},
                                   {"Flash module type unknown (A). Used as 64M module.",
                                    "Macronix, MX29LV640", "Flash module: 64M"},
                                   "18",
                                   2048,
                                   1,
                                   16},
                      IdentifyCase{"UnknownChipOneBankAs8Bit",
                                   0x03,
                                   {0x01, 0x22, 0xFF, 0x00},
                                   {true},
                                   {"Chip detecting fault. Try as one bank module with 8bit chip?"},
                                   {"Chip changed to 8bit (1 22 ff 0)", "Flash module: 16M"},
                                   "17",
                                   512,
                                   0,
                                   8},
                      IdentifyCase{"UnknownChipTwoBanksKnownVendor",
                                   0x06,
                                   {0xC2, 0x99, 0x01, 0x0F},
                                   {true},
                                   {"Chip unknown. To try as standart 16bit flash chip?"},
                                   {"Macronix, chip unknown (c2 99 1 f)", "Flash module: 64M"},
                                   "18",
                                   2048,
                                   1,
                                   16},
                      IdentifyCase{"UnknownChipTwoBanksUnknownVendor",
                                   0x06,
                                   {0x20, 0x99, 0x01, 0x0F},
                                   {true},
                                   {"Chip unknown. To try as standart 16bit flash chip?"},
                                   {"Chip unknown (20 99 1 f)", "Flash module: 64M"},
                                   "18",
                                   2048,
                                   1,
                                   16}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Identify, FallbackChipUsesTheStandardWriteMode) {
  Rig rig(Module(kModule64M).Chip({0x20, 0x99, 0x01, 0x0F}));
  rig.ctx.session.chip.writeMode = 1;
  ASSERT_TRUE(ConnectAndIdentify(rig.ctx).Ok());
  EXPECT_EQ(rig.ctx.session.chip.writeMode, 0);
}

struct DeclineCase {
  const char* name;
  uint8_t type;
  std::array<uint8_t, 4> chip;
  std::vector<bool> answers;
  size_t questions;
};

class DeclineTable : public ::testing::TestWithParam<DeclineCase> {};

TEST_P(DeclineTable, CancelClosesWithoutReleaseAndEnds) {
  const DeclineCase& c = GetParam();
  Rig rig(Module(c.type).Chip(c.chip));
  for (bool a : c.answers) rig.window.answers.push_back(a);
  EXPECT_FALSE(ConnectAndIdentify(rig.ctx).Ok());
  EXPECT_EQ(rig.window.messages.size(), c.questions);
  EXPECT_EQ(rig.bus.CallCount("usb_close"), 1);
  EXPECT_EQ(rig.bus.CallCount("usb_release_interface"), 0);
  // The handle is forgotten: a request on it fails without reaching the device.
  EXPECT_EQ(FlashReset(rig.ctx.session.handle), kCommandFailed);
  EXPECT_EQ(rig.bus.TransfersAfterClose(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Identification, DeclineTable,
    ::testing::Values(DeclineCase{"NoModule", 0x7F, {0xC2, 0x7E, 0, 0}, {false}, 1},
                      DeclineCase{
                          "NoModuleThenUnknown", 0x7F, {0xC2, 0x7E, 0, 0}, {true, false}, 2},
                      DeclineCase{"UnknownModule", 0x44, {0xC2, 0x7E, 0, 0}, {false}, 1},
                      DeclineCase{"UnknownChipOneBank", 0x03, {0x11, 0x22, 0, 0}, {false}, 1},
                      DeclineCase{"UnknownChipTwoBanks", 0x05, {0x11, 0x22, 0, 0}, {false}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// Transfers from open: 0/1 version, 2/3 module type, 4/5 chip ID, 6 bus width; with
// isSharp checked 0/1 version, 2/3 module type, 4 SetBus16.
struct DeviceErrorCase {
  int atTransfer;
  bool sharp;
};

class DeviceErrorAt : public ::testing::TestWithParam<DeviceErrorCase> {};

TEST_P(DeviceErrorAt, ShowsDeviceErrorAndClosesOnly) {
  sim::DeviceConfig config;
  config.faults.atTransfer = GetParam().atTransfer;
  Rig rig(config);
  rig.ctx.isSharp = GetParam().sharp;
  EXPECT_FALSE(ConnectAndIdentify(rig.ctx).Ok());
  ASSERT_EQ(rig.window.messages.size(), 1u);
  EXPECT_EQ(rig.window.messages[0], (Msg{"Device error", "Flash programmator", false}));
  EXPECT_EQ(rig.bus.CallCount("usb_close"), 1);
  EXPECT_EQ(rig.bus.CallCount("usb_release_interface"), 0);
  EXPECT_EQ(rig.bus.TransfersAfterClose(), 0);
}

INSTANTIATE_TEST_SUITE_P(Identification, DeviceErrorAt,
                         ::testing::Values(DeviceErrorCase{2, false}, DeviceErrorCase{3, false},
                                           DeviceErrorCase{4, false}, DeviceErrorCase{5, false},
                                           DeviceErrorCase{6, false}, DeviceErrorCase{2, true},
                                           DeviceErrorCase{3, true}, DeviceErrorCase{4, true}),
                         [](const auto& info) {
                           return std::string(info.param.sharp ? "Sharp" : "") + "Transfer" +
                                  std::to_string(info.param.atTransfer);
                         });

// A stop the host sees at once (a signal to the command line) arriving before the Nth time
// identification looks: nothing more reaches the programmer but the close, and no box. It
// looks before the open, after it, once the interface is claimed, then before each
// request.
class StopsAtLook : public WindowJobHost {
 public:
  StopsAtLook(WindowOps& window, int stopAt) : WindowJobHost(window), stopAt_(stopAt) {}
  bool CancelPending() const override { return ++looks_ >= stopAt_; }

 private:
  int stopAt_;
  mutable int looks_ = 0;
};

TEST(Identify, StopSeenAtOnceSendsNothingMoreButTheClose) {
  const std::vector<std::vector<std::string>> sentBeforeTheStop = {
      {}, {}, {}, {"13"}, {"13", "16"}, {"13", "16", "36"}};
  for (size_t stopAt = 0; stopAt < sentBeforeTheStop.size(); ++stopAt) {
    SCOPED_TRACE(stopAt);
    Rig rig;
    StopsAtLook host(rig.window, static_cast<int>(stopAt) + 1);
    JobContext ctx(host);
    ctx.bindUsb = rig.ctx.bindUsb;
    ctx.usbDevices = rig.ctx.usbDevices;
    ctx.database = rig.ctx.database;
    const IdentifyOutcome outcome = ConnectAndIdentify(ctx);
    ASSERT_TRUE(outcome.failure.has_value());
    EXPECT_EQ(outcome.failure->reason, ConnectReason::Cancelled);
    EXPECT_EQ(rig.Requests(), sentBeforeTheStop[stopAt]);
    EXPECT_TRUE(rig.window.messages.empty());
    EXPECT_EQ(rig.bus.CallCount("usb_close"), stopAt == 0 ? 0 : 1);
    EXPECT_EQ(rig.bus.CallCount("usb_open"), stopAt == 0 ? 0 : 1);
    EXPECT_EQ(ctx.session.handle.handle, nullptr);
  }
}

TEST(Identify, SharpModuleReadsNoChipId) {
  Rig rig{Module(kModule16M)};
  rig.ctx.isSharp = true;
  rig.ctx.session.chip.chipName = "earlier chip";
  ASSERT_TRUE(ConnectAndIdentify(rig.ctx).Ok());
  EXPECT_EQ(rig.Requests(), (std::vector<std::string>{"13", "16", "18"}));
  EXPECT_EQ(rig.Lines(),
            (std::vector<std::string>{"Flash module used as china-sharp like module.",
                                      "Chip used as 16-bit wide bus chip with multibanks."}));
  EXPECT_EQ(rig.ctx.session.blockCount, 2048);
  EXPECT_EQ(rig.ctx.session.module.dualBank, 1);
  EXPECT_EQ(rig.ctx.session.module.sizeMB, 64);
  EXPECT_EQ(rig.ctx.session.chip.chipName, "earlier chip");
  EXPECT_EQ(rig.ctx.session.chip.writeMode, 0);
}

TEST(Identify, ResetsTheThreeDigests) {
  Rig rig;
  const uint8_t junk[64] = {1, 2, 3};
  MD5Update(rig.ctx.digests.md5, junk, sizeof junk);
  SHA1Update(rig.ctx.digests.sha1, junk, sizeof junk);
  AgiCrcUpdate(rig.ctx.digests.crc, junk, sizeof junk);
  ASSERT_TRUE(ConnectAndIdentify(rig.ctx).Ok());
  EXPECT_EQ(MD5Hex(MD5Final(rig.ctx.digests.md5)), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(SHA1Hex(SHA1Final(rig.ctx.digests.sha1)), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(AgiCrcText(rig.ctx.digests.crc), "00000000");
}

TEST(Identify, ConnectionFailureShowsItsBoxOnly) {
  Rig rig;
  rig.device->Faults().claimFails = true;
  EXPECT_FALSE(ConnectAndIdentify(rig.ctx).Ok());
  ASSERT_EQ(rig.window.messages.size(), 1u);
  EXPECT_EQ(rig.window.messages[0].text,
            "Device interface error: the programmer is in use by another program");
  EXPECT_EQ(rig.ctx.log.LineCount(), 0);
}

// The second programmer on the bus, by its bus and device number (each on a bus of its
// own as device 1, which sysfs would list as the root hub: no port path).
TEST(Identify, TheChosenProgrammerIsIdentifiedAndReported) {
  Rig rig;
  sim::SimDevice& second = rig.bus.AddProgrammer(Module(kModule32M));
  rig.ctx.device = DeviceChoice{2, 1, {}};
  const IdentifyOutcome outcome = ConnectAndIdentify(rig.ctx);
  ASSERT_TRUE(outcome.Ok());
  const IdentificationRecord& found = outcome.identified;
  EXPECT_EQ(rig.ctx.session.handle.opened, (ProgrammerPlace{2, 1, ""}));
  EXPECT_EQ(found.sizeMB, 32);
  EXPECT_TRUE(second.IsOpen());
  EXPECT_FALSE(rig.device->IsOpen());
}

// Which blocks get SetAddress and ChipSelect, and with which bank.
std::vector<std::pair<int, std::string>> Positioning(Rig& rig, int blocks) {
  std::vector<std::pair<int, std::string>> sent;
  for (int i = 0; i < blocks; ++i) {
    rig.bus.ClearRecord();
    EXPECT_EQ(SelectBankForBlock(rig.ctx, i), 0);
    for (const auto& r : rig.Requests()) sent.emplace_back(i, r);
  }
  return sent;
}

TEST(SelectBank, OneBankOnlyBeforeBlockZero) {
  Rig rig{Module(kModule16M)};
  ASSERT_TRUE(ConnectAndIdentify(rig.ctx).Ok());
  using P = std::pair<int, std::string>;
  EXPECT_EQ(Positioning(rig, 512), (std::vector<P>{{0, "10 00 00 00 00"}, {0, "23 01"}}));
}

TEST(SelectBank, TwoBanksBeforeBlockZeroAndHalf) {
  Rig rig{Module(kModule64M)};
  ASSERT_TRUE(ConnectAndIdentify(rig.ctx).Ok());
  using P = std::pair<int, std::string>;
  EXPECT_EQ(Positioning(rig, 2048),
            (std::vector<P>{
                {0, "10 00 00 00 00"}, {0, "23 01"}, {1024, "10 00 00 00 00"}, {1024, "23 00"}}));
}

TEST(SelectBank, FailuresReplaceTheLastLineInRed) {
  for (int failing : {0, 1}) {
    Rig rig{Module(kModule16M)};
    ASSERT_TRUE(ConnectAndIdentify(rig.ctx).Ok());
    rig.ctx.log.AppendLine("Reading...", LogColour::Green);
    const uint8_t lines = rig.ctx.log.LineCount();
    // Transfers so far: 7 (version, type, chip ID, bus width).
    rig.device->Faults().atTransfer = 7 + failing;
    EXPECT_EQ(SelectBankForBlock(rig.ctx, 0), 0xFF);
    EXPECT_EQ(rig.ctx.log.LineCount(), lines);
    EXPECT_EQ(rig.ctx.log.Last().text,
              failing == 0 ? "[09:05:07] Address set error" : "[09:05:07] Chip select error");
    EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
  }
}

}  // namespace
