// Whole Start presses on the simulated programmer: the jobs in their fixed order, the
// stop at the first failure, and where a Cancel click lands between jobs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/sequencer/sequence_fixture.h"

namespace {

using namespace seqtest;

const Strings kIdentified = {"Purple: Macronix, MX29LV640", "Purple: Flash module: 16M"};

Strings Join(std::initializer_list<Strings> parts) {
  Strings out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// usb_open calls that gave a handle.
int Opened(const Rig& rig) {
  const auto& calls = rig.bus.Calls();
  return static_cast<int>(std::count_if(calls.begin(), calls.end(), [](const sim::ApiCall& c) {
    return c.name == "usb_open" && c.result == 1;
  }));
}

size_t IndexOf(const Strings& list, const std::string& item, bool last = false) {
  const auto it = last ? std::find(list.rbegin(), list.rend(), item).base() - 1
                       : std::find(list.begin(), list.end(), item);
  return static_cast<size_t>(it - list.begin());
}

// ---------------------------------------------------------------------------------------
// Refusals before anything runs.

TEST(StartSequence, NothingSelectedShowsABoxAndTouchesNothing) {
  Rig rig;
  const auto lines = rig.Lines();
  const WindowState before = Snapshot(rig.window);
  btnStartClick(rig.ctx);
  EXPECT_EQ(rig.window.messages,
            (std::vector<FakeWindow::Message>{{"Nothing to do", "Flash programmator", false}}));
  EXPECT_TRUE(rig.bus.Calls().empty());  // not even usb_init
  EXPECT_EQ(rig.Lines(), lines);
  EXPECT_EQ(Snapshot(rig.window), before);
}

struct NoConnectionCase {
  std::string name;
  sim::DeviceConfig config;
  std::vector<bool> answers;
  std::string message;
  Strings lines;                  // written by identification
  ConnectReason reason;           // handed back to the run's report
  bool secondProgrammer = false;  // a default one on a bus of its own, after the first
};

std::vector<NoConnectionCase> NoConnectionCases() {
  sim::DeviceConfig foreign;
  foreign.vendorId = 0x1234;
  sim::DeviceConfig unopenable;
  unopenable.faults.openFails = true;
  sim::DeviceConfig unknownModule;
  unknownModule.model.moduleType = 0x2A;
  sim::DeviceConfig unknownChip;
  unknownChip.model.chipId = {0x55, 0x66, 0x77, 0x88};
  return {
      {"NoProgrammerOnTheBus", foreign, {}, "Device not found", {}, ConnectReason::NotFound},
      {"ProgrammerCannotBeOpened", unopenable, {}, "Device not found", {}, ConnectReason::NotFound},
      // The window cannot choose one, so it opens none (each is device 1 of its bus, a
      // root hub to sysfs: no port path).
      {"TwoProgrammers",
       {},
       {},
       "2 programmers found: 001:001, 002:001. Keep only one connected.",
       {},
       ConnectReason::Several,
       true},
      {"UnknownModuleCancelled",
       unknownModule,
       {false},
       "Flash module unknown. To try as standart 64M module?",
       {},
       ConnectReason::Declined},
      {"UnknownChipCancelled",
       unknownChip,
       {false},
       "Chip detecting fault. Try as one bank module with 8bit chip?",
       {},
       ConnectReason::Declined},
  };
}

class StartWithoutConnection : public testing::TestWithParam<NoConnectionCase> {};

TEST_P(StartWithoutConnection, EndsWithoutStartJobsLineOrLock) {
  const NoConnectionCase& c = GetParam();
  Rig rig(c.config);
  if (c.secondProgrammer)
    rig.bus.AddProgrammer();
  for (bool a : c.answers) rig.window.answers.push_back(a);
  rig.SelectErase();
  rig.SelectWrite(rig.dir.File("w.bin"));
  const size_t lines = rig.ctx.log.LineCount();
  const WindowState before = Snapshot(rig.window);
  int eventsDuringPress = 0;
  rig.window.onProcessEvents = [&] { ++eventsDuringPress; };

  btnStartClick(rig.ctx);
  EXPECT_EQ(LastOf(rig.window.messages, 1)[0],
            (FakeWindow::Message{c.message, "Flash programmator", !c.answers.empty()}));
  EXPECT_EQ(rig.LinesFrom(lines), c.lines);
  EXPECT_EQ(Snapshot(rig.window), before);
  EXPECT_EQ(eventsDuringPress, 0);  // no job ran
  EXPECT_EQ(rig.bus.CallCount("usb_release_interface"), 0);
  EXPECT_EQ(rig.bus.CallCount("usb_close"), Opened(rig));
  ASSERT_TRUE(rig.ctx.report.connection.has_value());
  EXPECT_EQ(rig.ctx.report.connection->reason, c.reason);
  EXPECT_EQ(JudgeRun(rig.ctx.report), RunVerdict::NotConnected);
}

INSTANTIATE_TEST_SUITE_P(StartSequence, StartWithoutConnection,
                         testing::ValuesIn(NoConnectionCases()),
                         [](const auto& info) { return info.param.name; });

// The hidden isSharp box as it stands when Start is pressed: the fixed module, no chip ID.
TEST(StartSequence, HiddenSharpBoxTakenWhenStartIsPressed) {
  for (bool sharp : {false, true}) {
    SCOPED_TRACE(sharp);
    Rig rig;
    rig.window.SetChecked(Control::isSharp, sharp);
    rig.SelectErase();
    btnStartClick(rig.ctx);
    const Strings lines = rig.Lines();
    const Strings requests = rig.Requests();
    EXPECT_EQ(
        std::count(lines.begin(), lines.end(), "Flash module used as china-sharp like module."),
        sharp ? 1 : 0);
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "36"), sharp ? 0 : 1);
    EXPECT_EQ(rig.ctx.session.blockCount, sharp ? 2048 : kBlocks16M);
  }
}

