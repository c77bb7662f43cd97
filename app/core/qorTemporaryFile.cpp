#include "app/core/qorTemporaryFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>

namespace {

// The temporary files that exist, for the signal handler: a slot is filled before it is marked
// used, and marked unused before it is filled again, so that the handler only reads whole names.
constexpr int kSlots = 16;
constexpr size_t kPathBytes = 4096;
struct TSlot {
  std::atomic<bool> used{false};
  char path[kPathBytes];
};
static_assert(std::atomic<bool>::is_always_lock_free);
TSlot gSlots[kSlots];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
bool gCaught[kSignalCount];
int gLiveFiles = 0;
std::mutex gMutex;

extern "C" void RemoveTemporaryFilesOnSignal(int signalNumber) {
  const int savedErrno = errno;
  for (TSlot& slot : gSlots) {
    if (slot.used.load(std::memory_order_acquire)) ::unlink(slot.path);
  }
  // The default action again; the signal raised here is blocked until the handler returns and
  // then ends the program as it would have without the handler.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(signalNumber, &action, nullptr);
  ::raise(signalNumber);
  errno = savedErrno;
}

// Keeps this thread's handler from running while the slots and handlers change.
class TSignalsBlocked {
 public:
  TSignalsBlocked() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kSignals) sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
  }
  ~TSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  TSignalsBlocked(const TSignalsBlocked&) = delete;
  TSignalsBlocked& operator=(const TSignalsBlocked&) = delete;

 private:
  sigset_t previous_;
};

void CatchSignals() {
  for (int i = 0; i < kSignalCount; ++i) {
    struct sigaction current {};
    if (::sigaction(kSignals[i], nullptr, &current) != 0) continue;
    const bool isDefault = !(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_DFL;
    if (!isDefault) continue;
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryFilesOnSignal;
    sigfillset(&action.sa_mask);
    gCaught[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
  }
}

void ReleaseSignals() {
  for (int i = 0; i < kSignalCount; ++i) {
    if (!gCaught[i]) continue;
    gCaught[i] = false;
    struct sigaction current {};
    // A handler the program installed meanwhile stays.
    if (::sigaction(kSignals[i], nullptr, &current) != 0 ||
        current.sa_handler != RemoveTemporaryFilesOnSignal)
      continue;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(kSignals[i], &action, nullptr);
  }
}

// The slot now naming the file, or -1 when the name does not fit or every slot is taken (the
// file is then only removed by its object).
int Register(const std::string& name) {
  std::lock_guard<std::mutex> lock(gMutex);
  TSignalsBlocked blocked;
  int slot = -1;
  if (name.size() < kPathBytes) {
    for (int i = 0; i < kSlots && slot < 0; ++i) {
      if (!gSlots[i].used.load(std::memory_order_relaxed)) slot = i;
    }
  }
  if (slot < 0) return -1;
  std::memcpy(gSlots[slot].path, name.c_str(), name.size() + 1);
  gSlots[slot].used.store(true, std::memory_order_release);
  if (gLiveFiles++ == 0) CatchSignals();
  return slot;
}

void Unregister(int slot) {
  if (slot < 0) return;
  std::lock_guard<std::mutex> lock(gMutex);
  TSignalsBlocked blocked;
  gSlots[slot].used.store(false, std::memory_order_release);
  if (--gLiveFiles == 0) ReleaseSignals();
}

// A new file beside target (created with O_EXCL, so that a signal never removes a file of
// someone else), then registered for removal on a signal; empty when none can be made.
std::string CreateBeside(const std::string& target, mode_t mode, int& slot) {
  const std::filesystem::path path(target);
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix;
    for (int i = 0; i < 6; ++i) suffix += kLetters[pick(random)];
    const std::string name =
        (path.parent_path() / ("." + path.filename().string() + "." + suffix + ".part")).string();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      ::close(fd);
      slot = Register(name);
      return name;
    }
    if (errno != EEXIST) break;
  }
  return {};
}

// Flushes a written file to the disk.
bool SyncFile(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

}  // namespace

TqorTemporaryFile::TqorTemporaryFile(const std::string& target, mode_t mode) {
  name_ = CreateBeside(target, mode, slot_);
}

TqorTemporaryFile::~TqorTemporaryFile() {
  if (!name_.empty()) std::remove(name_.c_str());
  Unregister(slot_);
}

bool TqorTemporaryFile::CommitTo(const std::string& target) {
  if (!SyncFile(name_) || std::rename(name_.c_str(), target.c_str()) != 0) return false;
  name_.clear();
  return true;
}
