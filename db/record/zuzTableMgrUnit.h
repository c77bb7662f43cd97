// The tables of a database: the two catalogues, the table-header maps, and creating, opening,
// emptying and deleting tables.
//
// Catalogues. Every table's definition is a row of a catalogue table: tables whose name starts
// with "$" are internal and listed in $MSTRTBLSYSTEM (table id 1025), all others in $MSTRTBLUSER
// (id 1024). Both have the same fixed definition and are created with the database:
//
//   field      type                 content
//   AutoID     ftAutoInc            field 0
//   Name       ftString 40          the table name (rows are found by it; names are unique)
//   TableDef   ftBlob               the definition in its text form (zuzTableDef.h)
//
// one unnamed unique primary index on Name, blob blocks of 1024 bytes, encrypted (encStrong)
// when the database has a master key or user security (security level 1 or 2). In such a database
// every table is created encrypted: no name, definition or value lies in the file as plain text.
//
// System tables (databases of minor version 2 and later), catalogued in $MSTRTBLSYSTEM:
//   $SYSTBL_OBJECTIDREF    ObjectID ftInteger, ObjectName ftString 40; indexes ixObjectID,
//                          ixObjectName: the object id of every table created later
//   $SYSTBL_INTGENERATOR   GeneratorName ftString 20, GeneratorValue, GeneratorStep,
//                          GeneratorResetValue ftInteger; index ixGenName: named counters, of
//                          which $INTGEN_OBJID numbers the object ids
//
// Creating, emptying and deleting a table run as transactions of their own (creating and
// emptying are refused inside an open transaction), so a failure leaves the file as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/record/zuzDataUnit.h"
#include "db/record/zuzTableDef.h"
#include "db/record/zuzTableIndexes.h"
#include "db/storage/zuzDbHeader.h"
#include "db/storage/zuzTableHeaderMgr.h"

namespace zuz {

class TDiskMgr;

class TTableMgr;

// What a table manager needs from the layers above the record layer, handed in by the engine
// set-up (or by a test): how open tables keep their indexes.
struct TTableMgrServices {
  // Makes the index set of every table opened; required (NoTableIndexes() keeps none).
  TTableIndexesFactory indexes;
};

struct TDatabaseCreateOptions {
  std::string databaseName;
  TSortOrder sortOrder = TSortOrder::soANSI;
  std::string masterKey;  // empty: not encrypted (unless with user security)
  bool overwrite = false;
  // Users and groups (security level 2): the pages are encrypted under the master key (the
  // built-in key when it is empty), and createSecurityTables makes the tables of the users,
  // groups and privileges after the system tables.
  bool userSecurity = false;
  std::function<void(TTableMgr&)> createSecurityTables;
};

class TTableMgr {
 public:
  static constexpr const char* kUserCatalogue = "$MSTRTBLUSER";
  static constexpr const char* kSystemCatalogue = "$MSTRTBLSYSTEM";
  static constexpr uint32_t kUserCatalogueId = 1024;
  static constexpr uint32_t kSystemCatalogueId = 1025;
  static constexpr const char* kObjectIdTable = "$SYSTBL_OBJECTIDREF";
  static constexpr const char* kGeneratorTable = "$SYSTBL_INTGENERATOR";
  static constexpr const char* kObjectIdGenerator = "$INTGEN_OBJID";
  static constexpr int kCatalogueBlobSize = 1024;
  // The work table of a restructure that rebuilds a table (zuzRestructure.h). It lives only inside
  // the restructure's transaction, under a name that CreateTable refuses (it holds a control
  // character), so that it can never be a table of a program.
  static constexpr const char* kWorkTable = "\x01Restructure";

  // The disk manager must outlive the table manager, and the tables opened through it must be
  // closed before it. REQUIRES: services.indexes is set.
  TTableMgr(TDiskMgr& disk, TTableMgrServices services);
  ~TTableMgr();
  TTableMgr(const TTableMgr&) = delete;
  TTableMgr& operator=(const TTableMgr&) = delete;

  // Creates the file (8582 when it exists without overwrite), writes the database header (and
  // the security header for a master key), creates the catalogue and system tables, and closes
  // the file again.
  static void CreateDatabase(TDiskMgr& disk, const TDatabaseCreateOptions& options,
                             const TTableMgrServices& services);

  // REQUIRES: the disk manager is open (with its master key set for an encrypted database).
  // Recovers an interrupted restructure, reads the database header (8961, 12041), checks the
  // master key (8451), opens the catalogues.
  void Open();
  void Close();
  bool IsOpen() const { return open_; }
  const TDatabaseHeader& DatabaseHeader() const { return dbHeader_; }
  // The system tables are present (minor version 2 and later).
  bool HasSystemTables() const { return systemTablesReady_; }
  const TTableMgrServices& Services() const { return services_; }
  TDiskMgr& Disk() { return disk_; }

  // Options for a new table: the database's sort order, this program's login name, and in a
  // database with a master key or user security the strong encryption of its pages.
  TTableOptions DefaultTableOptions() const;

