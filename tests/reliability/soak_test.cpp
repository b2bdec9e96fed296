// Seeded fault soak: for each seed, a whole read + erase + write sequence on a 16 MiB
// two-bank module, then a check of the flash against the written file, with random
// faults (bit flips in block data, short answers, failed OUT transfers, a non-zero write
// status, the device vanishing) drawn from the seed. Every press must end either in
// success with the flash and the files exactly right, or in a clear failure: a Red last
// line or a message box, never a success line after a fault that the tool could see.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <memory>

#include "digest/md5.h"
#include "sim/random_faults.h"
#include "tests/reliability/reliability_rig.h"

namespace {

constexpr uint64_t kSeedsPerRun = 50;

std::string Md5Of(const std::vector<uint8_t>& bytes) {
  MD5Context md5;
  MD5Init(md5);
  MD5Update(md5, bytes.data(), bytes.size());
  return MD5Hex(MD5Final(md5));
}

// What every seed compares against, made once.
struct Images {
  TempDir dir;
  std::vector<uint8_t> flash = sim::FlashMemory(kImage16, 2, sim::InitialContents::Pattern).Image();
  std::vector<uint8_t> source = SourceImage(kImage16);
  std::string flashMd5 = Md5Of(flash);
  std::string sourceMd5 = Md5Of(source);
  std::string sourcePath = dir.File("source.bin");
  Images() { WriteFileBytes(sourcePath, source); }
};

Images& Shared() {
  static Images images;
  return images;
}

// One seed's tool, programmer and fault layer.
struct SoakRun {
  explicit SoakRun(uint64_t seed, long span)
      : rig(Module(kModule16Dual)), faults(rig.bus, seed, span) {
    Init();
  }
  SoakRun(uint64_t seed, std::vector<sim::PlannedFault> plan)
      : rig(Module(kModule16Dual)), faults(rig.bus, seed, std::move(plan)) {
    Init();
  }
  void Init() {
    rig.ctx.bindUsb = faults.Binder();
    tape.Attach(rig);
  }

  Rig rig;
  sim::RandomFaults faults;
  LogTape tape;
};

// The faults that fired during one press, split into those the tool cannot see (bit
// flips in block data) and those it must report.
struct PressFaults {
  std::vector<sim::InjectedFault> flips;
  int visible = 0;
};

PressFaults FaultsSince(const sim::RandomFaults& faults, size_t from) {
  PressFaults press;
  for (size_t i = from; i < faults.Injected().size(); ++i) {
    if (faults.Injected()[i].kind == sim::RandomFaultKind::BitFlip)
      press.flips.push_back(faults.Injected()[i]);
    else
      ++press.visible;
  }
  return press;
}

// Runs one Start press and checks what every press must leave; true when it succeeded.
bool Press(SoakRun& run, PressFaults& during) {
  Rig& rig = run.rig;
  const size_t tapeFrom = run.tape.written.size();
  const size_t boxesFrom = rig.window.messages.size();
  const size_t injectedFrom = run.faults.Injected().size();
  btnStartClick(rig.ctx);
  during = FaultsSince(run.faults, injectedFrom);

  ExpectIdleWindow(rig.window);
  EXPECT_EQ(run.faults.TransfersAfterClose(), 0);
  EXPECT_EQ(rig.bus.TransfersAfterClose(), 0);
  int opens = 0;
  for (const auto& c : rig.bus.Calls()) opens += c.name == "usb_open" && c.result == 1;
  EXPECT_EQ(rig.bus.CallCount("usb_close"), opens);

  const bool success = run.tape.Contains(std::string(kStamp) + "Jobs successful done", tapeFrom);
  if (success) {
    EXPECT_EQ(rig.ctx.log.Last().text, std::string(kStamp) + "Jobs successful done");
    EXPECT_EQ(during.visible, 0) << "a fault the tool could see ended in success";
    EXPECT_EQ(rig.window.messages.size(), boxesFrom);
    return true;
  }
  const bool box = rig.window.messages.size() > boxesFrom;
  if (box) {
    // Identification failed: its box, and no job ran.
    EXPECT_EQ(rig.window.messages.back(),
              (FakeWindow::Message{"Device error", kProgrammerCaption}));
    EXPECT_FALSE(run.tape.Contains(std::string(kStamp) + "Start jobs", tapeFrom));
  } else {
    EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red) << rig.ctx.log.Last().text;
  }
  EXPECT_TRUE(during.visible > 0 || !during.flips.empty()) << "failure without a fault";
  return false;
}

