// The write job on the simulated programmer: which bytes reach which bank, the write
// opcodes, progress, Cancel, device errors and the files it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "flash/identify.h"
#include "flash/jobs.h"
#include "programmer/commands.h"
#include "tests/support/rig.h"
#include "tests/support/test_data.h"

namespace {

using Strings = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

using testdata::Noise;
using testdata::Stamp;
constexpr size_t kMiB = size_t(1) << 20;
constexpr auto kErased = sim::InitialContents::Erased;

bool AllErased(const Bytes& bytes, size_t from) {
  return Bytes(bytes.begin() + static_cast<long>(from), bytes.end()) ==
         Bytes(bytes.size() - from, 0xFF);
}

Bytes Slice(const Bytes& bytes, size_t from, size_t size) {
  return Bytes(bytes.begin() + static_cast<long>(from),
               bytes.begin() + static_cast<long>(from + size));
}

// A rig connected and identified, with the write job's source in its folder.
struct WriteRig : Rig {
  explicit WriteRig(const sim::DeviceConfig& config,
                    const std::function<void(Rig&)>& beforeConnect = {})
      : Rig(config) {
    if (beforeConnect)
      beforeConnect(*this);
    Connect();
    UseWriteFile(dir.File("image.bin"));
  }

  const std::string& Path() const { return ctx.selection.WriteFileName; }
  void PutFile(const Bytes& bytes) const { WriteFileBytes(Path(), bytes); }

  std::vector<sim::TransferRecord> DataPhases() const {
    std::vector<sim::TransferRecord> out;
    for (const auto& t : bus.Transfers())
      if (t.out && t.requested == int(kBlock))
        out.push_back(t);
    return out;
  }

  std::string StartLine() const { return "Green: " + Stamp("Start write from " + Path()); }
};

const std::string kDone = "Green: " + Stamp("Write done, 0:00:00");
const std::string kSetAddress0 = "10 00 00 00 00";

// ---------------------------------------------------------------------------------------

TEST(WriteJob, ThirtyTwoMegDualBankSplitsTheFileBetweenTheBanks) {
  WriteRig w(Module(kModule32M).Contents(kErased));
  const Bytes file = Noise(32 * kMiB, 1);
  w.PutFile(file);

  EXPECT_EQ(WriteJob(w.ctx).Code(), kCommandOk);
  EXPECT_EQ(w.JobLines(), (Strings{w.StartLine(), kDone}));

  const Bytes image = w.FlashImage();
  ASSERT_EQ(image.size(), 32 * kMiB);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), file.begin()));
  // The second half of the file is in the second bank (bank byte 0).
  Bytes bank0(kBlock);
  w.Model().Flash().Read(1, 0, bank0.data(), bank0.size());
  EXPECT_EQ(bank0, Slice(file, 16 * kMiB, kBlock));

  // Bank 1 positioned before block 0, bank 0 before block 512 and nowhere else; write
  // mode 1 of the identified chip sends A0.
  Strings expected;
  for (int i = 0; i < 1024; ++i) {
    if (i == 0)
      expected.insert(expected.end(), {kSetAddress0, "23 01"});
    if (i == 512)
      expected.insert(expected.end(), {kSetAddress0, "23 00"});
    expected.push_back("A0");
  }
  EXPECT_EQ(w.Commands(), expected);
  EXPECT_EQ(w.window.progressMaximum, 1024);
  EXPECT_EQ(w.window.ProgressPosition(), 1024);
}

