// The index tree: splits and the root that keeps its address, deletes that even out, merge and
// collapse, the search kinds over duplicates, record numbers, ranges, read-ahead, hash lists,
// and damaged nodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <numeric>
#include <random>

#include "tests/db/index/dbIndexTestUtil.h"

namespace zuz::test {
namespace {

using F = TFieldType;

constexpr uint32_t Addr(int i) {
  return 0x10000u + static_cast<uint32_t>(i) * 16;
}

std::vector<uint8_t> ReadNode(TTestTree& t, uint32_t address) {
  std::vector<uint8_t> node(4096);
  t.io->ReadBlock(address, 4096, node.data());
  return node;
}

void WriteNode(TTestTree& t, uint32_t address, const std::vector<uint8_t>& node) {
  t.io->WriteBlock(address, 4096, node.data());
  t.tree->InvalidateNodes();
}

std::vector<int> Shuffled(int n, unsigned seed) {
  std::vector<int> v(static_cast<size_t>(n));
  std::iota(v.begin(), v.end(), 0);
  std::shuffle(v.begin(), v.end(), std::mt19937(seed));
  return v;
}

TEST(DbBTree, EmptyIndex) {
  TTestLayout layout({{F::ftInteger}});
  TTestTree t(TTestIndex(layout, {0}, false));
  EXPECT_EQ(t.depth, 1);
  EXPECT_NE(t.root, 0u);
  EXPECT_EQ(t.tree->KeyCount(), 0);
  t.tree->ConstructKeyBufFromVariants(int64_t{1});
  for (int kind = skLess; kind <= skNearest; ++kind) {
    EXPECT_NE(t.tree->SearchKey(kind), 0) << kind;
    EXPECT_FALSE(t.tree->CursorValid());
  }
  EXPECT_FALSE(t.tree->NextKey());
  EXPECT_FALSE(t.tree->PriorKey());
  EXPECT_EQ(ErrorTextOf([&] { t.tree->GetCurrentKeyBuf(); }), "CurrentKeyCursor is invalid");
  EXPECT_EQ(ErrorCodeOf([&] { t.tree->DeleteCurrentKey(); }), ZUZ_ERR_INTERNAL);
  EXPECT_EQ(t.tree->SearchByRecNo(1), 0u);
  EXPECT_TRUE(t.tree->CollectRange(skGreaterOrEqual, 0, 0, false).empty());
  EXPECT_TRUE(t.Problems().empty());
}

// A unique index on a 40-character string: 54-byte entries, 74 to a node.
struct TNameTree {
  TTestLayout layout{{{F::ftString, 40}}};
  TTestTree t{TTestIndex(layout, {0}, true)};

