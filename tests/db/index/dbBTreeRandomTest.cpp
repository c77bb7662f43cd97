// Randomized inserts, deletes and updates of index keys against a std::multimap as model. After
// every batch the walks in both directions, point searches of every kind (with field counts and
// partial flags), range collection, record numbers and the tree's invariants must agree with
// the model. The key kinds: integers, strings under the locale's collation without case,
// dates, multi-field keys with descending parts, booleans and words, NULLs and duplicates.
//
// VZ_BTREE_KEYS sets the operations per scenario (a few thousand by default; hundreds of
// thousands for a long run), VZ_BTREE_SEED the seed.
#include <gtest/gtest.h>
#include <locale.h>
#include <string.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <variant>

#include "tests/db/index/dbIndexTestUtil.h"

namespace zuz::test {
namespace {

using F = TFieldType;

long EnvOr(const char* name, long fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

using TModelValue = std::optional<std::variant<int64_t, double, std::string>>;
using TModelKey = std::vector<TModelValue>;

struct TScenario {
  std::string name{};
  std::vector<TTestField> fields{};  // every field is a key field, in this order
  bool unique = false;
  std::vector<bool> desc{};
  std::vector<bool> ci{};
  TSortOrder order = TSortOrder::soASCII;
  std::string collation{};  // for soANSI: the locale
  int nullPercent = 0;
  int domain = 100;  // distinct values per number field, so that duplicates occur
  std::string alphabet = "abcXYZ";
  int maxLength = 6;
};

// The model's order, written from the rules, not from the engine: strings by strxfrm of an upper
// case fold under soANSI, by std::string under soASCII.
class TModelOrder {
 public:
  explicit TModelOrder(const TScenario& s) : s_(&s) {
    if (s.order == TSortOrder::soANSI) {
      locale_ = newlocale(LC_COLLATE_MASK, s.collation.c_str(), static_cast<locale_t>(0));
    }
  }
  ~TModelOrder() {
    if (locale_) freelocale(locale_);
  }
  TModelOrder(const TModelOrder&) = delete;

  // The sort key of a string under the scenario's order and field case rule.
  std::string SortKey(const std::string& text, bool caseInsensitive) const {
    std::string t = text;
    if (caseInsensitive) {
      for (auto [lower, upper] : {std::pair<const char*, const char*>{"\xC3\xA9", "\xC3\x89"},
                                  {"\xC3\xBC", "\xC3\x9C"}}) {
        for (size_t p; (p = t.find(lower)) != std::string::npos;) t.replace(p, 2, upper);
      }
      for (char& c : t) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      }
    }
    if (s_->order == TSortOrder::soASCII) return t;
    std::string out(4 * t.size() + 64, '\0');
    size_t n = strxfrm_l(out.data(), t.c_str(), out.size(), locale_);
    if (n >= out.size()) {
      out.resize(n + 1);
      n = strxfrm_l(out.data(), t.c_str(), out.size(), locale_);
    }
    out.resize(n);
    return out;
  }

  // -1, 0, +1 for a before, equal to, after b over field k.
  int Field(const TModelValue& a, const TModelValue& b, int k) const {
    int r;
    if (!a || !b) {
      r = static_cast<int>(a.has_value()) - static_cast<int>(b.has_value());
    } else if (auto* i = std::get_if<int64_t>(&*a)) {
      const int64_t j = std::get<int64_t>(*b);
      r = (*i > j) - (*i < j);
    } else if (auto* d = std::get_if<double>(&*a)) {
      const double e = std::get<double>(*b);
      r = (*d > e) - (*d < e);
    } else {
      const std::string& x = std::get<std::string>(*a);
      const std::string& y = std::get<std::string>(*b);
      const bool ci = k < static_cast<int>(s_->ci.size()) && s_->ci[static_cast<size_t>(k)];
      const int c = SortKey(x, ci).compare(SortKey(y, ci));
      r = c != 0 ? (c > 0) - (c < 0) : (x.size() > y.size()) - (x.size() < y.size());
    }
    const bool desc = k < static_cast<int>(s_->desc.size()) && s_->desc[static_cast<size_t>(k)];
    return desc ? -r : r;
  }

  // Search key p against stored key q over the first n fields with partial flags.
  int Prefix(const TModelKey& p, const TModelKey& q, int n, const TPartialFlags& flags) const {
    for (int k = 0; k < n; ++k) {
      if (k < static_cast<int>(flags.size()) && flags[static_cast<size_t>(k)] != 1) {
        return flags[static_cast<size_t>(k)] - 1;
      }
      const int r = Field(p[static_cast<size_t>(k)], q[static_cast<size_t>(k)], k);
      if (r != 0) return r;
    }
    return 0;
  }

  bool operator()(const TModelKey& a, const TModelKey& b) const {
    return Prefix(a, b, static_cast<int>(a.size()), {}) < 0;
  }

 private:
  const TScenario* s_;
  locale_t locale_ = static_cast<locale_t>(0);
};

struct TModelLess {
  const TModelOrder* order;
  bool operator()(const TModelKey& a, const TModelKey& b) const { return (*order)(a, b); }
};

class TRandomIndexRun {
 public:
  TRandomIndexRun(const TScenario& s, unsigned seed)
      : s_(s),
        order_(s),
        rng_(seed),
        layout_(s.fields),
        index_(layout_, AllFields(s), s.unique, s.desc, s.ci),
        tree_(std::make_unique<TTestTree>(index_, s.order)),
        model_(TModelLess{&order_}) {
    visible_ = static_cast<int>(s.fields.size());
  }

