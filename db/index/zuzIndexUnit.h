// The index layer: keys built from records and compared under a table's sort order, and the
// B+tree of an index in fixed-size nodes. This header holds what every part of the layer shares:
// the sizes of nodes and key entries and the way the layer reports errors.
//
// The parts, one header each:
//   zuzKeyCollation.h     string comparison of the two sort orders (locale collation, bytes)
//   zuzKeyFormat.h        key entries: building from a record image or from values, comparing,
//                         TSearchModifier and TOptimizedSearchKey
//   zuzBTreeNode.h        TNode, one node buffer with its checked entries
//   zuzBTree.h            TBTree, the tree with its search path and cursor
//   zuzBTreeCheck.h       the invariant checker and node statistics of a tree
//   zuzIndexReadAhead.h   TReadAheadBuffer, keys and records read ahead in index order
//   zuzIndexHashList.h    THashList, key values and record addresses for hash joins
// docs/index-format.md describes the key entry and node layouts for someone repairing a file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/record/zuzKeyFields.h"

namespace zuz {

constexpr int kNodeHeaderSize = 16;  // leaf flag, used bytes, next and previous leaf
constexpr int kMaxKeyFields = 32;    // key fields of one index, the hidden one included
constexpr int kMaxTreeDepth = 48;    // more levels than any file below 2 GiB can need

// Raises the engine's internal error 8581 for damaged index bytes or a misused tree, with the
// operation's name as caller ("TNode.DeleteKey") and the object name of the layer.
[[noreturn]] void IndexError(std::string_view caller, std::string_view message);
// Raises 8581 for a consistency check of the layer that should never fire; the caller text is
// the unit's name.
[[noreturn]] void IndexAssert(std::string_view message);

}  // namespace zuz