  TTestRecord Rec(int i) {
    TTestRecord r(layout, static_cast<uint32_t>(i + 1));
    char name[16];
    std::snprintf(name, sizeof name, "name%04d", i);
    r.Str(0, name);
    return r;
  }
};

TEST(DbBTree, FirstSplitKeepsTheRootAndLinksTheLeaves) {
  TNameTree n;
  TTestTree& t = n.t;
  const uint32_t root = t.root;
  for (int i : Shuffled(74, 1)) ASSERT_TRUE(t.Insert(n.Rec(i), Addr(i)));
  EXPECT_EQ(t.depth, 1);
  EXPECT_EQ(GetU32(ReadNode(t, root).data() + 4), 74u * 54);
  EXPECT_FALSE(t.Insert(n.Rec(10), Addr(99)));  // the duplicate check of a unique index

  ASSERT_TRUE(t.Insert(n.Rec(74), Addr(74)));
  EXPECT_EQ(t.root, root);
  EXPECT_EQ(t.depth, 2);
  std::vector<uint8_t> r = ReadNode(t, root);
  EXPECT_EQ(GetU32(r.data()), 0u);  // inner
  ASSERT_EQ(GetU32(r.data() + 4), 2u * 54);
  const uint32_t left = GetU32(r.data() + 16 + 6), right = GetU32(r.data() + 16 + 54 + 6);
  EXPECT_EQ(GetU32(r.data() + 16 + 2), 37u);
  EXPECT_EQ(GetU32(r.data() + 16 + 54 + 2), 38u);
  std::vector<uint8_t> a = ReadNode(t, left), b = ReadNode(t, right);
  EXPECT_EQ(GetU32(a.data()), 1u);
  EXPECT_EQ(GetU32(a.data() + 4), 37u * 54);
  EXPECT_EQ(GetU32(a.data() + 8), right);  // the old root's keys now link to the split-off leaf
  EXPECT_EQ(GetU32(a.data() + 12), 0u);
  EXPECT_EQ(GetU32(b.data() + 8), 0u);
  EXPECT_EQ(GetU32(b.data() + 12), left);
  // The inner entries carry their children's first keys.
  EXPECT_TRUE(std::equal(r.begin() + 16 + 10, r.begin() + 16 + 54, a.begin() + 16 + 10));
  EXPECT_TRUE(std::equal(r.begin() + 70 + 10, r.begin() + 70 + 54, b.begin() + 16 + 10));
  std::vector<uint32_t> expected;
  for (int i = 0; i < 75; ++i) expected.push_back(Addr(i));
  EXPECT_EQ(t.Walk(true), expected);
  EXPECT_EQ(t.Walk(false), expected);
  EXPECT_EQ(t.Problems(), "");
}

TEST(DbBTree, DeletesEvenOutThenMergeAndCollapseTheRoot) {
  TNameTree n;
  TTestTree& t = n.t;
  const uint32_t root = t.root;
  for (int i = 0; i < 75; ++i) ASSERT_TRUE(t.Insert(n.Rec(i), Addr(i)));
  ASSERT_EQ(t.depth, 2);
  // Deleting from the front keeps the left leaf underfull: its entries are evened out with the
  // right leaf until the two hold 25 entries (1350 bytes) together, when they merge and the
  // root takes the merged leaf's place.
  for (int i = 0; i < 60; ++i) {
    ASSERT_TRUE(t.Delete(n.Rec(i), Addr(i))) << i;
    const int64_t left = 74 - i;
    ASSERT_EQ(t.tree->KeyCount(), left);
    ASSERT_EQ(t.depth, left > 25 ? 2 : 1) << left;
    ASSERT_EQ(t.root, root);
    ASSERT_EQ(t.Problems(), "") << i;
    if (left == 40) {
      // Evened out: the two leaves differ by at most one entry.
      TBTreeReport report = CheckBTree(*t.tree, true);
      EXPECT_EQ(report.Levels[1].Nodes, 2);
      const std::vector<uint8_t> r = ReadNode(t, root);
      const int c0 = static_cast<int>(GetU32(r.data() + 16 + 2));
      EXPECT_LE(std::abs(c0 - (40 - c0)), 1);
    }
  }
  // The merged and the collapsed leaf went back to the file: only the root is left.
  EXPECT_EQ(t.io->ListBlocks().size(), 1u);
  std::vector<uint32_t> expected;
  for (int i = 60; i < 75; ++i) expected.push_back(Addr(i));
  EXPECT_EQ(t.Walk(true), expected);
  for (int i = 60; i < 75; ++i) ASSERT_TRUE(t.Delete(n.Rec(i), Addr(i)));
  EXPECT_EQ(t.tree->KeyCount(), 0);
  EXPECT_EQ(GetU32(ReadNode(t, root).data()), 1u);  // an empty leaf again
}

TEST(DbBTree, DeletingEveryKeyOfADeepTreeKeepsItValid) {
  // Deleting mostly from the back of a three-level tree merges and evens out inner nodes too;
  // the tree stays searchable and ends as one empty leaf.
  TTestLayout layout({{F::ftString, 200}});
  TTestTree t(TTestIndex(layout, {0}, true));  // 214-byte entries: 18 to a node
  auto rec = [&](int i) {
    TTestRecord r(layout, 1);
    r.Str(0, std::string(150, 'x') + std::to_string(100000 + i));
    return r;
  };
  const int total = 600;
  for (int i : Shuffled(total, 7)) ASSERT_TRUE(t.Insert(rec(i), Addr(i)));
  ASSERT_GE(t.depth, 3);
  std::mt19937 rng(3);
  std::vector<int> alive(static_cast<size_t>(total));
  std::iota(alive.begin(), alive.end(), 0);
  while (!alive.empty()) {
    // Mostly the last key, sometimes a random one.
    size_t k = alive.size() - 1;
    if (rng() % 4 == 0) k = rng() % alive.size();
    const int i = alive[k];
    alive.erase(alive.begin() + static_cast<long>(k));
    ASSERT_TRUE(t.Delete(rec(i), Addr(i))) << i;
    if (alive.size() % 25 == 0) {
      ASSERT_EQ(t.Problems(), "");
      std::vector<int> sorted = alive;
      std::sort(sorted.begin(), sorted.end());
      std::vector<uint32_t> expected;
      for (int j : sorted) expected.push_back(Addr(j));
      ASSERT_EQ(t.Walk(true), expected);
      ASSERT_EQ(t.Walk(false), expected);
    }
  }
  EXPECT_EQ(t.depth, 1);
  EXPECT_EQ(t.io->ListBlocks().size(), 1u);
}

// A non-unique index on an integer with many duplicates: 19-byte entries, 214 to a node, so a
// run of 100 equal values straddles leaves.
struct TDupTree {
  TTestLayout layout{{{F::ftInteger}}};
  TTestTree t{TTestIndex(layout, {0}, false)};
  std::vector<int> sortedValues;  // the values in key order (value, then sequence)
  std::vector<uint32_t> sortedAddresses;

