#include "db/storage/zuzPosixFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zuz {

namespace {

constexpr const char* kSharingViolation =
    "The process cannot access the file because it is being used by another process";

// Sets (type F_RDLCK / F_WRLCK) or clears (F_UNLCK) an open-file-description lock.
bool OfdLock(int fd, short type, int64_t offset, int64_t length) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;
  for (;;) {
    if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return true;
    if (errno != EINTR) return false;
  }
}

class TPosixFile : public TZuzOSFile {
 public:
  TPosixFile(int fd, bool writable, bool canWriteLock)
      : fd_(fd), writable_(writable), canWriteLock_(canWriteLock) {}
  ~TPosixFile() override { ::close(fd_); }

  int64_t ReadAt(int64_t offset, void* buffer, int64_t n) override {
    if (offset < 0 || n < 0) return Fail(EINVAL);
    int64_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < n) {
      ssize_t r = ::pread(fd_, out + done, static_cast<size_t>(n - done), offset + done);
      if (r < 0) {
        if (errno == EINTR) continue;
        return Fail(errno);
      }
      if (r == 0) break;
      done += r;
    }
    return done;
  }

  int64_t WriteAt(int64_t offset, const void* buffer, int64_t n) override {
    if (!writable_) return Fail(EBADF);
    if (offset < 0 || n < 0) return Fail(EINVAL);
    int64_t done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < n) {
      ssize_t r = ::pwrite(fd_, in + done, static_cast<size_t>(n - done), offset + done);
      if (r < 0) {
        if (errno == EINTR) continue;
        return Fail(errno);
      }
      if (r == 0) break;
      done += r;
    }
    return done;
  }

  bool Truncate(int64_t size) override {
    if (!writable_) return Fail(EBADF) >= 0;
    if (::ftruncate(fd_, static_cast<off_t>(size)) == 0) return true;
    return Fail(errno) >= 0;
  }

  bool Sync() override {
    if (::fdatasync(fd_) == 0) return true;
    return Fail(errno) >= 0;
  }

  int64_t Size() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return Fail(errno);
    return st.st_size;
  }

  // A handle opened for reading only (the file system refused write access) cannot hold an
  // exclusive lock; it takes a shared one, which still keeps writers out.
  bool LockRange(int64_t offset, int64_t length) override {
    if (OfdLock(fd_, canWriteLock_ ? F_WRLCK : F_RDLCK, offset, length)) return true;
    return Fail(errno) >= 0;
  }

  bool UnlockRange(int64_t offset, int64_t length) override {
    if (OfdLock(fd_, F_UNLCK, offset, length)) return true;
    return Fail(errno) >= 0;
  }

  bool RangeFree(int64_t offset, int64_t length) override {
    struct flock fl {};
    fl.l_type = canWriteLock_ ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    fl.l_pid = 0;
    for (;;) {
      if (fcntl(fd_, F_OFD_GETLK, &fl) == 0) return fl.l_type == F_UNLCK;
      if (errno != EINTR) return Fail(errno) >= 0;
    }
  }

  std::string LastErrorText() const override { return lastError_; }
  bool DiskFull() const override { return diskFull_; }

 private:
  int64_t Fail(int err) {
    lastError_ = std::strerror(err);
    diskFull_ = err == ENOSPC || err == EDQUOT;
    return -1;
  }

  int fd_;
  bool writable_;
  bool canWriteLock_;
  std::string lastError_;
  bool diskFull_ = false;
};

}  // namespace

TPosixFileSystem& TPosixFileSystem::Instance() {
  static TPosixFileSystem fs;
  return fs;
}

std::unique_ptr<TZuzOSFile> TPosixFileSystem::Open(const std::string& path, TZuzAccess access,
                                                   TZuzShare share, TZuzCreate create,
                                                   std::string* error) {
  int flags = O_CLOEXEC;
  // CreateAlways truncates only after the share check below, never under another opener.
  if (create == TZuzCreate::CreateAlways) flags |= O_CREAT;
  if (create == TZuzCreate::CreateNew) flags |= O_CREAT | O_EXCL;
  bool wantWrite = access == TZuzAccess::ReadWrite || create != TZuzCreate::OpenExisting;
  // A read-only open still asks for write access when the file system grants it, so that its
  // byte-range locks can be exclusive; writes through it are refused all the same.
  int fd = ::open(path.c_str(), flags | O_RDWR, 0644);
  bool canWriteLock = fd >= 0;
  if (fd < 0 && !wantWrite && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    fd = ::open(path.c_str(), flags | O_RDONLY, 0644);
  }
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return nullptr;
  }
  // The share mode: every opener holds the sentinel shared, an exclusive opener exclusively.
  short type = (share == TZuzShare::Exclusive && canWriteLock) ? F_WRLCK : F_RDLCK;
  if (!OfdLock(fd, type, kShareSentinelOffset, kShareSentinelLength)) {
    int err = errno;
    ::close(fd);
    if (error) *error = (err == EAGAIN || err == EACCES) ? kSharingViolation : std::strerror(err);
    return nullptr;
  }
  if (create == TZuzCreate::CreateAlways && ::ftruncate(fd, 0) != 0) {
    if (error) *error = std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<TPosixFile>(fd, wantWrite, canWriteLock);
}

bool TPosixFileSystem::Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool TPosixFileSystem::IsReadOnly(const std::string& path) {
  // The owner's write permission stands for the read-only attribute (root ignores permissions,
  // so asking access() would never see it).
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

bool TPosixFileSystem::Delete(const std::string& path, std::string* error) {
  if (::unlink(path.c_str()) == 0) return true;
  if (error) *error = std::strerror(errno);
  return false;
}

bool TPosixFileSystem::SyncFolder(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string(".")
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace zuz
