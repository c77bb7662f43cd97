#include "db/index/zuzBTreeCheck.h"

#include <cstring>
#include <set>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzError.h"

namespace zuz {

namespace {

class TChecker {
 public:
  TChecker(const TBTree& tree, bool unique, int maxProblems)
      : format_(tree.Format()),
        io_(tree.Interface()),
        nodeSize_(tree.NodeSize()),
        m_(tree.MaximumKeySize()),
        unique_(unique),
        maxProblems_(maxProblems),
        lastKey_(static_cast<size_t>(m_), 0) {
    report_.Depth = tree.Depth();
    report_.Levels.resize(static_cast<size_t>(std::max(tree.Depth(), 0)));
  }

  TBTreeReport Run(uint32_t root) {
    if (report_.Depth < 1 || report_.Depth > kMaxTreeDepth) {
      Problem("invalid depth " + std::to_string(report_.Depth));
      return report_;
    }
    Visit(root, 0, nullptr);
    if (lastLeaf_ != 0 && lastLeafNext_ != 0) {
      Problem("last leaf " + std::to_string(lastLeaf_) + " links to a next leaf " +
              std::to_string(lastLeafNext_));
    }
    return report_;
  }

 private:
  void Problem(const std::string& text) {
    if (static_cast<int>(report_.Problems.size()) < maxProblems_) report_.Problems.push_back(text);
  }

  // cmp(a, b) over all fields: -1, 0, +1 for a before, equal to, after b.
  int Compare(const uint8_t* a, const uint8_t* b) const {
    return format_.CompareKeys(0, nullptr, b, a);
  }

  void CheckOrder(const uint8_t* before, const uint8_t* after, const std::string& where) {
    const int c = Compare(before, after);
    if (c > 0 || (unique_ && c == 0)) {
      Problem("keys out of order " + where + ": " + format_.Describe(before) + " then " +
              format_.Describe(after));
    }
  }

  // Returns the number of keys below the node.
  uint64_t Visit(uint32_t address, int level, const uint8_t* separator) {
    const std::string name = "node " + std::to_string(address);
    if (!seen_.insert(address).second) {
      Problem(name + " is reached twice");
      return 0;
    }
    const bool leaf = level == report_.Depth - 1;
    TNode node(io_, nodeSize_, m_);
    try {
      node.Load(address, leaf ? 1 : 0, level == 0, true);
      const int n = node.Count();
      TBTreeLevelStats& stats = report_.Levels[static_cast<size_t>(level)];
      ++stats.Nodes;
      stats.Entries += n;
      stats.UsedBytes += node.Used();
      if (level > 0 && node.Underfull()) ++stats.Underfull;
      if (node.Full()) Problem(name + " is full");
      if (separator && n > 0 &&
          std::memcmp(separator + keBitmap, node.Entry(0) + keBitmap,
                      static_cast<size_t>(m_ - keBitmap)) != 0) {
        Problem("the entry of " + name + " in its parent holds " + format_.Describe(separator) +
                ", its first key is " + format_.Describe(node.Entry(0)));
      }
      for (int i = 1; i < n; ++i) {
        CheckOrder(node.Entry(i - 1), node.Entry(i),
                   "in " + name + " at entry " + std::to_string(i));
      }
      if (leaf) {
        if (node.Prev() != lastLeaf_) {
          Problem(name + " links back to " + std::to_string(node.Prev()) + " instead of " +
                  std::to_string(lastLeaf_));
        }
        if (lastLeaf_ != 0 && lastLeafNext_ != address) {
          Problem("leaf " + std::to_string(lastLeaf_) + " links on to " +
                  std::to_string(lastLeafNext_) + " instead of " + std::to_string(address));
        }
        if (n > 0) {
          if (haveLast_) CheckOrder(lastKey_.data(), node.Entry(0), "from leaf to " + name);
          std::memcpy(lastKey_.data(), node.Entry(n - 1), static_cast<size_t>(m_));
          haveLast_ = true;
        }
        lastLeaf_ = address;
        lastLeafNext_ = node.Next();
        report_.Keys += n;
        return static_cast<uint64_t>(n);
      }
      uint64_t total = 0;
      for (int i = 0; i < n; ++i) {
        std::vector<uint8_t> entry(node.Entry(i), node.Entry(i) + m_);
        const uint64_t below = Visit(GetU32(entry.data() + keAddress), level + 1, entry.data());
        if (GetU32(entry.data() + keCount) != below) {
          Problem(name + " entry " + std::to_string(i) + " counts " +
                  std::to_string(GetU32(entry.data() + keCount)) + " keys, its child holds " +
                  std::to_string(below));
        }
        total += below;
      }
      return total;
    } catch (const EZuzDatabaseError& e) {
      Problem(name + ": " + e.CustomMessage());
      return 0;
    }
  }

  const TKeyFormat& format_;
  TBaseIOInterface* io_;
  int nodeSize_;
  int m_;
  bool unique_;
  int maxProblems_;
  TBTreeReport report_;
  std::set<uint32_t> seen_;
  std::vector<uint8_t> lastKey_;
  bool haveLast_ = false;
  uint32_t lastLeaf_ = 0;
  uint32_t lastLeafNext_ = 0;
};

}  // namespace

TBTreeReport CheckBTree(const TBTree& tree, bool uniqueKeys, int maxProblems) {
  return TChecker(tree, uniqueKeys, maxProblems).Run(tree.Root());
}

}  // namespace zuz
