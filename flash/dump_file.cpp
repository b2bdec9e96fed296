#include "flash/dump_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a chain of symbolic links ends at, which need not exist yet.
std::string FollowLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n < 0)
      return path;
    target[n] = '\0';
    path = target[0] == '/' ? std::string(target) : FolderOf(path) + "/" + target;
  }
  return path;
}

// A new file that no one else has, with the permissions any new file of the user gets.
int CreateTemporary(const std::string& target, std::string& name) {
  const size_t slash = target.rfind('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  const std::string prefix = FolderOf(target) + "/." + base + ".part-";
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::random_device seed;
  std::minstd_rand random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = prefix;
    for (int i = 0; i < 6; ++i) name += kDigits[random() % (sizeof kDigits - 1)];
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST)
      return fd;
  }
  return -1;
}

bool SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return false;
  const bool synced = fsync(fd) == 0;
  return close(fd) == 0 && synced;
}

}  // namespace

DumpFile::~DumpFile() {
  Discard();
}

void DumpFile::Discard() {
  file_.reset();
  if (!temporary_.empty())
    unlink(temporary_.c_str());
  temporary_.clear();
}

bool DumpFile::Open(const std::string& path) {
  target_ = FollowLinks(path);
  struct stat st {};
  const bool exists = stat(target_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode))
    return false;
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or FIFO cannot be replaced, and holds no dump to protect.
    file_ = OpenJobFile(target_, "wb");
    return file_ != nullptr;
  }
  // An existing dump the user may not overwrite stays protected, as opening it would.
  if (exists && access(target_.c_str(), W_OK) != 0)
    return false;
  const int fd = CreateTemporary(target_, temporary_);
  if (fd < 0) {
    temporary_.clear();
    return false;
  }
  file_.reset(fdopen(fd, "wb"));
  if (!file_) {
    close(fd);
    Discard();
    return false;
  }
  // Whole blocks go straight to the file: one system call each, no copy.
  std::setvbuf(file_.get(), nullptr, _IONBF, 0);
  return true;
}

bool DumpFile::Write(const uint8_t* data, size_t size) {
  return std::fwrite(data, 1, size, file_.get()) == size;
}

bool DumpFile::Commit() {
  std::FILE* f = file_.get();
  bool ok = std::fflush(f) == 0 && !std::ferror(f);
  if (temporary_.empty())
    return CloseWritten(file_) && ok;
  ok = ok && fsync(fileno(f)) == 0;
  ok = CloseWritten(file_) && ok;
  ok = ok && std::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!ok) {
    Discard();
    return false;
  }
  temporary_.clear();
  return SyncFolder(FolderOf(target_));
}
