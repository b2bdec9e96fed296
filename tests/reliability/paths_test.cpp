// File paths and files that fight back: paths of 4000 characters through nested folders
// with "%", spaces and non-ASCII names, shown literally and whole; a dump path that is a
// folder or lies in a missing folder; a full disk; write and check files that are
// folders or devices without data.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/reliability/reliability_rig.h"

namespace {

const std::string kStart = kStamp;

// A path of exactly `length` characters below `base`, through folders whose names hold
// format characters, spaces and non-ASCII letters; the folders are created.
std::string LongPath(const std::filesystem::path& base, size_t length, const std::string& leaf) {
  const std::string piece = "50% %s %d %x %n ünïcödé ✓ 日本 ";
  std::string path = base.string();
  while (path.size() + 1 + 200 + 1 + leaf.size() < length) {
    std::string name;
    while (name.size() + piece.size() <= 200) name += piece;
    path += "/" + name;
    std::filesystem::create_directory(path);
  }
  // The last folder pads the path to the exact length.
  const size_t pad = length - path.size() - 2 - leaf.size();
  path += "/" + std::string(pad, 'p');
  std::filesystem::create_directory(path);
  path += "/" + leaf;
  EXPECT_EQ(path.size(), length);
  return path;
}

std::vector<std::string> Texts(const LogTape& tape) {
  std::vector<std::string> texts;
  for (const auto& e : tape.written) texts.push_back(e.text);
  return texts;
}

int Sent(const Rig& rig, std::initializer_list<uint8_t> opcodes) {
  int count = 0;
  for (const auto& r : rig.bus.OutRequests())
    count += r.size() < 8 && !r.empty() &&
             std::find(opcodes.begin(), opcodes.end(), r[0]) != opcodes.end();
  return count;
}

TEST(LongPaths, ReadCheckAndWriteShowTheWholePath) {
  Rig rig;
  LogTape tape;
  tape.Attach(rig);
  const std::string dump = LongPath(rig.dir.Path(), 4000, "dump %s 100% ü.bin");

  rig.SelectRead(dump);
  btnStartClick(rig.ctx);
  EXPECT_TRUE(tape.Contains(kStart + "Selected file for read: " + dump));
  EXPECT_TRUE(tape.Contains(kStart + "Start read to " + dump)) << LastOf(Texts(tape), 1)[0];
  EXPECT_EQ(rig.ctx.log.Last().text, kStart + "Jobs successful done");
  EXPECT_TRUE(ReadFileBytes(dump) == rig.FlashImage());

  rig.SelectCheck(dump);
  btnStartClick(rig.ctx);
  EXPECT_TRUE(tape.Contains(kStart + "Selected file for check: " + dump));
  EXPECT_TRUE(tape.Contains(kStart + "Start check with " + dump));
  EXPECT_TRUE(tape.Contains("Byte to byte check OK"));
  EXPECT_EQ(rig.ctx.log.Last().text, kStart + "Jobs successful done");

  rig.window.SetChecked(Control::CheckBox1, false);
  rig.SelectWrite(dump);
  btnStartClick(rig.ctx);
  EXPECT_TRUE(tape.Contains(kStart + "Start write from " + dump));
  EXPECT_EQ(rig.ctx.log.Last().text, kStart + "Jobs successful done");
  EXPECT_TRUE(ReadFileBytes(dump) == rig.FlashImage());
}

TEST(LongPaths, MissingFileIsNamedWhole) {
  Rig rig;
  const std::string missing = LongPath(rig.dir.Path(), 4000, "gone 100%.bin");
  rig.SelectWrite(missing);
  btnStartClick(rig.ctx);
  EXPECT_EQ(rig.ctx.log.Last().text, kStart + "File open error: " + missing);
  EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
  EXPECT_FALSE(std::filesystem::exists(missing));
}

// Each case selects one job with a file that cannot serve it (and the jobs after it,
// which must not run) and gives the Red line the job ends with.
struct FileCase {
  const char* name;
  enum { Read, Check, Write } job;
  std::string (*path)(const TempDir& dir);
  std::string (*line)(const std::string& path);
  bool createsNothing;  // no file appears in the scratch folder
  // Blocks read from the flash before the job gives up: a device file's size shows only
  // when the first block is compared with it.
  int blocksRead = 0;
};

std::string OpenError(const std::string& path) {
  return kStart + "File open error: " + path;
}

const FileCase kFileCases[] = {
    {"DumpPathIsAFolder", FileCase::Read, [](const TempDir& d) { return d.Path().string(); },
     OpenError, true},
    {"DumpFolderMissing", FileCase::Read,
     [](const TempDir& d) { return d.File("no such folder/dump.bin"); }, OpenError, true},
    {"DiskFull", FileCase::Read, [](const TempDir&) { return std::string("/dev/full"); },
     [](const std::string& p) { return kStart + "File write error: " + p; }, true},
    {"CheckFileIsAFolder", FileCase::Check,
     [](const TempDir& d) {
       std::filesystem::create_directory(d.File("folder.bin"));
       return d.File("folder.bin");
     },
     OpenError, false},
    {"WriteFileIsAFolder", FileCase::Write,
     [](const TempDir& d) {
       std::filesystem::create_directory(d.File("folder.bin"));
       return d.File("folder.bin");
     },
     OpenError, false},
    {"CheckFileIsEmptyDevice", FileCase::Check,
     [](const TempDir&) { return std::string("/dev/null"); },
     [](const std::string& p) {
       return kStart + "File too short: " + p + " (0 bytes, the flash holds 16777216 bytes)";
     },
     true, 1},
    {"WriteFileIsEmptyDevice", FileCase::Write,
     [](const TempDir&) { return std::string("/dev/null"); },
     [](const std::string& p) {
       return kStart + "File too short: " + p + " (0 bytes, the flash holds 16777216 bytes)";
     },
     true},
};

class FileFaults : public ::testing::TestWithParam<FileCase> {};

TEST_P(FileFaults, JobFailsWithItsLineAndNothingElseRuns) {
  const FileCase& c = GetParam();
  Rig rig;
  LogTape tape;
  tape.Attach(rig);
  const auto flashBefore = rig.FlashImage();
  const std::string path = c.path(rig.dir);
  const auto before = FilesIn(rig.dir.Path());
  switch (c.job) {
    case FileCase::Read:
      rig.SelectRead(path);
      rig.SelectErase();
      break;
    case FileCase::Check:
      rig.SelectCheck(path);
      rig.SelectErase();
      break;
    case FileCase::Write:
      rig.SelectWrite(path);
      break;
  }
  btnStartClick(rig.ctx);

  EXPECT_EQ(rig.ctx.log.Last().text, c.line(path));
  EXPECT_EQ(rig.ctx.log.Last().colour, LogColour::Red);
  EXPECT_FALSE(tape.Contains(kStart + "Jobs successful done"));
  EXPECT_FALSE(tape.Contains(kStart + "Read done, 0:00:00"));
  EXPECT_TRUE(rig.window.messages.empty());
  ExpectIdleWindow(rig.window);
  ExpectClosedOnce(rig.bus, true);
  // Nothing programmed or erased, and nothing read from the flash for a file that
  // could not be used.
  EXPECT_EQ(Sent(rig, {0x11, 0xA0, 0x14, 0x50}), 0);
  if (c.job != FileCase::Read) {
    EXPECT_EQ(Sent(rig, {0x12}), c.blocksRead);
  }
  EXPECT_TRUE(rig.FlashImage() == flashBefore);
  if (c.createsNothing) {
    EXPECT_EQ(FilesIn(rig.dir.Path()), before);
  }
  EXPECT_EQ(rig.window.Text(Control::MD5_result), "");
}

INSTANTIATE_TEST_SUITE_P(Paths, FileFaults, ::testing::ValuesIn(kFileCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
