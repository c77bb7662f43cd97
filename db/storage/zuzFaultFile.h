// A file system that wraps another and makes one chosen call fail, or cut a read or write short,
// so that tests can walk a failure point through a scenario one call at a time. With a sticky
// fault every later call of the same kind fails too, which stands for a program that died at
// that point (nothing after it reaches the file).
#pragma once

#include <array>
#include <memory>

#include "db/storage/zuzOSFile.h"

namespace zuz {

enum class TFaultOp {
  Any,
  Open,
  Read,
  Write,
  Truncate,
  Sync,
  Size,
  Lock,
  Unlock,
  Delete,
  SyncFolder,
  Count_
};
enum class TFaultMode {
  Fail,           // the call reports failure and does nothing
  ShortTransfer,  // a read or write moves only half the bytes (other calls fail)
  DiskFull,       // writes: from this one on, every write that would grow its file fails as on a
                  // full disk, writing nothing (other calls fail)
};

class TFaultFileSystem : public TZuzFileSystem {
 public:
  struct TState;

  explicit TFaultFileSystem(TZuzFileSystem& inner);
  ~TFaultFileSystem() override;

  // Arms a fault at the nth call (1-based) of the kind, counting from now; resets the counters.
  void Arm(TFaultOp op, int64_t n, TFaultMode mode = TFaultMode::Fail, bool sticky = false);
  // Removes the fault and resets the counters.
  void Disarm();
  // Calls of the kind since the last Arm or Disarm.
  int64_t Calls(TFaultOp op) const;
  // True once the armed fault has fired.
  bool Triggered() const;

  std::unique_ptr<TZuzOSFile> Open(const std::string& path, TZuzAccess access, TZuzShare share,
                                   TZuzCreate create, std::string* error) override;
  bool Exists(const std::string& path) override;
  bool IsReadOnly(const std::string& path) override;
  bool Delete(const std::string& path, std::string* error) override;
  bool SyncFolder(const std::string& path) override;

 private:
  TZuzFileSystem& inner_;
  std::shared_ptr<TState> state_;
};

}  // namespace zuz