  TTestTree& Tree() { return *tree_; }
  size_t Size() const { return model_.size(); }

  // One operation: insertWeight percent inserts, the rest deletes and updates.
  void Step(int insertWeight) {
    const int op = Pick(0, 99);
    if (op < insertWeight || rows_.empty()) {
      Insert();
    } else if (op < insertWeight + (100 - insertWeight) * 2 / 3) {
      Delete();
    } else {
      Update();
    }
  }

  void Check(int probes) {
    std::vector<std::pair<TModelKey, uint32_t>> snap(model_.begin(), model_.end());
    std::vector<uint32_t> addresses;
    for (auto& [key, address] : snap) addresses.push_back(address);
    TTestTree& t = *tree_;
    ASSERT_EQ(t.tree->KeyCount(), static_cast<int64_t>(snap.size()));
    ASSERT_EQ(t.Walk(true), addresses);
    ASSERT_EQ(t.Walk(false), addresses);
    ASSERT_EQ(t.Problems(), "");
    for (int i = 0; i < probes && !snap.empty(); ++i) {
      const int64_t k = Pick(1, static_cast<int>(snap.size()));
      ASSERT_EQ(t.tree->SearchByRecNo(k), addresses[static_cast<size_t>(k - 1)]);
      ASSERT_EQ(t.tree->GetRecNo(), k);
    }
    for (int i = 0; i < probes; ++i) {
      ProbeSearches(snap);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }

  // Random inserts and deletes that the model does not follow (to be rolled back).
  void ChurnUnrecorded(long ops) {
    TTestTree& t = *tree_;
    for (long i = 0; i < ops; ++i) {
      const int64_t count = t.tree->KeyCount();
      if (count > 0 && Pick(0, 2) == 0) {
        t.tree->SearchByRecNo(Pick(1, static_cast<int>(count)));
        t.tree->DeleteCurrentKey();
      } else {
        TRow row;
        for (size_t f = 0; f < s_.fields.size(); ++f) {
          row.values.push_back(Value(static_cast<int>(f)));
        }
        row.sequence = ++lastSequence_;
        t.Insert(Record(row), nextAddress_ += 16);
      }
    }
  }

  void CheckEveryRowIsFound() {
    // Every live row is found by its full key at its address.
    for (auto& [address, row] : rows_) {
      TTestRecord r = Record(row);
      tree_->tree->SetKeyFromRecord(r.Image());
      ASSERT_EQ(tree_->tree->SearchKey(skEqual), 0);
      ASSERT_EQ(tree_->tree->GetRecordAddress(), address);
    }
  }

 private:
  struct TRow {
    std::vector<TModelValue> values;
    uint32_t sequence = 0;
  };

  static std::vector<int> AllFields(const TScenario& s) {
    std::vector<int> v;
    for (int i = 0; i < static_cast<int>(s.fields.size()); ++i) v.push_back(i);
    return v;
  }

  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  TModelValue Value(int f) {
    if (s_.nullPercent > 0 && Pick(0, 99) < s_.nullPercent) return std::nullopt;
    switch (s_.fields[static_cast<size_t>(f)].type) {
      case F::ftSmallint:
        return int64_t{Pick(-s_.domain / 2, s_.domain / 2)};
      case F::ftWord:
        return int64_t{Pick(0, s_.domain)};
      case F::ftInteger:
      case F::ftAutoInc:
        return int64_t{Pick(-s_.domain, s_.domain) * 1000003LL % 2000000000};
      case F::ftBoolean:
        return int64_t{Pick(0, 1)};
      case F::ftDate:
        return 45000.0 + Pick(0, s_.domain);
      case F::ftFloat:
      case F::ftDateTime:
        return Pick(-s_.domain, s_.domain) / 8.0;
      case F::ftString: {
        static const std::vector<std::string> extra = {"\xC3\xA9", "\xC3\x89", "\xC3\xBC", " "};
        std::string text;
        const int length = Pick(0, s_.maxLength);
        while (static_cast<int>(text.size()) < length) {
          const int c = Pick(0, static_cast<int>(s_.alphabet.size()) + 1);
          if (c < static_cast<int>(s_.alphabet.size())) {
            text += s_.alphabet[static_cast<size_t>(c)];
          } else if (s_.order == TSortOrder::soANSI) {
            text += extra[static_cast<size_t>(Pick(0, 3))];
          }
        }
        const int limit = s_.fields[static_cast<size_t>(f)].declaredSize;
        while (static_cast<int>(text.size()) > limit) text.pop_back();
        // Never leave half of a two-byte character at the end.
        if (!text.empty() && static_cast<unsigned char>(text.back()) == 0xC3) text.pop_back();
        return text;
      }
      default:
        return std::nullopt;
    }
  }

  TModelKey KeyOf(const TRow& row) const {
    TModelKey key = row.values;
    if (!s_.unique) key.push_back(int64_t{row.sequence});
    return key;
  }

  TTestRecord Record(const TRow& row) const {
    TTestRecord r(layout_, row.sequence);
    for (size_t f = 0; f < row.values.size(); ++f) {
      const TModelValue& v = row.values[f];
      if (!v) continue;
      const int fi = static_cast<int>(f);
      if (auto* i = std::get_if<int64_t>(&*v)) {
        r.Int(fi, static_cast<int32_t>(*i));
      } else if (auto* d = std::get_if<double>(&*v)) {
        r.Real(fi, *d);
      } else {
        r.Str(fi, std::get<std::string>(*v));
      }
    }
    return r;
  }

  bool ModelHas(const TModelKey& key) const { return model_.find(key) != model_.end(); }

  void ModelErase(const TRow& row, uint32_t address) {
    auto range = model_.equal_range(KeyOf(row));
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second == address) {
        model_.erase(it);
        return;
      }
    }
    FAIL() << "row missing from the model";
  }

