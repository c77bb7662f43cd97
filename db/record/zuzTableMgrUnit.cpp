#include "db/record/zuzTableMgrUnit.h"

#include <algorithm>

#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzIOInterface.h"
#include "db/storage/zuzLogger.h"
#include "db/storage/zuzSystemInfo.h"
#include "db/storage/zuzTableHeader.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TZuzTable";
// Catalogue fields.
constexpr int kCatName = 1;
constexpr int kCatTableDef = 2;

bool IsInternalName(const std::string& name) {
  return !name.empty() && name[0] == '$';
}

// Runs f in a transaction of its own unless one is open.
template <typename F>
auto InTransaction(TDiskMgr& disk, F&& f) {
  if (disk.InTransaction()) return f();
  TZuzTransaction transaction(disk);
  auto result = f();
  transaction.Commit();
  return result;
}

}  // namespace

TTableMgr::TTableMgr(TDiskMgr& disk, TTableMgrServices services)
    : disk_(disk),
      systemHeaders_(disk, true),
      userHeaders_(disk, false),
      services_(std::move(services)),
      openCounts_(std::make_shared<std::map<uint32_t, int>>()) {
  if (!services_.indexes) {
    ZuzInternalError("TTableMgr.Create", "A table manager needs the index set of its tables");
  }
}

TTableMgr::~TTableMgr() {
  try {
    Close();
  } catch (...) {
  }
}

void TTableMgr::CheckOpen(const char* caller) const {
  if (!open_) ZuzDatabaseError(ZUZ_ERR_NOT_CONNECTED, caller, {}, kObject);  // unconnected database
}

TTableDef TTableMgr::SetMasterTableDef(uint32_t tableId, const std::string& name, bool encrypted,
                                       TSortOrder sortOrder) {
  TTableOptions options;
  options.SortOrder = sortOrder;
  options.DefaultBlobSize = kCatalogueBlobSize;
  options.EncryptionLevel = encrypted ? TEncryptionLevel::encStrong : TEncryptionLevel::encNone;
  TIndexDesc byName;
  byName.Fields = "Name";
  byName.Primary = true;
  byName.Unique = true;
  TTableDef def = BuildTableDef(name,
                                {{"AutoID", TFieldType::ftAutoInc},
                                 {"Name", TFieldType::ftString, kMaxTableNameLength},
                                 {"TableDef", TFieldType::ftBlob}},
                                {byName}, options);
  def.TableID = static_cast<int>(tableId);
  def.OwnerFlag = tableId * 16;
  def.InternalTable = true;
  def.Version = kEngineVersion;
  return def;
}

TTableOptions TTableMgr::DefaultTableOptions() const {
  TTableOptions options;
  options.SortOrder = dbHeader_.sortOrder == 1 ? TSortOrder::soASCII : TSortOrder::soANSI;
  options.CreatedBy = LoginUserName();
  if (dbHeader_.securityLevel != 0) options.EncryptionLevel = TEncryptionLevel::encStrong;
  return options;
}

void TTableMgr::CreateDatabase(TDiskMgr& disk, const TDatabaseCreateOptions& options,
                               const TTableMgrServices& services) {
  disk.CreateNewFile(options.overwrite);
  try {
    TDatabaseHeader header;
    header.databaseName = options.databaseName;
    header.operatingSystem = OperatingSystemText();
    header.creationTime = NowDayNumber();
    header.userName = LoginUserName();
    header.sortOrder = options.sortOrder == TSortOrder::soASCII ? 1 : 0;
    header.securityLevel = options.userSecurity ? 2 : options.masterKey.empty() ? 0 : 1;
    disk.WriteDatabaseHeader(header);
    disk.SetMasterKey(options.masterKey);
    if (header.securityLevel != 0) disk.WriteSecurityHeader();
    TTableMgr tables(disk, services);
    tables.dbHeader_ = header;
    tables.systemHeaders_.Open();
    tables.userHeaders_.Open();
    tables.CreateMasterTables();
    tables.OpenCatalogues();
    tables.open_ = true;
    if (header.MinorVersion() > 1) tables.CreateSystemTables();
    if (options.userSecurity && options.createSecurityTables) options.createSecurityTables(tables);
    tables.Close();
  } catch (...) {
    try {
      disk.Close();
    } catch (...) {
    }
    throw;
  }
  disk.Close();
}

