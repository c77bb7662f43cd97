// Randomized allocation and freeing of pages and blocks against a simple model of the map.
// After every step the map pages, their free chains, the global header and the model must
// agree. VZ_RANDOM_STEPS sets the number of steps (a few thousand by default); VZ_RANDOM_SEED
// the seed.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>

#include "db/storage/zuzIOInterface.h"
#include "db/storage/zuzTableHeaderMgr.h"
#include "tests/db/dbTestUtil.h"

namespace zuz::test {
namespace {

constexpr int64_t P = 4096;
constexpr uint16_t kFree = 0xFFFF;  // model value of a free page

long EnvOr(const char* name, long fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

struct TModel {
  std::vector<uint16_t> pages;  // tag, kFree, or 0 (never allocated)

  // The lowest run of n free pages within one map page, or -1.
  int64_t LowestRun(int n) const {
    for (std::size_t start = 0; start < pages.size(); ++start) {
      if (pages[start] != kFree) continue;
      std::size_t k = start / kMapEntriesPerPage;
      std::size_t end = start + static_cast<std::size_t>(n);
      if (end > pages.size() || (end - 1) / kMapEntriesPerPage != k) continue;
      bool all = true;
      for (std::size_t p = start; p < end && all; ++p) all = pages[p] == kFree;
      if (all) return static_cast<int64_t>(start);
    }
    return -1;
  }
};

class TRandomRun {
 public:
  explicit TRandomRun(unsigned seed) : rng_(seed) {
    model_.pages.assign(6, usSystem);
    model_.pages[5] = usMapPage;
    users_.Open();
    tableId_ = users_.AddTable(0);
    header_ = &users_.OpenTable(tableId_);
    records_ = Interface(700, usRecord, thRecordFirstEmpty);
    blobs_ = Interface(1500, usBlob, thBlobFirstEmpty);
    TrackGrowth(-1, 0);  // the header page just allocated for the table
  }

  void Step() {
    int op = Pick(0, 99);
    if (std::getenv("VZ_RANDOM_TRACE")) std::fprintf(stderr, "op %d tx %d\n", op, inTransaction_);
    if (inTransaction_ && op < 4) {
      EndTransaction(Pick(0, 1) == 0);
    } else if (!inTransaction_ && op < 3) {
      BeginTransaction();
    } else if (op < 40) {
      AllocatePages();
    } else if (op < 65) {
      FreePages();
    } else if (op < 68) {
      FreeTable();
    } else if (op < 85) {
      AllocateBlock(Pick(0, 1) == 0);
    } else if (op < 99) {
      ReleaseBlock(Pick(0, 1) == 0);
    } else {
      EmptyInterface(Pick(0, 1) == 0);
    }
    Check();
  }

  void Finish() {
    if (inTransaction_) EndTransaction(true);
    Check();
  }

 private:
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  std::unique_ptr<TDiskIOInterface> Interface(uint32_t size, uint32_t usage, int item) {
    auto io = std::make_unique<TDiskIOInterface>(db_.disk.get(), size, tableId_, usage, ioEncNone);
    io->SetTableFirstEmpty(header_, item);
    io->Open();
    return io;
  }

  // Pages the file grew by beyond [address, address + n) are map pages.
  void TrackGrowth(int64_t address, int n) {
    auto total = static_cast<std::size_t>(db_.disk->LogicalEndOfFile() / P);
    while (model_.pages.size() < total) {
      auto p = static_cast<int64_t>(model_.pages.size());
      bool ours = address >= 0 && p >= address / P && p < address / P + n;
      // Unknown pages are learned from the map below.
      model_.pages.push_back(ours || address < 0 ? 0 : static_cast<uint16_t>(usMapPage));
    }
    if (address < 0) {
      // Pages handed out by the interfaces or the header manager: learn their tags from the map.
      for (std::size_t p = 0; p < model_.pages.size(); ++p) {
        if (model_.pages[p] == 0 || model_.pages[p] == kFree) {
          uint16_t e = db_.disk->MapMgr().EntryOf(static_cast<int64_t>(p) * P);
          if (e != 0 && !(e & 0x8000)) model_.pages[p] = e;
        }
      }
    }
  }

  void AllocatePages() {
    const int n = Pick(0, 9) == 0 ? Pick(5, 40) : Pick(1, 4);
    const auto table = static_cast<uint32_t>(Pick(7, 11));  // tables of whole pages
    const uint32_t usage = Pick(0, 1) ? uint32_t{usRecord} : uint32_t{usIndex};
    int64_t expected = model_.LowestRun(n);
    int64_t end = db_.disk->LogicalEndOfFile();
    int64_t address = db_.disk->AllocatePages(table, ioEncNone, nullptr, n, usage);
    if (expected >= 0) {
      ASSERT_EQ(address, expected * P) << "a run of " << n << " free pages was not reused";
    } else {
      ASSERT_EQ(address, end) << "no run of " << n << " existed, the pages must be appended";
    }
    TrackGrowth(address, n);
    for (int i = 0; i < n; ++i) {
      model_.pages[static_cast<std::size_t>(address / P + i)] =
          static_cast<uint16_t>(table * 16 + usage);
    }
  }

  bool FreeableTag(uint16_t tag) const {
    return tag != 0 && tag != kFree && (tag >> 4) >= 7 && (tag >> 4) <= 11;
  }

  void FreePages() {
    std::vector<std::size_t> candidates;
    for (std::size_t p = 0; p < model_.pages.size(); ++p) {
      if (FreeableTag(model_.pages[p])) candidates.push_back(p);
    }
    if (candidates.empty()) return;
    std::size_t first =
        candidates[static_cast<std::size_t>(Pick(0, static_cast<int>(candidates.size()) - 1))];
    int n = 1;
    while (n < 3 && first + n < model_.pages.size() && FreeableTag(model_.pages[first + n])) ++n;
    n = Pick(1, n);
    db_.disk->FreePages(static_cast<int64_t>(first) * P, n);
    for (int i = 0; i < n; ++i) model_.pages[first + static_cast<std::size_t>(i)] = kFree;
  }

  void FreeTable() {
    const auto table = static_cast<uint32_t>(Pick(7, 11));  // tables of whole pages
    const bool match = Pick(0, 1) == 0;
    const uint32_t usage = Pick(0, 1) ? uint32_t{usRecord} : uint32_t{usIndex};
    db_.disk->FreeTablePages(table, usage, match);
    for (uint16_t& tag : model_.pages) {
      if (tag != 0 && tag != kFree && (tag >> 4) == table && (!match || (tag & 15) == usage)) {
        tag = kFree;
      }
    }
  }

  void AllocateBlock(bool record) {
    auto& io = record ? records_ : blobs_;
    auto& live = record ? liveRecords_ : liveBlobs_;
    int64_t address = io->AllocateNewAddress(io->BlockSize(), nullptr);
    ASSERT_TRUE(live.insert(address).second) << "block " << address << " handed out twice";
    TrackGrowth(-1, 0);
    auto page = static_cast<std::size_t>(address / P);
    ASSERT_EQ(model_.pages[page], io->OwnerTag());
  }

  void ReleaseBlock(bool record) {
    auto& io = record ? records_ : blobs_;
    auto& live = record ? liveRecords_ : liveBlobs_;
    if (live.empty()) return;
    auto it = live.begin();
    std::advance(it, Pick(0, static_cast<int>(live.size()) - 1));
    io->ReleaseBlock(*it, io->BlockSize());
    live.erase(it);
  }

  void EmptyInterface(bool record) {
    auto& io = record ? records_ : blobs_;
    io->Empty();
    (record ? liveRecords_ : liveBlobs_).clear();
    for (uint16_t& tag : model_.pages) {
      if (tag == io->OwnerTag()) tag = kFree;
    }
  }

  void BeginTransaction() {
    header_->WriteHeader();
    saved_ = model_;
    savedRecords_ = liveRecords_;
    savedBlobs_ = liveBlobs_;
    db_.disk->StartTransaction();
    inTransaction_ = true;
  }

  void EndTransaction(bool commit) {
    inTransaction_ = false;
    if (commit) {
      header_->WriteHeader();
      db_.disk->Commit();
      return;
    }
    db_.disk->Rollback();
    header_->ReadHeader();
    model_ = saved_;
    liveRecords_ = savedRecords_;
    liveBlobs_ = savedBlobs_;
  }

  // The map pages, their free chains and the global header against the model.
  void Check() {
    ASSERT_FALSE(db_.disk->HeaderLocked());
    const int64_t pages = db_.disk->LogicalEndOfFile() / P;
    ASSERT_EQ(static_cast<std::size_t>(pages), model_.pages.size());
    uint8_t g[128];
    db_.disk->ReadData(1024, 128, g, 0, 0);
    const uint32_t count = GetU32(g + 24);
    ASSERT_EQ(count, static_cast<uint32_t>((pages + kMapEntriesPerPage - 1) / kMapEntriesPerPage));
    int64_t address = GetU32(g + 20);
    int64_t firstWithFree = 0;
    for (uint32_t k = 0; k < count; ++k) {
      ASSERT_NE(address, 0);
      ASSERT_EQ(model_.pages[static_cast<std::size_t>(address / P)], usMapPage);
      TMapPage page;
      db_.disk->ReadData(address, P, page.data.data(), 0, 0);
      ASSERT_EQ(page.Index(), k);
      std::vector<int> freeOffsets;
      for (int i = 0; i < kMapEntriesPerPage; ++i) {
        int64_t p = int64_t{k} * kMapEntriesPerPage + i;
        uint16_t e = page.Entry(i);
        uint16_t want = p < pages ? model_.pages[static_cast<std::size_t>(p)] : 0;
        if (want == kFree) {
          ASSERT_TRUE(e & 0x8000) << "page " << p << " should be free, map has " << e;
          freeOffsets.push_back(TMapPage::OffsetOfEntry(i));
        } else {
          ASSERT_EQ(e, want) << "page " << p;
        }
      }
      // The chain visits exactly the free entries, in ascending order.
      std::vector<int> chain;
      for (int off = page.Head(); off != 0; off = page.EntryAt(off) & 0x7FFF) {
        ASSERT_LE(chain.size(), freeOffsets.size());
        chain.push_back(off);
      }
      ASSERT_EQ(chain, freeOffsets) << "free chain of map page " << k;
      if (!freeOffsets.empty() && firstWithFree == 0) firstWithFree = address;
      address = page.Next();
    }
    ASSERT_EQ(address, 0);
    if (firstWithFree != 0) {
      ASSERT_EQ(GetU32(g + 16), firstWithFree);
    } else {
      ASSERT_TRUE(GetU32(g + 16) == 0 || GetU32(g + 16) == 20480);
    }
    CheckBlocks(*records_, liveRecords_);
    CheckBlocks(*blobs_, liveBlobs_);
  }

  void CheckBlocks(TDiskIOInterface& io, const std::set<int64_t>& live) {
    std::vector<int64_t> listed = io.ListBlocks();
    std::set<int64_t> all(listed.begin(), listed.end());
    for (int64_t a : live) ASSERT_TRUE(all.count(a)) << "live block " << a << " not listed";
    // Every listed block is either live or on the interface's free list.
    std::set<int64_t> free;
    for (int64_t a = io.FirstEmpty(); a != 0;) {
      uint8_t run[16];
      db_.disk->ReadData(a, 16, run, ioEncNone, tableId_);
      uint32_t n = GetU32(run + 12);
      for (uint32_t i = 0; i < n; ++i) ASSERT_TRUE(free.insert(a + i * io.BlockSize()).second);
      ASSERT_LE(free.size(), all.size());
      a = GetU32(run + 8);
    }
    ASSERT_EQ(free.size() + live.size(), all.size());
    for (int64_t a : free) ASSERT_TRUE(all.count(a) && !live.count(a));
  }

  std::mt19937 rng_;
  TMemDb db_;
  TTableHeaderMgr users_{*db_.disk, false};
  uint32_t tableId_ = 0;
  TTableHeader* header_ = nullptr;
  std::unique_ptr<TDiskIOInterface> records_, blobs_;
  TModel model_, saved_;
  std::set<int64_t> liveRecords_, liveBlobs_, savedRecords_, savedBlobs_;
  bool inTransaction_ = false;
};

TEST(DbRandom, MapFreeChainsAndBlocksAgreeWithTheModel) {
  const long steps = EnvOr("VZ_RANDOM_STEPS", 3000);
  const auto seed = static_cast<unsigned>(EnvOr("VZ_RANDOM_SEED", 20240611));
  TRandomRun run(seed);
  for (long i = 0; i < steps; ++i) {
    run.Step();
    if (::testing::Test::HasFatalFailure()) FAIL() << "at step " << i << " (seed " << seed << ")";
  }
  run.Finish();
}

}  // namespace
}  // namespace zuz::test
