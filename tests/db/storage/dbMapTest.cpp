// Page allocation through the map, block storage interfaces and table-header maps.
#include <algorithm>

#include "db/storage/zuzIOInterface.h"
#include "db/storage/zuzTableHeaderMgr.h"
#include "tests/db/dbTestUtil.h"

namespace zuz::test {
namespace {

constexpr int64_t P = 4096;

TEST(DbMap, PageRequestSizes) {
  EXPECT_EQ(GetBestPageRequestSize(1500, P), 28672);  // 7 pages, 19 blocks, 172 bytes unused
  EXPECT_EQ(GetBestPageRequestSize(300, P), 4096);    // one page, 13 blocks
  EXPECT_EQ(GetBestPageRequestSize(256, P), 4096);
  EXPECT_EQ(GetBestPageRequestSize(4096, P), 4096);
  EXPECT_EQ(GetBestPageRequestSize(1024, P), 4096);
  EXPECT_EQ(GetBestPageRequestSize(8000, P), 8192);
  EXPECT_EQ(GetBestPageRequestSize(1100, P), 4096);   // 796 bytes left: within a quarter page
  EXPECT_EQ(GetBestPageRequestSize(2100, P), 36864);  // 17 blocks leave 1164, the least in reach
}

TEST(DbMap, AllocationBeyondTheFirstMapPageAddsASecondMapPage) {
  TMemDb db;
  int64_t first = db.disk->AllocatePages(3, ioEncNone, nullptr, 2032, usRecord);
  EXPECT_EQ(first, 6 * P);
  EXPECT_EQ(db.Bytes().size(), 2038u * P);
  int64_t page = db.disk->AllocatePages(3, ioEncNone, nullptr, 1, usRecord);
  EXPECT_EQ(page, 2038 * P);
  std::vector<uint8_t> f = db.Bytes();
  EXPECT_EQ(f.size(), 2040u * P);
  EXPECT_EQ(GetU32(f.data() + 1024 + 24), 2u);        // map page count
  EXPECT_EQ(GetU32(f.data() + 20480 + 4), 2039 * P);  // link from map page 0
  EXPECT_EQ(GetU32(f.data() + 2039 * P), 1u);         // index of the new map page
  EXPECT_EQ(MapEntry(f, 2039 * P, 0), 3 * 16 + 9);    // page 2038
  EXPECT_EQ(MapEntry(f, 2039 * P, 1), 0x0002);        // the map page itself
  EXPECT_EQ(MapEntry(f, 20480, 2037), 3 * 16 + 9);
  // The map survives a reopen and keeps growing from there.
  db.Reopen();
  EXPECT_EQ(db.disk->AllocatePages(4, ioEncNone, nullptr, 2, usBlob), 2040 * P);
  EXPECT_EQ(db.disk->MapMgr().EntryOf(2041 * P), 4 * 16 + 10);
}

TEST(DbMap, FreeChainIsSortedAndReused) {
  TMemDb db;
  db.disk->AllocatePages(2, ioEncNone, nullptr, 20, usRecord);  // pages 6-25
  db.disk->FreePages(10 * P, 1);
  db.disk->FreePages(12 * P, 1);
  db.disk->FreePages(11 * P, 1);
  std::vector<uint8_t> f = db.Bytes();
  const int e10 = 20 + 2 * 10, e11 = e10 + 2, e12 = e10 + 4;
  EXPECT_EQ(GetU16(f.data() + 20480 + 8), e10);  // head, plain offset
  EXPECT_EQ(MapEntry(f, 20480, 10), 0x8000 | e11);
  EXPECT_EQ(MapEntry(f, 20480, 11), 0x8000 | e12);
  EXPECT_EQ(MapEntry(f, 20480, 12), 0x8000);
  EXPECT_EQ(GetU32(f.data() + 1024 + 16), 20480u);
  // A run of three is found; single pages come from the head.
  EXPECT_EQ(db.disk->AllocatePages(2, ioEncNone, nullptr, 3, usRecord), 10 * P);
  EXPECT_EQ(GetU16(db.Bytes().data() + 20480 + 8), 0);
  EXPECT_EQ(GetU32(db.Bytes().data() + 1024 + 16), 0u);  // no map page has free entries now
}

TEST(DbMap, RunSearchKeepsFreeEntriesBeforeTheRun) {
  TMemDb db;
  db.disk->AllocatePages(2, ioEncNone, nullptr, 30, usRecord);  // pages 6-35
  for (int p : {8, 20, 21, 22, 30}) db.disk->FreePages(p * P, 1);
  EXPECT_EQ(db.disk->AllocatePages(2, ioEncNone, nullptr, 3, usRecord), 20 * P);
  // Pages 8 and 30 stay reachable and are handed out next, before the file grows.
  EXPECT_EQ(db.disk->AllocatePages(2, ioEncNone, nullptr, 1, usRecord), 8 * P);
  EXPECT_EQ(db.disk->AllocatePages(2, ioEncNone, nullptr, 1, usRecord), 30 * P);
  EXPECT_EQ(db.disk->AllocatePages(2, ioEncNone, nullptr, 1, usRecord), 36 * P);
  // No run of two exists among 40 and 42: the pair is appended.
  db.disk->FreePages(12 * P, 1);
  db.disk->FreePages(14 * P, 1);
  EXPECT_EQ(db.disk->AllocatePages(2, ioEncNone, nullptr, 2, usRecord), 37 * P);
}

TEST(DbMap, FreedPagesAreZeroFilledAndHintFollowsTheLowestMapPage) {
  TMemDb db;
  db.disk->AllocatePages(5, ioEncNone, nullptr, 2040,
                         usRecord);  // pages 6-2045, map page 2 at 2046
  std::vector<uint8_t> data(P, 0xAB);
  db.disk->WritePages(2045 * P, 1, data.data(), ioEncNone, 5);
  db.disk->FreePages(2045 * P, 1);
  std::vector<uint8_t> f = db.Bytes();
  int64_t map1 = GetU32(f.data() + 20480 + 4);
  EXPECT_EQ(GetU32(f.data() + 1024 + 16), map1);  // only map page 1 has a free entry
  for (int i = 0; i < P; ++i) ASSERT_EQ(f[2045 * P + i], 0);
  db.disk->FreePages(100 * P, 1);
  EXPECT_EQ(GetU32(db.Bytes().data() + 1024 + 16), 20480u);    // the lower map page wins
  db.disk->AllocatePages(5, ioEncNone, nullptr, 1, usRecord);  // takes page 100
  EXPECT_EQ(GetU32(db.Bytes().data() + 1024 + 16), map1);
}

TEST(DbMap, FreeTablePagesByTableOrByUsage) {
  TMemDb db;
  int64_t rec = db.disk->AllocatePages(7, ioEncNone, nullptr, 3, usRecord);
  int64_t blob = db.disk->AllocatePages(7, ioEncNone, nullptr, 2, usBlob);
  int64_t other = db.disk->AllocatePages(8, ioEncNone, nullptr, 1, usRecord);
  db.disk->FreeTablePages(7, usRecord, true);
  EXPECT_EQ(db.disk->MapMgr().EntryOf(rec) & 0x8000, 0x8000);
  EXPECT_EQ(db.disk->MapMgr().EntryOf(blob), 7 * 16 + 10);
  db.disk->FreeTablePages(7, 0, false);
  EXPECT_EQ(db.disk->MapMgr().EntryOf(blob + P) & 0x8000, 0x8000);
  EXPECT_EQ(db.disk->MapMgr().EntryOf(other), 8 * 16 + 9);
  EXPECT_EQ(db.disk->MapMgr().ListTaggedPages(7 * 16 + 9).size(), 0u);
  // The five freed pages form one sorted chain: a run of five is found at the first of them.
  EXPECT_EQ(db.disk->AllocatePages(9, ioEncNone, nullptr, 5, usRecord), rec);
}

// A page taken from the free chain must be as freeing left it; anything else may be a live page
// the map lost, and it is refused rather than overwritten.
TEST(DbMap, AFreePageThatIsNotEmptyIsRefused) {
  TMemDb db;
  const int64_t a = db.disk->AllocatePages(3, ioEncNone, nullptr, 2, usRecord);
  db.disk->FreePages(a, 2);
  db.Reopen();
  std::vector<uint8_t> bytes = db.Bytes();
  bytes[static_cast<size_t>(a + P + 100)] = 0x5A;
  db.disk->Close();
  db.fs.SetContents(kDbPath, bytes);
  db.disk->Open();
  {
    TZuzTransaction transaction(*db.disk);  // as every change of the tables runs
    EXPECT_EQ(ErrorCodeOf([&] { db.disk->AllocatePages(4, ioEncNone, nullptr, 2, usRecord); }),
              ZUZ_ERR_INTERNAL);
  }
  db.disk->Close();
  const std::vector<uint8_t> after = db.Bytes();
  ASSERT_EQ(after.size(), bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) ASSERT_EQ(after[i], bytes[i]) << "byte " << i;
}

TEST(DbMap, RefusesToFreeWhatNoTableOwns) {
  TMemDb db;
  db.disk->AllocatePages(2, ioEncNone, nullptr, 2, usRecord);
  EXPECT_EQ(ErrorCodeOf([&] { db.disk->FreePages(0, 1); }), ZUZ_ERR_INTERNAL);
  EXPECT_EQ(ErrorCodeOf([&] { db.disk->FreePages(5 * P, 1); }), ZUZ_ERR_INTERNAL);
  EXPECT_EQ(ErrorCodeOf([&] { db.disk->FreePages(100 * P, 1); }),
            ZUZ_ERR_INTERNAL);  // beyond the file
  EXPECT_EQ(ErrorCodeOf([&] { db.disk->FreePages(6 * P + 10, 1); }), ZUZ_ERR_INTERNAL);
  EXPECT_EQ(ErrorCodeOf([&] { db.disk->FreeTablePages(0, 1, true); }), ZUZ_ERR_INTERNAL);
  // Nothing changed: the two pages are still the table's.
  EXPECT_EQ(db.disk->MapMgr().ListTaggedPages(2 * 16 + 9).size(), 2u);
  EXPECT_FALSE(db.disk->HeaderLocked());
}

// A damaged map stops the operation with an error; the header lock is released all the same.
TEST(DbMap, DamagedMapGivesErrorsNotCrashes) {
  TMemDb db;
  db.disk->AllocatePages(2, ioEncNone, nullptr, 10, usRecord);
  db.disk->FreePages(8 * P, 1);
  db.disk->Close();
  const std::vector<uint8_t> good = db.Bytes();
  auto damage = [&](auto&& change) {
    std::vector<uint8_t> f = good;
    change(f);
    db.fs.SetContents(kDbPath, f);
  };
  auto tryAllocate = [&] {
    return ErrorCodeOf([&] {
      db.disk->Open();
      db.disk->AllocatePages(2, ioEncNone, nullptr, 1, usRecord);
    });
  };
  // The free chain's head leads to a page that is in use.
  damage([](auto& f) { PutU16(f.data() + 20480 + 8, 20 + 2 * 7); });
  EXPECT_EQ(tryAllocate(), ZUZ_ERR_INTERNAL);
  EXPECT_FALSE(db.disk->HeaderLocked());
  db.disk->Close();
  // A free entry links outside the page.
  damage([](auto& f) { PutU16(f.data() + 20480 + 20 + 16, 0x8000 | 4095); });
  EXPECT_EQ(tryAllocate(), ZUZ_ERR_INTERNAL);
  db.disk->Close();
  // The free chain loops.
  damage([](auto& f) { PutU16(f.data() + 20480 + 20 + 16, 0x8000 | (20 + 16)); });
  EXPECT_EQ(tryAllocate(), ZUZ_ERR_INTERNAL);
  db.disk->Close();
  // The map page count claims a second map page that the chain lacks.
  damage([](auto& f) {
    PutU32(f.data() + 1024 + 24, 2);
    PutU16(f.data() + 20480 + 8, 0);
  });
  EXPECT_NE(ErrorCodeOf([&] {
              db.disk->Open();
              db.disk->MapMgr().ListTaggedPages(0x29);
            }),
            0);
  db.disk->Close();
  // The first map page address points into the headers.
  damage([](auto& f) { PutU32(f.data() + 1024 + 20, 4096); });
  EXPECT_EQ(ErrorCodeOf([&] { db.disk->Open(); }), ZUZ_ERR_CORRUPT);
}

struct TTableFixture : ::testing::Test {
  TMemDb db;
  TTableHeaderMgr users{*db.disk, false};
  TTableHeaderMgr system{*db.disk, true};
  void SetUp() override {
    users.Open();
    system.Open();
  }
};

TEST_F(TTableFixture, TableIdsAndHeaderBlocks) {
  EXPECT_EQ(system.AddTable(1), 1024u);
  EXPECT_EQ(system.AddTable(1), 1025u);
  EXPECT_EQ(users.AddTable(0), 1u);
  EXPECT_EQ(users.AddTable(2), 2u);
  EXPECT_EQ(users.AddTable(34), 3u);
  auto pairs = users.ReadMap();
  ASSERT_EQ(pairs.size(), 3u);
  // The header blocks share one page of 256-byte blocks.
  EXPECT_EQ(pairs[1].second, pairs[0].second + 256);
  std::vector<uint8_t> f = db.Bytes();
  EXPECT_EQ(GetU32(f.data() + 12288), 1u);
  EXPECT_EQ(GetU32(f.data() + 12288 + 8), 2u);
  EXPECT_EQ(GetU32(f.data() + 4096), 1024u);
  const uint8_t* h = f.data() + pairs[2].second;
  EXPECT_EQ(GetU32(h + 0), 3u);
  EXPECT_EQ(GetU32(h + 8), 256u);
  EXPECT_EQ(GetU32(h + 36), 34u);
  EXPECT_EQ(db.disk->MapMgr().EntryOf(pairs[0].second), 0x0001);
  // Deleting shifts the later pairs down; the freed id is taken again, its block reused.
  users.DeleteTable(2);
  pairs = users.ReadMap();
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[1].first, 3u);
  EXPECT_EQ(GetU32(db.Bytes().data() + 12288 + 16), 0u);
  EXPECT_EQ(users.AddTable(1), 2u);
  EXPECT_EQ(users.ReadMap()[2].second, pairs[0].second + 256);
  EXPECT_EQ(ErrorCodeOf([&] { users.DeleteTable(77); }), ZUZ_ERR_NOT_FOUND);
  EXPECT_EQ(ErrorTextOf([&] { users.OpenTable(77); }), "The TableID could not be found: 77");
}

TEST_F(TTableFixture, HeaderSizingLimitsIndexes) {
  EXPECT_EQ(TTableHeader::HeaderSizeFor(34), 256);
  EXPECT_EQ(TTableHeader::HeaderSizeFor(35), 512);
  EXPECT_EQ(ErrorTextOf([&] { users.AddTable(35); }), "Debug check -  header size <> 256");
  EXPECT_TRUE(users.ReadMap().empty());
}

TEST_F(TTableFixture, SharedHeaderIsWrittenOnLastClose) {
  uint32_t id = users.AddTable(2);
  TTableHeader& a = users.OpenTable(id);
  TTableHeader& b = users.OpenTable(id);
  EXPECT_EQ(&a, &b);
  a.SetDWord(thLastAutoInc, 41);
  a.SetIndexSlot(1, 0x9000, 3);
  users.CloseTable(id);
  int64_t address = a.Address();
  EXPECT_EQ(GetU32(db.Bytes().data() + address + thLastAutoInc), 0u);
  users.CloseTable(id);
  std::vector<uint8_t> f = db.Bytes();
  EXPECT_EQ(GetU32(f.data() + address + thLastAutoInc), 41u);
  EXPECT_EQ(GetU32(f.data() + address + thWriteCounter), 2u);
  EXPECT_EQ(GetU32(f.data() + address + 48 + 6), 0x9000u);
  EXPECT_EQ(GetU16(f.data() + address + 48 + 10), 3u);
  TTableHeader& c = users.OpenTable(id);
  EXPECT_EQ(c.IndexLevels(1), 3u);
  EXPECT_EQ(ErrorTextOf([&] { c.DWord(253); }), "Table header: The offset value is out of range");
  EXPECT_EQ(ErrorCodeOf([&] { c.IndexRoot(34); }), ZUZ_ERR_INTERNAL);
  users.CloseTable(id);
}

TEST_F(TTableFixture, ThousandTablesFillTheMap) {
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(users.AddTable(1), static_cast<uint32_t>(i + 1));
  EXPECT_EQ(ErrorCodeOf([&] { users.AddTable(1); }), ZUZ_ERR_TABLE_LIMIT);
  // The unused tail of the map stays zero.
  std::vector<uint8_t> f = db.Bytes();
  for (int i = 8000; i < 8192; ++i) ASSERT_EQ(f[12288 + i], 0);
}

TEST_F(TTableFixture, DamagedTableHeaderMapAndHeader) {
  uint32_t id = users.AddTable(1);
  int64_t address = users.ReadMap()[0].second;
  std::vector<uint8_t> f = db.Bytes();
  std::vector<uint8_t> bad = f;
  PutU32(bad.data() + 12288 + 4, 0x7FFFFF00);  // header address beyond the file
  db.fs.SetContents(kDbPath, bad);
  EXPECT_EQ(ErrorCodeOf([&] { users.OpenTable(id); }), ZUZ_ERR_CORRUPT);
  bad = f;
  PutU32(bad.data() + address, 99);  // the block names another table
  db.fs.SetContents(kDbPath, bad);
  EXPECT_EQ(ErrorCodeOf([&] { users.OpenTable(id); }), ZUZ_ERR_CORRUPT);
}

struct TBlockFixture : ::testing::Test {
  TMemDb db;
  TTableHeaderMgr users{*db.disk, false};
  TTableHeader* header = nullptr;
  uint32_t id = 0;
  void SetUp() override {
    users.Open();
    id = users.AddTable(1);
    header = &users.OpenTable(id);
  }
  std::unique_ptr<TDiskIOInterface> Records(uint32_t size) {
    auto io = std::make_unique<TDiskIOInterface>(db.disk.get(), size, id, usRecord, ioEncNone);
    io->SetTableFirstEmpty(header, thRecordFirstEmpty);
    io->Open();
    return io;
  }
};

TEST_F(TBlockFixture, GroupsOf1500ByteRecords) {
  auto io = Records(1500);
  std::vector<uint8_t> rec(1500, 1);
  std::vector<int64_t> got;
  for (int i = 0; i < 20; ++i) got.push_back(io->AllocateNewAddress(1500, rec.data()));
  const int64_t g0 = got[0];
  EXPECT_EQ(db.disk->MapMgr().ListTaggedPages(io->OwnerTag()).size(), 14u);
  for (int i = 0; i < 19; ++i) EXPECT_EQ(got[i], g0 + i * 1500);
  EXPECT_EQ(got[19], g0 + 7 * P);
  EXPECT_EQ(io->FirstEmpty(), g0 + 7 * P + 1500);
  // The rest of the second group is one run of 18 free blocks.
  uint8_t run[16];
  db.disk->ReadData(g0 + 7 * P + 1500, 16, run, ioEncNone, id);
  EXPECT_EQ(GetU32(run + 8), 0u);
  EXPECT_EQ(GetU32(run + 12), 18u);
  std::vector<int64_t> listed = io->ListBlocks();
  ASSERT_EQ(listed.size(), 38u);
  EXPECT_EQ(listed[18], g0 + 18 * 1500);
  EXPECT_EQ(listed[19], g0 + 7 * P);
}

TEST_F(TBlockFixture, ReleasedBlocksAreReusedNewestFirst) {
  auto io = Records(300);
  std::vector<int64_t> got;
  std::vector<uint8_t> rec(300, 7);
  for (int i = 0; i < 14; ++i) got.push_back(io->AllocateNewAddress(300, rec.data()));
  EXPECT_EQ(got[13] - got[0], P);  // 13 records per page
  io->ReleaseBlock(got[3], 300);
  io->ReleaseBlock(got[5], 300);
  uint8_t block[300];
  io->ReadBlock(got[5], 300, block);
  EXPECT_EQ(GetU32(block + 8), static_cast<uint32_t>(got[3]));
  EXPECT_EQ(GetU32(block + 12), 1u);
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(block[299], 0);
  EXPECT_EQ(io->AllocateNewAddress(300, rec.data()), got[5]);
  EXPECT_EQ(io->AllocateNewAddress(300, rec.data()), got[3]);
  EXPECT_EQ(io->AllocateNewAddress(300, rec.data()), got[13] + 300);
  // A short block request is padded with zeros; a request above the block size is refused.
  EXPECT_EQ(ErrorTextOf([&] { io->AllocateNewAddress(301, nullptr); }),
            "Block request sizes < block size");
  // Releasing a block that is not this interface's is refused.
  EXPECT_EQ(ErrorCodeOf([&] { io->ReleaseBlock(20480, 300); }), ZUZ_ERR_CORRUPT);
}

TEST_F(TBlockFixture, DamagedFreeListIsDetected) {
  auto io = Records(300);
  int64_t a = io->AllocateNewAddress(300, nullptr);
  // The first-empty address now names a live record.
  header->SetDWord(thRecordFirstEmpty, static_cast<uint32_t>(a));
  std::vector<uint8_t> live(300, 1);
  io->WriteBlock(a, 300, live.data());
  EXPECT_EQ(ErrorCodeOf([&] { io->AllocateNewAddress(300, nullptr); }), ZUZ_ERR_CORRUPT);
  // A first-empty address on a page of another owner is refused too.
  header->SetDWord(thRecordFirstEmpty, 20480);
  EXPECT_EQ(ErrorCodeOf([&] { io->AllocateNewAddress(300, nullptr); }), ZUZ_ERR_CORRUPT);
  // A freed block with bytes beyond its run header is no free block either.
  header->SetDWord(thRecordFirstEmpty, 0);
  const int64_t b = io->AllocateNewAddress(300, nullptr);
  io->ReleaseBlock(b, 300);
  ASSERT_EQ(io->FirstEmpty(), b);
  const uint8_t stray = 7;
  db.disk->WriteData(b + 200, 1, &stray, ioEncNone, id);
  EXPECT_EQ(ErrorCodeOf([&] { io->AllocateNewAddress(300, nullptr); }), ZUZ_ERR_CORRUPT);
}

TEST_F(TBlockFixture, PageSizedBlocksAndEmpty) {
  auto nodes = std::make_unique<TDiskIOInterface>(db.disk.get(), 4096, id, usIndex, ioEncNone);
  nodes->SetGlobalFirstEmpty(ghIndexFirstEmpty);
  nodes->Open();
  int64_t a = nodes->AllocateNewAddress(4096, nullptr);
  int64_t b = nodes->AllocateNewAddress(4096, nullptr);
  EXPECT_EQ(b, a + P);
  nodes->ReleaseBlock(a, 4096);  // whole pages go back to the map
  EXPECT_EQ(db.disk->MapMgr().EntryOf(a) & 0x8000, 0x8000);
  EXPECT_EQ(nodes->AllocateNewAddress(4096, nullptr), a);
  auto io = Records(300);
  io->AllocateNewAddress(300, nullptr);
  io->Empty();
  EXPECT_EQ(io->FirstEmpty(), 0u);
  EXPECT_TRUE(io->ListBlocks().empty());
  EXPECT_EQ(nodes->ListBlocks().size(), 2u);
  // Blocks read past the page cache are not handed out in place; cached ones are.
  TDiskIOInterface uncached(db.disk.get(), 4096, id, usIndex, 0);
  uncached.SetGlobalFirstEmpty(ghIndexFirstEmpty);
  uncached.Open();
  EXPECT_EQ(uncached.ReadBlockByRef(a, 4096), nullptr);
  EXPECT_NE(nodes->ReadBlockByRef(a, 4096), nullptr);
  TDiskIOInterface unset(db.disk.get(), 0, id, usRecord, 1);
  EXPECT_EQ(ErrorTextOf([&] { unset.Open(); }),
            "Unable to open Disk IOInterface - Block size is 0");
  TDiskIOInterface noFirstEmpty(db.disk.get(), 100, id, usRecord, 1);
  noFirstEmpty.Open();
  EXPECT_EQ(ErrorTextOf([&] { noFirstEmpty.AllocateNewAddress(10, nullptr); }),
            "DiskIOInterface - non global first empty not set");
}

TEST(DbMap, ListAllocatedFixedBlocksChecksGroups) {
  TMemDb db;
  EXPECT_EQ(ErrorTextOf([&] { db.disk->ListAllocatedFixedBlocks(0, 0x29); }),
            "Invalid block size of 0 in ListAllocatedFixedBlocks");
  db.disk->AllocatePages(2, ioEncNone, nullptr, 7, usRecord);
  EXPECT_EQ(db.disk->ListAllocatedFixedBlocks(1500, 0x29).size(), 19u);
  db.disk->AllocatePages(2, ioEncNone, nullptr, 1, usRecord);  // a group cut short
  EXPECT_EQ(ErrorTextOf([&] { db.disk->ListAllocatedFixedBlocks(1500, 0x29); }),
            "Invalid requestpage/pagelist sequence");
}

}  // namespace
}  // namespace zuz::test
