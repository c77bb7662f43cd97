// The result of a query: a table held in memory with one column per output column and rows of
// values, and the three indexes a result may carry, kept as ordered look-ups over the rows with
// the order of an index key (NULL before every value; texts by the database's sort order, with
// case):
//   idxdistinct  every column: a row whose values are present already is not added
//   idxgroupby   the group columns, unique: finds the row of a group
//   idxorderby   the ORDER BY columns, DESC ones downwards: the order the rows are read in
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "db/exec/zuzExprEvaluator.h"

namespace zuz {

struct TZuzResultColumn {
  std::string Name;
  TFieldType Type = TFieldType::ftUnknown;
  int Size = 0;  // texts: the declared length of the source column (0 when unknown)
};

class TZuzResultSet {
 public:
  explicit TZuzResultSet(TSortOrderFunc order) : order_(order) {}
  TZuzResultSet(const TZuzResultSet&) = delete;
  TZuzResultSet& operator=(const TZuzResultSet&) = delete;

  std::string Name = "Result";
  std::vector<TZuzResultColumn> Columns;
  std::vector<TZuzRow> Rows;

  // The column of the name (letter case ignored), or -1.
  int FindColumn(std::string_view name) const;
  TSortOrderFunc Order() const { return order_; }

  // Keeps an "idxdistinct" over every column from now on (rows already present are indexed).
  void UseDistinct();
  bool HasDistinct() const { return distinct_ != nullptr; }
  // Adds the row; with "idxdistinct" a row equal to one present is dropped (false).
  bool Add(TZuzRow row);

  // Orders the rows by the columns (stable: equal rows keep their order of production).
  void OrderBy(const std::vector<int>& columns, const std::vector<bool>& descending);

  // Compares two rows over the columns in index-key order.
  int CompareRows(const TZuzRow& a, const TZuzRow& b, const std::vector<int>& columns,
                  const std::vector<bool>* descending) const;

 private:
  struct TRowLess {
    const TZuzResultSet* set;
    bool operator()(size_t a, size_t b) const;
  };
  TSortOrderFunc order_;
  std::vector<int> allColumns_;
  std::unique_ptr<std::set<size_t, TRowLess>> distinct_;
};

// The unique index of grouped results: the row number of each group's key values.
class TZuzGroupIndex {
 public:
  explicit TZuzGroupIndex(TSortOrderFunc order) : keys_(TKeyLess{order}) {}
  // The group of the key, or -1.
  int Find(const TZuzRow& key) const;
  void Add(TZuzRow key, int group) { keys_.emplace(std::move(key), group); }
  size_t Size() const { return keys_.size(); }

 private:
  struct TKeyLess {
    TSortOrderFunc order;
    bool operator()(const TZuzRow& a, const TZuzRow& b) const;
  };
  std::map<TZuzRow, int, TKeyLess> keys_;
};

}  // namespace zuz
