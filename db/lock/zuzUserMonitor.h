// The lock file beside a database: who is connected, and the file the byte-range locks are taken
// in (zuzLockMgrUnit.h). It is created by the first program that opens the database shared and
// deleted by the last one that closes it.
//
//   offset            size   content
//   0                 4096   zero; byte 0 is the lock-file mutex (locked, never written);
//                            byte 1 is set to 1 in a file that is being deleted
//   4096 + 4096 k     4096   user slot k: computer name CR LF user name CR LF, zero-padded;
//                            a slot whose first byte is 0 is free
//   slot + 0x400000   4096   the slot's presence range, beyond the end of the file: every
//                            program connected under the slot holds a lock on one byte of it
//
// The file grows by whole slots and is refused above 0x3FFFFF bytes. One byte of the database
// file, at 8192 (the parent lock), is held while the lock file is created or deleted.
//
// Deleting a lock file that another program has just opened would leave that program registered
// in a file nobody else sees. So the last program marks the file (byte 1) and unlinks it while it
// still holds the mutex; a program that finds the mark after taking the mutex starts again and
// creates a new file. A mark still found after all the attempts was left by a program that
// stopped in between: it is cleared and the file used.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zuz {

class TZuzFileSystem;
class TZuzOSFile;

class TDBUserMonitor {
 public:
  static constexpr int64_t kSlotSize = 4096;
  static constexpr int64_t kFirstSlot = 4096;
  static constexpr int64_t kPresenceDistance = 0x400000;
  static constexpr int64_t kMaxFileSize = 0x3FFFFF;
  static constexpr int64_t kParentLockOffset = 8192;

  // The database file's handle carries the parent lock; both must outlive the monitor.
  TDBUserMonitor(TZuzFileSystem& fs, std::string lockFileName, TZuzOSFile* databaseFile);
  ~TDBUserMonitor();
  TDBUserMonitor(const TDBUserMonitor&) = delete;
  TDBUserMonitor& operator=(const TDBUserMonitor&) = delete;

  // Registers this program under the slot "computer CR LF user CR LF" (shared with other
  // programs of the same user and computer) and takes a presence byte. 10249 when the mutex or
  // the parent lock stays locked, 9486 when the file is too large.
  void Open(const std::string& userName, const std::string& computerName);
  // Gives up the presence byte, clears this program's slot and every stale slot (nobody holds a
  // byte of its presence range), and deletes the file when nobody is connected any more.
  // Never throws: what can't be cleaned up is left for the next program that closes.
  void Close();
  bool IsOpen() const { return handle_ != nullptr; }

  // The lock file handle (the lock managers lock in it), or null.
  TZuzOSFile* Handle() const { return handle_.get(); }
  const std::string& FileName() const { return fileName_; }
  const std::string& SlotText() const { return slotText_; }
  int64_t SlotOffset() const { return slotOffset_; }
  // The presence byte held, 0 when all 4096 were taken.
  int64_t PresenceAddress() const { return presence_; }
  // True when the last Close deleted the file.
  bool DeletedAtClose() const { return deletedAtClose_; }

  // The other programs connected, as "user on computer" joined by ", " (one entry per slot in
  // use by another program; this program's own slot only when another program shares it).
  // Empty when nobody else is connected or the mutex is busy (it is tried once).
  std::string OtherPrograms();

  // The attempts at the mutex and the parent lock (21, 100 ms apart).
  void SetLockFileAttempts(int attempts, int intervalMs);

 private:
  bool TryRange(int64_t offset, int64_t count, int attempts);
  void SetMutex();
  void SetParentLock();
  void ReleaseParentLock();
  void CreateLockFile();
  void RegisterSlot();
  std::string ReadSlotText(int64_t offset, bool* free);
  void WriteSlot(int64_t offset, const std::string& text);
  int64_t SlotCount();

  TZuzFileSystem& fs_;
  std::string fileName_;
  TZuzOSFile* databaseFile_;
  std::unique_ptr<TZuzOSFile> handle_;
  std::string slotText_;
  int64_t slotOffset_ = 0;
  int64_t presence_ = 0;
  bool deletedAtClose_ = false;
  int attempts_ = 21;
  int intervalMs_ = 100;
};

}  // namespace zuz
