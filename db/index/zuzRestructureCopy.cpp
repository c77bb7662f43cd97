// The recovery copy of a restructure and the recovery at open (layouts in zuzRestructureCopy.h).
#include "db/index/zuzRestructureCopy.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "db/index/zuzIndexCheck.h"
#include "db/index/zuzIndexManager.h"
#include "db/record/zuzTableMgrUnit.h"
#include "db/storage/zuzCoding.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzLockProvider.h"
#include "db/storage/zuzLogger.h"
#include "db/storage/zuzTableHeader.h"
#include "planner/base/qorStrings.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TRestructureCopy";
constexpr const char* kLogName = "Restructure";
constexpr const char* kCopyTable = "$RESTORE_TABLE";
constexpr const char* kInfoTable = "$RESTORE_INFO";
constexpr const char* kImageTable = "$RESTORE_IMAGES";
constexpr int kSlotSize = 512;
constexpr char kMagic[9] = "VZUDX001";
constexpr int64_t kMaxImageRow = 64 * 1024;
constexpr int kImageBlobSize = 4096;
// ---- the manifest -------------------------------------------------------------------------

struct TManifest {
  uint32_t sequence = 0;
  uint32_t step = 0;
  uint64_t sizeBefore = 0;
  uint32_t images = 0;
  std::string table;
};

std::vector<uint8_t> EncodeSlot(const TManifest& m) {
  std::vector<uint8_t> slot(kSlotSize, 0);
  std::memcpy(slot.data(), kMagic, 8);
  PutU32(slot.data() + 8, m.sequence);
  PutU32(slot.data() + 12, m.step);
  PutU64(slot.data() + 16, m.sizeBefore);
  PutU32(slot.data() + 24, m.images);
  const auto n = static_cast<uint16_t>(std::min<size_t>(m.table.size(), kMaxTableNameLength));
  PutU16(slot.data() + 28, n);
  std::memcpy(slot.data() + 30, m.table.data(), n);
  PutU32(slot.data() + 508, static_cast<uint32_t>(crc32(0, slot.data(), 508)));
  return slot;
}

bool DecodeSlot(const uint8_t* slot, TManifest* m) {
  if (std::memcmp(slot, kMagic, 8) != 0) return false;
  if (GetU32(slot + 508) != static_cast<uint32_t>(crc32(0, slot, 508))) return false;
  const uint16_t n = GetU16(slot + 28);
  if (n > kMaxTableNameLength) return false;
  m->sequence = GetU32(slot + 8);
  m->step = GetU32(slot + 12);
  m->sizeBefore = GetU64(slot + 16);
  m->images = GetU32(slot + 24);
  m->table.assign(reinterpret_cast<const char*>(slot + 30), n);
  return true;
}

// The manifest's current state; false when no slot can be read.
bool ReadManifest(TZuzOSFile& file, TManifest* out) {
  std::vector<uint8_t> bytes(2 * kSlotSize, 0);
  const int64_t got = file.ReadAt(0, bytes.data(), 2 * kSlotSize);
  if (got < 0) return false;
  bool any = false;
  for (int k = 0; k < 2; ++k) {
    TManifest m;
    if ((k + 1) * kSlotSize <= got && DecodeSlot(bytes.data() + k * kSlotSize, &m) &&
        (!any || m.sequence > out->sequence)) {
      *out = m;
      any = true;
    }
  }
  return any;
}

void WriteManifest(TZuzOSFile& file, const TManifest& m, const char* caller) {
  const std::vector<uint8_t> slot = EncodeSlot(m);
  const int64_t offset = int64_t{m.sequence % 2} * kSlotSize;
  if (file.WriteAt(offset, slot.data(), kSlotSize) != kSlotSize || !file.Sync()) {
    ZuzDatabaseError(ZUZ_ERR_WRITE, caller, "Unable to write the restructure manifest", kObject);
  }
}

// ---- the copy database --------------------------------------------------------------------

// The .udd open in this program alone: no lock file, no recovery of its own.
struct TCopyDb {
  TDiskMgr disk;
  TTableMgr tables;

  TCopyDb(TZuzFileSystem& fs, const std::string& path, const std::string& masterKey)
      : disk(fs), tables(disk, IndexedTableServices()) {
    disk.FileName = path;
    disk.Exclusive = true;
    disk.SetLockProvider(std::make_unique<TGrantAllLockProvider>());
    disk.Open();
    disk.SetMasterKey(masterKey);
    tables.RecoverOnOpen = false;
    tables.Open();
  }
  ~TCopyDb() {
    try {
      tables.Close();
      disk.Close();
    } catch (...) {
    }
  }
  // Closes the file, so that everything written is on disk (8581 ... when it can't be).
  void Close() {
    tables.Close();
    disk.Close();
  }
};