  void Insert() {
    TRow row;
    for (size_t f = 0; f < s_.fields.size(); ++f) row.values.push_back(Value(static_cast<int>(f)));
    row.sequence = ++lastSequence_;
    const uint32_t address = (nextAddress_ += 16);
    const bool duplicate = s_.unique && ModelHas(KeyOf(row));
    const bool inserted = tree_->Insert(Record(row), address);
    ASSERT_EQ(inserted, !duplicate);
    if (!inserted) return;
    model_.emplace(KeyOf(row), address);
    rows_.emplace(address, row);
  }

  std::map<uint32_t, TRow>::iterator RandomRow() {
    auto it = rows_.lower_bound(static_cast<uint32_t>(Pick(16, static_cast<int>(nextAddress_))));
    return it == rows_.end() ? rows_.begin() : it;
  }

  void Delete() {
    auto it = RandomRow();
    ASSERT_TRUE(tree_->Delete(Record(it->second), it->first));
    ModelErase(it->second, it->first);
    rows_.erase(it);
  }

  // An update keeps the record's address and sequence number; a unique index refuses a new key
  // that another row has, and then nothing changes.
  void Update() {
    auto it = RandomRow();
    TRow changed = it->second;
    const int f = Pick(0, static_cast<int>(s_.fields.size()) - 1);
    changed.values[static_cast<size_t>(f)] = Value(f);
    const TModelKey oldKey = KeyOf(it->second), newKey = KeyOf(changed);
    const bool same = !order_(oldKey, newKey) && !order_(newKey, oldKey);
    if (s_.unique && !same) {
      tree_->tree->SetKeyFromRecord(Record(changed).Image());
      const bool found = tree_->tree->SearchKey(skEqual) == 0;
      ASSERT_EQ(found, ModelHas(newKey));
      if (found) return;
    }
    ASSERT_TRUE(tree_->Delete(Record(it->second), it->first));
    ModelErase(it->second, it->first);
    tree_->tree->SetKeyFromRecord(Record(changed).Image());
    tree_->tree->SetKeyAddress(it->first);
    tree_->tree->InsertKey();
    model_.emplace(newKey, it->first);
    it->second = changed;
  }