// The dump as the read should have left it: the flash's first `size` bytes with the
// flips that hit the blocks read.
std::vector<uint8_t> ExpectedDump(const std::vector<sim::InjectedFault>& flips, size_t size) {
  const auto& flash = Shared().flash;
  std::vector<uint8_t> dump(flash.begin(), flash.begin() + static_cast<long>(size));
  for (const auto& f : flips) {
    const size_t at = static_cast<size_t>(f.readBlock) * kBlock + f.offset;
    if (at < dump.size())
      dump[at] ^= f.mask;
  }
  return dump;
}

// After a failed first press: every block is the old contents, blank, or the source;
// source blocks come first, and once a block is written everything after it is blank.
void ExpectFlashAfterFailure(const std::vector<uint8_t>& image) {
  const Images& shared = Shared();
  int written = 0;
  while (written < kBlocks16M &&
         std::equal(image.begin() + written * kBlock, image.begin() + (written + 1) * kBlock,
                    shared.source.begin() + written * kBlock))
    ++written;
  for (int bank = 0; bank < 2; ++bank) {
    const size_t from = std::max<size_t>(bank * kImage16 / 2, written * kBlock);
    const size_t to = (bank + 1) * kImage16 / 2;
    if (from >= to)
      continue;
    const bool blank =
        std::all_of(image.begin() + from, image.begin() + to, [](uint8_t b) { return b == 0xFF; });
    const bool old =
        std::equal(image.begin() + from, image.begin() + to, shared.flash.begin() + from);
    EXPECT_TRUE(blank || (old && written == 0))
        << "bank " << bank << " neither blank nor untouched (" << written << " blocks written)";
  }
}

// Runs one seed; returns the faults that fired.
std::vector<sim::InjectedFault> RunSeed(uint64_t seed, long span,
                                        std::vector<sim::PlannedFault>* plan = nullptr) {
  const Images& shared = Shared();
  auto run = plan ? std::make_unique<SoakRun>(seed, *plan) : std::make_unique<SoakRun>(seed, span);
  Rig& rig = run->rig;
  SCOPED_TRACE(run->faults.Describe());
  const std::string dump = rig.dir.File("dump.bin");

  rig.SelectRead(dump);
  rig.SelectErase();
  rig.SelectWrite(shared.sourcePath);
  PressFaults first;
  const bool wrote = Press(*run, first);
  SCOPED_TRACE(run->faults.Describe());

  const auto files = FilesIn(rig.dir.Path());
  EXPECT_TRUE(files.empty() || files == std::vector<std::string>{"dump.bin"});
  if (!files.empty()) {
    const auto bytes = ReadFileBytes(dump);
    EXPECT_EQ(bytes.size() % kBlock, 0u);
    EXPECT_LE(bytes.size(), kImage16);
    EXPECT_TRUE(bytes == ExpectedDump(first.flips, bytes.size())) << "dump is not what was read";
    // The tool cannot see a flipped bit, but the digests it shows give it away.
    if (bytes.size() == kImage16) {
      EXPECT_EQ(rig.window.Text(Control::MD5_result) == shared.flashMd5, first.flips.empty());
    }
  }
  EXPECT_TRUE(ReadFileBytes(shared.sourcePath) == shared.source) << "source file changed";
  const auto image = rig.FlashImage();
  if (wrote) {
    EXPECT_EQ(ReadFileBytes(dump).size(), kImage16);
    EXPECT_TRUE(image == shared.source) << "flash differs from the written file";
  } else {
    ExpectFlashAfterFailure(image);
    return run->faults.Injected();
  }

  // The check: the flash against the file just written.
  rig.window.SetChecked(Control::CheckBox2, false);
  rig.window.SetChecked(Control::CheckBox3, false);
  rig.SelectCheck(shared.sourcePath);
  PressFaults second;
  const bool checked = Press(*run, second);
  if (checked) {
    EXPECT_TRUE(second.flips.empty()) << "a flipped bit passed the byte-to-byte check";
    EXPECT_TRUE(run->tape.Contains("Byte to byte check OK"));
    EXPECT_EQ(rig.window.Text(Control::MD5_result), shared.sourceMd5);
  } else if (!second.flips.empty() && second.visible == 0) {
    EXPECT_EQ(rig.ctx.log.Last().text, std::string(kStamp) + "Byte to byte check with file FAILED");
  }
  EXPECT_TRUE(rig.FlashImage() == shared.source) << "the check changed the flash";
  EXPECT_EQ(FilesIn(rig.dir.Path()), std::vector<std::string>{"dump.bin"});
  return run->faults.Injected();
}

