// Transactions, encryption, the page cache, the operating-system files and the engine's errors.
#include <algorithm>
#include <cstring>
#include <string>

#include "db/storage/zuzCrypt.h"
#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzLogger.h"
#include "db/storage/zuzPosixFile.h"
#include "db/storage/zuzTableHeaderMgr.h"
#include "tests/db/dbTestUtil.h"

namespace zuz::test {
namespace {

constexpr int64_t P = 4096;

std::vector<uint8_t> Pattern(std::size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
  return v;
}

TEST(DbTransaction, NothingReachesTheFileBeforeCommit) {
  TMemDb db;
  int64_t kept = db.disk->AllocatePages(3, ioEncNone, nullptr, 2, usRecord);
  const std::vector<uint8_t> before = db.Bytes();
  db.disk->StartTransaction();
  std::vector<uint8_t> data = Pattern(2 * P, 1);
  int64_t fresh = db.disk->AllocatePages(3, ioEncNone, data.data(), 2, usRecord);
  EXPECT_EQ(fresh, static_cast<int64_t>(before.size()));  // past the physical end
  db.disk->WriteData(kept + 100, 50, data.data(), ioEncNone, 3);
  db.disk->WriteData(kept + P + 8, 20, data.data(), 0, 0);  // uncached
  int64_t group = db.disk->AllocatePages(4, 0, nullptr, 1, usSystem);
  db.disk->FreePages(kept, 1);
  EXPECT_EQ(db.Bytes(), before);
  // The transaction reads its own changes, cached and uncached alike.
  std::vector<uint8_t> back(2 * P);
  db.disk->ReadData(fresh, 2 * P, back.data(), ioEncNone, 3);
  EXPECT_EQ(back, data);
  uint8_t small[20];
  db.disk->ReadData(kept + P + 8, 20, small, 0, 0);
  EXPECT_EQ(std::memcmp(small, data.data(), 20), 0);
  db.disk->ReadData(kept, 20, small, 0, 0);
  EXPECT_EQ(small[0], 0);
  db.disk->Commit();
  std::vector<uint8_t> after = db.Bytes();
  EXPECT_EQ(after.size(), static_cast<size_t>(group + P));
  EXPECT_EQ(std::memcmp(after.data() + fresh, data.data(), 2 * P), 0);
  EXPECT_EQ(std::memcmp(after.data() + kept + P + 8, data.data(), 20), 0);
  EXPECT_EQ(after[kept + 100], 0);  // the freed page was zero-filled after its write
  EXPECT_EQ(db.disk->MapMgr().EntryOf(fresh), 3 * 16 + 9);
}

TEST(DbTransaction, RollbackRestoresFileAndHeader) {
  TMemDb db;
  db.disk->AllocatePages(3, ioEncNone, nullptr, 3, usRecord);
  const std::vector<uint8_t> before = db.Bytes();
  db.disk->LockHeaderRead();
  const std::vector<uint8_t> header(db.disk->GlobalHdr().Data(), db.disk->GlobalHdr().Data() + 128);
  db.disk->UnlockHeader();
  {
    TZuzTransaction t(*db.disk);
    db.disk->AllocatePages(3, ioEncNone, nullptr, 2100, usRecord);  // adds a map page
    db.disk->FreePages(7 * P, 1);
    db.disk->LockHeaderWrite();
    EXPECT_EQ(db.disk->GlobalHdr().Item(ghMapPageCount), 2u);
    db.disk->UnlockHeader();
    // The guard rolls back here.
  }
  EXPECT_FALSE(db.disk->InTransaction());
  EXPECT_EQ(db.Bytes(), before);
  EXPECT_EQ(std::memcmp(db.disk->GlobalHdr().Data(), header.data(), 128), 0);
  EXPECT_FALSE(db.disk->GlobalHdr().Dirty());
  // Everything allocated afterwards starts from the committed state.
  EXPECT_EQ(db.disk->AllocatePages(3, ioEncNone, nullptr, 1, usRecord),
            static_cast<int64_t>(before.size()));
  try {
    db.disk->Rollback();
    FAIL();
  } catch (const EZuzDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ZUZ_ERR_NO_TRANSACTION);
    EXPECT_EQ(e.Caller(), "TZuzFile.Rollback");
  }
  EXPECT_EQ(ErrorCodeOf([&] { db.disk->Commit(); }), ZUZ_ERR_NO_TRANSACTION);
  db.disk->StartTransaction();
  EXPECT_EQ(ErrorCodeOf([&] { db.disk->StartTransaction(); }), ZUZ_ERR_TRANSACTION_ACTIVE);
  db.disk->Rollback();
  EXPECT_EQ(ErrorCodeOf([&] { db.disk->Rollback(); }), ZUZ_ERR_NO_TRANSACTION);
}

TEST(DbTransaction, PagesFreedAndReusedInOneTransactionKeepTheNewData) {
  TMemDb db;
  int64_t a = db.disk->AllocatePages(3, ioEncNone, nullptr, 1, usRecord);
  int64_t b = db.disk->AllocatePages(3, ioEncNone, nullptr, 1, usRecord);
  TZuzTransaction t(*db.disk);
  db.disk->FreePages(a, 1);  // zero-fills held for commit
  db.disk->FreePages(b, 1);
  std::vector<uint8_t> data = Pattern(P, 9);
  EXPECT_EQ(db.disk->AllocatePages(5, ioEncStrong, data.data(), 1, usBlob), a);
  EXPECT_EQ(db.disk->AllocatePages(6, ioEncNone, data.data(), 1, usBlob), b);
  // On the plain page: an uncached write, then a cached write over part of it.
  db.disk->WriteData(b + 10, 4, "WXYZ", 0, 0);
  db.disk->WriteData(b + 12, 2, "!!", ioEncNone, 6);
  t.Commit();
  db.disk->File().InvalidateRange(a, 2 * P);
  std::vector<uint8_t> back(P);
  db.disk->ReadData(a, P, back.data(), ioEncStrong, 5);
  EXPECT_EQ(back, data);
  db.disk->ReadData(b, P, back.data(), ioEncNone, 6);
  EXPECT_EQ(std::memcmp(back.data(), data.data(), 10), 0);
  EXPECT_EQ(std::string(back.begin() + 10, back.begin() + 14), "WX!!");
  EXPECT_EQ(std::memcmp(back.data() + 14, data.data() + 14, P - 14), 0);
}

TEST(DbTransaction, FreeingOneUsageKeepsTheTablesOtherChanges) {
  TMemDb db;
  int64_t rec = db.disk->AllocatePages(3, ioEncNone, nullptr, 1, usRecord);
  db.disk->AllocatePages(3, ioEncNone, nullptr, 1, usBlob);
  TZuzTransaction t(*db.disk);
  db.disk->WriteData(rec, 5, "alive", ioEncNone, 3);
  db.disk->FreeTablePages(3, usBlob, true);
  t.Commit();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(db.Bytes().data() + rec), 5), "alive");
}