  // A random search key: an existing row's values, or new values; some fields NULL.
  TModelKey ProbeKey(const std::vector<std::pair<TModelKey, uint32_t>>& snap) {
    TModelKey p;
    if (!snap.empty() && Pick(0, 1) == 0) {
      p = snap[static_cast<size_t>(Pick(0, static_cast<int>(snap.size()) - 1))].first;
      p.resize(s_.fields.size());
    } else {
      for (size_t f = 0; f < s_.fields.size(); ++f) p.push_back(Value(static_cast<int>(f)));
    }
    return p;
  }

  void ProbeSearches(const std::vector<std::pair<TModelKey, uint32_t>>& snap) {
    TTestTree& t = *tree_;
    const TModelKey p = ProbeKey(snap);
    const int n = Pick(1, visible_);
    TPartialFlags flags;
    if (Pick(0, 4) == 0) {
      flags.assign(static_cast<size_t>(n), 1);
      flags[static_cast<size_t>(Pick(0, n - 1))] = Pick(0, 1) * 2;
    }
    std::vector<TKeyValue> values;
    for (const TModelValue& v : p) {
      if (!v) {
        values.emplace_back();
      } else {
        std::visit([&](const auto& x) { values.emplace_back(x); }, *v);
      }
    }
    const int size = static_cast<int>(snap.size());
    auto cmp = [&](const std::pair<TModelKey, uint32_t>& row) {
      return order_.Prefix(p, row.first, n, flags);
    };
    const int lower = static_cast<int>(
        std::partition_point(snap.begin(), snap.end(), [&](const auto& r) { return cmp(r) > 0; }) -
        snap.begin());
    const int upper = static_cast<int>(
        std::partition_point(snap.begin(), snap.end(), [&](const auto& r) { return cmp(r) >= 0; }) -
        snap.begin());
    // The expected 1-based record number per kind; 0 when nothing is found.
    const bool equal = lower < size && cmp(snap[static_cast<size_t>(lower)]) == 0;
    const int expected[6] = {lower,
                             upper,
                             equal ? lower + 1 : 0,
                             lower < size ? lower + 1 : 0,
                             upper < size ? upper + 1 : 0,
                             lower < size ? lower + 1 : size};
    const TSearchModifier modifier{true, n};
    for (int kind = skLess; kind <= skNearest; ++kind) {
      SCOPED_TRACE("kind " + std::to_string(kind) + " fields " + std::to_string(n));
      t.tree->ConstructKeyBufFromVariants(values, flags.empty() ? nullptr : &flags);
      const int r = t.tree->SearchKey(kind, &modifier);
      ASSERT_EQ(r == 0, expected[kind] != 0) << t.tree->Format().Describe(t.tree->SearchKeyBuf());
      if (expected[kind] != 0) {
        ASSERT_EQ(t.tree->GetRecNo(), expected[kind]);
        ASSERT_EQ(t.tree->GetRecordAddress(), snap[static_cast<size_t>(expected[kind] - 1)].second);
      }
      // The range from the cursor, with a random stop address.
      const uint32_t stop =
          size == 0 || Pick(0, 2) == 0 ? 0 : snap[static_cast<size_t>(Pick(0, size - 1))].second;
      const bool reverse = Pick(0, 1) == 1;
      std::vector<TRangeItem> want;
      if (expected[kind] != 0) {
        int i = expected[kind] - 1;
        const int step = kind <= skLessOrEqual ? -1 : 1;
        for (; i >= 0 && i < size; i += step) {
          if (kind == skEqual && cmp(snap[static_cast<size_t>(i)]) != 0) break;
          want.push_back({snap[static_cast<size_t>(i)].second, i + 1});
          if (want.back().RecordAddress == stop) break;
        }
        if (step < 0 && reverse) std::reverse(want.begin(), want.end());
      }
      t.tree->ConstructKeyBufFromVariants(values, flags.empty() ? nullptr : &flags);
      ASSERT_EQ(t.tree->CollectRange(kind, n, stop, reverse), want);
    }
  }

