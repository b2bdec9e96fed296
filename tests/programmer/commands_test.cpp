#include "programmer/commands.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/flash_memory.h"
#include "tests/programmer/link_fixture.h"

namespace {

constexpr int kBlock = 0x8000;

struct Exchange {
  Bytes out;       // request bytes
  int inSize = 0;  // answer bytes asked for; 0: no answer
};

struct CommandCase {
  std::string name;
  std::function<uint8_t(const ProgrammerLink&)> run;
  std::vector<Exchange> exchanges;
};

std::vector<CommandCase> SimpleCommands() {
  static std::array<uint8_t, 2> version;
  static std::array<uint8_t, 4> id;
  static uint8_t byte;
  return {
      {"FlashReset", [](auto& l) { return FlashReset(l); }, {{{0x01}}}},
      {"SetAddress",
       [](auto& l) { return SetAddress(l, 0x12, 0x34, 0x56, 0x78); },
       {{{0x10, 0x12, 0x34, 0x56, 0x78}}}},
      {"SetAddressDiagnostic",
       [](auto& l) { return SetAddress(l, 0, 0, 0, 0x1F); },
       {{{0x10, 0x00, 0x00, 0x00, 0x1F}}}},
      {"GetVersion", [](auto& l) { return GetVersion(l, version); }, {{{0x13}, 2}}},
      {"EraseInitFirst", [](auto& l) { return EraseInit(l, kBankFirst); }, {{{0x14, 0x01}}}},
      {"EraseInitSecond", [](auto& l) { return EraseInit(l, kBankSecond); }, {{{0x14, 0x00}}}},
      {"GetModuleType", [](auto& l) { return GetModuleType(l, byte); }, {{{0x16}, 1}}},
      {"SetBus8", [](auto& l) { return SetBus8(l); }, {{{0x17}}}},
      {"SetBus16", [](auto& l) { return SetBus16(l); }, {{{0x18}}}},
      {"ChipSelectFirst", [](auto& l) { return ChipSelect(l, kBankFirst); }, {{{0x23, 0x01}}}},
      {"ChipSelectSecond", [](auto& l) { return ChipSelect(l, kBankSecond); }, {{{0x23, 0x00}}}},
      {"GetChipId", [](auto& l) { return GetChipId(l, id); }, {{{0x36}, 4}}},
      {"EraseStartFirst", [](auto& l) { return EraseStart(l, kBankFirst); }, {{{0x50, 0x01}}}},
      {"EraseStartSecond", [](auto& l) { return EraseStart(l, kBankSecond); }, {{{0x50, 0x00}}}},
      {"ErasePollFirst",
       [](auto& l) { return ErasePoll(l, kBankFirst, byte); },
       {{{0x51, 0x01}, 1}}},
      {"ErasePollSecond",
       [](auto& l) { return ErasePoll(l, kBankSecond, byte); },
       {{{0x51, 0x00}, 1}}},
      {"EraseCheckFirst",
       [](auto& l) { return EraseCheck(l, kBankFirst, byte); },
       {{{0x52, 0x01}, 1}}},
      {"EraseCheckSecond",
       [](auto& l) { return EraseCheck(l, kBankSecond, byte); },
       {{{0x52, 0x00}, 1}}},
  };
}

// The transfers the device saw, as (out bytes | in size) with endpoint and timeout checked.
std::vector<Exchange> Seen(const sim::SimBus& bus, int timeoutOut = 1000) {
  std::vector<Exchange> seen;
  for (const sim::TransferRecord& t : bus.Transfers()) {
    EXPECT_EQ(t.endpoint, t.out ? 0x04 : 0x85);
    if (t.out) {
      EXPECT_EQ(t.timeout, timeoutOut);
      seen.push_back({t.bytes, 0});
    } else {
      EXPECT_EQ(t.timeout, 1000);
      EXPECT_FALSE(seen.empty());
      if (!seen.empty())
        seen.back().inSize = t.requested;
    }
  }
  return seen;
}

bool operator==(const Exchange& a, const Exchange& b) {
  return a.out == b.out && a.inSize == b.inSize;
}

TEST(Commands, EachSendsItsExactRequestAndReadsItsExactAnswer) {
  for (const CommandCase& c : SimpleCommands()) {
    SCOPED_TRACE(c.name);
    LinkRig rig;
    rig.OpenProgrammer();
    EXPECT_EQ(c.run(rig.link), kCommandOk);
    EXPECT_EQ(Seen(rig.bus), c.exchanges);
  }
}

// Every transfer of every command made to fail in each way: the command reports 0xFF and
// sends nothing after the failed transfer.
TEST(Commands, StopAtTheFirstBadTransfer) {
  for (const CommandCase& c : SimpleCommands()) {
    const int transfers = static_cast<int>(c.exchanges.size()) + (c.exchanges[0].inSize ? 1 : 0);
    for (int failing = 0; failing < transfers; ++failing) {
      for (sim::FaultKind kind :
           {sim::FaultKind::Error, sim::FaultKind::Short, sim::FaultKind::Timeout}) {
        SCOPED_TRACE(c.name + " transfer " + std::to_string(failing) + " kind " +
                     std::to_string(static_cast<int>(kind)));
        LinkRig rig;
        sim::DeviceConfig config;
        config.faults.atTransfer = kOpenTransfers + failing;
        config.faults.kind = kind;
        rig.OpenProgrammer(config);
        EXPECT_EQ(c.run(rig.link), kCommandFailed);
        EXPECT_EQ(static_cast<int>(rig.bus.Transfers().size()), failing + 1);
      }
    }
  }
}

TEST(Commands, AnswersReachTheCallerOnlyWhenWhole) {
  LinkRig rig;
  sim::DeviceConfig config;
  config.model.moduleType = 0x2A;
  config.model.chipId = {0x01, 0x22, 0xFF, 0x00};
  sim::SimDevice& device = rig.OpenProgrammer(config);

  uint8_t type = 0;
  std::array<uint8_t, 4> id{};
  std::array<uint8_t, 2> version{};
  EXPECT_EQ(GetModuleType(rig.link, type), kCommandOk);
  EXPECT_EQ(type, 0x2A);
  EXPECT_EQ(GetChipId(rig.link, id), kCommandOk);
  EXPECT_EQ(id, (std::array<uint8_t, 4>{0x01, 0x22, 0xFF, 0x00}));
  EXPECT_EQ(GetVersion(rig.link, version), kCommandOk);
  EXPECT_EQ(version, (std::array<uint8_t, 2>{2, 1}));

  // A short chip ID answer leaves the caller's bytes as they were.
  device.Faults().kind = sim::FaultKind::Short;
  device.Faults().atTransfer = kOpenTransfers + 7;  // the next GetChipId's answer
  id = {9, 9, 9, 9};
  EXPECT_EQ(GetChipId(rig.link, id), kCommandFailed);
  EXPECT_EQ(id, (std::array<uint8_t, 4>{9, 9, 9, 9}));
}

TEST(Commands, EraseStatesComeFromTheDevice) {
  LinkRig rig;
  sim::DeviceConfig config;
  config.model.dualBank = true;
  config.model.sizeMiB = 32;
  config.model.eraseScript = {std::vector<uint8_t>{1, 3, 0}, std::vector<uint8_t>{7}};
  rig.OpenProgrammer(config);
  for (uint8_t bank : {kBankFirst, kBankSecond}) {
    ASSERT_EQ(EraseInit(rig.link, bank), kCommandOk);
    ASSERT_EQ(EraseStart(rig.link, bank), kCommandOk);
  }
  uint8_t state = 0xEE;
  EXPECT_EQ(ErasePoll(rig.link, kBankFirst, state), kCommandOk);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(ErasePoll(rig.link, kBankSecond, state), kCommandOk);
  EXPECT_EQ(state, 7);
  EXPECT_EQ(ErasePoll(rig.link, kBankFirst, state), kCommandOk);
  EXPECT_EQ(state, 3);
  EXPECT_EQ(EraseCheck(rig.link, kBankFirst, state), kCommandOk);
  EXPECT_EQ(state, 0);
}

TEST(ReadBlock, RequestsTheBlockLengthAndFillsTheBuffer) {
  struct Case {
    uint8_t high, low;
  };
  for (const Case c : {Case{0x80, 0x00}, Case{0x00, 0x01}, Case{0x01, 0x23}, Case{0xFF, 0xFF}}) {
    const int length = c.high * 256 + c.low;
    SCOPED_TRACE(length);
    LinkRig rig;
    rig.OpenProgrammer();
    std::vector<uint8_t> buffer(static_cast<size_t>(length) + 1, 0xAB);
    EXPECT_EQ(ReadBlock(rig.link, buffer.data(), c.high, c.low), kCommandOk);
    EXPECT_EQ(Seen(rig.bus), (std::vector<Exchange>{{{0x12}, length}}));
    for (int i = 0; i < length; ++i)
      ASSERT_EQ(buffer[size_t(i)], sim::PatternByte(uint64_t(i))) << i;
    EXPECT_EQ(buffer.back(), 0xAB);  // nothing written past the block
  }
}

TEST(ReadBlock, ShortBlockFailsAndSendsNothingMore) {
  LinkRig rig;
  sim::DeviceConfig config;
  config.faults.atReadBlock = 1;
  config.faults.kind = sim::FaultKind::Short;
  rig.OpenProgrammer(config);
  std::vector<uint8_t> buffer(kBlock);
  EXPECT_EQ(ReadBlock(rig.link, buffer.data(), 0x80, 0x00), kCommandOk);
  EXPECT_EQ(ReadBlock(rig.link, buffer.data(), 0x80, 0x00), kCommandFailed);
  EXPECT_EQ(rig.bus.Transfers().size(), 4u);
  EXPECT_EQ(rig.bus.Transfers().back().result, 0x7FFF);
}

TEST(ReadBlock, ZeroLengthIsRefusedBeforeAnythingIsSent) {
  LinkRig rig;
  rig.OpenProgrammer();
  uint8_t buffer[1] = {};
  EXPECT_EQ(ReadBlock(rig.link, buffer, 0, 0), kCommandFailed);
  EXPECT_TRUE(rig.bus.Transfers().empty());
}

class WriteBlockTest : public ::testing::Test {
 protected:
  // A fresh programmer; nothing handed back yet.
  void Open(const sim::DeviceConfig& config = {}) {
    rig_ = std::make_unique<LinkRig>();
    device_ = &rig_->OpenProgrammer(config);
    rig_->bus.SetRecordLimit(kBlock);
    answer_.clear();
  }
  uint8_t Write(uint8_t mode) {
    return WriteBlock(rig_->link, block_.data(), 0x80, 0x00, mode, &answer_);
  }
  const std::vector<sim::TransferRecord>& Transfers() const { return rig_->bus.Transfers(); }

