#include "db/lock/zuzUserMonitor.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "db/lock/zuzLockMgrUnit.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzLogger.h"
#include "db/storage/zuzOSFile.h"
#include "planner/base/qorStrings.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TDBUserMonitor";
constexpr const char* kLockFileText = "A lock could not be obtained on the lock file";
constexpr int64_t kMutexOffset = 0;
constexpr int64_t kDeletedMarkOffset = 1;
}  // namespace

TDBUserMonitor::TDBUserMonitor(TZuzFileSystem& fs, std::string lockFileName,
                               TZuzOSFile* databaseFile)
    : fs_(fs), fileName_(std::move(lockFileName)), databaseFile_(databaseFile) {}

TDBUserMonitor::~TDBUserMonitor() {
  Close();
}

void TDBUserMonitor::SetLockFileAttempts(int attempts, int intervalMs) {
  attempts_ = std::max(1, attempts);
  intervalMs_ = std::max(0, intervalMs);
}

bool TDBUserMonitor::TryRange(int64_t offset, int64_t count, int attempts) {
  for (int i = 0; i < attempts; ++i) {
    if (handle_->LockRange(offset, count)) return true;
    if (handle_->Size() < 0) return false;  // the handle failed: nobody to wait for
    if (i + 1 < attempts) LockSleep(intervalMs_);
  }
  return false;
}

void TDBUserMonitor::SetMutex() {
  if (!TryRange(kMutexOffset, 1, attempts_)) {
    ZuzDatabaseError(ZUZ_ERR_LOCK_TIMEOUT, "TDBUserMonitor.InternalSetLock", kLockFileText,
                     kObject);
  }
}

void TDBUserMonitor::SetParentLock() {
  if (!databaseFile_)
    ZuzInternalError("TDBUserMonitor.InternalSetParentLock", "File handle is not set");
  for (int i = 0; i < attempts_; ++i) {
    if (databaseFile_->LockRange(kParentLockOffset, 1)) return;
    if (databaseFile_->Size() < 0) break;
    if (i + 1 < attempts_) LockSleep(intervalMs_);
  }
  ZuzDatabaseError(ZUZ_ERR_LOCK_TIMEOUT, "TDBUserMonitor.InternalSetParentLock", kLockFileText,
                   kObject);
}

void TDBUserMonitor::ReleaseParentLock() {
  if (databaseFile_) (void)databaseFile_->UnlockRange(kParentLockOffset, 1);
}

void TDBUserMonitor::CreateLockFile() {
  SetParentLock();
  try {
    if (!fs_.Exists(fileName_)) {
      std::string error;
      auto file = fs_.Open(fileName_, TZuzAccess::ReadWrite, TZuzShare::DenyNone,
                           TZuzCreate::CreateNew, &error);
      if (!file) {
        ZuzDatabaseError(ZUZ_ERR_IO, "TDBUserMonitor.CreateLockFile",
                         "Lock File could not be created: " + fileName_ + " (" + error + ")",
                         kObject);
      }
      std::vector<uint8_t> zeros(static_cast<size_t>(kFirstSlot), 0);
      if (file->WriteAt(0, zeros.data(), kFirstSlot) != kFirstSlot) {
        const std::string text = WriteFailureText(*file, "Unable to complete lock file creation");
        file.reset();
        std::string ignored;
        (void)fs_.Delete(fileName_, &ignored);
        ZuzDatabaseError(ZUZ_ERR_WRITE, "TDBUserMonitor.CreateLockFile", text, kObject);
      }
    }
  } catch (...) {
    ReleaseParentLock();
    throw;
  }
  ReleaseParentLock();
}

int64_t TDBUserMonitor::SlotCount() {
  const int64_t size = handle_->Size();
  if (size < kFirstSlot) return 0;
  return (size - kFirstSlot) / kSlotSize;
}

std::string TDBUserMonitor::ReadSlotText(int64_t offset, bool* free) {
  std::vector<char> bytes(static_cast<size_t>(kSlotSize), 0);
  int64_t got = handle_->ReadAt(offset, bytes.data(), kSlotSize);
  if (got < 0) {
    ZuzDatabaseError(ZUZ_ERR_READ, "TDBUserMonitor.Open",
                     "Unable to read the lock file: " + handle_->LastErrorText(), kObject);
  }
  *free = got == 0 || bytes[0] == 0;
  auto end = std::find(bytes.begin(), bytes.begin() + got, '\0');
  return std::string(bytes.begin(), end);
}