TEST(WriteJob, EveryBlockIsOpcodeDataStatusWithTheLongTimeoutOnTheData) {
  WriteRig w(Module(kModule16M).Contents(kErased));
  const Bytes file = Noise(16 * kMiB, 2);
  w.PutFile(file);
  ASSERT_EQ(WriteJob(w.ctx).Code(), kCommandOk);

  const auto& t = w.bus.Transfers();
  ASSERT_EQ(t.size(), 2 + 3 * 512u);  // SetAddress, ChipSelect, then three per block
  for (size_t block = 0; block < 512; ++block) {
    const auto& opcode = t[2 + 3 * block];
    const auto& data = t[3 + 3 * block];
    const auto& status = t[4 + 3 * block];
    EXPECT_TRUE(opcode.out && opcode.requested == 1 && opcode.timeout == 1000) << block;
    EXPECT_TRUE(data.out && data.endpoint == 0x04 && data.timeout == 5000) << block;
    EXPECT_EQ(data.requested, int(kBlock)) << block;
    EXPECT_EQ(data.result, int(kBlock)) << block;
    // The record keeps the start of each data phase: the file's bytes, unchanged.
    EXPECT_EQ(data.bytes, Slice(file, block * kBlock, data.bytes.size())) << block;
    EXPECT_TRUE(!status.out && status.endpoint == 0x85 && status.requested == 1 &&
                status.timeout == 1000)
        << block;
  }
  EXPECT_EQ(w.FlashImage(), file);
}

// ---------------------------------------------------------------------------------------
// The WriteBlock opcode follows the chip's write mode.

struct ModeCase {
  std::string name;
  uint8_t writeMode;
  std::string opcode;
};

class WriteOpcode : public testing::TestWithParam<ModeCase> {};

TEST_P(WriteOpcode, EveryBlockUsesTheOpcodeOfTheWriteMode) {
  const ModeCase& c = GetParam();
  WriteRig w(Module(kModule16M).Contents(kErased),
             [&](Rig& rig) { rig.ctx.database.chips[0].writeMode = c.writeMode; });
  w.PutFile(Noise(16 * kMiB, 3));
  ASSERT_EQ(WriteJob(w.ctx).Code(), kCommandOk);
  Strings expected = {kSetAddress0, "23 01"};
  expected.insert(expected.end(), 512, c.opcode);
  EXPECT_EQ(w.Commands(), expected);
}

INSTANTIATE_TEST_SUITE_P(WriteJob, WriteOpcode,
                         testing::Values(ModeCase{"Mode0", 0, "11"}, ModeCase{"Mode1", 1, "A0"},
                                         ModeCase{"Mode2", 2, "11"}),
                         [](const auto& info) { return info.param.name; });

// After identification fell back to a standard chip, the write mode of a chip found in
// an earlier identification must not pick the opcode.
TEST(WriteJob, UnknownChipFallbackWritesWithModeZero) {
  for (const int size : {16, 32}) {
    Rig rig(Module(size == 32 ? kModule32M : kModule16M).Contents(kErased));
    ASSERT_TRUE(ConnectAndIdentify(rig.ctx).Ok());
    ASSERT_EQ(rig.ctx.session.chip.writeMode, 1);  // the known chip: opcode A0
    CloseProgrammer(rig.ctx.session.handle);

    rig.ctx.database.chips.clear();  // the same chip is now unknown; the question: OK
    ASSERT_TRUE(ConnectAndIdentify(rig.ctx).Ok());
    EXPECT_EQ(rig.window.messages.back().text,
              size == 32 ? "Chip unknown. To try as standart 16bit flash chip?"
                         : "Chip detecting fault. Try as one bank module with 8bit chip?");
    rig.bus.ClearRecord();
    rig.ctx.selection.WriteFileName = rig.dir.File("image.bin");
    WriteFileBytes(rig.ctx.selection.WriteFileName, Noise(size_t(size) * kMiB, 4));
    ASSERT_EQ(WriteJob(rig.ctx).Code(), kCommandOk);

    int opcodes = 0;
    for (const auto& t : rig.bus.Transfers()) {
      if (t.out && t.requested == 1) {
        EXPECT_EQ(HexBytes(t.bytes), "11") << size;
        ++opcodes;
      }
    }
    EXPECT_EQ(opcodes, size * 32) << size;
  }
}

// ---------------------------------------------------------------------------------------
// Progress.