std::string MasterKeyOf(TDiskMgr& disk) {
  return disk.ReadDatabaseHeader().securityLevel != 0 ? disk.MasterKey() : std::string();
}

TFieldDesc FieldDescOf(const TInternalFieldItem& f) {
  TFieldDesc d;
  d.Name = f.FieldName;
  d.DataType = f.DataType;
  d.Size = f.DataType == TFieldType::ftString  ? f.FieldSize - 1
           : f.DataType == TFieldType::ftBytes ? f.FieldSize
                                               : 0;
  d.Required = f.Required;
  d.NumDecimalPlaces = f.NumDecimalPlaces;
  return d;
}

// A record for comparing: the image without owner check (it holds the table id) and blob
// references (they hold addresses), with the blob values.
struct TComparableRecord {
  std::vector<uint8_t> image;
  std::vector<std::string> blobs;
  bool operator==(const TComparableRecord&) const = default;
};

std::map<uint32_t, TComparableRecord> ComparableRecords(TOpenTable& table) {
  std::map<uint32_t, TComparableRecord> out;
  TOpenTable::TLockScope lock(table, ltRead);
  for (uint32_t address : table.BlockOrderAddresses()) {
    if (!table.ReadRecord(address)) continue;
    TComparableRecord r;
    r.image = table.RecordBuffer();
    std::memset(r.image.data() + kRecOwnerCheck, 0, 4);
    for (const auto& f : table.Def().InternalFields) {
      if (!IsBlobFieldType(f.DataType)) continue;
      r.blobs.push_back(table.GetBlob(f.FieldNo));
      std::memset(r.image.data() + f.DataOffset, 0, 8);
    }
    out[table.BufferSequence()] = std::move(r);
  }
  table.NewRecord();
  return out;
}

// ---- restoring ----------------------------------------------------------------------------

// Puts the images of the .udd back into the database file and cuts it to its former size.
void PutImagesBack(TDiskMgr& disk, const std::string& uddPath, const TManifest& m) {
  std::vector<TDiskMgr::TRawImage> images;
  {
    TCopyDb copy(disk.FileSystem(), uddPath, MasterKeyOf(disk));
    auto table = copy.tables.OpenTable(kImageTable);
    for (uint32_t address : table->BlockOrderAddresses()) {
      if (!table->ReadRecord(address)) continue;
      const TFieldValue at = table->GetValue(0);
      const std::string bytes = table->GetBlob(1);
      if (!std::holds_alternative<int64_t>(at) || std::get<int64_t>(at) < 0 || bytes.empty()) {
        ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TRestructureCopy.Restore", "A restore image is damaged",
                         kObject);
      }
      images.push_back({std::get<int64_t>(at), std::vector<uint8_t>(bytes.begin(), bytes.end())});
    }
  }
  if (images.size() != m.images) {
    ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TRestructureCopy.Restore",
                     "The restore copy holds " + std::to_string(images.size()) + " of " +
                         std::to_string(m.images) + " images",
                     kObject);
  }
  disk.RestoreRawImages(images, static_cast<int64_t>(m.sizeBefore));
}

// Compares the restored table with its copy and checks its indexes; the differences found.
std::vector<std::string> CompareWithCopy(TDiskMgr& disk, const std::string& uddPath,
                                         const std::string& tableName) {
  std::vector<std::string> problems;
  TTableMgr tables(disk, IndexedTableServices());
  tables.RecoverOnOpen = false;
  tables.Open();
  TCopyDb copy(disk.FileSystem(), uddPath, MasterKeyOf(disk));
  auto info = copy.tables.OpenTable(kInfoTable);
  const std::vector<uint32_t> rows = info->BlockOrderAddresses();
  if (rows.size() != 1 || !info->ReadRecord(rows[0])) {
    problems.push_back("the copy has no table information");
    return problems;
  }
  const std::string definition = info->GetBlob(1);
  const std::string header = info->GetBlob(2);
  if (TableDefToText(tables.InternalGetTableDef(tableName)) != definition) {
    problems.push_back("the definition differs from the copy's");
  }
  auto table = tables.OpenTable(tableName);
  {
    TOpenTable::TLockScope lock(*table, ltRead);
    const uint8_t* now = table->Header().Data();
    if (header.size() != TTableHeader::kSize ||
        std::memcmp(now, header.data(), thWriteCounter) != 0 ||
        std::memcmp(now + thWriteCounter + 4, header.data() + thWriteCounter + 4,
                    TTableHeader::kSize - thWriteCounter - 4) != 0) {
      problems.push_back("the table header differs from the copy's");
    }
  }
  auto copied = copy.tables.OpenTable(kCopyTable);
  if (ComparableRecords(*table) != ComparableRecords(*copied)) {
    problems.push_back("the records differ from the copy's");
  }
  for (const auto& p : CheckTableIndexes(*table)) problems.push_back(p);
  return problems;
}

