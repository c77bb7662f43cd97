// Lock managers, the lock file and the locks of the disk manager, with several "programs" (file
// handles of their own) in one process: byte-range locks belong to the handle, so two handles
// exclude each other as two programs do.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "db/lock/zuzMultiUserLocks.h"
#include "db/storage/zuzPosixFile.h"
#include "db/storage/zuzSystemInfo.h"
#include "tests/db/dbTestUtil.h"

namespace zuz::test {
namespace {

constexpr int64_t kTables = TMultiUserLockProvider::kTableLockBase;

std::unique_ptr<TZuzOSFile> OpenShared(TZuzFileSystem& fs, const std::string& path) {
  std::string error;
  auto f =
      fs.Open(path, TZuzAccess::ReadWrite, TZuzShare::DenyNone, TZuzCreate::OpenExisting, &error);
  EXPECT_NE(f, nullptr) << error;
  return f;
}

TLinuxLockMgr TableMgr(TZuzOSFile* f, uint64_t seed, int retries = 2) {
  return TLinuxLockMgr(f, kTables, 8192, retries, 1, "read text", "write text", seed);
}

// Memory and POSIX files behave alike.
class DbLockMgr : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      dir_ = std::filesystem::temp_directory_path() /
             ("vz-lock-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
      std::filesystem::create_directories(dir_);
      fs_ = &TPosixFileSystem::Instance();
      path_ = (dir_ / "x.lck").string();
    } else {
      fs_ = &memory_;
      path_ = "/mem/x.lck";
    }
    std::string error;
    fs_->Open(path_, TZuzAccess::ReadWrite, TZuzShare::DenyNone, TZuzCreate::CreateAlways, &error);
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  TMemoryFileSystem memory_;
  TZuzFileSystem* fs_ = nullptr;
  std::string path_;
  std::filesystem::path dir_;
};

TEST_P(DbLockMgr, ReadersShareAWriterWaitsForAll) {
  auto fa = OpenShared(*fs_, path_), fb = OpenShared(*fs_, path_), fc = OpenShared(*fs_, path_);
  auto a = TableMgr(fa.get(), 1), b = TableMgr(fb.get(), 2), c = TableMgr(fc.get(), 3);
  EXPECT_EQ(a.SetReadLock(5), ltRead);
  EXPECT_EQ(b.SetReadLock(5), ltRead);
  const int64_t ra = a.Locks().Parts(5)[0].address, rb = b.Locks().Parts(5)[0].address;
  EXPECT_NE(ra, rb);
  for (int64_t r : {ra, rb}) {
    EXPECT_GE(r, kTables + 5 * 8192);
    EXPECT_LT(r, kTables + 6 * 8192);
  }
  try {
    c.SetWriteLock(5);
    ADD_FAILURE() << "write lock granted over readers";
  } catch (const EZuzDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ZUZ_ERR_LOCK_TIMEOUT);
    EXPECT_EQ(e.Caller(), "TBaseLockMgr.SetWriteLock");
    EXPECT_EQ(e.CustomMessage(), "write text");
  }
  EXPECT_EQ(c.LockType(5), ltNone);
  EXPECT_EQ(c.SetReadLock(6), ltRead);  // other tables are free
  a.Unlock(5);
  EXPECT_EQ(ErrorCodeOf([&] { c.SetWriteLock(5); }), ZUZ_ERR_LOCK_TIMEOUT);
  b.ReleaseAll();
  EXPECT_EQ(c.SetWriteLock(5), ltWrite);
  EXPECT_EQ(ErrorTextOf([&] { a.SetReadLock(5); }), "read text");
  c.Unlock(5);
  EXPECT_EQ(a.SetReadLock(5), ltRead);
}

