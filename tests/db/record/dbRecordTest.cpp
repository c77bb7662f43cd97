// Table definitions, record images, blob chains and the row operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "db/record/zuzObjectText.h"
#include "tests/db/record/dbRecordUtil.h"

namespace zuz::test {
namespace {

const std::vector<TFieldDesc> kTaskFields = {
    F("Id", TFieldType::ftInteger), F("Name", TFieldType::ftString, 30),
    F("Done", TFieldType::ftBoolean), F("Due", TFieldType::ftDate)};

TTableDef Build(const std::vector<TFieldDesc>& fields, const std::vector<TIndexDesc>& indexes = {},
                const std::string& name = "T") {
  return BuildTableDef(name, fields, indexes, TTableOptions{});
}

TEST(DbRecordLayout, TaskTableOffsetsAndEncoding) {
  TTableDef def = Build(kTaskFields);
  const auto& f = def.InternalFields;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(f[i].NullFlagOffset, 14 + i);
  EXPECT_EQ(f[0].DataOffset, 18);
  EXPECT_EQ(f[1].SizeMarkerOffset, 22);
  EXPECT_EQ(f[1].DataOffset, 24);
  EXPECT_EQ(f[1].FieldSize, 31);
  EXPECT_TRUE(f[1].IsVariable);
  EXPECT_EQ(f[2].DataOffset, 55);
  EXPECT_EQ(f[3].DataOffset, 56);
  EXPECT_EQ(def.RecordSize, 64);
  EXPECT_FALSE(def.UsesBlobs);

  // The values land in the record block exactly there.
  TRecDb db;
  db.Tables().CreateTable("Tasks", kTaskFields, {}, db.Tables().DefaultTableOptions());
  auto t = db.Tables().OpenTable("Tasks");
  t->NewRecord();
  t->SetValue(0, int64_t{-2});
  t->SetValue(1, std::string("Plan"));
  t->SetValue(2, true);
  t->SetValue(3, 45000.75);  // a date keeps whole days
  const uint32_t address = t->AddRecord();
  t.reset();
  db.Close();
  const auto file = db.Bytes();
  const uint8_t* r = file.data() + address;
  EXPECT_EQ(r[0], 1);
  EXPECT_EQ(GetU32(r + 2), RecordOwnerCheck(1));
  EXPECT_EQ(GetU32(r + 6), 1u);
  EXPECT_EQ(GetU32(r + 10), 0u);
  EXPECT_EQ(std::vector<uint8_t>(r + 14, r + 18), (std::vector<uint8_t>{1, 1, 1, 1}));
  EXPECT_EQ(static_cast<int32_t>(GetU32(r + 18)), -2);
  EXPECT_EQ(GetU16(r + 22), 4);
  EXPECT_EQ(std::memcmp(r + 24, "Plan\0", 5), 0);
  EXPECT_EQ(r[55], 1);
  EXPECT_EQ(GetF64(r + 56), 45000.0);
}

TEST(DbRecordLayout, DefinitionChecks) {
  auto code = [](auto&& f) { return ErrorCodeOf(f); };
  EXPECT_EQ(Build({F("S", TFieldType::ftString, 255)}).InternalFields[0].FieldSize, 256);
  EXPECT_EQ(code([] { Build({F("S", TFieldType::ftString, 256)}); }), ZUZ_ERR_FIELD_LENGTH);
  EXPECT_EQ(code([] { Build({F("S", TFieldType::ftString, 0)}); }), ZUZ_ERR_FIELD_LENGTH);
  EXPECT_EQ(code([] { Build({F("B", TFieldType::ftBytes, 1)}); }), ZUZ_ERR_FIELD_LENGTH);
  EXPECT_EQ(Build({F("B", TFieldType::ftBytes, 256)}).RecordSize, 15 + 256);
  EXPECT_EQ(code([] { Build({}); }), ZUZ_ERR_FIELD_COUNT);
  EXPECT_EQ(code([] { Build(std::vector<TFieldDesc>(256, F("X", TFieldType::ftInteger))); }),
            ZUZ_ERR_FIELD_COUNT);
  EXPECT_EQ(code([] { Build({F(std::string(41, 'f').c_str(), TFieldType::ftInteger)}); }),
            ZUZ_ERR_FIELD_NAME);
  EXPECT_EQ(code([] {
              Build({F("A", TFieldType::ftInteger), F("a", TFieldType::ftWord)});
            }),
            ZUZ_ERR_FIELD_NAME);
  EXPECT_EQ(code([] { Build({F("A", TFieldType::ftBCD)}); }), ZUZ_ERR_FIELD_TYPE);
  EXPECT_EQ(code([] { Build({F("A", TFieldType::ftInteger)}, {}, std::string(41, 't')); }),
            ZUZ_ERR_TABLE_NAME);
  EXPECT_EQ(code([] { Build({F("A", TFieldType::ftInteger)}, {}, ""); }), ZUZ_ERR_TABLE_NAME);
  EXPECT_EQ(Build({F("A", TFieldType::ftInteger)}, {}, std::string(40, 't')).TableName.size(), 40u);
  EXPECT_EQ(ErrorTextOf([] { Build({F("A", TFieldType::ftInteger)}, {}, std::string(41, 't')); }),
            std::string(41, 't') + " is not a valid value (min. length 1, max. length 40)");
  // Indexes: unknown field, unindexable types, too many, too large a key.
  EXPECT_EQ(code([] { Build({F("A", TFieldType::ftInteger)}, {Ix("i", "B")}); }),
            ZUZ_ERR_NO_SUCH_FIELD);
  EXPECT_EQ(code([] { Build({F("A", TFieldType::ftBlob)}, {Ix("i", "A")}); }),
            ZUZ_ERR_NOT_INDEXABLE);
  EXPECT_EQ(code([] { Build({F("A", TFieldType::ftBytes, 8)}, {Ix("i", "A")}); }),
            ZUZ_ERR_NOT_INDEXABLE);
  std::vector<TIndexDesc> many;
  for (int i = 0; i < 33; ++i) many.push_back(Ix(("i" + std::to_string(i)).c_str(), "A"));
  EXPECT_EQ(code([&] { Build({F("A", TFieldType::ftInteger)}, many); }), ZUZ_ERR_TOO_MANY_INDEXES);
  many.pop_back();
  EXPECT_EQ(Build({F("A", TFieldType::ftInteger)}, many).InternalIndexDefs.size(), 32u);
  EXPECT_EQ(code([] {
              Build({F("A", TFieldType::ftString, 255), F("B", TFieldType::ftString, 255)},
                    {Ix("big", "A;B", true)});
            }),
            ZUZ_ERR_KEY_TOO_LARGE);
}

TEST(DbRecordLayout, KeyFieldsOfIndexes) {
  TTableDef def = Build({F("Id", TFieldType::ftInteger), F("Name", TFieldType::ftString, 40),
                         F("Paid", TFieldType::ftFloat)},
                        {Ix("byName", "Name", true), Ix("byId", "Id")});
  const TInternalIndexDef* byName = def.FindIndex("byName");
  ASSERT_NE(byName, nullptr);
  EXPECT_EQ(byName->KeyDataOffset, 1);
  EXPECT_EQ(byName->MaximumKeySize, 54);
  EXPECT_EQ(byName->IndexSequence, 0);
  EXPECT_EQ(def.KeyFieldsOf("byName").size(), 1u);
  const auto byId = def.KeyFieldsOf("byId");
  ASSERT_EQ(byId.size(), 2u);
  EXPECT_EQ(def.FindIndex("byId")->MaximumKeySize, 19);
  EXPECT_EQ(byId[0].RecBufOffset, def.InternalFields[0].DataOffset);
  const TKeyFieldItem& seq = byId[1];
  EXPECT_TRUE(seq.Hidden);
  EXPECT_EQ(seq.FieldName, "");
  EXPECT_EQ(seq.RecBufOffset, 6);
  EXPECT_EQ(seq.NullFlagOffset, 0);
  EXPECT_EQ(seq.PhysicalFieldNo, -1);
  EXPECT_EQ(seq.KeyIndex, 1);

  // Descending and case-insensitive fields are matched by whole names.
  TIndexDesc mixed = Ix("mixed", "Id;Name;Paid");
  mixed.DescFields = "Paid";
  mixed.CaseInsFields = "name";
  def = Build({F("Id", TFieldType::ftInteger), F("Name", TFieldType::ftString, 10),
               F("Paid", TFieldType::ftFloat)},
              {mixed});
  auto keys = def.KeyFieldsOf("mixed");
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_FALSE(keys[0].Descending);  // "Id" occurs inside "Paid" but is not named
  EXPECT_FALSE(keys[1].Descending);
  EXPECT_TRUE(keys[2].Descending);
  EXPECT_TRUE(keys[1].CaseInsensitive);
  EXPECT_FALSE(keys[0].CaseInsensitive);

  // Without declared indexes: the hidden "_LogicalRecNo" ordering by insertion.
  def = Build(kTaskFields);
  ASSERT_EQ(def.InternalIndexDefs.size(), 1u);
  EXPECT_EQ(def.InternalIndexDefs[0].IndexName, "_LogicalRecNo");
  EXPECT_TRUE(def.InternalIndexDefs[0].Hidden);
  EXPECT_EQ(def.InternalIndexDefs[0].MaximumKeySize, 15);
  EXPECT_EQ(def.KeyFieldsOf("_LogicalRecNo").size(), 1u);
}

TEST(DbTableDefText, RoundTripWithQuotesNonAsciiAndLongStrings) {
  TTableDef def =
      Build({F("Ünïcödé 'quoted'", TFieldType::ftString, 20), F("Amount", TFieldType::ftCurrency),
             F("Notes", TFieldType::ftMemo), F("When", TFieldType::ftDateTime)},
            {Ix("by 'name'", "Ünïcödé 'quoted';When", true)}, "Tâches d'été");
  def.TableID = 7;
  def.OwnerFlag = 112;
  def.OS = "XX:  0.6.1.0 line\r\nbreak";
  def.CreatedBy = std::string(150, 'x') + "é";
  def.CreationDate = 45123.456789012345;
  def.DefaultBlobSize = 2048;
  def.EncryptionLevel = TEncryptionLevel::encWeak;
  def.SortOrder = TSortOrder::soASCII;
  const std::string text = TableDefToText(def);

  EXPECT_EQ(text.rfind("object TTableDef\r\n", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 5), "end\r\n");
  for (unsigned char c : text) EXPECT_TRUE(c < 0x80) << "non-ASCII byte in the text";
  EXPECT_NE(text.find("  TableName = 'T'#226'ches d'''#233't'#233\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("'#13#10'break'"), std::string::npos);
  EXPECT_NE(text.find(" +\r\n"), std::string::npos);  // the long creator name is split
  EXPECT_NE(text.find("  SortOrder = soASCII\r\n"), std::string::npos);
  EXPECT_NE(text.find("  InternalFields = <\r\n    item\r\n"), std::string::npos);
  EXPECT_NE(text.find("    end>\r\n"), std::string::npos);
  EXPECT_EQ(text.find("NumDecimalPlaces"), std::string::npos);  // defaults are left out
  EXPECT_EQ(text.find("Password"), std::string::npos);

  TTableDef back = TableDefFromText(text);
  EXPECT_EQ(back.TableName, def.TableName);
  EXPECT_EQ(back.CreatedBy, def.CreatedBy);
  EXPECT_EQ(back.OS, def.OS);
  EXPECT_EQ(back.CreationDate, def.CreationDate);
  EXPECT_EQ(back.InternalFields[0].FieldName, "Ünïcödé 'quoted'");
  EXPECT_EQ(back.KeyFields.size(), def.KeyFields.size());
  EXPECT_EQ(TableDefToText(back), text);
  EXPECT_NO_THROW(ValidateStoredTableDef(back));
}

TEST(DbTableDefText, ReadingAcceptsAnyOrderAndRefusesNonsense) {
  const std::string text =
      "object TTableDef\n"
      "  RecordSize = 19\n"
      "  InternalFields = <\n"
      "    item\n"
      "      DataType = ftInteger\n"
      "      FieldName = 'I' + \n"
      "        'd'\n"
      "    end>\n"
      "  TableName = 'x'#39'y'\n"
      "  InternalIndexDefs = <item IndexName = '_LogicalRecNo' Hidden = True "
      "MaximumKeySize = 15 KeyDataOffset = 1 end>\n"
      "  KeyFields = <item IndexName = '_LogicalRecNo' Hidden = True DataType = ftInteger "
      "FieldSize = 4 RecBufOffset = 6 PhysicalFieldNo = -1 end>\n"
      "end\n";
  TTableDef def = TableDefFromText(text);
  EXPECT_EQ(def.TableName, "x'y");
  EXPECT_EQ(def.InternalFields[0].FieldName, "Id");
  EXPECT_EQ(def.DefaultBlobSize, 512);
  EXPECT_EQ(def.SortOrder, TSortOrder::soANSI);
  EXPECT_NO_THROW(ValidateStoredTableDef(def));
  EXPECT_EQ(def.InternalFields[0].DataOffset, 15);

  auto bad = [&](const std::string& from, const std::string& to) {
    std::string t = text;
    t.replace(t.find(from), from.size(), to);
    return ErrorCodeOf([&] {
      TTableDef d = TableDefFromText(t);
      ValidateStoredTableDef(d);
    });
  };
  EXPECT_EQ(bad("RecordSize = 19", "RecordSize = 20"),
            ZUZ_ERR_CORRUPT);  // disagrees with the fields
  EXPECT_EQ(bad("RecordSize = 19", "Colour = 3"), ZUZ_ERR_CORRUPT);
  EXPECT_EQ(bad("ftInteger\n", "ftNothing\n"), ZUZ_ERR_CORRUPT);
  EXPECT_EQ(bad("'x'#39'y'", "'unterminated"), ZUZ_ERR_CORRUPT);
  EXPECT_EQ(bad("end\n", ""), ZUZ_ERR_CORRUPT);
  EXPECT_EQ(bad("#39", "#99999999"), ZUZ_ERR_CORRUPT);
  EXPECT_EQ(bad("PhysicalFieldNo = -1", "PhysicalFieldNo = 3"), ZUZ_ERR_CORRUPT);
  EXPECT_EQ(QuoteObjectString("a'b\tc"), "'a''b'#9'c'");
  EXPECT_EQ(QuoteObjectString(""), "''");
}

// A table with one blob field and 512-byte blob blocks.
struct TBlobTable {
  TRecDb db;
  std::unique_ptr<TOpenTable> t;
  TBlobTable() {
    db.Tables().CreateTable("Docs", {F("Id", TFieldType::ftInteger), F("Body", TFieldType::ftBlob)},
                            {}, db.Tables().DefaultTableOptions());
    t = db.Tables().OpenTable("Docs");
  }
  std::pair<uint32_t, uint32_t> Ref() {
    const auto& f = t->Def().InternalFields[1];
    return {GetU32(t->RecordBuffer().data() + f.DataOffset),
            GetU32(t->RecordBuffer().data() + f.DataOffset + 4)};
  }
  std::vector<uint32_t> Chain() {
    auto [first, length] = Ref();
    return t->Blobs()->ChainBlocks(first, length);
  }
};

TEST(DbBlob, BlockCountsOfTheEdgeCases) {
  TBlobTable b;
  constexpr uint32_t D = 512 - 8;
  auto add = [&](const std::string& value) {
    b.t->NewRecord();
    b.t->SetValue(0, int64_t{1});
    b.t->SetBlob(1, value);
    return b.t->AddRecord();
  };
  add(std::string(D, 'a'));
  auto chain = b.Chain();
  ASSERT_EQ(chain.size(), 1u);
  uint8_t head[8];
  b.db.Disk().ReadData(chain[0], 8, head, ioEncNone, b.t->TableId());
  EXPECT_EQ(GetU32(head), 0u);
  EXPECT_EQ(GetU32(head + 4), D);

  const std::string three = std::string(D, 'x') + std::string(D, 'y') + "z";
  add(three);
  chain = b.Chain();
  ASSERT_EQ(chain.size(), 3u);
  b.db.Disk().ReadData(chain[2], 8, head, ioEncNone, b.t->TableId());
  EXPECT_EQ(GetU32(head + 4), 1u);
  // Written from its end: the last chunk took the first free block, the first chunk the last.
  EXPECT_GT(chain[0], chain[1]);
  EXPECT_GT(chain[1], chain[2]);
  EXPECT_EQ(b.t->GetBlob(1), three);

  add("");
  EXPECT_EQ(b.Ref(), std::make_pair(0u, 0u));
  EXPECT_TRUE(b.t->IsNull(1));
  EXPECT_EQ(b.t->GetBlob(1), "");
}

TEST(DbBlob, RewrittenInPlaceAndReleasedBlockByBlock) {
  TBlobTable b;
  constexpr uint32_t D = 512 - 8;
  b.t->NewRecord();
  b.t->SetBlob(1, "short");
  const uint32_t record = b.t->AddRecord();
  const uint32_t first = b.Ref().first;
  ASSERT_NE(first, 0u);

  const std::string longer(2 * D + 10, 'L');
  b.t->SetBlob(1, longer);
  b.t->UpdateRecord();
  EXPECT_EQ(b.Ref(), std::make_pair(first, static_cast<uint32_t>(longer.size())));
  const auto grown = b.Chain();
  ASSERT_EQ(grown.size(), 3u);
  EXPECT_EQ(grown[0], first);

  b.t->SetBlob(1, "tiny");
  b.t->UpdateRecord();
  EXPECT_EQ(b.Ref(), std::make_pair(first, 4u));
  EXPECT_EQ(b.Chain(), std::vector<uint32_t>{first});
  // The two blocks no longer needed were released: the free list starts with the last of them.
  const uint32_t freeHead = b.t->Header().DWord(thBlobFirstEmpty);
  EXPECT_TRUE(freeHead == grown[1] || freeHead == grown[2]);

  ASSERT_TRUE(b.t->ReadRecord(record));
  EXPECT_EQ(b.t->GetBlob(1), "tiny");
  b.t->SetBlob(1, "");
  b.t->UpdateRecord();
  EXPECT_EQ(b.Ref(), std::make_pair(0u, 0u));
  EXPECT_TRUE(b.t->IsNull(1));
  EXPECT_EQ(b.t->Header().DWord(thBlobFirstEmpty), first);

  // A new record made from a copy of another's buffer gets chains of its own.
  b.t->SetBlob(1, "shared?");
  b.t->UpdateRecord();
  const uint32_t original = b.Ref().first;
  b.t->AddRecord();
  EXPECT_NE(b.Ref().first, original);
  EXPECT_EQ(b.t->GetBlob(1), "shared?");
  b.t->DeleteRecord();
  ASSERT_TRUE(b.t->ReadRecord(record));
  EXPECT_EQ(b.t->GetBlob(1), "shared?");
}

TEST(DbBlob, DamagedChainsAreErrors) {
  TBlobTable b;
  b.t->NewRecord();
  b.t->SetBlob(1, std::string(1200, 'q'));
  const uint32_t record = b.t->AddRecord();
  const auto chain = b.Chain();
  ASSERT_EQ(chain.size(), 3u);
  // A link pointing outside the table's blob pages, and a wrong count.
  uint8_t head[8];
  PutU32(head, 8192);
  PutU32(head + 4, 504);
  b.db.Disk().WriteData(chain[0], 8, head, ioEncNone, b.t->TableId());
  ASSERT_TRUE(b.t->ReadRecord(record));
  EXPECT_EQ(ErrorCodeOf([&] { b.t->GetBlob(1); }), ZUZ_ERR_CORRUPT);
  EXPECT_EQ(ErrorCodeOf([&] { b.t->DeleteRecord(); }), ZUZ_ERR_CORRUPT);
  PutU32(head, chain[1]);
  PutU32(head + 4, 600);
  b.db.Disk().WriteData(chain[0], 8, head, ioEncNone, b.t->TableId());
  ASSERT_TRUE(b.t->ReadRecord(record));
  EXPECT_EQ(ErrorCodeOf([&] { b.t->GetBlob(1); }), ZUZ_ERR_CORRUPT);
}

TEST(DbRows, SequenceNumbersVersionsAndAutoIncrement) {
  TRecDb db;
  db.Tables().CreateTable("Log",
                          {F("No", TFieldType::ftAutoInc), F("Text", TFieldType::ftString, 10)}, {},
                          db.Tables().DefaultTableOptions());
  auto t = db.Tables().OpenTable("Log");
  auto add = [&](const char* text) {
    t->NewRecord();
    t->SetValue(0, int64_t{99});  // ignored: the counter decides
    t->SetValue(1, std::string(text));
    return t->AddRecord();
  };
  const uint32_t a = add("a");
  EXPECT_EQ(t->BufferSequence(), 1u);
  EXPECT_EQ(t->BufferVersion(), 0u);
  EXPECT_EQ(std::get<int64_t>(t->GetValue(0)), 1);
  add("b");
  EXPECT_EQ(t->BufferSequence(), 2u);
  EXPECT_EQ(std::get<int64_t>(t->GetValue(0)), 2);
  ASSERT_TRUE(t->ReadRecord(a));
  t->SetValue(1, std::string("A"));
  t->UpdateRecord();
  EXPECT_EQ(t->BufferVersion(), 1u);
  t->UpdateRecord();
  EXPECT_EQ(t->BufferVersion(), 2u);
  EXPECT_EQ(t->BufferSequence(), 1u);
  EXPECT_EQ(t->DeleteRecord(), 0);
  EXPECT_EQ(t->CurrentAddress(), 0u);
  EXPECT_EQ(ErrorCodeOf([&] { t->UpdateRecord(); }), ZUZ_ERR_RECORD_NOT_FOUND);
  add("c");
  EXPECT_EQ(t->BufferSequence(), 3u);  // never reused
  EXPECT_EQ(std::get<int64_t>(t->GetValue(0)), 3);
  EXPECT_EQ(t->RecordCount(), 2u);
  EXPECT_EQ(t->Header().DWord(thLastAutoInc), 3u);
  EXPECT_EQ(t->Header().DWord(thLastSequence), 3u);

  // Emptying resets the sequence numbers but keeps the auto-increment counter.
  t->EmptyTable();
  EXPECT_EQ(t->RecordCount(), 0u);
  add("d");
  EXPECT_EQ(t->BufferSequence(), 1u);
  EXPECT_EQ(std::get<int64_t>(t->GetValue(0)), 4);
  // Copying rows keeps their values; the counter follows the largest.
  t->KeepAutoIncValues = true;
  t->NewRecord();
  t->SetValue(0, int64_t{50});
  t->AddRecord();
  EXPECT_EQ(std::get<int64_t>(t->GetValue(0)), 50);
  t->KeepAutoIncValues = false;
  add("e");
  EXPECT_EQ(std::get<int64_t>(t->GetValue(0)), 51);
  t.reset();
  db.Reopen();
  t = db.Tables().OpenTable("Log");
  EXPECT_EQ(t->RecordCount(), 3u);
  EXPECT_EQ(t->Header().DWord(thLastAutoInc), 51u);
}

TEST(DbRows, FieldValuesAndTheirChecks) {
  TRecDb db;
  db.Tables().CreateTable("V",
                          {F("S", TFieldType::ftString, 3), F("Small", TFieldType::ftSmallint),
                           F("W", TFieldType::ftWord), F("D", TFieldType::ftDate),
                           F("Tm", TFieldType::ftTime), F("By", TFieldType::ftBytes, 4),
                           F("Blob", TFieldType::ftGraphic), F("Cur", TFieldType::ftCurrency)},
                          {}, db.Tables().DefaultTableOptions());
  auto t = db.Tables().OpenTable("V");
  t->NewRecord();
  EXPECT_TRUE(t->IsNull(0));
  t->SetValue(0, std::string("abc"));
  EXPECT_EQ(ErrorTextOf([&] { t->SetValue(0, std::string("abcd")); }),
            "Field data length is out of range: S");
  EXPECT_EQ(std::get<std::string>(t->GetValue(0)), "abc");
  EXPECT_EQ(ErrorCodeOf([&] { t->SetValue(1, int64_t{40000}); }), ZUZ_ERR_INTERNAL);
  t->SetValue(1, int64_t{-32768});
  EXPECT_EQ(ErrorCodeOf([&] { t->SetValue(2, int64_t{-1}); }), ZUZ_ERR_INTERNAL);
  t->SetValue(2, int64_t{ZUZ_ERR_UNKNOWN});
  t->SetValue(3, -1.5);
  EXPECT_EQ(std::get<double>(t->GetValue(3)), -1.0);
  t->SetValue(4, 2.25);
  EXPECT_EQ(std::get<double>(t->GetValue(4)), 0.25);
  t->SetValue(5, std::string("\x01\x02", 2));
  EXPECT_EQ(std::get<std::string>(t->GetValue(5)), std::string("\x01\x02\0\0", 4));
  t->SetValue(7, int64_t{3});
  EXPECT_EQ(std::get<double>(t->GetValue(7)), 3.0);
  EXPECT_EQ(ErrorTextOf([&] { t->SetValue(6, std::string("x")); }),
            "Unable to use this method to access blob fields");
  EXPECT_EQ(ErrorCodeOf([&] { t->SetBlob(0, "x"); }), ZUZ_ERR_NOT_A_BLOB);
  EXPECT_EQ(ErrorCodeOf([&] { t->GetBlob(0); }), ZUZ_ERR_NOT_A_BLOB);
  t->AddRecord();
  t->SetValue(0, std::monostate{});
  EXPECT_TRUE(t->IsNull(0));
  char raw[4];
  EXPECT_FALSE(t->DataSetGetFieldDataFromRecBuf(0, raw));
  EXPECT_TRUE(t->DataSetGetFieldDataFromRecBuf(1, raw));
  EXPECT_EQ(static_cast<int16_t>(GetU16(reinterpret_cast<uint8_t*>(raw))), -32768);
  EXPECT_EQ(std::get<int64_t>(t->GetValue(2)), ZUZ_ERR_UNKNOWN);
}

TEST(DbTables, CatalogueRowsAndSystemTables) {
  TRecDb db;
  TTableMgr& tables = db.Tables();
  EXPECT_TRUE(tables.HasSystemTables());
  EXPECT_EQ(tables.TableNames(), std::vector<std::string>{});
  EXPECT_EQ(tables.TableNames(true),
            (std::vector<std::string>{"$SYSTBL_INTGENERATOR", "$SYSTBL_OBJECTIDREF"}));
  TTableDef tasks = tables.CreateTable("Tasks", kTaskFields, {}, tables.DefaultTableOptions());
  EXPECT_EQ(tasks.TableID, 1);
  EXPECT_EQ(tasks.OwnerFlag, 16u);
  EXPECT_EQ(tasks.Version, "1.43.02");
  TTableDef internal = tables.CreateTable("$Mine", kTaskFields, {}, tables.DefaultTableOptions());
  EXPECT_GE(internal.TableID, 1026);
  EXPECT_TRUE(internal.InternalTable);
  EXPECT_EQ(tables.TableNames(), std::vector<std::string>{"Tasks"});
  EXPECT_EQ(ErrorCodeOf([&] { tables.CreateTable("Tasks", kTaskFields, {}, {}); }),
            ZUZ_ERR_TABLE_EXISTS);
  EXPECT_EQ(ErrorCodeOf([&] { tables.OpenTable("Nope"); }), ZUZ_ERR_NO_SUCH_TABLE);

  // The catalogue row holds the definition's text; the object ids number the new tables.
  TOpenTable& catalogue = tables.Catalogue(false);
  auto rows = catalogue.RecordAddresses();
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_TRUE(catalogue.ReadRecord(rows[0]));
  EXPECT_EQ(std::get<int64_t>(catalogue.GetValue(0)), 1);
  EXPECT_EQ(TableDefFromText(catalogue.GetBlob(2)).TableID, 1);
  auto ids = tables.OpenTable(TTableMgr::kObjectIdTable);
  std::vector<std::pair<int64_t, std::string>> objects;
  for (uint32_t a : ids->RecordAddresses()) {
    ASSERT_TRUE(ids->ReadRecord(a));
    objects.emplace_back(std::get<int64_t>(ids->GetValue(0)),
                         std::get<std::string>(ids->GetValue(1)));
  }
  EXPECT_EQ(objects, (std::vector<std::pair<int64_t, std::string>>{{1, "Tasks"}, {2, "$Mine"}}));
  ids.reset();

  // Index roots: one empty leaf per index, one level.
  auto t = tables.OpenTable("Tasks");
  const uint32_t root = t->Header().IndexRoot(0);
  EXPECT_EQ(t->Header().IndexLevels(0), 1);
  uint8_t node[16];
  db.Disk().ReadData(root, 16, node, ioEncNone, 1);
  EXPECT_EQ(GetU32(node), 1u);
  EXPECT_EQ(GetU32(node + 4), 0u);
  EXPECT_EQ(db.Disk().MapMgr().EntryOf(root), 0x18);
  t->NewRecord();
  t->AddRecord();
  EXPECT_EQ(ErrorCodeOf([&] { tables.DeleteTable("Tasks"); }), ZUZ_ERR_TABLE_DELETE);
  t.reset();

  // Deleting frees every page of the table and both rows.
  tables.DeleteTable("Tasks");
  EXPECT_FALSE(tables.TableExists("Tasks"));
  EXPECT_TRUE(db.Disk().MapMgr().ListTaggedPages(0x19).empty());
  EXPECT_TRUE(db.Disk().MapMgr().ListTaggedPages(0x18).empty());
  EXPECT_EQ(ErrorCodeOf([&] { tables.DeleteTable("Tasks"); }), ZUZ_ERR_NO_SUCH_TABLE);
  ids = tables.OpenTable(TTableMgr::kObjectIdTable);
  EXPECT_EQ(ids->RecordCount(), 1u);
  ids.reset();
  // The id is free again and the name can be used again.
  EXPECT_EQ(tables.CreateTable("Tasks", kTaskFields, {}, {}).TableID, 1);
  db.Reopen();
  EXPECT_EQ(db.Tables().TableNames(), std::vector<std::string>{"Tasks"});
  EXPECT_EQ(db.Tables().OpenTable("Tasks")->RecordCount(), 0u);
}

TEST(DbTables, RefusedOperations) {
  TRecDb db;
  TTableMgr& tables = db.Tables();
  tables.CreateTable("T", kTaskFields, {}, {});
  {
    TZuzTransaction tr(db.Disk());
    EXPECT_EQ(ErrorCodeOf([&] { tables.CreateTable("U", kTaskFields, {}, {}); }),
              ZUZ_ERR_IN_TRANSACTION);
    EXPECT_EQ(ErrorCodeOf([&] { tables.EmptyTable("T"); }), ZUZ_ERR_IN_TRANSACTION);
  }
  TTableOptions options;
  options.EncryptionLevel = TEncryptionLevel::encStrong;
  EXPECT_EQ(ErrorTextOf([&] { tables.CreateTable("E", kTaskFields, {}, options); }),
            "This database does not use/support encryption");
  options.EncryptionLevel = TEncryptionLevel::encNone;
  options.Memory = true;
  EXPECT_EQ(ErrorCodeOf([&] { tables.CreateTable("M", kTaskFields, {}, options); }),
            ZUZ_ERR_TABLE_TYPE);
  EXPECT_EQ(ErrorCodeOf([&] { tables.CreateTable(std::string(41, 'n'), kTaskFields, {}, {}); }),
            ZUZ_ERR_TABLE_NAME);
  EXPECT_EQ(ErrorCodeOf([&] { tables.CreateTable("$MSTRTBLUSER", kTaskFields, {}, {}); }),
            ZUZ_ERR_RESERVED_NAME);
  EXPECT_EQ(tables.TableNames(), std::vector<std::string>{"T"});

  // Renaming rewrites the row; a name in use is refused.
  tables.CreateTable("U", kTaskFields, {}, {});
  TTableDef def = tables.InternalGetTableDef("T");
  def.TableName = "U";
  EXPECT_EQ(ErrorCodeOf([&] { tables.InternalUpdateTableDef(def, "T"); }), ZUZ_ERR_TABLE_EXISTS);
  def.TableName = "Renamed";
  tables.InternalUpdateTableDef(def, "T");
  EXPECT_EQ(tables.TableNames(), (std::vector<std::string>{"Renamed", "U"}));
  EXPECT_EQ(tables.InternalGetTableDef("Renamed").TableID, def.TableID);
}

TEST(DbTables, EncryptedDatabaseAndTables) {
  const std::string key = "secret key";
  TRecDb db(key);
  TTableOptions options = db.Tables().DefaultTableOptions();
  options.EncryptionLevel = TEncryptionLevel::encWeak;
  TTableDef def =
      db.Tables().CreateTable("Hidden", {F("Text", TFieldType::ftString, 40)}, {}, options);
  EXPECT_NE(def.AltName, def.TableName);
  {
    auto t = db.Tables().OpenTable("Hidden");
    t->NewRecord();
    t->SetValue(0, std::string("plaintext marker"));
    t->AddRecord();
  }
  db.Close();
  const auto bytes = db.Bytes();
  const std::string marker = "plaintext marker";
  EXPECT_EQ(std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end()), bytes.end());
  const std::string tableName = "Hidden";  // the catalogue is encrypted too
  EXPECT_EQ(std::search(bytes.begin(), bytes.end(), tableName.begin(), tableName.end()),
            bytes.end());
  db.Open(key);
  auto t = db.Tables().OpenTable("Hidden");
  auto rows = t->RecordAddresses();
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_TRUE(t->ReadRecord(rows[0]));
  EXPECT_EQ(std::get<std::string>(t->GetValue(0)), marker);
  t.reset();
  db.Close();
  EXPECT_EQ(ErrorCodeOf([&] { db.Open("wrong key"); }), ZUZ_ERR_CORRUPT);
}

TEST(DbRows, TransactionsHoldChangesUntilCommit) {
  TRecDb db;
  db.Tables().CreateTable("T", {F("N", TFieldType::ftInteger), F("B", TFieldType::ftBlob)}, {}, {});
  auto t = db.Tables().OpenTable("T");
  t->NewRecord();
  t->SetValue(0, int64_t{1});
  const uint32_t kept = t->AddRecord();
  const auto before = db.Bytes();
  {
    TZuzTransaction tr(db.Disk());
    t->NewRecord();
    t->SetValue(0, int64_t{2});
    t->SetBlob(1, std::string(3000, 'b'));
    t->AddRecord();
    ASSERT_TRUE(t->ReadRecord(kept));
    t->DeleteRecord();
    EXPECT_EQ(t->RecordCount(), 1u);
    EXPECT_EQ(db.Bytes(), before);  // nothing reached the file
  }                                 // rolled back
  EXPECT_EQ(db.Bytes(), before);
  auto rows = t->RecordAddresses();
  ASSERT_EQ(rows, std::vector<uint32_t>{kept});
  ASSERT_TRUE(t->ReadRecord(kept));
  EXPECT_EQ(std::get<int64_t>(t->GetValue(0)), 1);
  t->NewRecord();
  t->AddRecord();
  EXPECT_EQ(t->BufferSequence(), 2u);  // the rolled-back add's number is free again
  {
    TZuzTransaction tr(db.Disk());
    t->NewRecord();
    t->SetBlob(1, "committed");
    t->AddRecord();
    tr.Commit();
  }
  t.reset();
  db.Reopen();
  t = db.Tables().OpenTable("T");
  EXPECT_EQ(t->RecordCount(), 3u);
}

// Records written by one program are seen by another: its cached pages of the table are dropped
// when the table's write counter moved, and pages the other program appended are read.
TEST(DbDiskLocks, RecordsOfAnotherProgram) {
  TRecDb db;
  db.Tables().CreateTable("T", {F("N", TFieldType::ftInteger), F("S", TFieldType::ftString, 200)},
                          {}, {});
  TConnection other(db.fs, kDbPath);
  auto mine = db.Tables().OpenTable("T");
  auto theirs = other.tables->OpenTable("T");
  mine->NewRecord();
  mine->SetValue(0, int64_t{1});
  const uint32_t first = mine->AddRecord();
  ASSERT_TRUE(theirs->ReadRecord(first));
  EXPECT_EQ(theirs->RecordCount(), 1u);
  for (int i = 2; i <= 400; ++i) {  // many pages beyond the first program's end of file
    theirs->NewRecord();
    theirs->SetValue(0, int64_t{i});
    theirs->AddRecord();
  }
  EXPECT_EQ(mine->RecordCount(), 400u);
  theirs->SetValue(1, std::string("changed"));
  theirs->UpdateRecord();
  const uint32_t last = theirs->CurrentAddress();
  ASSERT_TRUE(mine->ReadRecord(last));
  EXPECT_EQ(std::get<std::string>(mine->GetValue(1)), "changed");

  // An update through an image read before the other program's update: 8708.
  ASSERT_TRUE(mine->ReadRecord(first));
  ASSERT_TRUE(theirs->ReadRecord(first));
  theirs->SetValue(1, std::string("theirs"));
  theirs->UpdateRecord();
  mine->SetValue(1, std::string("mine"));
  EXPECT_EQ(ErrorCodeOf([&] { mine->UpdateRecord(); }), ZUZ_ERR_RECORD_CHANGED);
  // Deleting with the stale image still works (the version is not compared) ...
  ASSERT_TRUE(mine->ReadRecord(first));
  theirs->DeleteRecord();
  EXPECT_EQ(mine->DeleteRecord(), -1);  // ... but not once the record is gone
  EXPECT_EQ(ErrorCodeOf([&] { mine->DeleteRecord(false); }), ZUZ_ERR_RECORD_CHANGED);
  EXPECT_EQ(ErrorCodeOf([&] { mine->UpdateRecord(); }), ZUZ_ERR_RECORD_CHANGED);
  EXPECT_EQ(mine->RecordCount(), 399u);
}

}  // namespace
}  // namespace zuz::test
