#include "db/record/zuzDataUnit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_set>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzIOInterface.h"
#include "db/storage/zuzTableHeader.h"
#include "db/storage/zuzTableHeaderMgr.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TZuzDataSet";
[[noreturn]] void OutOfRange(const TInternalFieldItem& f) {
  ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TZuzDataSet.DataSetSetFieldDataToRecBuf",
                   "Field data length is out of range: " + f.FieldName, kObject);
}

int64_t AsInteger(const TFieldValue& v, const TInternalFieldItem& f) {
  if (auto* i = std::get_if<int64_t>(&v)) return *i;
  if (auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  if (auto* d = std::get_if<double>(&v)) {
    if (std::isfinite(*d) && *d == std::trunc(*d) && std::fabs(*d) < 9.2e18) {
      return static_cast<int64_t>(*d);
    }
  }
  ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TZuzDataSet.DataSetSetFieldDataToRecBuf",
                   "Field " + f.FieldName + " needs a whole number", kObject);
}

double AsDouble(const TFieldValue& v, const TInternalFieldItem& f) {
  double d = 0;
  if (auto* p = std::get_if<double>(&v)) {
    d = *p;
  } else if (auto* i = std::get_if<int64_t>(&v)) {
    d = static_cast<double>(*i);
  } else {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TZuzDataSet.DataSetSetFieldDataToRecBuf",
                     "Field " + f.FieldName + " needs a number", kObject);
  }
  if (!std::isfinite(d)) OutOfRange(f);
  return d;
}

// A date or date and time the calendar can read back (1 January 0001 to 31 December 9999).
double AsDayNumber(const TFieldValue& v, const TInternalFieldItem& f) {
  const double d = AsDouble(v, f);
  if (!IsCalendarDayNumber(d)) {
    ZuzDatabaseError(ZUZ_ERR_DATE_VALUE, "TZuzDataSet.DataSetSetFieldDataToRecBuf",
                     "Field " + f.FieldName + ": the day number " + FieldValueText(d) +
                         " lies outside the years 1 to 9999",
                     kObject);
  }
  return d;
}

// Text stored in a string or memo field is UTF-8.
void CheckText(std::string_view text, const TInternalFieldItem& f) {
  const size_t bad = FirstInvalidUtf8(text);
  if (bad == text.size()) return;
  ZuzDatabaseError(
      ZUZ_ERR_INTERNAL, "TZuzDataSet.DataSetSetFieldDataToRecBuf",
      "Field " + f.FieldName + ": the text is not valid UTF-8 at byte " + std::to_string(bad + 1),
      kObject);
}

}  // namespace

std::string FieldValueText(const TFieldValue& value) {
  if (std::holds_alternative<std::monostate>(value)) return "NULL";
  if (auto* i = std::get_if<int64_t>(&value)) return std::to_string(*i);
  if (auto* b = std::get_if<bool>(&value)) return *b ? "True" : "False";
  if (auto* d = std::get_if<double>(&value)) {
    return CFormat("%.17g", *d);
  }
  return std::get<std::string>(value);
}

// ---------------------------------------------------------------------------------------------
// Locks

TOpenTable::TLockScope::TLockScope(TOpenTable& table, int lockType) : table_(table) {
  TDiskMgr& disk = table_.disk_;
  if (table_.scopeDepth_ > 0 && (lockType != ltWrite || table_.scopeWrite_) &&
      disk.LockReleaseCount() == table_.scopeReleases_ &&
      disk.RollbackCount() == table_.scopeRollbacks_) {
    nested_ = true;
    ++table_.scopeDepth_;
    return;
  }
  const auto id = static_cast<uint16_t>(table_.TableId());
  bool held = false;
  bool unchanged = false;
  if (TZuzLockProvider* locks = disk.LockProvider()) {
    held = locks->TableLockHeld(id) != ltNone;
    if (held) {
      disk.LockTable(id, lockType);
    } else {
      unchanged = disk.LockTableIfUnchanged(id, lockType, table_.syncEpoch_);
    }
    taken_ = !held;
  }
  try {
    table_.Refresh(held, unchanged);
  } catch (...) {
    if (taken_) disk.UnlockTable(id);
    throw;
  }
  outerWrite_ = table_.scopeWrite_;
  if (table_.scopeDepth_++ == 0) {
    table_.scopeReleases_ = disk.LockReleaseCount();
    table_.scopeRollbacks_ = disk.RollbackCount();
  }
  table_.scopeWrite_ = table_.scopeWrite_ || lockType == ltWrite;
}

