// The read and check job through whole Start sequences on the simulated programmer:
// the dump, the digests, progress, Cancel, verification and every failure path.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <thread>

#include "base/log_text.h"
#include "flash/jobs.h"
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
  WriteFileBytes(reference, rig.FlashImage());
  rig.SelectCheck(reference);
  btnStartClick(rig.ctx);

  EXPECT_EQ(LastOf(rig.Lines(), 6),
            (std::vector<std::string>{
                "[09:05:07] Start jobs", "[09:05:07] Start check with " + reference,
                "[09:05:07] Check done, 0:00:00", "Byte to byte check OK",
                "Defailt hash (MD5) check database FAIL", "[09:05:07] Jobs successful done"}));
  EXPECT_EQ(LastOf(rig.Entries(), 3)[0].colour, LogColour::Purple);
  EXPECT_EQ(rig.window.Text(Control::MD5_result), SystemDigest("md5sum", reference));
}

// One byte that differs anywhere in a block fails the check at that block.
TEST(CheckJob, DifferenceStopsAtItsBlock) {
  const struct {
    uint8_t type;
    size_t at;  // the differing byte
    int blocksRead;
  } cases[] = {
      {kModule16M, 3 * kBlock + 77, 4},
      {kModule16M, 3 * kBlock, 4},                // the first byte of block 3
      {kModule16M, 4 * kBlock - 1, 4},            // its last byte
      {kModule64M, 1029 * kBlock + 12345, 1030},  // in the second bank (bank byte 0)
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.at);
    Rig rig{Module(c.type)};
    const std::string reference = rig.dir.File("ref.bin");
    auto image = rig.FlashImage();
    image[c.at] ^= 0x01;
    WriteFileBytes(reference, image);
    rig.SelectCheck(reference);
    rig.SelectErase();  // must not run after the failure
    btnStartClick(rig.ctx);

    EXPECT_EQ(rig.ctx.log.Last().text, "[09:05:07] Byte to byte check with file FAILED");
    EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
    EXPECT_EQ(rig.Model().ReadBlocks(), c.blocksRead);
    const auto requests = rig.Requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "14 01"), 0);
    EXPECT_EQ(rig.window.Text(Control::MD5_result), "");
    EXPECT_TRUE(rig.window.IsVisible(Control::btnStart));
  }
}

// Compared to the end, a check that breaks off later still hands back what it found.
TEST(CheckJob, WholeFlashCompareKeepsItsDifferenceWhenALaterBlockFails) {
  Rig rig{Module(kModule16M)};
  auto image = rig.FlashImage();
  image[77] ^= 0x01;
  WriteFileBytes(rig.dir.File("ref.bin"), image);
  rig.ctx.compareWholeFlash = true;
  rig.ctx.selection.ReadMode = false;
  rig.ctx.selection.CheckFileName = rig.dir.File("ref.bin");
  rig.Connect();
  rig.Mark();
  rig.FailTransfer(20);
  const JobResult result = ReadCheckJob(rig.ctx);
  EXPECT_EQ(rig.ctx.log.Last().text, "[09:05:07] Read error");
  EXPECT_EQ(result.Code(), 0xFF);
  EXPECT_TRUE(result.mismatch);
  ASSERT_TRUE(result.difference.has_value());
  EXPECT_EQ(result.difference->firstOffset, 77u);
}

