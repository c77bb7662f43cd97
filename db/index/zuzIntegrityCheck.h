// The integrity check of a whole database, through the engine's own readers:
//   - the database header (checksum, disk format), the security header, the global header;
//   - the file's size and every map page: each entry of a page within the file is an owner tag
//     of a known table and usage, or free; every free chain holds; free pages are zero (as
//     freeing leaves them); no page beyond the file is in use;
//   - both table-header maps and every table header;
//   - every catalogued table: its definition reads, its table header is in a map, its records,
//     free lists and blob chains hold (TOpenTable::CheckStorage), its pages carry its tags;
//   - every index: the tree's invariants, one key for every record and no other key;
//   - no table header without a catalogue row.
// Problems are reported as lines of text; the check never raises for damage and changes nothing.
#pragma once

#include <string>
#include <vector>

namespace zuz {

class TTableMgr;

// REQUIRES: the table manager is open. At most maxProblems lines are returned.
std::vector<std::string> CheckDatabaseIntegrity(TTableMgr& tables, int maxProblems = 200);

}  // namespace zuz