// ---------------------------------------------------------------------------------------
// All three jobs.

TEST(StartSequence, ReadEraseWriteAllSucceedInThisOrder) {
  Rig rig;
  const Bytes original = rig.FlashImage();
  rig.ctx.database.dumpHashes.push_back(DumpEntry("Pattern dump", original));
  const std::string readPath = rig.dir.File("read.bin");
  const std::string writePath = rig.dir.File("write.bin");
  const Bytes image = Noise(kFlash16M, 1);
  WriteFileBytes(writePath, image);
  rig.SelectRead(readPath);
  rig.SelectErase();
  rig.SelectWrite(writePath);
  const size_t lines = rig.ctx.log.LineCount();
  rig.bus.ClearRecord();

  btnStartClick(rig.ctx);

  EXPECT_EQ(rig.LinesFrom(lines),
            Join({kIdentified,
                  {"Green: " + Stamp("Start jobs"), "Green: " + Stamp("Start read to " + readPath),
                   "Green: " + Stamp("Read done, 0:00:00"),
                   "Purple: Defailt hash (MD5) match: Pattern dump", "Purple: SHA1 check OK",
                   "Green: " + Stamp("Start erasing flash"),
                   "Green: " + Stamp("Flash erase done, 0:00:00"),
                   "Green: " + Stamp("Start write from " + writePath),
                   "Green: " + Stamp("Write done, 0:00:00"),
                   "Green: " + Stamp("Jobs successful done")}}));
  EXPECT_TRUE(rig.window.messages.empty());
  EXPECT_EQ(ReadFileBytes(readPath), original);
  EXPECT_EQ(rig.FlashImage(), image);
  EXPECT_EQ(rig.window.Text(Control::MD5_result), rig.ctx.database.dumpHashes.back().md5Text);

  // The jobs' traffic does not interleave: read, then erase, then write.
  const Strings cmds = rig.Commands();
  EXPECT_LT(IndexOf(cmds, "12", true), IndexOf(cmds, "14 01"));
  EXPECT_LT(IndexOf(cmds, "51 01", true), IndexOf(cmds, "A0"));
  EXPECT_EQ(Count(cmds, "12"), 512);
  EXPECT_EQ(Count(cmds, "A0"), 512);
  EXPECT_EQ(Count(cmds, "14 01"), 1);

  // Idle again, the bar at 0, the link released and closed once.
  EXPECT_TRUE(rig.window.IsVisible(Control::btnStart));
  EXPECT_FALSE(rig.window.IsVisible(Control::btnCancel));
  EXPECT_EQ(rig.window.ProgressPosition(), 0);
  EXPECT_EQ(LastOf(rig.bus.CallNames(), 2), (Strings{"usb_release_interface", "usb_close"}));
}