TEST(DbTransaction, SeveralTableHeadersInOneTransaction) {
  TMemDb db;
  TTableHeaderMgr users(*db.disk, false);
  users.Open();
  TZuzTransaction t(*db.disk);
  uint32_t a = users.AddTable(1), b = users.AddTable(2), c = users.AddTable(3);
  users.DeleteTable(b);
  t.Commit();
  users.Close();
  db.Reopen();
  users.Open();
  EXPECT_EQ(users.OpenTable(a).DWord(thIndexCount), 1u);
  EXPECT_EQ(users.OpenTable(c).DWord(thIndexCount), 3u);
  EXPECT_EQ(users.ReadMap().size(), 2u);
}

TEST(DbTransaction, CommitUpgradesAndReleasesLocks) {
  TMemDb db(false);
  auto provider = std::make_unique<TGrantAllLockProvider>();
  TGrantAllLockProvider* locks = provider.get();
  db.disk->SetLockProvider(std::move(provider));
  db.disk->CreateNewFile(false);
  db.disk->Close();
  db.disk->Open();
  db.disk->StartTransaction();
  EXPECT_EQ(db.disk->LockTable(7, ltWrite), ltRead);  // writes wait for the commit
  EXPECT_EQ(locks->TransactionLocks().count(7), 1u);
  db.disk->LockRecord(0x9000, 7);
  db.disk->UnlockTable(7);  // held until the transaction ends
  db.disk->AllocatePages(7, ioEncNone, nullptr, 1, usRecord);
  EXPECT_EQ(locks->TableLockHeld(0), ltWrite);  // the header lock stays held too
  db.disk->Commit();
  EXPECT_TRUE(locks->TableLocks().empty());
  EXPECT_TRUE(locks->RecordLocks().empty());
  EXPECT_TRUE(locks->TransactionLocks().empty());
  db.disk->StartTransaction(true);
  db.disk->LockTable(8, ltRead);
  EXPECT_TRUE(locks->TransactionLocks().empty());
  db.disk->Rollback();
  EXPECT_TRUE(locks->TableLocks().empty());
}

