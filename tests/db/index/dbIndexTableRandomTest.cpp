// A table with five indexes against a model: random adds, updates and deletes (some refused as
// duplicates, some inside transactions that are rolled back), and now and then a reopening.
// After every batch every index must hold exactly the live records' keys, in the order the
// model gives, and pass the invariant checker. Indexes: a primary key; a unique string index
// without case (one NULL allowed); a two-field index with a descending date; a descending float
// index; a string index with case under the locale collation. The number of steps comes from
// VZ_INDEX_RANDOM_STEPS (default 4000).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <random>

#include "db/index/zuzIndexCheck.h"
#include "db/index/zuzIndexManager.h"
#include "db/index/zuzKeyCollation.h"
#include "tests/db/index/dbIndexedDb.h"

namespace zuz::test {
namespace {

struct TRow {
  int64_t id = 0;
  std::optional<std::string> name;
  std::optional<int64_t> group;
  std::optional<double> due;
  std::optional<double> amount;
  std::string note;
  bool operator==(const TRow&) const = default;
};
using TModel = std::map<uint32_t, TRow>;  // by sequence number

int Steps() {
  const char* env = std::getenv("VZ_INDEX_RANDOM_STEPS");
  return env ? std::max(1, std::atoi(env)) : 4000;
}

// -1, 0, +1 with NULL first; reversed as a whole for a descending field.
template <typename T, typename Less>
int CompareOpt(const std::optional<T>& a, const std::optional<T>& b, Less less, bool descending) {
  int c;
  if (!a || !b) {
    c = a ? 1 : b ? -1 : 0;
  } else {
    c = less(*a, *b) ? -1 : less(*b, *a) ? 1 : 0;
  }
  return descending ? -c : c;
}

std::string Upper(std::string s) {
  for (char& ch : s)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  return s;
}
// Under C.UTF-8 the collation is byte order; the shorter of two equal prefixes first.
bool TextLess(const std::string& a, const std::string& b) {
  return a < b;
}
bool TextLessNoCase(const std::string& a, const std::string& b) {
  return Upper(a) < Upper(b);
}
bool NumLess(double a, double b) {
  return a < b;
}
bool IntLess(int64_t a, int64_t b) {
  return a < b;
}

struct TIndexOrder {
  const char* name;
  // Compares two rows on the declared fields; the sequence numbers decide ties (sequence
  // descending when seqDescending) unless the index is unique.
  std::function<int(const TRow&, const TRow&)> compare;
  bool unique;
  bool seqDescending;
};

const std::vector<TIndexOrder>& Orders() {
  static const std::vector<TIndexOrder> orders = {
      {"", [](const TRow& a, const TRow& b) { return a.id < b.id   ? -1
                                                     : a.id > b.id ? 1
                                                                   : 0; },
       true, false},
      {"ixName",
       [](const TRow& a, const TRow& b) {
         return CompareOpt(a.name, b.name, TextLessNoCase, false);
       },
       true, false},
      {"ixGroupDue",
       [](const TRow& a, const TRow& b) {
         int c = CompareOpt(a.group, b.group, IntLess, false);
         return c != 0 ? c : CompareOpt(a.due, b.due, NumLess, true);
       },
       false, false},
      {"ixAmount",
       [](const TRow& a, const TRow& b) { return CompareOpt(a.amount, b.amount, NumLess, true); },
       false, true},
      {"ixNameGroup",
       [](const TRow& a, const TRow& b) {
         int c = CompareOpt(a.name, b.name, TextLess, false);
         return c != 0 ? c : CompareOpt(a.group, b.group, IntLess, false);
       },
       false, false},
  };
  return orders;
}

void CreateTable(TTableMgr& tables) {
  TIndexDesc primary = Ix("", "Id", true);
  primary.Primary = true;
  TIndexDesc byName = Ix("ixName", "Name", true);
  byName.CaseInsensitive = true;
  TIndexDesc byGroupDue = Ix("ixGroupDue", "Group;Due");
  byGroupDue.DescFields = "Due";
  TIndexDesc byAmount = Ix("ixAmount", "Amount");
  byAmount.Descending = true;
  TTableOptions options = tables.DefaultTableOptions();
  options.SortOrder = TSortOrder::soANSI;
  options.DefaultBlobSize = 256;
  tables.CreateTable("R",
                     {F("Id", TFieldType::ftInteger), F("Name", TFieldType::ftString, 6),
                      F("Group", TFieldType::ftSmallint), F("Due", TFieldType::ftDate),
                      F("Amount", TFieldType::ftFloat), F("Note", TFieldType::ftBlob)},
                     {primary, byName, byGroupDue, byAmount, Ix("ixNameGroup", "Name;Group")},
                     options);
}

template <typename T>
TFieldValue Value(const std::optional<T>& v) {
  if (!v) return TFieldValue{};
  return TFieldValue{*v};
}

void Put(TOpenTable& t, const TRow& r) {
  t.SetValue(0, r.id);
  t.SetValue(1, Value(r.name));
  t.SetValue(2, Value(r.group));
  t.SetValue(3, Value(r.due));
  t.SetValue(4, Value(r.amount));
  t.SetBlob(5, r.note);
}

TRow Read(TOpenTable& t) {
  TRow r;
  r.id = std::get<int64_t>(t.GetValue(0));
  if (!t.IsNull(1)) r.name = std::get<std::string>(t.GetValue(1));
  if (!t.IsNull(2)) r.group = std::get<int64_t>(t.GetValue(2));
  if (!t.IsNull(3)) r.due = std::get<double>(t.GetValue(3));
  if (!t.IsNull(4)) r.amount = std::get<double>(t.GetValue(4));
  r.note = t.GetBlob(5);
  return r;
}

class TRandomRun {
 public:
  explicit TRandomRun(uint32_t seed) : random_(seed) {}