TEST(WriteJob, ProgressLineCountsUpFromZeroToNinetyNinePercent) {
  WriteRig w(Module(kModule16M).Contents(kErased));
  w.PutFile(Noise(16 * kMiB, 5));
  std::vector<EventLog::Entry> lastLine;
  std::vector<int> position;
  w.window.onProcessEvents = [&] {
    lastLine.push_back(w.ctx.log.Last());
    position.push_back(w.window.ProgressPosition());
  };
  ASSERT_EQ(WriteJob(w.ctx).Code(), kCommandOk);

  // Events at the start, after the two opening lines and after every block.
  ASSERT_EQ(lastLine.size(), 2 + 512u);
  EXPECT_EQ(lastLine[1].text, " ");
  EXPECT_EQ(lastLine[1].colour, LogColour::Green);
  for (int block = 0; block < 512; ++block) {
    const auto& line = lastLine[size_t(2 + block)];
    EXPECT_EQ(line.text, "Writing " + std::to_string(block * 100 / 512) + "%") << block;
    EXPECT_EQ(line.colour, LogColour::Green) << block;
    EXPECT_EQ(position[size_t(2 + block)], block + 1) << block;
  }
  EXPECT_EQ(lastLine[2].text, "Writing 0%");
  EXPECT_EQ(lastLine.back().text, "Writing 99%");
  EXPECT_EQ(w.window.progressMaximum, 512);
  EXPECT_EQ(w.JobLines(), (Strings{w.StartLine(), kDone}));
}

// ---------------------------------------------------------------------------------------
// Cancel.

TEST(WriteJob, CancelDuringBlockFourLeavesFiveBlocksWritten) {
  WriteRig w(Module(kModule16M).Contents(kErased));
  const Bytes file = Noise(16 * kMiB, 6);
  w.PutFile(file);
  // The click arrives while block 4 (the fifth) is on its way; it is handled after it.
  w.window.onProcessEvents = [&] {
    if (w.Model().WriteBlocks() == 5)
      btnCancelClick(w.ctx);
  };
  EXPECT_EQ(WriteJob(w.ctx).Code(), kCommandFailed);

  EXPECT_EQ(w.JobLines(), (Strings{w.StartLine(), "Red: " + Stamp("Operation cancelled")}));
  EXPECT_EQ(w.DataPhases().size(), 5u);
  EXPECT_EQ(w.Commands().size(), 2 + 5u);  // nothing after block 4
  const Bytes image = w.FlashImage();
  EXPECT_EQ(Slice(image, 0, 5 * kBlock), Slice(file, 0, 5 * kBlock));
  EXPECT_TRUE(AllErased(image, 5 * kBlock));
  EXPECT_EQ(w.window.ProgressPosition(), 5);
}

// ---------------------------------------------------------------------------------------
// Failures while writing. Transfers are counted from the job's first: 0 SetAddress,
// 1 ChipSelect, then opcode, data and status for each block (block i from 2 + 3 i).

struct FailCase {
  std::string name;
  int sizeMiB;
  std::function<void(sim::DeviceConfig&)> setUp;
  int failTransfer;  // -1: none
  sim::FaultKind kind;
  Strings linesAfterStart;
  std::string lastCommand;
  int blocksDone;          // blocks the job counted as written (the progress bar)
  size_t blocksInFlash;    // the file's blocks found in the flash afterwards
  int cancelAtBlock = -1;  // Cancel clicked while this block is written; -1: none
};

