#include "db/lock/zuzLockMgrUnit.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

#include "db/lock/zuzWriterGate.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzLockProvider.h"
#include "db/storage/zuzOSFile.h"

namespace zuz {

namespace {
constexpr const char* kObject = "TBaseLockMgr";
// The longest sleep between two reports to a wait observer.
constexpr int kReportSliceMs = 150;
constexpr int kReportEveryMs = 100;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

void LockSleep(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::vector<TLockItem> TLockCollection::Parts(uint32_t id) const {
  std::vector<TLockItem> out;
  for (const auto& item : items_)
    if (item.id == id) out.push_back(item);
  return out;
}

std::vector<TLockItem> TLockCollection::Take(uint32_t id) {
  std::vector<TLockItem> out = Parts(id);
  items_.erase(std::remove_if(items_.begin(), items_.end(),
                              [id](const TLockItem& item) { return item.id == id; }),
               items_.end());
  return out;
}

int TLockCollection::TypeOf(uint32_t id) const {
  int type = ltNone;
  for (const auto& item : items_)
    if (item.id == id) type = std::max(type, item.type);
  return type;
}

void TLockCollection::SetType(uint32_t id, int type) {
  for (auto& item : items_)
    if (item.id == id) item.type = type;
}

std::vector<uint32_t> TLockCollection::Ids() const {
  std::vector<uint32_t> ids;
  for (const auto& item : items_)
    if (std::find(ids.begin(), ids.end(), item.id) == ids.end()) ids.push_back(item.id);
  return ids;
}

TBaseLockMgr::TBaseLockMgr(int64_t base, int64_t regionSize, int retryCount, int retryIntervalMs,
                           std::string readFailText, std::string writeFailText, uint64_t seed)
    : base_(base),
      regionSize_(regionSize),
      retryCount_(retryCount),
      retryInterval_(std::max(0, retryIntervalMs)),
      readFailText_(std::move(readFailText)),
      writeFailText_(std::move(writeFailText)),
      random_(seed) {
  if (regionSize_ <= 0) ZuzInternalError("TBaseLockMgr.Create", "Lock region size is 0");
  if (retryCount_ <= 0) ZuzInternalError("TBaseLockMgr.Create", "LockSize is invalid");
}

int64_t TBaseLockMgr::AddressOf(uint32_t id) const {
  return regionSize_ < 2 ? base_ + id : base_ + int64_t{id} * regionSize_;
}

void TBaseLockMgr::CheckRequest(uint32_t id, int64_t size, const char* caller) const {
  if (size < 0 || size > regionSize_) ZuzInternalError(caller, "Lock Request size is out of range");
  if (AddressOf(id) < 0) ZuzInternalError(caller, "Lock Request address is out of range");
}

void TBaseLockMgr::Fail(const char* caller, const std::string& text) {
  std::string message = text;
  const std::string others = describer_ ? describer_() : std::string();
  if (!others.empty()) message += "; the plan is in use by " + others;
  ZuzDatabaseError(ZUZ_ERR_LOCK_TIMEOUT, caller, message, kObject);
}

void TBaseLockMgr::Pause(int milliseconds) {
  if (!observer_) {
    LockSleep(milliseconds);
    return;
  }
  while (milliseconds > 0) {
    const int slice = std::min(milliseconds, kReportSliceMs);
    LockSleep(slice);
    milliseconds -= slice;
    const int64_t now = NowMs();
    if (now - lastReportMs_ >= kReportEveryMs) {
      lastReportMs_ = now;
      observer_(static_cast<int>(now - waitStartMs_));
    }
  }
}

template <typename Pick>
bool TBaseLockMgr::LockWithRetries(Pick pick, int64_t count, int64_t* lockedAt) {
  bool waited = false;
  auto endWait = [&](bool taken) {
    if (gate_) gate_->DoneWaiting();
    if (waited && observer_) observer_(-1);
    return taken;
  };
  for (int attempt = 0;; ++attempt) {
    const int64_t offset = pick();
    const bool passed = !gate_ || gate_->Enter();
    const bool locked = passed && LockBytes(offset, count);
    if (passed && gate_) gate_->Leave();
    if (locked) {
      *lockedAt = offset;
      return endWait(true);
    }
    // A handle that can no longer be used fails every attempt alike: no other program to wait
    // for.
    if (!HandleUsable()) return endWait(false);
    if (gate_) gate_->Waiting();
    if (!waited) {
      waited = true;
      waitStartMs_ = lastReportMs_ = NowMs();
    }
    int pause = retryInterval_;
    if (waitLimitMs_ > 0) {
      const int64_t left = waitLimitMs_ - (NowMs() - waitStartMs_);
      if (left <= 0) return endWait(false);
      pause = static_cast<int>(std::min<int64_t>(std::max(pause, 1), left));
    } else if (attempt + 1 >= retryCount_) {
      return endWait(false);
    }
    Pause(pause);
  }
}

int TBaseLockMgr::SetReadLock(uint32_t id, int64_t size) {
  const char* caller = "TBaseLockMgr.SetReadLock";
  if (int held = locks_.TypeOf(id); held != ltNone) return held;
  if (size == 0) size = 1;
  CheckRequest(id, size, caller);
  const int64_t start = AddressOf(id);
  const int64_t choices = regionSize_ - size + 1;
  auto pick = [&] {
    if (choices <= 1) return start;
    return start + static_cast<int64_t>(random_() % static_cast<uint64_t>(choices));
  };
  int64_t at = 0;
  if (!LockWithRetries(pick, size, &at)) Fail(caller, readFailText_);
  locks_.Add({id, at, ltRead, size});
  return ltRead;
}

int TBaseLockMgr::SetWriteLock(uint32_t id, int64_t size) {
  const char* caller = "TBaseLockMgr.SetWriteLock";
  const int held = locks_.TypeOf(id);
  if (held == ltWrite) return ltWrite;
  if (held == ltRead) {
    UpgradeReadLockToWriteLock(id);
    return ltWrite;
  }
  if (size == 0) size = regionSize_;
  CheckRequest(id, size, caller);
  const int64_t start = AddressOf(id);
  int64_t at = 0;
  if (!LockWithRetries([&] { return start; }, size, &at)) Fail(caller, writeFailText_);
  locks_.Add({id, start, ltWrite, size});
  return ltWrite;
}

void TBaseLockMgr::UpgradeReadLockToWriteLock(uint32_t id) {
  const char* caller = "TBaseLockMgr.UpgradeReadLockToWriteLock";
  std::vector<TLockItem> parts = locks_.Parts(id);
  auto read = std::find_if(parts.begin(), parts.end(),
                           [](const TLockItem& item) { return item.type == ltRead; });
  if (read == parts.end()) ZuzInternalError(caller, "No existing read lock can not be found");
  const int64_t begin = AddressOf(id);
  const int64_t end = begin + regionSize_;
  if (read->address < begin || read->address + read->size > end) {
    ZuzInternalError(caller, "Lock size is greater than lock region");
  }
  const int64_t firstCount = read->address - begin;
  const int64_t secondStart = read->address + read->size;
  const int64_t secondCount = end - secondStart;
  int64_t at = 0;
  if (firstCount > 0) {
    if (!LockWithRetries([&] { return begin; }, firstCount, &at)) Fail(caller, writeFailText_);
  }
  if (secondCount > 0) {
    if (!LockWithRetries([&] { return secondStart; }, secondCount, &at)) {
      if (firstCount > 0) UnlockBytes(begin, firstCount);
      Fail(caller, writeFailText_);
    }
  }
  if (firstCount > 0) locks_.Add({id, begin, ltWrite, firstCount});
  if (secondCount > 0) locks_.Add({id, secondStart, ltWrite, secondCount});
  locks_.SetType(id, ltWrite);
}

void TBaseLockMgr::Unlock(uint32_t id) {
  for (const auto& item : locks_.Take(id)) UnlockBytes(item.address, item.size);
}

void TBaseLockMgr::ReleaseAll() {
  for (const auto& item : locks_.Items()) UnlockBytes(item.address, item.size);
  locks_.Clear();
}

bool TBaseLockMgr::HeldSpan(int64_t& from, int64_t& to) const {
  if (locks_.Empty()) return false;
  from = INT64_MAX;
  to = INT64_MIN;
  for (const auto& item : locks_.Items()) {
    from = std::min(from, item.address);
    to = std::max(to, item.address + item.size);
  }
  return true;
}

void TBaseLockMgr::UpgradeAll() {
  for (uint32_t id : locks_.Ids()) {
    if (locks_.TypeOf(id) == ltRead) UpgradeReadLockToWriteLock(id);
  }
}

TLinuxLockMgr::TLinuxLockMgr(TZuzOSFile* file, int64_t base, int64_t regionSize, int retryCount,
                             int retryIntervalMs, std::string readFailText,
                             std::string writeFailText, uint64_t seed)
    : TBaseLockMgr(base, regionSize, retryCount, retryIntervalMs, std::move(readFailText),
                   std::move(writeFailText), seed),
      file_(file) {
  if (!file_) ZuzInternalError("TBaseLockMgr.Create", "File handle is not set");
}

bool TLinuxLockMgr::LockBytes(int64_t offset, int64_t count) {
  return file_->LockRange(offset, count);
}

void TLinuxLockMgr::UnlockBytes(int64_t offset, int64_t count) {
  (void)file_->UnlockRange(offset, count);
}

bool TLinuxLockMgr::HandleUsable() {
  return file_->Size() >= 0;
}

}  // namespace zuz
