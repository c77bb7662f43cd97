// Rebuilding all indexes of a table from its records (TZuzDataSet.ReIndex):
//   1. list every record block of the table in block order;
//   2. free the table's index pages and give every index a new empty root;
//   3. for each live record: search its full key in each index in turn; found in some index
//      (a duplicate of a record indexed before) is 9729 "Key violation " with "Index <name>",
//      or with skipDuplicates the record is left out of every index (it stays in the table);
//      otherwise its key goes into every index;
//   4. after each record the progress handler gets the rounded percentage of records done and
//      may ask to stop.
// This is the rebuild itself, inside the caller's transaction; the restructure that runs it in a
// transaction of its own, with a recovery copy, is ReIndex in zuzRestructure.h.
#pragma once

#include <cstdint>
#include <functional>

namespace zuz {

class TOpenTable;

// Progress of a long table operation: the percentage done; setting cancel stops it.
using TUpdateProgressProc = std::function<void(int percentDone, bool& cancel)>;

struct TReIndexResult {
  int64_t Records = 0;   // live records read
  int64_t LeftOut = 0;   // duplicates left out of every index
  bool Aborted = false;  // the progress handler stopped the rebuild
};

// Under the table's write lock. On a stop or a failure the indexes hold the records done so far
// (the roots are written either way); a caller that needs all or nothing runs it in a
// transaction and rolls back. 8581 "Failed to add key to Index <name>" when an insert fails.
TReIndexResult ReIndexTable(TOpenTable& table, bool skipDuplicates,
                            const TUpdateProgressProc& progress = {});

}  // namespace zuz
