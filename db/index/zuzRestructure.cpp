#include "db/index/zuzRestructure.h"

#include <algorithm>
#include <optional>

#include "db/index/zuzIndexManager.h"
#include "db/record/zuzTableMgrUnit.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzSystemInfo.h"
#include "db/storage/zuzTableHeader.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TZuzTable";
// The checks every restructure makes.
void CheckRestructure(TTableMgr& tables, const std::string& tableName, const char* caller,
                      bool changesDefinition) {
  if (!tables.IsOpen()) ZuzDatabaseError(ZUZ_ERR_NOT_CONNECTED, caller, {}, kObject);
  TDiskMgr& disk = tables.Disk();
  if (disk.InTransaction()) ZuzDatabaseError(ZUZ_ERR_IN_TRANSACTION, caller, {}, kObject);
  if (tableName == TTableMgr::kUserCatalogue || tableName == TTableMgr::kSystemCatalogue) {
    ZuzDatabaseError(ZUZ_ERR_TABLE_TYPE, caller, tableName, kObject);
  }
  if (changesDefinition) {
    if (!disk.Exclusive && disk.LockingActive()) {
      ZuzDatabaseError(ZUZ_ERR_NOT_EXCLUSIVE, caller, {}, kObject);
    }
    const TTableDef def = tables.InternalGetTableDef(tableName);
    if (tables.OpenCount(static_cast<uint32_t>(def.TableID)) > 0) {
      ZuzDatabaseError(ZUZ_ERR_TABLE_OPEN, caller, tableName, kObject);
    }
  }
}

void AddToLog(std::vector<std::string>* log, const std::vector<TIndexChange>& changes) {
  if (!log) return;
  for (const auto& c : changes) {
    log->push_back((c.NewName.empty() ? c.OldName : c.NewName) + ": " +
                   IndexChangeStatusText(c.Status));
  }
}

// Writes a changed definition whose keys stay as they are.
void UpdateDefinitionOnly(TTableMgr& tables, const std::string& tableName, TTableDef def) {
  TZuzTransaction transaction(tables.Disk());
  def.LastModDate = NowDayNumber();
  tables.InternalUpdateTableDef(def, tableName);
  transaction.Commit();
}

}  // namespace

TReIndexResult ReIndex(TTableMgr& tables, const std::string& tableName, bool skipDuplicates,
                       const TUpdateProgressProc& progress) {
  CheckRestructure(tables, tableName, "TZuzDataSet.ReIndex", false);
  TZuzTransaction transaction(tables.Disk());
  auto table = tables.OpenTable(tableName);
  const TReIndexResult result = ReIndexTable(*table, skipDuplicates, progress);
  table.reset();
  if (result.Aborted) {
    transaction.Rollback();
    return result;
  }
  transaction.Commit();
  return result;
}

std::vector<TIndexChange> ChangeIndexes(TTableMgr& tables, const std::string& tableName,
                                        const std::vector<TIndexDesc>& indexes,
                                        std::vector<std::string>* log,
                                        const TUpdateProgressProc& progress) {
  const char* caller = "TZuzTable.ChangeIndexes";
  CheckRestructure(tables, tableName, caller, true);
  const TTableDef def = tables.InternalGetTableDef(tableName);
  TRestructureIndexDefs::ValidateNewIndexDefs(def, indexes);
  TTableDef newDef = DefinitionWithIndexes(def, indexes);
  std::vector<TIndexChange> changes = TRestructureIndexDefs::ChangeStatuses(def, newDef);
  AddToLog(log, changes);
  if (TRestructureIndexDefs::DefinitionOnly(changes)) {
    TTableDef renamed = def;
    bool any = false;
    for (const auto& c : changes) {
      if (c.Status != TIndexChangeStatus::DefinitionOnly) continue;
      renamed = DefinitionWithIndexRenamed(renamed, c.OldName, c.NewName);
      any = true;
    }
    if (any) UpdateDefinitionOnly(tables, tableName, std::move(renamed));
    return changes;
  }
  TZuzTransaction transaction(tables.Disk());
  {
    // The old indexes go; the header gets a slot for every new index, each empty until the
    // rebuild gives it a root.
    auto old = tables.OpenTable(tableName);
    TOpenTable::TLockScope lock(*old, ltWrite);
    IndexManagerOf(*old).FreeNodes();
    TTableHeader& header = old->Header();
    header.SetDWord(thIndexCount, static_cast<uint32_t>(newDef.InternalIndexDefs.size()));
    for (int slot = 0; slot < TTableHeader::kMaxIndexes; ++slot) header.SetIndexSlot(slot, 0, 0);
    header.WriteHeader();
  }
  newDef.LastModDate = NowDayNumber();
  tables.InternalUpdateTableDef(newDef, tableName);
  auto table = tables.OpenTable(tableName);
  const TReIndexResult result = ReIndexTable(*table, true, progress);
  table.reset();
  if (result.Aborted) {
    transaction.Rollback();
    ZuzDatabaseError(ZUZ_ERR_INVALID_MODIFY, caller, "The restructure was cancelled", kObject);
  }
  transaction.Commit();
  return changes;
}

