#include "db/objects/zuzTable.h"

#include <algorithm>

#include "db/index/zuzIndexManager.h"
#include "db/objects/zuzDatabase.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzLockProvider.h"
#include "planner/base/qorStrings.h"

namespace zuz {

TZuzTable::~TZuzTable() {
  try {
    Close();
  } catch (...) {
  }
}

void TZuzTable::SetIndexName(const std::string& name) {
  indexName_ = name;
  if (!table_) return;
  IndexManagerOf(*table_).ChooseCurrentIndex(indexName_);
  Refresh();
}

std::string TZuzTable::IndexFieldNames() {
  if (!table_) return "";
  TIndexManager& im = IndexManagerOf(*table_);
  if (im.Count() == 0) return "";
  std::string out;
  for (const TKeyFieldItem& k : im.CurrentIndex().KeyFields) {
    if (k.Hidden) continue;
    out += (out.empty() ? "" : ";") + k.FieldName;
  }
  return out;
}

void TZuzTable::DoOpen() {
  TZuzDataBase* db = DataBase();
  if (!db) ZuzDatabaseError(ZUZ_ERR_NO_ENGINE, "TZuzTable.Open", {}, "TZuzTable");
  if (!db->Connected()) db->Open();
  TTableMgr* tables = Memory || db->IsMemory() ? &db->MemoryTables() : db->Tables();
  std::string actual;
  for (const std::string& n : tables->TableNames()) {
    if (SameTextIgnoringCase(n, TableName)) actual = n;
  }
  if (actual.empty())
    ZuzDatabaseError(ZUZ_ERR_NO_SUCH_TABLE, "TZuzTable.Open", TableName, "TZuzTable");
  if (tables != &db->MemoryTables()) db->CheckPrivilege(actual, TZuzPrivilege::Open);
  table_ = tables->OpenTable(actual);
  memoryTable_ = tables == &db->MemoryTables();
  IndexManagerOf(*table_).ChooseCurrentIndex(indexName_);
  for (const TInternalFieldItem& f : table_->Def().InternalFields) {
    fields_.push_back(TZuzFieldInfo{
        f.FieldName, f.DataType, f.DataType == TFieldType::ftString ? f.FieldSize - 1 : f.FieldSize,
        f.DataType == TFieldType::ftAutoInc});
  }
  LoadAddresses();
}

void TZuzTable::DoClose() {
  ReleaseRecordLock();
  table_.reset();
  addresses_.clear();
}

void TZuzTable::LoadAddresses() {
  addresses_ = table_->RecordAddresses();
}

void TZuzTable::DoRefresh() {
  LoadAddresses();
}

const TTableDef* TZuzTable::FilterTableDef() {
  return table_ ? &table_->Def() : nullptr;
}

void TZuzTable::DoReadRow(size_t i, TZuzRow& row) {
  const TTableDef& def = table_->Def();
  row.assign(def.InternalFields.size(), TZuzValue::Null());
  TOpenTable::TLockScope scope(*table_, ltRead);
  if (i >= addresses_.size() || !table_->ReadRecord(addresses_[i])) return;
  for (size_t f = 0; f < def.InternalFields.size(); ++f) {
    const TInternalFieldItem& item = def.InternalFields[f];
    auto fi = static_cast<int>(f);
    if (IsBlobFieldType(item.DataType)) {
      if (!table_->IsNull(fi)) {
        row[f] = TZuzValue::Str(table_->GetBlob(fi));
        row[f].Type = item.DataType;
      }
    } else {
      row[f] = ValueFromField(table_->GetValue(fi), item.DataType);
    }
  }
}

void TZuzTable::CheckTablePrivilege(TZuzPrivilege privilege) {
  if (!memoryTable_) DataBase()->CheckPrivilege(table_->Def().TableName, privilege);
}

void TZuzTable::ReleaseRecordLock() {
  if (lockedAddress_ == 0 || !table_) return;
  try {
    table_->Disk().UnlockRecord(lockedAddress_);
  } catch (...) {
  }
  lockedAddress_ = 0;
}

void TZuzTable::DoEdit(size_t row) {
  CheckTablePrivilege(TZuzPrivilege::Update);
  const uint32_t address = addresses_.at(row);
  if (!table_->ReadRecord(address)) {
    ZuzDatabaseError(ZUZ_ERR_RECORD_CHANGED, "TZuzTable.Edit", {}, "TZuzTable");
  }
  table_->Disk().LockRecord(address, static_cast<uint16_t>(table_->TableId()));
  lockedAddress_ = address;
}

void TZuzTable::DoCancelEdit(size_t) {
  ReleaseRecordLock();
}

size_t TZuzTable::PositionOf(uint32_t address) const {
  auto it = std::find(addresses_.begin(), addresses_.end(), address);
  return static_cast<size_t>(it - addresses_.begin());
}

size_t TZuzTable::DoPost(bool inserting, size_t row, const TZuzRow& values,
                         const std::vector<bool>& changed) {
  const char* caller = "TZuzTable.Post";
  CheckTablePrivilege(inserting ? TZuzPrivilege::Insert : TZuzPrivilege::Update);
  uint32_t address = 0;
  if (inserting) {
    table_->NewRecord();
    for (size_t f = 0; f < values.size(); ++f) {
      if (changed[f]) AssignValueToField(*table_, static_cast<int>(f), values[f], caller);
    }
    address = table_->AddRecord();
  } else {
    address = addresses_.at(row);
    if (!table_->ReadRecord(address)) {
      ReleaseRecordLock();
      ZuzDatabaseError(ZUZ_ERR_RECORD_CHANGED, caller, {}, "TZuzTable");
    }
    for (size_t f = 0; f < values.size(); ++f) {
      if (changed[f]) AssignValueToField(*table_, static_cast<int>(f), values[f], caller);
    }
    try {
      table_->UpdateRecord();
    } catch (...) {
      ReleaseRecordLock();
      throw;
    }
    ReleaseRecordLock();
  }
  LoadAddresses();
  return PositionOf(address);
}

void TZuzTable::DoDelete(size_t row) {
  CheckTablePrivilege(TZuzPrivilege::Delete);
  const uint32_t address = addresses_.at(row);
  if (!table_->ReadRecord(address)) {
    ZuzDatabaseError(ZUZ_ERR_RECORD_CHANGED, "TZuzTable.Delete", {}, "TZuzTable");
  }
  table_->DeleteRecord(false);
  LoadAddresses();
}

bool TZuzTable::FindKey(const std::vector<TqorVariant>& values) {
  CheckBrowse("FindKey");
  TIndexManager& im = IndexManagerOf(*table_);
  if (im.Count() == 0 || values.empty()) return false;
  std::vector<std::string> names;
  std::vector<TLookupValue> lookup;
  const TKeyFields& keys = im.CurrentIndex().KeyFields;
  for (size_t i = 0; i < values.size() && i < keys.size(); ++i) {
    if (keys[i].Hidden) break;
    names.push_back(keys[i].FieldName);
    TZuzValue v = VariantToValue(values[i], keys[i].DataType);
    switch (v.Kind) {
      case TZuzValueKind::Null:
        lookup.emplace_back(std::monostate{});
        break;
      case TZuzValueKind::Text:
        lookup.emplace_back(v.Text);
        break;
      case TZuzValueKind::Boolean:
        lookup.emplace_back(v.AsBool());
        break;
      default:
        if (IsWholeValueType(keys[i].DataType)) {
          lookup.emplace_back(static_cast<int64_t>(v.Number));
        } else {
          lookup.emplace_back(v.Number);
        }
        break;
    }
  }
  std::string fields;
  for (const std::string& n : names) fields += (fields.empty() ? "" : ";") + n;
  std::optional<std::vector<uint32_t>> found;
  {
    TOpenTable::TLockScope scope(*table_, ltRead);
    found = table_->Indexes().FindByFields(fields, lookup);
  }
  if (!found || found->empty()) return false;
  LoadAddresses();
  size_t best = addresses_.size();
  for (uint32_t a : *found) best = std::min(best, PositionOf(a));
  if (best >= addresses_.size()) return false;
  return MoveToRecNo(static_cast<int64_t>(best) + 1);
}

}  // namespace zuz