  explicit TDupTree(int count) {
    std::vector<std::pair<std::pair<int, int>, uint32_t>> model;
    for (int i : Shuffled(count, 11)) {
      TTestRecord r(layout, static_cast<uint32_t>(i + 1));
      r.Int(0, i / 100);
      EXPECT_TRUE(t.Insert(r, Addr(i)));
      model.push_back({{i / 100, i + 1}, Addr(i)});
    }
    std::sort(model.begin(), model.end());
    for (auto& m : model) {
      sortedValues.push_back(m.first.first);
      sortedAddresses.push_back(m.second);
    }
  }
};

TEST(DbBTree, SearchKindsFindTheEndsOfDuplicateRuns) {
  TDupTree d(1500);
  TTestTree& t = d.t;
  ASSERT_GE(t.depth, 2);
  ASSERT_EQ(t.Problems(), "");
  const int n = static_cast<int>(d.sortedValues.size());
  const TSearchModifier ignoreSequence{true, 0};
  for (int v = -1; v <= 16; ++v) {
    const int lower = static_cast<int>(
        std::lower_bound(d.sortedValues.begin(), d.sortedValues.end(), v) - d.sortedValues.begin());
    const int upper = static_cast<int>(
        std::upper_bound(d.sortedValues.begin(), d.sortedValues.end(), v) - d.sortedValues.begin());
    // Expected 1-based record number per kind, 0 when nothing is found.
    const int expected[6] = {lower,
                             upper,
                             (lower < n && d.sortedValues[lower] == v) ? lower + 1 : 0,
                             lower < n ? lower + 1 : 0,
                             upper < n ? upper + 1 : 0,
                             lower < n ? lower + 1 : n};
    for (int kind = skLess; kind <= skNearest; ++kind) {
      t.tree->ConstructKeyBufFromVariants(int64_t{v});
      const int r = t.tree->SearchKey(kind, &ignoreSequence);
      SCOPED_TRACE("value " + std::to_string(v) + " kind " + std::to_string(kind));
      ASSERT_EQ(r == 0, expected[kind] != 0);
      if (expected[kind] != 0) {
        ASSERT_EQ(t.tree->GetRecNo(), expected[kind]);
        ASSERT_EQ(t.tree->GetRecordAddress(), d.sortedAddresses[expected[kind] - 1]);
      }
    }
    // Every record of the value, in order, as an equality range.
    t.tree->ConstructKeyBufFromVariants(int64_t{v});
    std::vector<TRangeItem> range = t.tree->CollectRange(skEqual, 0, 0, false);
    ASSERT_EQ(static_cast<int>(range.size()), upper - lower);
    for (int i = 0; i < upper - lower; ++i) {
      ASSERT_EQ(range[static_cast<size_t>(i)],
                (TRangeItem{d.sortedAddresses[static_cast<size_t>(lower + i)], lower + i + 1}));
    }
  }
  // With the sequence field the full key is unique: a new sequence number is never a duplicate.
  TTestRecord r(d.layout, 99999);
  r.Int(0, 3);
  t.tree->SetKeyFromRecord(r.Image());
  EXPECT_NE(t.tree->SearchKey(skEqual), 0);
}

TEST(DbBTree, RecordNumbersAndPositioning) {
  TDupTree d(1000);
  TTestTree& t = d.t;
  const int n = 1000;
  EXPECT_EQ(t.tree->KeyCount(), n);
  for (int k = 1; k <= n; k += 37) {
    ASSERT_EQ(t.tree->SearchByRecNo(k), d.sortedAddresses[static_cast<size_t>(k - 1)]);
    ASSERT_EQ(t.tree->GetRecNo(), k);
  }
  EXPECT_EQ(t.tree->SearchByRecNo(0), d.sortedAddresses.front());
  EXPECT_EQ(t.tree->SearchByRecNo(-5), d.sortedAddresses.front());
  EXPECT_EQ(t.tree->SearchByRecNo(n + 10), d.sortedAddresses.back());
  EXPECT_EQ(t.tree->GetRecNo(), n);
  // Moving by many keys crosses leaves in both directions.
  t.tree->SearchByRecNo(5);
  EXPECT_TRUE(t.tree->MoveBy(700));
  EXPECT_EQ(t.tree->GetRecNo(), 705);
  EXPECT_TRUE(t.tree->MoveBy(-650));
  EXPECT_EQ(t.tree->GetRecNo(), 55);
  EXPECT_FALSE(t.tree->MoveBy(-100));
  EXPECT_EQ(t.tree->GetRecNo(), 1);
  EXPECT_FALSE(t.tree->MoveBy(n + 1));
  EXPECT_EQ(t.tree->GetRecNo(), n);
}

TEST(DbBTree, RangesBetweenBoundsWithStopAddress) {
  TTestLayout layout({{F::ftInteger}});
  TTestTree t(TTestIndex(layout, {0}, true));
  for (int i : Shuffled(500, 5)) {
    TTestRecord r(layout, 1);
    r.Int(0, i + 1);
    ASSERT_TRUE(t.Insert(r, Addr(i + 1)));
  }
  // The range 100 <= v <= 200: search the lower bound, remember its address, collect backward
  // from the upper bound with it as stop address.
  t.tree->ConstructKeyBufFromVariants(int64_t{100});
  ASSERT_EQ(t.tree->SearchKey(skGreaterOrEqual), 0);
  const uint32_t stop = t.tree->GetRecordAddress();
  t.tree->ConstructKeyBufFromVariants(int64_t{200});
  std::vector<TRangeItem> range = t.tree->CollectRange(skLessOrEqual, 0, stop, true);
  ASSERT_EQ(range.size(), 101u);
  for (int i = 0; i < 101; ++i) {
    ASSERT_EQ(range[static_cast<size_t>(i)], (TRangeItem{Addr(100 + i), 100 + i}));
  }
  range = t.tree->CollectRange(skLess, 0, stop, false);  // backward, not reversed
  ASSERT_EQ(range.size(), 100u);
  EXPECT_EQ(range.front(), (TRangeItem{Addr(199), 199}));
  // Forward from above 100 to the end, or to a stop address.
  t.tree->ConstructKeyBufFromVariants(int64_t{100});
  EXPECT_EQ(t.tree->CollectRange(skGreater, 0, 0, false).size(), 400u);
  range = t.tree->CollectRange(skGreater, 0, Addr(110), false);
  ASSERT_EQ(range.size(), 10u);
  EXPECT_EQ(range.back(), (TRangeItem{Addr(110), 110}));
  // A bound beyond the keys collects nothing forward and everything backward.
  t.tree->ConstructKeyBufFromVariants(int64_t{1000});
  EXPECT_TRUE(t.tree->CollectRange(skGreaterOrEqual, 0, 0, false).empty());
  EXPECT_EQ(t.tree->CollectRange(skLess, 0, 0, true).size(), 500u);
  t.tree->ConstructKeyBufFromVariants(int64_t{0});
  EXPECT_TRUE(t.tree->CollectRange(skLessOrEqual, 0, 0, true).empty());
  EXPECT_EQ(t.Problems(), "");
}

TEST(DbBTree, ReadAheadTakesKeysAroundTheCursor) {
  TTestLayout layout({{F::ftInteger}});
  TTestTree t(TTestIndex(layout, {0}, true));
  for (int i = 1; i <= 100; ++i) {
    TTestRecord r(layout, 1);
    r.Int(0, i);
    ASSERT_TRUE(t.Insert(r, Addr(i)));
  }
  auto positionOn = [&](int v) {
    t.tree->ConstructKeyBufFromVariants(int64_t{v});
    ASSERT_EQ(t.tree->SearchKey(skEqual), 0);
  };
  auto span = [](const TReadAheadBuffer& b) {
    return std::make_pair(b.Items().front().RecNo, b.Items().back().RecNo);
  };
  TReadAheadBuffer buffer;
  positionOn(50);
  t.tree->FillReadAhead(1, 10, buffer);
  EXPECT_EQ(span(buffer), std::make_pair(int64_t{41}, int64_t{50}));
  t.tree->FillReadAhead(3, 10, buffer);
  EXPECT_EQ(span(buffer), std::make_pair(int64_t{45}, int64_t{54}));
  t.tree->FillReadAhead(0, 10, buffer);
  EXPECT_EQ(span(buffer), std::make_pair(int64_t{50}, int64_t{59}));
  positionOn(3);
  t.tree->FillReadAhead(1, 10, buffer);
  EXPECT_EQ(span(buffer), std::make_pair(int64_t{1}, int64_t{3}));
  // Items carry their key and address and are found by either.
  const TReadAheadItem* item = buffer.FindByAddress(Addr(2));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->RecNo, 2);
  EXPECT_EQ(static_cast<int32_t>(GetU32(item->Key.data() + 11)), 2);
  EXPECT_EQ(buffer.FindByRecNo(3)->RecordAddress, Addr(3));
  EXPECT_EQ(buffer.FindByRecNo(4), nullptr);
  std::vector<uint8_t> image{1, 2, 3};
  EXPECT_TRUE(buffer.SetRecord(Addr(1), image));
  EXPECT_FALSE(buffer.SetRecord(Addr(77), image));
  EXPECT_TRUE(buffer.InWindow(10'000));
  EXPECT_FALSE(buffer.InWindow(10001));
  // The buffer refuses items that break its order.
  EXPECT_EQ(ErrorTextOf([&] { buffer.Add(item->Key.data(), 15, Addr(9), 7); }),
            "Read ahead buffer recno's are out of sync");
  EXPECT_EQ(ErrorTextOf([&] { buffer.Add(item->Key.data(), 15, Addr(1), 4); }),
            "Read ahead buffer has duplicate records");
}

TEST(DbBTree, HashListTakesEachEntrysOwnFieldValue) {
  // The second key field follows a string of varying length in every entry.
  TTestLayout layout({{F::ftString, 10}, {F::ftInteger}});
  TTestTree t(TTestIndex(layout, {0, 1}, true));
  const int count = 400;  // several leaves
  for (int i = 0; i < count; ++i) {
    TTestRecord r(layout, 1);
    r.Str(0, std::string(static_cast<size_t>(1 + i % 9), static_cast<char>('a' + i % 26)));
    if (i % 10 != 0) r.Int(1, 1000 + i);  // every tenth second field is NULL
    ASSERT_TRUE(t.Insert(r, Addr(i)));
  }
  ASSERT_GE(t.depth, 2);
  THashList list;
  t.tree->SearchByRecNo(1);
  t.tree->LoadHashList(1, list);
  EXPECT_EQ(list.Count(), count - count / 10);
  for (int i = 0; i < count; ++i) {
    uint8_t value[4];
    PutU32(value, static_cast<uint32_t>(1000 + i));
    const std::vector<uint32_t> found = list.Find(value, 4);
    if (i % 10 == 0) {
      EXPECT_TRUE(found.empty());
    } else {
      EXPECT_EQ(found, std::vector<uint32_t>{Addr(i)}) << i;
    }
  }
  THashList names;
  t.tree->SearchByRecNo(1);
  t.tree->LoadHashList(0, names);
  EXPECT_EQ(names.Count(), count);
  EXPECT_EQ(names.Find("aaaaaaa").size(), 2u);  // i = 78 and 312
}

// Writes nodes by hand, for shapes the tree's own operations only pass through.
struct TRawNodes {
  TTestTree& t;
  std::vector<uint8_t> Entry(int value, uint32_t address, uint32_t count) {
    std::vector<uint8_t> e(static_cast<size_t>(t.tree->MaximumKeySize()));
    t.tree->Format().BuildFromValues({int64_t{value}}, e.data());
    PutU32(e.data() + 2, count);
    PutU32(e.data() + 6, address);
    return e;
  }
  uint32_t Allocate() { return static_cast<uint32_t>(t.io->AllocateNewAddress(4096, nullptr)); }
  void Write(uint32_t address, bool leaf, const std::vector<std::vector<uint8_t>>& entries,
             uint32_t prev = 0, uint32_t next = 0) {
    std::vector<uint8_t> node(4096, 0);
    PutU32(node.data(), leaf ? 1 : 0);
    PutU32(node.data() + 8, next);
    PutU32(node.data() + 12, prev);
    int used = 0;
    for (const auto& e : entries) {
      std::copy(e.begin(), e.end(), node.begin() + 16 + used);
      used += static_cast<int>(e.size());
    }
    PutU32(node.data() + 4, static_cast<uint32_t>(used));
    WriteNode(t, address, node);
  }
};

TEST(DbBTree, AnEmptiedNodeUnderASingleEntryParentLeavesTheTree) {
  TTestLayout layout({{F::ftInteger}});
  TTestIndex ix(layout, {0}, true);
  auto rec = [&](int v) {
    TTestRecord r(layout, 1);
    r.Int(0, v);
    return r;
  };
  {
    // root -> I1 (one entry) -> leaf A {1}; root -> I2 -> leaves B {10, 11}, C {20, 21}.
    TTestTree t(ix);
    TRawNodes raw{t};
    const uint32_t i1 = raw.Allocate(), i2 = raw.Allocate(), a = raw.Allocate(), b = raw.Allocate(),
                   c = raw.Allocate();
    raw.Write(a, true, {raw.Entry(1, Addr(1), 0)}, 0, b);
    raw.Write(b, true, {raw.Entry(10, Addr(10), 0), raw.Entry(11, Addr(11), 0)}, a, c);
    raw.Write(c, true, {raw.Entry(20, Addr(20), 0), raw.Entry(21, Addr(21), 0)}, b, 0);
    raw.Write(i1, false, {raw.Entry(1, a, 1)});
    raw.Write(i2, false, {raw.Entry(10, b, 2), raw.Entry(20, c, 2)});
    raw.Write(t.root, false, {raw.Entry(1, i1, 1), raw.Entry(10, i2, 4)});
    t.depth = 3;
    ASSERT_EQ(t.Problems(), "");
    // Leaf A empties: it is unlinked and released, I1 empties and takes I2's entries, and the
    // root, left with one entry, takes I1's place.
    ASSERT_TRUE(t.Delete(rec(1), Addr(1)));
    EXPECT_EQ(t.Problems(), "");
    EXPECT_EQ(t.depth, 2);
    EXPECT_EQ(t.Walk(true), (std::vector<uint32_t>{Addr(10), Addr(11), Addr(20), Addr(21)}));
    EXPECT_EQ(GetU32(ReadNode(t, b).data() + 12), 0u);
    EXPECT_EQ(t.io->ListBlocks().size(), 3u);  // the root and leaves B and C
  }
  {
    // A chain of single entries down to one key: deleting it empties the whole tree.
    TTestTree t(ix);
    TRawNodes raw{t};
    const uint32_t i1 = raw.Allocate(), a = raw.Allocate();
    raw.Write(a, true, {raw.Entry(5, Addr(5), 0)});
    raw.Write(i1, false, {raw.Entry(5, a, 1)});
    raw.Write(t.root, false, {raw.Entry(5, i1, 1)});
    t.depth = 3;
    ASSERT_EQ(t.Problems(), "");
    ASSERT_TRUE(t.Delete(rec(5), Addr(5)));
    EXPECT_EQ(t.depth, 1);
    EXPECT_EQ(t.tree->KeyCount(), 0);
    EXPECT_EQ(t.Problems(), "");
    EXPECT_EQ(t.io->ListBlocks().size(), 1u);
    ASSERT_TRUE(t.Insert(rec(7), Addr(7)));
    EXPECT_EQ(t.Walk(true), std::vector<uint32_t>{Addr(7)});
  }
}

TEST(DbBTree, NullsOrderFirstAscendingAndLastDescending) {
  TTestLayout layout({{F::ftInteger}});
  for (bool descending : {false, true}) {
    TTestTree t(TTestIndex(layout, {0}, false, {descending}));
    for (int i = 0; i < 6; ++i) {
      TTestRecord r(layout, static_cast<uint32_t>(i + 1));
      if (i % 2 == 0) r.Int(0, i);
      ASSERT_TRUE(t.Insert(r, Addr(i)));
    }
    const std::vector<uint32_t> expected =
        descending ? std::vector<uint32_t>{Addr(4), Addr(2), Addr(0), Addr(1), Addr(3), Addr(5)}
                   : std::vector<uint32_t>{Addr(1), Addr(3), Addr(5), Addr(0), Addr(2), Addr(4)};
    EXPECT_EQ(t.Walk(true), expected) << descending;
  }
}

TEST(DbBTree, DamagedNodesGiveTheInternalError) {
  TDupTree d(600);
  TTestTree& t = d.t;
  ASSERT_EQ(t.depth, 2);
  const std::vector<uint8_t> root = ReadNode(t, t.root);
  const uint32_t leaf0 = GetU32(root.data() + 16 + 6);
  const std::vector<uint8_t> leaf = ReadNode(t, leaf0);
  auto search = [&] {
    t.tree->ConstructKeyBufFromVariants(int64_t{0});  // leads to the first leaf
    t.tree->SearchKey(skGreaterOrEqual, nullptr);
  };
  auto expectDamage = [&](uint32_t address, const std::vector<uint8_t>& bytes,
                          const std::string& text) {
    WriteNode(t, address, bytes);
    EXPECT_EQ(ErrorCodeOf(search), ZUZ_ERR_INTERNAL) << text;
    EXPECT_NE(ErrorTextOf(search).find(text), std::string::npos) << ErrorTextOf(search);
    EXPECT_FALSE(CheckBTree(*t.tree, true).Ok()) << text;
    WriteNode(t, address, address == t.root ? root : leaf);
  };
  std::vector<uint8_t> bad = root;
  PutU32(bad.data() + 4, 7);
  expectDamage(t.root, bad, "Invalid used bytes 7");
  bad = root;
  PutU32(bad.data() + 4, 4096);
  expectDamage(t.root, bad, "Invalid used bytes 4096");
  bad = root;
  PutU32(bad.data(), 5);
  expectDamage(t.root, bad, "Invalid node type");
  bad = root;
  PutU16(bad.data() + 16 + 19, 20);
  expectDamage(t.root, bad, "Invalid key size: 20");
  // Child addresses: not on a node boundary, beyond the file, the root itself.
  for (uint32_t child : {leaf0 + 8, uint32_t{0x7FFFF000}, t.root}) {
    bad = root;
    for (int i = 0; i < static_cast<int>(GetU32(root.data() + 4)) / 19; ++i) {
      PutU32(bad.data() + 16 + i * 19 + 6, child);
    }
    WriteNode(t, t.root, bad);
    EXPECT_EQ(ErrorCodeOf(search), ZUZ_ERR_INTERNAL) << child;
    EXPECT_FALSE(CheckBTree(*t.tree, true).Ok());
    WriteNode(t, t.root, root);
  }
  bad = leaf;
  PutU32(bad.data(), 0);  // a leaf marked inner on the leaf level
  expectDamage(leaf0, bad, "Node type does not match its level");
  // A damaged entry is found when it is read, and before its node is changed.
  bad = leaf;
  PutU16(bad.data() + 16 + 19 * 3, 0);
  WriteNode(t, leaf0, bad);
  const std::string sizeError = "Invalid key size: 0 in node " + std::to_string(leaf0);
  EXPECT_EQ(ErrorTextOf([&] { t.Walk(true); }), sizeError);
  EXPECT_FALSE(CheckBTree(*t.tree, true).Ok());
  TTestRecord low(d.layout, 5000);
  low.Int(0, -1);  // belongs in the first leaf
  EXPECT_EQ(ErrorTextOf([&] { t.Insert(low, Addr(5000)); }), sizeError);
  EXPECT_EQ(ReadNode(t, leaf0), bad);
  WriteNode(t, leaf0, leaf);
  // A broken leaf link is found when the cursor crosses it.
  bad = leaf;
  PutU32(bad.data() + 8, t.root);
  WriteNode(t, leaf0, bad);
  t.tree->SearchByRecNo(1);
  EXPECT_EQ(ErrorTextOf([&] { t.tree->MoveBy(500); }),
            "Leaf links are inconsistent at node " + std::to_string(leaf0));
  WriteNode(t, leaf0, leaf);
  // A depth the header cannot mean; a cursor set before the depth changed is no longer used.
  const uint16_t depth = t.depth;
  t.tree->SearchByRecNo(1);
  t.depth = 99;
  EXPECT_FALSE(t.tree->NextKey());
  EXPECT_EQ(ErrorTextOf([&] { t.tree->GetRecordAddress(); }), "CurrentKeyCursor is invalid");
  EXPECT_EQ(ErrorTextOf(search), "Invalid index depth: 99");
  t.depth = depth;
  EXPECT_EQ(t.Problems(), "");
  EXPECT_EQ(t.Walk(true), d.sortedAddresses);
}

// Index nodes in memory, without a page cache to read from by reference.
class TMapInterface : public TBaseIOInterface {
 public:
  TMapInterface() {
    blockSize_ = 4096;
    usage_ = usIndex;
  }
  int64_t AllocateNewAddress(int64_t, const void* data) override {
    next_ += 4096;
    auto& b = blocks_[next_];
    b.assign(4096, 0);
    if (data) std::memcpy(b.data(), data, 4096);
    return next_;
  }
  void ReleaseBlock(int64_t address, int64_t) override { blocks_.erase(address); }
  void WriteBlock(int64_t address, int64_t n, const void* data) override {
    std::memcpy(Block(address).data(), data, static_cast<size_t>(n));
  }
  void ReadBlock(int64_t address, int64_t n, void* buffer) override {
    std::memcpy(buffer, Block(address).data(), static_cast<size_t>(n));
  }
  void WriteBlockHeader(int64_t address, int64_t n, const void* data) override {
    WriteBlock(address, n, data);
  }
  void ReadBlockHeader(int64_t address, int64_t n, void* buffer) override {
    ReadBlock(address, n, buffer);
  }
  void Open() override {}
  void Close() override {}
  void Empty() override { blocks_.clear(); }
  std::vector<int64_t> ListBlocks() override {
    std::vector<int64_t> out;
    for (const auto& [address, block] : blocks_) out.push_back(address);
    return out;
  }
  size_t Blocks() const { return blocks_.size(); }

 private:
  std::vector<uint8_t>& Block(int64_t address) {
    auto it = blocks_.find(address);
    if (it == blocks_.end()) ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TMapInterface", "no block");
    return it->second;
  }
  std::map<int64_t, std::vector<uint8_t>> blocks_;
  int64_t next_ = 6 * 4096;
};

TEST(DbBTree, WorksOverAnyNodeInterfaceAndReleasesEveryNode) {
  TTestLayout layout({{F::ftInteger}});
  TTestIndex ix(layout, {0}, true);
  TMapInterface io;
  uint32_t root = 0;
  uint16_t depth = 0;
  TBTree tree(&io, root, depth, ix.keyFields, ix.keyDataOffset, ix.maximumKeySize,
              SortOrderFunction(TSortOrder::soASCII));
  tree.Open();
  tree.CreateEmpty();
  const int n = 3000;
  for (int i : Shuffled(n, 9)) {
    TTestRecord r(layout, 1);
    r.Int(0, i);
    tree.SetKeyFromRecord(r.Image());
    tree.SetKeyAddress(Addr(i));
    tree.InsertKey();
  }
  for (int i = 0; i < n; i += 2) {
    tree.ConstructKeyBufFromVariants(int64_t{i});
    ASSERT_EQ(tree.SearchKey(skEqual), 0);
    tree.DeleteCurrentKey();
  }
  TBTreeReport report = CheckBTree(tree, true);
  ASSERT_TRUE(report.Ok()) << report.Problems.front();
  int nodes = 0;
  for (const TBTreeLevelStats& level : report.Levels) nodes += level.Nodes;
  EXPECT_EQ(io.Blocks(), static_cast<size_t>(nodes));
  EXPECT_EQ(report.Keys, n / 2);
  tree.SearchByRecNo(1);
  for (int i = 1; i < n; i += 2) {
    ASSERT_EQ(tree.GetRecordAddress(), Addr(i));
    tree.NextKey();
  }
}

TEST(DbBTree, EncryptedNodesLastAcrossReopening) {
  TTestLayout layout({{F::ftString, 20}});
  TTestTree t(TTestIndex(layout, {0}, true), TSortOrder::soASCII, ioEncStrong);
  for (int i : Shuffled(500, 4)) {
    TTestRecord r(layout, 1);
    r.Str(0, "SECRET" + std::to_string(1000 + i));
    ASSERT_TRUE(t.Insert(r, Addr(i)));
  }
  t.db.Reopen();
  t.tree->InvalidateNodes();
  std::vector<uint32_t> expected;
  for (int i = 0; i < 500; ++i) expected.push_back(Addr(i));
  EXPECT_EQ(t.Walk(true), expected);
  EXPECT_EQ(t.Problems(), "");
  const std::vector<uint8_t> file = t.db.Bytes();
  const std::string secret = "SECRET1";
  EXPECT_EQ(std::search(file.begin(), file.end(), secret.begin(), secret.end()), file.end());
}

TEST(DbBTree, MisuseIsRefused) {
  TTestLayout layout({{F::ftInteger}});
  TTestIndex ix(layout, {0}, false);
  TMemDb db;
  TDiskIOInterface io(db.disk.get(), 4096, 3, usIndex, ioEncNone);
  io.SetGlobalFirstEmpty(ghIndexFirstEmpty);
  io.Open();
  uint32_t root = 0;
  uint16_t depth = 0;
  TBTree noSort(&io, root, depth, ix.keyFields, ix.keyDataOffset, ix.maximumKeySize, nullptr);
  EXPECT_EQ(ErrorTextOf([&] { noSort.Open(); }), "No sort order function assigned");
  EXPECT_EQ(ErrorTextOf([&] { noSort.SearchKey(skEqual); }), "The index is not open");
  TBTree tree(&io, root, depth, ix.keyFields, ix.keyDataOffset, ix.maximumKeySize,
              SortOrderFunction(TSortOrder::soASCII));
  tree.Open();
  tree.CreateEmpty();
  TTestRecord r(layout, 1);
  tree.SetKeyFromRecord(r.Image());
  EXPECT_EQ(ErrorTextOf([&] { tree.InsertKey(); }), "The key to insert has no record address");
  EXPECT_EQ(ErrorTextOf([&] { tree.SearchKey(6); }), "Invalid search kind: 6");
}

}  // namespace
}  // namespace zuz::test
