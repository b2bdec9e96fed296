// The file a read job dumps the flash into. An existing dump of that name is replaced
// only by a complete one: the blocks go to a temporary file beside it, which is flushed,
// synced and renamed over the chosen name after the last block. A job that fails or is
// cancelled removes the temporary file and leaves the old dump as it was; a crash leaves
// the chosen name either as it was or holding the whole new dump.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "flash/job_file.h"

// fsync, giving 0 or the errno of its failure.
int SyncError(int fd);

// fstatvfs: the bytes a user without the root reserve may still write on the file system
// holding `fd`, in `bytes`; gives 0 or the errno of its failure.
int FreeBytes(int fd, uint64_t& bytes);

// What a dump asks of the disk besides its writes: the two syncs a complete dump waits for
// (its data before the rename, its folder after) and the free space Open looks at. Apart
// so that a test can see the disk as it stands at each sync, fail them, or fill the disk.
struct DumpDisk {
  std::function<int(int fd)> data = SyncError;
  std::function<int(int fd)> folder = SyncError;
  std::function<int(int fd, uint64_t& bytes)> space = FreeBytes;
};

class DumpFile {
 public:
  explicit DumpFile(DumpDisk disk = {}) : disk_(std::move(disk)) {}
  DumpFile(const DumpFile&) = delete;
  DumpFile& operator=(const DumpFile&) = delete;
  // Removes the temporary file when the dump was not committed.
  ~DumpFile();

  // Opens for writing a dump of `size` bytes (0: not known). A symbolic link is followed
  // and the temporary file goes beside its target; the replacement gets the permission
  // bits, owner and group of the file it replaces: the owner and group where the process
  // may give them, and where it may not give the group, no access for the group at all.
  // Written in place instead: a device, a FIFO, and a writable file in a folder that takes
  // no new file. False, with Error() saying why, when nothing can be written there (no
  // such folder, a folder as the name, no permission, a loop of links: ELOOP, a link's
  // target that may have been cut: ENAMETOOLONG), and when the dump could not replace the
  // old one after the read:
  // - ENOSPC: the file system has fewer than `size` bytes free; the old dump's room is
  //   free only once the new one has replaced it. Not asked where the dump is written in
  //   place, nor where the free space cannot be learnt.
  // - EPERM: another user's dump in a folder with the sticky bit, which only the dump's
  //   owner, the folder's owner or root (CAP_FOWNER) may replace.
  bool Open(const std::string& path, uint64_t size = 0);
  // False when the data did not all reach the file (ENOSPC: the disk is full).
  bool Write(const uint8_t* data, size_t size);
  // Flushes and syncs the data, puts it in place under the chosen name and syncs the
  // folder. False when any step fails: before the rename, the temporary file is removed
  // and an old dump stays; a failed folder sync leaves the new dump under its name, but
  // whether it stays there through a power cut is in doubt. A folder that cannot be
  // opened or has no sync is no failure. Error() gives the errno of the step that failed.
  bool Commit();
  // The errno of the last failure of Open, Write or Commit; 0 when none has failed since
  // Open began.
  int Error() const { return error_; }

 private:
  bool OpenInPlace();
  void Discard();
  // Keeps `error` as the reason and gives false.
  bool Fail(int error);

  DumpDisk disk_;
  JobFile file_;
  std::string target_;     // where the dump ends up (the link's target for a link)
  std::string temporary_;  // empty when written in place
  int error_ = 0;
};