std::vector<FailCase> FailCases() {
  using K = sim::FaultKind;
  const std::string writeError = "Red: " + Stamp("Write error");
  auto status = [](uint8_t value, Bytes answer) {
    return [value, answer](sim::DeviceConfig& c) {
      c.model.writeStatus = value;
      c.model.writeStatusAtBlock = 7;
      c.model.writeErrorAnswer = answer;
    };
  };
  auto none = [](sim::DeviceConfig&) {};
  const Bytes fullAnswer = {0x01, 0x02, 0x03, 0x04, 0x05, 0x11, 0x12, 0x13, 0x14, 0x15, 0xFF};
  return {
      {"DeviceErrorAnswerOnBlockSeven",
       16,
       status(0x5A, fullAnswer),
       -1,
       K::Error,
       {"Red: (1-11) (2-12) (3-13) (4-14) 5 # 15, ff", writeError},
       "A0",
       7,
       7},
      {"OtherErrorAnswerOnBlockSeven",
       16,
       status(0x01, {0xA0, 0, 0x0F, 0x10, 0xFE, 0x0B, 0xC0, 0x01, 0, 0x7F, 0x00}),
       -1,
       K::Error,
       {"Red: (a0-b) (0-c0) (f-1) (10-0) fe # 7f, 0", writeError},
       "A0",
       7,
       7},
      {"ShortErrorAnswerOnBlockSeven",
       16,
       status(0x33, {1, 2, 3, 4, 5}),
       -1,
       K::Error,
       {"Red: Can't read write error answer", writeError},
       "A0",
       7,
       7},
      {"OpcodeNotSentOnBlockSeven", 16, none, 2 + 3 * 7, K::Error, {writeError}, "A0", 7, 7},
      {"DataPhaseTimesOutOnBlockSeven", 16, none, 3 + 3 * 7, K::Timeout, {writeError}, "A0", 7, 7},
      // The block reached the flash; only its status was lost.
      {"StatusMissingOnBlockSeven", 16, none, 4 + 3 * 7, K::Timeout, {writeError}, "A0", 7, 8},
      {"AddressOfSecondBankFails",
       32,
       none,
       2 + 3 * 512,
       K::Error,
       {"Red: " + Stamp("Address set error")},
       kSetAddress0,
       512,
       512},
      {"ChipSelectOfSecondBankFails",
       32,
       none,
       3 + 3 * 512,
       K::Error,
       {"Red: " + Stamp("Chip select error")},
       "23 00",
       512,
       512},
      // Block 511 is the first bank's last: neither bank switch of the second is sent.
      {"CancelAtTheEndOfTheFirstBank",
       32,
       none,
       -1,
       K::Error,
       {"Red: " + Stamp("Operation cancelled")},
       "A0",
       512,
       512,
       511},
  };
}

class WriteFails : public testing::TestWithParam<FailCase> {};

TEST_P(WriteFails, StopsWithItsRedLinesAndTheBlocksBefore) {
  const FailCase& c = GetParam();
  sim::DeviceConfig config = Module(c.sizeMiB == 32 ? kModule32M : kModule16M).Contents(kErased);
  c.setUp(config);
  WriteRig w(config);
  if (c.failTransfer >= 0) {
    w.device->Faults().atTransfer = w.transfersAtMark + c.failTransfer;
    w.device->Faults().kind = c.kind;
  }
  w.window.onProcessEvents = [&] {
    if (c.cancelAtBlock >= 0 && w.Model().WriteBlocks() == c.cancelAtBlock + 1)
      btnCancelClick(w.ctx);
  };
  const Bytes file = Noise(size_t(c.sizeMiB) * kMiB, 8);
  w.PutFile(file);

  EXPECT_EQ(WriteJob(w.ctx).Code(), kCommandFailed);
  Strings expected = {w.StartLine()};
  expected.insert(expected.end(), c.linesAfterStart.begin(), c.linesAfterStart.end());
  EXPECT_EQ(w.JobLines(), expected);
  ASSERT_FALSE(w.Commands().empty());
  EXPECT_EQ(w.Commands().back(), c.lastCommand);
  EXPECT_EQ(w.window.ProgressPosition(), c.blocksDone);

  const Bytes image = w.FlashImage();
  const size_t written = c.blocksInFlash * kBlock;
  EXPECT_EQ(Slice(image, 0, written), Slice(file, 0, written));
  EXPECT_TRUE(AllErased(image, written));
}

INSTANTIATE_TEST_SUITE_P(WriteJob, WriteFails, testing::ValuesIn(FailCases()),
                         [](const auto& info) { return info.param.name; });