void DeleteFile(TZuzFileSystem& fs, const std::string& path) {
  std::string error;
  if (fs.Exists(path)) (void)fs.Delete(path, &error);
}

// Recovers from the manifest of a restructure that is no longer running. REQUIRES: the header
// write lock and the claim on the manifest file.
void RecoverFrom(TDiskMgr& disk, TZuzOSFile& udx, const std::string& udxPath,
                 const std::string& uddPath) {
  TZuzFileSystem& fs = disk.FileSystem();
  TDBLogger& log = TDBLogger::Instance();
  TManifest m;
  const bool readable = ReadManifest(udx, &m);
  const std::string which = readable ? "table " + m.table : "a table";
  if (!readable || m.step < TRestructureCopy::stCommit) {
    log.AddLine(kLogName,
                "The restructure of " + which + " stopped before its commit; nothing to restore");
    DeleteFile(fs, uddPath);
    DeleteFile(fs, udxPath);
    return;
  }
  if (m.step == TRestructureCopy::stDone) {
    log.AddLine(kLogName, "The restructure of " + which + " was complete");
    DeleteFile(fs, uddPath);
    DeleteFile(fs, udxPath);
    return;
  }
  if (!fs.Exists(uddPath)) {
    // The copy goes only after the commit ended (or its pages were put back at once).
    log.AddLine(kLogName, "The restructure of " + which + " had ended");
    DeleteFile(fs, udxPath);
    return;
  }
  if (m.step == TRestructureCopy::stFailed) {
    log.AddLine(kLogName,
                "The restore of " + which + " failed earlier; its copy is kept in " + uddPath);
    return;
  }
  PutImagesBack(disk, uddPath, m);
  std::vector<std::string> problems;
  try {
    problems = CompareWithCopy(disk, uddPath, m.table);
  } catch (const EZuzDatabaseError& e) {
    problems.push_back(e.what());
  }
  if (!problems.empty()) {
    log.AddLine(kLogName, "Restored " + which + " as it was before an interrupted restructure, " +
                              "but it does not agree with its copy (" + problems.front() +
                              "); the copy is kept in " + uddPath);
    TManifest failed = m;
    ++failed.sequence;
    failed.step = TRestructureCopy::stFailed;
    WriteManifest(udx, failed, "TRestructureCopy.Recover");
    return;
  }
  log.AddLine(kLogName, "Restored " + which + " as it was before an interrupted restructure");
  DeleteFile(fs, uddPath);
  DeleteFile(fs, udxPath);
}

}  // namespace

std::string RestructureFileName(const std::string& databasePath, const std::string& extension) {
  const size_t slash = databasePath.find_last_of('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = databasePath.rfind('.');
  if (dot != std::string::npos && dot > nameStart) {
    if (SameTextIgnoringCase(databasePath.substr(dot), ".zuz")) {
      return databasePath.substr(0, dot) + extension;
    }
  }
  return databasePath + extension;
}

// ---- TRestructureCopy ---------------------------------------------------------------------

TRestructureCopy::TRestructureCopy(TTableMgr& tables, const std::string& tableName)
    : tables_(tables),
      disk_(tables.Disk()),
      tableName_(tableName),
      uddPath_(RestructureFileName(disk_.FileName, ".udd")),
      udxPath_(RestructureFileName(disk_.FileName, ".udx")) {
  if (!disk_.InTransaction()) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TRestructureCopy.Create",
                     "A restructure copy needs the restructure's transaction", kObject);
  }
  Claim();
  try {
    CopyTable();
    WriteStep(stCopied);
  } catch (...) {
    RemoveFiles();
    throw;
  }
}

TRestructureCopy::~TRestructureCopy() {
  if (!udx_) return;
  if (keepFiles_) {
    udx_.reset();  // the claim ends with the handle: the next open recovers
    return;
  }
  RemoveFiles();
}

