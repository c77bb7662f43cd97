// Restructures of a table: rebuilding its indexes, adding and dropping indexes (what CREATE
// INDEX and DROP INDEX run), replacing its index list, renaming a column. Each runs as one
// transaction of its own, under the table's write lock, committed through the rollback journal
// like every other, so that a program that stops in the middle leaves the table as it was
// before or as it is after. All of them are refused inside an open transaction (10122); the
// changes of the definition also need the database open exclusively (10121), because other
// programs keep a table's definition from the moment they open it, and the table closed in this
// program (10031 "Table is open"). The catalogue tables can't be restructured (10766).
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "db/index/zuzReIndex.h"
#include "db/index/zuzRestructureIndexDefs.h"
#include "db/record/zuzTableDef.h"

namespace zuz {

class TOpenTable;
class TTableMgr;

// Rebuilds every index of the table from its records (ReIndexTable). When the progress handler
// stops it, nothing is changed (the result says Aborted).
TReIndexResult ReIndex(TTableMgr& tables, const std::string& tableName, bool skipDuplicates,
                       const TUpdateProgressProc& progress = {});

// Adds an index: 9996 "No index columns specified" without fields, "Field not found : <name>"
// for a field the table lacks, "Index already exists" for a name in use (the primary index has
// the empty name); then the checks of ValidateNewIndexDefs and DefinitionWithIndexes (9996,
// 9602, 9604). The definition is rebuilt with the new index and every index rebuilt with
// duplicates left out (see ReIndexTable). Returns the change statuses, which are also added to
// log (lines "<index>: <status>") when one is given. A stop by the progress handler undoes
// everything and raises 9996 "The restructure was cancelled".
std::vector<TIndexChange> AddIndex(TTableMgr& tables, const std::string& tableName,
                                   const TIndexDesc& index, std::vector<std::string>* log = nullptr,
                                   const TUpdateProgressProc& progress = {});
// Drops the named index ("primary" names the primary index when no index has that name);
// 9997 "Index not found" when there is none.
std::vector<TIndexChange> DropIndex(TTableMgr& tables, const std::string& tableName,
                                    const std::string& indexName,
                                    std::vector<std::string>* log = nullptr,
                                    const TUpdateProgressProc& progress = {});
// Replaces the table's declared indexes by the descriptions. Unchanged indexes need nothing;
// only renamed ones update the definition in place; anything else rebuilds the definition and
// every index with duplicates left out.
std::vector<TIndexChange> ChangeIndexes(TTableMgr& tables, const std::string& tableName,
                                        const std::vector<TIndexDesc>& indexes,
                                        std::vector<std::string>* log = nullptr,
                                        const TUpdateProgressProc& progress = {});
// Renames a column (ALTER TABLE ... ALTER ... TO), in the fields and in every index's key
// fields: 10116 "No such field" for an unknown old name, 10038 for a new name that is empty,
// longer than 40 bytes, no UTF-8 text or taken by another field.
void RenameField(TTableMgr& tables, const std::string& tableName, const std::string& oldName,
                 const std::string& newName);
// Renames columns one after the other (old name, new name), each checked as RenameField checks it
// against the definition the renames before it made; the definition is written once.
void RenameFields(TTableMgr& tables, const std::string& tableName,
                  const std::vector<std::pair<std::string, std::string>>& renames);

// Fills the new record of `to` (NewRecord done) from the current record of `from`.
using TRebuildRowProc = std::function<void(TOpenTable& from, TOpenTable& to)>;
// Gives the table new fields and indexes (ALTER TABLE ... ADD, DROP, ALTER ... TYPE): a table of
// the new definition is made under the work name TTableMgr::kWorkTable, every row is copied into
// it through copyRow (auto-increment values kept), the old table is deleted and the new one takes
// its name and object id. One transaction holds all of it, so that a failure or a program that
// stops leaves the old table or the new one, never neither. The definition's checks of
// BuildTableDef; 13060 when a table of the work name is there (a file damaged elsewhere).
void RebuildTable(TTableMgr& tables, const std::string& tableName,
                  const std::vector<TFieldDesc>& fields, const std::vector<TIndexDesc>& indexes,
                  const TRebuildRowProc& copyRow);

}  // namespace zuz