TEST(StartSequence, ProgressBarIsBackAtZeroBeforeTheErase) {
  Rig rig;
  rig.SelectRead(rig.dir.File("read.bin"));
  rig.SelectErase();
  std::vector<int> positionAtEraseEvents;
  rig.window.onProcessEvents = [&] {
    if (rig.ctx.log.LineCount() >= 2 &&
        rig.ctx.log.Row(rig.ctx.log.LineCount() - 2).text == Stamp("Start erasing flash"))
      positionAtEraseEvents.push_back(rig.window.ProgressPosition());
  };
  btnStartClick(rig.ctx);
  ASSERT_FALSE(positionAtEraseEvents.empty());
  EXPECT_EQ(positionAtEraseEvents.front(), 0);  // the read had left it at 512
}

// A read or check whose digests did not verify stops the run before anything is erased or
// written; a dump the database does not know is no failure.
struct VerificationCase {
  std::string name;
  bool check;             // a check against the flash's own image rather than a read
  std::string manualMD5;  // typed (Manual); empty: Auto against the database
  bool knownWithBadSha1;  // Auto: the dump is known, its SHA-1 (checked) differs
  std::string verdictLine;
  bool stops;
};

class RunAfterVerification : public testing::TestWithParam<VerificationCase> {};

TEST_P(RunAfterVerification, StopsBeforeEraseAndWriteOnlyWhenItFailed) {
  const VerificationCase& c = GetParam();
  Rig rig;
  const Bytes original = rig.FlashImage();
  const std::string image = rig.dir.File("image.bin");
  WriteFileBytes(image, original);
  if (!c.manualMD5.empty()) {
    rig.window.Click(Control::RadioButton2);  // Manual
    rig.window.SetText(Control::MD5_check, c.manualMD5);
  }
  if (c.knownWithBadSha1) {
    DumpHashRecord known = DumpEntry("Pattern dump", original);
    known.sha1Text = std::string(40, '0');
    rig.ctx.database.dumpHashes = {known};
  }
  if (c.check)
    rig.SelectCheck(image);
  else
    rig.SelectRead(rig.dir.File("read.bin"));
  rig.SelectErase();
  rig.SelectWrite(image);
  rig.bus.ClearRecord();
  btnStartClick(rig.ctx);

  const Strings lines = rig.Lines();
  const Strings requests = rig.Requests();
  EXPECT_EQ(Count(lines, c.verdictLine), 1);
  EXPECT_EQ(Count(requests, "14 01"), c.stops ? 0 : 1);  // EraseInit
  if (c.stops) {
    EXPECT_EQ(
        LastOf(rig.LinesFrom(0), 2),
        (Strings{"Red: " + c.verdictLine, "Red: " + Stamp("Verification failed, jobs stopped")}));
    EXPECT_EQ(rig.FlashImage(), original);
    EXPECT_EQ(Count(lines, Stamp("Start erasing flash")), 0);
  } else {
    EXPECT_EQ(lines.back(), Stamp("Jobs successful done"));
  }
  if (!c.check) {
    EXPECT_EQ(ReadFileBytes(rig.dir.File("read.bin")), original);  // the dump is kept
  }
  EXPECT_EQ(rig.window.Text(Control::SHA1_result), DumpEntry("", original).sha1Text);
  EXPECT_TRUE(rig.window.IsVisible(Control::btnStart));
  EXPECT_EQ(LastOf(rig.bus.CallNames(), 2), (Strings{"usb_release_interface", "usb_close"}));
}

