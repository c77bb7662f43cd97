// The invariant checker of an index tree, with node statistics per level. It reads every node
// from the root through its own buffer (the tree's path is left alone) and reports, instead of
// raising, what it finds wrong:
//   - a node that cannot be loaded (flag, used bytes, entry sizes, addresses), a node of the
//     wrong kind for its level (so all leaves are on the last level), an empty node other than
//     the root, a full node, a node reached twice;
//   - keys out of order within a node or from one leaf to the next (equal full keys too when
//     unique keys are asked for);
//   - an inner entry whose key is not its child's first key, or whose count is not the number of
//     keys below the child;
//   - leaf links that do not follow the key order in both directions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/index/zuzBTree.h"

namespace zuz {

struct TBTreeLevelStats {
  int Nodes = 0;
  int64_t Entries = 0;
  int64_t UsedBytes = 0;  // bytes used by entries, headers not counted
  int Underfull = 0;      // nodes other than the root below half full
};

struct TBTreeReport {
  std::vector<std::string> Problems;
  int Depth = 0;
  std::vector<TBTreeLevelStats> Levels;  // from the root down
  int64_t Keys = 0;
  bool Ok() const { return Problems.empty(); }
};

// REQUIRES: an open tree. At most maxProblems problems are listed.
TBTreeReport CheckBTree(const TBTree& tree, bool uniqueKeys, int maxProblems = 20);

}  // namespace zuz