TEST(WriteJob, ErrorAnswerStaysVisibleAboveTheWriteErrorLine) {
  sim::DeviceConfig config = Module(kModule16M).Contents(kErased);
  config.model.writeStatus = 0x5A;
  config.model.writeStatusAtBlock = 7;
  WriteRig w(config);
  w.PutFile(Noise(16 * kMiB, 9));
  ASSERT_EQ(WriteJob(w.ctx).Code(), kCommandFailed);
  // The last exchanges: the status byte, then the 11-byte answer; nothing after.
  const auto& t = w.bus.Transfers();
  ASSERT_GE(t.size(), 2u);
  const auto& status = t[t.size() - 2];
  const auto& answer = t.back();
  EXPECT_FALSE(status.out);
  EXPECT_EQ(status.bytes, Bytes{0x5A});
  EXPECT_FALSE(answer.out);
  EXPECT_EQ(answer.requested, 11);
  EXPECT_EQ(answer.result, 11);
  EXPECT_EQ(w.DataPhases().size(), 8u);
}

// ---------------------------------------------------------------------------------------
// Files refused before any device command of the job.

struct RefusedCase {
  std::string name;
  int sizeMiB;
  std::function<std::string(WriteRig&)> prepare;  // returns the expected line
};

std::vector<RefusedCase> RefusedCases() {
  auto openError = [](WriteRig& w) { return "Red: " + Stamp("File open error: " + w.Path()); };
  auto wrongSize = [](size_t bytes, size_t flash) {
    return [bytes, flash](WriteRig& w) {
      w.PutFile(Bytes(bytes, 0x5A));
      return "Red: " + Stamp(std::string(bytes < flash ? "File too short: " : "File too long: ") +
                             w.Path() + " (" + std::to_string(bytes) + " bytes, the flash holds " +
                             std::to_string(flash) + " bytes)");
    };
  };
  return {
      {"MissingFile", 16, openError},
      {"MissingFolder", 16,
       [openError](WriteRig& w) {
         w.ctx.selection.WriteFileName = w.dir.File("no-such-folder/image.bin");
         return openError(w);
       }},
      {"Directory", 16,
       [openError](WriteRig& w) {
         std::filesystem::create_directory(w.Path());
         return openError(w);
       }},
      {"EmptyFile", 16, wrongSize(0, 16 * kMiB)},
      {"OneByteShort", 16, wrongSize(16 * kMiB - 1, 16 * kMiB)},
      {"SixteenMegOnThirtyTwoMegModule", 32, wrongSize(16 * kMiB, 32 * kMiB)},
      {"OneByteLong", 16, wrongSize(16 * kMiB + 1, 16 * kMiB)},
      {"SixtyFourMegOnSixteenMegModule", 16, wrongSize(64 * kMiB, 16 * kMiB)},
      // A Cancel left from the job before: stopped before the file or the flash is touched.
      {"CancelledBeforeTheJob", 16,
       [](WriteRig& w) {
         w.PutFile(Bytes(16 * kMiB, 0x5A));
         w.ctx.cancelFlag = true;
         return "Red: " + Stamp("Operation cancelled");
       }},
  };
}

class WriteRefuses : public testing::TestWithParam<RefusedCase> {};

TEST_P(WriteRefuses, BeforeAnyDeviceCommand) {
  const RefusedCase& c = GetParam();
  WriteRig w(Module(c.sizeMiB == 32 ? kModule32M : kModule16M).Contents(kErased));
  const std::string line = c.prepare(w);

  EXPECT_EQ(WriteJob(w.ctx).Code(), kCommandFailed);
  EXPECT_EQ(w.JobLines(), Strings{line});
  EXPECT_TRUE(w.bus.Transfers().empty());
  EXPECT_EQ(w.Model().Flash().AllocatedChunks(), 0u);  // nothing programmed
}

INSTANTIATE_TEST_SUITE_P(WriteJob, WriteRefuses, testing::ValuesIn(RefusedCases()),
                         [](const auto& info) { return info.param.name; });

TEST(WriteJob, PathWithPercentSignsIsShownAsItIs) {
  WriteRig w(Module(kModule16M).Contents(kErased));
  w.ctx.selection.WriteFileName = w.dir.File("100%s %d %x.bin");
  w.PutFile(Noise(16 * kMiB, 11));
  ASSERT_EQ(WriteJob(w.ctx).Code(), kCommandOk);
  EXPECT_EQ(w.JobLines(), (Strings{"Green: " + Stamp("Start write from " + w.Path()), kDone}));
}

}  // namespace