  std::unique_ptr<LinkRig> rig_;
  sim::SimDevice* device_ = nullptr;
  std::string answer_;  // what the device answered after refusing a block
  std::vector<uint8_t> block_ = [] {
    std::vector<uint8_t> b(kBlock);
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 7 + 3);
    return b;
  }();
};

TEST_F(WriteBlockTest, OpcodeFollowsWriteModeThenBlockThenStatus) {
  struct Case {
    uint8_t mode, opcode;
  };
  for (const Case c : {Case{0, 0x11}, Case{1, 0xA0}, Case{2, 0x11}}) {
    SCOPED_TRACE(int(c.mode));
    Open();
    EXPECT_EQ(Write(c.mode), kCommandOk);
    const auto& t = Transfers();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_TRUE(t[0].out);
    EXPECT_EQ(t[0].bytes, (Bytes{c.opcode}));
    EXPECT_EQ(t[0].timeout, 1000);
    EXPECT_TRUE(t[1].out);
    EXPECT_EQ(t[1].endpoint, 0x04);
    EXPECT_EQ(t[1].bytes, block_);
    EXPECT_EQ(t[1].timeout, 5000);
    EXPECT_FALSE(t[2].out);
    EXPECT_EQ(t[2].endpoint, 0x85);
    EXPECT_EQ(t[2].requested, 1);
    EXPECT_EQ(t[2].timeout, 1000);
    // Status 0 hands back nothing to show.
    EXPECT_EQ(answer_, "");
  }
}