std::vector<TIndexChange> AddIndex(TTableMgr& tables, const std::string& tableName,
                                   const TIndexDesc& index, std::vector<std::string>* log,
                                   const TUpdateProgressProc& progress) {
  const char* caller = "TZuzTable.AddIndex";
  CheckRestructure(tables, tableName, caller, true);
  const TTableDef def = tables.InternalGetTableDef(tableName);
  const std::vector<std::string> fields = SplitNameList(index.Fields);
  if (fields.empty())
    ZuzDatabaseError(ZUZ_ERR_INVALID_MODIFY, caller, "No index columns specified", kObject);
  for (const auto& name : fields) {
    if (def.FindField(name) < 0) {
      ZuzDatabaseError(ZUZ_ERR_INVALID_MODIFY, caller, "Field not found : " + name, kObject);
    }
  }
  std::vector<TIndexDesc> indexes = IndexDescsOf(def);
  for (const auto& d : indexes) {
    if (SameName(d.Name, index.Name)) {
      ZuzDatabaseError(ZUZ_ERR_INVALID_MODIFY, caller, "Index already exists", kObject);
    }
  }
  indexes.push_back(index);
  return ChangeIndexes(tables, tableName, indexes, log, progress);
}

std::vector<TIndexChange> DropIndex(TTableMgr& tables, const std::string& tableName,
                                    const std::string& indexName, std::vector<std::string>* log,
                                    const TUpdateProgressProc& progress) {
  const char* caller = "TZuzTable.DropIndex";
  CheckRestructure(tables, tableName, caller, true);
  const TTableDef def = tables.InternalGetTableDef(tableName);
  std::vector<TIndexDesc> indexes = IndexDescsOf(def);
  auto it = std::find_if(indexes.begin(), indexes.end(),
                         [&](const TIndexDesc& d) { return SameName(d.Name, indexName); });
  if (it == indexes.end() && SameName(indexName, "primary")) {
    it =
        std::find_if(indexes.begin(), indexes.end(), [](const TIndexDesc& d) { return d.Primary; });
  }
  if (it == indexes.end())
    ZuzDatabaseError(ZUZ_ERR_NO_SUCH_INDEX, caller, "Index not found", kObject);
  indexes.erase(it);
  return ChangeIndexes(tables, tableName, indexes, log, progress);
}

void RenameField(TTableMgr& tables, const std::string& tableName, const std::string& oldName,
                 const std::string& newName) {
  RenameFields(tables, tableName, {{oldName, newName}});
}

void RenameFields(TTableMgr& tables, const std::string& tableName,
                  const std::vector<std::pair<std::string, std::string>>& renames) {
  const char* caller = "TZuzTable.RenameField";
  CheckRestructure(tables, tableName, caller, true);
  TTableDef def = tables.InternalGetTableDef(tableName);
  for (const auto& [oldName, newName] : renames) {
    const int field = def.FindField(oldName);
    if (field < 0) ZuzDatabaseError(ZUZ_ERR_NO_SUCH_FIELD, caller, oldName, kObject);
    CheckFieldName(newName);
    const int taken = def.FindField(newName);
    if (taken >= 0 && taken != field) {
      ZuzDatabaseError(ZUZ_ERR_FIELD_NAME, caller, "Duplicate field name " + newName, kObject);
    }
    def.InternalFields[static_cast<size_t>(field)].FieldName = newName;
    for (auto& k : def.KeyFields) {
      if (k.PhysicalFieldNo == field) k.FieldName = newName;
    }
  }
  UpdateDefinitionOnly(tables, tableName, std::move(def));
}

void RebuildTable(TTableMgr& tables, const std::string& tableName,
                  const std::vector<TFieldDesc>& fields, const std::vector<TIndexDesc>& indexes,
                  const TRebuildRowProc& copyRow) {
  const char* caller = "TZuzTable.Restructure";
  CheckRestructure(tables, tableName, caller, true);
  const TTableDef old = tables.InternalGetTableDef(tableName);
  TTableOptions options = tables.DefaultTableOptions();
  options.SortOrder = old.SortOrder;
  options.DefaultBlobSize = old.DefaultBlobSize;
  options.BlobCompression = old.BlobCompression;
  options.EncryptionLevel = old.EncryptionLevel;
  options.CreatedBy = old.CreatedBy;
  TTableDef def = BuildTableDef(TTableMgr::kWorkTable, fields, indexes, options);
  const std::optional<int64_t> objectId = tables.ObjectIdOf(tableName);
  TZuzTransaction transaction(tables.Disk());
  tables.InternalCreateTable(std::move(def));
  {
    auto from = tables.OpenTable(tableName);
    auto to = tables.OpenTable(TTableMgr::kWorkTable);
    to->KeepAutoIncValues = true;
    for (uint32_t address : from->BlockOrderAddresses()) {
      if (!from->ReadRecord(address)) continue;
      to->NewRecord();
      copyRow(*from, *to);
      to->AddRecord();
    }
    // The counter goes on from where the old table's stood: values of deleted rows stay used.
    TOpenTable::TLockScope lock(*to, ltWrite);
    const uint32_t counter = from->Header().DWord(thLastAutoInc);
    if (counter > to->Header().DWord(thLastAutoInc)) {
      to->Header().SetDWord(thLastAutoInc, counter);
      to->Header().WriteHeader();
    }
  }
  tables.DeleteTable(tableName);
  TTableDef rebuilt = tables.InternalGetTableDef(TTableMgr::kWorkTable);
  rebuilt.TableName = tableName;
  rebuilt.LastModDate = NowDayNumber();
  tables.InternalUpdateTableDef(rebuilt, TTableMgr::kWorkTable);
  // The rebuilt table keeps the old one's object id, and so the privileges granted on it.
  if (objectId) tables.SetObjectId(tableName, *objectId);
  transaction.Commit();
}

}  // namespace zuz
