#include "db/storage/zuzMemoryFile.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace zuz {

namespace {

struct TRangeLock {
  uint64_t owner;
  int64_t offset;
  int64_t length;
  bool shared;
};

bool Overlaps(int64_t a, int64_t alen, int64_t b, int64_t blen) {
  return a < b + blen && b < a + alen;
}

}  // namespace

struct TMemoryFileSystem::TNode {
  std::vector<uint8_t> data;
  bool readOnly = false;
  std::vector<TRangeLock> locks;

  bool CanLock(uint64_t owner, int64_t offset, int64_t length, bool shared) const {
    for (const TRangeLock& l : locks) {
      if (l.owner == owner || !Overlaps(l.offset, l.length, offset, length)) continue;
      if (shared && l.shared) continue;
      return false;
    }
    return true;
  }

  void Unlock(uint64_t owner, int64_t offset, int64_t length) {
    std::vector<TRangeLock> kept;
    for (const TRangeLock& l : locks) {
      if (l.owner != owner || !Overlaps(l.offset, l.length, offset, length)) {
        kept.push_back(l);
        continue;
      }
      if (l.offset < offset) kept.push_back({owner, l.offset, offset - l.offset, l.shared});
      int64_t end = offset + length, lend = l.offset + l.length;
      if (lend > end) kept.push_back({owner, end, lend - end, l.shared});
    }
    locks = std::move(kept);
  }
};

namespace {

class TMemoryFile : public TZuzOSFile {
 public:
  TMemoryFile(std::shared_ptr<std::mutex> mutex, std::shared_ptr<TMemoryFileSystem::TNode> node,
              uint64_t owner, bool writable)
      : mutex_(std::move(mutex)), node_(std::move(node)), owner_(owner), writable_(writable) {}

  ~TMemoryFile() override {
    std::lock_guard<std::mutex> lock(*mutex_);
    auto& locks = node_->locks;
    locks.erase(std::remove_if(locks.begin(), locks.end(),
                               [&](const TRangeLock& l) { return l.owner == owner_; }),
                locks.end());
  }

  int64_t ReadAt(int64_t offset, void* buffer, int64_t n) override {
    std::lock_guard<std::mutex> lock(*mutex_);
    if (offset < 0 || n < 0) return Fail("Invalid argument");
    int64_t size = static_cast<int64_t>(node_->data.size());
    if (offset >= size) return 0;
    int64_t count = std::min(n, size - offset);
    std::memcpy(buffer, node_->data.data() + offset, static_cast<size_t>(count));
    return count;
  }

  int64_t WriteAt(int64_t offset, const void* buffer, int64_t n) override {
    std::lock_guard<std::mutex> lock(*mutex_);
    if (!writable_) return Fail("Bad file descriptor");
    if (offset < 0 || n < 0) return Fail("Invalid argument");
    if (static_cast<int64_t>(node_->data.size()) < offset + n) {
      node_->data.resize(static_cast<size_t>(offset + n));
    }
    if (n > 0) std::memcpy(node_->data.data() + offset, buffer, static_cast<size_t>(n));
    return n;
  }

  bool Truncate(int64_t size) override {
    std::lock_guard<std::mutex> lock(*mutex_);
    if (!writable_ || size < 0) return Fail("Bad file descriptor") >= 0;
    node_->data.resize(static_cast<size_t>(size));
    return true;
  }

  bool Sync() override { return true; }

  int64_t Size() override {
    std::lock_guard<std::mutex> lock(*mutex_);
    return static_cast<int64_t>(node_->data.size());
  }

  bool LockRange(int64_t offset, int64_t length) override {
    std::lock_guard<std::mutex> lock(*mutex_);
    if (offset < 0 || length <= 0) return Fail("Invalid argument") >= 0;
    if (!node_->CanLock(owner_, offset, length, false)) {
      return Fail("Resource temporarily unavailable") >= 0;
    }
    node_->Unlock(owner_, offset, length);  // a handle's own locks merge, as with OFD locks
    node_->locks.push_back({owner_, offset, length, false});
    return true;
  }