TOpenTable::TLockScope::~TLockScope() {
  --table_.scopeDepth_;
  if (nested_) return;
  table_.scopeWrite_ = outerWrite_;
  if (!taken_) return;
  try {
    table_.disk_.UnlockTable(static_cast<uint16_t>(table_.TableId()));
  } catch (...) {
  }
}

void TOpenTable::Refresh(bool lockWasHeld, bool unchanged) {
  // A table lock held all the time since the last refresh (taken before it, none released
  // since) kept other programs from writing the table, and a file that nobody committed to
  // since the header was read holds it still: the header in memory is current.
  const bool current =
      (unchanged && lastWriteCounter_ && disk_.RollbackCount() == lastRollbackCount_ &&
       disk_.IsNewestWriteCounter(TableId(), *lastWriteCounter_)) ||
      (lockWasHeld && lastWriteCounter_ && disk_.RollbackCount() == lastRollbackCount_ &&
       disk_.LockReleaseCount() == lastLockReleaseCount_);
  if (!current) {
    const bool synced = disk_.RefreshSharedState();
    header_->ReadHeader();
    syncEpoch_ = synced ? disk_.SyncEpoch() : 0;
  }
  lastLockReleaseCount_ = disk_.LockReleaseCount();
  const uint32_t counter = header_->DWord(thWriteCounter);
  const bool rolledBack = disk_.RollbackCount() != lastRollbackCount_;
  const bool changed = !lastWriteCounter_ || *lastWriteCounter_ != counter || rolledBack;
  if (changed) {
    ++generation_;
    disk_.CheckCachedTablePages(TableId(), counter);
    lastWriteCounter_ = counter;
    lastRollbackCount_ = disk_.RollbackCount();
    recordPages_.clear();
    blobPages_.clear();
  }
  indexes_->HeaderReloaded(changed);
}

void TOpenTable::FinishWrite() {
  indexes_->StoreRoots();
  header_->WriteHeader();
  lastWriteCounter_ = header_->DWord(thWriteCounter);
  disk_.NoteCachedTablePages(TableId(), *lastWriteCounter_);
  ++generation_;
}

void TOpenTable::AfterFailedWrite() {
  ++generation_;
  // Blocks taken from the free lists and index nodes may be written already: keep the lists and
  // the index roots in step with them (inside a transaction this goes to the transaction, which
  // the caller rolls back or not).
  try {
    indexes_->StoreRoots();
    if (header_->Dirty()) {
      header_->WriteHeader();
      lastWriteCounter_ = header_->DWord(thWriteCounter);
      disk_.NoteCachedTablePages(TableId(), *lastWriteCounter_);
    }
  } catch (...) {
  }
}

// ---------------------------------------------------------------------------------------------
// Opening

TOpenTable::TOpenTable(TDiskMgr& disk, TTableHeaderMgr& headers, TTableDef def,
                       const TTableIndexesFactory& indexes, std::function<void(uint32_t)> onClose)
    : disk_(disk), headers_(headers), def_(std::move(def)), onClose_(std::move(onClose)) {
  if (def_.Encrypted && AltNameFor(def_.TableName, true) != def_.AltName) {
    ZuzDatabaseError(ZUZ_ERR_CORRUPT_HEADER, "TZuzBaseTable.Open",
                     "The encrpytion key is not valid or corrupted", kObject);
  }
  header_ = &headers_.OpenTable(TableId());
  try {
    if (header_->DWord(thIndexCount) < def_.InternalIndexDefs.size()) {
      ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TZuzBaseTable.Open",
                       "The header of table " + def_.TableName + " has too few index slots",
                       kObject);
    }
    const uint32_t flags = IoFlagsFor(def_.EncryptionLevel);
    recordIo_ = std::make_unique<TDiskIOInterface>(&disk_, static_cast<uint32_t>(def_.RecordSize),
                                                   TableId(), usRecord, flags);
    recordIo_->SetTableFirstEmpty(header_, thRecordFirstEmpty);
    recordIo_->Open();
    recordMgr_.Open(recordIo_.get(), static_cast<uint32_t>(def_.RecordSize));
    if (def_.UsesBlobs) {
      blobBlocks_ = std::make_unique<TDiskIOInterface>(
          &disk_, static_cast<uint32_t>(def_.DefaultBlobSize), TableId(), usBlob, flags);
      blobBlocks_->SetTableFirstEmpty(header_, thBlobFirstEmpty);
      blobBlocks_->Open();
      blobIo_ = std::make_unique<TBlobInterface>(blobBlocks_.get(),
                                                 static_cast<uint32_t>(def_.DefaultBlobSize));
      const uint16_t blobTag = blobBlocks_->OwnerTag();
      const uint32_t blockSize = blobIo_->BlockSize();
      blobIo_->SetBlockCheck([this, blobTag, blockSize](uint32_t address) {
        return OnOwnPages(address, blockSize, blobTag, blobPages_);
      });
    }
    nodeIo_ = std::make_unique<TDiskIOInterface>(&disk_, kIndexPageSize, TableId(), usIndex, flags);
    nodeIo_->SetGlobalFirstEmpty(ghIndexFirstEmpty);
    nodeIo_->Open();
    TTableIndexContext context{&disk_, &def_, header_, nodeIo_.get(),
                               [this](uint32_t address) { CheckIndexedRecord(address); }};
    if (!indexes) ZuzInternalError("TOpenTable.Open", "A table needs the factory of its index set");
    indexes_ = indexes(context);
  } catch (...) {
    headers_.CloseTable(TableId());
    throw;
  }
  for (const auto& f : def_.InternalFields)
    if (IsBlobFieldType(f.DataType)) blobFields_.push_back(f.FieldNo);
  NewRecord();
}

