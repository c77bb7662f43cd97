// Damaged databases: a small real database with what a program that died in a commit leaves
// beside it (a whole journal and the lock file with its slot), and the reading of a database as
// far as it goes (every table's records and blobs through every index and in block order, then
// the integrity check). Shared by the byte-flip test and the database file fuzz target.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/index/zuzIndexManager.h"
#include "db/index/zuzIntegrityCheck.h"
#include "db/lock/zuzMultiUserLocks.h"
#include "db/record/zuzTableMgrUnit.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzJournal.h"
#include "db/storage/zuzMemoryFile.h"
#include "db/storage/zuzSystemInfo.h"

namespace zuz::test {

inline const std::string kDamagedDbPath = "/mem/damaged.zuz";

// The files of a database: the database file, and the journal and lock file when present.
struct TDbFiles {
  std::vector<uint8_t> database;
  std::vector<uint8_t> journal;
  std::vector<uint8_t> lockFile;

  // Lays the files into the file system at the path (and its journal and lock-file names).
  void Install(TMemoryFileSystem& fs, const std::string& path = kDamagedDbPath) const {
    fs.SetContents(path, database);
    if (!journal.empty()) fs.SetContents(JournalFileNameFor(path), journal);
    if (!lockFile.empty()) fs.SetContents(LockFileNameFor(path), lockFile);
  }
  size_t TotalSize() const { return database.size() + journal.size() + lockFile.size(); }
};

// What reading a database came to: the first engine error's code (0 when none was raised) and
// the integrity check's problems (when the database opened).
struct TReadOutcome {
  int errorCode = 0;
  bool checked = false;
  std::vector<std::string> problems;
  size_t recordsRead = 0;
};

namespace detail {

inline std::unique_ptr<TDiskMgr> OpenDisk(TZuzFileSystem& fs, const std::string& path) {
  auto disk = std::make_unique<TDiskMgr>(fs);
  // A damaged lock file may look like one being deleted, which is waited for: not for long here.
  auto locks = std::make_unique<TMultiUserLockProvider>();
  locks->SetLockFileAttempts(2, 1);
  disk->SetLockProvider(std::move(locks));
  disk->FileName = path;
  disk->LockRetryCount = 1;
  disk->LockRetryInterval = 0;
  disk->Open();
  return disk;
}

// Reads every record the table leads to (through each index, through its current order and in
// block order) with every field and blob, at most maxReads records in all.
inline size_t ReadTable(TOpenTable& table, size_t maxReads) {
  std::vector<std::vector<uint32_t>> orders;
  TIndexManager& indexes = IndexManagerOf(table);
  for (int i = 0; i < indexes.Count(); ++i) orders.push_back(indexes.AddressesOf(indexes.Item(i)));
  orders.push_back(table.RecordAddresses());
  orders.push_back(table.BlockOrderAddresses());
  size_t reads = 0;
  for (const auto& order : orders) {
    for (uint32_t address : order) {
      if (reads++ >= maxReads) return reads;
      if (!table.ReadRecord(address)) continue;
      for (int f = 0; f < static_cast<int>(table.Def().InternalFields.size()); ++f) {
        if (IsBlobFieldType(table.Def().InternalFields[static_cast<size_t>(f)].DataType)) {
          table.GetBlob(f);
        } else {
          table.GetValue(f);
        }
      }
    }
  }
  return reads;
}

}  // namespace detail

// Opens the database at the path (rolling back a whole journal, joining or cleaning up the lock
// file), reads all of it and runs the integrity check. Engine errors end the reading and are
// returned; anything else (another exception, a crash, a sanitizer report) escapes.
inline TReadOutcome ReadWholeDatabase(TZuzFileSystem& fs, const std::string& path,
                                      size_t maxReads = 5000) {
  TReadOutcome out;
  try {
    auto disk = detail::OpenDisk(fs, path);
    TTableMgr tables(*disk, IndexedTableServices());
    tables.Open();
    for (const bool internal : {false, true}) {
      for (const std::string& name : tables.TableNames(internal)) {
        auto table = tables.OpenTable(name);
        out.recordsRead += detail::ReadTable(*table, maxReads);
      }
    }
    out.problems = CheckDatabaseIntegrity(tables);
    out.checked = true;
    tables.Close();
    disk->Close();
  } catch (const EZuzDatabaseError& e) {
    out.errorCode = e.ErrorCode();
  }
  return out;
}

// A small database with the planner's kind of tables: Projects (auto-increment primary key, a
// unique case-insensitive name, a memo), Tasks (integer primary key, a descending date index, an
// index on the project, a blob), Notes (no declared index, a memo) and Log (an index of two
// levels), some rows deleted and
// changed, a transaction committed; then a transaction whose commit dies after its journal was
// written. The files are taken as that program left them: the database half-written, the whole
// journal, the lock file with the program's slot. scale sets the number of rows (>= 1).
inline TDbFiles BuildDamageSample(int scale = 4) {
  TMemoryFileSystem memory;
  {
    TDiskMgr disk(memory);
    disk.FileName = kDamagedDbPath;
    TDatabaseCreateOptions options;
    options.databaseName = "sample";
    TTableMgr::CreateDatabase(disk, options, IndexedTableServices());
  }
  auto field = [](const char* name, TFieldType type, int size = 0) {
    TFieldDesc d;
    d.Name = name;
    d.DataType = type;
    d.Size = size;
    return d;
  };
  auto index = [](const char* name, const char* fields, bool primary, bool unique) {
    TIndexDesc d;
    d.Name = name;
    d.Fields = fields;
    d.Primary = primary;
    d.Unique = unique;
    return d;
  };
  TFaultFileSystem fs(memory);
  auto disk = detail::OpenDisk(fs, kDamagedDbPath);
  auto tables = std::make_unique<TTableMgr>(*disk, IndexedTableServices());
  tables->Open();
  TIndexDesc byName = index("ixName", "Name", false, true);
  byName.CaseInsensitive = true;
  TIndexDesc byStart = index("ixStart", "StartDate", false, false);
  byStart.Descending = true;
  TTableOptions small = tables->DefaultTableOptions();
  small.DefaultBlobSize = 256;
  tables->CreateTable("Projects",
                      {field("Id", TFieldType::ftAutoInc), field("Name", TFieldType::ftString, 24),
                       field("Notes", TFieldType::ftMemo)},
                      {index("", "Id", true, true), byName}, small);
  tables->CreateTable(
      "Tasks",
      {field("Id", TFieldType::ftInteger), field("ProjectId", TFieldType::ftInteger),
       field("Name", TFieldType::ftString, 16), field("StartDate", TFieldType::ftDate),
       field("Units", TFieldType::ftFloat), field("Done", TFieldType::ftBoolean),
       field("Plan", TFieldType::ftBlob)},
      {index("", "Id", true, true), index("ixProject", "ProjectId", false, false), byStart}, small);
  tables->CreateTable("Notes", {field("Text", TFieldType::ftMemo)}, {}, small);
  // Enough long keys for a tree of two levels.
  tables->CreateTable("Log", {field("Text", TFieldType::ftString, 40)},
                      {index("ixText", "Text", false, false)}, small);
  {
    auto projects = tables->OpenTable("Projects");
    auto tasks = tables->OpenTable("Tasks");
    auto notes = tables->OpenTable("Notes");
    for (int p = 1; p <= scale; ++p) {
      projects->NewRecord();
      projects->SetValue(1, "Project " + std::to_string(p));
      if (p % 2) projects->SetBlob(2, std::string(static_cast<size_t>(90 * p), 'p'));
      projects->AddRecord();
      for (int t = 1; t <= 3; ++t) {
        tasks->NewRecord();
        tasks->SetValue(0, int64_t{p * 10 + t});
        tasks->SetValue(1, int64_t{p});
        tasks->SetValue(2, "T" + std::to_string(t));
        tasks->SetValue(3, 45292.0 + p * 7 + t);
        tasks->SetValue(4, 12.5 * t);
        tasks->SetValue(5, t == 2);
        if (t == 1) tasks->SetBlob(6, std::string(static_cast<size_t>(300 + 40 * p), 'b'));
        tasks->AddRecord();
      }
      notes->NewRecord();
      notes->SetBlob(0, "note " + std::string(static_cast<size_t>(20 * p), 'n'));
      notes->AddRecord();
    }
    {
      auto log = tables->OpenTable("Log");
      for (int i = 0; i < 90; ++i) {
        log->NewRecord();
        log->SetValue(0, "entry " + std::to_string(i * 7919 % 1000));
        log->AddRecord();
      }
    }
    // Some rows deleted and changed, in a committed transaction.
    TZuzTransaction committed(*disk);
    for (uint32_t a : tasks->BlockOrderAddresses()) {
      if (!tasks->ReadRecord(a)) continue;
      const int64_t id = std::get<int64_t>(tasks->GetValue(0));
      if (id % 10 == 2) {
        tasks->DeleteRecord();
      } else if (id % 10 == 3) {
        tasks->SetBlob(6, std::string(static_cast<size_t>(id), 'c'));
        tasks->SetValue(4, 1.5 * static_cast<double>(id));
        tasks->UpdateRecord();
      }
    }
    committed.Commit();

    // The commit that dies: its journal is written, then every write of the database fails.
    TZuzTransaction dying(*disk);
    projects->NewRecord();
    projects->SetValue(1, std::string("Late"));
    projects->SetBlob(2, std::string(600, 'l'));
    projects->AddRecord();
    for (uint32_t a : tasks->BlockOrderAddresses()) {
      if (tasks->ReadRecord(a) && std::get<int64_t>(tasks->GetValue(0)) % 10 == 1) {
        tasks->SetValue(2, std::string("changed"));
        tasks->UpdateRecord();
      }
    }
    const std::string journalPath = JournalFileNameFor(kDamagedDbPath);
    TDbFiles files;
    // The journal takes the first two writes (its records, then its header); the database's
    // writes fail from the third on, sticky, like a program that dies there.
    fs.Arm(TFaultOp::Write, 3, TFaultMode::ShortTransfer, true);
    try {
      dying.Commit();
    } catch (const EZuzDatabaseError&) {
    }
    if (TZuzJournal::ReadWhole(memory, journalPath)) {
      files.database = *memory.Contents(kDamagedDbPath);
      files.journal = *memory.Contents(journalPath);
    }
    if (auto lock = memory.Contents(LockFileNameFor(kDamagedDbPath))) files.lockFile = *lock;
    fs.Disarm();
    // Whatever the program does on its way out does not count: the files were taken.
    try {
      if (dying.Active()) dying.Rollback();
    } catch (const EZuzDatabaseError&) {
    }
    projects.reset();
    tasks.reset();
    notes.reset();
    try {
      tables.reset();
      disk->Close();
    } catch (const EZuzDatabaseError&) {
    }
    return files;
  }
}

}  // namespace zuz::test