TEST_P(DbLockMgr, UpgradeTakesTheRestOfTheRegionOrNothing) {
  auto fa = OpenShared(*fs_, path_), fb = OpenShared(*fs_, path_);
  auto a = TableMgr(fa.get(), 11), b = TableMgr(fb.get(), 12);
  a.SetReadLock(9);
  b.SetReadLock(9);
  try {
    a.SetWriteLock(9);  // a read lock held: upgraded
    ADD_FAILURE();
  } catch (const EZuzDatabaseError& e) {
    EXPECT_EQ(e.Caller(), "TBaseLockMgr.UpgradeReadLockToWriteLock");
  }
  EXPECT_EQ(a.LockType(9), ltRead);
  EXPECT_EQ(a.Locks().Parts(9).size(), 1u);  // a failed upgrade gives back what it took
  b.Unlock(9);
  // b can still take any byte but a's: the first part of a's failed upgrade was released.
  const int64_t ra = a.Locks().Parts(9)[0].address;
  EXPECT_TRUE(fb->LockRange(kTables + 9 * 8192, ra - (kTables + 9 * 8192)));
  fb->UnlockRange(kTables + 9 * 8192, ra - (kTables + 9 * 8192));
  a.UpgradeAll();
  EXPECT_EQ(a.LockType(9), ltWrite);
  EXPECT_EQ(a.Locks().Parts(9).size(), ra == kTables + 9 * 8192 ? 2u : 3u);
  EXPECT_FALSE(fb->LockRange(kTables + 9 * 8192 + 8191, 1));
  EXPECT_FALSE(fb->LockRange(ra, 1));
  a.Unlock(9);
  EXPECT_TRUE(fb->LockRange(kTables + 9 * 8192, 8192));
}

TEST_P(DbLockMgr, OneByteRegionsAndAddresses) {
  auto fa = OpenShared(*fs_, path_), fb = OpenShared(*fs_, path_);
  TLinuxLockMgr a(fa.get(), 0x2000000, 1, 2, 1, "rec", "rec", 1);
  TLinuxLockMgr b(fb.get(), 0x2000000, 1, 2, 1, "rec", "rec", 2);
  EXPECT_EQ(a.AddressOf(0x12345), 0x2000000 + 0x12345);
  EXPECT_EQ(a.SetWriteLock(0x12345), ltWrite);
  EXPECT_EQ(a.Locks().Parts(0x12345)[0].address, 0x2012345);
  EXPECT_EQ(ErrorTextOf([&] { b.SetWriteLock(0x12345); }), "rec");
  EXPECT_EQ(b.SetWriteLock(0x12346), ltWrite);
  // Closing another handle of the same file leaves a's lock in place.
  OpenShared(*fs_, path_).reset();
  EXPECT_EQ(ErrorCodeOf([&] { b.SetReadLock(0x12345); }), ZUZ_ERR_LOCK_TIMEOUT);
  fa.reset();  // locks end with their handle
  EXPECT_EQ(b.SetWriteLock(0x12345), ltWrite);
}