TOpenTable::~TOpenTable() {
  try {
    headers_.CloseTable(TableId());
  } catch (...) {
  }
  if (onClose_) onClose_(TableId());
}

// ---------------------------------------------------------------------------------------------
// Reading

bool TOpenTable::OnOwnPages(uint32_t address, int64_t size, uint16_t tag,
                            std::unordered_set<int64_t>& known) {
  const int64_t page = disk_.PageSize;
  const int64_t end = int64_t{address} + size;
  if (address < kInitialPages * page || end > disk_.LogicalEndOfFile()) return false;
  for (int64_t p = address - address % page; p < end; p += page) {
    if (known.count(p) != 0) continue;
    if (disk_.MapMgr().EntryOf(p) != tag) return false;
    known.insert(p);
  }
  return true;
}

bool TOpenTable::IsRecordBlock(uint32_t address) {
  return OnOwnPages(address, def_.RecordSize, recordIo_->OwnerTag(), recordPages_);
}

bool TOpenTable::ReadImage(uint32_t address, std::vector<uint8_t>& image) {
  if (!IsRecordBlock(address)) return false;
  image.resize(static_cast<size_t>(def_.RecordSize));
  recordMgr_.Read(address, image.data());
  return image[kRecStatus] == 1 &&
         GetU32(image.data() + kRecOwnerCheck) == RecordOwnerCheck(TableId());
}

std::vector<uint32_t> TOpenTable::RecordAddresses() {
  TLockScope lock(*this, ltRead);
  if (auto ordered = indexes_->AddressesInOrder()) return *ordered;
  return BlockOrderAddresses();
}

bool TOpenTable::ReadRecordImage(uint32_t address, std::vector<uint8_t>& image) {
  return ReadImage(address, image);
}

std::vector<uint32_t> TOpenTable::BlockOrderAddresses() {
  TLockScope lock(*this, ltRead);
  std::vector<uint32_t> out;
  const uint32_t owner = RecordOwnerCheck(TableId());
  uint8_t head[6];
  for (int64_t address : recordIo_->ListBlocks()) {
    recordIo_->ReadBlockHeader(address, sizeof head, head);
    if (head[kRecStatus] == 1 && GetU32(head + kRecOwnerCheck) == owner) {
      out.push_back(static_cast<uint32_t>(address));
    }
  }
  return out;
}

