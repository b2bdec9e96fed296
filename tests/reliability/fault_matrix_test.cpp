// Every device fault at every transfer of every job: for each job of a Start sequence and
// for the diagnostic, a clean run's traffic is split into its commands, and each transfer
// is then failed in turn in each way the USB layer can fail (an error, a short transfer,
// a timeout, the device vanishing from there on). Whatever fails, the run must end with
// the job's own failure line, an idle window, the link closed once, the files and the
// flash exactly as far as the job got, and never a success line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <set>

#include "flash/jobs.h"
#include "tests/reliability/reliability_rig.h"

namespace {

enum class Job { Identification, Read, Check, Erase, Write, Diagnostic };

const char* JobName(Job job) {
  switch (job) {
    case Job::Identification:
      return "Identification";
    case Job::Read:
      return "Read";
    case Job::Check:
      return "Check";
    case Job::Erase:
      return "Erase";
    case Job::Write:
      return "Write";
    case Job::Diagnostic:
      return "Diagnostic";
  }
  return "?";
}

enum class Fault { Error, Short, Vanish, Timeout };

const char* FaultName(Fault f) {
  switch (f) {
    case Fault::Error:
      return "Error";
    case Fault::Short:
      return "Short";
    case Fault::Vanish:
      return "Vanish";
    case Fault::Timeout:
      return "Timeout";
  }
  return "?";
}

// One transfer of a clean run, as the command it belongs to.
struct Step {
  int index = 0;
  uint8_t opcode = 0;  // of the request this transfer belongs to
  bool out = false;
  int block = -1;  // ReadBlock / WriteBlock: the block index
  bool identification = false;
  bool firstFlashReset = false;  // the erase job's opening reset (the last one closes it)
};

std::vector<Step> Classify(const std::vector<sim::TransferRecord>& transfers) {
  std::vector<Step> steps;
  uint8_t opcode = 0;
  bool writeData = false;
  int reads = 0, writes = 0, resets = 0;
  bool identifying = true;
  for (size_t i = 0; i < transfers.size(); ++i) {
    const sim::TransferRecord& t = transfers[i];
    Step s;
    s.index = static_cast<int>(i);
    s.out = t.out;
    s.identification = identifying;
    if (t.out && writeData) {
      writeData = false;  // the data phase of the WriteBlock before it
      s.block = writes;
    } else if (t.out) {
      opcode = t.bytes.empty() ? 0 : t.bytes[0];
      if (opcode == 0x11 || opcode == 0xA0) {
        writeData = true;
        s.block = writes;
      } else if (opcode == 0x12) {
        s.block = reads;
      } else if (opcode == 0x01) {
        s.firstFlashReset = resets++ == 0;
      }
    } else if (opcode == 0x12) {
      s.block = reads++;
    } else if (opcode == 0x11 || opcode == 0xA0) {
      s.block = writes++;  // the status byte
    }
    s.opcode = opcode;
    // Identification ends with the bus width command.
    if (t.out && (opcode == 0x17 || opcode == 0x18))
      identifying = false;
    steps.push_back(s);
  }
  return steps;
}

// Per-block traffic is sampled: the first three blocks, both sides of the bank switch
// (blocks 255 to 257) and the last block.
bool Sampled(const Step& s) {
  static const std::set<int> kBlocks = {0, 1, 2, 255, 256, 257, kBlocks16M - 1};
  return s.block < 0 || kBlocks.count(s.block) > 0;
}

// The files every check and write scenario shares, made once.
struct SharedFiles {
  TempDir dir;
  std::vector<uint8_t> flash;   // what the simulated module holds at the start
  std::vector<uint8_t> source;  // the write source
  std::string reference = dir.File("reference.bin");
  std::string sourcePath = dir.File("source.bin");
  SharedFiles() {
    sim::FlashMemory memory(kImage16, 2, sim::InitialContents::Pattern);
    flash = memory.Image();
    source = SourceImage(kImage16);
    WriteFileBytes(reference, flash);
    WriteFileBytes(sourcePath, source);
  }
};

SharedFiles& Shared() {
  static SharedFiles files;
  return files;
}

struct Outcome {
  std::unique_ptr<Rig> rig;
  LogTape tape;
};

// One Start press (or diagnostic) of `job` on a fresh module, with `fault` at `at`
// (-1: none).
std::unique_ptr<Outcome> RunJob(Job job, int at, Fault fault) {
  const bool write = job == Job::Write;
  auto out = std::make_unique<Outcome>();
  sim::DeviceConfig config =
      Module(kModule16Dual)
          .Contents(write ? sim::InitialContents::Erased : sim::InitialContents::Pattern);
  config.model.statusToggles = 3;  // the diagnostic polls a few cycles
  out->rig = std::make_unique<Rig>(config);
  Rig& rig = *out->rig;
  rig.device->Faults() = sim::UsbFaults{};
  if (at >= 0) {
    sim::UsbFaults& f = rig.device->Faults();
    if (fault == Fault::Vanish) {
      f.vanishAfter = at;
    } else {
      f.atTransfer = at;
      f.kind = fault == Fault::Error   ? sim::FaultKind::Error
               : fault == Fault::Short ? sim::FaultKind::Short
                                       : sim::FaultKind::Timeout;
    }
  }
  out->tape.Attach(rig);
  switch (job) {
    case Job::Identification:
    case Job::Read:
      rig.SelectRead(rig.dir.File("dump.bin"));
      break;
    case Job::Check:
      rig.SelectCheck(Shared().reference);
      break;
    case Job::Erase:
      rig.SelectErase();
      break;
    case Job::Write:
      rig.SelectWrite(Shared().sourcePath);
      break;
    case Job::Diagnostic:
      break;
  }
  if (job == Job::Diagnostic)
    StatusTest(rig.ctx);
  else
    btnStartClick(rig.ctx);
  return out;
}

std::string Stamp(const std::string& text) {
  return std::string(kStamp) + text;
}

// The line a job writes when `step` fails, as the protocol and job descriptions give it.
std::string FailureLine(Job job, const Step& step) {
  switch (step.opcode) {
    case 0x01:
      return Stamp("Can't reset flash - device not ready");
    case 0x10:
      return Stamp("Address set error");
    case 0x23:
      return Stamp("Chip select error");
    case 0x12:
      return Stamp("Read error");
    case 0x11:
    case 0xA0:
      return Stamp("Write error");
    case 0x14:
    case 0x50:
    case 0x51:
    case 0x52:
      return Stamp("Can't erase flash - device not ready");
  }
  ADD_FAILURE() << JobName(job) << ": no failure line known for opcode " << int(step.opcode);
  return {};
}

// Blocks whose data went whole to the device and were acknowledged before transfer `at`.
int BlocksDoneBefore(const std::vector<Step>& steps, int at, bool writing) {
  int done = 0;
  for (const Step& s : steps) {
    if (s.index >= at)
      break;
    const bool acknowledged =
        writing ? (!s.out && (s.opcode == 0x11 || s.opcode == 0xA0)) : (!s.out && s.opcode == 0x12);
    if (acknowledged)
      ++done;
  }
  return done;
}

bool Blank(const uint8_t* p, size_t n) {
  return std::all_of(p, p + n, [](uint8_t b) { return b == 0xFF; });
}

class FaultMatrix : public ::testing::TestWithParam<Job> {
 protected:
  void CheckScenario(Job job, const std::vector<Step>& steps, const Step& step, Fault fault,
                     const std::vector<sim::TransferRecord>& clean);
};

void FaultMatrix::CheckScenario(Job job, const std::vector<Step>& steps, const Step& step,
                                Fault fault, const std::vector<sim::TransferRecord>& clean) {
  SCOPED_TRACE(std::string(JobName(job)) + " transfer " + std::to_string(step.index) + " (opcode " +
               HexBytes({step.opcode}) + (step.out ? " out" : " in") + ", block " +
               std::to_string(step.block) + ") " + FaultName(fault));
  auto out = RunJob(job, step.index, fault);
  Rig& rig = *out->rig;
  const auto& tape = out->tape.written;

  ExpectIdleWindow(rig.window);
  EXPECT_FALSE(out->tape.Contains(Stamp("Jobs successful done")));
  // Outside the diagnostic the faulted transfer is the last one: nothing is retried.
  if (job != Job::Diagnostic) {
    EXPECT_EQ(rig.bus.Transfers().size(), step.index + 1u);
  }

  if (step.identification) {
    ASSERT_EQ(rig.window.messages.size(), 1u);
    EXPECT_EQ(rig.window.messages[0], (FakeWindow::Message{"Device error", kProgrammerCaption}));
    EXPECT_FALSE(out->tape.Contains(Stamp("Start jobs")));
    ExpectClosedOnce(rig.bus, false);
    const auto files = FilesIn(rig.dir.Path());
    if (job == Job::Diagnostic) {
      // status.txt is created first and stays empty.
      EXPECT_EQ(files, std::vector<std::string>{"status.txt"});
      EXPECT_TRUE(ReadFileBytes(rig.ctx.statusPath).empty());
    } else {
      EXPECT_TRUE(files.empty());
    }
    return;
  }
  EXPECT_TRUE(rig.window.messages.empty());
  ExpectClosedOnce(rig.bus, true);

  if (job == Job::Diagnostic) {
    // Transfer failures are not detected by the diagnostic: it runs to its end, and its
    // status file holds one line per cycle it reports.
    ASSERT_FALSE(tape.empty());
    const std::string& last = tape.back().text;
    EXPECT_EQ(last.rfind("Status register: ", 0), 0u) << last;
    EXPECT_EQ(tape.back().colour, LogColour::Purple);
    const int cycles = std::stoi(last.substr(last.rfind(' ') + 1));
    EXPECT_GE(cycles, 1);
    EXPECT_LE(cycles, 1000);
    const auto status = ReadFileBytes(rig.ctx.statusPath);
    EXPECT_EQ(std::count(status.begin(), status.end(), '\n'), cycles);
    const std::string text(status.begin(), status.end());
    EXPECT_EQ(text.rfind("Cycle " + std::to_string(cycles - 1) + " ==> "), text.rfind("Cycle "));
    EXPECT_EQ(FilesIn(rig.dir.Path()), std::vector<std::string>{"status.txt"});
    return;
  }

  // The job's own Red line is the last one; the final reset of an erase comes after the
  // erase's done line.
  ASSERT_FALSE(tape.empty());
  const bool finalReset = job == Job::Erase && step.opcode == 0x01 && !step.firstFlashReset;
  EXPECT_EQ(rig.ctx.log.Last().text, FailureLine(job, step));
  EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
  if (finalReset) {
    const auto lines = rig.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].rfind(Stamp("Flash erase done, "), 0), 0u);
  }
  EXPECT_NE(rig.window.Text(Control::MD5_result).size(), 32u) << "digests shown after a failure";

  const SharedFiles& shared = Shared();
  // Reads and checks never program or erase.
  const bool changesFlash = job == Job::Write || job == Job::Erase;
  for (const auto& request : rig.bus.OutRequests()) {
    const uint8_t op = request.empty() ? 0 : request[0];
    if (!changesFlash && request.size() < 8) {
      EXPECT_TRUE(op != 0x11 && op != 0xA0 && op != 0x14 && op != 0x50) << HexBytes(request);
    }
  }
  const auto image = changesFlash ? rig.FlashImage() : std::vector<uint8_t>{};
  switch (job) {
    case Job::Read: {
      // A failed read leaves no dump and no temporary file behind.
      EXPECT_TRUE(FilesIn(rig.dir.Path()).empty()) << "part of a dump left behind";
      break;
    }
    case Job::Check:
      EXPECT_TRUE(FilesIn(rig.dir.Path()).empty());
      EXPECT_TRUE(ReadFileBytes(shared.reference) == shared.flash) << "reference file changed";
      break;
    case Job::Write: {
      EXPECT_TRUE(FilesIn(rig.dir.Path()).empty());
      EXPECT_TRUE(ReadFileBytes(shared.sourcePath) == shared.source) << "source file changed";
      const int done = BlocksDoneBefore(steps, step.index, true);
      for (int b = 0; b < kBlocks16M; ++b) {
        const uint8_t* got = image.data() + b * kBlock;
        const uint8_t* want = shared.source.data() + b * kBlock;
        if (b < done) {
          ASSERT_TRUE(std::equal(got, got + kBlock, want)) << "block " << b;
        } else if (b == done && step.block == b) {
          // The failing block itself may have reached the flash in full or in part.
          for (size_t i = 0; i < kBlock; ++i)
            ASSERT_TRUE(got[i] == 0xFF || got[i] == want[i]) << "block " << b << " byte " << i;
        } else {
          ASSERT_TRUE(Blank(got, kBlock)) << "block " << b << " written after the fault";
        }
      }
      break;
    }
    case Job::Erase: {
      EXPECT_TRUE(FilesIn(rig.dir.Path()).empty());
      // The chips erase by themselves once the device took the bank's EraseStart.
      for (int bank = 0; bank < 2; ++bank) {
        const uint8_t bankByte = bank == 0 ? 1 : 0;
        int startAt = -1;
        for (size_t i = 0; i < clean.size() && startAt < 0; ++i)
          if (clean[i].out && clean[i].bytes == std::vector<uint8_t>{0x50, bankByte})
            startAt = static_cast<int>(i);
        ASSERT_GE(startAt, 0);
        const size_t half = kImage16 / 2;
        const uint8_t* got = image.data() + bank * half;
        if (startAt < step.index)
          EXPECT_TRUE(Blank(got, half)) << "bank " << bank << " started but not blank";
        else
          EXPECT_TRUE(std::equal(got, got + half, shared.flash.begin() + bank * half))
              << "bank " << bank << " changed before its erase started";
      }
      break;
    }
    default:
      break;
  }
}