  bool UnlockRange(int64_t offset, int64_t length) override {
    std::lock_guard<std::mutex> lock(*mutex_);
    node_->Unlock(owner_, offset, length);
    return true;
  }

  bool RangeFree(int64_t offset, int64_t length) override {
    std::lock_guard<std::mutex> lock(*mutex_);
    if (offset < 0 || length <= 0) return Fail("Invalid argument") >= 0;
    return node_->CanLock(owner_, offset, length, false);
  }

  std::string LastErrorText() const override { return lastError_; }

 private:
  int64_t Fail(const char* text) {
    lastError_ = text;
    return -1;
  }

  std::shared_ptr<std::mutex> mutex_;
  std::shared_ptr<TMemoryFileSystem::TNode> node_;
  uint64_t owner_;
  bool writable_;
  std::string lastError_;
};

uint64_t NextOwner() {
  static std::atomic<uint64_t> next{1};
  return next++;
}

}  // namespace

TMemoryFileSystem::TMemoryFileSystem() : mutex_(std::make_shared<std::mutex>()) {}
TMemoryFileSystem::~TMemoryFileSystem() = default;

std::unique_ptr<TZuzOSFile> TMemoryFileSystem::Open(const std::string& path, TZuzAccess access,
                                                    TZuzShare share, TZuzCreate create,
                                                    std::string* error) {
  std::lock_guard<std::mutex> lock(*mutex_);
  auto fail = [&](const char* text) -> std::unique_ptr<TZuzOSFile> {
    if (error) *error = text;
    return nullptr;
  };
  auto it = files_.find(path);
  bool writable = access == TZuzAccess::ReadWrite || create != TZuzCreate::OpenExisting;
  if (it == files_.end()) {
    if (create == TZuzCreate::OpenExisting) return fail("No such file or directory");
    it = files_.emplace(path, std::make_shared<TNode>()).first;
  } else {
    if (create == TZuzCreate::CreateNew) return fail("File exists");
    if (writable && it->second->readOnly) return fail("Permission denied");
  }
  std::shared_ptr<TNode> node = it->second;
  bool exclusive = share == TZuzShare::Exclusive;
  uint64_t owner = NextOwner();
  if (!node->CanLock(owner, kShareSentinelOffset, kShareSentinelLength, !exclusive)) {
    return fail("The process cannot access the file because it is being used by another process");
  }
  node->locks.push_back({owner, kShareSentinelOffset, kShareSentinelLength, !exclusive});
  if (create == TZuzCreate::CreateAlways) node->data.clear();
  return std::make_unique<TMemoryFile>(mutex_, node, owner, writable);
}

bool TMemoryFileSystem::Exists(const std::string& path) {
  std::lock_guard<std::mutex> lock(*mutex_);
  return files_.count(path) != 0;
}

bool TMemoryFileSystem::IsReadOnly(const std::string& path) {
  std::lock_guard<std::mutex> lock(*mutex_);
  auto it = files_.find(path);
  return it != files_.end() && it->second->readOnly;
}

bool TMemoryFileSystem::SyncFolder(const std::string&) {
  return true;
}

bool TMemoryFileSystem::Delete(const std::string& path, std::string* error) {
  std::lock_guard<std::mutex> lock(*mutex_);
  if (files_.erase(path) != 0) return true;
  if (error) *error = "No such file or directory";
  return false;
}

std::optional<std::vector<uint8_t>> TMemoryFileSystem::Contents(const std::string& path) {
  std::lock_guard<std::mutex> lock(*mutex_);
  auto it = files_.find(path);
  if (it == files_.end()) return std::nullopt;
  return it->second->data;
}

void TMemoryFileSystem::SetContents(const std::string& path, std::vector<uint8_t> data) {
  std::lock_guard<std::mutex> lock(*mutex_);
  auto& node = files_[path];
  if (!node) node = std::make_shared<TNode>();
  node->data = std::move(data);
}

void TMemoryFileSystem::SetReadOnly(const std::string& path, bool readOnly) {
  std::lock_guard<std::mutex> lock(*mutex_);
  auto it = files_.find(path);
  if (it != files_.end()) it->second->readOnly = readOnly;
}

}  // namespace zuz