void TRestructureCopy::Claim() {
  const char* caller = "TRestructureCopy.Claim";
  TZuzFileSystem& fs = disk_.FileSystem();
  // Held to the end of the transaction: nobody else appends to the file or recovers meanwhile.
  THeaderWriteLock headerLock(disk_);
  std::string error;
  udx_ =
      fs.Open(udxPath_, TZuzAccess::ReadWrite, TZuzShare::DenyNone, TZuzCreate::CreateNew, &error);
  if (!udx_ || !udx_->LockRange(kClaimOffset, 1)) {
    const bool created = udx_ != nullptr;
    udx_.reset();
    if (created) DeleteFile(fs, udxPath_);
    // Either another program restructures now, or one left its files behind (RecoverRestructure
    // deals with those outside a transaction).
    ZuzDatabaseError(ZUZ_ERR_IN_USE, caller,
                     "Another restructure of " + disk_.FileName + " is running or unfinished",
                     kObject);
  }
  try {
    WriteStep(stCopying);
  } catch (...) {
    RemoveFiles();
    throw;
  }
  headerLock.Release();
}

void TRestructureCopy::CopyTable() {
  const TTableDef def = tables_.InternalGetTableDef(tableName_);
  auto source = tables_.OpenTable(tableName_);
  TOpenTable::TLockScope lock(*source, ltWrite);
  TDatabaseCreateOptions options;
  options.databaseName = "Restructure copy";
  options.sortOrder = def.SortOrder;
  options.masterKey = MasterKeyOf(disk_);
  options.overwrite = true;
  {
    TDiskMgr creator(disk_.FileSystem());
    creator.FileName = uddPath_;
    creator.Exclusive = true;
    TTableMgr::CreateDatabase(creator, options, IndexedTableServices());
  }
  TCopyDb copy(disk_.FileSystem(), uddPath_, options.masterKey);
  TTableOptions tableOptions = copy.tables.DefaultTableOptions();
  tableOptions.SortOrder = def.SortOrder;
  tableOptions.DefaultBlobSize = def.DefaultBlobSize;
  tableOptions.EncryptionLevel = def.EncryptionLevel;
  std::vector<TFieldDesc> fields;
  for (const auto& f : def.InternalFields) fields.push_back(FieldDescOf(f));
  copy.tables.InternalCreateTable(BuildTableDef(kCopyTable, fields, {}, tableOptions));
  tableOptions.DefaultBlobSize = kImageBlobSize;
  copy.tables.InternalCreateTable(
      BuildTableDef(kInfoTable,
                    {{"Name", TFieldType::ftString, kMaxTableNameLength},
                     {"Definition", TFieldType::ftBlob},
                     {"Header", TFieldType::ftBlob}},
                    {}, tableOptions));
  copy.tables.InternalCreateTable(BuildTableDef(
      kImageTable, {{"ImageAddress", TFieldType::ftInteger}, {"Image", TFieldType::ftBlob}}, {},
      tableOptions));
  {
    TZuzTransaction transaction(copy.disk);
    auto info = copy.tables.OpenTable(kInfoTable);
    info->NewRecord();
    info->SetValue(0, tableName_);
    info->SetBlob(1, TableDefToText(def));
    const uint8_t* header = source->Header().Data();
    info->SetBlob(2, std::string(reinterpret_cast<const char*>(header), TTableHeader::kSize));
    info->AddRecord();
    auto target = copy.tables.OpenTable(kCopyTable);
    target->KeepAutoIncValues = true;
    target->KeepSequenceValues = true;
    for (uint32_t address : source->BlockOrderAddresses()) {
      if (!source->ReadRecord(address)) continue;
      target->NewRecordFrom(source->RecordBuffer());
      for (const auto& f : def.InternalFields) {
        if (IsBlobFieldType(f.DataType)) target->SetBlob(f.FieldNo, source->GetBlob(f.FieldNo));
      }
      target->AddRecord();
    }
    transaction.Commit();
  }
  copy.Close();
}