TEST_F(WriteBlockTest, ErrorAnswerIsHandedBackAsItsText) {
  sim::DeviceConfig config;
  config.model.writeStatus = 0x5A;
  config.model.writeErrorAnswer = {0x01, 0x02, 0x03, 0x04, 0x05, 0x11,
                                   0x12, 0x13, 0x14, 0x15, 0xFF};
  Open(config);
  EXPECT_EQ(Write(0), kCommandFailed);
  EXPECT_EQ(answer_, "(1-11) (2-12) (3-13) (4-14) 5 # 15, ff");
  const auto& t = Transfers();
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[3].requested, 11);
  EXPECT_EQ(t[3].timeout, 1000);
}

TEST_F(WriteBlockTest, UnreadableErrorAnswerIsReported) {
  struct Case {
    std::string name;
    std::vector<uint8_t> answer;
    sim::FaultKind fault;
    bool failAnswerTransfer;
  };
  for (const Case& c :
       {Case{"ShortAnswer", {1, 2, 3, 4, 5}, sim::FaultKind::Error, false},
        Case{"TenBytes", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, sim::FaultKind::Error, false},
        Case{"AnswerTimesOut", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, sim::FaultKind::Timeout, true},
        Case{"AnswerFails", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, sim::FaultKind::Error, true}}) {
    SCOPED_TRACE(c.name);
    sim::DeviceConfig config;
    config.model.writeStatus = 1;
    config.model.writeErrorAnswer = c.answer;
    config.faults.kind = c.fault;
    config.faults.atTransfer = c.failAnswerTransfer ? kOpenTransfers + 3 : -1;
    Open(config);
    EXPECT_EQ(Write(0), kCommandFailed);
    EXPECT_EQ(answer_, "Can't read write error answer");
  }
}

