// The integrity check of a whole database: silent on a database that went through adds,
// updates with blobs, deletes, index changes and rollbacks; one problem line for each kind of
// damage planted in the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "db/index/zuzIntegrityCheck.h"
#include "db/index/zuzRestructure.h"
#include "db/storage/zuzCoding.h"
#include "db/storage/zuzMapPage.h"
#include "tests/db/index/dbIndexedDb.h"

namespace zuz::test {
namespace {

// Notes(Id, Title, Body memo) with a primary key and an index on Title, and Tags(Name) with a
// unique index; rows added, changed, deleted, some in a rolled-back transaction.
struct TBusyDb : TIndexedDb {
  TBusyDb() : TIndexedDb({}, true) {
    TIndexDesc primary = Ix("", "Id", true);
    primary.Primary = true;
    Tables().CreateTable("Notes",
                         {F("Id", TFieldType::ftInteger), F("Title", TFieldType::ftString, 30),
                          F("Body", TFieldType::ftMemo)},
                         {primary, Ix("ixTitle", "Title")}, Tables().DefaultTableOptions());
    Tables().CreateTable("Tags", {F("Name", TFieldType::ftString, 20)},
                         {Ix("ixName", "Name", true)}, Tables().DefaultTableOptions());
    auto notes = Tables().OpenTable("Notes");
    for (int i = 1; i <= 60; ++i) {
      notes->NewRecord();
      notes->SetValue(0, int64_t{i});
      notes->SetValue(1, "note " + std::to_string(i % 7));
      if (i % 3 == 0) notes->SetBlob(2, std::string(static_cast<size_t>(700 * i), 'a' + i % 26));
      notes->AddRecord();
    }
    for (uint32_t a : notes->BlockOrderAddresses()) {
      EXPECT_TRUE(notes->ReadRecord(a));
      const auto id = std::get<int64_t>(notes->GetValue(0));
      if (id % 5 == 0) {
        notes->DeleteRecord();
      } else if (id % 4 == 0) {
        notes->SetBlob(2, std::string(static_cast<size_t>(50 * id), 'z'));
        notes->UpdateRecord();
      }
    }
    {
      TZuzTransaction rolledBack(Disk());
      notes->NewRecord();
      notes->SetValue(0, int64_t{1000});
      notes->SetBlob(2, std::string(9000, 'r'));
      notes->AddRecord();
    }
    auto tags = Tables().OpenTable("Tags");
    for (const char* name : {"red", "green", "blue"}) {
      tags->NewRecord();
      tags->SetValue(0, std::string(name));
      tags->AddRecord();
    }
    notes.reset();
    tags.reset();
    AddIndex(Tables(), "Tags", Ix("ixName2", "Name"));
  }
  std::vector<std::string> Check() { return CheckDatabaseIntegrity(Tables()); }
  // Closes the database, lets edit change the file's bytes, opens it again.
  template <typename F>
  void Damage(const F& edit) {
    Close();
    std::vector<uint8_t> bytes = Bytes();
    edit(bytes);
    fs.SetContents(kDbPath, bytes);
    Open();
  }
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

bool Mentions(const std::vector<std::string>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

TEST(DbIntegrityCheck, SilentOnAHealthyDatabase) {
  TBusyDb db;
  EXPECT_EQ(Joined(db.Check()), "");
  db.Reopen();
  EXPECT_EQ(Joined(db.Check()), "");
}

TEST(DbIntegrityCheck, EachKindOfDamageIsReported) {
  // A free page with a stray byte.
  {
    TBusyDb db;
    int64_t freePage = 0;
    {
      auto notes = db.Tables().OpenTable("Notes");
      db.Tables().DeleteTable("Tags");  // frees whole pages
    }
    for (int64_t p = 6; p * 4096 < db.Disk().LogicalEndOfFile(); ++p) {
      if (db.Disk().MapMgr().EntryOf(p * 4096) & kMapFreeBit) {
        freePage = p * 4096;
        break;
      }
    }
    ASSERT_NE(freePage, 0);
    db.Damage([&](std::vector<uint8_t>& b) { b[static_cast<size_t>(freePage + 77)] = 1; });
    EXPECT_TRUE(Mentions(db.Check(), "is not empty")) << Joined(db.Check());
  }
  // A page carrying an owner tag of no table.
  {
    TBusyDb db;
    const int64_t page = db.Disk().AllocatePages(900, ioEncNone, nullptr, 1, usRecord);
    (void)page;
    EXPECT_TRUE(Mentions(db.Check(), "of table id 900 of no table header")) << Joined(db.Check());
  }
  // A record whose index keys were lost: the record's Title changed in the file.
  {
    TBusyDb db;
    uint32_t address = 0;
    int offset = 0;
    {
      auto notes = db.Tables().OpenTable("Notes");
      address = notes->BlockOrderAddresses().front();
      offset = notes->Def().InternalFields[1].DataOffset;
    }
    db.Damage(
        [&](std::vector<uint8_t>& b) { b[address + static_cast<uint32_t>(offset) + 1] ^= 1; });
    const auto found = db.Check();
    EXPECT_TRUE(Mentions(found, "(ixTitle): the key of the record")) << Joined(found);
  }
  // A blob block cut out of its chain.
  {
    TBusyDb db;
    uint32_t address = 0;
    int offset = 0;
    {
      auto notes = db.Tables().OpenTable("Notes");
      for (uint32_t a : notes->BlockOrderAddresses()) {
        EXPECT_TRUE(notes->ReadRecord(a));
        if (!notes->GetBlob(2).empty()) {
          address = a;
          break;
        }
      }
      offset = notes->Def().InternalFields[2].DataOffset;
    }
    ASSERT_NE(address, 0u);
    db.Damage([&](std::vector<uint8_t>& b) { PutU32(b.data() + address + offset + 4, 5); });
    const auto found = db.Check();
    EXPECT_TRUE(Mentions(found, "blob")) << Joined(found);
  }
}

}  // namespace
}  // namespace zuz::test
