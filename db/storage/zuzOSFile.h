// The operating-system file interface: every byte the engine reads from or writes to a file, and
// every byte-range lock it takes, passes through these two classes. Implementations: POSIX
// (zuzPosixFile.h), in memory (zuzMemoryFile.h) and fault-injecting (zuzFaultFile.h).
//
// Share modes. An exclusive open denies every other open of the same file, and any open fails
// while an exclusive opener holds the file. Implementations stand for this with a lock held for
// the life of the handle on a sentinel byte range far beyond any offset the engine uses:
//
//   [kShareSentinelOffset, +kShareSentinelLength)  shared by every opener, exclusive for an
//                                                  exclusive opener
//
// Byte-range locks (LockRange) are exclusive, belong to the handle that took them, may lie
// beyond the end of the file and vanish when the handle is closed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zuz {

enum class TZuzAccess { ReadOnly, ReadWrite };
enum class TZuzShare { DenyNone, Exclusive };
enum class TZuzCreate {
  OpenExisting,  // fail when the file does not exist
  CreateAlways,  // create or truncate
  CreateNew,     // fail when the file exists
};

// Far beyond the 2 GiB database files and the offsets locked in the lock file.
constexpr int64_t kShareSentinelOffset = int64_t{1} << 60;
constexpr int64_t kShareSentinelLength = 16;

// One open file. Offsets are absolute; there is no file position.
class TZuzOSFile {
 public:
  virtual ~TZuzOSFile() = default;

  // Reads up to n bytes at offset; returns the number read (short only at end of file) or -1.
  virtual int64_t ReadAt(int64_t offset, void* buffer, int64_t n) = 0;
  // Writes n bytes at offset, growing the file as needed; returns the number written or -1.
  virtual int64_t WriteAt(int64_t offset, const void* buffer, int64_t n) = 0;
  virtual bool Truncate(int64_t size) = 0;
  // Makes what was written durable (its data and what is needed to read it back).
  virtual bool Sync() = 0;
  // The file's size in bytes, or -1.
  virtual int64_t Size() = 0;
  // Takes an exclusive lock on [offset, offset + length) without waiting; false when any other
  // handle holds a byte of it.
  virtual bool LockRange(int64_t offset, int64_t length) = 0;
  // Releases a range this handle locked earlier.
  virtual bool UnlockRange(int64_t offset, int64_t length) = 0;
  // Whether LockRange on the range would succeed now, without taking it (by default it is
  // taken and given back; implementations ask in one call).
  virtual bool RangeFree(int64_t offset, int64_t length) {
    if (!LockRange(offset, length)) return false;
    (void)UnlockRange(offset, length);
    return true;
  }
  // Text describing the last failure of this handle ("" when none).
  virtual std::string LastErrorText() const = 0;
  // Whether the last failure was for want of space (the disk, or the user's quota, is full).
  virtual bool DiskFull() const { return false; }
};

// The text of a failed write of the file: what failed, and why when the disk is full.
inline std::string WriteFailureText(const TZuzOSFile& file, const std::string& what) {
  return file.DiskFull() ? what + ": the disk is full" : what;
}

// The file system the files are opened in.
class TZuzFileSystem {
 public:
  virtual ~TZuzFileSystem() = default;

  // Opens or creates the file; on failure returns null and sets *error to the system's text.
  virtual std::unique_ptr<TZuzOSFile> Open(const std::string& path, TZuzAccess access,
                                           TZuzShare share, TZuzCreate create,
                                           std::string* error) = 0;
  virtual bool Exists(const std::string& path) = 0;
  // True when the file carries the read-only attribute (no write permission).
  virtual bool IsReadOnly(const std::string& path) = 0;
  virtual bool Delete(const std::string& path, std::string* error) = 0;
  // Makes the creation or deletion of files in the folder holding the path durable.
  virtual bool SyncFolder(const std::string& path) = 0;
};

}  // namespace zuz