  TRow RandomRow() {
    TRow r;
    r.id = Pick(0, 5000);
    if (Pick(0, 19) != 0) {
      static const char letters[] = "abxyABXY";
      std::string s;
      for (int64_t n = Pick(1, 6); n > 0; --n) s += letters[Pick(0, 7)];
      r.name = s;
    }
    if (Pick(0, 9) != 0) r.group = Pick(-3, 3);
    if (Pick(0, 4) != 0) r.due = 45000.0 + static_cast<double>(Pick(0, 20));
    if (Pick(0, 9) != 0) {
      static const double amounts[] = {-1e9, -2.5, -0.0, 0.25, 3.0, 1e12};
      r.amount = amounts[Pick(0, 5)] + static_cast<double>(Pick(0, 3));
    }
    r.note = std::string(static_cast<size_t>(Pick(0, 3) == 0 ? Pick(0, 1500) : 0),
                         static_cast<char>('a' + Pick(0, 25)));
    return r;
  }

  // Whether the row's unique keys collide with a live row other than the one of sequence skip.
  bool Collides(const TModel& model, const TRow& r, uint32_t skip) const {
    for (const auto& [seq, other] : model) {
      if (seq == skip) continue;
      if (other.id == r.id) return true;
      if (CompareOpt(other.name, r.name, TextLessNoCase, false) == 0) return true;
    }
    return false;
  }

  int64_t Pick(int64_t lo, int64_t hi) {
    return std::uniform_int_distribution<int64_t>(lo, hi)(random_);
  }

