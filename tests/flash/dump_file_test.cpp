// The dump file on its own, through its syncs: what the disk holds when each is asked
// for, what their failures make of the dump, the access a replacement keeps and names as
// long as the folder takes.
#include "flash/dump_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

std::vector<std::string> Names(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

ino_t InodeOf(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? st.st_ino : 0;
}

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(DumpFile, DataIsSyncedBeforeTheRenameAndTheFolderAfter) {
  struct Case {
    const char* name;
    size_t nameLength;  // of the dump's file name
    mode_t mode;        // of the dump it replaces
    int dataError;      // what each sync gives
    int folderError;
    bool committed;
    bool renamed;  // the new dump under the name in the end
  };
  const Case cases[] = {
      {"Private", 8, 0600, 0, 0, true, true},
      {"Shared", 8, 0644, 0, 0, true, true},
      {"NoRoomForTheWholeNameInTheTemporary", 250, 0600, 0, 0, true, true},
      {"LongestName", 255, 0640, 0, 0, true, true},
      {"DataSyncFails", 8, 0600, EIO, 0, false, false},
      {"DataSyncDiskFull", 8, 0600, ENOSPC, 0, false, false},
      {"DataSyncOverQuota", 8, 0600, EDQUOT, 0, false, false},
      {"DataSyncReadOnly", 8, 0600, EROFS, 0, false, false},
      {"FolderSyncFails", 8, 0600, 0, EIO, false, true},
      {"FolderSyncDiskFull", 8, 0600, 0, ENOSPC, false, true},
      {"FolderSyncOverQuota", 8, 0600, 0, EDQUOT, false, true},
      {"FolderSyncReadOnly", 8, 0600, 0, EROFS, false, true},
      {"FolderHasNoSync", 8, 0600, 0, EINVAL, true, true},
  };
  const std::vector<uint8_t> old(1000, 0xA5);
  std::vector<uint8_t> dump(3 * 4096);
  for (size_t i = 0; i < dump.size(); ++i) dump[i] = static_cast<uint8_t>(i * 7);
  // As root the old dump is given away, which only root may do for the replacement too.
  const bool root = ::geteuid() == 0;

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string name = std::string(c.nameLength - 4, 'd') + ".bin";
    const std::string path = dir.File(name);
    WriteFileBytes(path, old);
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    if (root) {
      ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
      // Nor is the folder root's, and it is sticky: root replaces the dump as CAP_FOWNER.
      ASSERT_EQ(::chown(dir.Path().c_str(), 65534, 65534) | ::chmod(dir.Path().c_str(), 01700), 0);
    }
    struct stat before {};
    ::stat(path.c_str(), &before);
    const auto expectAccessOf = [&](const std::string& file) {
      struct stat st {};
      ::stat(file.c_str(), &st);
      EXPECT_EQ(st.st_mode & 07777, c.mode);
      EXPECT_EQ(st.st_uid, before.st_uid);
      EXPECT_EQ(st.st_gid, before.st_gid);
    };

    std::vector<std::string> order;
    DumpDisk syncs;
    syncs.data = [&](int fd) {
      order.push_back("data");
      // The name still holds the old dump; a hidden file beside it all of the new one.
      EXPECT_EQ(ReadFileBytes(path), old);
      auto names = Names(dir.Path());
      names.erase(std::remove(names.begin(), names.end(), name), names.end());
      EXPECT_EQ(names.size(), 1u);
      if (names.size() == 1) {
        const std::string temporary = dir.File(names[0]);
        EXPECT_EQ(names[0][0], '.');
        EXPECT_EQ(InodeOf(fd), InodeOf(temporary));
        EXPECT_EQ(ReadFileBytes(temporary), dump);
        expectAccessOf(temporary);
      }
      return c.dataError;
    };
    syncs.folder = [&](int fd) {
      order.push_back("folder");
      EXPECT_EQ(InodeOf(fd), InodeOf(dir.Path().string()));
      EXPECT_EQ(ReadFileBytes(path), dump);
      EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{name});
      return c.folderError;
    };
    {
      DumpFile file(syncs);
      const bool opened = file.Open(path);
      EXPECT_TRUE(opened);
      if (opened) {
        for (size_t at = 0; at < dump.size(); at += 4096) EXPECT_TRUE(file.Write(&dump[at], 4096));
        EXPECT_EQ(file.Commit(), c.committed);
        EXPECT_EQ(file.Error(), c.committed ? 0 : c.dataError + c.folderError);
      }
    }
    const std::vector<std::string> synced = {"data", "folder"};
    EXPECT_EQ(order, c.renamed ? synced : std::vector<std::string>{"data"});
    EXPECT_EQ(ReadFileBytes(path), c.renamed ? dump : old);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{name});
    expectAccessOf(path);
  }
}

// Refused at Open, with the reason, rather than after the whole read. Otherwise an ordinary
// user replaces root's dump, without its set-ID bits or its group's access.
TEST(DumpFile, OpenRefusesWhatCouldNotReplaceTheDump) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "an ordinary user replacing root's dump";
  struct Case {
    const char* name;
    const char* open;  // link: to /dev/null, through a target as long as a link holds
    mode_t folder;
    uint64_t room;  // for a new dump of 4096 bytes beside an old one of 1000
    int error;      // of Open
  };
  const Case cases[] = {
      {"OthersDumpWithoutItsGroup", "dump.bin", 0777, 4096, 0},
      {"OthersDumpInAStickyFolder", "dump.bin", 01777, 4096, EPERM},
      {"NoRoomBesideTheOldDump", "dump.bin", 0777, 4095, ENOSPC},
      {"LinkTargetFillsTheBuffer", "link", 0777, 4096, ENAMETOOLONG},
  };
  const std::vector<uint8_t> dump(4096, 2);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.Write("dump.bin", std::string(1000, 'o'));
    std::filesystem::create_symlink(std::string(PATH_MAX - 9, '/') + "dev/null", dir.File("link"));
    ASSERT_EQ(::chown(path.c_str(), 0, 12345) | ::chmod(path.c_str(), 07666), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), c.folder), 0);
    DumpFile file({.space = [&](int, uint64_t& bytes) { return bytes = c.room, 0; }});
    ASSERT_EQ(::setegid(65534) | ::seteuid(65534), 0);
    const bool opened = file.Open(dir.File(c.open), dump.size());
    EXPECT_EQ(file.Error(), c.error);
    EXPECT_EQ(opened && file.Write(dump.data(), dump.size()) && file.Commit(), c.error == 0);
    ASSERT_EQ(::seteuid(0) | ::setegid(0), 0);
    EXPECT_EQ(static_cast<int>(std::filesystem::status(path).permissions()),
              c.error ? 07666 : 0606);
  }
}

// Written in place, the dump has no folder entry of its own to sync, but its data is
// synced before the read is done, and a failure there fails the read.
TEST(DumpFile, InPlaceDumpSyncsItsDataOnly) {
  std::vector<std::string> order;
  DumpDisk syncs;
  syncs.data = [&](int) {
    order.push_back("data");
    return EIO;
  };
  syncs.folder = [&](int) {
    order.push_back("folder");
    return 0;
  };
  DumpFile file(syncs);
  ASSERT_TRUE(file.Open("/dev/null"));
  const uint8_t block[512] = {};
  EXPECT_TRUE(file.Write(block, sizeof block));
  EXPECT_FALSE(file.Commit());
  EXPECT_EQ(order, std::vector<std::string>{"data"});
}

}  // namespace
