// The index manager of a table: duplicate keys refused before anything is written, keys kept in
// step with adds, updates and deletes, the order a table is read in, the current index, index
// lookups by fields, other programs' changes, and rebuilding damaged indexes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "db/index/zuzIndexCheck.h"
#include "db/index/zuzIndexManager.h"
#include "db/index/zuzRestructure.h"
#include "db/storage/zuzLogger.h"
#include "db/storage/zuzTableHeader.h"
#include "tests/db/index/dbIndexedDb.h"

namespace zuz::test {
namespace {

TIndexDesc Index(const char* name, const char* fields, bool unique = false, bool primary = false) {
  TIndexDesc d = Ix(name, fields, unique);
  d.Primary = primary;
  return d;
}

// People(Id integer, Name string 20, Code integer, Note blob): primary key Id, unique Name
// without case, non-unique Code descending.
void CreatePeople(TTableMgr& tables) {
  TIndexDesc byName = Index("ixName", "Name", true);
  byName.CaseInsensitive = true;
  TIndexDesc byCode = Index("ixCode", "Code");
  byCode.Descending = true;
  tables.CreateTable("People",
                     {F("Id", TFieldType::ftInteger), F("Name", TFieldType::ftString, 20),
                      F("Code", TFieldType::ftInteger), F("Note", TFieldType::ftBlob)},
                     {Index("", "Id", true, true), byName, byCode}, tables.DefaultTableOptions());
}

uint32_t AddPerson(TOpenTable& t, int64_t id, const TFieldValue& name, const TFieldValue& code,
                   const std::string& note = {}) {
  t.NewRecord();
  t.SetValue(0, id);
  t.SetValue(1, name);
  t.SetValue(2, code);
  if (!note.empty()) t.SetBlob(3, note);
  return t.AddRecord();
}

// The values of a field in the order the table is read.
std::vector<std::string> Column(TOpenTable& t, int field) {
  std::vector<std::string> out;
  for (uint32_t address : t.RecordAddresses()) {
    EXPECT_TRUE(t.ReadRecord(address));
    out.push_back(FieldValueText(t.GetValue(field)));
  }
  return out;
}

std::string Problems(TOpenTable& t) {
  std::string text;
  for (const auto& p : CheckTableIndexes(t)) text += p + "\n";
  return text;
}

using Strings = std::vector<std::string>;

TEST(DbIndexManager, DuplicateKeysAreRefusedBeforeAnythingIsWritten) {
  TIndexedDb db;
  CreatePeople(db.Tables());
  auto t = db.Tables().OpenTable("People");
  AddPerson(*t, 1, std::string("Alice"), int64_t{7}, "first note");
  const uint32_t bob = AddPerson(*t, 2, std::string("Bob"), int64_t{7}, "second note");
  const std::vector<uint8_t> before = db.Bytes();

  // The primary index has the empty name; the unique name index compares without case.
  EXPECT_EQ(ErrorCodeOf([&] { AddPerson(*t, 1, std::string("Carol"), int64_t{1}, "x"); }),
            ZUZ_ERR_KEY_VIOLATION);
  EXPECT_EQ(ErrorTextOf([&] { AddPerson(*t, 1, std::string("Carol"), int64_t{1}, "x"); }),
            "Index ");
  EXPECT_EQ(ErrorTextOf([&] { AddPerson(*t, 3, std::string("ALICE"), int64_t{1}, "x"); }),
            "Index ixName");
  // An update to a key another record holds, with a changed blob and another changed key.
  ASSERT_TRUE(t->ReadRecord(bob));
  t->SetValue(1, std::string("alice"));
  t->SetValue(2, int64_t{99});
  t->SetBlob(3, std::string(5000, 'z'));
  EXPECT_EQ(ErrorTextOf([&] { t->UpdateRecord(); }), "Index ixName");
  // Nothing reached the file: records, blobs, the other indexes, the header's counters.
  EXPECT_EQ(db.Bytes(), before);
  EXPECT_EQ(Problems(*t), "");

  // A record may change the case of its own unique key.
  ASSERT_TRUE(t->ReadRecord(bob));
  t->SetValue(1, std::string("BOB"));
  t->UpdateRecord();
  EXPECT_EQ(Column(*t, 1), (Strings{"Alice", "BOB"}));
  EXPECT_EQ(Problems(*t), "");
}

TEST(DbIndexManager, TwoNullsAreDuplicatesInAUniqueIndexButNotInOthers) {
  TIndexedDb db;
  CreatePeople(db.Tables());
  auto t = db.Tables().OpenTable("People");
  AddPerson(*t, 1, TFieldValue{}, TFieldValue{});
  AddPerson(*t, 2, std::string("Bea"), TFieldValue{});  // a second NULL code is fine
  EXPECT_EQ(ErrorTextOf([&] { AddPerson(*t, 3, TFieldValue{}, int64_t{4}); }), "Index ixName");
  const uint32_t bea = t->RecordAddresses()[1];
  ASSERT_TRUE(t->ReadRecord(bea));
  t->SetValue(1, TFieldValue{});
  EXPECT_EQ(ErrorCodeOf([&] { t->UpdateRecord(); }), ZUZ_ERR_KEY_VIOLATION);
  // Read in primary key order; NULL codes order last in the descending code index.
  auto& indexes = IndexManagerOf(*t);
  EXPECT_EQ(Column(*t, 0), (Strings{"1", "2"}));
  AddPerson(*t, 3, std::string("Cy"), int64_t{4});
  indexes.SelectCurrentIndex("ixCode");
  EXPECT_EQ(Column(*t, 0), (Strings{"3", "2", "1"}));  // 4, then NULLs newest first
  EXPECT_EQ(Problems(*t), "");
}

TEST(DbIndexManager, LogicalRecNoKeepsInsertionOrderWhenBlocksAreReused) {
  TIndexedDb db;
  db.Tables().CreateTable("Log", {F("Text", TFieldType::ftString, 10)}, {},
                          db.Tables().DefaultTableOptions());
  auto t = db.Tables().OpenTable("Log");
  auto add = [&](const char* text) {
    t->NewRecord();
    t->SetValue(0, std::string(text));
    return t->AddRecord();
  };
  const uint32_t a = add("a");
  add("b");
  add("c");
  ASSERT_TRUE(t->ReadRecord(a));
  t->DeleteRecord();
  const uint32_t d = add("d");
  EXPECT_EQ(d, a);  // the freed block is taken again, at the front of the block order
  EXPECT_EQ(Column(*t, 0), (Strings{"b", "c", "d"}));
  auto& indexes = IndexManagerOf(*t);
  ASSERT_EQ(indexes.Count(), 1);
  EXPECT_EQ(indexes.CurrentIndex().IndexName, "_LogicalRecNo");
  EXPECT_TRUE(indexes.CurrentIndex().Hidden);
  EXPECT_EQ(indexes.VisibleCount(), 0);
  EXPECT_EQ(ErrorCodeOf([&] { indexes.CheckIndexesPresent(); }), ZUZ_ERR_NO_SUCH_INDEX);
  t.reset();
  db.Reopen();
  t = db.Tables().OpenTable("Log");
  EXPECT_EQ(Column(*t, 0), (Strings{"b", "c", "d"}));
}

TEST(DbIndexManager, CurrentIndexAndIndexesForFields) {
  TIndexedDb db;
  TIndexDesc byNameCi = Index("ixNameCi", "Name;Id");
  byNameCi.CaseInsFields = "Name";
  db.Tables().CreateTable(
      "T", {F("Id", TFieldType::ftInteger), F("Name", TFieldType::ftString, 10)},
      {Index("ixId", "Id"), byNameCi, Index("ixName", "Name"), Index("", "Name;Id", true, true)},
      db.Tables().DefaultTableOptions());
  auto t = db.Tables().OpenTable("T");
  auto& indexes = IndexManagerOf(*t);
  // Without an index name the primary index (empty name) is current.
  EXPECT_TRUE(indexes.CurrentIndex().Primary);
  indexes.ChooseCurrentIndex("IXNAME");
  EXPECT_EQ(indexes.CurrentIndex().IndexName, "ixName");
  indexes.ChooseCurrentIndex("nothing");  // an unknown name: the first index not hidden
  EXPECT_EQ(indexes.CurrentIndex().IndexName, "ixId");
  EXPECT_EQ(ErrorCodeOf([&] { indexes.SelectCurrentIndex("nothing"); }), ZUZ_ERR_NO_SUCH_INDEX);

  EXPECT_EQ(indexes.FindIndexForFields("name").IndexName, "ixNameCi");
  EXPECT_EQ(indexes.FindIndexForFields("Name", true).IndexName, "ixName");
  EXPECT_EQ(indexes.FindIndexForFields(" name ; ID ").IndexName, "ixNameCi");
  EXPECT_EQ(indexes.FindIndexForFields("Name;Id", true).IndexName, "");
  EXPECT_EQ(indexes.FindIndexForFields("id").IndexName, "ixId");
  EXPECT_EQ(ErrorCodeOf([&] { indexes.FindIndexForFields("Id;Name"); }), ZUZ_ERR_NO_SUCH_INDEX);
  EXPECT_EQ(ErrorTextOf([&] { indexes.FindIndexForFields("Id;Name"); }), "Id;Name");

  // A table without a primary index reads in its first index's order.
  db.Tables().CreateTable("U", {F("A", TFieldType::ftInteger), F("B", TFieldType::ftInteger)},
                          {Index("ixB", "B"), Index("ixA", "A")},
                          db.Tables().DefaultTableOptions());
  auto u = db.Tables().OpenTable("U");
  for (int i = 0; i < 5; ++i) {
    u->NewRecord();
    u->SetValue(0, int64_t{i});
    u->SetValue(1, int64_t{10 - i});
    u->AddRecord();
  }
  EXPECT_EQ(Column(*u, 0), (Strings{"4", "3", "2", "1", "0"}));
  IndexManagerOf(*u).SelectCurrentIndex("ixA");
  EXPECT_EQ(Column(*u, 0), (Strings{"0", "1", "2", "3", "4"}));
  // The hash list of a join on B comes from the index on B, whichever index is current.
  THashList list;
  EXPECT_TRUE(IndexManagerOf(*u).LoadHashList("b", list));
  EXPECT_EQ(list.Count(), 5);
  uint8_t seven[4];
  PutU32(seven, 7);
  ASSERT_EQ(list.Find(seven, 4).size(), 1u);
  ASSERT_TRUE(u->ReadRecord(list.Find(seven, 4)[0]));
  EXPECT_EQ(FieldValueText(u->GetValue(0)), "3");
  EXPECT_FALSE(indexes.LoadHashList("Missing", list));
}

TEST(DbIndexManager, MultiFieldDescendingCaseInsensitiveOrderThroughUpdatesAndDeletes) {
  TIndexedDb db;
  TIndexDesc d = Index("ix", "Group;Name");
  d.DescFields = "Group";
  d.CaseInsFields = "Name";
  db.Tables().CreateTable("T",
                          {F("Group", TFieldType::ftSmallint), F("Name", TFieldType::ftString, 8)},
                          {d}, db.Tables().DefaultTableOptions());
  auto t = db.Tables().OpenTable("T");
  std::vector<uint32_t> at;
  const std::vector<std::pair<int, std::string>> rows = {{1, "b"}, {2, "A"}, {1, "a"},
                                                         {2, "c"}, {1, "C"}, {3, "b"}};
  for (const auto& [group, name] : rows) {
    t->NewRecord();
    t->SetValue(0, int64_t{group});
    t->SetValue(1, name);
    at.push_back(t->AddRecord());
  }
  EXPECT_EQ(Column(*t, 1), (Strings{"b", "A", "c", "a", "b", "C"}));
  ASSERT_TRUE(t->ReadRecord(at[5]));  // (3, b) -> (1, B): after (1, b), which came first
  t->SetValue(0, int64_t{1});
  t->SetValue(1, std::string("B"));
  t->UpdateRecord();
  ASSERT_TRUE(t->ReadRecord(at[1]));
  EXPECT_EQ(t->DeleteRecord(), 0);
  EXPECT_EQ(Column(*t, 1), (Strings{"c", "a", "b", "B", "C"}));
  EXPECT_EQ(Problems(*t), "");
  t.reset();
  db.Reopen();
  t = db.Tables().OpenTable("T");
  EXPECT_EQ(Column(*t, 1), (Strings{"c", "a", "b", "B", "C"}));
}

TEST(DbIndexManager, AnotherProgramsChangesAreSeenThroughTheWriteCounter) {
  TIndexedDb db;
  CreatePeople(db.Tables());
  TIndexedConnection other(db.fs, kDbPath);
  auto mine = db.Tables().OpenTable("People");
  auto theirs = other.tables->OpenTable("People");
  for (int i = 1; i <= 300; ++i) {
    AddPerson(*mine, i, "n" + std::to_string(1000 + i), int64_t{i % 7});
  }
  EXPECT_EQ(theirs->RecordCount(), 300u);
  // The other program grows and shrinks the trees; this one's node buffers must not survive.
  for (int i = 1; i <= 300; i += 2) {
    ASSERT_TRUE(theirs->ReadRecord(theirs->RecordAddresses()[0]));
    EXPECT_EQ(theirs->DeleteRecord(), 0);
  }
  for (int i = 301; i <= 400; ++i) {
    AddPerson(*theirs, i, "n" + std::to_string(1000 + i), int64_t{i % 5});
  }
  EXPECT_EQ(ErrorTextOf([&] { AddPerson(*mine, 400, std::string("x"), int64_t{1}); }), "Index ");
  EXPECT_EQ(ErrorTextOf([&] { AddPerson(*mine, 401, std::string("N1302"), int64_t{1}); }),
            "Index ixName");
  AddPerson(*mine, 401, std::string("fresh"), int64_t{1});
  EXPECT_EQ(theirs->RecordCount(), 251u);
  EXPECT_EQ(Column(*mine, 0), Column(*theirs, 0));
  EXPECT_EQ(Problems(*mine), "");
  EXPECT_EQ(Problems(*theirs), "");
}

TEST(DbIndexManager, ARolledBackTransactionDropsTheKeysItAdded) {
  TIndexedDb db;
  CreatePeople(db.Tables());
  auto t = db.Tables().OpenTable("People");
  for (int i = 1; i <= 100; ++i) AddPerson(*t, i, "p" + std::to_string(i), int64_t{i});
  {
    TZuzTransaction transaction(db.Disk());
    for (int i = 101; i <= 400; ++i) AddPerson(*t, i, "p" + std::to_string(i), int64_t{i});
    EXPECT_EQ(t->RecordCount(), 400u);
  }  // rolled back
  EXPECT_EQ(t->RecordCount(), 100u);
  EXPECT_EQ(Problems(*t), "");
  AddPerson(*t, 101, std::string("p101"), int64_t{101});  // the key is free again
  EXPECT_EQ(t->RecordCount(), 101u);
}

TEST(DbIndexManager, CatalogueLookupsGoThroughItsIndex) {
  TIndexedDb db;
  TDBLogger::Instance().Clear();
  const int64_t missedBefore = TDBLogger::Instance().Counter("INDEXLOOKUPMISSED");
  for (int i = 0; i < 60; ++i) {
    db.Tables().CreateTable("T" + std::to_string(i * 7 % 60), {F("A", TFieldType::ftInteger)}, {},
                            db.Tables().DefaultTableOptions());
  }
  EXPECT_TRUE(db.Tables().TableExists("T59"));
  EXPECT_FALSE(db.Tables().TableExists("T60"));
  EXPECT_EQ(ErrorCodeOf([&] {
              db.Tables().CreateTable("T3", {F("A", TFieldType::ftInteger)}, {},
                                      db.Tables().DefaultTableOptions());
            }),
            ZUZ_ERR_TABLE_EXISTS);
  db.Tables().DeleteTable("T3");
  EXPECT_FALSE(db.Tables().TableExists("T3"));
  EXPECT_EQ(db.Tables().TableNames().size(), 59u);
  EXPECT_EQ(Problems(db.Tables().Catalogue(false)), "");
  EXPECT_EQ(TDBLogger::Instance().Counter("INDEXLOOKUPMISSED"), missedBefore);
}

// ---- rebuilding ---------------------------------------------------------------------------

// The pages of the map entries tagged with the tag, read from the raw file.
std::vector<int64_t> PagesTagged(const std::vector<uint8_t>& file, uint16_t tag) {
  std::vector<int64_t> out;
  int64_t map = GetU32(file.data() + 1024 + 20);
  const uint32_t count = GetU32(file.data() + 1024 + 24);
  for (uint32_t k = 0; k < count && map != 0; ++k) {
    for (int i = 0; i < 2038; ++i) {
      if (GetU16(file.data() + map + 20 + 2 * i) == tag)
        out.push_back((int64_t{k} * 2038 + i) * 4096);
    }
    map = GetU32(file.data() + map + 4);
  }
  return out;
}

TEST(DbIndexManager, ReIndexRebuildsDamagedIndexesAndCanLeaveDuplicatesOut) {
  TIndexedDb db;
  CreatePeople(db.Tables());
  std::vector<uint32_t> at;
  {
    auto t = db.Tables().OpenTable("People");
    for (int i = 1; i <= 400; ++i) {
      at.push_back(AddPerson(*t, i, "name" + std::to_string(i), int64_t{i % 9}));
    }
  }
  const TTableDef def = db.Tables().InternalGetTableDef("People");
  const auto id = static_cast<uint32_t>(def.TableID);
  db.Close();
  std::vector<uint8_t> file = db.Bytes();
  const std::vector<int64_t> nodes = PagesTagged(file, static_cast<uint16_t>(id * 16 + 8));
  ASSERT_GT(nodes.size(), 6u);
  for (size_t i = 0; i < nodes.size(); i += 2) {
    for (int b = 40; b < 400; b += 7) file[static_cast<size_t>(nodes[i] + b)] ^= 0x5A;
  }
  db.fs.SetContents(kDbPath, file);
  db.Open();
  {
    auto t = db.Tables().OpenTable("People");
    EXPECT_NE(Problems(*t), "");
  }
  TReIndexResult r = ReIndex(db.Tables(), "People", false);
  EXPECT_EQ(r.Records, 400);
  EXPECT_EQ(r.LeftOut, 0);
  auto t = db.Tables().OpenTable("People");
  EXPECT_EQ(Problems(*t), "");
  EXPECT_EQ(t->RecordCount(), 400u);

  // A name made equal to another's in the file: the unique index can't hold both.
  t.reset();
  db.Close();
  file = db.Bytes();
  const auto& name = def.InternalFields[1];
  uint8_t* rec = file.data() + at[9];
  PutU16(rec + name.SizeMarkerOffset, 5);
  std::memset(rec + name.DataOffset, 0, static_cast<size_t>(name.FieldSize));
  std::memcpy(rec + name.DataOffset, "NAME2", 5);  // equal to "name2" without case
  db.fs.SetContents(kDbPath, file);
  db.Open();
  EXPECT_EQ(ErrorTextOf([&] { ReIndex(db.Tables(), "People", false); }), "Index ixName");
  EXPECT_EQ(db.Bytes(), file);  // refused and rolled back

  std::vector<int> percents;
  r = ReIndex(db.Tables(), "People", true,
              [&](int percent, bool&) { percents.push_back(percent); });
  EXPECT_EQ(r.LeftOut, 1);
  ASSERT_EQ(percents.size(), 400u);
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(percents.back(), 100);
  t = db.Tables().OpenTable("People");
  EXPECT_EQ(t->RecordCount(), 399u);
  EXPECT_EQ(t->BlockOrderAddresses().size(), 400u);  // the record stays in the table
  const std::vector<std::string> problems = CheckTableIndexes(*t);
  ASSERT_EQ(problems.size(), 3u);  // missing from every index
  for (const auto& p : problems) {
    EXPECT_NE(p.find("no key for the record at " + std::to_string(at[9])), std::string::npos) << p;
  }
}

TEST(DbIndexManager, AStoppedReIndexChangesNothing) {
  TIndexedDb db;
  CreatePeople(db.Tables());
  {
    auto t = db.Tables().OpenTable("People");
    for (int i = 1; i <= 50; ++i) AddPerson(*t, i, "n" + std::to_string(i), int64_t{i});
  }
  const std::vector<uint8_t> before = db.Bytes();
  const TReIndexResult r = ReIndex(db.Tables(), "People", false,
                                   [](int percent, bool& cancel) { cancel = percent >= 50; });
  EXPECT_TRUE(r.Aborted);
  EXPECT_EQ(db.Bytes(), before);
  EXPECT_FALSE(db.fs.Exists("/mem/test.udd"));
  EXPECT_FALSE(db.fs.Exists("/mem/test.udx"));
  auto t = db.Tables().OpenTable("People");
  EXPECT_EQ(t->RecordCount(), 50u);
  EXPECT_EQ(Problems(*t), "");
  TZuzTransaction transaction(db.Disk());
  EXPECT_EQ(ErrorCodeOf([&] { ReIndex(db.Tables(), "People", false); }), ZUZ_ERR_IN_TRANSACTION);
}

}  // namespace
}  // namespace zuz::test