TEST(DbCrypt, XorStepsThroughTheKeyByTableId) {
  const auto& key = BuiltInXorKey();
  EXPECT_EQ(key[70], 0);
  for (int i = 0; i < 70; ++i) EXPECT_TRUE(key[i] >= 0x20 && key[i] < 0x7F);
  for (uint32_t table : {4u, 1024u, 0x64u}) {
    std::vector<uint8_t> page(P, 0);
    XorCryptBuffer(page.data(), P, key.data(), kXorKeyLength, table);
    const int step = static_cast<int>((table & 0x64) | 1);
    int j = 0;
    for (int i = 0; i < 300; ++i) {
      ASSERT_EQ(page[i], key[j]) << "table " << table << " byte " << i;
      j = (j + step) % kXorKeyLength;
    }
  }
  EXPECT_EQ(((4 & 0x64) | 1), 5);
  EXPECT_EQ(((1024 & 0x64) | 1), 1);
  // Through the file: a page of table 4 holds the key stream in the file, plaintext in memory.
  TMemDb db;
  std::vector<uint8_t> zeros(P, 0);
  int64_t a = db.disk->AllocatePages(4, ioEncWeak, zeros.data(), 1, usRecord);
  std::vector<uint8_t> f = db.Bytes();
  EXPECT_EQ(f[a], key[0]);
  EXPECT_EQ(f[a + 1], key[5]);
  EXPECT_EQ(f[a + 15], key[(15 * 5) % 71]);
  std::vector<uint8_t> back(P, 1);
  db.disk->File().InvalidateRange(a, P);
  db.disk->ReadData(a, P, back.data(), ioEncWeak, 4);
  EXPECT_EQ(back, zeros);
}