std::vector<std::string> TOpenTable::CheckStorage(int maxProblems) {
  std::vector<std::string> problems;
  auto problem = [&](const std::string& text) {
    if (static_cast<int>(problems.size()) < maxProblems) problems.push_back(text);
  };
  auto guarded = [&](const std::string& what, const auto& f) {
    try {
      f();
    } catch (const EZuzDatabaseError& e) {
      problem(what + ": " + e.CustomMessage());
    }
  };
  TLockScope lock(*this, ltRead);
  // Records: each block live or free, never both, never neither.
  std::vector<int64_t> blocks;
  std::unordered_set<int64_t> free;
  guarded("the record blocks", [&] { blocks = recordIo_->ListBlocks(); });
  guarded("the record free list", [&] {
    for (int64_t a : recordIo_->FreeBlockList()) free.insert(a);
  });
  const uint32_t owner = RecordOwnerCheck(TableId());
  std::vector<uint32_t> live;
  std::vector<uint8_t> image(static_cast<size_t>(def_.RecordSize));
  for (int64_t address : blocks) {
    bool isLive = false;
    guarded("the record at " + std::to_string(address), [&] {
      recordIo_->ReadBlock(address, def_.RecordSize, image.data());
      isLive = image[kRecStatus] == 1 && GetU32(image.data() + kRecOwnerCheck) == owner;
    });
    if (isLive && free.count(address)) {
      problem("the record at " + std::to_string(address) + " is on the free list");
    } else if (!isLive && !free.count(address)) {
      problem("the block at " + std::to_string(address) + " is neither a record nor free");
    }
    if (isLive) live.push_back(static_cast<uint32_t>(address));
  }
  if (free.size() > blocks.size()) problem("the record free list holds blocks of no record page");
  if (blobFields_.empty()) return problems;
  // Blobs: each block in exactly one chain or on the free list.
  std::unordered_set<int64_t> used, freeBlobs;
  std::vector<int64_t> blobBlocks;
  guarded("the blob blocks", [&] { blobBlocks = blobBlocks_->ListBlocks(); });
  guarded("the blob free list", [&] {
    for (int64_t a : blobBlocks_->FreeBlockList()) freeBlobs.insert(a);
  });
  for (uint32_t address : live) {
    guarded("the record at " + std::to_string(address), [&] {
      recordIo_->ReadBlock(address, def_.RecordSize, image.data());
      for (int fieldNo : blobFields_) {
        const TInternalFieldItem& f = def_.InternalFields[static_cast<size_t>(fieldNo)];
        for (uint32_t b : blobIo_->ChainBlocks(GetU32(image.data() + f.DataOffset),
                                               GetU32(image.data() + f.DataOffset + 4))) {
          if (!used.insert(b).second)
            problem("the blob block at " + std::to_string(b) + " belongs to two chains");
          if (freeBlobs.count(b)) {
            problem("the blob block at " + std::to_string(b) + " is on the free list");
          }
        }
      }
    });
  }
  for (int64_t b : blobBlocks) {
    if (!used.count(b) && !freeBlobs.count(b)) {
      problem("the blob block at " + std::to_string(b) + " is neither in a chain nor free");
    }
  }
  return problems;
}

uint32_t TOpenTable::RecordCount() {
  return static_cast<uint32_t>(RecordAddresses().size());
}

void TOpenTable::CheckNotIndexed(uint32_t address) {
  if (!indexed_ || indexedGeneration_ != generation_) {
    indexed_.reset();
    const std::optional<std::vector<uint32_t>> listed = indexes_->AddressesInOrder();
    if (!listed) return;  // read in block order: every address came from a live record
    indexed_.emplace(listed->begin(), listed->end());
    indexedGeneration_ = generation_;
  }
  if (indexed_->count(address) != 0) {
    ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TZuzDataSet.ReadRecord",
                     "Table " + def_.TableName + ": the record at " + std::to_string(address) +
                         " that its index lists is damaged or lies beyond the end of the file",
                     kObject);
  }
}

void TOpenTable::CheckIndexedRecord(uint32_t address) {
  uint8_t head[6];
  if (IsRecordBlock(address)) {
    recordIo_->ReadBlockHeader(address, sizeof head, head);
    if (head[kRecStatus] == 1 && GetU32(head + kRecOwnerCheck) == RecordOwnerCheck(TableId())) {
      return;
    }
  }
  ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TZuzDataSet.CheckIndexedRecord",
                   "Table " + def_.TableName + ": the record at " + std::to_string(address) +
                       " that its index lists is damaged or lies beyond the end of the file",
                   kObject);
}

bool TOpenTable::ReadRecord(uint32_t address) {
  TLockScope lock(*this, ltRead);
  if (!ReadImage(address, readBuffer_)) {
    CheckNotIndexed(address);
    return false;
  }
  buffer_.swap(readBuffer_);
  current_ = address;
  blobs_.Reset(blobFields_);
  return true;
}

// ---------------------------------------------------------------------------------------------
// The record buffer

void TOpenTable::NewRecord() {
  buffer_.assign(static_cast<size_t>(def_.RecordSize), 0);
  current_ = 0;
  blobs_.Reset(blobFields_);
  for (auto& b : blobs_.Blobs()) b.state = TBlob::bsRead;  // empty, nothing to load
}

void TOpenTable::NewRecordFrom(const std::vector<uint8_t>& image) {
  if (image.size() != static_cast<size_t>(def_.RecordSize)) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TZuzDataSet.NewRecordFrom", "Invalid record image size",
                     kObject);
  }
  NewRecord();
  buffer_ = image;
  for (int fieldNo : blobFields_) {
    PutBlobRef(buffer_.data(), def_.InternalFields[static_cast<size_t>(fieldNo)], 0, 0);
  }
}

uint32_t TOpenTable::BufferSequence() const {
  return GetU32(buffer_.data() + kRecSequence);
}
uint32_t TOpenTable::BufferVersion() const {
  return GetU32(buffer_.data() + kRecVersion);
}