void TTableMgr::CreateMasterTables() {
  const bool encrypted = dbHeader_.securityLevel != 0;
  const TSortOrder order = dbHeader_.sortOrder == 1 ? TSortOrder::soASCII : TSortOrder::soANSI;
  for (const auto& [name, wantId] : {std::pair{kUserCatalogue, kUserCatalogueId},
                                     std::pair{kSystemCatalogue, kSystemCatalogueId}}) {
    TTableDef def = SetMasterTableDef(wantId, name, encrypted, order);
    const uint32_t id = systemHeaders_.AddTable(static_cast<int>(def.InternalIndexDefs.size()));
    if (id != wantId) {
      ZuzInternalError("TZuzTable.CreateMasterTables",
                       "The catalogue tables must be the first system tables");
    }
    TTableHeader& header = systemHeaders_.OpenTable(id);
    try {
      TDiskIOInterface nodes(&disk_, kIndexPageSize, id, usIndex, IoFlagsFor(def.EncryptionLevel));
      nodes.SetGlobalFirstEmpty(ghIndexFirstEmpty);
      nodes.Open();
      CreateEmptyIndexes({&disk_, &def, &header, &nodes, {}});
      header.WriteHeader();
    } catch (...) {
      systemHeaders_.CloseTable(id);
      throw;
    }
    systemHeaders_.CloseTable(id);
  }
}

void TTableMgr::OpenCatalogues() {
  const bool encrypted = dbHeader_.securityLevel != 0;
  const TSortOrder order = dbHeader_.sortOrder == 1 ? TSortOrder::soASCII : TSortOrder::soANSI;
  userCatalogue_ = std::make_unique<TOpenTable>(
      disk_, systemHeaders_, SetMasterTableDef(kUserCatalogueId, kUserCatalogue, encrypted, order),
      services_.indexes, nullptr);
  systemCatalogue_ = std::make_unique<TOpenTable>(
      disk_, systemHeaders_,
      SetMasterTableDef(kSystemCatalogueId, kSystemCatalogue, encrypted, order), services_.indexes,
      nullptr);
}

void TTableMgr::CreateSystemTables() {
  TTableOptions options = DefaultTableOptions();
  // They name every table: as secret as the catalogue in a database with a master key.
  if (dbHeader_.securityLevel != 0) options.EncryptionLevel = TEncryptionLevel::encStrong;
  auto index = [](const char* name, const char* fields, bool unique) {
    TIndexDesc desc;
    desc.Name = name;
    desc.Fields = fields;
    desc.Unique = unique;
    return desc;
  };
  TIndexDesc byId = index("ixObjectID", "ObjectID", true);
  TIndexDesc byName = index("ixObjectName", "ObjectName", false);
  InternalCreateTable(
      BuildTableDef(kObjectIdTable,
                    {{"ObjectID", TFieldType::ftInteger}, {"ObjectName", TFieldType::ftString, 40}},
                    {byId, byName}, options));
  TIndexDesc byGenerator = index("ixGenName", "GeneratorName", true);
  InternalCreateTable(BuildTableDef(kGeneratorTable,
                                    {{"GeneratorName", TFieldType::ftString, 20},
                                     {"GeneratorValue", TFieldType::ftInteger},
                                     {"GeneratorStep", TFieldType::ftInteger},
                                     {"GeneratorResetValue", TFieldType::ftInteger}},
                                    {byGenerator}, options));
  auto generators = OpenTable(kGeneratorTable);
  generators->NewRecord();
  generators->SetValue(0, std::string(kObjectIdGenerator));
  generators->SetValue(1, int64_t{0});
  generators->SetValue(2, int64_t{1});
  generators->SetValue(3, int64_t{0});
  generators->AddRecord();
  systemTablesReady_ = true;
}

void TTableMgr::Open() {
  Close();
  dbHeader_ = disk_.ReadDatabaseHeader();
  if (dbHeader_.securityLevel != 0) disk_.ReadSecurityHeader();
  systemHeaders_.Open();
  userHeaders_.Open();
  try {
    OpenCatalogues();
    open_ = true;
    systemTablesReady_ =
        dbHeader_.MinorVersion() > 1 && TableExists(kObjectIdTable) && TableExists(kGeneratorTable);
  } catch (...) {
    Close();
    throw;
  }
}

