#include "sim/device_model.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Talks to the firmware directly, one transfer at a time.
struct Host {
  explicit Host(const sim::ModelConfig& config = {}) : model(config) {}
  void Out(const Bytes& request) { model.Receive(request.data(), request.size()); }
  Bytes In(size_t size) {
    Bytes answer(size);
    const int got = model.Send(answer.data(), size);
    answer.resize(got < 0 ? 0 : size_t(got));
    return answer;
  }
  int InResult(size_t size) {
    Bytes answer(size);
    return model.Send(answer.data(), size);
  }
  sim::DeviceModel model;
};

TEST(DeviceModel, IdentityAnswers) {
  sim::ModelConfig config;
  config.version = {2, 1};
  config.moduleType = 0x06;
  config.chipId = {0x01, 0x7E, 0x23, 0x01};
  Host host(config);
  host.Out({0x13});
  EXPECT_EQ(host.In(2), (Bytes{2, 1}));
  host.Out({0x16});
  EXPECT_EQ(host.In(1), (Bytes{0x06}));
  host.Out({0x36});
  EXPECT_EQ(host.In(4), (Bytes{0x01, 0x7E, 0x23, 0x01}));
}

TEST(DeviceModel, OneByteVersionGivesAShortAnswer) {
  sim::ModelConfig config;
  config.version = {2};
  Host host(config);
  host.Out({0x13});
  EXPECT_EQ(host.InResult(2), 1);
}

TEST(DeviceModel, NothingToSayLetsTheHostTimeOut) {
  Host host;
  EXPECT_EQ(host.InResult(1), -ETIMEDOUT);
  host.Out({0x01});  // FlashReset has no answer
  EXPECT_EQ(host.InResult(1), -ETIMEDOUT);
  // An answer left unread is dropped by the next request.
  host.Out({0x16});
  host.Out({0x17});
  EXPECT_EQ(host.InResult(1), -ETIMEDOUT);
}

TEST(DeviceModel, RegistersFollowTheRequests) {
  sim::ModelConfig config;
  config.dualBank = true;
  config.sizeMiB = 64;
  Host host(config);
  EXPECT_EQ(host.model.BankByte(), 1);
  host.Out({0x10, 0x12, 0x34, 0x56, 0x78});
  EXPECT_EQ(host.model.Address(), 0x12345678u);
  host.Out({0x23, 0x00});
  EXPECT_EQ(host.model.BankByte(), 0);
  host.Out({0x18});
  EXPECT_EQ(host.model.BusWidth(), 16);
  host.Out({0x17});
  EXPECT_EQ(host.model.BusWidth(), 8);
  EXPECT_EQ(host.model.IgnoredRequests(), 0);
}

TEST(DeviceModel, MalformedAndUnknownRequestsAreIgnored) {
  Host host;
  host.Out({0x10, 0x00, 0x00, 0x01});  // one address byte short
  host.Out({0x13, 0x00});              // GetVersion with a stray byte
  host.Out({0x77});
  EXPECT_EQ(host.model.Address(), 0u);
  EXPECT_EQ(host.model.IgnoredRequests(), 3);
  EXPECT_EQ(host.InResult(2), -ETIMEDOUT);
}

TEST(DeviceModel, BlocksRunOnFromAddressZeroOfEachBank) {
  sim::ModelConfig config;
  config.dualBank = true;
  config.sizeMiB = 32;
  config.contents = sim::InitialContents::Pattern;
  Host host(config);
  const size_t bank = 16u << 20;
  host.Out({0x10, 0, 0, 0, 0});
  host.Out({0x23, 0x01});
  for (size_t block = 0; block < 2; ++block) {
    host.Out({0x12});
    const Bytes data = host.In(0x8000);
    ASSERT_EQ(data.size(), 0x8000u);
    for (size_t i = 0; i < data.size(); i += 997)
      EXPECT_EQ(data[i], sim::PatternByte(block * 0x8000 + i));
  }
  EXPECT_EQ(host.model.ReadBlocks(), 2);
  host.Out({0x10, 0, 0, 0, 0});
  host.Out({0x23, 0x00});
  host.Out({0x12});
  const Bytes second = host.In(16);
  for (size_t i = 0; i < second.size(); ++i) EXPECT_EQ(second[i], sim::PatternByte(bank + i));
}

