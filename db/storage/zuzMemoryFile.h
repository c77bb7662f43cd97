// Files held in memory, for tests and for programs that must not touch the disk. Behaves like the
// POSIX file system as far as the engine can tell: share modes, handle-owned exclusive byte-range
// locks (also beyond the end of a file), files that live on after deletion while open handles
// remain, and a read-only attribute.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "db/storage/zuzOSFile.h"

namespace zuz {

class TMemoryFileSystem : public TZuzFileSystem {
 public:
  TMemoryFileSystem();
  ~TMemoryFileSystem() override;

  std::unique_ptr<TZuzOSFile> Open(const std::string& path, TZuzAccess access, TZuzShare share,
                                   TZuzCreate create, std::string* error) override;
  bool Exists(const std::string& path) override;
  bool IsReadOnly(const std::string& path) override;
  bool Delete(const std::string& path, std::string* error) override;
  bool SyncFolder(const std::string& path) override;

  // Test helpers: a copy of a file's bytes (nullopt when missing), replacing them, and the
  // read-only attribute.
  std::optional<std::vector<uint8_t>> Contents(const std::string& path);
  void SetContents(const std::string& path, std::vector<uint8_t> data);
  void SetReadOnly(const std::string& path, bool readOnly);

  struct TNode;

 private:
  std::shared_ptr<std::mutex> mutex_;
  std::map<std::string, std::shared_ptr<TNode>> files_;
};

}  // namespace zuz