const TInternalFieldItem& TOpenTable::Field(int field, const char* caller) const {
  if (field < 0 || field >= static_cast<int>(def_.InternalFields.size())) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller,
                     "Field number out of range: " + std::to_string(field), kObject);
  }
  return def_.InternalFields[static_cast<size_t>(field)];
}

bool TOpenTable::IsNull(int field) const {
  return buffer_[static_cast<size_t>(Field(field, "TZuzDataSet.IsNull").NullFlagOffset)] == 0;
}

TFieldValue TOpenTable::GetValue(int field) const {
  const char* caller = "TZuzDataSet.DataSetGetFieldDataFromRecBuf";
  const TInternalFieldItem& f = Field(field, caller);
  if (IsBlobFieldType(f.DataType)) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "Unable to use this method to access blob fields",
                     kObject);
  }
  if (buffer_[static_cast<size_t>(f.NullFlagOffset)] == 0) return std::monostate{};
  const uint8_t* p = buffer_.data() + f.DataOffset;
  switch (f.DataType) {
    case TFieldType::ftString: {
      const uint16_t n = GetU16(buffer_.data() + f.SizeMarkerOffset);
      if (n >= f.FieldSize) {
        ZuzDatabaseError(ZUZ_ERR_CORRUPT, caller,
                         "The length of field " + f.FieldName + " is damaged in the record",
                         kObject);
      }
      return std::string(reinterpret_cast<const char*>(p), n);
    }
    case TFieldType::ftSmallint:
      return int64_t{static_cast<int16_t>(GetU16(p))};
    case TFieldType::ftWord:
      return int64_t{GetU16(p)};
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc:
      return int64_t{static_cast<int32_t>(GetU32(p))};
    case TFieldType::ftBoolean:
      return *p != 0;
    case TFieldType::ftBytes:
      return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(f.FieldSize));
    default:
      return GetF64(p);  // the float, currency, date and time types
  }
}

void TOpenTable::SetValue(int field, const TFieldValue& value) {
  const char* caller = "TZuzDataSet.DataSetSetFieldDataToRecBuf";
  const TInternalFieldItem& f = Field(field, caller);
  if (IsBlobFieldType(f.DataType)) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "Unable to use this method to access blob fields",
                     kObject);
  }
  uint8_t* p = buffer_.data() + f.DataOffset;
  uint8_t& flag = buffer_[static_cast<size_t>(f.NullFlagOffset)];
  const int width = f.DataType == TFieldType::ftString ? f.FieldSize : f.StoredWidth();
  if (std::holds_alternative<std::monostate>(value)) {
    std::memset(p, 0, static_cast<size_t>(width));
    if (f.SizeMarkerOffset != 0) PutU16(buffer_.data() + f.SizeMarkerOffset, 0);
    flag = 0;
    return;
  }
  switch (f.DataType) {
    case TFieldType::ftString:
    case TFieldType::ftBytes: {
      const auto* text = std::get_if<std::string>(&value);
      if (!text) {
        ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "Field " + f.FieldName + " needs text", kObject);
      }
      if (f.DataType == TFieldType::ftString) CheckText(*text, f);
      DataSetSetFieldDataToRecBuf(field, text->data(), text->size());
      return;
    }
    case TFieldType::ftSmallint: {
      const int64_t v = AsInteger(value, f);
      if (v < INT16_MIN || v > INT16_MAX) OutOfRange(f);
      PutU16(p, static_cast<uint16_t>(static_cast<int16_t>(v)));
      break;
    }
    case TFieldType::ftWord: {
      const int64_t v = AsInteger(value, f);
      if (v < 0 || v > UINT16_MAX) OutOfRange(f);
      PutU16(p, static_cast<uint16_t>(v));
      break;
    }
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc: {
      const int64_t v = AsInteger(value, f);
      if (v < INT32_MIN || v > INT32_MAX) OutOfRange(f);
      PutU32(p, static_cast<uint32_t>(static_cast<int32_t>(v)));
      break;
    }
    case TFieldType::ftBoolean:
      if (auto* b = std::get_if<bool>(&value))
        *p = *b ? 1 : 0;
      else
        *p = AsInteger(value, f) != 0 ? 1 : 0;
      break;
    case TFieldType::ftDate:
      PutF64(p, std::trunc(AsDayNumber(value, f)));
      break;
    case TFieldType::ftDateTime:
      PutF64(p, AsDayNumber(value, f));
      break;
    case TFieldType::ftTime: {
      const double d = AsDouble(value, f);
      PutF64(p, std::fabs(d - std::trunc(d)));
      break;
    }
    default:
      PutF64(p, AsDouble(value, f));
      break;
  }
  flag = 1;
}