void TTableMgr::Close() {
  DropPooledTables();
  for (TDefCache& cache : defCache_) cache = TDefCache();
  userCatalogue_.reset();
  systemCatalogue_.reset();
  systemHeaders_.Close();
  userHeaders_.Close();
  open_ = false;
  systemTablesReady_ = false;
}

TOpenTable& TTableMgr::Catalogue(bool internal) {
  CheckOpen("TZuzTable.Catalogue");
  return internal ? *systemCatalogue_ : *userCatalogue_;
}

int TTableMgr::OpenCount(uint32_t tableId) const {
  auto it = openCounts_->find(tableId);
  return it == openCounts_->end() ? 0 : it->second;
}

bool TTableMgr::FindRow(TOpenTable& table, int field, const std::string& value) {
  TOpenTable::TLockScope lock(table, ltRead);
  auto holdsValue = [&] {
    const TFieldValue v = table.GetValue(field);
    const auto* text = std::get_if<std::string>(&v);
    return text && *text == value;
  };
  const std::string& fieldName = table.Def().InternalFields[static_cast<size_t>(field)].FieldName;
  const auto found = table.Indexes().FindByFields(fieldName, {value});
  if (found) {
    for (uint32_t address : *found) {
      if (table.ReadRecord(address) && holdsValue()) return true;
    }
  }
  // Not through the index: make sure by reading every record. An index of a soANSI table built
  // under another collation than the user's current one may miss keys it holds.
  for (uint32_t address : table.BlockOrderAddresses()) {
    if (!table.ReadRecord(address) || !holdsValue()) continue;
    if (found) {
      TDBLogger::Instance().AddLine(
          kObject, "Index of " + table.Def().TableName + " did not find " + value + "; rebuild it");
      TDBLogger::Instance().IncCounter("INDEXLOOKUPMISSED");
    }
    return true;
  }
  table.NewRecord();
  return false;
}

bool TTableMgr::FindCatalogueRow(TOpenTable& catalogue, const std::string& name) {
  return FindRow(catalogue, kCatName, name);
}

bool TTableMgr::TableExists(const std::string& name) {
  TOpenTable& catalogue = Catalogue(IsInternalName(name));
  TOpenTable::TLockScope lock(catalogue, ltRead);
  return FindCatalogueRow(catalogue, name);
}

TTableMgr::TDefCache& TTableMgr::CurrentDefCache(bool internal) {
  TDefCache& cache = defCache_[internal ? 1 : 0];
  const uint64_t generation = Catalogue(internal).Generation();
  if (cache.generation != generation) {
    // Tables may have been dropped and others made under their ids: the pages cached for an id
    // are checked against the write counter of the table that has the id now only while the
    // catalogue stays the same (a new table's counter starts again and may meet the old one's).
    if (cache.generation != 0) disk_.ForgetCachedTablePages();
    cache = TDefCache();
    cache.generation = generation;
  }
  return cache;
}

std::vector<std::string> TTableMgr::TableNames(bool internal) {
  TOpenTable& catalogue = Catalogue(internal);
  TOpenTable::TLockScope lock(catalogue, ltRead);
  TDefCache& cache = CurrentDefCache(internal);
  if (cache.names) return *cache.names;
  std::vector<std::string> names;
  for (uint32_t address : catalogue.RecordAddresses()) {
    if (!catalogue.ReadRecord(address)) continue;
    const TFieldValue v = catalogue.GetValue(kCatName);
    if (const auto* text = std::get_if<std::string>(&v)) names.push_back(*text);
  }
  std::sort(names.begin(), names.end());
  cache.names = names;
  return names;
}

TTableDef TTableMgr::InternalGetTableDef(const std::string& name) {
  return *SharedTableDef(name);
}