INSTANTIATE_TEST_SUITE_P(
    StartSequence, RunAfterVerification,
    testing::Values(VerificationCase{"ManualFailAfterRead", false, std::string(32, '0'), false,
                                     "Manual MD5 check FAIL", true},
                    VerificationCase{"ManualFailAfterCheck", true, std::string(32, '0'), false,
                                     "Manual MD5 check FAIL", true},
                    VerificationCase{"CheckedDigestOfAKnownDumpFails", false, "", true,
                                     "SHA1 check FAIL", true},
                    VerificationCase{"UnknownDumpGoesOn", false, "", false,
                                     "Defailt hash (MD5) check database FAIL", false}),
    [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------
// The first failure ends the sequence.

TEST(StartSequence, ReadThatCannotCreateItsFileStopsTheRest) {
  Rig rig;
  const Bytes original = rig.FlashImage();
  const std::string readPath = rig.dir.File("no-such-folder/read.bin");
  const std::string writePath = rig.dir.File("write.bin");
  WriteFileBytes(writePath, Noise(kFlash16M, 2));
  rig.SelectRead(readPath);
  rig.SelectErase();
  rig.SelectWrite(writePath);
  const size_t lines = rig.ctx.log.LineCount();
  rig.bus.ClearRecord();

  btnStartClick(rig.ctx);
  EXPECT_EQ(
      rig.LinesFrom(lines),
      Join({kIdentified,
            {"Green: " + Stamp("Start jobs"), "Red: " + Stamp("File open error: " + readPath)}}));
  // Identification, then only the read's FlashReset.
  EXPECT_EQ(rig.Commands(), (Strings{"13", "16", "36", "18", "01"}));
  EXPECT_EQ(rig.FlashImage(), original);
  EXPECT_TRUE(rig.window.IsVisible(Control::btnStart));
  EXPECT_TRUE(rig.window.IsEnabled(Control::btnExit));
  EXPECT_EQ(rig.bus.CallCount("usb_release_interface"), 1);
  EXPECT_EQ(LastOf(rig.bus.CallNames(), 1)[0], "usb_close");
}

TEST(StartSequence, CheckMismatchStopsBeforeTheWrite) {
  Rig rig;
  const Bytes original = rig.FlashImage();
  const std::string checkPath = rig.dir.File("other.bin");
  const std::string writePath = rig.dir.File("write.bin");
  WriteFileBytes(checkPath, Noise(kFlash16M, 3));
  WriteFileBytes(writePath, Noise(kFlash16M, 4));
  rig.SelectCheck(checkPath);
  rig.SelectWrite(writePath);
  const size_t lines = rig.ctx.log.LineCount();
  rig.bus.ClearRecord();

  btnStartClick(rig.ctx);
  EXPECT_EQ(rig.LinesFrom(lines), Join({kIdentified,
                                        {"Green: " + Stamp("Start jobs"),
                                         "Green: " + Stamp("Start check with " + checkPath),
                                         "Red: " + Stamp("Byte to byte check with file FAILED")}}));
  const Strings cmds = rig.Commands();
  EXPECT_EQ(Count(cmds, "A0"), 0);
  EXPECT_EQ(Count(cmds, "12"), 1);  // stopped at the first block
  EXPECT_EQ(rig.FlashImage(), original);
}

TEST(StartSequence, CheckComparesTheFlashAsItWasBeforeTheWrite) {
  Rig rig;
  const std::string checkPath = rig.dir.File("before.bin");
  const std::string writePath = rig.dir.File("write.bin");
  WriteFileBytes(checkPath, rig.FlashImage());
  // Erased bits only: the write lands whole even without an erase.
  WriteFileBytes(writePath, Bytes(kFlash16M, 0x00));
  rig.SelectCheck(checkPath);
  rig.SelectWrite(writePath);
  btnStartClick(rig.ctx);
  const Strings lines = rig.Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Byte to byte check OK"), lines.end());
  EXPECT_EQ(LastOf(lines, 1)[0], Stamp("Jobs successful done"));
  EXPECT_EQ(rig.FlashImage(), Bytes(kFlash16M, 0x00));
}

// ---------------------------------------------------------------------------------------
// Cancel between and during jobs.

// A Cancel clicked at any point of a run stops it there: the job running (or the next
// one, when the click lands after a job's last block or pass) sends nothing more, and the
// run ends as after any failed job. A Cancel already pending as the first job begins
// stops it before its first request.
TEST(StartSequence, CancelIsHonouredAtEveryPointOfARun) {
  enum Point { ReadBlockNine, ReadLastBlock, EraseLastPass, BeforeTheFirstJob, FirstBankLastBlock };
  struct Case {
    const char* name;
    bool read, erase, write;
    Point click;
    bool flashErased;    // else the flash is as it was
    bool dumpWhole;      // else no dump file at all
    bool check = false;  // the first job checks the flash against a file instead of reading
    uint8_t module = kModule16M;
  };
  const Case cases[] = {
      {"DuringTheRead", true, true, true, ReadBlockNine, false, false},
      {"ReadThenErase", true, true, false, ReadLastBlock, false, true},
      {"ReadThenWrite", true, false, true, ReadLastBlock, false, true},
      {"EraseThenWrite", false, true, true, EraseLastPass, true, false},
      {"WriteOnly", false, false, true, BeforeTheFirstJob, false, false},
      {"ReadOnly", true, false, false, BeforeTheFirstJob, false, false},
      {"CheckOnly", true, false, false, BeforeTheFirstJob, false, false, true},
      {"EraseOnly", false, true, false, BeforeTheFirstJob, false, false},
      // Two banks of 256 blocks: the click lands while block 255 is read.
      {"ReadAtTheEndOfTheFirstBank", true, false, false, FirstBankLastBlock, false, false, false,
       kModule16Dual},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A click before the first job counts from the end of identification: nothing may follow.
    Rig probe{Module(c.module)};
    probe.Connect();
    const auto identified = static_cast<size_t>(probe.transfersAtMark);
    Rig rig{Module(c.module)};
    const Bytes original = rig.FlashImage();
    const std::string dump = rig.dir.File("read.bin");
    WriteFileBytes(rig.dir.File("write.bin"), Noise(kFlash16M, 6));
    if (c.read && c.check)
      rig.SelectCheck(rig.dir.File("write.bin"));
    else if (c.read)
      rig.SelectRead(dump);
    if (c.erase)
      rig.SelectErase();
    if (c.write)
      rig.SelectWrite(rig.dir.File("write.bin"));
    size_t transfersAtClick = 0;
    bool clicked = false;
    rig.window.onProcessEvents = [&] {
      const auto& t = rig.bus.Transfers();
      const bool now = (c.click == ReadBlockNine && rig.Model().ReadBlocks() == 10) ||
                       (c.click == ReadLastBlock && rig.Model().ReadBlocks() == 512) ||
                       // right after the poll that reported the bank done
                       (c.click == EraseLastPass && t.size() >= 2 && !t.back().out &&
                        t.back().bytes == Bytes{0} && HexBytes(t[t.size() - 2].bytes) == "51 01") ||
                       (c.click == FirstBankLastBlock && rig.Model().ReadBlocks() == 256) ||
                       (c.click == BeforeTheFirstJob);
      if (!clicked && now) {
        clicked = true;
        transfersAtClick = c.click == BeforeTheFirstJob ? identified : t.size();
        btnCancelClick(rig.ctx);
      }
    };
    btnStartClick(rig.ctx);

    ASSERT_TRUE(clicked);
    // Only the finished erase's own closing FlashReset may follow the click.
    Strings after;
    for (size_t i = transfersAtClick; i < rig.bus.Transfers().size(); ++i)
      after.push_back(HexBytes(rig.bus.Transfers()[i].bytes));
    EXPECT_EQ(after, c.click == EraseLastPass ? Strings{"01"} : Strings{})
        << "a request after the Cancel";
    EXPECT_EQ(LastOf(rig.Entries(), 1)[0].text, Stamp("Operation cancelled"));
    EXPECT_EQ(LastOf(rig.Entries(), 1)[0].colour, LogColour::Red);
    EXPECT_EQ(Count(rig.Lines(), Stamp("Jobs successful done")), 0);
    EXPECT_EQ(rig.FlashImage(), c.flashErased ? Bytes(kFlash16M, 0xFF) : original);
    if (c.dumpWhole)
      EXPECT_EQ(ReadFileBytes(dump), original);
    else
      EXPECT_FALSE(std::filesystem::exists(dump));
    EXPECT_EQ(rig.bus.CallCount("usb_close"), 1);
    EXPECT_TRUE(rig.window.IsVisible(Control::btnStart));
    EXPECT_TRUE(rig.window.IsEnabled(Control::btnExit));
  }
}

// ---------------------------------------------------------------------------------------
// NOR flash: a write over flash that was not erased only clears bits.

TEST(StartSequence, WriteWithoutEraseLeavesTheFlashUnlikeTheFileAndACheckSaysSo) {
  Rig rig;
  const Bytes before = rig.FlashImage();
  const Bytes image = Noise(kFlash16M, 8);
  const std::string path = rig.dir.File("write.bin");
  WriteFileBytes(path, image);
  rig.SelectWrite(path);
  size_t lines = rig.ctx.log.LineCount();
  btnStartClick(rig.ctx);
  EXPECT_EQ(rig.LinesFrom(lines),
            Join({kIdentified,
                  {"Green: " + Stamp("Start jobs"), "Green: " + Stamp("Start write from " + path),
                   "Green: " + Stamp("Write done, 0:00:00"),
                   "Green: " + Stamp("Jobs successful done")}}));  // no warning
  const Bytes after = rig.FlashImage();
  EXPECT_NE(after, image);
  Bytes anded(kFlash16M);
  for (size_t i = 0; i < anded.size(); ++i) anded[i] = before[i] & image[i];
  EXPECT_EQ(after, anded);

  rig.window.SetChecked(Control::CheckBox3, false);
  rig.SelectCheck(path);
  lines = rig.ctx.log.LineCount();
  btnStartClick(rig.ctx);
  EXPECT_EQ(rig.LinesFrom(lines),
            Join({kIdentified,
                  {"Green: " + Stamp("Start jobs"), "Green: " + Stamp("Start check with " + path),
                   "Red: " + Stamp("Byte to byte check with file FAILED")}}));
}

}  // namespace

// Every exit status of the command line comes from this verdict, the most serious first.
TEST(RunVerdict, ComesFromTheReasonsHandedBack) {
  const auto job = [](std::optional<FailureReason> reason, bool mismatch = false,
                      bool digestsFailed = false) {
    JobRecord record;
    if (reason)
      record.result.failure = JobFailure{*reason};
    record.result.mismatch = mismatch;
    if (digestsFailed) {
      record.result.verification.emplace();
      record.result.verification->md5 = DigestVerdict::Fail;
    }
    return record;
  };
  const auto run = [](std::vector<JobRecord> jobs, std::optional<ConnectReason> connection = {}) {
    RunReport report;
    report.jobs = std::move(jobs);
    if (connection)
      report.connection = ConnectFailure{*connection, ""};
    return report;
  };
  using R = FailureReason;
  const struct {
    const char* name;
    RunReport report;
    RunVerdict verdict;
  } cases[] = {
      {"all done", run({job({}), job({})}), RunVerdict::Done},
      {"not connected", run({}, ConnectReason::NotFound), RunVerdict::NotConnected},
      {"stopped while connecting", run({}, ConnectReason::Cancelled), RunVerdict::Interrupted},
      {"declined", run({}, ConnectReason::Declined), RunVerdict::NotConnected},
      {"diagnostic without a programmer", run({job({})}, ConnectReason::Device),
       RunVerdict::NotConnected},
      {"a file failed", run({job(R::FileOpen)}), RunVerdict::JobFailed},
      {"a transfer failed", run({job({}), job(R::Transfer)}), RunVerdict::JobFailed},
      {"the flash differs", run({job(R::Mismatch, true)}), RunVerdict::VerificationFailed},
      {"digests did not verify", run({job({}, false, true)}), RunVerdict::VerificationFailed},
      {"failed after a difference", run({job(R::Transfer, true)}), RunVerdict::JobFailed},
      {"cancelled after a failure", run({job(R::Mismatch, true), job(R::Cancelled)}),
       RunVerdict::Interrupted},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(JudgeRun(c.report), c.verdict);
  }
}