INSTANTIATE_TEST_SUITE_P(Files, DbLockMgr, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Posix" : "Memory"; });

// The database file and the lock file beside it, in memory.
struct TLockDb {
  TMemoryFileSystem fs;
  std::vector<std::unique_ptr<TZuzOSFile>> dbFiles;

  TLockDb() {
    TDiskMgr disk(fs);
    disk.FileName = kDbPath;
    disk.CreateNewFile(false);
  }
  std::unique_ptr<TDBUserMonitor> Monitor(const std::string& user,
                                          const std::string& computer = "pc") {
    dbFiles.push_back(OpenShared(fs, kDbPath));
    auto m = std::make_unique<TDBUserMonitor>(fs, "/mem/test.lck", dbFiles.back().get());
    m->SetLockFileAttempts(3, 1);
    m->Open(user, computer);
    return m;
  }
  std::vector<uint8_t> LockFile() {
    return fs.Contents("/mem/test.lck").value_or(std::vector<uint8_t>{});
  }
  std::string SlotText(int k) {
    auto f = LockFile();
    std::string s(reinterpret_cast<const char*>(f.data()) + 4096 + 4096 * k);
    return s;
  }
};

TEST(DbUserMonitor, SlotsPresenceAndTheLastProgramDeletesTheFile) {
  TLockDb db;
  auto a = db.Monitor("anna");
  EXPECT_EQ(db.LockFile().size(), 8192u);
  EXPECT_EQ(db.SlotText(0), "pc\r\nanna\r\n");
  EXPECT_EQ(a->SlotOffset(), 4096);
  EXPECT_EQ(a->PresenceAddress(), 4096 + 0x400000);
  auto a2 = db.Monitor("ANNA", "PC");  // the same slot, compared without case
  EXPECT_EQ(a2->SlotOffset(), 4096);
  EXPECT_EQ(a2->PresenceAddress(), 4096 + 0x400000 + 1);
  auto b = db.Monitor("bert");
  EXPECT_EQ(b->SlotOffset(), 8192);
  EXPECT_EQ(db.SlotText(1), "pc\r\nbert\r\n");
  a->Close();
  EXPECT_EQ(db.SlotText(0), "pc\r\nanna\r\n");  // anna is still connected through a2
  a2->Close();
  EXPECT_EQ(db.SlotText(0), "");
  auto c = db.Monitor("carl");  // takes the first free slot
  EXPECT_EQ(c->SlotOffset(), 4096);
  c->Close();
  EXPECT_TRUE(db.fs.Exists("/mem/test.lck"));
  EXPECT_FALSE(c->DeletedAtClose());
  b->Close();
  EXPECT_TRUE(b->DeletedAtClose());
  EXPECT_FALSE(db.fs.Exists("/mem/test.lck"));
}

TEST(DbUserMonitor, StaleSlotsAreClearedAndLimitsHold) {
  TLockDb db;
  auto a = db.Monitor("anna");
  // A program that ended without closing: its slot stays, nobody holds its presence range.
  {
    auto f = OpenShared(db.fs, "/mem/test.lck");
    std::string ghost = "pc\r\nghost\r\n";
    f->WriteAt(8192, ghost.data(), static_cast<int64_t>(ghost.size()));
    std::vector<uint8_t> zeros(4096 - ghost.size(), 0);
    f->WriteAt(8192 + static_cast<int64_t>(ghost.size()), zeros.data(),
               static_cast<int64_t>(zeros.size()));
  }
  auto b = db.Monitor("bert");
  EXPECT_EQ(b->SlotOffset(), 12288);
  b->Close();  // clears the ghost's slot, keeps the file for anna
  EXPECT_EQ(db.SlotText(1), "");
  EXPECT_TRUE(db.fs.Exists("/mem/test.lck"));
  // The mutex held by another program: the open gives up after its attempts.
  auto holder = OpenShared(db.fs, "/mem/test.lck");
  ASSERT_TRUE(holder->LockRange(0, 1));
  try {
    db.Monitor("carl");
    ADD_FAILURE();
  } catch (const EZuzDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ZUZ_ERR_LOCK_TIMEOUT);
    EXPECT_EQ(e.Caller(), "TDBUserMonitor.InternalSetLock");
    EXPECT_EQ(e.CustomMessage(), "A lock could not be obtained on the lock file");
  }
  holder->UnlockRange(0, 1);
  a->Close();
  EXPECT_FALSE(db.fs.Exists("/mem/test.lck"));
  // A lock file beyond 0x3FFFFF bytes is refused.
  std::vector<uint8_t> big(0x400000, 0);
  db.fs.SetContents("/mem/test.lck", big);
  EXPECT_EQ(ErrorCodeOf([&] { db.Monitor("dora"); }), ZUZ_ERR_TOO_MANY_CLIENTS);
  // A deletion mark left by a program that stopped before deleting the file: cleared in the end.
  {
    std::vector<uint8_t> marked(4096, 0);
    marked[1] = 1;
    db.fs.SetContents("/mem/test.lck", marked);
    auto e = db.Monitor("erik");
    EXPECT_EQ(db.LockFile()[1], 0);
    EXPECT_EQ(db.SlotText(0), "pc\r\nerik\r\n");
  }
  EXPECT_FALSE(db.fs.Exists("/mem/test.lck"));
  // The last slot below the presence ranges is the last one a file can get.
  big.resize(0x400000 - 4096);
  for (size_t s = 4096; s < big.size(); s += 4096) big[s] = 'x';
  db.fs.SetContents("/mem/test.lck", big);
  auto dora = db.Monitor("dora");
  EXPECT_EQ(dora->SlotOffset(), 0x400000 - 4096);
  EXPECT_EQ(ErrorTextOf([&] { db.Monitor("emil"); }), "The lock file has grown too large");
}

