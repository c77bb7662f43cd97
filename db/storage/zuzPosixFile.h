// Files through POSIX calls: open, pread, pwrite, ftruncate, fsync, fstat, and open-file-
// description locks (fcntl F_OFD_SETLK), which belong to the open handle and end with it.
#pragma once

#include "db/storage/zuzOSFile.h"

namespace zuz {

class TPosixFileSystem : public TZuzFileSystem {
 public:
  // The one instance the program uses.
  static TPosixFileSystem& Instance();

  std::unique_ptr<TZuzOSFile> Open(const std::string& path, TZuzAccess access, TZuzShare share,
                                   TZuzCreate create, std::string* error) override;
  bool Exists(const std::string& path) override;
  bool IsReadOnly(const std::string& path) override;
  bool Delete(const std::string& path, std::string* error) override;
  bool SyncFolder(const std::string& path) override;
};

}  // namespace zuz
