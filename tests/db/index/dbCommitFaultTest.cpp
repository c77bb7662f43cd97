// Commits that fail: every I/O call of a commit fails in turn (once, from then on, cut short,
// or a failed flush), and power cuts at every point of a commit keep any subset of the writes
// not yet flushed. Each time the commit reports an error or succeeds completely, and once the
// fault is lifted the file opens, passes the integrity check and holds the state from before or
// after the transaction, never a mix: with it the change counter, raised exactly with the data.
// VZ_POWER_CUTS sets the number of power cuts (default 400).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "db/index/zuzIndexManager.h"
#include "db/index/zuzIntegrityCheck.h"
#include "db/storage/zuzCoding.h"
#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzJournal.h"
#include "tests/db/dbRecordingFileSystem.h"
#include "tests/db/index/dbCrashWorkload.h"
#include "tests/db/index/dbIndexedDb.h"

namespace zuz::test {
namespace {

constexpr uint64_t kSeed = 77;

// The database after `steps` transactions of the workload, and the workload at that point.
struct TBase {
  std::vector<uint8_t> bytes;
  TCrashWorkload workload{kSeed};
  explicit TBase(int steps) {
    TIndexedDb db({}, true);  // index changes need the database alone
    TCrashWorkload::CreateTable(db.Tables());
    while (workload.Count() < steps) {
      const bool index = workload.State().qtyIndex;
      TCrashWorkload::Run(db.Tables(), workload.Next(), index, [] {});
    }
    db.Close();
    bytes = db.Bytes();
  }
};

// A transaction of many row operations (so that it overwrites and appends pages).
TCrashTxn BigTransaction(TCrashWorkload& w) {
  TCrashTxn t;
  for (int i = 0; i < 8 || t.ops.size() < 20; ++i) {
    TCrashTxn next = w.Next();
    if (next.toggleIndex || next.ownTransactions) continue;
    t.ops.insert(t.ops.end(), next.ops.begin(), next.ops.end());
  }
  return t;
}

// The change counter as the file holds it.
uint32_t CounterOf(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= 1068 ? GetU32(bytes.data() + 1064) : 0;
}

// The table's rows and the change counter: a counter raised without the data, or the data
// without the raise, is neither the state before nor the one after.
struct TSeen {
  TCrashState state;
  uint32_t counter = 0;
  bool operator==(const TSeen&) const = default;
};

// What the next program sees: the integrity check's findings, the rows and the counter.
TSeen Inspect(TMemoryFileSystem& fs, std::string* problems) {
  TSeen seen;
  {
    TIndexedConnection c(fs, kDbPath);
    for (const auto& p : CheckDatabaseIntegrity(*c.tables)) *problems += p + "\n";
    seen.state = TCrashWorkload::Read(*c.tables);
  }
  seen.counter = CounterOf(*fs.Contents(kDbPath));
  return seen;
}

struct TFaultCase {
  TFaultOp op;
  TFaultMode mode;
  bool sticky;
  const char* name;
};

TEST(DbCommitFaults, EveryCallOfACommitFailingInTurn) {
  TBase base(12);
  TCrashWorkload after = base.workload;
  const TCrashTxn txn = BigTransaction(after);
  const TSeen before{base.workload.State(), CounterOf(base.bytes)};
  const TSeen afterSeen{after.State(), before.counter + 1};
  ASSERT_GT(before.counter, 0u);
  // The calls a commit makes.
  int64_t calls = 0;
  {
    TMemoryFileSystem memory;
    memory.SetContents(kDbPath, base.bytes);
    TFaultFileSystem fs(memory);
    TIndexedConnection c(fs, kDbPath);
    TCrashWorkload::Run(*c.tables, txn, false, [&] { fs.Arm(TFaultOp::Any, INT64_MAX); });
    calls = fs.Calls(TFaultOp::Any);
    std::string problems;
    c.Close();
    ASSERT_EQ(Inspect(memory, &problems), afterSeen);
    ASSERT_EQ(problems, "");
  }
  ASSERT_GT(calls, 10);
  const TFaultCase cases[] = {
      {TFaultOp::Any, TFaultMode::Fail, false, "fails once"},
      {TFaultOp::Any, TFaultMode::Fail, true, "fails from then on"},
      {TFaultOp::Any, TFaultMode::ShortTransfer, false, "is cut short"},
  };
  int failures = 0, successes = 0;
  for (const TFaultCase& fault : cases) {
    for (int64_t n = 1; n <= calls; ++n) {
      TMemoryFileSystem memory;
      memory.SetContents(kDbPath, base.bytes);
      TFaultFileSystem fs(memory);
      bool failed = false;
      {
        TIndexedConnection c(fs, kDbPath);
        try {
          TCrashWorkload::Run(*c.tables, txn, false,
                              [&] { fs.Arm(fault.op, n, fault.mode, fault.sticky); });
        } catch (const EZuzDatabaseError&) {
          failed = true;
        }
        fs.Disarm();
        try {
          c.Close();
        } catch (const EZuzDatabaseError&) {
        }
      }
      std::string problems;
      const TSeen state = Inspect(memory, &problems);
      EXPECT_EQ(problems, "") << fault.name << " at call " << n;
      if (failed) {
        EXPECT_TRUE(state == before || state == afterSeen) << fault.name << " at call " << n;
      } else {
        EXPECT_EQ(state, afterSeen) << "reported success, " << fault.name << " at call " << n;
      }
      EXPECT_FALSE(memory.Exists(JournalFileNameFor(kDbPath)));
      failures += failed;
      successes += !failed;
      if (::testing::Test::HasFailure()) return;
    }
  }
  // A failed flush of each file in turn.
  for (int64_t n = 1;; ++n) {
    TMemoryFileSystem memory;
    memory.SetContents(kDbPath, base.bytes);
    TFaultFileSystem fs(memory);
    bool failed = false;
    {
      TIndexedConnection c(fs, kDbPath);
      try {
        TCrashWorkload::Run(*c.tables, txn, false, [&] { fs.Arm(TFaultOp::Sync, n); });
      } catch (const EZuzDatabaseError&) {
        failed = true;
      }
      const bool fired = fs.Triggered();
      fs.Disarm();
      if (!fired) break;
    }
    std::string problems;
    const TSeen state = Inspect(memory, &problems);
    EXPECT_EQ(problems, "") << "flush " << n;
    EXPECT_TRUE(failed) << "a failed flush is never taken for success (flush " << n << ")";
    EXPECT_TRUE(state == before || state == afterSeen) << "flush " << n;
  }
  EXPECT_GT(failures, 0);
  EXPECT_GT(successes, 0);
}

TEST(DbCommitFaults, PowerCutsAtEveryPointOfACommit) {
  const int cuts =
      std::max(1, std::atoi(std::getenv("VZ_POWER_CUTS") ? std::getenv("VZ_POWER_CUTS") : "400"));
  TBase base(12);
  TCrashWorkload after = base.workload;
  const TCrashTxn txn = BigTransaction(after);
  const TSeen before{base.workload.State(), CounterOf(base.bytes)};
  const TSeen afterSeen{after.State(), before.counter + 1};
  // One commit, recorded.
  TMemoryFileSystem memory;
  memory.SetContents(kDbPath, base.bytes);
  TRecordingFileSystem recording(memory);
  {
    TIndexedConnection c(recording, kDbPath);
    TCrashWorkload::Run(*c.tables, txn, false, [&] { recording.recording = true; });
    recording.recording = false;
  }
  const std::vector<TRecordedOp> ops = recording.ops;
  ASSERT_GT(ops.size(), 5u);
  std::mt19937_64 rng(kSeed);
  int asBefore = 0, asAfter = 0;
  for (int i = 0; i < cuts; ++i) {
    const size_t cut =
        i < static_cast<int>(ops.size()) + 1 ? static_cast<size_t>(i) : rng() % (ops.size() + 1);
    const auto files = TRecordingFileSystem::AfterCut({{kDbPath, base.bytes}}, ops, cut, rng);
    TMemoryFileSystem disk;
    for (const auto& [path, bytes] : files) disk.SetContents(path, bytes);
    std::string problems;
    const TSeen state = Inspect(disk, &problems);
    EXPECT_EQ(problems, "") << "cut after " << cut << " of " << ops.size() << " changes";
    const bool isBefore = state == before, isAfter = state == afterSeen;
    EXPECT_TRUE(isBefore || isAfter) << "cut after " << cut << " of " << ops.size();
    asBefore += isBefore;
    asAfter += isAfter;
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(asBefore, 0);
  EXPECT_GT(asAfter, 0);
  std::printf("power cuts: %d over %zu recorded changes: %d as before, %d as after\n", cuts,
              ops.size(), asBefore, asAfter);
}

}  // namespace
}  // namespace zuz::test