std::shared_ptr<const TTableDef> TTableMgr::SharedTableDef(const std::string& name) {
  const bool internal = IsInternalName(name);
  TOpenTable& catalogue = Catalogue(internal);
  TOpenTable::TLockScope lock(catalogue, ltRead);
  TDefCache& cache = CurrentDefCache(internal);
  if (auto it = cache.defs.find(name); it != cache.defs.end()) return it->second;
  if (!FindCatalogueRow(catalogue, name)) {
    ZuzDatabaseError(ZUZ_ERR_NO_SUCH_TABLE, "TZuzTable.InternalGetTableDef", name, kObject);
  }
  auto def = std::make_shared<TTableDef>(TableDefFromText(catalogue.GetBlob(kCatTableDef)));
  ValidateStoredTableDef(*def);
  const uint32_t id = static_cast<uint32_t>(def->TableID);
  const uint32_t base =
      def->InternalTable ? TTableHeaderMgr::kSystemBaseId : TTableHeaderMgr::kUserBaseId;
  if (def->TableName != name || def->InternalTable != IsInternalName(name) || id < base ||
      id >= base + TTableHeaderMgr::kMaxTables || def->OwnerFlag != id * 16) {
    ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TZuzTable.InternalGetTableDef",
                     "The catalogue row of table " + name + " is damaged", kObject);
  }
  cache.defs.emplace(name, def);
  return def;
}

TTableDef TTableMgr::CreateTable(const std::string& name, const std::vector<TFieldDesc>& fields,
                                 const std::vector<TIndexDesc>& indexes,
                                 const TTableOptions& options) {
  CheckOpen("TZuzTable.CreateTable");
  if (disk_.InTransaction()) {
    ZuzDatabaseError(ZUZ_ERR_IN_TRANSACTION, "TZuzTable.CreateTable", {}, kObject);
  }
  return CreateTableInTransaction(name, fields, indexes, options);
}