// The number of transfers of a clean run, over which each seed spreads its faults.
long CleanSpan() {
  std::vector<sim::PlannedFault> none;
  SoakRun run(0, none);
  run.rig.SelectRead(run.rig.dir.File("dump.bin"));
  run.rig.SelectErase();
  run.rig.SelectWrite(Shared().sourcePath);
  btnStartClick(run.rig.ctx);
  run.rig.SelectCheck(Shared().sourcePath);
  run.rig.window.SetChecked(Control::CheckBox2, false);
  run.rig.window.SetChecked(Control::CheckBox3, false);
  btnStartClick(run.rig.ctx);
  EXPECT_TRUE(run.tape.Contains("Byte to byte check OK"));
  return run.faults.TransferCount();
}

// The 200 seeds in four runs of 50, so that each stays well inside a test's time limit
// and they can run side by side.
class SeededSoak : public ::testing::TestWithParam<uint64_t> {};

TEST_P(SeededSoak, FaultsNeverPassUnnoticed) {
  const uint64_t first = GetParam();
  const long span = CleanSpan();
  ASSERT_GT(span, 3 * kBlocks16M);
  std::map<sim::RandomFaultKind, int> fired;
  for (uint64_t seed = first; seed < first + kSeedsPerRun; ++seed) {
    for (const auto& f : RunSeed(seed, span)) ++fired[f.kind];
    if (HasFailure()) {
      ADD_FAILURE() << "stopped at seed " << seed;
      return;
    }
  }
  std::cout << "fault soak: seeds " << first << " to " << first + kSeedsPerRun - 1 << " over "
            << span << " transfers;";
  for (const auto& [kind, count] : fired)
    std::cout << " " << sim::RandomFaultName(kind) << " " << count;
  std::cout << std::endl;
  // The seeds do reach faults of several kinds.
  EXPECT_GE(fired.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(FaultSoak, SeededSoak, ::testing::Values(1, 51, 101, 151));

// A seed names its faults: the same seed draws the same plan, another seed another one.
TEST(FaultSoak, SeedsAreRepeatable) {
  sim::SimBus bus;
  std::vector<std::string> plans;
  for (uint64_t seed : {5u, 5u, 6u}) {
    sim::RandomFaults faults(bus, seed, 4000);
    std::string text;
    for (const auto& f : faults.Plan())
      text +=
          std::string(sim::RandomFaultName(f.kind)) + "@" + std::to_string(f.fromTransfer) + " ";
    plans.push_back(text);
  }
  EXPECT_EQ(plans[0], plans[1]);
  EXPECT_NE(plans[0], plans[2]);
}

// Each kind of fault on its own, at places where it certainly fires.
TEST(FaultSoak, EachKindAtAKnownPlace) {
  using K = sim::RandomFaultKind;
  const long span = 4000;
  struct Case {
    K kind;
    long at;
  };
  for (const Case& c : {Case{K::BitFlip, 20}, Case{K::BitFlip, 3000}, Case{K::ShortRead, 0},
                        Case{K::ShortRead, 500}, Case{K::FailedWrite, 1500},
                        Case{K::WriteStatus, 1200}, Case{K::Vanish, 2000}, Case{K::Vanish, 3100}}) {
    std::vector<sim::PlannedFault> plan = {{c.kind, c.at}};
    SCOPED_TRACE(std::string(sim::RandomFaultName(c.kind)) + "@" + std::to_string(c.at));
    for (uint64_t seed : {7u, 8u}) {
      const auto fired = RunSeed(seed, span, &plan);
      ASSERT_EQ(fired.size(), 1u);
      EXPECT_EQ(fired[0].kind, c.kind);
    }
  }
}

}  // namespace