TEST(DeviceModel, ReadFaultsSpoilOnlyTheAnswers) {
  using Expect = std::function<uint8_t(int block, uint32_t address, size_t i, uint8_t truth)>;
  struct Case {
    std::string name;
    sim::ReadFlip flip;
    sim::StuckBit stuck;
    Expect expect;
  };
  for (const Case& c : {
           Case{"none", {}, {}, [](int, uint32_t, size_t, uint8_t t) { return t; }},
           Case{"flip",
                {1, 5, 0x81},
                {},
                [](int block, uint32_t, size_t i, uint8_t t) {
                  return uint8_t(block == 1 && i == 5 ? t ^ 0x81 : t);
                }},
           Case{"flip beyond the answer",
                {0, 16, 0xFF},
                {},
                [](int, uint32_t, size_t, uint8_t t) { return t; }},
           Case{"odd bit 3 stuck at 1",
                {},
                {sim::ByteLane::Odd, 3, true},
                [](int, uint32_t a, size_t, uint8_t t) { return uint8_t(a & 1 ? t | 0x08 : t); }},
           Case{"even bit 0 stuck at 0",
                {},
                {sim::ByteLane::Even, 0, false},
                [](int, uint32_t a, size_t, uint8_t t) { return uint8_t(a & 1 ? t : t & 0xFE); }},
       }) {
    SCOPED_TRACE(c.name);
    sim::ModelConfig config;
    config.readFlip = c.flip;
    config.stuckBit = c.stuck;
    Host host(config);
    // Blocks start at an odd address; every session since usb_open counts from block 0.
    for (int session = 0; session < 2; ++session) {
      host.model.ResetTransport();
      host.Out({0x10, 0, 0, 0x01, 0x01});
      for (int block = 0; block < 2; ++block) {
        host.Out({0x12});
        const Bytes data = host.In(16);
        ASSERT_EQ(data.size(), 16u);
        for (size_t i = 0; i < data.size(); ++i) {
          const uint32_t address = 0x101 + 16 * uint32_t(block) + uint32_t(i);
          EXPECT_EQ(data[i], c.expect(block, address, i, sim::PatternByte(address)))
              << "session " << session << " block " << block << " byte " << i;
        }
      }
    }
    Bytes flash(32);
    host.model.Flash().ReadImage(0x101, flash.data(), flash.size());
    for (uint32_t i = 0; i < 32; ++i) EXPECT_EQ(flash[i], sim::PatternByte(0x101 + i)) << i;
  }
}

TEST(DeviceModel, WriteBlockProgramsAndAnswersStatusZero) {
  sim::ModelConfig config;
  config.contents = sim::InitialContents::Erased;
  Host host(config);
  for (uint8_t opcode : {0x11, 0xA0}) {
    host.Out({opcode});
    EXPECT_TRUE(host.model.ExpectingWriteData());
    host.Out(Bytes(8, opcode == 0x11 ? 0x0F : 0xF3));
    EXPECT_EQ(host.In(1), (Bytes{0}));
  }
  EXPECT_EQ(host.model.WriteBlocks(), 2);
  EXPECT_EQ(host.model.Address(), 16u);
  Bytes flash(17);
  host.model.Flash().ReadImage(0, flash.data(), flash.size());
  EXPECT_EQ(flash, (Bytes{0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0xF3, 0xF3, 0xF3, 0xF3,
                          0xF3, 0xF3, 0xF3, 0xF3, 0xFF}));
  // A data phase is taken as data even when it starts like a request.
  host.Out({0x11});
  host.Out({0x13});
  EXPECT_EQ(host.In(2), (Bytes{0}));
}