void TDBUserMonitor::WriteSlot(int64_t offset, const std::string& text) {
  std::vector<char> bytes(static_cast<size_t>(kSlotSize), 0);
  std::copy_n(text.begin(), std::min<std::size_t>(text.size(), kSlotSize - 1), bytes.begin());
  if (handle_->WriteAt(offset, bytes.data(), kSlotSize) != kSlotSize) {
    ZuzDatabaseError(ZUZ_ERR_WRITE, "TDBUserMonitor.Open",
                     handle_->DiskFull()
                         ? WriteFailureText(*handle_, "Unable to write the lock file")
                         : "Unable to write the lock file: " + handle_->LastErrorText(),
                     kObject);
  }
}

void TDBUserMonitor::RegisterSlot() {
  const int64_t slots = SlotCount();
  int64_t freeSlot = 0;
  slotOffset_ = 0;
  for (int64_t k = 0; k < slots && slotOffset_ == 0; ++k) {
    const int64_t offset = kFirstSlot + k * kSlotSize;
    bool free = false;
    std::string text = ReadSlotText(offset, &free);
    if (free) {
      if (freeSlot == 0) freeSlot = offset;
    } else if (SameTextIgnoringCase(text, slotText_)) {
      slotOffset_ = offset;
    }
  }
  if (slotOffset_ == 0) {
    slotOffset_ = freeSlot != 0 ? freeSlot : kFirstSlot + slots * kSlotSize;
    // A slot reaching the presence ranges would be locked over by them.
    if (slotOffset_ + kSlotSize > kMaxFileSize + 1) {
      ZuzDatabaseError(ZUZ_ERR_TOO_MANY_CLIENTS, "TDBUserMonitor.Open",
                       "The lock file has grown too large", kObject);
    }
    WriteSlot(slotOffset_, slotText_);
  }
  presence_ = 0;
  const int64_t range = slotOffset_ + kPresenceDistance;
  for (int64_t i = 0; i < kSlotSize; ++i) {
    if (handle_->LockRange(range + i, 1)) {
      presence_ = range + i;
      break;
    }
  }
}

void TDBUserMonitor::Open(const std::string& userName, const std::string& computerName) {
  Close();
  deletedAtClose_ = false;
  slotText_ = computerName + "\r\n" + userName + "\r\n";
  if (slotText_.size() >= static_cast<size_t>(kSlotSize)) slotText_.resize(kSlotSize - 1);
  for (int round = 0;; ++round) {
    if (!fs_.Exists(fileName_)) CreateLockFile();
    std::string error;
    handle_ = fs_.Open(fileName_, TZuzAccess::ReadWrite, TZuzShare::DenyNone,
                       TZuzCreate::OpenExisting, &error);
    if (!handle_) {
      // Deleted by the last program between the look and the open: create it again.
      if (!fs_.Exists(fileName_) && round < attempts_) continue;
      ZuzInternalError("TDBUserMonitor.Open", "The lock file could not be opened: " + error);
    }
    const int64_t size = handle_->Size();
    if (size < 0) {
      handle_.reset();
      ZuzInternalError("TDBUserMonitor.Open", "The lock file could not be opened");
    }
    if (size > kMaxFileSize) {
      handle_.reset();
      ZuzDatabaseError(ZUZ_ERR_TOO_MANY_CLIENTS, "TDBUserMonitor.Open",
                       "The lock file has grown too large", kObject);
    }
    try {
      SetMutex();
    } catch (...) {
      handle_.reset();
      throw;
    }
    uint8_t mark = 0;
    if (handle_->ReadAt(kDeletedMarkOffset, &mark, 1) == 1 && mark != 0) {
      if (round < attempts_) {
        // The last program is deleting this file: start again with a new one.
        (void)handle_->UnlockRange(kMutexOffset, 1);
        handle_.reset();
        LockSleep(intervalMs_);
        continue;
      }
      // Still at its place after all the waiting: the program deleting it stopped before it
      // could. The file is in use again.
      mark = 0;
      (void)handle_->WriteAt(kDeletedMarkOffset, &mark, 1);
    }
    break;
  }
  try {
    RegisterSlot();
  } catch (...) {
    (void)handle_->UnlockRange(kMutexOffset, 1);
    handle_.reset();
    throw;
  }
  (void)handle_->UnlockRange(kMutexOffset, 1);
}