TEST_F(WriteBlockTest, FailedTransfersStopSilently) {
  // The opcode, the block and the status byte, each failing in turn.
  for (int failing = 0; failing < 3; ++failing) {
    for (sim::FaultKind kind : {sim::FaultKind::Error, sim::FaultKind::Short}) {
      SCOPED_TRACE(failing);
      sim::DeviceConfig config;
      config.model.writeStatus = 3;  // would be logged if the status were read
      config.faults.atTransfer = kOpenTransfers + failing;
      config.faults.kind = kind;
      Open(config);
      EXPECT_EQ(Write(1), kCommandFailed);
      EXPECT_EQ(static_cast<int>(Transfers().size()), failing + 1);
      EXPECT_EQ(answer_, "");
    }
  }
}

TEST_F(WriteBlockTest, ProgramsTheFlashAtTheDeviceAddress) {
  sim::DeviceConfig config;
  config.model.contents = sim::InitialContents::Erased;
  Open(config);
  ASSERT_EQ(Write(0), kCommandOk);
  ASSERT_EQ(Write(0), kCommandOk);
  std::vector<uint8_t> flash(2 * kBlock);
  device_->Model().Flash().ReadImage(0, flash.data(), flash.size());
  EXPECT_TRUE(std::equal(block_.begin(), block_.end(), flash.begin()));
  EXPECT_TRUE(std::equal(block_.begin(), block_.end(), flash.begin() + kBlock));
}

TEST(WriteErrorAnswerText, ShowsByteKOfBothGroupsSideBySide) {
  struct Case {
    std::array<uint8_t, 11> answer;
    std::string text;
  };
  for (const Case& c : {
           Case{{0x01, 0x02, 0x03, 0x04, 0x05, 0x11, 0x12, 0x13, 0x14, 0x15, 0xFF},
                "(1-11) (2-12) (3-13) (4-14) 5 # 15, ff"},
           Case{{}, "(0-0) (0-0) (0-0) (0-0) 0 # 0, 0"},
           Case{{0xA0, 0x0B, 0xC0, 0x0D, 0xE0, 0x0F, 0x10, 0x20, 0x30, 0x40, 0x05},
                "(a0-f) (b-10) (c0-20) (d-30) e0 # 40, 5"},
       }) {
    EXPECT_EQ(WriteErrorAnswerText(c.answer), c.text);
  }
}

