// Byte-range lock managers. A database opens three of them on its lock file; each turns lock ids
// into byte ranges of one region family:
//
//   manager        base        region   a lock of id n covers
//   tables         0x800000    8192     base + n x 8192 .. + 8192 (id 0 is the header lock)
//   transactions   0x1FFE000   1        base + n
//   records        0x2000000   1        base + n (n = the record's address)
//
// A read lock holds one byte of the region, chosen at random, so that any number of readers
// can hold the region together; a write lock holds the whole region, so it is granted only when
// no other handle holds any byte of it. Upgrading a read lock on byte r of [b, b + size) takes
// [b, r) and [r + 1, b + size) as two more parts. Locks belong to the lock file handle and end
// with it. With a gate every attempt passes it first, and a failed one makes the program a waiting
// writer there, so that waiting programs take turns (zuzWriterGate.h). Every attempt that fails
// waits the retry interval; after the last one (or, with a wait
// limit, once the limit has passed) the request fails with 10249 and the manager's text, followed
// by the programs the lock file names as connected when a describer is set.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace zuz {

class TZuzOSFile;
class TWriterGate;

// One locked byte range of a lock id.
struct TLockItem {
  uint32_t id = 0;
  int64_t address = 0;
  int type = 0;  // 1 read, 4 write
  int64_t size = 0;
};

// The locks a manager holds; an id may own several parts (an upgraded read lock has three).
class TLockCollection {
 public:
  void Add(const TLockItem& item) { items_.push_back(item); }
  // The parts of the id, in the order they were taken.
  std::vector<TLockItem> Parts(uint32_t id) const;
  // Removes and returns the parts of the id.
  std::vector<TLockItem> Take(uint32_t id);
  // The strongest type held for the id: 0 none, 1 read, 4 write.
  int TypeOf(uint32_t id) const;
  void SetType(uint32_t id, int type);
  std::vector<uint32_t> Ids() const;
  const std::vector<TLockItem>& Items() const { return items_; }
  void Clear() { items_.clear(); }
  bool Empty() const { return items_.empty(); }

 private:
  std::vector<TLockItem> items_;
};

class TBaseLockMgr {
 public:
  // REQUIRES: regionSize > 0 and retryCount > 0 (8581 otherwise).
  TBaseLockMgr(int64_t base, int64_t regionSize, int retryCount, int retryIntervalMs,
               std::string readFailText, std::string writeFailText, uint64_t seed);
  virtual ~TBaseLockMgr() = default;
  TBaseLockMgr(const TBaseLockMgr&) = delete;
  TBaseLockMgr& operator=(const TBaseLockMgr&) = delete;

  // One random byte of the id's region (size 0 means 1); returns the type now held. A read or
  // write lock already held is kept. 10249 with the read text after the retries.
  int SetReadLock(uint32_t id, int64_t size = 0);
  // The region from its start (size 0: the whole region); a read lock held is upgraded.
  // 10249 with the write text after the retries.
  int SetWriteLock(uint32_t id, int64_t size = 0);
  // REQUIRES: a read lock on the id (8581 "No existing read lock can not be found").
  // Takes the rest of the region; when the second part can't be had the first is given back.
  void UpgradeReadLockToWriteLock(uint32_t id);
  // Releases every part of the id.
  void Unlock(uint32_t id);
  void ReleaseAll();
  // The bytes [from, to) that span every lock held; false when none is held.
  bool HeldSpan(int64_t& from, int64_t& to) const;
  // Forgets every lock held without unlocking it (its bytes were unlocked together with others').
  void ForgetAll() { locks_.Clear(); }
  // Turns every lock held into a write lock; stops at the first that can't be had (10249).
  void UpgradeAll();
  int LockType(uint32_t id) const { return locks_.TypeOf(id); }

  // The first byte of the id's region: base + id x region size, or base + id for 1-byte regions.
  int64_t AddressOf(uint32_t id) const;
  int64_t Base() const { return base_; }
  int64_t RegionSize() const { return regionSize_; }
  int RetryCount() const { return retryCount_; }
  int RetryInterval() const { return retryInterval_; }
  const TLockCollection& Locks() const { return locks_; }

  // Called while a request waits: with the milliseconds waited so far about every 100-200 ms,
  // and with -1 once the wait ends. A limit above 0 replaces the retry count: attempts go on,
  // the retry interval apart, until the limit has passed.
  void SetWait(std::function<void(int waitedMs)> observer, int limitMs) {
    observer_ = std::move(observer);
    waitLimitMs_ = limitMs;
  }
  // Names the other programs using the file, for the text of a request that gave up (empty when
  // unknown).
  void SetDescriber(std::function<std::string()> describer) { describer_ = std::move(describer); }
  // The pending-writer gate every attempt passes (zuzWriterGate.h); null: none. It must outlive
  // the manager.
  void SetGate(TWriterGate* gate) { gate_ = gate; }

 protected:
  // The platform steps: lock bytes without waiting (false when any other handle holds one), and
  // unlock bytes this handle locked.
  virtual bool LockBytes(int64_t offset, int64_t count) = 0;
  virtual void UnlockBytes(int64_t offset, int64_t count) = 0;
  // False when the handle itself has failed (a failed attempt then is no conflict to wait out).
  virtual bool HandleUsable() = 0;

 private:
  // Tries up to the retry count, waiting the interval after each failed attempt but the last.
  // pick chooses the offset of each attempt.
  template <typename Pick>
  bool LockWithRetries(Pick pick, int64_t count, int64_t* lockedAt);
  // Sleeps the milliseconds in slices, telling the observer how long the request has waited.
  void Pause(int milliseconds);
  [[noreturn]] void Fail(const char* caller, const std::string& text);
  void CheckRequest(uint32_t id, int64_t size, const char* caller) const;

  int64_t base_;
  int64_t regionSize_;
  int retryCount_;
  int retryInterval_;
  std::string readFailText_;
  std::string writeFailText_;
  std::mt19937_64 random_;
  TLockCollection locks_;
  std::function<void(int)> observer_;
  int waitLimitMs_ = 0;
  std::function<std::string()> describer_;
  TWriterGate* gate_ = nullptr;
  // The wait under way: its start (steady clock, ms), and the last report to the observer.
  int64_t waitStartMs_ = 0;
  int64_t lastReportMs_ = 0;
};

// The lock manager on a file of the operating-system interface (open-file-description locks on
// Linux: they belong to the handle, so two handles of one process exclude each other as two
// programs do, and closing another descriptor of the file leaves them in place).
class TLinuxLockMgr : public TBaseLockMgr {
 public:
  // REQUIRES: file is not null (8581 "File handle is not set"); it must outlive the manager.
  TLinuxLockMgr(TZuzOSFile* file, int64_t base, int64_t regionSize, int retryCount,
                int retryIntervalMs, std::string readFailText, std::string writeFailText,
                uint64_t seed);

  // Unlocks the bytes [from, to) of its file, whichever manager's locks lie there.
  void UnlockSpan(int64_t from, int64_t to) { UnlockBytes(from, to - from); }

 protected:
  bool LockBytes(int64_t offset, int64_t count) override;
  void UnlockBytes(int64_t offset, int64_t count) override;
  bool HandleUsable() override;

 private:
  TZuzOSFile* file_;
};

// Waits the milliseconds (the one place the engine sleeps).
void LockSleep(int milliseconds);

}  // namespace zuz