TEST(DbCrypt, BlowfishMatchesPublishedVectorsForShortKeys) {
  // Eric Young's variable-key vectors: the key F0 E1 D2 C3 B4 A5 96 87 cut to n bytes,
  // plaintext FE DC BA 98 76 54 32 10.
  const uint8_t key[] = {0xF0, 0xE1, 0xD2, 0xC3, 0xB4, 0xA5, 0x96, 0x87};
  const uint8_t plain[8] = {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
  const char* expected[] = {"BE1E639408640F05", "B39E44481BDB1E6E", "9457AA83B1928C0D",
                            "8BB77032F960629D", "E87A244E2CC85E82"};
  for (int n = 4; n <= 8; ++n) {
    TZuzBlowfish bf(key, static_cast<std::size_t>(n));
    uint8_t out[8];
    bf.EncryptBlock(plain, out);
    char hex[17];
    for (int i = 0; i < 8; ++i) std::snprintf(hex + 2 * i, 3, "%02X", out[i]);
    EXPECT_STREQ(hex, expected[n - 4]) << "key length " << n;
  }
  // Blowfish cycles the key: a 4-byte key has the schedule of the same bytes repeated.
  TZuzBlowfish four(reinterpret_cast<const uint8_t*>("abcd"), 4);
  TZuzBlowfish eight(reinterpret_cast<const uint8_t*>("abcdabcdabcd"), 12);
  uint8_t o1[8], o2[8];
  four.EncryptBlock(plain, o1);
  eight.EncryptBlock(plain, o2);
  EXPECT_EQ(std::memcmp(o1, o2, 8), 0);
}

TEST(DbCrypt, CfbRoundTripAndPerPageReset) {
  const std::string key = "a master key";
  TZuzBlowfish bf(reinterpret_cast<const uint8_t*>(key.data()), key.size());
  uint8_t ones[8];
  std::memset(ones, 0xFF, 8);
  uint8_t iv[8];
  bf.EncryptBlock(ones, iv);
  EXPECT_EQ(std::memcmp(iv, bf.InitialVector().data(), 8), 0);
  std::vector<uint8_t> data = Pattern(P, 3), enc = data;
  bf.EncryptBuffer(enc.data(), enc.size());
  // First byte: the data byte XOR the first byte of the encrypted initial vector.
  uint8_t first[8];
  bf.EncryptBlock(iv, first);
  EXPECT_EQ(enc[0], data[0] ^ first[0]);
  std::vector<uint8_t> again = data;
  bf.EncryptBuffer(again.data(), again.size());
  EXPECT_EQ(again, enc);  // the register starts over for every buffer
  bf.DecryptBuffer(enc.data(), enc.size());
  EXPECT_EQ(enc, data);
  // Keys beyond 56 bytes count with their first 56 bytes only, and still encrypt.
  std::string longKey(80, 'k');
  longKey[60] = 'x';
  TZuzBlowfish a(reinterpret_cast<const uint8_t*>(longKey.data()), longKey.size());
  TZuzBlowfish b(reinterpret_cast<const uint8_t*>(longKey.data()), 56);
  std::vector<uint8_t> x = data, y = data;
  a.EncryptBuffer(x.data(), x.size());
  b.EncryptBuffer(y.data(), y.size());
  EXPECT_EQ(x, y);
  EXPECT_NE(x, data);
}

TEST(DbCrypt, NoPlaintextOfAWrittenPageInAnEncryptedFile) {
  const std::string secret = "Confidential project plan: Phoenix rollout";
  for (uint32_t flags : {ioEncWeak, ioEncStrong}) {
    for (const std::string& masterKey :
         {std::string(), std::string("pw12"), std::string(70, 'L')}) {
      TMemDb db;
      db.disk->SetMasterKey(masterKey);
      std::vector<uint8_t> page(3 * P, 0);
      for (std::size_t at = 0; at + secret.size() < page.size(); at += 500) {
        std::memcpy(page.data() + at, secret.data(), secret.size());
      }
      {
        TZuzTransaction t(*db.disk);
        db.disk->AllocatePages(12, flags, page.data(), 3, usRecord);
        t.Commit();
      }
      int64_t b = db.disk->AllocatePages(12, flags, page.data(), 3, usRecord);  // write-through
      std::vector<uint8_t> f = db.Bytes();
      auto found = std::search(f.begin(), f.end(), secret.begin(), secret.begin() + 12);
      EXPECT_EQ(found, f.end()) << "flags " << flags << " key length " << masterKey.size();
      db.Reopen();
      db.disk->SetMasterKey(masterKey);
      std::vector<uint8_t> back(3 * P);
      db.disk->ReadPages(b, 3, back.data(), flags, 12);
      EXPECT_EQ(back, page);
      if (flags == ioEncStrong) {
        db.Reopen();
        db.disk->SetMasterKey("?" + masterKey);  // (a suffix beyond 56 bytes would not count)
        db.disk->ReadPages(b, 3, back.data(), flags, 12);
        EXPECT_NE(back, page);
      }
    }
  }
}

TEST(DbCrypt, XorKeyOnlyWhileClosed) {
  TMemoryFileSystem fs;
  TZuzFile file(fs);
  uint8_t key[3] = {1, 2, 3};
  file.SetXORKeyBuf(key, 3);
  std::string error;
  ASSERT_TRUE(file.CreateZuzFile("/mem/x", false, &error));
  EXPECT_EQ(ErrorTextOf([&] { file.SetXORKeyBuf(key, 3); }),
            "Cannot set Crypt key on an opened file");
}

TEST(DbCache, WriteThroughOutsideTransactionsAndLimits) {
  TMemDb db;
  EXPECT_EQ(db.disk->File().Cache().Capacity(), 50);
  int64_t a = db.disk->AllocatePages(3, ioEncNone, nullptr, 4, usRecord);
  db.disk->WriteData(a + 5, 3, "abc", ioEncNone, 3);
  EXPECT_EQ(db.Bytes()[a + 6], 'b');
  const uint8_t* ref = db.disk->ReadBlockByRef(a + 5, 3, ioEncNone, 3);
  EXPECT_EQ(ref[2], 'c');
  db.disk->WriteBlockByRef(a + 5, 3, ioEncNone, 3, [](uint8_t* p) { p[0] = 'X'; });
  EXPECT_EQ(db.Bytes()[a + 5], 'X');
  EXPECT_EQ(ErrorTextOf([&] { db.disk->ReadBlockByRef(a + P - 2, 4, ioEncNone, 3); }),
            "ReadCacheByRef failed");
  EXPECT_EQ(ErrorCodeOf([&] { db.disk->ReadBlockByRef(a, 4, 0, 3); }), ZUZ_ERR_INTERNAL);
  // Dirty pages are never evicted: the cache grows past its capacity inside a transaction.
  TZuzTransaction t(*db.disk);
  std::vector<uint8_t> data = Pattern(120 * P, 5);
  int64_t big = db.disk->AllocatePages(3, ioEncNone, data.data(), 120, usRecord);
  EXPECT_GE(db.disk->File().Cache().PageCount(), 120);
  t.Commit();
  EXPECT_EQ(std::memcmp(db.Bytes().data() + big, data.data(), data.size()), 0);
  // The cache is sized from the file at open: a quarter of the pages, 50 to 1000.
  db.disk->AllocatePages(3, ioEncNone, nullptr, 400, usRecord);
  db.Reopen();
  EXPECT_EQ(db.disk->File().Cache().Capacity(), static_cast<int>(db.Bytes().size() / P / 4));
  // Reading a page past the end of the file is an error, not a crash.
  EXPECT_EQ(ErrorCodeOf([&] {
              uint8_t b[4];
              db.disk->ReadData(db.disk->LogicalEndOfFile(), 4, b, ioEncNone, 3);
            }),
            ZUZ_ERR_READ);
}

TEST(DbCache, ReusesTheLeastRecentlyUsedCleanPageAndNeverADirtyOne) {
  TCacheMgr cache(static_cast<int>(P));
  cache.SetCapacity(3);
  auto load = [&](int64_t address) {
    TCachePage* page = cache.GetNextEmptyPage();
    cache.Enter(page, address, 1, ioEncNone, cpsClean);
    return page;
  };
  TCachePage* a = load(0);
  TCachePage* b = load(P);
  TCachePage* c = load(2 * P);
  cache.Touch(a);  // b is now the least recently used
  EXPECT_EQ(load(3 * P), b);
  EXPECT_EQ(cache.Find(P), nullptr);
  EXPECT_EQ(cache.Find(0), a);
  // A dirty page leaves the use list; when it is written it counts as just used.
  cache.MarkDirty(c);
  EXPECT_EQ(load(4 * P), a);
  TCachePage* d = cache.Find(3 * P);
  ASSERT_NE(d, nullptr);
  cache.MarkClean(c);
  std::vector<const TCachePage*> order = cache.CleanPagesByUse();
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(order.front(), d);
  EXPECT_EQ(order.back(), c);
  // With only dirty pages at capacity the cache grows.
  for (const TCachePage* p : order) cache.MarkDirty(const_cast<TCachePage*>(p));
  TCachePage* fresh = load(5 * P);
  EXPECT_EQ(cache.PageCount(), 4);
  EXPECT_EQ(cache.CleanPagesByUse(), std::vector<const TCachePage*>{fresh});
  // An invalidated page is reused first.
  cache.Invalidate(a);
  EXPECT_EQ(cache.Find(4 * P), nullptr);
  EXPECT_EQ(load(6 * P), a);
  cache.InvalidateDirty();
  EXPECT_EQ(cache.CleanPagesByUse().size(), 2u);
}

TEST(DbFile, CopyIncludesATailThatIsNotAWholePage) {
  TMemoryFileSystem fs;
  std::vector<uint8_t> data = Pattern(3 * P + 123, 11);
  fs.SetContents("/mem/src", data);
  TZuzFile file(fs);
  file.OpenZuzFile("/mem/src");
  file.CopyZuzFile("/mem/dst");
  EXPECT_EQ(*fs.Contents("/mem/dst"), data);
  TZuzFile closed(fs);
  EXPECT_EQ(ErrorCodeOf([&] { closed.CopyZuzFile("/mem/dst2"); }), ZUZ_ERR_OPEN_FILE);
  // An append past 2 GiB is refused (a sparse file on disk holds the large offset cheaply).
  std::string path = ::testing::TempDir() + "vz_big.bin";
  TZuzFile big(TPosixFileSystem::Instance());
  std::string err;
  ASSERT_TRUE(big.CreateZuzFile(path, true, &err)) << err;
  big.WriteData(0x7FFFF000, 16, data.data(), 0, 0);
  EXPECT_EQ(ErrorCodeOf([&] { big.SeekAndAppendZuzFile(P, data.data(), 0, 0); }),
            ZUZ_ERR_FILE_SIZE_LIMIT);
  big.CloseZuzFile();
  std::remove(path.c_str());
}

// Both file systems honour the same lock rules.
class DbOSFile : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      fs_ = &TPosixFileSystem::Instance();
      path_ = ::testing::TempDir() + "vz_osfile.bin";
      std::remove(path_.c_str());
    } else {
      fs_ = &memory_;
      path_ = "/mem/osfile.bin";
    }
  }
  void TearDown() override {
    if (GetParam()) std::remove(path_.c_str());
  }
  TMemoryFileSystem memory_;
  TZuzFileSystem* fs_ = nullptr;
  std::string path_;
};