// Two programs on one database in memory, with short lock waits.
struct TTwoPrograms {
  TMemoryFileSystem fs;
  std::unique_ptr<TDiskMgr> a, b;
  TTwoPrograms() {
    TDiskMgr create(fs);
    create.FileName = kDbPath;
    create.CreateNewFile(false);
    create.Close();
    a = Open("ann");
    b = Open("bob");
  }
  // An empty user registers under the system's names.
  std::unique_ptr<TDiskMgr> Open(const std::string& user) {
    auto d = std::make_unique<TDiskMgr>(fs);
    d->SetLockProvider(std::make_unique<TMultiUserLockProvider>());
    d->LockUserName = user;
    d->LockComputerName = user.empty() ? "" : "pc";
    d->FileName = kDbPath;
    d->LockRetryCount = 3;
    d->LockRetryInterval = 2;
    d->Open();
    return d;
  }
};

TEST(DbDiskLocks, TableLocksBetweenPrograms) {
  TTwoPrograms p;
  // A request that gives up names the other programs connected.
  auto c = p.Open("cy");
  ASSERT_NE(p.a->LockProvider(), nullptr);
  EXPECT_EQ(p.a->LockTable(5, ltRead), ltRead);
  EXPECT_EQ(p.b->LockTable(5, ltRead), ltRead);
  EXPECT_EQ(ErrorTextOf([&] { c->LockTable(5, ltWrite); }),
            "A write lock could not be obtained on the table; the plan is in use by ann on pc, "
            "bob on pc");
  p.a->UnlockTable(5);
  p.b->UnlockTable(5);
  EXPECT_EQ(c->LockTable(5, ltWrite), ltWrite);
  EXPECT_EQ(ErrorTextOf([&] { p.a->LockTable(5, ltRead); }),
            "A read lock could not be obtained on the table; the plan is in use by bob on pc, "
            "cy on pc");
  c->UnlockTable(5);
  EXPECT_EQ(p.a->LockRecord(0x9000, 5), ltWrite);
  c.reset();
  EXPECT_EQ(ErrorTextOf([&] { p.b->LockRecord(0x9000, 5); }),
            "A lock could not be obtained on the record; the plan is in use by ann on pc");
  p.a->UnlockRecord(0x9000);
  EXPECT_EQ(p.b->LockRecord(0x9000, 5), ltWrite);
  // The header lock is table lock 0: a writer of the map waits for readers of the header.
  p.a->LockHeaderRead();
  EXPECT_EQ(ErrorCodeOf([&] { p.b->AllocatePages(3, ioEncNone, nullptr, 1, usRecord); }),
            ZUZ_ERR_LOCK_TIMEOUT);
  p.a->UnlockHeader();
  EXPECT_NO_THROW(p.b->AllocatePages(3, ioEncNone, nullptr, 1, usRecord));
}

TEST(DbDiskLocks, TransactionsAndCommit) {
  TTwoPrograms p;
  p.a->StartTransaction();
  EXPECT_EQ(p.a->LockTable(7, ltWrite), ltRead);  // a write waits for the commit
  uint8_t bytes[16];
  p.a->ReadData(4096, sizeof bytes, bytes, 0, 0);
  p.a->WriteData(4096, sizeof bytes, bytes, 0, 0);  // the transaction changes the file
  // Outside a transaction another program may still read the table, but not write it.
  EXPECT_EQ(p.b->LockTable(7, ltRead), ltRead);
  p.b->UnlockTable(7);
  EXPECT_EQ(ErrorCodeOf([&] { p.b->LockTable(7, ltWrite); }), ZUZ_ERR_LOCK_TIMEOUT);
  // A second transaction on the table waits for the transaction lock: 20 tries 80-119 ms apart.
  p.b->StartTransaction();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorTextOf([&] { p.b->LockTable(7, ltWrite); }),
            "A transaction lock could not be obtained; the plan is in use by ann on pc");
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(19 * 80));
  EXPECT_EQ(p.b->LockTable(8, ltWrite), ltRead);  // other tables are free
  p.b->Rollback();
  // The commit waits for other programs' readers of the tables it changed.
  EXPECT_EQ(p.b->LockTable(7, ltRead), ltRead);
  EXPECT_EQ(ErrorTextOf([&] { p.a->Commit(); }),
            "A write lock could not be obtained on the table; the plan is in use by bob on pc");
  EXPECT_TRUE(p.a->InTransaction());
  p.b->UnlockTable(7);
  p.a->Commit();
  EXPECT_EQ(p.b->LockTable(7, ltWrite), ltWrite);  // everything was released
  // A transaction that changed nothing has nothing to wait for at its commit.
  p.b->UnlockTable(7);
  p.a->StartTransaction();
  EXPECT_EQ(p.a->LockTable(7, ltWrite), ltRead);
  EXPECT_EQ(p.b->LockTable(7, ltRead), ltRead);
  EXPECT_NO_THROW(p.a->Commit());
  EXPECT_FALSE(p.a->InTransaction());
  p.b->UnlockTable(7);
}

