// Index changes of a table (what CREATE INDEX, DROP INDEX and a column rename run): their checks
// and messages, the change statuses, the rebuilt definition and indexes, and the journal each
// leaves behind (none).
#include <gtest/gtest.h>

#include <algorithm>

#include "db/index/zuzIndexCheck.h"
#include "db/index/zuzIndexManager.h"
#include "db/index/zuzRestructure.h"
#include "db/storage/zuzJournal.h"
#include "db/storage/zuzLogger.h"
#include "tests/db/index/dbIndexedDb.h"

namespace zuz::test {
namespace {

using Strings = std::vector<std::string>;

// An exclusive database with Items(Id, Name string 30, Price float, Qty smallint, Photo blob),
// primary key Id, and 20 rows whose names repeat every 8 rows.
struct TItemsDb : TIndexedDb {
  TItemsDb() : TIndexedDb({}, true) {
    TIndexDesc primary = Ix("", "Id", true);
    primary.Primary = true;
    Tables().CreateTable("Items",
                         {F("Id", TFieldType::ftInteger), F("Name", TFieldType::ftString, 30),
                          F("Price", TFieldType::ftFloat), F("Qty", TFieldType::ftSmallint),
                          F("Photo", TFieldType::ftBlob)},
                         {primary}, Tables().DefaultTableOptions());
    auto t = Tables().OpenTable("Items");
    for (int i = 1; i <= 20; ++i) {
      t->NewRecord();
      t->SetValue(0, int64_t{21 - i});
      t->SetValue(1, "item" + std::to_string(i % 8));
      t->SetValue(2, 1.5 * i);
      t->SetValue(3, int64_t{i % 3});
      t->SetBlob(4, std::string(static_cast<size_t>(i * 100), static_cast<char>('a' + i)));
      t->AddRecord();
    }
  }
  // The Ids in the order of the index.
  Strings IdsBy(const std::string& index) {
    auto t = Tables().OpenTable("Items");
    IndexManagerOf(*t).SelectCurrentIndex(index);
    Strings out;
    for (uint32_t a : t->RecordAddresses()) {
      EXPECT_TRUE(t->ReadRecord(a));
      out.push_back(FieldValueText(t->GetValue(0)));
    }
    return out;
  }
  std::string Problems() {
    auto t = Tables().OpenTable("Items");
    std::string text;
    for (const auto& p : CheckTableIndexes(*t)) text += p + "\n";
    return text;
  }
  bool JournalGone() { return !fs.Exists(JournalFileNameFor(kDbPath)); }
};

TIndexDesc Desc(const char* name, const char* fields, bool unique = false) {
  return Ix(name, fields, unique);
}

TEST(DbRestructure, AddAndDropIndexesRebuildTheDefinitionAndTheKeys) {
  TItemsDb db;
  Strings log;
  TIndexDesc byQty = Desc("ixQty", "Qty;Price");
  byQty.DescFields = "Price";
  auto changes = AddIndex(db.Tables(), "Items", byQty, &log);
  EXPECT_EQ(log, (Strings{": Unchanged Item", "ixQty: New Item"}));
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(db.IdsBy("ixQty"),
            (Strings{"3",  "6",  "9",  "12", "15", "18", "2",  "5",  "8",  "11",
                     "14", "17", "20", "1",  "4",  "7",  "10", "13", "16", "19"}));
  EXPECT_EQ(db.Problems(), "");
  EXPECT_TRUE(db.JournalGone());

  // A unique index over repeated names keeps one record of each name in the indexes.
  log.clear();
  AddIndex(db.Tables(), "Items", Desc("ixName", "Name", true), &log);
  EXPECT_EQ(log.back(), "ixName: New Item");
  {
    auto t = db.Tables().OpenTable("Items");
    EXPECT_EQ(t->RecordCount(), 8u);
    EXPECT_EQ(t->BlockOrderAddresses().size(), 20u);
  }
  // Dropping it brings the others back into the indexes.
  log.clear();
  DropIndex(db.Tables(), "Items", "IXNAME", &log);
  EXPECT_EQ(log, (Strings{": Unchanged Item", "ixQty: Unchanged Item", "ixName: Deleted Item"}));
  EXPECT_EQ(db.IdsBy("").size(), 20u);
  EXPECT_EQ(db.Problems(), "");

  // "primary" names the primary index; without declared indexes "_LogicalRecNo" comes back.
  DropIndex(db.Tables(), "Items", "primary");
  DropIndex(db.Tables(), "Items", "ixQty");
  const TTableDef def = db.Tables().InternalGetTableDef("Items");
  ASSERT_EQ(def.InternalIndexDefs.size(), 1u);
  EXPECT_EQ(def.InternalIndexDefs[0].IndexName, "_LogicalRecNo");
  EXPECT_EQ(db.Problems(), "");
  // The blobs and values survived every rebuild.
  auto t = db.Tables().OpenTable("Items");
  ASSERT_TRUE(t->ReadRecord(t->RecordAddresses()[19]));
  EXPECT_EQ(t->GetBlob(4), std::string(2000, 'a' + 20));
  EXPECT_EQ(FieldValueText(t->GetValue(2)), "30");
}

TEST(DbRestructure, ChecksAndTheirMessages) {
  TItemsDb db;
  auto text = [&](auto&& f) { return ErrorTextOf(f); };
  auto code = [&](auto&& f) { return ErrorCodeOf(f); };
  EXPECT_EQ(text([&] { AddIndex(db.Tables(), "Items", Desc("ix", " ")); }),
            "No index columns specified");
  EXPECT_EQ(text([&] { AddIndex(db.Tables(), "Items", Desc("ix", "Name;Colour")); }),
            "Field not found : Colour");
  EXPECT_EQ(text([&] { AddIndex(db.Tables(), "Items", Desc("", "Name")); }),
            "Index already exists");
  EXPECT_EQ(code([&] { DropIndex(db.Tables(), "Items", "ixNone"); }), ZUZ_ERR_NO_SUCH_INDEX);
  EXPECT_EQ(text([&] { DropIndex(db.Tables(), "Items", "ixNone"); }), "Index not found");
  EXPECT_EQ(code([&] { DropIndex(db.Tables(), "Items", "_LogicalRecNo"); }), ZUZ_ERR_NO_SUCH_INDEX);

  TIndexDesc secondPrimary = Desc("ixP", "Name", true);
  secondPrimary.Primary = true;
  EXPECT_EQ(text([&] { AddIndex(db.Tables(), "Items", secondPrimary); }),
            "Only one primary index is permitted per table");
  TIndexDesc badDesc = Desc("ixD", "Name");
  badDesc.DescFields = "Colour";
  EXPECT_EQ(text([&] { AddIndex(db.Tables(), "Items", badDesc); }),
            "The field 'Colour' in index 'ixD' was not found in the table field definitions.");
  EXPECT_EQ(code([&] { AddIndex(db.Tables(), "Items", Desc("ixB", "Photo")); }),
            ZUZ_ERR_NOT_INDEXABLE);

  // Key sizes: the fields' sizes alone (9996), then the whole key entry (9602).
  std::vector<TFieldDesc> wide = {F("A", TFieldType::ftString, 255),
                                  F("B", TFieldType::ftString, 236),
                                  F("C", TFieldType::ftString, 234)};
  for (int i = 0; i < 33; ++i)
    wide.push_back(F(("N" + std::to_string(i)).c_str(), TFieldType::ftBoolean));
  db.Tables().CreateTable("Wide", wide, {}, db.Tables().DefaultTableOptions());
  // 2 + 256 + 2 + 237 = 497 bytes of fields: no more than 500, but an entry of 10 + 1 + 497 + 4
  EXPECT_EQ(code([&] { AddIndex(db.Tables(), "Wide", Desc("ixAB", "A;B")); }),
            ZUZ_ERR_KEY_TOO_LARGE);
  EXPECT_EQ(text([&] { AddIndex(db.Tables(), "Wide", Desc("ixABC", "A;B;C")); }),
            "The Index 'ixABC' with fields 'A;B;C' has exceeded the maximum key size of 500");
  std::string many;
  for (int i = 0; i < 33; ++i) many += "N" + std::to_string(i) + ";";
  EXPECT_EQ(
      text([&] { AddIndex(db.Tables(), "Wide", Desc("ixN", many.c_str())); }),
      "The Index 'ixN' with fields '" + many + "' has exceeded the maximum key field count of 32");
  // 32 declared indexes, not 33; the table header has a slot for each.
  for (int i = 1; i <= 32; ++i) {
    AddIndex(db.Tables(), "Wide", Desc(("ix" + std::to_string(i)).c_str(), "N5"));
  }
  EXPECT_EQ(code([&] { AddIndex(db.Tables(), "Wide", Desc("ix33", "N6")); }),
            ZUZ_ERR_TOO_MANY_INDEXES);
  {
    auto w = db.Tables().OpenTable("Wide");
    EXPECT_EQ(IndexManagerOf(*w).Count(), 32);
    w->NewRecord();
    w->SetValue(0, std::string("x"));
    w->AddRecord();
    EXPECT_TRUE(CheckTableIndexes(*w).empty());
  }

  // Restructures need the table closed, no open transaction and an exclusive database.
  {
    auto t = db.Tables().OpenTable("Items");
    EXPECT_EQ(code([&] { AddIndex(db.Tables(), "Items", Desc("ix", "Qty")); }), ZUZ_ERR_TABLE_OPEN);
  }
  {
    TZuzTransaction transaction(db.Disk());
    EXPECT_EQ(code([&] { AddIndex(db.Tables(), "Items", Desc("ix", "Qty")); }),
              ZUZ_ERR_IN_TRANSACTION);
    EXPECT_EQ(code([&] { RenameField(db.Tables(), "Items", "Qty", "Count"); }),
              ZUZ_ERR_IN_TRANSACTION);
  }
  EXPECT_EQ(code([&] { AddIndex(db.Tables(), "$MSTRTBLUSER", Desc("ix", "Name")); }),
            ZUZ_ERR_TABLE_TYPE);
  TIndexedDb shared;
  shared.Tables().CreateTable("T", {F("A", TFieldType::ftInteger)}, {},
                              shared.Tables().DefaultTableOptions());
  EXPECT_EQ(code([&] { AddIndex(shared.Tables(), "T", Desc("ix", "A")); }), ZUZ_ERR_NOT_EXCLUSIVE);
  EXPECT_EQ(ReIndex(shared.Tables(), "T", false).Records, 0);  // a rebuild is no schema change
  EXPECT_TRUE(db.JournalGone());
}

TEST(DbRestructure, RenamesChangeOnlyTheDefinition) {
  TItemsDb db;
  AddIndex(db.Tables(), "Items", Desc("ixName", "Name;Qty"));
  const std::vector<uint8_t> rootsBefore = [&] {
    auto t = db.Tables().OpenTable("Items");
    return std::vector<uint8_t>(t->Header().Data() + 48, t->Header().Data() + 60);
  }();
  // The same keys under another name: the keys stay where they are.
  std::vector<TIndexDesc> indexes = IndexDescsOf(db.Tables().InternalGetTableDef("Items"));
  indexes[1].Name = "ixLabel";
  Strings log;
  auto changes = ChangeIndexes(db.Tables(), "Items", indexes, &log);
  EXPECT_EQ(log, (Strings{": Unchanged Item", "ixLabel: Definition Only Changed"}));
  {
    auto t = db.Tables().OpenTable("Items");
    EXPECT_EQ(std::vector<uint8_t>(t->Header().Data() + 48, t->Header().Data() + 60), rootsBefore);
    EXPECT_EQ(IndexManagerOf(*t).FindIndexForFields("Name").IndexName, "ixLabel");
  }
  // Renaming a column renames it in the key fields, whatever its case there.
  RenameField(db.Tables(), "Items", "NAME", "Label");
  const TTableDef def = db.Tables().InternalGetTableDef("Items");
  EXPECT_EQ(def.InternalFields[1].FieldName, "Label");
  EXPECT_EQ(IndexDescsOf(def)[1].Fields, "Label;Qty");
  EXPECT_EQ(ErrorCodeOf([&] { RenameField(db.Tables(), "Items", "Colour", "X"); }),
            ZUZ_ERR_NO_SUCH_FIELD);
  EXPECT_EQ(ErrorCodeOf([&] { RenameField(db.Tables(), "Items", "Label", "price"); }),
            ZUZ_ERR_FIELD_NAME);
  EXPECT_EQ(db.Problems(), "");
  // Changing an index's options rebuilds it; making it unique may lose records from the indexes.
  indexes = IndexDescsOf(def);
  indexes[1].Fields = "Label";
  indexes[1].Unique = true;
  log.clear();
  ChangeIndexes(db.Tables(), "Items", indexes, &log);
  EXPECT_EQ(log, (Strings{": Unchanged Item", "ixLabel: Data Loss Possible"}));
  indexes[1].Unique = false;
  indexes[1].Descending = true;
  log.clear();
  ChangeIndexes(db.Tables(), "Items", indexes, &log);
  EXPECT_EQ(log, (Strings{": Unchanged Item", "ixLabel: Data Requirements Changed"}));
  EXPECT_EQ(db.IdsBy("ixLabel").front(), "6");  // "item7", the newest of them first
  EXPECT_EQ(db.Problems(), "");
}

TEST(DbRestructure, AnEncryptedTableIsRebuiltThroughItsJournal) {
  TIndexedDb db("master key 1", true);
  TTableOptions options = db.Tables().DefaultTableOptions();
  options.EncryptionLevel = TEncryptionLevel::encStrong;
  db.Tables().CreateTable("Secret",
                          {F("Text", TFieldType::ftString, 40), F("Doc", TFieldType::ftMemo)},
                          {Ix("ixText", "Text")}, options);
  {
    auto t = db.Tables().OpenTable("Secret");
    for (int i = 0; i < 10; ++i) {
      t->NewRecord();
      t->SetValue(0, "SECRETVALUE" + std::to_string(i));
      t->SetBlob(1, "SECRETBLOB" + std::to_string(i));
      t->AddRecord();
    }
  }
  ReIndex(db.Tables(), "Secret", false);
  AddIndex(db.Tables(), "Secret", Ix("ixDesc", "Text"));
  EXPECT_FALSE(db.fs.Exists(JournalFileNameFor(kDbPath)));
  auto t = db.Tables().OpenTable("Secret");
  EXPECT_EQ(t->RecordCount(), 10u);
  EXPECT_TRUE(CheckTableIndexes(*t).empty());
  const auto bytes = db.fs.Contents(kDbPath);
  const std::string secret = "SECRETVALUE";
  EXPECT_EQ(std::search(bytes->begin(), bytes->end(), secret.begin(), secret.end()), bytes->end());
}

TEST(DbRestructure, IndexDescriptionsRoundTripAndFieldRenames) {
  TTableDef def = BuildTableDef(
      "T",
      {F("A", TFieldType::ftInteger), F("B", TFieldType::ftString, 5), F("C", TFieldType::ftDate)},
      {}, TTableOptions{});
  TIndexDesc mixed = Desc("m", "A;B");
  mixed.Descending = true;
  mixed.DescFields = "B";
  mixed.CaseInsFields = "b";
  TIndexDesc seqOnly = Desc("s", "A");
  seqOnly.Descending = true;
  seqOnly.DescFields = "C";  // no field of the index: only the sequence field descends
  TIndexDesc uniqueDesc = Desc("u", "C;A", true);
  uniqueDesc.Descending = true;
  const std::vector<TIndexDesc> indexes = {mixed, seqOnly, uniqueDesc};
  const TTableDef with = DefinitionWithIndexes(def, indexes);
  const TTableDef again = DefinitionWithIndexes(def, IndexDescsOf(with));
  ASSERT_EQ(again.KeyFields.size(), with.KeyFields.size());
  for (size_t i = 0; i < with.KeyFields.size(); ++i) {
    EXPECT_EQ(again.KeyFields[i].FieldName, with.KeyFields[i].FieldName);
    EXPECT_EQ(again.KeyFields[i].Descending, with.KeyFields[i].Descending) << i;
    EXPECT_EQ(again.KeyFields[i].CaseInsensitive, with.KeyFields[i].CaseInsensitive) << i;
  }
  for (const auto& c : TRestructureIndexDefs::ChangeStatuses(with, again)) {
    EXPECT_EQ(c.Status, TIndexChangeStatus::Unchanged) << c.OldName;
  }
  std::vector<TIndexDesc> renamed = indexes;
  RenameFieldInIndexDescs(renamed, "b", "Bee");
  EXPECT_EQ(renamed[0].Fields, "A;Bee");
  EXPECT_EQ(renamed[0].DescFields, "Bee");
  EXPECT_EQ(renamed[0].CaseInsFields, "Bee");
  EXPECT_EQ(renamed[1].Fields, "A");
}

}  // namespace
}  // namespace zuz::test
