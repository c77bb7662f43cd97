// Restructures of a table: rebuilding its indexes, adding and dropping indexes (what CREATE
// INDEX and DROP INDEX run), replacing its index list, renaming a column. Each runs as one
// transaction of its own, under the table's write lock, committed through the rollback journal
// like every other, so that a program that stops in the middle leaves the table as it was
// before or as it is after. All of them are refused inside an open transaction (10122); the
// changes of the definition also need the database open exclusively (10121), because other
// programs keep a table's definition from the moment they open it, and the table closed in this
// program (10031 "Table is open"). The catalogue tables can't be restructured (10766).
#pragma once

#include <string>
#include <vector>

#include "db/index/zuzReIndex.h"
#include "db/index/zuzRestructureIndexDefs.h"
#include "db/record/zuzTableDef.h"

namespace zuz {

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
// longer than 40 characters or taken by another field.
void RenameField(TTableMgr& tables, const std::string& tableName, const std::string& oldName,
                 const std::string& newName);

}  // namespace zuz
