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

// The two syncs a complete dump waits for: its data before the rename, its folder after.
// Apart so that a test can see the disk as it stands at each, and fail them.
struct DumpSyncs {
  std::function<int(int fd)> data = SyncError;
  std::function<int(int fd)> folder = SyncError;
};

class DumpFile {
 public:
  explicit DumpFile(DumpSyncs syncs = {}) : syncs_(std::move(syncs)) {}
  DumpFile(const DumpFile&) = delete;
  DumpFile& operator=(const DumpFile&) = delete;
  // Removes the temporary file when the dump was not committed.
  ~DumpFile();

  // Opens for writing. A symbolic link is followed and the temporary file goes beside its
  // target; the replacement gets the permission bits, owner and group of the file it
  // replaces (the owner and group where the process may give them). Written in place
  // instead: a device, a FIFO, and a writable file in a folder that takes no new file.
  // False when nothing can be written there (no such folder, a folder as the name, no
  // permission, a loop of links).
  bool Open(const std::string& path);
  // False when the data did not all reach the file.
  bool Write(const uint8_t* data, size_t size);
  // Flushes and syncs the data, puts it in place under the chosen name and syncs the
  // folder. False when any step fails: before the rename, the temporary file is removed
  // and an old dump stays; a failed folder sync leaves the new dump under its name, but
  // whether it stays there through a power cut is in doubt. A folder that cannot be
  // opened or has no sync is no failure.
  bool Commit();

 private:
  bool OpenInPlace();
  void Discard();

  DumpSyncs syncs_;
  JobFile file_;
  std::string target_;     // where the dump ends up (the link's target for a link)
  std::string temporary_;  // empty when written in place
};