// A reference that is not exactly the flash is refused before any block is read: a
// 64 MiB image must never pass as a check of a 16 MiB module.
TEST(CheckJob, WrongSizeReferenceIsRefusedBeforeAnyRead) {
  const std::pair<uintmax_t, const char*> cases[] = {
      {16777215, "File too short: %s (16777215 bytes, the flash holds 16777216 bytes)"},
      {16777217, "File too long: %s (16777217 bytes, the flash holds 16777216 bytes)"},
      {67108864, "File too long: %s (67108864 bytes, the flash holds 16777216 bytes)"},
  };
  for (const auto& [size, pattern] : cases) {
    Rig rig{Module(kModule16M)};
    const std::string reference = rig.dir.File("reference.bin");
    WriteFileBytes(reference, rig.FlashImage());
    std::filesystem::resize_file(reference, size);
    rig.SelectCheck(reference);
    btnStartClick(rig.ctx);

    EXPECT_EQ(rig.ctx.log.Last().text, "[09:05:07] " + LogText(pattern, {reference}));
    EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
    EXPECT_EQ(rig.Model().ReadBlocks(), 0);
  }
}

// Names in a folder: a failed read must leave no temporary file behind.
std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A read that stops early leaves an earlier dump of the chosen name byte for byte as it
// was, and nothing else in its folder.
TEST(ReadJob, StoppedReadLeavesTheEarlierDumpAsItWas) {
  struct Case {
    const char* name;
    sim::FaultKind kind;  // at block 3, unless cancelled
    bool cancel;          // Cancel clicked while block 9 is on the wire
    const char* line;
    int blocksRead;  // -1: not counted
  };
  const Case cases[] = {
      {"Cancel", sim::FaultKind::Error, true, "[09:05:07] Operation cancelled", 10},
      {"Error", sim::FaultKind::Error, false, "[09:05:07] Read error", -1},
      {"Short", sim::FaultKind::Short, false, "[09:05:07] Read error", -1},
      {"Timeout", sim::FaultKind::Timeout, false, "[09:05:07] Read error", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig{Module(kModule16M)};
    const std::string dump = rig.dir.File("dump.bin");
    const std::vector<uint8_t> earlier(123457, 0xA5);
    WriteFileBytes(dump, earlier);
    rig.window.SetText(Control::MD5_result, "0123");
    rig.SelectRead(dump);
    rig.SelectWrite(dump);  // never reached
    int calls = 0;
    if (c.cancel) {
      // Processing 0 comes before block 0; processing k after block k - 1.
      rig.window.onProcessEvents = [&] {
        if (++calls == 11)
          btnCancelClick(rig.ctx);
      };
    } else {
      rig.device->Faults().atReadBlock = 3;
      rig.device->Faults().kind = c.kind;
    }
    const auto namesBefore = FolderNames(rig.dir.Path());
    btnStartClick(rig.ctx);

    EXPECT_EQ(ReadFileBytes(dump), earlier);
    EXPECT_EQ(FolderNames(rig.dir.Path()), namesBefore);
    if (c.blocksRead >= 0) {
      EXPECT_EQ(rig.Model().ReadBlocks(), c.blocksRead);
    }
    EXPECT_EQ(rig.ctx.log.Last().text, c.line);
    EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
    EXPECT_EQ(rig.window.Text(Control::MD5_result), "");
    EXPECT_EQ(rig.Model().WriteBlocks(), 0);
    EXPECT_EQ(rig.bus.CallCount("usb_close"), 1);
    EXPECT_TRUE(rig.window.IsVisible(Control::btnStart));
    EXPECT_TRUE(rig.window.IsEnabled(Control::CheckBox1));
  }
}

// Runs `body` in a child process as an ordinary user when the tests run as root, who may
// write anywhere and so would never meet a permission.
bool AsOrdinaryUser(const std::function<bool()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    // Root's own groups go too, or the child could still write what group root may.
    if (::getuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(2);
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A dump goes where opening the name for writing would put it, and nowhere else: a file
// the user may not overwrite, or a new file in a folder the user may not write in, is
// refused as before dumps went through a temporary file, with nothing changed on the
// disk; a writable file in such a folder is written in place.
TEST(ReadJob, DumpFollowsThePermissionsOfFileAndFolder) {
  namespace fs = std::filesystem;
  Rig rig{Module(kModule16M)};
  const std::vector<uint8_t> old{1, 2, 3};
  for (const char* name : {"open", "closed", "unlisted"}) fs::create_directory(rig.dir.File(name));
  WriteFileBytes(rig.dir.File("open/old.bin"), old);
  WriteFileBytes(rig.dir.File("closed/writable.bin"), old);
  // The rig's folder is open to the ordinary user; "closed" takes no new file, and
  // "unlisted" takes new files but cannot be opened, so it cannot be synced either.
  const std::pair<const char*, mode_t> modes[] = {
      {"", 0777},       {"open", 0777},    {"open/old.bin", 0444}, {"closed/writable.bin", 0666},
      {"closed", 0555}, {"unlisted", 0333}};
  for (const auto& [name, mode] : modes) ASSERT_EQ(::chmod(rig.dir.File(name).c_str(), mode), 0);

  struct Case {
    std::string path;
    bool written;
  };
  const Case cases[] = {
      {"open/old.bin", false},
      {"closed/new.bin", false},
      {"closed/writable.bin", true},
      {"unlisted/new.bin", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string path = rig.dir.File(c.path);
    const bool existed = fs::exists(path);
    EXPECT_TRUE(AsOrdinaryUser([&] {
      rig.SelectRead(path);
      btnStartClick(rig.ctx);
      if (c.written)
        return LastOf(rig.Lines(), 3)[0] == "[09:05:07] Read done, 0:00:00";
      return rig.ctx.log.Last().text == "[09:05:07] File open error: " + path &&
             rig.ctx.log.Last().colour == LogColour::Red;
    }));
    if (c.written) {
      EXPECT_TRUE(ReadFileBytes(path) == rig.FlashImage());
    } else {
      EXPECT_EQ(fs::exists(path), existed);
      EXPECT_EQ(ReadFileBytes(path), existed ? old : std::vector<uint8_t>{});
    }
  }
  // Opened again for the listing, and so that a test run by an ordinary user can clean up.
  for (const char* name : {"closed", "unlisted"}) ::chmod(rig.dir.File(name).c_str(), 0777);
  EXPECT_EQ(FolderNames(rig.dir.File("open")), std::vector<std::string>{"old.bin"});
  EXPECT_EQ(FolderNames(rig.dir.File("closed")), std::vector<std::string>{"writable.bin"});
  EXPECT_EQ(FolderNames(rig.dir.File("unlisted")), std::vector<std::string>{"new.bin"});
}

// A read into `path` on its own, in a rig that may have read before: the box is ticked
// afresh, as ticking an already ticked box would not ask for a file again.
void ReadInto(Rig& rig, const std::string& path) {
  rig.window.SetChecked(Control::CheckBox1, false);
  rig.SelectRead(path);
  btnStartClick(rig.ctx);
}

// Where the dump lands: a complete read replaces an existing file through a link's
// target, keeping the file's permissions, and is written in place into a device or a
// FIFO, which cannot be replaced.
TEST(ReadJob, CompleteDumpReplacesTheFileOrLinkTarget) {
  Rig rig{Module(kModule16M)};
  const std::string target = rig.dir.File("target.bin");
  const std::string link = rig.dir.File("link.bin");
  WriteFileBytes(target, std::vector<uint8_t>(10, 1));
  ::chmod(target.c_str(), 0640);
  std::filesystem::create_symlink("target.bin", link);
  ReadInto(rig, link);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFileBytes(target), rig.FlashImage());
  struct stat st {};
  ::stat(target.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // A new file gets the permissions of any new file, not those of a temporary one.
  const std::string fresh = rig.dir.File("new.bin");
  ReadInto(rig, fresh);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::stat(fresh.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  EXPECT_EQ(FolderNames(rig.dir.Path()),
            (std::vector<std::string>{"link.bin", "new.bin", "target.bin"}));

  // A device cannot be replaced: it is written in place and stays a device.
  ReadInto(rig, "/dev/null");
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
  EXPECT_EQ(LastOf(rig.Lines(), 4)[0], "[09:05:07] Start read to /dev/null");
  EXPECT_EQ(LastOf(rig.Lines(), 3)[0], "[09:05:07] Read done, 0:00:00");

  // Nor a FIFO: the dump goes to whoever reads the other end. The test holds a writer of
  // its own so that the reader sees the end only once the test lets go, wherever the dump
  // went.
  const std::string fifo = rig.dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  const int writer = ::open(fifo.c_str(), O_WRONLY);
  ASSERT_GE(reader, 0);
  ASSERT_GE(writer, 0);
  ::fcntl(reader, F_SETFL, 0);
  std::vector<uint8_t> received;
  std::thread drain([&] {
    uint8_t buffer[65536];
    for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;)
      received.insert(received.end(), buffer, buffer + n);
  });
  ReadInto(rig, fifo);
  ::close(writer);
  drain.join();
  ::close(reader);
  EXPECT_EQ(LastOf(rig.Lines(), 3)[0], "[09:05:07] Read done, 0:00:00");
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_TRUE(received == rig.FlashImage());
}

// Nothing is made on the disk for a dump that cannot be opened: a missing folder, a
// folder as the name, a loop of links or a chain longer than open follows (41 links).
TEST(ReadJob, FileFailures) {
  struct Case {
    std::string path;
    std::string line;
    FailureReason reason;
    int error;
  };
  TempDir dir;
  std::filesystem::create_symlink("self.bin", dir.File("self.bin"));
  std::filesystem::create_symlink("b.bin", dir.File("a.bin"));
  std::filesystem::create_symlink("a.bin", dir.File("b.bin"));
  WriteFileBytes(dir.File("end.bin"), {1, 2, 3});
  for (int i = 0; i <= 40; ++i)
    std::filesystem::create_symlink(i == 40 ? "end.bin" : "chain" + std::to_string(i + 1),
                                    dir.File("chain" + std::to_string(i)));
  const std::vector<std::string> names = FolderNames(dir.Path());
  const std::string missing = dir.File("no/such/folder/dump.bin");
  const std::vector<Case> cases = {
      {missing, "[09:05:07] File open error: " + missing, FailureReason::FileOpen, ENOENT},
      {dir.Path().string(), "[09:05:07] File open error: " + dir.Path().string(),
       FailureReason::FileOpen, EISDIR},
      {dir.File("self.bin"), "[09:05:07] File open error: " + dir.File("self.bin"),
       FailureReason::FileOpen, ELOOP},
      {dir.File("a.bin"), "[09:05:07] File open error: " + dir.File("a.bin"),
       FailureReason::FileOpen, ELOOP},
      {dir.File("chain0"), "[09:05:07] File open error: " + dir.File("chain0"),
       FailureReason::FileOpen, ELOOP},
      {"/dev/full", "[09:05:07] File write error: /dev/full", FailureReason::FileWrite, ENOSPC},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Rig rig{Module(kModule16M)};
    rig.SelectRead(c.path);
    btnStartClick(rig.ctx);
    EXPECT_EQ(rig.ctx.log.Last().text, c.line);
    EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
    ASSERT_EQ(rig.ctx.report.jobs.size(), 1u);
    EXPECT_EQ(rig.ctx.report.jobs[0].result.failure, (JobFailure{c.reason, c.error, c.path}));
    EXPECT_NE(LastOf(rig.Lines(), 2)[0], "[09:05:07] Read done, 0:00:00");
    EXPECT_EQ(rig.bus.CallCount("usb_close"), 1);
    EXPECT_TRUE(rig.window.IsVisible(Control::btnStart));
    EXPECT_EQ(FolderNames(dir.Path()), names);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("chain40")));
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
  EXPECT_EQ(entries[2].text, "[09:05:07] Verification failed, jobs stopped");
  EXPECT_EQ(entries[2].colour, LogColour::Red);
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
