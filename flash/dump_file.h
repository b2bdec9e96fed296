// The file a read job dumps the flash into. An existing dump of that name is replaced
// only by a complete one: the blocks go to a temporary file beside it, which is flushed,
// synced and renamed over the chosen name after the last block. A job that fails or is
// cancelled removes the temporary file and leaves the old dump as it was; a crash leaves
// the chosen name either as it was or holding the whole new dump.
#pragma once

#include <cstdint>
#include <string>

#include "flash/job_file.h"

class DumpFile {
 public:
  DumpFile() = default;
  DumpFile(const DumpFile&) = delete;
  DumpFile& operator=(const DumpFile&) = delete;
  // Removes the temporary file when the dump was not committed.
  ~DumpFile();

  // Opens for writing. A path that names an existing device, FIFO or the like is written
  // in place; a symbolic link is followed and the temporary file goes beside its target.
  // False when nothing can be written there (no such folder, a folder as the name, no
  // permission).
  bool Open(const std::string& path);
  // False when the data did not all reach the file.
  bool Write(const uint8_t* data, size_t size);
  // Flushes and syncs the data, puts it in place under the chosen name and syncs the
  // folder. False when any step fails; the temporary file is then removed.
  bool Commit();

 private:
  void Discard();

  JobFile file_;
  std::string target_;     // where the dump ends up (the link's target for a link)
  std::string temporary_;  // empty when written in place
};
