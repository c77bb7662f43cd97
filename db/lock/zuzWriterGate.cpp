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
  // A newcomer only looks whether a waiting program holds the gate: holding a byte of it for
  // the moment of the attempt would keep a program that starts waiting just then out for one
  // try, which its next try makes good anyway.
  const int64_t at = kOffset + static_cast<int64_t>(random_() % kLength);
  return file_->RangeFree(at, 1);
}

void TWriterGate::Leave() {
  // Nothing is held for an attempt (Enter only looks).
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
