#include "flash/dump_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <random>

namespace {

// As many links as the kernel follows in one path before it gives ELOOP.
constexpr int kMaxLinks = 40;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a chain of symbolic links ends at, which need not exist yet. Nothing for a
// loop or a chain longer than open would follow: replacing one of its links with the dump
// would not be what opening the name does.
std::optional<std::string> FollowLinks(std::string path) {
  for (int links = 0;; ++links) {
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n < 0)
      return path;
    if (links == kMaxLinks)
      return std::nullopt;
    target[n] = '\0';
    path = target[0] == '/' ? std::string(target) : FolderOf(path) + "/" + target;
  }
}

// A new file that no one else has, created with `mode` (the umask applies). Its name,
// ".NAME.part-XXXXXX", is cut to what the folder takes: a long NAME is shortened.
int CreateTemporary(const std::string& target, mode_t mode, std::string& name) {
  const std::string folder = FolderOf(target);
  const size_t slash = target.rfind('/');
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  static constexpr char kSuffix[] = ".part-";
  static constexpr size_t kFixed = 1 + (sizeof kSuffix - 1) + 6;  // the dot, suffix, digits
  const long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
  const size_t longest = limit > 0 ? static_cast<size_t>(limit) : NAME_MAX;
  if (base.size() + kFixed > longest)
    base.resize(longest > kFixed ? longest - kFixed : 0);
  const std::string prefix = folder + "/." + base + kSuffix;
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::random_device seed;
  std::minstd_rand random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = prefix;
    for (int i = 0; i < 6; ++i) name += kDigits[random() % (sizeof kDigits - 1)];
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST)
      return fd;
  }
  return -1;
}

// The replacement is readable and writable by whoever the old dump was. Only a privileged
// process may give a file away; for others it stays theirs. The set-ID and sticky bits
// are not carried over onto a flash image.
bool KeepAccess(int fd, const struct stat& old) {
  if (fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM)
    return false;
  return fchmod(fd, old.st_mode & 0777) == 0;
}

// EINVAL: this file or file system has no sync (a FIFO, /dev/null, some folders); there
// is nothing more to wait for.
bool Synced(int error) {
  return error == 0 || error == EINVAL;
}

}  // namespace

int SyncError(int fd) {
  return fsync(fd) == 0 ? 0 : errno;
}

DumpFile::~DumpFile() {
  Discard();
}

void DumpFile::Discard() {
  file_.reset();
  if (!temporary_.empty())
    unlink(temporary_.c_str());
  temporary_.clear();
}

bool DumpFile::OpenInPlace() {
  file_ = OpenJobFile(target_, "wb");
  return file_ != nullptr;
}

bool DumpFile::Open(const std::string& path) {
  const std::optional<std::string> target = FollowLinks(path);
  if (!target)
    return false;
  target_ = *target;
  struct stat st {};
  const bool exists = stat(target_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode))
    return false;
  // A device or FIFO cannot be replaced, and holds no dump to protect.
  if (exists && !S_ISREG(st.st_mode))
    return OpenInPlace();
  // An existing dump the user may not overwrite stays protected, as opening it would.
  if (exists && access(target_.c_str(), W_OK) != 0)
    return false;
  // Private until it has the old dump's access; a new dump gets that of any new file.
  const int fd = CreateTemporary(target_, exists ? 0600 : 0666, temporary_);
  if (fd < 0) {
    const int error = errno;
    temporary_.clear();
    // The folder takes no new file, but the user may write this one: it is overwritten as
    // opening it would, with no way left to keep the old dump if the read fails.
    return exists && error == EACCES && OpenInPlace();
  }
  file_.reset(exists && !KeepAccess(fd, st) ? nullptr : fdopen(fd, "wb"));
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
  bool ok = std::fflush(f) == 0 && !std::ferror(f) && Synced(syncs_.data(fileno(f)));
  ok = CloseWritten(file_) && ok;
  if (temporary_.empty())
    return ok;
  if (!ok || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    Discard();
    return false;
  }
  temporary_.clear();
  // The rename lasts through a power cut only once the folder is synced. A folder the user
  // may not open leaves no way to ask for that, and is no error; a failed sync is: the
  // dump is in place, but an erase must not rely on it.
  const int folder = open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0)
    return true;
  const int error = syncs_.folder(folder);
  close(folder);
  return Synced(error);
}
