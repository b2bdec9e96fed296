// The read and check job through whole Start sequences on the simulated programmer:
// the dump, the digests, progress, Cancel, verification and every failure path.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/rig.h"
#include "tests/support/system_digest.h"

namespace {

// Progress texts as they stood each time the window processed events.
struct ProgressSpy {
  std::vector<std::string> seen;
  void Attach(Rig& rig) {
    rig.window.onProcessEvents = [this, &rig] { seen.push_back(rig.ctx.log.Last().text); };
  }
};

// Block indices (0-based ReadBlock count) before which a ChipSelect was sent.
std::vector<std::pair<int, std::string>> BankSwitches(const Rig& rig) {
  std::vector<std::pair<int, std::string>> switches;
  int reads = 0;
  for (const auto& r : rig.bus.OutRequests()) {
    if (r.size() == 1 && r[0] == 0x12)
      ++reads;
    if (r.size() == 2 && r[0] == 0x23)
      switches.emplace_back(reads, HexBytes(r));
  }
  return switches;
}

TEST(ReadJob, SixteenMegOneBankGivesTheWholeFlash) {
  Rig rig{Module(kModule16M)};
  const std::string dump = rig.dir.File("dump.bin");
  rig.SelectRead(dump);
  ProgressSpy spy;
  spy.Attach(rig);
  btnStartClick(rig.ctx);

  const auto bytes = ReadFileBytes(dump);
  ASSERT_EQ(bytes.size(), 16777216u);
  EXPECT_TRUE(bytes == rig.FlashImage());
  EXPECT_EQ(rig.window.Text(Control::MD5_result), SystemDigest("md5sum", dump));
  EXPECT_EQ(rig.window.Text(Control::SHA1_result), SystemDigest("sha1sum", dump));
  EXPECT_EQ(BankSwitches(rig), (std::vector<std::pair<int, std::string>>{{0, "23 01"}}));
  // First processing is before any block; then one per block.
  ASSERT_GE(spy.seen.size(), 513u);
  EXPECT_EQ(spy.seen[1], "Reading 0%");
  EXPECT_EQ(spy.seen[512], "Reading 99%");
  EXPECT_EQ(rig.window.ProgressPosition(), 0);  // reset by the sequence's end
  EXPECT_EQ(rig.window.progressMaximum, 512);

  EXPECT_EQ(LastOf(rig.Lines(), 5),
            (std::vector<std::string>{"[09:05:07] Start jobs", "[09:05:07] Start read to " + dump,
                                      "[09:05:07] Read done, 0:00:00",
                                      "Defailt hash (MD5) check database FAIL",
                                      "[09:05:07] Jobs successful done"}));
  const auto last = LastOf(rig.Entries(), 3);
  EXPECT_EQ(last[1].colour, LogColour::Red);
  EXPECT_EQ(last[0].colour, LogColour::Green);
  EXPECT_EQ(rig.Requests().front(), "13");
  EXPECT_EQ(rig.bus.CallCount("usb_release_interface"), 1);
  EXPECT_EQ(rig.bus.CallCount("usb_close"), 1);
}

TEST(ReadJob, SixtyFourMegTwoBanksSwitchesAtTheHalf) {
  Rig rig{Module(kModule64M)};
  const std::string dump = rig.dir.File("dump64.bin");
  rig.SelectRead(dump);
  btnStartClick(rig.ctx);

  const auto bytes = ReadFileBytes(dump);
  ASSERT_EQ(bytes.size(), 67108864u);
  EXPECT_TRUE(bytes == rig.FlashImage());  // bank 1 first, then bank 0
  std::vector<uint8_t> bank0(kBlock);
  rig.Model().Flash().Read(1, 0, bank0.data(), kBlock);
  EXPECT_TRUE(std::equal(bank0.begin(), bank0.end(), bytes.begin() + 33554432));
  EXPECT_EQ(BankSwitches(rig),
            (std::vector<std::pair<int, std::string>>{{0, "23 01"}, {1024, "23 00"}}));
  EXPECT_EQ(rig.window.Text(Control::MD5_result), SystemDigest("md5sum", dump));
  EXPECT_EQ(rig.window.Text(Control::SHA1_result), SystemDigest("sha1sum", dump));
}

TEST(CheckJob, PassingCheckShowsTheFlashDigests) {
  Rig rig{Module(kModule16M)};
  const std::string reference = rig.dir.File("ref.bin");
  auto image = rig.FlashImage();
  image.resize(image.size() + 1000, 0x5A);  // longer than the flash: the rest is never read
  WriteFileBytes(reference, image);
  image.resize(16777216);
  WriteFileBytes(rig.dir.File("exact.bin"), image);
  rig.SelectCheck(reference);
  btnStartClick(rig.ctx);

  EXPECT_EQ(LastOf(rig.Lines(), 6),
            (std::vector<std::string>{
                "[09:05:07] Start jobs", "[09:05:07] Start check with " + reference,
                "[09:05:07] Check done, 0:00:00", "Byte to byte check OK",
                "Defailt hash (MD5) check database FAIL", "[09:05:07] Jobs successful done"}));
  EXPECT_EQ(LastOf(rig.Entries(), 3)[0].colour, LogColour::Purple);
  EXPECT_EQ(rig.window.Text(Control::MD5_result),
            SystemDigest("md5sum", rig.dir.File("exact.bin")));
}

TEST(CheckJob, DifferenceStopsAtItsBlock) {
  Rig rig{Module(kModule16M)};
  const std::string reference = rig.dir.File("ref.bin");
  auto image = rig.FlashImage();
  image[3 * kBlock + 77] ^= 0x01;
  WriteFileBytes(reference, image);
  rig.SelectCheck(reference);
  rig.SelectErase();  // must not run after the failure
  btnStartClick(rig.ctx);

  EXPECT_EQ(rig.ctx.log.Last().text, "[09:05:07] Byte to byte check with file FAILED");
  EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
  EXPECT_EQ(rig.Model().ReadBlocks(), 4);
  const auto requests = rig.Requests();
  EXPECT_EQ(std::count(requests.begin(), requests.end(), "14 01"), 0);
  EXPECT_EQ(rig.window.Text(Control::MD5_result), "");
  EXPECT_TRUE(rig.window.IsVisible(Control::btnStart));
}

TEST(CheckJob, ShortReferenceIsRefusedBeforeAnyRead) {
  Rig rig{Module(kModule16M)};
  const std::string reference = rig.dir.File("short.bin");
  auto image = rig.FlashImage();
  image.resize(16777216 - 1);
  WriteFileBytes(reference, image);
  rig.SelectCheck(reference);
  btnStartClick(rig.ctx);

  EXPECT_EQ(rig.ctx.log.Last().text, "[09:05:07] File too short: " + reference +
                                         " (16777215 bytes, the flash holds 16777216 bytes)");
  EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
  EXPECT_EQ(rig.Model().ReadBlocks(), 0);
}

TEST(ReadJob, CancelDuringBlockNineKeepsTenBlocks) {
  Rig rig{Module(kModule16M)};
  const std::string dump = rig.dir.File("dump.bin");
  rig.window.SetText(Control::MD5_result, "0123");
  rig.SelectRead(dump);
  rig.SelectWrite(dump);  // never reached
  int calls = 0;
  // Processing 0 comes before block 0; processing k after block k - 1.
  rig.window.onProcessEvents = [&] {
    if (++calls == 11)
      btnCancelClick(rig.ctx);
  };
  btnStartClick(rig.ctx);

  EXPECT_EQ(ReadFileBytes(dump).size(), 10 * kBlock);
  EXPECT_EQ(rig.Model().ReadBlocks(), 10);
  EXPECT_EQ(rig.ctx.log.Last().text, "[09:05:07] Operation cancelled");
  EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
  EXPECT_EQ(rig.window.Text(Control::MD5_result), "");
  EXPECT_EQ(rig.Model().WriteBlocks(), 0);
  EXPECT_EQ(rig.bus.CallCount("usb_close"), 1);
}

TEST(ReadJob, DeviceFaultMidReadKeepsTheBlocksBefore) {
  for (auto kind : {sim::FaultKind::Error, sim::FaultKind::Short, sim::FaultKind::Timeout}) {
    Rig rig{Module(kModule16M)};
    rig.device->Faults().atReadBlock = 5;
    rig.device->Faults().kind = kind;
    const std::string dump = rig.dir.File("dump.bin");
    rig.SelectRead(dump);
    btnStartClick(rig.ctx);

    EXPECT_EQ(rig.ctx.log.Last().text, "[09:05:07] Read error");
    EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
    EXPECT_EQ(ReadFileBytes(dump).size(), 5 * kBlock);
    EXPECT_EQ(rig.bus.CallCount("usb_close"), 1);
    EXPECT_EQ(rig.bus.CallCount("usb_release_interface"), 1);
    EXPECT_TRUE(rig.window.IsVisible(Control::btnStart));
    EXPECT_FALSE(rig.window.IsVisible(Control::btnCancel));
    EXPECT_TRUE(rig.window.IsEnabled(Control::CheckBox1));
  }
}

TEST(ReadJob, FileFailures) {
  struct Case {
    std::string path;
    std::string line;
  };
  TempDir dir;
  const std::string missing = dir.File("no/such/folder/dump.bin");
  const std::vector<Case> cases = {
      {missing, "[09:05:07] File open error: " + missing},
      {dir.Path().string(), "[09:05:07] File open error: " + dir.Path().string()},
      {"/dev/full", "[09:05:07] File write error: /dev/full"},
  };
  for (const Case& c : cases) {
    Rig rig{Module(kModule16M)};
    rig.SelectRead(c.path);
    btnStartClick(rig.ctx);
    EXPECT_EQ(rig.ctx.log.Last().text, c.line);
    EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
    EXPECT_NE(LastOf(rig.Lines(), 2)[0], "[09:05:07] Read done, 0:00:00");
    EXPECT_EQ(rig.bus.CallCount("usb_close"), 1);
    EXPECT_TRUE(rig.window.IsVisible(Control::btnStart));
  }
}

TEST(ReadJob, FlashResetFailureOpensNoFile) {
  Rig rig{Module(kModule16M)};
  rig.device->Faults().atTransfer = 7;  // after version, type, chip ID and bus width
  const std::string dump = rig.dir.File("dump.bin");
  rig.SelectRead(dump);
  btnStartClick(rig.ctx);
  EXPECT_EQ(rig.ctx.log.Last().text, "[09:05:07] Can't reset flash - device not ready");
  EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
  EXPECT_FALSE(std::filesystem::exists(dump));
}

// Manual verification: expected texts typed into the window (held in lower case).
struct ManualCase {
  const char* name;
  bool md5Correct;
  std::string md5Suffix;  // appended to the typed text
  bool upper;
  bool sha1;  // type a wrong SHA-1
  std::vector<std::pair<std::string, LogColour>> lines;
};

class ManualVerification : public ::testing::TestWithParam<ManualCase> {};

TEST_P(ManualVerification, ComparesWhatWasTyped) {
  const ManualCase& c = GetParam();
  Rig rig{Module(kModule16M)};
  const std::string dump = rig.dir.File("dump.bin");
  WriteFileBytes(dump, rig.FlashImage());
  std::string md5 = SystemDigest("md5sum", dump);
  if (c.upper)
    std::transform(md5.begin(), md5.end(), md5.begin(), ::toupper);
  rig.window.SetChecked(Control::RadioButton2, true);
  if (c.md5Correct)
    rig.window.SetText(Control::MD5_check, md5 + c.md5Suffix);
  if (c.sha1)
    rig.window.SetText(Control::SHA1_check, "0000");
  rig.SelectRead(dump);
  btnStartClick(rig.ctx);

  // The done line, the verdicts, then the sequence's own last line.
  const auto entries = LastOf(rig.Entries(), c.lines.size() + 2);
  std::vector<std::pair<std::string, LogColour>> verdicts;
  for (size_t i = 1; i + 1 < entries.size(); ++i)
    verdicts.emplace_back(entries[i].text, entries[i].colour);
  EXPECT_EQ(verdicts, c.lines);
  EXPECT_EQ(entries[0].text, "[09:05:07] Read done, 0:00:00");
}

INSTANTIATE_TEST_SUITE_P(
    ReadJob, ManualVerification,
    ::testing::Values(
        ManualCase{"NothingTyped", false, "", false, false, {}},
        ManualCase{"Capitals", true, "", true, false, {{"Manual MD5 check OK", LogColour::Purple}}},
        ManualCase{
            "TrailingSpace", true, " ", false, false, {{"Manual MD5 check FAIL", LogColour::Red}}},
        ManualCase{"WrongSha1",
                   true,
                   "",
                   false,
                   true,
                   {{"Manual MD5 check OK", LogColour::Purple},
                    {"Manual SHA1 check FAIL", LogColour::Red}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadJob, AutoMatchWithMismatchingCheckedDigest) {
  Rig rig{Module(kModule16M)};
  const std::string dump = rig.dir.File("dump.bin");
  WriteFileBytes(dump, rig.FlashImage());
  DumpHashRecord known;
  known.description = "Known image";
  known.md5Text = SystemDigest("md5sum", dump);
  known.sha1Text = std::string(40, '0');
  known.crcText = "00000000";  // not checked: no line for it
  rig.ctx.database.dumpHashes = {known};
  rig.ctx.database.dumpHashCount = 1;
  rig.SelectRead(dump);
  btnStartClick(rig.ctx);

  const auto entries = LastOf(rig.Entries(), 3);
  EXPECT_EQ(entries[0].text, "Defailt hash (MD5) match: Known image");
  EXPECT_EQ(entries[0].colour, LogColour::Purple);
  EXPECT_EQ(entries[1].text, "SHA1 check FAIL");
  EXPECT_EQ(entries[1].colour, LogColour::Red);
  EXPECT_EQ(entries[2].text, "[09:05:07] Jobs successful done");
}

TEST(ReadJob, AutoMatchWithAgreeingCheckedDigests) {
  Rig rig{Module(kModule16M)};
  const std::string dump = rig.dir.File("dump.bin");
  WriteFileBytes(dump, rig.FlashImage());
  rig.ctx.database.settings = {HashMode::Checked, HashMode::Main, HashMode::Checked};
  rig.SelectRead(dump);
  btnStartClick(rig.ctx);  // first run: learn the CRC text the tool shows
  DumpHashRecord known{"Pattern 16M", SystemDigest("md5sum", dump), SystemDigest("sha1sum", dump),
                       rig.window.Text(Control::CRC_result)};
  rig.ctx.database.dumpHashes = {known};
  btnStartClick(rig.ctx);

  EXPECT_EQ(LastOf(rig.Lines(), 4),
            (std::vector<std::string>{"Defailt hash (SHA1) match: Pattern 16M", "MD5 check OK",
                                      "AGI CRC check OK", "[09:05:07] Jobs successful done"}));
}

}  // namespace
