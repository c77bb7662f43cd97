#include "db/storage/zuzFaultFile.h"

namespace zuz {

namespace {
constexpr const char* kInjected = "Injected I/O fault";
}

struct TFaultFileSystem::TState {
  std::array<int64_t, static_cast<size_t>(TFaultOp::Count_)> calls{};
  bool armed = false;
  TFaultOp op = TFaultOp::Any;
  int64_t n = 0;
  TFaultMode mode = TFaultMode::Fail;
  bool sticky = false;
  bool triggered = false;

  // Counts the call; returns the fault mode to apply, or nullptr when the call goes through.
  const TFaultMode* Hit(TFaultOp kind) {
    ++calls[static_cast<size_t>(kind)];
    ++calls[static_cast<size_t>(TFaultOp::Any)];
    if (!armed || (op != TFaultOp::Any && op != kind)) return nullptr;
    if (triggered) {
      // A full disk stays full; other sticky faults fail every later call.
      static const TFaultMode fail = TFaultMode::Fail;
      if (mode == TFaultMode::DiskFull) return &mode;
      return sticky ? &fail : nullptr;
    }
    if (calls[static_cast<size_t>(op)] != n) return nullptr;
    triggered = true;
    return &mode;
  }
};

namespace {

class TFaultFile : public TZuzOSFile {
 public:
  TFaultFile(std::unique_ptr<TZuzOSFile> inner, std::shared_ptr<TFaultFileSystem::TState> state)
      : inner_(std::move(inner)), state_(std::move(state)) {}

  int64_t ReadAt(int64_t offset, void* buffer, int64_t n) override {
    if (const TFaultMode* m = state_->Hit(TFaultOp::Read)) {
      if (*m != TFaultMode::ShortTransfer) return Fail();
      return inner_->ReadAt(offset, buffer, n / 2);
    }
    return inner_->ReadAt(offset, buffer, n);
  }

  int64_t WriteAt(int64_t offset, const void* buffer, int64_t n) override {
    if (const TFaultMode* m = state_->Hit(TFaultOp::Write)) {
      if (*m == TFaultMode::Fail) return Fail();
      if (*m == TFaultMode::DiskFull) {
        const int64_t size = inner_->Size();
        if (size >= 0 && offset + n <= size) return inner_->WriteAt(offset, buffer, n);
        return Fail(true);
      }
      return inner_->WriteAt(offset, buffer, n / 2);
    }
    return inner_->WriteAt(offset, buffer, n);
  }

  bool Truncate(int64_t size) override {
    return state_->Hit(TFaultOp::Truncate) ? Fail() >= 0 : inner_->Truncate(size);
  }
  bool Sync() override { return state_->Hit(TFaultOp::Sync) ? Fail() >= 0 : inner_->Sync(); }
  int64_t Size() override { return state_->Hit(TFaultOp::Size) ? Fail() : inner_->Size(); }
  bool LockRange(int64_t offset, int64_t length) override {
    return state_->Hit(TFaultOp::Lock) ? Fail() >= 0 : inner_->LockRange(offset, length);
  }
  bool UnlockRange(int64_t offset, int64_t length) override {
    return state_->Hit(TFaultOp::Unlock) ? Fail() >= 0 : inner_->UnlockRange(offset, length);
  }
  std::string LastErrorText() const override {
    return injected_ ? kInjected : inner_->LastErrorText();
  }
  bool DiskFull() const override { return injected_ ? diskFull_ : inner_->DiskFull(); }

 private:
  int64_t Fail(bool diskFull = false) {
    injected_ = true;
    diskFull_ = diskFull;
    return -1;
  }

  std::unique_ptr<TZuzOSFile> inner_;
  std::shared_ptr<TFaultFileSystem::TState> state_;
  bool injected_ = false;
  bool diskFull_ = false;
};

}  // namespace

TFaultFileSystem::TFaultFileSystem(TZuzFileSystem& inner)
    : inner_(inner), state_(std::make_shared<TState>()) {}
TFaultFileSystem::~TFaultFileSystem() = default;

void TFaultFileSystem::Arm(TFaultOp op, int64_t n, TFaultMode mode, bool sticky) {
  *state_ = TState{};
  state_->armed = true;
  state_->op = op;
  state_->n = n;
  state_->mode = mode;
  state_->sticky = sticky;
}

void TFaultFileSystem::Disarm() {
  *state_ = TState{};
}

int64_t TFaultFileSystem::Calls(TFaultOp op) const {
  return state_->calls[static_cast<size_t>(op)];
}

bool TFaultFileSystem::Triggered() const {
  return state_->triggered;
}

std::unique_ptr<TZuzOSFile> TFaultFileSystem::Open(const std::string& path, TZuzAccess access,
                                                   TZuzShare share, TZuzCreate create,
                                                   std::string* error) {
  if (state_->Hit(TFaultOp::Open)) {
    if (error) *error = kInjected;
    return nullptr;
  }
  auto file = inner_.Open(path, access, share, create, error);
  if (!file) return nullptr;
  return std::make_unique<TFaultFile>(std::move(file), state_);
}

bool TFaultFileSystem::Exists(const std::string& path) {
  return inner_.Exists(path);
}
bool TFaultFileSystem::IsReadOnly(const std::string& path) {
  return inner_.IsReadOnly(path);
}

bool TFaultFileSystem::SyncFolder(const std::string& path) {
  return state_->Hit(TFaultOp::SyncFolder) ? false : inner_.SyncFolder(path);
}

bool TFaultFileSystem::Delete(const std::string& path, std::string* error) {
  if (state_->Hit(TFaultOp::Delete)) {
    if (error) *error = kInjected;
    return false;
  }
  return inner_.Delete(path, error);
}

}  // namespace zuz