  // CreateTable: refused inside a transaction (10122), for a name holding a control character
  // (10039), for encryption without a master key and for memory tables (10766), for encrypted
  // memory tables (10880), for an existing name (13060); the definition's checks of
  // BuildTableDef. Returns the stored definition.
  TTableDef CreateTable(const std::string& name, const std::vector<TFieldDesc>& fields,
                        const std::vector<TIndexDesc>& indexes, const TTableOptions& options);
  // As CreateTable, but inside the caller's transaction when one is open (one of its own
  // otherwise): other programs see the table once the transaction commits, and a rollback takes
  // it away again with everything else the transaction did (SQL CREATE TABLE, so that a plan's
  // schema changes in one transaction with its rows).
  TTableDef CreateTableInTransaction(const std::string& name, const std::vector<TFieldDesc>& fields,
                                     const std::vector<TIndexDesc>& indexes,
                                     const TTableOptions& options);
  // Creates a table from a definition built by BuildTableDef (inside the caller's transaction
  // when one is open).
  TTableDef InternalCreateTable(TTableDef def);
  // Refused while the table is open in this program (10053); 10024 when it does not exist.
  void DeleteTable(const std::string& name);
  // See TOpenTable::EmptyTable.
  void EmptyTable(const std::string& name);
  // 10024 "No such table" when the catalogue has no row of the name.
  std::unique_ptr<TOpenTable> OpenTable(const std::string& name);
  // Takes back a table object of OpenTable after use: kept (not counted as open) for the next
  // OpenTable of the table, so that its header, indexes and known pages need not be read again;
  // dropped when a definition changes, a table is deleted or emptied, or at Close.
  void ReturnTable(std::unique_ptr<TOpenTable> table);

  // The stored definition (10024 when absent; 8451 when its text is damaged).
  TTableDef InternalGetTableDef(const std::string& name);
  // The same, shared with the manager's cache of definitions (no copy).
  std::shared_ptr<const TTableDef> SharedTableDef(const std::string& name);
  // Writes the definition into the catalogue row of oldName (a different TableName renames the
  // table: 10039 for an invalid name, 13060 for one in use; memory tables 10766).
  void InternalUpdateTableDef(const TTableDef& def, const std::string& oldName);
  bool TableExists(const std::string& name);
  // The names of the user tables (or the internal ones), in name order.
  std::vector<std::string> TableNames(bool internal = false);
  // Advances the named counter of $SYSTBL_INTGENERATOR by its step; returns the new value.
  int64_t NextGeneratorValue(const std::string& generator);
  // The object id of the table in $SYSTBL_OBJECTIDREF (by its stored name), none when absent.
  std::optional<int64_t> ObjectIdOf(const std::string& name);
  // Gives the table the object id (a table rebuilt under its name keeps the id of the old one).
  // REQUIRES: no other table holds the id.
  void SetObjectId(const std::string& name, int64_t objectId);
  // The number of open tables of the id in this program.
  int OpenCount(uint32_t tableId) const;

  // The definition of a catalogue table.
  static TTableDef SetMasterTableDef(uint32_t tableId, const std::string& name, bool encrypted,
                                     TSortOrder sortOrder);
  TOpenTable& Catalogue(bool internal);
  TTableHeaderMgr& HeaderMgr(bool internal) { return internal ? systemHeaders_ : userHeaders_; }

 private:
  void CheckOpen(const char* caller) const;
  void CreateMasterTables();
  void CreateSystemTables();
  void OpenCatalogues();
  // Positions the catalogue on the row of the name; false when there is none.
  bool FindCatalogueRow(TOpenTable& catalogue, const std::string& name);
  // Positions the table on the first row whose text field holds the value, looked up through an
  // index on the field where there is one.
  bool FindRow(TOpenTable& table, int field, const std::string& value);
  void AddObjectId(const std::string& name);
  void DeleteObjectId(const std::string& name);

  TDiskMgr& disk_;
  TTableHeaderMgr systemHeaders_;
  TTableHeaderMgr userHeaders_;
  std::unique_ptr<TOpenTable> userCatalogue_;
  std::unique_ptr<TOpenTable> systemCatalogue_;
  TDatabaseHeader dbHeader_;
  TTableMgrServices services_;
  std::shared_ptr<std::map<uint32_t, int>> openCounts_;
  // Definitions read from a catalogue (user, system), kept while its generation stays the same:
  // every statement names its tables, and reading a definition's text is costly.
  struct TDefCache {
    uint64_t generation = 0;
    std::map<std::string, std::shared_ptr<const TTableDef>> defs;
    std::optional<std::vector<std::string>> names;
  };
  // The cache of the catalogue, emptied when the catalogue's generation moved. REQUIRES: a lock
  // scope on the catalogue (which makes its generation current).
  TDefCache& CurrentDefCache(bool internal);
  TDefCache defCache_[2];
  struct TPooledTable {
    uint64_t generation;  // of its catalogue when it was taken back
    std::unique_ptr<TOpenTable> table;
    std::function<void(uint32_t)> onClose;
  };
  std::multimap<std::string, TPooledTable> pool_;
  void DropPooledTables() { pool_.clear(); }
  bool open_ = false;
  bool systemTablesReady_ = false;
};

}  // namespace zuz
