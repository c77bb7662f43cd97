// Restructures that stop half-way: a program that dies at a call of a restructure (every call
// of its commit, and a sample of the calls before), or that meets one I/O error there and goes
// on, must leave a database that, once opened again (which rolls a commit cut short back from
// its journal), holds the table exactly as before or exactly as after, with indexes that agree
// with the records, and nothing else damaged.
// VZ_RESTRUCTURE_FAULT_STRIDE sets the sample of the calls before the commit (default every
// 16th; 1 tries them all).
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "db/index/zuzIndexCheck.h"
#include "db/index/zuzIndexManager.h"
#include "db/index/zuzIntegrityCheck.h"
#include "db/index/zuzRestructure.h"
#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzJournal.h"
#include "db/storage/zuzLogger.h"
#include "tests/db/index/dbIndexedDb.h"

namespace zuz::test {
namespace {

const std::string kJournal = JournalFileNameFor(kDbPath);

int Stride() {
  const char* env = std::getenv("VZ_RESTRUCTURE_FAULT_STRIDE");
  return env ? std::max(1, std::atoi(env)) : 16;
}

// Items(Id, Name, Qty, Photo) with a primary key and 30 rows, and Other(Key, Text) with a
// unique index and 10 rows.
std::vector<uint8_t> BaseFile() {
  TIndexedDb db({}, true);
  TIndexDesc primary = Ix("", "Id", true);
  primary.Primary = true;
  db.Tables().CreateTable("Items",
                          {F("Id", TFieldType::ftInteger), F("Name", TFieldType::ftString, 12),
                           F("Qty", TFieldType::ftSmallint), F("Photo", TFieldType::ftBlob)},
                          {primary, Ix("ixName", "Name")}, db.Tables().DefaultTableOptions());
  db.Tables().CreateTable("Other",
                          {F("Key", TFieldType::ftInteger), F("Text", TFieldType::ftString, 8)},
                          {Ix("ixKey", "Key", true)}, db.Tables().DefaultTableOptions());
  auto items = db.Tables().OpenTable("Items");
  for (int i = 1; i <= 30; ++i) {
    items->NewRecord();
    items->SetValue(0, int64_t{i * 7 % 31});
    items->SetValue(1, "n" + std::to_string(i % 9));
    items->SetValue(2, int64_t{i % 4});
    if (i % 3 == 0) items->SetBlob(3, std::string(static_cast<size_t>(300 * i), 'a' + i % 26));
    items->AddRecord();
  }
  auto other = db.Tables().OpenTable("Other");
  for (int i = 1; i <= 10; ++i) {
    other->NewRecord();
    other->SetValue(0, int64_t{i});
    other->SetValue(1, "t" + std::to_string(i));
    other->AddRecord();
  }
  items.reset();
  other.reset();
  db.Close();
  return db.Bytes();
}

// A table's rows as text, by the first field, read in block order with their blobs.
std::map<std::string, std::string> Rows(TOpenTable& t) {
  std::map<std::string, std::string> out;
  for (uint32_t a : t.BlockOrderAddresses()) {
    EXPECT_TRUE(t.ReadRecord(a));
    std::string row;
    for (const auto& f : t.Def().InternalFields) {
      row += (IsBlobFieldType(f.DataType) ? t.GetBlob(f.FieldNo)
                                          : FieldValueText(t.GetValue(f.FieldNo))) +
             "|";
    }
    out[FieldValueText(t.GetValue(0))] = row;
  }
  return out;
}

struct TState {
  std::string itemsIndexes;  // the index names of Items
  std::map<std::string, std::string> items, other;
  bool operator==(const TState&) const = default;
};

// The state seen through a connection, checked on the way: indexes agree with records, and
// both tables still take a new row (in a transaction that is rolled back).
TState InspectWith(TTableMgr& tables, TDiskMgr& disk, std::string* problems) {
  TState s;
  for (const auto& p : CheckDatabaseIntegrity(tables)) *problems += "integrity: " + p + "\n";
  for (const auto& x : tables.InternalGetTableDef("Items").InternalIndexDefs) {
    s.itemsIndexes += x.IndexName + ";";
  }
  for (const char* name : {"Items", "Other"}) {
    auto t = tables.OpenTable(name);
    for (const auto& p : CheckTableIndexes(*t)) *problems += std::string(name) + ": " + p + "\n";
    (name == std::string("Items") ? s.items : s.other) = Rows(*t);
    if (t->RecordCount() != t->BlockOrderAddresses().size()) *problems += "records left out\n";
  }
  TZuzTransaction transaction(disk);  // a probe: the map and free lists still work
  auto other = tables.OpenTable("Other");
  other->NewRecord();
  other->SetValue(0, int64_t{1000});
  other->AddRecord();
  auto items = tables.OpenTable("Items");
  items->NewRecord();
  items->SetValue(0, int64_t{1000});
  items->SetBlob(3, std::string(5000, 'q'));
  items->AddRecord();
  for (const auto& p : CheckTableIndexes(*items)) *problems += "probe: " + p + "\n";
  return s;
}

// The state of the database as the next program to open it sees it.
TState Inspect(TMemoryFileSystem& fs, std::string* problems) {
  TIndexedConnection c(fs, kDbPath, {}, true);
  return InspectWith(*c.tables, *c.disk, problems);
}

using TOperation = void (*)(TTableMgr&, const TUpdateProgressProc&);

void AddUniqueIndex(TTableMgr& tables, const TUpdateProgressProc& progress) {
  TIndexDesc d = Ix("ixQty", "Qty;Name", true);
  d.Descending = true;
  AddIndex(tables, "Items", d, nullptr, progress);
}
void DropNameIndex(TTableMgr& tables, const TUpdateProgressProc& progress) {
  DropIndex(tables, "Items", "ixName", nullptr, progress);
}
void Rebuild(TTableMgr& tables, const TUpdateProgressProc& progress) {
  ReIndex(tables, "Items", false, progress);
}

// distinct: the operation changes what Inspect sees (a rebuild does not).
void RunFaults(TOperation operation, bool sticky, bool distinct = true) {
  const std::vector<uint8_t> base = BaseFile();
  std::string problems;
  TState before, after;
  int64_t total = 0, commitFrom = 0;
  {
    TMemoryFileSystem memory;
    memory.SetContents(kDbPath, base);
    before = Inspect(memory, &problems);
    memory.SetContents(kDbPath, base);
    TFaultFileSystem fs(memory);
    {
      TFragileConnection c(fs);
      fs.Arm(TFaultOp::Any, INT64_MAX);
      operation(*c.tables, [&](int, bool&) { commitFrom = fs.Calls(TFaultOp::Any); });
      total = fs.Calls(TFaultOp::Any);
    }
    after = Inspect(memory, &problems);
    ASSERT_EQ(problems, "");
    ASSERT_EQ(before == after, !distinct);
  }
  ASSERT_GT(commitFrom, 0);
  const int stride = Stride();
  int asBefore = 0, asAfter = 0, restored = 0;
  for (int64_t n = 1; n <= total; n += n < commitFrom ? stride : 1) {
    TMemoryFileSystem memory;
    memory.SetContents(kDbPath, base);
    TFaultFileSystem fs(memory);
    bool failed = false;
    TDBLogger::Instance().Clear();
    {
      TFragileConnection c(fs);
      fs.Arm(TFaultOp::Any, n, TFaultMode::Fail, sticky);
      try {
        operation(*c.tables, {});
      } catch (const EZuzDatabaseError&) {
        failed = true;
      } catch (const std::exception& e) {
        ADD_FAILURE() << "call " << n << ": a foreign exception " << e.what();
      }
      fs.Disarm();
      if (!sticky) {
        // The program goes on: what it sees now is already one of the two states.
        std::string seen;
        const TState now = InspectWith(*c.tables, *c.disk, &seen);
        EXPECT_EQ(seen, "") << "call " << n;
        EXPECT_TRUE(now == (failed ? before : after)) << "call " << n;
      }
    }
    // The program ends (or died); the next one opens the database.
    std::string found;
    const TState state = Inspect(memory, &found);
    EXPECT_EQ(found, "") << "call " << n;
    const bool isBefore = state == before, isAfter = state == after;
    EXPECT_TRUE(isBefore || isAfter) << "call " << n << " indexes " << state.itemsIndexes;
    EXPECT_FALSE(memory.Exists(kJournal)) << "call " << n;
    if (!failed && fs.Triggered()) {
      EXPECT_TRUE(isAfter) << "call " << n;  // a fault absorbed
    }
    asBefore += isBefore;
    asAfter += isAfter;
    for (const auto& line : TDBLogger::Instance().Lines()) {
      if (line.find("Rolled back a commit cut short") != std::string::npos ||
          line.find("Undid a failed commit") != std::string::npos) {
        ++restored;
      }
    }
    if (::testing::Test::HasFailure()) break;
  }
  // Both outcomes occur, and some commits were cut off half-way and put back.
  if (distinct) {
    EXPECT_GT(asBefore, 0);
    EXPECT_GT(asAfter, 0);
  }
  EXPECT_GT(restored, 0);
}

TEST(DbRestructureFaults, AddIndexDyingAtEveryCallOfItsCommit) {
  RunFaults(AddUniqueIndex, true);
}
TEST(DbRestructureFaults, DropIndexDyingAtEveryCallOfItsCommit) {
  RunFaults(DropNameIndex, true);
}
TEST(DbRestructureFaults, ReIndexDyingAtEveryCallOfItsCommit) {
  // A rebuild changes no row and no definition: the index pages differ, which the checks see.
  RunFaults(Rebuild, true, false);
}
TEST(DbRestructureFaults, AddIndexMeetingOneIOErrorGoesOn) {
  RunFaults(AddUniqueIndex, false);
}

}  // namespace
}  // namespace zuz::test
