#include "flash/job_file.h"

#include <sys/stat.h>

#include <cerrno>

JobFile OpenJobFile(const std::string& path, const char* mode) {
  JobFile file(std::fopen(path.c_str(), mode));
  if (!file)
    return file;
  struct stat st {};
  if (fstat(fileno(file.get()), &st) == 0 && S_ISDIR(st.st_mode)) {
    file.reset();
    errno = EISDIR;
  } else
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
  return file;
}

std::optional<uint64_t> RegularFileSize(std::FILE* file) {
  struct stat st {};
  if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode))
    return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

size_t ReadUpTo(std::FILE* file, uint8_t* buffer, size_t size) {
  return std::fread(buffer, 1, size, file);
}

bool CloseWritten(JobFile& file) {
  std::FILE* f = file.release();
  const bool flushed = std::fflush(f) == 0 && !std::ferror(f);
  return std::fclose(f) == 0 && flushed;
}
