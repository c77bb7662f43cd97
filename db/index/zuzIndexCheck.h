// Checks that the indexes of an open table agree with its records: every index holds exactly one
// key for every live record (the key built from the record, with the record's address) and no
// other key, and every tree passes the invariant checker (zuzBTreeCheck.h), so its keys are in
// order. Problems are reported as text, never raised; a damaged node the checker can't read is a
// problem too.
#pragma once

#include <string>
#include <vector>

namespace zuz {

class TOpenTable;

// Under the table's read lock. At most maxProblems problems are listed.
std::vector<std::string> CheckTableIndexes(TOpenTable& table, int maxProblems = 20);

}  // namespace zuz