void TRestructureCopy::SaveImages(const std::vector<std::pair<int64_t, int64_t>>& ranges) {
  const int64_t size = disk_.File().Handle()->Size();
  if (size < 0) {
    ZuzDatabaseError(ZUZ_ERR_IO, "TRestructureCopy.SaveImages",
                     disk_.File().Handle()->LastErrorText(), kObject);
  }
  uint32_t count = 0;
  {
    TCopyDb copy(disk_.FileSystem(), uddPath_, MasterKeyOf(disk_));
    TZuzTransaction transaction(copy.disk);
    auto images = copy.tables.OpenTable(kImageTable);
    std::vector<uint8_t> bytes;
    for (const auto& [address, length] : ranges) {
      const int64_t end = std::min(address + length, size);
      for (int64_t at = address; at < end; at += kMaxImageRow) {
        const int64_t n = std::min(kMaxImageRow, end - at);
        bytes.resize(static_cast<size_t>(n));
        disk_.File().InternalRead(at, n, bytes.data());
        images->NewRecord();
        images->SetValue(0, at);
        images->SetBlob(
            1, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        images->AddRecord();
        ++count;
      }
    }
    images.reset();
    transaction.Commit();
    copy.Close();
  }
  sizeBefore_ = size;
  imageCount_ = count;
  WriteStep(stCommit);
}

void TRestructureCopy::WriteStep(TStep step) {
  TManifest m;
  m.sequence = ++sequence_;
  m.step = step;
  m.sizeBefore = static_cast<uint64_t>(sizeBefore_);
  m.images = imageCount_;
  m.table = tableName_;
  WriteManifest(*udx_, m, "TRestructureCopy.WriteStep");
  step_ = step;
}

void TRestructureCopy::UndoCommit(TZuzTransaction& transaction) {
  keepFiles_ = true;
  try {
    if (transaction.Active()) transaction.Rollback();
  } catch (...) {
  }
  try {
    TManifest m;
    m.sizeBefore = static_cast<uint64_t>(sizeBefore_);
    m.images = imageCount_;
    PutImagesBack(disk_, uddPath_, m);
    TDBLogger::Instance().AddLine(kLogName,
                                  "Restored table " + tableName_ + " after its restructure failed");
    keepFiles_ = false;
  } catch (...) {
    TDBLogger::Instance().AddLine(kLogName, "Table " + tableName_ +
                                                " could not be restored at once; the next open "
                                                "of the database restores it");
  }
}

void TRestructureCopy::Commit(TZuzTransaction& transaction) {
  try {
    transaction.Commit([this](const auto& ranges) { SaveImages(ranges); });
  } catch (...) {
    // The commit may have written part of its pages: put back what was there.
    if (step_ == stCommit) UndoCommit(transaction);
    throw;
  }
  // The commit is in the file, but the manifest still says that the next open puts the images
  // back. Without "done" in it, nor the copy to take the images from, the restructure counts as
  // failed: it is undone now rather than at the next open.
  try {
    WriteStep(stDone);
  } catch (...) {
    std::string error;
    if (!disk_.FileSystem().Delete(uddPath_, &error)) {
      UndoCommit(transaction);
      throw;
    }
  }
  RemoveFiles();
}

void TRestructureCopy::RemoveFiles() {
  TZuzFileSystem& fs = disk_.FileSystem();
  DeleteFile(fs, uddPath_);
  udx_.reset();
  DeleteFile(fs, udxPath_);
}

// ---- recovery at open ---------------------------------------------------------------------

TTableMgrServices IndexedTableServices() {
  return TTableMgrServices{MakeIndexManager, RecoverRestructure};
}

void RecoverRestructure(TTableMgr& tables) {
  TDiskMgr& disk = tables.Disk();
  TZuzFileSystem& fs = disk.FileSystem();
  const std::string udxPath = RestructureFileName(disk.FileName, ".udx");
  const std::string uddPath = RestructureFileName(disk.FileName, ".udd");
  if (!fs.Exists(udxPath) && !fs.Exists(uddPath)) return;
  if (disk.ReadOnly || disk.InTransaction()) return;
  try {
    THeaderWriteLock headerLock(disk);
    if (!fs.Exists(udxPath)) {
      TDBLogger::Instance().AddLine(kLogName, "Deleted the leftover restructure copy " + uddPath);
      DeleteFile(fs, uddPath);
      headerLock.Release();
      return;
    }
    std::string error;
    auto udx = fs.Open(udxPath, TZuzAccess::ReadWrite, TZuzShare::DenyNone,
                       TZuzCreate::OpenExisting, &error);
    if (udx && udx->LockRange(TRestructureCopy::kClaimOffset, 1)) {
      RecoverFrom(disk, *udx, udxPath, uddPath);
    }
    udx.reset();
    headerLock.Release();
  } catch (const EZuzDatabaseError& e) {
    // The database stays usable for everything else; the files stay for the next attempt.
    TDBLogger::Instance().AddLine(kLogName, std::string("Recovery failed: ") + e.what());
  }
}

}  // namespace zuz
