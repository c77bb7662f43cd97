// The pending-writer gate: waiting programs take turns with those that keep locking.
//
// Without it every request polls on its own, so a program that commits in a tight loop can
// hold some lock at nearly every moment another program looks, and that program gives up after
// its retries. The gate is a region of the lock file (zuzUserMonitor.h, bytes 2048-4095 of the
// first page, never written):
//
//   looked at  a program that holds no lock yet (a newcomer) looks, before it tries to take one,
//              whether one random byte of the region is free (one call, nothing taken)
//   exclusive  the whole region, held by a program whose request failed, for as long as it keeps
//              trying (given up when the request is granted or gives up)
//
// So while one program waits, no newcomer gets in ahead of it; the programs already holding
// locks carry on without passing the gate (they are what the waiting program waits for, and a
// commit's upgrade of its read locks must never wait for the gate), release their locks as usual,
// and the waiting program's next attempt finds the lock free. A program holding locks never
// waits for the gate, and a program waiting at the gate holds none: no new deadlock.
#pragma once

#include <cstdint>
#include <functional>
#include <random>

namespace zuz {

class TZuzOSFile;

class TWriterGate {
 public:
  static constexpr int64_t kOffset = 2048;
  static constexpr int64_t kLength = 2048;

  // holdsLocks tells whether this program holds any lock in the file now. The file must outlive
  // the gate.
  TWriterGate(TZuzOSFile* file, std::function<bool()> holdsLocks, uint64_t seed);
  ~TWriterGate();
  TWriterGate(const TWriterGate&) = delete;
  TWriterGate& operator=(const TWriterGate&) = delete;

  // Before an attempt at a lock: false when a waiting program holds the gate and this program
  // is a newcomer (the attempt then counts as failed). When true, Leave() follows the attempt.
  bool Enter();
  void Leave();
  // A request failed: this program waits, and takes the gate when it can (one try per call).
  void Waiting();
  // The request this program waited for was granted or gave up: the gate is given back.
  void DoneWaiting();
  bool Held() const { return held_; }

 private:
  TZuzOSFile* file_;
  std::function<bool()> holdsLocks_;
  std::mt19937_64 random_;
  bool held_ = false;
};

}  // namespace zuz
