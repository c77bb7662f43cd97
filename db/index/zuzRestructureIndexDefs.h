// The index descriptions of a restructure: checking a new list of index descriptions against a
// table's fields, building the table definition with them, and naming what changes for each
// index.
//
// Change statuses, one per index of the old or the new definition:
//   "Unchanged Item"             same name, same key fields and options
//   "Definition Only Changed"    renamed: a new name for an old index's very key fields and
//                                options (the keys stay as they are)
//   "New Item"                   an index that was not there
//   "Deleted Item"               an index that goes
//   "Data Requirements Changed"  same name, other key fields or options (the keys are rebuilt)
//   "Data Loss Possible"         same name, and the index now refuses duplicates it accepted
//                                before: records with a duplicate key are left out of every
//                                index by the rebuild
// Only names changed: the definition is updated in place. Anything else: the definition is
// rebuilt with the new indexes and every index is rebuilt from the records.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/record/zuzTableDef.h"

namespace zuz {

enum class TIndexChangeStatus {
  Unchanged,
  DefinitionOnly,
  New,
  Deleted,
  DataRequirements,
  DataLossPossible,
};

// The status's text, as listed in a restructure log.
const char* IndexChangeStatusText(TIndexChangeStatus status);

struct TIndexChange {
  std::string OldName;  // empty for a new index
  std::string NewName;  // empty for a deleted index
  TIndexChangeStatus Status = TIndexChangeStatus::Unchanged;
};

class TRestructureIndexDefs {
 public:
  // Checks new index descriptions against the definition's fields; 9996 "Invalid modify request"
  // with: "Only one primary index is permitted per table"; "Field not found: " for an index
  // without fields; "The field '%s' in index '%s' was not found in the table field
  // definitions." for a name in Fields, DescFields or CaseInsFields that is no field; "The Index
  // '%s' with fields '%s' has exceeded the maximum key size of %d" when the core and string sizes
  // of the fields add up to more than 500; "... maximum key field count of %d" above 32 fields.
  static void ValidateNewIndexDefs(const TTableDef& def, const std::vector<TIndexDesc>& indexes);
  // The status of every index, old ones first in their order, then the new ones.
  static std::vector<TIndexChange> ChangeStatuses(const TTableDef& oldDef, const TTableDef& newDef);
  // True when the changes need no rebuild (only renames, or nothing).
  static bool DefinitionOnly(const std::vector<TIndexChange>& changes);
};

// The declared indexes of a definition as descriptions (the hidden "_LogicalRecNo" left out),
// in slot order; building a definition from them gives the same key fields.
std::vector<TIndexDesc> IndexDescsOf(const TTableDef& def);
// A copy of the definition with the indexes replaced by the descriptions (slots renumbered,
// "_LogicalRecNo" when there are none): 9604 above 32 indexes, 9996 "Index already exists" for a
// repeated name, and the key checks of DeriveIndex (9602 for a key entry above 500 bytes).
TTableDef DefinitionWithIndexes(const TTableDef& def, const std::vector<TIndexDesc>& indexes);
// A copy of the definition in which the index oldName is called newName (key fields too).
TTableDef DefinitionWithIndexRenamed(const TTableDef& def, std::string_view oldName,
                                     const std::string& newName);
// Replaces the field name oldName (without case) by newName in Fields, DescFields and
// CaseInsFields of every description.
void RenameFieldInIndexDescs(std::vector<TIndexDesc>& indexes, std::string_view oldName,
                             const std::string& newName);

}  // namespace zuz
