// Random byte flips in each part of a real database and the files beside it: the file header,
// map pages, table headers, records, blobs, index nodes, a left-behind journal and the lock
// file. Every damaged copy is opened, read through and checked; it must end in an engine error
// with a code of the code table or in an integrity report, with no other exception, no crash,
// no endless loop and (under AddressSanitizer) no single allocation larger than the files.
//
// VZ_BYTEFLIP_SEED and VZ_BYTEFLIP_COUNT (damaged copies per part) widen a run; the defaults
// keep it short.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzCrypt.h"
#include "db/storage/zuzMapPage.h"
#include "tests/db/index/dbDamagedDb.h"

#if defined(__SANITIZE_ADDRESS__)
#define VZ_TRACK_ALLOCATIONS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VZ_TRACK_ALLOCATIONS 1
#endif
#endif

#ifdef VZ_TRACK_ALLOCATIONS
// The sanitizer runtime's allocation hooks (sanitizer/allocator_interface.h, which not every
// compiler ships).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             size_t),
                                                         void (*free_hook)(const volatile void*));
#endif

namespace zuz::test {
namespace {

// The largest single allocation while tracking is on.
std::atomic<bool> tracking{false};
std::atomic<size_t> largest{0};

#ifdef VZ_TRACK_ALLOCATIONS
void OnMalloc(const volatile void*, size_t size) {
  if (!tracking.load(std::memory_order_relaxed)) return;
  size_t seen = largest.load(std::memory_order_relaxed);
  while (size > seen && !largest.compare_exchange_weak(seen, size)) {
  }
}
void OnFree(const volatile void*) {}
#endif

struct TTracking {
  TTracking() {
    largest = 0;
    tracking = true;
  }
  ~TTracking() { tracking = false; }
};

uint64_t EnvNumber(const char* name, uint64_t fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

// Byte ranges of one file.
struct TRange {
  size_t begin, end;
};

enum class TFile { Database, Journal, LockFile };

struct TPart {
  std::string name;
  TFile file;
  std::vector<TRange> ranges;
  // Makes the damage pass the part's checksums, so that it reaches the readers behind them.
  std::function<void(TDbFiles&)> reseal;
};

void ResealDatabaseHeader(TDbFiles& f) {
  PutU32(f.database.data() + 250, 0);
  PutU32(f.database.data() + 250, DatabaseHeaderChecksum(f.database.data()));
}

// The journal's two checksums (records, then header bytes 0..35).
void ResealJournal(TDbFiles& f) {
  std::vector<uint8_t>& j = f.journal;
  if (j.size() < static_cast<size_t>(TZuzJournal::kHeaderSize)) return;
  const uint64_t length = GetU64(j.data() + 24);
  const size_t available = j.size() - TZuzJournal::kHeaderSize;
  if (length > available) return;
  PutU32(j.data() + 32, Crc32(j.data() + TZuzJournal::kHeaderSize, static_cast<size_t>(length)));
  PutU32(j.data() + 36, Crc32(j.data(), 36));
}

// The parts of the sample, found from its map and table-header maps.
std::vector<TPart> PartsOf(const TDbFiles& f) {
  const std::vector<uint8_t>& db = f.database;
  std::vector<TPart> parts;
  parts.push_back({"file header", TFile::Database, {{0, 254}, {1024, 1152}}, ResealDatabaseHeader});
  TPart map{"map pages", TFile::Database, {}, nullptr};
  TPart headers{"table headers", TFile::Database, {}, nullptr};
  TPart records{"records", TFile::Database, {}, nullptr};
  TPart blobs{"blobs", TFile::Database, {}, nullptr};
  TPart nodes{"index nodes", TFile::Database, {}, nullptr};
  const size_t pages = db.size() / kDefaultPageSize;
  for (uint32_t mapPage = GetU32(db.data() + 1024 + 20); mapPage != 0;) {
    map.ranges.push_back({mapPage, mapPage + 20 + 2 * pages});
    for (size_t p = 0; p < pages && p < static_cast<size_t>(kMapEntriesPerPage); ++p) {
      const uint16_t entry = GetU16(db.data() + mapPage + 20 + 2 * p);
      const TRange page{p * kDefaultPageSize, (p + 1) * kDefaultPageSize};
      if (entry & kMapFreeBit || entry / 16 == 0) continue;
      if (entry % 16 == usRecord) records.ranges.push_back(page);
      if (entry % 16 == usBlob) blobs.ranges.push_back(page);
      if (entry % 16 == usIndex) nodes.ranges.push_back(page);
    }
    mapPage = GetU32(db.data() + mapPage + 4);
  }
  for (const size_t base : {size_t{4096}, size_t{12288}}) {
    for (size_t pair = 0; pair < 1000 && GetU32(db.data() + base + 8 * pair) != 0; ++pair) {
      headers.ranges.push_back({base + 8 * pair, base + 8 * pair + 8});
      const uint32_t address = GetU32(db.data() + base + 8 * pair + 4);
      headers.ranges.push_back({address, address + 256});
    }
  }
  for (TPart* p : {&map, &headers, &records, &blobs, &nodes}) parts.push_back(std::move(*p));
  parts.push_back({"journal", TFile::Journal, {{0, f.journal.size()}}, ResealJournal});
  parts.push_back({"lock file", TFile::LockFile, {{0, f.lockFile.size()}}, nullptr});
  return parts;
}

std::vector<uint8_t>& FileOf(TDbFiles& f, TFile which) {
  return which == TFile::Database ? f.database : which == TFile::Journal ? f.journal : f.lockFile;
}

class DbByteFlip : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
#ifdef VZ_TRACK_ALLOCATIONS
    __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
#endif
    sample_ = new TDbFiles(BuildDamageSample());
  }
  static void TearDownTestSuite() {
    delete sample_;
    sample_ = nullptr;
  }
  // Reads a copy of the files; fails the test on anything but an engine error or a report.
  static TReadOutcome ReadCopy(const TDbFiles& files, const std::string& what) {
    TMemoryFileSystem fs;
    files.Install(fs);
    TReadOutcome out;
    TTracking track;
    try {
      out = ReadWholeDatabase(fs, kDamagedDbPath);
    } catch (const std::exception& e) {
      ADD_FAILURE() << what << ": " << e.what();
      return out;
    }
    tracking = false;
    if (!out.checked) {
      EXPECT_NE(out.errorCode, 0) << what;
      EXPECT_EQ(LookupErrorCode(out.errorCode).code, out.errorCode)
          << what << ": the code is not in the code table";
    }
    EXPECT_LE(largest.load(), files.TotalSize()) << what << ": an allocation beyond the files";
    return out;
  }
  static TDbFiles* sample_;
};
TDbFiles* DbByteFlip::sample_ = nullptr;

TEST_F(DbByteFlip, TheSampleIsWholeAndReadsCleanOnceItsJournalIsRolledBack) {
  ASSERT_FALSE(sample_->journal.empty()) << "the dying commit left no whole journal";
  ASSERT_FALSE(sample_->lockFile.empty());
  const TReadOutcome out = ReadCopy(*sample_, "the undamaged sample");
  EXPECT_TRUE(out.checked);
  EXPECT_EQ(out.errorCode, 0);
  EXPECT_TRUE(out.problems.empty()) << out.problems.front();
  EXPECT_GT(out.recordsRead, 40u);
  for (const TPart& part : PartsOf(*sample_)) {
    EXPECT_FALSE(part.ranges.empty()) << part.name << " not found in the sample";
  }
  // Inner index nodes are damaged too: the Log index has two levels.
  TMemoryFileSystem fs;
  sample_->Install(fs);
  auto disk = detail::OpenDisk(fs, kDamagedDbPath);
  TTableMgr tables(*disk, IndexedTableServices());
  tables.Open();
  EXPECT_GE(IndexManagerOf(*tables.OpenTable("Log")).Item(0).Depth, 2);
}

TEST_F(DbByteFlip, EveryDamagedCopyEndsInAnErrorOrAReport) {
  const uint64_t seed = EnvNumber("VZ_BYTEFLIP_SEED", 20261209);
  const uint64_t count = EnvNumber("VZ_BYTEFLIP_COUNT", 12);
  std::mt19937_64 rng(seed);
  for (const TPart& part : PartsOf(*sample_)) {
    size_t total = 0;
    for (const TRange& r : part.ranges) total += r.end - r.begin;
    ASSERT_GT(total, 0u) << part.name;
    int errors = 0, reports = 0;
    for (uint64_t i = 0; i < count; ++i) {
      TDbFiles copy = *sample_;
      std::vector<uint8_t>& bytes = FileOf(copy, part.file);
      const int flips = 1 + static_cast<int>(rng() % 4);
      std::string where;
      for (int k = 0; k < flips; ++k) {
        size_t at = rng() % total;
        for (const TRange& r : part.ranges) {
          if (at < r.end - r.begin) {
            at += r.begin;
            break;
          }
          at -= r.end - r.begin;
        }
        if (at >= bytes.size()) continue;
        bytes[at] ^= static_cast<uint8_t>(1 + rng() % 255);
        where += " " + std::to_string(at);
      }
      if (part.reseal && rng() % 2) part.reseal(copy);
      const TReadOutcome out =
          ReadCopy(copy, part.name + " (seed " + std::to_string(seed) + ", copy " +
                             std::to_string(i) + ", bytes" + where + ")");
      (out.checked ? reports : errors)++;
    }
    // Both outcomes are fine; the counts show what the damage led to.
    RecordProperty(part.name,
                   std::to_string(errors) + " errors, " + std::to_string(reports) + " reports");
  }
}

}  // namespace
}  // namespace zuz::test
