#include "flash/dump_file.h"

#include <fcntl.h>
#include <limits.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
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

// The errno of a call that failed, EIO for one that did not say.
int ErrorOrEio() {
  return errno != 0 ? errno : EIO;
}

// The file a chain of symbolic links ends at, which need not exist yet. Nothing for a
// loop or a chain longer than open would follow (errno ELOOP): replacing one of its links
// with the dump would not be what opening the name does. Nothing either for a link whose
// target fills the buffer (ENAMETOOLONG): it cannot be told from one cut short, which
// would name another file. Only a target of PATH_MAX - 1 bytes, the most a link holds,
// fills it; beside such a name there is no room for the temporary file's anyway.
std::optional<std::string> FollowLinks(std::string path) {
  for (int links = 0;; ++links) {
    char target[PATH_MAX - 1];
    const ssize_t n = readlink(path.c_str(), target, sizeof target);
    if (n < 0)
      return path;
    if (links == kMaxLinks || n == static_cast<ssize_t>(sizeof target)) {
      errno = links == kMaxLinks ? ELOOP : ENAMETOOLONG;
      return std::nullopt;
    }
    const std::string next(target, static_cast<size_t>(n));
    path = next[0] == '/' ? next : FolderOf(path) + "/" + next;
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

// The replacement is readable and writable by whoever the old dump was; gives 0 or the
// errno of the failure. Only a privileged process may give a file away; for others it
// stays theirs, in the old dump's group where they belong to it. Elsewhere it is in the
// user's own group, to whom the old dump's group access does not pass. The set-ID and
// sticky bits are not carried over onto a flash image.
int KeepAccess(int fd, const struct stat& old) {
  mode_t mode = old.st_mode & 0777;
  if (fchown(fd, old.st_uid, old.st_gid) != 0) {
    if (errno != EPERM)
      return errno;
    if (fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
      if (errno != EPERM)
        return errno;
      mode &= ~static_cast<mode_t>(070);
    }
  }
  return fchmod(fd, mode) == 0 ? 0 : errno;
}

// Whether the process may act on files as if it owned them (CAP_FOWNER in its effective
// set): root as a rule, but not root that gave the capability up, nor root's effective
// user ID lent to an ordinary user.
bool ActsAsAnyOwner() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct sets[_LINUX_CAPABILITY_U32S_3] = {};
  return syscall(SYS_capget, &header, sets) == 0 &&
         (sets[CAP_FOWNER / 32].effective & (1u << (CAP_FOWNER % 32))) != 0;
}

// Why the temporary file `fd` in `folder` could not take the place of `old` (null for a
// new dump) of `size` bytes after the read, or 0. In a folder with the sticky bit only
// the owner of a file, the folder's owner and a process with CAP_FOWNER may rename over
// it (EPERM otherwise). The new dump needs all of its room while the old one still holds
// its own (ENOSPC).
int ReplaceRefusal(int fd, const std::string& folder, const struct stat* old, uint64_t size,
                   const DumpDisk& disk) {
  struct stat dir {};
  const uid_t user = geteuid();
  if (old != nullptr && stat(folder.c_str(), &dir) == 0 && (dir.st_mode & S_ISVTX) != 0 &&
      user != old->st_uid && user != dir.st_uid && !ActsAsAnyOwner())
    return EPERM;
  uint64_t room = 0;
  if (size > 0 && disk.space(fd, room) == 0 && room < size)
    return ENOSPC;
  return 0;
}

// EINVAL: this file or file system has no sync (a FIFO, /dev/null, some folders); there
// is nothing more to wait for. Any other answer is a failure, EROFS too, which the fsync
// manual names beside EINVAL for such files: Linux answers EINVAL for them, and a disk
// that turned read-only may not have kept the dump.
bool Synced(int error) {
  return error == 0 || error == EINVAL;
}

}  // namespace

int SyncError(int fd) {
  return fsync(fd) == 0 ? 0 : errno;
}

int FreeBytes(int fd, uint64_t& bytes) {
  struct statvfs vfs {};
  if (fstatvfs(fd, &vfs) != 0)
    return errno;
  bytes = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  return 0;
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

bool DumpFile::Fail(int error) {
  error_ = error;
  return false;
}

bool DumpFile::OpenInPlace() {
  errno = 0;
  file_ = OpenJobFile(target_, "wb");
  return file_ != nullptr || Fail(ErrorOrEio());
}

bool DumpFile::Open(const std::string& path, uint64_t size) {
  error_ = 0;
  const std::optional<std::string> target = FollowLinks(path);
  if (!target)
    return Fail(errno);
  target_ = *target;
  struct stat st {};
  const bool exists = stat(target_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode))
    return Fail(EISDIR);
  // A device or FIFO cannot be replaced, and holds no dump to protect.
  if (exists && !S_ISREG(st.st_mode))
    return OpenInPlace();
  // An existing dump the user may not overwrite stays protected, as opening it would.
  if (exists && access(target_.c_str(), W_OK) != 0)
    return Fail(errno);
  // Private until it has the old dump's access; a new dump gets that of any new file.
  const int fd = CreateTemporary(target_, exists ? 0600 : 0666, temporary_);
  if (fd < 0) {
    const int error = errno;
    temporary_.clear();
    // The folder takes no new file, but the user may write this one: it is overwritten as
    // opening it would, with no way left to keep the old dump if the read fails.
    return exists && error == EACCES ? OpenInPlace() : Fail(error);
  }
  // Refused now rather than when the rename fails after the whole read.
  int error = ReplaceRefusal(fd, FolderOf(target_), exists ? &st : nullptr, size, disk_);
  if (error == 0 && exists)
    error = KeepAccess(fd, st);
  if (error == 0)
    file_.reset(fdopen(fd, "wb"));
  if (!file_) {
    error = error != 0 ? error : errno;
    close(fd);
    Discard();
    return Fail(error);
  }
  // Whole blocks go straight to the file: one system call each, no copy.
  std::setvbuf(file_.get(), nullptr, _IONBF, 0);
  return true;
}

bool DumpFile::Write(const uint8_t* data, size_t size) {
  errno = 0;
  return std::fwrite(data, 1, size, file_.get()) == size || Fail(ErrorOrEio());
}

bool DumpFile::Commit() {
  std::FILE* f = file_.get();
  errno = 0;
  int error = std::fflush(f) == 0 && !std::ferror(f) ? disk_.data(fileno(f)) : ErrorOrEio();
  error = Synced(error) ? 0 : error;
  errno = 0;
  if (!CloseWritten(file_) && error == 0)
    error = ErrorOrEio();
  if (temporary_.empty())
    return error == 0 || Fail(error);
  if (error == 0 && std::rename(temporary_.c_str(), target_.c_str()) != 0)
    error = errno;
  if (error != 0) {
    Discard();
    return Fail(error);
  }
  temporary_.clear();
  // The rename lasts through a power cut only once the folder is synced. A folder the user
  // may not open leaves no way to ask for that, and is no error; a failed sync is: the
  // dump is in place, but an erase must not rely on it.
  const int folder = open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0)
    return true;
  error = disk_.folder(folder);
  close(folder);
  return Synced(error) || Fail(error);
}