TEST(BusCommands, WriteSendsAddressLowWordFirstAndReturnsTheLibraryResult) {
  struct Case {
    uint32_t address;
    uint16_t data;
    Bytes request;
  };
  for (const Case& c : {Case{0x555, 0xAA, {0x60, 0x05, 0x55, 0x00, 0x00, 0xAA, 0x00}},
                        Case{0x2AA, 0x55, {0x60, 0x02, 0xAA, 0x00, 0x00, 0x55, 0x00}},
                        Case{0x01F, 0x29, {0x60, 0x00, 0x1F, 0x00, 0x00, 0x29, 0x00}},
                        Case{0x12345678, 0xBEEF, {0x60, 0x56, 0x78, 0x34, 0x12, 0xEF, 0xBE}}}) {
    LinkRig rig;
    rig.OpenProgrammer();
    EXPECT_EQ(BusWrite(rig.link, c.address, c.data), 7);
    EXPECT_EQ(rig.bus.OutRequests(), (std::vector<Bytes>{c.request}));
  }
}

TEST(BusCommands, ResultsPassThroughUnchanged) {
  struct Case {
    sim::FaultKind kind;
    int atTransfer;  // 0: the request, 1: the answer
    int write, read;
  };
  for (const Case& c :
       {Case{sim::FaultKind::Error, 0, -EIO, -EIO}, Case{sim::FaultKind::Short, 0, 6, 0},
        Case{sim::FaultKind::Short, 1, 7, 3}, Case{sim::FaultKind::Timeout, 1, 7, -ETIMEDOUT}}) {
    LinkRig rig;
    sim::DeviceConfig config;
    config.faults.kind = c.kind;
    config.faults.atTransfer = kOpenTransfers + c.atTransfer;
    rig.OpenProgrammer(config);
    EXPECT_EQ(BusWrite(rig.link, 0x555, 0xAA), c.write);

    LinkRig other;
    other.OpenProgrammer(config);
    uint8_t buffer[4] = {};
    EXPECT_EQ(BusRead(other.link, buffer, 4), c.read);
  }
}

TEST(BusCommands, ReadSendsOneByteAndAsksForN) {
  LinkRig rig;
  rig.OpenProgrammer();
  uint8_t buffer[4] = {};
  EXPECT_EQ(BusRead(rig.link, buffer, 4), 4);
  EXPECT_EQ(Seen(rig.bus), (std::vector<Exchange>{{{0x61}, 4}}));
  // Flash array read at address 0: the start of the pattern image.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(buffer[i], sim::PatternByte(uint64_t(i)));
}

TEST(Commands, NothingReachesTheLibraryAfterClose) {
  LinkRig rig;
  rig.OpenProgrammer();
  CloseProgrammer(rig.link);
  rig.bus.ClearRecord();
  std::string answer;
  uint8_t byte = 0;
  std::vector<uint8_t> block(16);
  std::array<uint8_t, 4> id{};
  EXPECT_EQ(FlashReset(rig.link), kCommandFailed);
  EXPECT_EQ(GetModuleType(rig.link, byte), kCommandFailed);
  EXPECT_EQ(GetChipId(rig.link, id), kCommandFailed);
  EXPECT_EQ(ReadBlock(rig.link, block.data(), 0, 16), kCommandFailed);
  EXPECT_EQ(WriteBlock(rig.link, block.data(), 0, 16, 0, &answer), kCommandFailed);
  EXPECT_LT(BusWrite(rig.link, 0x555, 0xAA), 0);
  EXPECT_LT(BusRead(rig.link, block.data(), 4), 0);
  EXPECT_TRUE(rig.bus.Calls().empty());
  EXPECT_EQ(answer, "");
}

}  // namespace