TEST(DeviceModel, WriteStatusOnOneBlockLeavesItUnprogrammed) {
  sim::ModelConfig config;
  config.contents = sim::InitialContents::Erased;
  config.writeStatus = 0x21;
  config.writeStatusAtBlock = 1;
  config.writeErrorAnswer = {1, 2, 3};
  Host host(config);
  for (int block = 0; block < 3; ++block) {
    host.Out({0x11});
    host.Out(Bytes(4, 0x00));
    if (block == 1) {
      EXPECT_EQ(host.In(1), (Bytes{0x21}));
      EXPECT_EQ(host.In(11), (Bytes{1, 2, 3}));
    } else {
      EXPECT_EQ(host.In(1), (Bytes{0}));
      EXPECT_EQ(host.InResult(11), -ETIMEDOUT);
    }
  }
  Bytes flash(12);
  host.model.Flash().ReadImage(0, flash.data(), flash.size());
  EXPECT_EQ(flash, (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(DeviceModel, ErasePollsFollowTheScriptWhileTheChipsEraseByThemselves) {
  sim::ModelConfig config;
  config.dualBank = true;
  config.sizeMiB = 32;
  config.contents = sim::InitialContents::Zero;
  config.eraseScript = {Bytes{1, 1, 3, 0}, Bytes{1, 5}};
  Host host(config);
  auto poll = [&](uint8_t opcode, uint8_t bank) {
    host.Out({opcode, bank});
    const Bytes answer = host.In(1);
    return answer.empty() ? -1 : int(answer[0]);
  };
  auto first = [&](int bank) {
    uint8_t byte = 0;
    host.model.Flash().Read(bank, 0, &byte, 1);
    return byte;
  };
  // Not started: nothing to do.
  EXPECT_EQ(poll(0x51, 1), 0);
  // EraseStart needs the EraseInit of its own bank.
  host.Out({0x50, 0x01});
  host.Out({0x14, 0x01});
  host.Out({0x50, 0x00});
  EXPECT_EQ(poll(0x51, 1), 0);
  EXPECT_EQ(poll(0x51, 0), 0);
  EXPECT_EQ(first(0), 0x00);
  EXPECT_EQ(first(1), 0x00);

  host.Out({0x50, 0x01});  // bank 1 was prepared above
  host.Out({0x14, 0x00});
  host.Out({0x50, 0x00});
  // At zero latency the chips are blank at once, before any poll: a host that stops
  // polling (Cancel) does not stop the erase.
  EXPECT_EQ(first(0), 0xFF);
  EXPECT_EQ(poll(0x51, 1), 1);
  EXPECT_EQ(poll(0x51, 0), 1);
  EXPECT_EQ(poll(0x51, 1), 1);
  EXPECT_EQ(poll(0x51, 0), 5);
  EXPECT_EQ(poll(0x52, 1), 3);
  EXPECT_EQ(poll(0x52, 1), 0);
  EXPECT_EQ(poll(0x51, 1), 0);  // done stays done
  // The second bank's script never reaches 0: it repeats and the bank keeps its data.
  EXPECT_EQ(poll(0x51, 0), 5);
  EXPECT_EQ(poll(0x52, 0), 5);
  EXPECT_EQ(first(1), 0x00);
}

TEST(DeviceModel, EraseWithLatencyBlanksTheBankWhenItsTimeIsUpWithoutAPoll) {
  sim::ModelConfig config;
  config.contents = sim::InitialContents::Zero;
  config.timing.eraseMilliseconds = 40;
  Host host(config);
  host.Out({0x14, 0x01});
  host.Out({0x50, 0x01});
  EXPECT_EQ(host.model.Flash().Image()[0], 0x00);  // still erasing
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(host.model.Flash().Image()[0], 0xFF);
}

TEST(DeviceModel, EraseOfAMissingBankAnswersFf) {
  Host host;  // one bank
  host.Out({0x14, 0x00});
  host.Out({0x50, 0x00});
  host.Out({0x51, 0x00});
  EXPECT_EQ(host.In(1), (Bytes{0xFF}));
}

TEST(DeviceModel, EmptyEraseScriptIsDoneAtOnce) {
  sim::ModelConfig config;
  config.contents = sim::InitialContents::Zero;
  config.eraseScript[0] = {};
  Host host(config);
  host.Out({0x14, 0x01});
  host.Out({0x50, 0x01});
  host.Out({0x51, 0x01});
  EXPECT_EQ(host.In(1), (Bytes{0}));
  EXPECT_EQ(host.model.Flash().Image()[123], 0xFF);
}

TEST(DeviceModel, ResetTransportForgetsAnswersButKeepsRegistersAndFlash) {
  sim::ModelConfig config;
  config.contents = sim::InitialContents::Erased;
  Host host(config);
  host.Out({0x10, 0, 0, 0x01, 0x00});
  host.Out({0x11});
  host.Out(Bytes(2, 0));
  host.Out({0x11});  // data phase never sent
  host.model.ResetTransport();
  EXPECT_FALSE(host.model.ExpectingWriteData());
  EXPECT_EQ(host.model.WriteBlocks(), 0);
  EXPECT_EQ(host.InResult(1), -ETIMEDOUT);
  EXPECT_EQ(host.model.Address(), 0x102u);
  EXPECT_EQ(host.model.Flash().Image()[0x100], 0x00);
}

// Raw bus cycles as the bench diagnostic drives them.
struct BusHost : Host {
  using Host::Host;
  void Write(uint32_t address, uint16_t data) {
    Out({0x60, uint8_t(address >> 8), uint8_t(address), uint8_t(address >> 16),
         uint8_t(address >> 24), uint8_t(data), uint8_t(data >> 8)});
  }
  Bytes Read() {
    Out({0x61});
    return In(4);
  }
  void Program() {
    Out({0x01});
    Write(0x555, 0xAA);
    Write(0x2AA, 0x55);
    Write(0x000, 0x25);
    Write(0x000, 0x0F);
    for (uint16_t i = 0; i < 16; ++i) Write(i, 0x80 + i);
    Write(0x01F, 0x29);
    Out({0x10, 0, 0, 0, 0x1F});
  }
  // Cycles of two reads until bit 6 of byte 1 stops changing, as the diagnostic counts.
  int Cycles() {
    int cycles = 0;
    for (;;) {
      const uint8_t first = Read()[1];
      const uint8_t second = Read()[1];
      ++cycles;
      if (((first ^ second) & 0x40) == 0 || cycles >= 1000)
        return cycles;
    }
  }
};

TEST(DeviceModel, LockRegisterAfterTheUnlockSequence) {
  sim::ModelConfig config;
  config.lockRegister = {0xC1, 0x02, 0xC3, 0x04};
  config.contents = sim::InitialContents::Zero;
  BusHost host(config);
  EXPECT_EQ(host.Read(), (Bytes{0, 0, 0, 0}));  // array read before any command
  host.Out({0x01});
  host.Write(0x555, 0xAA);
  host.Write(0x2AA, 0x55);
  host.Write(0x555, 0x40);
  host.Out({0x10, 0, 0, 0, 0});
  EXPECT_EQ(host.Read(), (Bytes{0xC1, 0x02, 0xC3, 0x04}));
  host.Out({0x01});  // FlashReset: back to the array
  EXPECT_EQ(host.Read(), (Bytes{0, 0, 0, 0}));
}

TEST(DeviceModel, StatusBitSixTogglesTheConfiguredNumberOfTimes) {
  struct Case {
    int toggles;
    int cycles;
  };
  for (const Case c : {Case{0, 1}, Case{1, 2}, Case{7, 5}, Case{8, 5}, Case{9, 6}, Case{1998, 1000},
                       Case{0x7FFFFFFF, 1000}}) {
    SCOPED_TRACE(c.toggles);
    sim::ModelConfig config;
    config.statusToggles = c.toggles;
    BusHost host(config);
    host.Program();
    EXPECT_EQ(host.Cycles(), c.cycles);
    const Bytes steady = host.Read();
    EXPECT_EQ(steady[0] & 0x80, 0x80);
    EXPECT_EQ(steady[0], steady[1]);
  }
}

TEST(DeviceModel, BusWritesAreRecordedInOrder) {
  BusHost host;
  host.Program();
  const auto& writes = host.model.Bus().Writes();
  ASSERT_EQ(writes.size(), 21u);
  EXPECT_EQ(writes[0], (sim::BusCycle{0x555, 0xAA}));
  EXPECT_EQ(writes[1], (sim::BusCycle{0x2AA, 0x55}));
  EXPECT_EQ(writes[2], (sim::BusCycle{0x000, 0x25}));
  EXPECT_EQ(writes[3], (sim::BusCycle{0x000, 0x0F}));
  for (uint16_t i = 0; i < 16; ++i)
    EXPECT_EQ(writes[4 + i], (sim::BusCycle{i, uint16_t(0x80 + i)}));
  EXPECT_EQ(writes[20], (sim::BusCycle{0x01F, 0x29}));
  // The address's upper bytes and the data's high byte arrive too.
  host.Write(0x12345678, 0xBEEF);
  EXPECT_EQ(host.model.Bus().Writes().back(), (sim::BusCycle{0x12345678, 0xBEEF}));
}

TEST(DeviceModel, ConfirmWithoutProgramSequenceChangesNothing) {
  sim::ModelConfig config;
  config.contents = sim::InitialContents::Zero;
  BusHost host(config);
  host.Write(0x01F, 0x29);
  EXPECT_EQ(host.model.Bus().CurrentMode(), sim::BusCycles::Mode::Array);
  EXPECT_EQ(host.Read(), (Bytes{0, 0, 0, 0}));
}

}  // namespace