std::string TDBUserMonitor::OtherPrograms() {
  if (!handle_ || !handle_->LockRange(kMutexOffset, 1)) return {};
  // Under the mutex no program registers or leaves, so probing a presence range (lock it whole
  // and let go at once) disturbs nobody.
  auto heldByOthers = [&](int64_t from, int64_t count) {
    if (count <= 0) return false;
    if (!handle_->LockRange(from, count)) return true;
    (void)handle_->UnlockRange(from, count);
    return false;
  };
  std::string out;
  try {
    const int64_t slots = SlotCount();
    for (int64_t k = 0; k < slots; ++k) {
      const int64_t offset = kFirstSlot + k * kSlotSize;
      bool free = false;
      const std::string text = ReadSlotText(offset, &free);
      if (free) continue;
      const int64_t range = offset + kPresenceDistance;
      bool present = false;
      if (offset == slotOffset_ && presence_ != 0) {
        present = heldByOthers(range, presence_ - range) ||
                  heldByOthers(presence_ + 1, range + kSlotSize - presence_ - 1);
      } else {
        present = heldByOthers(range, kSlotSize);
      }
      if (!present) continue;
      const std::size_t cut = text.find("\r\n");
      const std::string computer = text.substr(0, cut);
      std::string user = cut == std::string::npos ? std::string() : text.substr(cut + 2);
      if (const std::size_t end = user.find("\r\n"); end != std::string::npos) user.resize(end);
      if (!out.empty()) out += ", ";
      out += user + " on " + computer;
    }
  } catch (...) {
    // Only a description: what could not be read is left out.
  }
  (void)handle_->UnlockRange(kMutexOffset, 1);
  return out;
}

void TDBUserMonitor::Close() {
  if (!handle_) return;
  if (presence_ != 0) (void)handle_->UnlockRange(presence_, 1);
  presence_ = 0;
  bool parentLocked = false;
  // A handle that can't even report its size has failed: leave the cleanup to the next program.
  if (handle_->Size() >= 0 && TryRange(kMutexOffset, 1, attempts_)) {
    try {
      bool free = false;
      if (slotOffset_ != 0 && SameTextIgnoringCase(ReadSlotText(slotOffset_, &free), slotText_) &&
          handle_->LockRange(slotOffset_ + kPresenceDistance, kSlotSize)) {
        WriteSlot(slotOffset_, "");
        (void)handle_->UnlockRange(slotOffset_ + kPresenceDistance, kSlotSize);
      }
      int connected = 0;
      const int64_t slots = SlotCount();
      for (int64_t k = 0; k < slots; ++k) {
        const int64_t offset = kFirstSlot + k * kSlotSize;
        (void)ReadSlotText(offset, &free);
        if (free) continue;
        if (handle_->LockRange(offset + kPresenceDistance, kSlotSize)) {
          WriteSlot(offset, "");  // a program ended without closing
          (void)handle_->UnlockRange(offset + kPresenceDistance, kSlotSize);
        } else {
          ++connected;
        }
      }
      if (connected == 0 && databaseFile_ && databaseFile_->LockRange(kParentLockOffset, 1)) {
        parentLocked = true;
        uint8_t mark = 1;
        std::string error;
        if (handle_->WriteAt(kDeletedMarkOffset, &mark, 1) == 1) {
          if (fs_.Delete(fileName_, &error)) {
            deletedAtClose_ = true;
          } else {
            mark = 0;  // the file stays: it must not look as if it were going away
            (void)handle_->WriteAt(kDeletedMarkOffset, &mark, 1);
            TDBLogger::Instance().AddLine(kObject, "The lock file could not be deleted: " + error);
          }
        }
      }
    } catch (const std::exception& e) {
      TDBLogger::Instance().AddLine(kObject, std::string("Lock file cleanup failed: ") + e.what());
    }
    (void)handle_->UnlockRange(kMutexOffset, 1);
  } else {
    TDBLogger::Instance().AddLine(kObject, "The lock file was closed without cleaning up");
  }
  handle_.reset();
  if (parentLocked) ReleaseParentLock();
  slotOffset_ = 0;
}

}  // namespace zuz