TEST_P(FaultMatrix, EveryTransferEveryFault) {
  const Job job = GetParam();
  auto clean = RunJob(job, -1, Fault::Error);
  Rig& rig = *clean->rig;
  const auto transfers = rig.bus.Transfers();
  if (job == Job::Diagnostic) {
    ASSERT_EQ(clean->tape.written.back().text.rfind("Status register: ", 0), 0u);
  } else {
    ASSERT_EQ(rig.ctx.log.Last().text, Stamp("Jobs successful done"));
  }
  const auto steps = Classify(transfers);

  int scenarios = 0;
  for (const Step& step : steps) {
    const bool ours = job == Job::Identification ? step.identification
                      : job == Job::Diagnostic   ? true
                                                 : !step.identification;
    if (!ours || !Sampled(step))
      continue;
    for (Fault fault : {Fault::Error, Fault::Short, Fault::Vanish, Fault::Timeout}) {
      CheckScenario(job, steps, step, fault, transfers);
      ++scenarios;
      if (HasFatalFailure())
        return;
    }
  }
  EXPECT_GT(scenarios, 0);
  std::cout << "fault matrix " << JobName(job) << ": " << scenarios << " scenarios" << std::endl;
}

INSTANTIATE_TEST_SUITE_P(Jobs, FaultMatrix,
                         ::testing::Values(Job::Identification, Job::Read, Job::Check, Job::Erase,
                                           Job::Write, Job::Diagnostic),
                         [](const auto& info) { return std::string(JobName(info.param)); });

}  // namespace
