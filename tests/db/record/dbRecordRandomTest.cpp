// Records against a simple model: random adds, updates and deletes with blobs of random sizes in
// random transactions (some rolled back), checked record by record, block by block (every record
// and blob block is either live or on its free list, exactly once), and again after reopening.
// The number of steps comes from VZ_RANDOM_STEPS (default 4000).
//
// And I/O faults injected into record operations inside a transaction: after the rollback the
// file is as it was and the connection goes on working.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <set>

#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzIOInterface.h"
#include "db/storage/zuzTableHeader.h"
#include "tests/db/record/dbRecordUtil.h"

namespace zuz::test {
namespace {

constexpr int kBlobBlock = 128;

struct TRow {
  int64_t id = 0;
  std::optional<std::string> name;
  double value = 0;
  std::string blob;
  uint32_t version = 0;
  bool operator==(const TRow&) const = default;
};

// Rows by sequence number.
using TModel = std::map<uint32_t, TRow>;

int Steps() {
  const char* env = std::getenv("VZ_RANDOM_STEPS");
  return env ? std::max(1, std::atoi(env)) : 4000;
}

void CreateTable(TTableMgr& tables) {
  TTableOptions options = tables.DefaultTableOptions();
  options.DefaultBlobSize = kBlobBlock;
  tables.CreateTable("R",
                     {F("Id", TFieldType::ftAutoInc), F("Name", TFieldType::ftString, 60),
                      F("Value", TFieldType::ftFloat), F("Data", TFieldType::ftBlob)},
                     {}, options);
}

TRow ReadRow(TOpenTable& t) {
  TRow r;
  r.id = std::get<int64_t>(t.GetValue(0));
  if (!t.IsNull(1)) r.name = std::get<std::string>(t.GetValue(1));
  r.value = std::get<double>(t.GetValue(2));
  r.blob = t.GetBlob(3);
  r.version = t.BufferVersion();
  return r;
}

// Every record of the table against the model; returns sequence number -> address.
std::map<uint32_t, uint32_t> Check(TOpenTable& t, const TModel& model, const char* when) {
  std::map<uint32_t, uint32_t> addresses;
  for (uint32_t a : t.RecordAddresses()) {
    EXPECT_TRUE(t.ReadRecord(a)) << when;
    const uint32_t seq = t.BufferSequence();
    EXPECT_TRUE(addresses.emplace(seq, a).second) << when << ": sequence " << seq << " twice";
    auto it = model.find(seq);
    if (it == model.end()) {
      ADD_FAILURE() << when << ": record " << seq << " is not in the model";
      continue;
    }
    EXPECT_EQ(ReadRow(t), it->second) << when << ": record " << seq;
  }
  EXPECT_EQ(addresses.size(), model.size()) << when;
  return addresses;
}

// The blocks of a free list: runs of (next at 8, count at 12).
std::set<int64_t> FreeBlocks(TDiskMgr& disk, uint32_t first, int64_t blockSize, uint32_t tableId) {
  std::set<int64_t> out;
  uint32_t run = first;
  while (run != 0) {
    uint8_t head[16];
    disk.ReadData(run, 16, head, ioEncNone, tableId);
    const uint32_t count = GetU32(head + 12);
    for (uint32_t i = 0; i < count; ++i) {
      EXPECT_TRUE(out.insert(run + i * blockSize).second) << "free block listed twice";
    }
    run = GetU32(head + 8);
    if (out.size() > 1000000) break;
  }
  return out;
}

// Every block of the record and blob interfaces is live or free, never both, never neither.
void CheckBlocks(TOpenTable& t, const std::map<uint32_t, uint32_t>& live) {
  TDiskMgr& disk = t.Disk();
  const uint32_t id = t.TableId();
  const TTableDef& def = t.Def();
  std::set<int64_t> used;
  for (const auto& [seq, address] : live) used.insert(address);
  std::set<int64_t> blobUsed;
  for (const auto& [seq, address] : live) {
    ASSERT_TRUE(t.ReadRecord(address));
    const uint8_t* ref = t.RecordBuffer().data() + def.InternalFields[3].DataOffset;
    for (uint32_t b : t.Blobs()->ChainBlocks(GetU32(ref), GetU32(ref + 4))) {
      EXPECT_TRUE(blobUsed.insert(b).second) << "blob block in two chains";
    }
  }
  auto check = [&](const std::set<int64_t>& inUse, std::set<int64_t> free, int64_t size,
                   uint32_t usage, const char* what) {
    TDiskIOInterface io(&disk, static_cast<uint32_t>(size), id, usage, ioEncNone);
    for (int64_t block : io.ListBlocks()) {
      const bool isUsed = inUse.count(block) > 0, isFree = free.erase(block) > 0;
      EXPECT_TRUE(isUsed != isFree)
          << what << " block " << block << (isUsed ? " used and free" : " lost");
    }
    EXPECT_TRUE(free.empty()) << what << ": free list leads outside the table";
  };
  check(used, FreeBlocks(disk, t.Header().DWord(thRecordFirstEmpty), def.RecordSize, id),
        def.RecordSize, usRecord, "record");
  check(blobUsed, FreeBlocks(disk, t.Header().DWord(thBlobFirstEmpty), kBlobBlock, id), kBlobBlock,
        usBlob, "blob");
}

std::string RandomBlob(std::mt19937& rng) {
  const int kind = static_cast<int>(rng() % 10);
  size_t n = 0;
  if (kind < 2)
    n = 0;
  else if (kind < 5)
    n = rng() % 100;
  else if (kind < 8)
    n = (kBlobBlock - 8) * (1 + rng() % 4) + (rng() % 3) - 1;  // around chunks
  else
    n = rng() % 5000;
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

void SetRow(TOpenTable& t, std::mt19937& rng, TRow& row, bool withBlob) {
  if (rng() % 5 == 0) {
    row.name.reset();
  } else {
    row.name = std::string(rng() % 61, static_cast<char>('a' + rng() % 26));
  }
  row.value = static_cast<double>(rng() % 100000) / 7.0;
  t.SetValue(1, row.name ? TFieldValue(*row.name) : TFieldValue());
  t.SetValue(2, row.value);
  if (withBlob) {
    row.blob = RandomBlob(rng);
    t.SetBlob(3, row.blob);
  }
}

TEST(DbRecordRandom, AgainstAModelWithTransactionsAndReopening) {
  TRecDb db;
  CreateTable(db.Tables());
  auto t = db.Tables().OpenTable("R");
  std::mt19937 rng(20240611);
  TModel model;
  std::map<uint32_t, uint32_t> addresses;  // sequence number -> address
  std::vector<uint32_t> sequences;
  uint32_t lastSeq = 0;
  int64_t lastId = 0;
  const int steps = Steps();
  std::unique_ptr<TZuzTransaction> transaction;
  TModel saved;
  uint32_t savedSeq = 0;
  int64_t savedId = 0;
  int inTransaction = 0, rolledBack = 0;
  for (int step = 0; step < steps; ++step) {
    if (!transaction && rng() % 20 == 0) {
      transaction = std::make_unique<TZuzTransaction>(db.Disk());
      saved = model;
      savedSeq = lastSeq;
      savedId = lastId;
      inTransaction = 5 + static_cast<int>(rng() % 60);
    }
    const int op = static_cast<int>(rng() % 10);
    if (op < 5 || model.empty()) {
      TRow row;
      t->NewRecord();
      SetRow(*t, rng, row, true);
      const uint32_t address = t->AddRecord();
      row.id = ++lastId;
      ASSERT_EQ(t->BufferSequence(), ++lastSeq);
      model[lastSeq] = row;
      addresses[lastSeq] = address;
    } else {
      auto it = model.begin();
      std::advance(it, static_cast<long>(rng() % model.size()));
      const uint32_t seq = it->first;
      ASSERT_TRUE(t->ReadRecord(addresses[seq])) << "step " << step;
      ASSERT_EQ(t->BufferSequence(), seq);
      if (op < 8) {
        SetRow(*t, rng, it->second, rng() % 2 == 0);
        t->UpdateRecord();
        ++it->second.version;
        ASSERT_EQ(t->BufferVersion(), it->second.version);
      } else {
        ASSERT_EQ(t->DeleteRecord(), 0);
        model.erase(it);
        addresses.erase(seq);
      }
    }
    if (transaction && --inTransaction <= 0) {
      if (rng() % 4 == 0) {
        transaction->Rollback();
        model = saved;
        lastSeq = savedSeq;
        lastId = savedId;
        ++rolledBack;
        addresses = Check(*t, model, "after a rollback");
      } else {
        transaction->Commit();
      }
      transaction.reset();
    }
    if (step % 500 == 499 && !transaction) {
      addresses = Check(*t, model, "during the run");
      CheckBlocks(*t, addresses);
    }
  }
  if (transaction) transaction->Commit();
  transaction.reset();
  addresses = Check(*t, model, "at the end");
  CheckBlocks(*t, addresses);
  t.reset();
  db.Reopen();
  t = db.Tables().OpenTable("R");
  addresses = Check(*t, model, "after reopening");
  CheckBlocks(*t, addresses);
  EXPECT_GT(rolledBack, 0);
  EXPECT_EQ(t->Header().DWord(thLastSequence), lastSeq);
}

// A fault at each call of a small transaction's record operations, one call after another.
TEST(DbRecordRandom, FaultsInsideATransactionLeaveTheFileAsItWas) {
  TMemoryFileSystem memory;
  TModel model;
  {
    TDiskMgr disk(memory);
    disk.FileName = kDbPath;
    TTableMgr::CreateDatabase(disk, {}, RecordLayerServices());
    TConnection c(memory, kDbPath);
    CreateTable(*c.tables);
    auto t = c.tables->OpenTable("R");
    std::mt19937 rng(7);
    for (uint32_t seq = 1; seq <= 6; ++seq) {
      TRow row;
      t->NewRecord();
      SetRow(*t, rng, row, true);
      t->AddRecord();
      row.id = seq;
      model[seq] = row;
    }
  }
  const std::vector<uint8_t> before = *memory.Contents(kDbPath);
  int failures = 0;
  for (int n = 1;; ++n) {
    TFaultFileSystem fs(memory);
    TConnection c(fs, kDbPath);
    auto t = c.tables->OpenTable("R");
    const auto addresses = Check(*t, model, "before the fault");
    fs.Arm(TFaultOp::Any, n);
    bool completed = false;
    try {
      c.disk->StartTransaction();
      std::mt19937 rng(11);
      TRow row;
      t->NewRecord();
      SetRow(*t, rng, row, true);
      t->SetBlob(3, std::string(3 * kBlobBlock, 'n'));
      t->AddRecord();
      ASSERT_TRUE(t->ReadRecord(addresses.at(2)));
      t->SetBlob(3, std::string(9 * kBlobBlock, 'u'));
      t->UpdateRecord();
      ASSERT_TRUE(t->ReadRecord(addresses.at(4)));
      t->DeleteRecord();
      completed = true;
    } catch (const EZuzDatabaseError&) {
      ++failures;
    }
    const bool triggered = fs.Triggered();
    fs.Disarm();
    if (c.disk->InTransaction()) c.disk->Rollback();
    EXPECT_EQ(*memory.Contents(kDbPath), before) << "fault at call " << n;
    // The connection goes on: the rolled-back changes are gone from its view too.
    Check(*t, model, "after the rollback");
    t->NewRecord();
    t->SetBlob(3, "after");
    EXPECT_NO_THROW({
      c.disk->StartTransaction();
      t->AddRecord();
      c.disk->Rollback();
    }) << "fault at call "
       << n;
    if (completed && !triggered) break;
    ASSERT_LT(n, 3000);
  }
  EXPECT_GT(failures, 3);
}

}  // namespace
}  // namespace zuz::test