 private:
  std::mt19937 random_;
};

// The sequence numbers in the order of the index, by the model.
std::vector<uint32_t> ModelOrder(const TModel& model, const TIndexOrder& order) {
  std::vector<uint32_t> seqs;
  for (const auto& [seq, row] : model) seqs.push_back(seq);
  std::stable_sort(seqs.begin(), seqs.end(), [&](uint32_t a, uint32_t b) {
    const int c = order.compare(model.at(a), model.at(b));
    if (c != 0) return c < 0;
    return order.seqDescending ? a > b : a < b;
  });
  return seqs;
}

void CheckAgainstModel(TOpenTable& t, const TModel& model, const std::string& where) {
  const std::vector<std::string> problems = CheckTableIndexes(t);
  ASSERT_TRUE(problems.empty()) << where << ": " << problems.front();
  TIndexManager& indexes = IndexManagerOf(t);
  for (const TIndexOrder& order : Orders()) {
    indexes.SelectCurrentIndex(order.name);
    std::vector<uint32_t> seqs;
    for (uint32_t address : t.RecordAddresses()) {
      ASSERT_TRUE(t.ReadRecord(address)) << where;
      const uint32_t seq = t.BufferSequence();
      ASSERT_TRUE(model.count(seq)) << where << ": record " << seq << " is not in the model";
      ASSERT_EQ(Read(t), model.at(seq)) << where << ": record " << seq;
      seqs.push_back(seq);
    }
    ASSERT_EQ(seqs, ModelOrder(model, order)) << where << ": order of index '" << order.name << "'";
  }
  indexes.ChooseCurrentIndex("");
}

TEST(DbIndexTableRandom, FiveIndexesAgainstAModel) {
  ASSERT_TRUE(SetCollationLocale("C.UTF-8"));
  TIndexedDb db;
  CreateTable(db.Tables());
  auto t = db.Tables().OpenTable("R");
  TRandomRun run(20240611u);
  TModel model;
  std::map<uint32_t, uint32_t> addressOf;  // sequence -> record address
  const int steps = Steps();
  int refused = 0, rolledBack = 0, done = 0;
  for (int batch = 0; done < steps; ++batch) {
    // Batches that mostly grow the table and batches that mostly shrink it, so that nodes split
    // and merge.
    const bool growing = run.Pick(0, 2) != 0;
    const bool inTransaction = run.Pick(0, 2) == 0;
    const bool rollBack = inTransaction && run.Pick(0, 2) == 0;
    const TModel savedModel = model;
    const auto savedAddresses = addressOf;
    std::optional<TZuzTransaction> transaction;
    if (inTransaction) transaction.emplace(db.Disk());
    for (int i = 0; i < 40 && done < steps; ++i, ++done) {
      const int64_t dice = model.empty() ? 0 : run.Pick(0, 9);
      // 0-4 add, 5-7 update, 8-9 delete
      const int64_t what = growing ? (dice < 7   ? 0
                                      : dice < 9 ? 5
                                                 : 8)
                                   : (dice < 1   ? 0
                                      : dice < 3 ? 5
                                                 : 8);
      if (what < 5) {
        const TRow row = run.RandomRow();
        const bool collides = run.Collides(model, row, 0);
        t->NewRecord();
        Put(*t, row);
        const int code = ErrorCodeOf([&] { t->AddRecord(); });
        ASSERT_EQ(code, collides ? ZUZ_ERR_KEY_VIOLATION : 0) << "add in step " << done;
        if (collides) {
          ++refused;
          continue;
        }
        model[t->BufferSequence()] = row;
        addressOf[t->BufferSequence()] = t->CurrentAddress();
      } else {
        auto it = model.begin();
        std::advance(it, run.Pick(0, static_cast<int64_t>(model.size()) - 1));
        const uint32_t seq = it->first;
        ASSERT_TRUE(t->ReadRecord(addressOf.at(seq)));
        if (what < 8) {
          TRow row = it->second;
          const TRow fresh = run.RandomRow();
          switch (run.Pick(0, 4)) {
            case 0:
              row.id = fresh.id;
              break;
            case 1:
              row.name = fresh.name;
              break;
            case 2:
              row.group = fresh.group;
              row.due = fresh.due;
              break;
            case 3:
              row.amount = fresh.amount;
              row.note = fresh.note;
              break;
            default:
              row = fresh;
              break;
          }
          const bool collides = run.Collides(model, row, seq);
          Put(*t, row);
          const int code = ErrorCodeOf([&] { t->UpdateRecord(); });
          ASSERT_EQ(code, collides ? ZUZ_ERR_KEY_VIOLATION : 0) << "update in step " << done;
          if (collides) {
            ++refused;
          } else {
            it->second = row;
          }
        } else {
          ASSERT_EQ(t->DeleteRecord(), 0);
          addressOf.erase(seq);
          model.erase(it);
        }
      }
    }
    if (transaction) {
      if (rollBack) {
        transaction->Rollback();
        model = savedModel;
        addressOf = savedAddresses;
        ++rolledBack;
      } else {
        transaction->Commit();
      }
    }
    const std::string where = "batch " + std::to_string(batch);
    CheckAgainstModel(*t, model, where);
    if (HasFatalFailure()) return;
    if (batch % 7 == 6) {
      t.reset();
      db.Reopen();
      t = db.Tables().OpenTable("R");
      CheckAgainstModel(*t, model, where + " after reopening");
      if (HasFatalFailure()) return;
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(rolledBack, 0);
  EXPECT_GT(model.size(), 100u);
  t.reset();
  SetCollationLocale("");
}

}  // namespace
}  // namespace zuz::test