TEST(DbDiskLocks, RollbackDoesNotWaitForAnotherProgramsHeaderLock) {
  TTwoPrograms p;
  p.a->StartTransaction();
  p.a->AllocatePages(3, ioEncNone, nullptr, 1, usRecord);  // holds the header write lock
  p.b->StartTransaction();
  EXPECT_EQ(p.b->LockTable(4, ltWrite), ltRead);
  EXPECT_NO_THROW(p.b->Rollback());
  EXPECT_EQ(p.b->LockTable(4, ltWrite), ltWrite);
  p.a->Commit();
  p.b->LockHeaderRead();
  EXPECT_EQ(p.b->GlobalHdr().Item(ghMapPageCount), 1u);
  p.b->UnlockHeader();
}

TEST(DbDiskLocks, ReadOnlyFileTakesNoLocks) {
  TMemoryFileSystem fs;
  {
    TDiskMgr create(fs);
    create.FileName = kDbPath;
    create.CreateNewFile(false);
  }
  fs.SetReadOnly(kDbPath, true);
  TDiskMgr a(fs), b(fs);
  for (TDiskMgr* d : {&a, &b}) {
    d->SetLockProvider(std::make_unique<TMultiUserLockProvider>());
    d->FileName = kDbPath;
    d->ReadOnly = true;
    d->Open();
    EXPECT_FALSE(d->LockingActive());
    EXPECT_EQ(d->LockTable(5, ltWrite), ltNone);
  }
  EXPECT_FALSE(fs.Exists("/mem/test.lck"));
}

TEST(DbDiskLocks, DatabaseOpenRegisterAndLeaveTheLockFile) {
  TTwoPrograms p;
  EXPECT_TRUE(p.fs.Exists("/mem/test.lck"));
  auto* locks = dynamic_cast<TMultiUserLockProvider*>(p.a->LockProvider());
  ASSERT_NE(locks, nullptr);
  {
    auto own = p.Open("");
    EXPECT_EQ(dynamic_cast<TMultiUserLockProvider*>(own->LockProvider())->Monitor()->SlotText(),
              ComputerName() + "\r\n" + LoginUserName() + "\r\n");
  }
  EXPECT_EQ(locks->Transactions()->RetryCount(), 20);
  EXPECT_GE(locks->Transactions()->RetryInterval(), 80);
  EXPECT_LT(locks->Transactions()->RetryInterval(), 120);
  EXPECT_EQ(locks->Tables()->RetryCount(), 3);
  p.a->Close();
  EXPECT_TRUE(p.fs.Exists("/mem/test.lck"));
  p.b->Close();
  EXPECT_FALSE(p.fs.Exists("/mem/test.lck"));
  // Lock requests after the lock file was closed.
  EXPECT_EQ(ErrorCodeOf([&] { locks->LockTableId(1, ltRead); }), ZUZ_ERR_OPEN_FILE);
  EXPECT_EQ(ErrorTextOf([&] { locks->LockTableId(1, ltWrite); }), "File handle is invalid");
  EXPECT_EQ(ErrorCodeOf([&] { locks->UnlockRecordAt(1); }), ZUZ_ERR_IO);
}

}  // namespace
}  // namespace zuz::test
