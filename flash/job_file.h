// Files the jobs read and write: closed on every path, directories refused.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f != nullptr)
      std::fclose(f);
  }
};
using JobFile = std::unique_ptr<std::FILE, FileCloser>;

// fopen with `mode`; null, errno telling why, when it fails or the path names a directory (which
// "rb" would open on Linux and then fail every read). Unbuffered: the jobs move whole 32 KiB
// blocks, each then one system call rather than split at the edge of a 4 KiB stdio buffer.
JobFile OpenJobFile(const std::string& path, const char* mode);

// Size of a regular file; nothing for pipes, devices and the like.
std::optional<uint64_t> RegularFileSize(std::FILE* file);

// Reads up to `size` bytes; the count read (less at the end of the file or on an error).
size_t ReadUpTo(std::FILE* file, uint8_t* buffer, size_t size);

// Flushes and closes a file that was written; false when data did not reach the disk.
bool CloseWritten(JobFile& file);