TTableDef TTableMgr::CreateTableInTransaction(const std::string& name,
                                              const std::vector<TFieldDesc>& fields,
                                              const std::vector<TIndexDesc>& indexes,
                                              const TTableOptions& options) {
  CheckOpen("TZuzTable.CreateTable");
  if (std::any_of(name.begin(), name.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
    ZuzDatabaseError(ZUZ_ERR_TABLE_NAME, "TZuzTable.CreateTable",
                     "A table name can't hold a control character", kObject);
  }
  TTableDef def = BuildTableDef(name, fields, indexes, options);
  return InternalCreateTable(std::move(def));
}

TTableDef TTableMgr::InternalCreateTable(TTableDef def) {
  const char* caller = "TZuzTable.InternalCreateTable";
  CheckOpen(caller);
  CheckTableName(def.TableName);
  if (def.TableName == kUserCatalogue || def.TableName == kSystemCatalogue) {
    ZuzDatabaseError(ZUZ_ERR_RESERVED_NAME, caller, def.TableName, kObject);
  }
  if (def.Memory) {
    // Memory tables live in the memory table-definition manager, never in a catalogue.
    ZuzDatabaseError(def.Encrypted ? ZUZ_ERR_IN_MEMORY : ZUZ_ERR_TABLE_TYPE, caller, {}, kObject);
  }
  if (def.Encrypted && dbHeader_.securityLevel == 0) {
    ZuzDatabaseError(ZUZ_ERR_TABLE_TYPE, caller, "This database does not use/support encryption",
                     kObject);
  }
  // A table made and rolled back may still be pooled under the id the new one gets: its header
  // must not be shared with the new table.
  DropPooledTables();
  return InTransaction(disk_, [&] {
    TOpenTable& catalogue = Catalogue(def.InternalTable);
    TOpenTable::TLockScope catalogueLock(catalogue, ltWrite);
    if (FindCatalogueRow(catalogue, def.TableName)) {
      ZuzDatabaseError(ZUZ_ERR_TABLE_EXISTS, caller, def.TableName, kObject);
    }
    THeaderWriteLock headerLock(disk_);
    TTableHeaderMgr& headers = HeaderMgr(def.InternalTable);
    const uint32_t id = headers.AddTable(static_cast<int>(def.InternalIndexDefs.size()));
    def.TableID = static_cast<int>(id);
    def.OwnerFlag = id * 16;
    def.Version = kEngineVersion;
    def.OS = OperatingSystemText();
    def.CreationDate = def.LastModDate = NowDayNumber();
    if (def.CreatedBy.empty()) def.CreatedBy = LoginUserName();
    def.AltName = AltNameFor(def.TableName, def.Encrypted);
    {
      TTableHeader& header = headers.OpenTable(id);
      try {
        TDiskIOInterface nodes(&disk_, kIndexPageSize, id, usIndex,
                               IoFlagsFor(def.EncryptionLevel));
        nodes.SetGlobalFirstEmpty(ghIndexFirstEmpty);
        nodes.Open();
        CreateEmptyIndexes({&disk_, &def, &header, &nodes, {}});
        header.WriteHeader();
      } catch (...) {
        headers.CloseTable(id);
        throw;
      }
      headers.CloseTable(id);
    }
    catalogue.NewRecord();
    catalogue.SetValue(kCatName, def.TableName);
    catalogue.SetBlob(kCatTableDef, TableDefToText(def));
    catalogue.AddRecord();
    if (systemTablesReady_) AddObjectId(def.TableName);
    headerLock.Release();
    return def;
  });
}

void TTableMgr::InternalUpdateTableDef(const TTableDef& def, const std::string& oldName) {
  const char* caller = "TZuzTable.InternalUpdateTableDef";
  CheckOpen(caller);
  DropPooledTables();
  CheckTableName(def.TableName);
  if (def.Memory) ZuzDatabaseError(ZUZ_ERR_TABLE_TYPE, caller, {}, kObject);
  if (IsInternalName(def.TableName) != IsInternalName(oldName)) {
    ZuzDatabaseError(ZUZ_ERR_TABLE_NAME, caller,
                     def.TableName + " is not a valid value for this table", kObject);
  }
  InTransaction(disk_, [&] {
    TOpenTable& catalogue = Catalogue(IsInternalName(oldName));
    TOpenTable::TLockScope lock(catalogue, ltWrite);
    if (def.TableName != oldName && FindCatalogueRow(catalogue, def.TableName)) {
      ZuzDatabaseError(ZUZ_ERR_TABLE_EXISTS, caller, def.TableName, kObject);
    }
    if (!FindCatalogueRow(catalogue, oldName)) {
      ZuzDatabaseError(ZUZ_ERR_NO_SUCH_TABLE, caller, oldName, kObject);
    }
    TTableDef stored = def;
    stored.AltName = AltNameFor(stored.TableName, stored.Encrypted);
    catalogue.SetValue(kCatName, stored.TableName);
    catalogue.SetBlob(kCatTableDef, TableDefToText(stored));
    catalogue.UpdateRecord();
    if (systemTablesReady_ && def.TableName != oldName) {
      auto ids = OpenTable(kObjectIdTable);
      if (FindRow(*ids, 1, oldName)) {
        ids->SetValue(1, def.TableName);
        ids->UpdateRecord();
      }
    }
    return 0;
  });
}

std::unique_ptr<TOpenTable> TTableMgr::OpenTable(const std::string& name) {
  CheckOpen("TZuzTable.OpenTable");
  std::shared_ptr<const TTableDef> shared = SharedTableDef(name);
  const uint64_t generation = defCache_[IsInternalName(name) ? 1 : 0].generation;
  for (auto [it, end] = pool_.equal_range(name); it != end;) {
    if (it->second.generation != generation) {
      it = pool_.erase(it);
      continue;
    }
    std::unique_ptr<TOpenTable> table = std::move(it->second.table);
    table->SetOnClose(std::move(it->second.onClose));
    pool_.erase(it);
    ++(*openCounts_)[table->TableId()];
    table->NewRecord();
    return table;
  }
  TTableDef def = *shared;
  const uint32_t id = static_cast<uint32_t>(def.TableID);
  TTableHeaderMgr& headers = HeaderMgr(def.InternalTable);
  std::weak_ptr<std::map<uint32_t, int>> counts = openCounts_;
  auto table = std::make_unique<TOpenTable>(disk_, headers, std::move(def), services_.indexes,
                                            [counts](uint32_t tableId) {
                                              if (auto c = counts.lock()) --(*c)[tableId];
                                            });
  table->SetDefGeneration(generation);
  ++(*openCounts_)[id];
  return table;
}

void TTableMgr::ReturnTable(std::unique_ptr<TOpenTable> table) {
  if (!table) return;
  std::function<void(uint32_t)> onClose = table->TakeOnClose();
  if (onClose) onClose(table->TableId());
  const std::string& name = table->Def().TableName;
  if (!open_ || pool_.count(name) >= 2) return;
  const uint64_t generation = table->DefGeneration();
  pool_.emplace(name, TPooledTable{generation, std::move(table), std::move(onClose)});
}

void TTableMgr::DeleteTable(const std::string& name) {
  const char* caller = "TZuzTable.DeleteTable";
  CheckOpen(caller);
  DropPooledTables();
  const TTableDef def = InternalGetTableDef(name);
  const auto id = static_cast<uint32_t>(def.TableID);
  if (OpenCount(id) > 0) {
    ZuzDatabaseError(ZUZ_ERR_TABLE_DELETE, caller, "The table " + name + " is in use", kObject);
  }
  InTransaction(disk_, [&] {
    TOpenTable& catalogue = Catalogue(def.InternalTable);
    TOpenTable::TLockScope catalogueLock(catalogue, ltWrite);
    // No other program may read the table while it goes (the commit waits for its readers).
    disk_.LockTable(static_cast<uint16_t>(id), ltWrite);
    THeaderWriteLock headerLock(disk_);
    HeaderMgr(def.InternalTable).DeleteTable(id);
    disk_.FreeTablePages(id, 0, false);
    if (!FindCatalogueRow(catalogue, name)) {
      ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller,
                       "Unable to delete internal table definition: " + name, kObject);
    }
    catalogue.DeleteRecord(false);
    if (systemTablesReady_) DeleteObjectId(name);
    headerLock.Release();
    return 0;
  });
}

