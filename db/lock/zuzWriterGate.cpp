#include "db/lock/zuzWriterGate.h"

#include "db/storage/zuzOSFile.h"

namespace zuz {

TWriterGate::TWriterGate(TZuzOSFile* file, std::function<bool()> holdsLocks, uint64_t seed)
    : file_(file), holdsLocks_(std::move(holdsLocks)), random_(seed) {}

TWriterGate::~TWriterGate() {
  Leave();
  DoneWaiting();
}

bool TWriterGate::Enter() {
  if (held_ || (holdsLocks_ && holdsLocks_())) return true;
  const int64_t at = kOffset + static_cast<int64_t>(random_() % kLength);
  if (!file_->LockRange(at, 1)) return false;
  passing_ = at;
  return true;
}

void TWriterGate::Leave() {
  if (passing_ < 0) return;
  (void)file_->UnlockRange(passing_, 1);
  passing_ = -1;
}

void TWriterGate::Waiting() {
  if (!held_) held_ = file_->LockRange(kOffset, kLength);
}

void TWriterGate::DoneWaiting() {
  if (!held_) return;
  (void)file_->UnlockRange(kOffset, kLength);
  held_ = false;
}

}  // namespace zuz
