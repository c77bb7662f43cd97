// Helpers shared by the storage tests: a database file in memory and raw looks at its bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzMemoryFile.h"

namespace zuz::test {

inline const std::string kDbPath = "/mem/test.zuz";

// A disk manager on a new file in a memory file system.
struct TMemDb {
  TMemoryFileSystem fs;
  std::unique_ptr<TDiskMgr> disk;

  explicit TMemDb(bool create = true) {
    disk = std::make_unique<TDiskMgr>(fs);
    disk->FileName = kDbPath;
    if (create) {
      disk->CreateNewFile(false);
      disk->Close();
      disk->Open();
    }
  }
  std::vector<uint8_t> Bytes() { return *fs.Contents(kDbPath); }
  void Reopen() {
    disk->Close();
    disk->Open();
  }
};

// Runs the call and returns the engine error code it raised (0 when it raised none).
template <typename F>
int ErrorCodeOf(F&& f) {
  try {
    f();
  } catch (const EZuzDatabaseError& e) {
    return e.ErrorCode();
  }
  return 0;
}

template <typename F>
std::string ErrorTextOf(F&& f) {
  try {
    f();
  } catch (const EZuzDatabaseError& e) {
    return e.CustomMessage();
  }
  return "";
}

inline uint16_t MapEntry(const std::vector<uint8_t>& file, int64_t mapPageAddress, int entry) {
  return GetU16(file.data() + mapPageAddress + 20 + 2 * entry);
}

}  // namespace zuz::test