  const TScenario& s_;
  TModelOrder order_;
  std::mt19937 rng_;
  TTestLayout layout_;
  TTestIndex index_;
  std::unique_ptr<TTestTree> tree_;
  std::multimap<TModelKey, uint32_t, TModelLess> model_;
  std::map<uint32_t, TRow> rows_;
  uint32_t lastSequence_ = 0;
  uint32_t nextAddress_ = 0x100000;
  int visible_ = 1;
};

// Grows the index, churns it, then shrinks it, checking after every batch.
void RunScenario(const TScenario& s) {
  const long ops = std::max(EnvOr("VZ_BTREE_KEYS", 6000), 100L);
  const unsigned seed = static_cast<unsigned>(EnvOr("VZ_BTREE_SEED", 20240611));
  const int batches = 30;
  const int probes = 12;
  TRandomIndexRun run(s, seed);
  size_t peakKeys = 0;
  uint16_t peakDepth = 0;
  for (int b = 0; b < batches; ++b) {
    // Grow, churn, then shrink to (nearly) nothing, so that nodes split, even out and merge.
    const int insertWeight = b < 12 ? 75 : b < 18 ? 50 : 3;
    for (long i = 0; i < ops / batches; ++i) {
      run.Step(insertWeight);
      if (::testing::Test::HasFatalFailure()) return;
    }
    SCOPED_TRACE("batch " + std::to_string(b) + " keys " + std::to_string(run.Size()));
    peakKeys = std::max(peakKeys, run.Size());
    peakDepth = std::max(peakDepth, run.Tree().depth);
    run.Check(probes);
    if (::testing::Test::HasFatalFailure()) return;
  }
  run.CheckEveryRowIsFound();
  std::printf("%s: %ld operations, at most %zu keys in %d levels\n", s.name.c_str(), ops, peakKeys,
              static_cast<int>(peakDepth));
}

TEST(DbBTreeRandom, UniqueIntegers) {
  TScenario s{.name = "integers", .fields = {{F::ftInteger}}, .unique = true, .domain = 1 << 20};
  RunScenario(s);
}

TEST(DbBTreeRandom, StringsUnderTheLocaleCollationWithoutCase) {
  TScenario s{.name = "strings",
              .fields = {{F::ftString, 120}},
              .unique = false,
              .ci = {true},
              .order = TSortOrder::soANSI,
              .collation = "en_US.UTF-8"};
  if (!SetCollationLocale(s.collation)) {
    s.collation = "C.UTF-8";
    ASSERT_TRUE(SetCollationLocale(s.collation));
    std::printf("en_US.UTF-8 is not installed; strings collate under C.UTF-8\n");
  }
  s.nullPercent = 5;
  s.alphabet = "abcABCxyz-";
  s.maxLength = 10;
  RunScenario(s);
  SetCollationLocale("");
}

TEST(DbBTreeRandom, UniqueCaseInsensitiveStringsUnderSoAscii) {
  TScenario s{.name = "names", .fields = {{F::ftString, 6}}, .unique = true, .ci = {true}};
  s.nullPercent = 1;
  s.alphabet = "aAbBz_Z";
  s.maxLength = 6;
  RunScenario(s);
}

TEST(DbBTreeRandom, DatesDescendingWithNulls) {
  TScenario s{.name = "dates", .fields = {{F::ftDate}}, .unique = false, .desc = {true}};
  s.nullPercent = 10;
  s.domain = 300;
  RunScenario(s);
}

TEST(DbBTreeRandom, MultiFieldKeysWithDescendingParts) {
  TScenario s{.name = "multi",
              .fields = {{F::ftSmallint}, {F::ftString, 100}, {F::ftFloat}},
              .unique = false,
              .desc = {false, true, true},
              .ci = {false, true, false}};
  s.nullPercent = 8;
  s.domain = 20;
  s.alphabet = "abAB";
  s.maxLength = 3;
  RunScenario(s);
}

TEST(DbBTreeRandom, UniqueBooleanWordDateTimeKeys) {
  TScenario s{.name = "mixed",
              .fields = {{F::ftBoolean}, {F::ftWord}, {F::ftDateTime}},
              .unique = true,
              .desc = {false, true, false}};
  s.nullPercent = 3;
  s.domain = 60;
  RunScenario(s);
}

TEST(DbBTreeRandom, ARolledBackTransactionLeavesTheTreeAsItWas) {
  TScenario s{.name = "rollback",
              .fields = {{F::ftInteger}, {F::ftString, 200}},
              .unique = false,
              .desc = {false, true}};
  s.domain = 500;
  s.maxLength = 30;
  const long ops = std::max(EnvOr("VZ_BTREE_KEYS", 6000), 100L);
  TRandomIndexRun before(s, 77);
  for (long i = 0; i < ops; ++i) before.Step(70);
  TTestTree& t = before.Tree();
  const std::vector<uint32_t> walk = t.Walk(true);
  const uint32_t root = t.root;
  const uint16_t depth = t.depth;
  {
    TZuzTransaction tx(*t.db.disk);
    // The same tree, changed by another run of operations inside the transaction.
    before.ChurnUnrecorded(ops);
    ASSERT_NE(t.Walk(true), walk);
    tx.Rollback();
  }
  // What a table does after a rollback: reload the root and depth, drop the node buffers.
  t.root = root;
  t.depth = depth;
  t.tree->InvalidateNodes();
  EXPECT_EQ(t.Walk(true), walk);
  EXPECT_EQ(t.Problems(), "");
  // The tree and the page allocation are usable afterwards.
  for (long i = 0; i < ops / 4; ++i) before.Step(50);
  before.Check(12);
}

}  // namespace
}  // namespace zuz::test