bool TOpenTable::DataSetGetFieldDataFromRecBuf(int field, void* dest) const {
  const char* caller = "TZuzDataSet.DataSetGetFieldDataFromRecBuf";
  const TInternalFieldItem& f = Field(field, caller);
  if (IsBlobFieldType(f.DataType)) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "Unable to use this method to access blob fields",
                     kObject);
  }
  if (buffer_[static_cast<size_t>(f.NullFlagOffset)] == 0) return false;
  const int width = f.DataType == TFieldType::ftString ? f.FieldSize : f.StoredWidth();
  std::memcpy(dest, buffer_.data() + f.DataOffset, static_cast<size_t>(width));
  return true;
}

void TOpenTable::DataSetSetFieldDataToRecBuf(int field, const void* data, std::size_t length) {
  const char* caller = "TZuzDataSet.DataSetSetFieldDataToRecBuf";
  const TInternalFieldItem& f = Field(field, caller);
  if (IsBlobFieldType(f.DataType)) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "Unable to use this method to access blob fields",
                     kObject);
  }
  uint8_t* p = buffer_.data() + f.DataOffset;
  const int width = f.DataType == TFieldType::ftString ? f.FieldSize : f.StoredWidth();
  uint8_t& flag = buffer_[static_cast<size_t>(f.NullFlagOffset)];
  if (data) {
    const bool fits = f.DataType == TFieldType::ftString  ? length < static_cast<size_t>(width)
                      : f.DataType == TFieldType::ftBytes ? length <= static_cast<size_t>(width)
                                                          : length == static_cast<size_t>(width);
    if (!fits) OutOfRange(f);
  }
  std::memset(p, 0, static_cast<size_t>(width));
  if (f.SizeMarkerOffset != 0) {
    PutU16(buffer_.data() + f.SizeMarkerOffset, static_cast<uint16_t>(data ? length : 0));
  }
  if (!data) {
    flag = 0;
    return;
  }
  std::memcpy(p, data, length);
  flag = 1;
}

std::string TOpenTable::DataSetSetFieldStreamFromRecBuf(int field) {
  const char* caller = "TZuzDataSet.DataSetSetFieldStreamFromRecBuf";
  const TInternalFieldItem& f = Field(field, caller);
  if (!IsBlobFieldType(f.DataType))
    ZuzDatabaseError(ZUZ_ERR_NOT_A_BLOB, caller, f.FieldName, kObject);
  TBlob* blob = blobs_.Find(field);
  if (!blob) ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "Blob field not found", kObject);
  if (blob->state != TBlob::bsNotLoaded) return blob->data;
  const uint32_t first = GetU32(buffer_.data() + f.DataOffset);
  const uint32_t length = GetU32(buffer_.data() + f.DataOffset + 4);
  if (current_ == 0 || first == 0) {
    blob->data.clear();
  } else {
    TLockScope lock(*this, ltRead);
    std::vector<uint8_t> image;
    if (!ReadImage(current_, image) ||
        std::memcmp(image.data(), buffer_.data(), kRecVersion + 4) != 0) {
      // The chain the buffer names may have been freed and reused since.
      ZuzDatabaseError(ZUZ_ERR_RECORD_CHANGED, caller, {}, kObject);
    }
    blob->data = blobIo_->Read(first, length);
  }
  blob->state = TBlob::bsRead;
  return blob->data;
}

void TOpenTable::SetBlob(int field, std::string_view data) {
  const char* caller = "TZuzDataSet.SetBlob";
  const TInternalFieldItem& f = Field(field, caller);
  if (!IsBlobFieldType(f.DataType))
    ZuzDatabaseError(ZUZ_ERR_NOT_A_BLOB, caller, f.FieldName, kObject);
  TBlob* blob = blobs_.Find(field);
  if (!blob) ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "Blob field not found", kObject);
  if (f.DataType == TFieldType::ftMemo || f.DataType == TFieldType::ftFmtMemo) CheckText(data, f);
  blob->data.assign(data.data(), data.size());
  blob->state = TBlob::bsChanged;
}

// ---------------------------------------------------------------------------------------------
// Row operations

void TOpenTable::PutBlobRef(uint8_t* image, const TInternalFieldItem& f, uint32_t address,
                            uint32_t length) {
  PutU32(image + f.DataOffset, address);
  PutU32(image + f.DataOffset + 4, length);
  image[f.NullFlagOffset] = length != 0 ? 1 : 0;
}