void TTableMgr::EmptyTable(const std::string& name) {
  CheckOpen("TZuzTable.EmptyTable");
  DropPooledTables();
  if (disk_.InTransaction()) {
    ZuzDatabaseError(ZUZ_ERR_IN_TRANSACTION, "TZuzTable.EmptyTable", {}, kObject);
  }
  OpenTable(name)->EmptyTable();
}

int64_t TTableMgr::NextGeneratorValue(const std::string& generator) {
  const char* caller = "TZuzTable.NextGeneratorValue";
  auto table = OpenTable(kGeneratorTable);
  TOpenTable::TLockScope lock(*table, ltWrite);
  if (!FindRow(*table, 0, generator)) {
    ZuzDatabaseError(ZUZ_ERR_NOT_FOUND, caller, "Generator " + generator, kObject);
  }
  const TFieldValue value = table->GetValue(1);
  const TFieldValue step = table->GetValue(2);
  const int64_t next = (std::holds_alternative<int64_t>(value) ? std::get<int64_t>(value) : 0) +
                       (std::holds_alternative<int64_t>(step) ? std::get<int64_t>(step) : 1);
  table->SetValue(1, next);
  table->UpdateRecord();
  return next;
}

void TTableMgr::AddObjectId(const std::string& name) {
  const int64_t objectId = NextGeneratorValue(kObjectIdGenerator);
  auto ids = OpenTable(kObjectIdTable);
  ids->NewRecord();
  ids->SetValue(0, objectId);
  ids->SetValue(1, name);
  ids->AddRecord();
}

std::optional<int64_t> TTableMgr::ObjectIdOf(const std::string& name) {
  if (!systemTablesReady_) return std::nullopt;
  auto ids = OpenTable(kObjectIdTable);
  TOpenTable::TLockScope lock(*ids, ltRead);
  if (!FindRow(*ids, 1, name)) return std::nullopt;
  const TFieldValue v = ids->GetValue(0);
  const auto* id = std::get_if<int64_t>(&v);
  return id ? std::optional<int64_t>(*id) : std::nullopt;
}

void TTableMgr::SetObjectId(const std::string& name, int64_t objectId) {
  if (!systemTablesReady_) return;
  auto ids = OpenTable(kObjectIdTable);
  TOpenTable::TLockScope lock(*ids, ltWrite);
  if (!FindRow(*ids, 1, name)) return;
  ids->SetValue(0, objectId);
  ids->UpdateRecord();
}

void TTableMgr::DeleteObjectId(const std::string& name) {
  auto ids = OpenTable(kObjectIdTable);
  TOpenTable::TLockScope lock(*ids, ltWrite);
  if (FindRow(*ids, 1, name)) ids->DeleteRecord(false);
}

}  // namespace zuz
