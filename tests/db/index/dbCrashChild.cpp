// The program the crash test kills: opens a database file alone, rebuilds the workload's model
// after the given number of transactions, then runs the following transactions until it is
// killed, writing "B n" right before transaction n commits and "C n" after its commit
// returned, each line flushed at once.
//
// usage: db_crash_child DBFILE SEED START
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "db/index/zuzIndexManager.h"
#include "db/lock/zuzMultiUserLocks.h"
#include "db/storage/zuzPosixFile.h"
#include "tests/db/index/dbCrashWorkload.h"

using namespace zuz;
using namespace zuz::test;

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const char* path = argv[1];
  const uint64_t seed = std::strtoull(argv[2], nullptr, 10);
  const int64_t start = std::strtoll(argv[3], nullptr, 10);
  TCrashWorkload workload(seed);
  while (workload.Count() < start) workload.Next();
  try {
    TDiskMgr disk(TPosixFileSystem::Instance());
    disk.SetLockProvider(std::make_unique<TMultiUserLockProvider>());
    disk.FileName = path;
    disk.Exclusive = true;
    disk.Open();
    disk.SetMasterKey("");
    TTableMgr tables(disk, IndexedTableServices());
    tables.Open();
    for (;;) {
      const bool indexBefore = workload.State().qtyIndex;
      const TCrashTxn t = workload.Next();
      const long long n = static_cast<long long>(workload.Count());
      TCrashWorkload::Run(tables, t, indexBefore, [n] {
        std::printf("B %lld\n", n);
        std::fflush(stdout);
      });
      std::printf("C %lld\n", n);
      std::fflush(stdout);
    }
  } catch (const std::exception& e) {
    std::printf("E %s\n", e.what());
    std::fflush(stdout);
    return 1;
  }
}