void TOpenTable::WriteBlobsToInterface(uint8_t* image, const uint8_t* fileImage, bool deleting) {
  const char* caller = "TZuzDataSet.WriteBlobsToInterface";
  for (int fieldNo : blobFields_) {
    const TInternalFieldItem& f = def_.InternalFields[static_cast<size_t>(fieldNo)];
    if (deleting) {
      const uint8_t* from = fileImage ? fileImage : image;
      const uint32_t first = GetU32(from + f.DataOffset);
      const uint32_t length = GetU32(from + f.DataOffset + 4);
      if (first != 0) blobIo_->Delete(first, length);
      continue;
    }
    TBlob* blob = blobs_.Find(fieldNo);
    if (!blob) ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "Blob field not found", kObject);
    if (!fileImage) {
      // A new record gets chains of its own, also for a value copied from another record.
      const uint32_t first = GetU32(image + f.DataOffset);
      const uint32_t length = GetU32(image + f.DataOffset + 4);
      if (blob->state == TBlob::bsNotLoaded) {
        blob->data = first != 0 ? blobIo_->Read(first, length) : std::string();
        blob->state = TBlob::bsRead;
      }
      PutBlobRef(image, f, blobIo_->WriteNew(blob->data), static_cast<uint32_t>(blob->data.size()));
      continue;
    }
    const uint32_t oldFirst = GetU32(fileImage + f.DataOffset);
    const uint32_t oldLength = GetU32(fileImage + f.DataOffset + 4);
    if (blob->state != TBlob::bsChanged) {
      PutBlobRef(image, f, oldFirst, oldLength);
      continue;
    }
    const auto newLength = static_cast<uint32_t>(blob->data.size());
    if (oldFirst != 0) {
      if (newLength != 0) {
        blobIo_->Rewrite(oldFirst, oldLength, blob->data);
        PutBlobRef(image, f, oldFirst, newLength);
      } else {
        blobIo_->Delete(oldFirst, oldLength);
        PutBlobRef(image, f, 0, 0);
      }
    } else {
      PutBlobRef(image, f, blobIo_->WriteNew(blob->data), newLength);
    }
  }
}

uint32_t TOpenTable::AddRecord() {
  TZuzOwnTransaction own(disk_);
  const uint32_t address = AddRecordInTransaction();
  own.Commit();
  return address;
}

void TOpenTable::CheckAutoIncFree(const TInternalFieldItem& f, uint32_t value) {
  // Found through an index leading with the field when there is one, else among all records.
  std::optional<std::vector<uint32_t>> candidates =
      indexes_->FindByFields(f.FieldName, {TLookupValue(static_cast<int64_t>(value))});
  const std::vector<uint32_t> addresses = candidates ? std::move(*candidates) : RecordAddresses();
  std::vector<uint8_t> image;
  for (uint32_t address : addresses) {
    if (!ReadRecordImage(address, image)) continue;
    if (image[static_cast<size_t>(f.NullFlagOffset)] != 0 &&
        GetU32(image.data() + f.DataOffset) == value) {
      ZuzDatabaseError(ZUZ_ERR_KEY_VIOLATION, "TZuzDataSet.AddRecord",
                       "Field " + f.FieldName + " holds " + std::to_string(value) + " already",
                       kObject);
    }
  }
}

uint32_t TOpenTable::AddRecordInTransaction() {
  TLockScope lock(*this, ltWrite);
  std::vector<uint8_t> image = buffer_;
  try {
    const int autoInc = def_.AutoIncField();
    uint32_t lastAuto = header_->DWord(thLastAutoInc);
    if (autoInc >= 0) {
      const TInternalFieldItem& f = def_.InternalFields[static_cast<size_t>(autoInc)];
      uint8_t* p = image.data() + f.DataOffset;
      const bool given = image[static_cast<size_t>(f.NullFlagOffset)] != 0;
      if (AcceptGivenAutoInc && given) CheckAutoIncFree(f, GetU32(p));
      if ((KeepAutoIncValues || AcceptGivenAutoInc) && given) {
        lastAuto = std::max(lastAuto, GetU32(p));
      } else {
        PutU32(p, ++lastAuto);
      }
      image[static_cast<size_t>(f.NullFlagOffset)] = 1;
    }
    uint32_t sequence = header_->DWord(thLastSequence) + 1;
    uint32_t lastSequence = sequence;
    if (KeepSequenceValues) {
      sequence = GetU32(image.data() + kRecSequence);
      if (sequence == 0) {
        ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TZuzDataSet.AddRecord",
                         "A copied record has no sequence number", kObject);
      }
      lastSequence = std::max(sequence, header_->DWord(thLastSequence));
    } else {
      PutU32(image.data() + kRecVersion, 0);
    }
    image[kRecStatus] = 1;
    image[kRecStatus + 1] = 0;
    PutU32(image.data() + kRecOwnerCheck, RecordOwnerCheck(TableId()));
    PutU32(image.data() + kRecSequence, sequence);
    indexes_->CheckForAdd(image.data());
    WriteBlobsToInterface(image.data(), nullptr, false);
    const uint32_t address = recordMgr_.Add(image.data());
    indexes_->InsertKeys(image.data(), address);
    if (autoInc >= 0) header_->SetDWord(thLastAutoInc, lastAuto);
    header_->SetDWord(thLastSequence, lastSequence);
    FinishWrite();
    buffer_ = std::move(image);
    current_ = address;
    blobs_.MarkWritten();
    return address;
  } catch (...) {
    AfterFailedWrite();
    throw;
  }
}