TEST_P(DbOSFile, ReadWriteAndByteRangeLocks) {
  std::string error;
  auto a =
      fs_->Open(path_, TZuzAccess::ReadWrite, TZuzShare::DenyNone, TZuzCreate::CreateNew, &error);
  ASSERT_TRUE(a) << error;
  EXPECT_FALSE(
      fs_->Open(path_, TZuzAccess::ReadWrite, TZuzShare::DenyNone, TZuzCreate::CreateNew, &error));
  EXPECT_EQ(a->WriteAt(10, "hello", 5), 5);
  EXPECT_EQ(a->Size(), 15);
  char buf[8] = {};
  EXPECT_EQ(a->ReadAt(12, buf, 8), 3);
  EXPECT_STREQ(buf, "llo");
  auto b =
      fs_->Open(path_, TZuzAccess::ReadOnly, TZuzShare::DenyNone, TZuzCreate::OpenExisting, &error);
  ASSERT_TRUE(b) << error;
  EXPECT_EQ(b->WriteAt(0, "x", 1), -1);  // read-only access
  // Locks are exclusive between handles, allowed beyond the end, and end with the handle.
  EXPECT_TRUE(a->LockRange(0x0FF10000, 1000));
  EXPECT_TRUE(a->LockRange(0x0FF10000, 1000));  // again by the same handle
  EXPECT_FALSE(b->LockRange(0x0FF10000 + 999, 1));
  EXPECT_TRUE(b->LockRange(0x0FF10000 + 1000, 1));
  EXPECT_TRUE(a->UnlockRange(0x0FF10000, 500));
  EXPECT_TRUE(b->LockRange(0x0FF10000, 10));
  EXPECT_FALSE(b->LockRange(0x0FF10000 + 600, 1));
  a.reset();
  EXPECT_TRUE(b->LockRange(0x0FF10000 + 600, 1));
  EXPECT_TRUE(a = fs_->Open(path_, TZuzAccess::ReadWrite, TZuzShare::DenyNone,
                            TZuzCreate::OpenExisting, &error));
  EXPECT_FALSE(a->LockRange(0x0FF10000 + 600, 1));
  // Exclusive opens.
  EXPECT_FALSE(fs_->Open(path_, TZuzAccess::ReadWrite, TZuzShare::Exclusive,
                         TZuzCreate::OpenExisting, &error));
  a.reset();
  b.reset();
  auto only = fs_->Open(path_, TZuzAccess::ReadWrite, TZuzShare::Exclusive,
                        TZuzCreate::OpenExisting, &error);
  ASSERT_TRUE(only);
  EXPECT_FALSE(fs_->Open(path_, TZuzAccess::ReadOnly, TZuzShare::DenyNone, TZuzCreate::OpenExisting,
                         &error));
  EXPECT_FALSE(error.empty());
  // CreateAlways never truncates a file that another handle has open exclusively.
  EXPECT_FALSE(fs_->Open(path_, TZuzAccess::ReadWrite, TZuzShare::DenyNone,
                         TZuzCreate::CreateAlways, &error));
  EXPECT_EQ(only->Size(), 15);
}

