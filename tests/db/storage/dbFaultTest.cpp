// An I/O fault injected at every call of a small scenario, one call after another: each one must
// end in the engine's error (never a crash or another exception), leave the disk manager able to
// close, and leave a file that opens again or is refused with the engine's error.
#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzIOInterface.h"
#include "db/storage/zuzTableHeaderMgr.h"
#include "tests/db/dbTestUtil.h"

namespace zuz::test {
namespace {

constexpr int64_t P = 4096;

// The scenario: page and block allocation, a committed and a rolled-back transaction that grows
// the map by a page, and a new table.
void Scenario(TDiskMgr& disk) {
  disk.Open();
  std::vector<uint8_t> data(3 * P, 0x5A);
  int64_t a = disk.AllocatePages(3, ioEncStrong, data.data(), 3, usRecord);
  disk.WriteData(a + 100, 10, data.data(), ioEncStrong, 3);
  {
    TZuzTransaction t(disk);
    disk.AllocatePages(4, ioEncNone, nullptr, 4, usBlob);  // reaches map page 1
    disk.FreePages(a + P, 1);
    t.Commit();
  }
  {
    TZuzTransaction t(disk);
    disk.AllocatePages(5, ioEncWeak, data.data(), 2, usRecord);
    t.Rollback();
  }
  TTableHeaderMgr users(disk, false);
  users.Open();
  uint32_t id = users.AddTable(1);
  TTableHeader& h = users.OpenTable(id);
  TDiskIOInterface records(&disk, 1500, id, usRecord, ioEncNone);
  records.SetTableFirstEmpty(&h, thRecordFirstEmpty);
  records.Open();
  int64_t r = records.AllocateNewAddress(1500, data.data());
  records.ReleaseBlock(r, 1500);
  users.CloseTable(id);
  users.Close();
  disk.Close();
}

std::vector<uint8_t> BaseFile() {
  TMemDb db;
  db.disk->AllocatePages(2, ioEncNone, nullptr, 2030, usRecord);  // pages 6-2035
  db.disk->Close();
  return db.Bytes();
}

void RunWithFaults(TFaultMode mode, bool sticky) {
  const std::vector<uint8_t> base = BaseFile();
  int errors = 0;
  for (int n = 1;; ++n) {
    TMemoryFileSystem memory;
    memory.SetContents(kDbPath, base);
    TFaultFileSystem fs(memory);
    bool completed = false;
    bool triggered = false;
    {
      TDiskMgr disk(fs);
      disk.FileName = kDbPath;
      fs.Arm(TFaultOp::Any, n, mode, sticky);
      try {
        Scenario(disk);
        completed = true;
      } catch (const EZuzDatabaseError&) {
        ++errors;
      } catch (const std::exception& e) {
        ADD_FAILURE() << "fault at call " << n << " raised a foreign exception: " << e.what();
      }
      // A fault may also be absorbed (a lock attempt that fails is tried again).
      triggered = fs.Triggered();
      EXPECT_TRUE(completed || triggered) << "call " << n;
      fs.Disarm();
      try {
        disk.Close();
      } catch (const EZuzDatabaseError&) {
      }
    }
    if (completed && !triggered) break;
    // Whatever reached the file opens again, or is refused with the engine's error.
    TDiskMgr again(memory);
    again.FileName = kDbPath;
    try {
      again.Open();
      again.MapMgr().ListTaggedPages(0x29);
      again.AllocatePages(6, ioEncNone, nullptr, 1, usRecord);
      again.Close();
    } catch (const EZuzDatabaseError&) {
    } catch (const std::exception& e) {
      ADD_FAILURE() << "after a fault at call " << n << ": " << e.what();
    }
    ASSERT_LT(n, 5000) << "the scenario never ends";
  }
  EXPECT_GT(errors, 20);
}

TEST(DbFaults, EveryCallFailing) {
  RunWithFaults(TFaultMode::Fail, false);
}
TEST(DbFaults, EveryTransferCutShort) {
  RunWithFaults(TFaultMode::ShortTransfer, false);
}
TEST(DbFaults, ProgramDiesAtEveryCall) {
  RunWithFaults(TFaultMode::Fail, true);
}

}  // namespace
}  // namespace zuz::test