void TOpenTable::UpdateRecord() {
  TZuzOwnTransaction own(disk_);
  UpdateRecordInTransaction();
  own.Commit();
}

void TOpenTable::UpdateRecordInTransaction() {
  const char* caller = "TZuzDataSet.UpdateRecord";
  if (current_ == 0) ZuzDatabaseError(ZUZ_ERR_RECORD_NOT_FOUND, caller, {}, kObject);
  TLockScope lock(*this, ltWrite);
  try {
    std::vector<uint8_t> fileImage;
    // Status, owner check, sequence number and version: another writer changed or deleted it.
    if (!ReadImage(current_, fileImage) ||
        std::memcmp(fileImage.data(), buffer_.data(), kRecVersion + 4) != 0) {
      ZuzDatabaseError(ZUZ_ERR_RECORD_CHANGED, caller, {}, kObject);
    }
    std::vector<uint8_t> image = buffer_;
    indexes_->CheckForUpdate(fileImage.data(), image.data(), current_);
    PutU32(image.data() + kRecVersion, GetU32(fileImage.data() + kRecVersion) + 1);
    WriteBlobsToInterface(image.data(), fileImage.data(), false);
    recordMgr_.Write(current_, image.data());
    indexes_->UpdateKeys(fileImage.data(), image.data(), current_);
    FinishWrite();
    buffer_ = std::move(image);
    blobs_.MarkWritten();
  } catch (...) {
    AfterFailedWrite();
    throw;
  }
}

int TOpenTable::DeleteRecord(bool compareImage) {
  TZuzOwnTransaction own(disk_);
  const int result = DeleteRecordInTransaction(compareImage);
  own.Commit();
  return result;
}

int TOpenTable::DeleteRecordInTransaction(bool compareImage) {
  const char* caller = "TZuzDataSet.DeleteRecord";
  if (current_ == 0) ZuzDatabaseError(ZUZ_ERR_RECORD_NOT_FOUND, caller, {}, kObject);
  TLockScope lock(*this, ltWrite);
  try {
    std::vector<uint8_t> fileImage;
    const bool live = ReadImage(current_, fileImage);
    if (compareImage &&
        (!live || std::memcmp(fileImage.data(), buffer_.data(), kRecVersion) != 0)) {
      return -1;
    }
    // Never release a block that holds no live record of this table.
    if (!live) ZuzDatabaseError(ZUZ_ERR_RECORD_CHANGED, caller, {}, kObject);
    indexes_->CheckForDelete(fileImage.data(), current_);
    // A damaged blob chain stops the delete before anything is released.
    for (int fieldNo : blobFields_) {
      const TInternalFieldItem& f = def_.InternalFields[static_cast<size_t>(fieldNo)];
      blobIo_->ChainBlocks(GetU32(fileImage.data() + f.DataOffset),
                           GetU32(fileImage.data() + f.DataOffset + 4));
    }
    recordMgr_.Delete(current_);
    WriteBlobsToInterface(fileImage.data(), fileImage.data(), true);
    indexes_->DeleteKeys(fileImage.data(), current_);
    FinishWrite();
    current_ = 0;
    blobs_.Reset(blobFields_);
    return 0;
  } catch (...) {
    AfterFailedWrite();
    throw;
  }
}

void TOpenTable::EmptyTable() {
  if (disk_.InTransaction()) {
    ZuzDatabaseError(ZUZ_ERR_IN_TRANSACTION, "TZuzTable.EmptyTable", {}, kObject);
  }
  {
    TZuzTransaction transaction(disk_);
    try {
      TLockScope lock(*this, ltWrite);
      disk_.FreeTablePages(TableId(), 0, false);
      recordPages_.clear();
      blobPages_.clear();
      header_->SetDWord(thRecordFirstEmpty, 0);
      header_->SetDWord(thBlobFirstEmpty, 0);
      header_->SetDWord(thLastSequence, 0);
      indexes_->RecreateEmpty();
      FinishWrite();
    } catch (...) {
      AfterFailedWrite();
      throw;
    }
    transaction.Commit();
  }
  NewRecord();
}

}  // namespace zuz