INSTANTIATE_TEST_SUITE_P(FileSystems, DbOSFile, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Posix" : "Memory"; });

TEST(DbFile, InjectedFaultsBecomeEngineErrors) {
  TMemoryFileSystem memory;
  TFaultFileSystem fs(memory);
  memory.SetContents("/mem/f", Pattern(4 * P, 1));
  TZuzFile file(fs);
  fs.Arm(TFaultOp::Open, 1);
  EXPECT_EQ(ErrorCodeOf([&] { file.OpenZuzFile("/mem/f"); }), ZUZ_ERR_OPEN_FILE);
  fs.Disarm();
  file.OpenZuzFile("/mem/f");
  std::vector<uint8_t> buf(P);
  fs.Arm(TFaultOp::Read, 2);
  file.ReadData(0, 16, buf.data(), 0, 0);
  EXPECT_EQ(ErrorCodeOf([&] { file.ReadData(0, 16, buf.data(), 0, 0); }), ZUZ_ERR_READ);
  EXPECT_TRUE(fs.Triggered());
  fs.Arm(TFaultOp::Write, 1, TFaultMode::ShortTransfer);
  EXPECT_EQ(ErrorCodeOf([&] { file.WriteData(0, P, buf.data(), 0, 0); }), ZUZ_ERR_WRITE);
  fs.Arm(TFaultOp::Read, 1, TFaultMode::ShortTransfer);
  EXPECT_EQ(ErrorCodeOf([&] { file.ReadData(P, P, buf.data(), ioEncNone, 3); }), ZUZ_ERR_READ);
  EXPECT_EQ(file.Cache().PageCount(), 1);
  file.ReadData(P, P, buf.data(), ioEncNone, 3);  // the failed page was not kept
  fs.Arm(TFaultOp::Sync, 1);
  file.StartTransaction();
  file.WriteData(0, 4, "abcd", 0, 0);
  EXPECT_EQ(ErrorCodeOf([&] { file.Commit(); }), ZUZ_ERR_WRITE);
  EXPECT_TRUE(file.InTransaction());  // the caller rolls back
  file.Rollback();
}

TEST(DbError, MessagesAndTheCodeTable) {
  EXPECT_EQ(ErrorCodeTableSize(), 317);
  EXPECT_EQ(LookupErrorCode(1).code, ZUZ_ERR_UNKNOWN);
  EXPECT_STREQ(LookupErrorCode(1).text, "Error code unknown");
  EXPECT_STREQ(LookupErrorCode(ZUZ_ERR_NO_TRANSACTION).text, "There are no active transactions");
  EXPECT_STREQ(LookupErrorCode(ZUZ_ERR_TABLE_EXISTS).text, "Table already exists");
  EXPECT_STREQ(LookupErrorCode(ZUZ_ERR_OPEN_FILE).text, "Cannot open the requested file");
  EXPECT_EQ(LookupErrorCode(9999).code, 9999);  // a reserved code is in the table
  EXPECT_EQ(LookupErrorCode(-5).code, ZUZ_ERR_UNKNOWN);
  TDBLogger::Instance().Clear();
  try {
    ZuzDatabaseError(1, "TZuzDataBase.CopyDatabase", "/tmp/x.zuz", "TZuzDataBase");
  } catch (const EZuzDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), 1);
    EXPECT_EQ(e.TableText(), "Error code unknown");
    EXPECT_STREQ(e.what(),
                 "The Zezad database engine raised an error\r\n Error code unknown "
                 "(error code #1) - /tmp/x.zuz");
  }
  auto lines = TDBLogger::Instance().Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("TZuzDataBase.CopyDatabase : Exception:  Caller         TZuzDataBase "
                          "ErrCode 65535 [ErrContext Error code unknown]. CustomMsg /tmp/x.zuz"),
            std::string::npos)
      << lines[0];
}

TEST(DbError, LogKeepsAtMost501Lines) {
  TDBLogger log;
  for (int i = 0; i < 500; ++i) log.AddLine("n", std::to_string(i));
  log.AddLine("n", "500");
  EXPECT_EQ(log.LineCount(), 501u);
  EXPECT_NE(log.Lines().front().find(": 0"), std::string::npos);
  log.AddLine("n", "501");
  EXPECT_EQ(log.LineCount(), 501u);
  EXPECT_NE(log.Lines().front().find(": 1"), std::string::npos);
  log.IncCounter("ROOTADDRNOTVALID");
  log.IncCounter("ROOTADDRNOTVALID", 4);
  EXPECT_EQ(log.Counter("ROOTADDRNOTVALID"), 5);
  // A table id above 2048 is noted in the program's log, not refused.
  TMemDb db;
  TDBLogger::Instance().Clear();
  uint8_t b[4];
  db.disk->ReadData(0, 4, b, 0, 3000);
  ASSERT_EQ(TDBLogger::Instance().LineCount(), 1u);
  EXPECT_NE(TDBLogger::Instance().Lines()[0].find("Invalid table id"), std::string::npos);
}

}  // namespace
}  // namespace zuz::test
