#include "db/exec/zuzResultSet.h"

#include <algorithm>
#include <numeric>

#include "planner/base/qorStrings.h"

namespace zuz {

int TZuzResultSet::FindColumn(std::string_view name) const {
  for (size_t i = 0; i < Columns.size(); ++i) {
    if (SameTextIgnoringCase(Columns[i].Name, name)) return static_cast<int>(i);
  }
  return -1;
}

int TZuzResultSet::CompareRows(const TZuzRow& a, const TZuzRow& b, const std::vector<int>& columns,
                               const std::vector<bool>* descending) const {
  for (size_t k = 0; k < columns.size(); ++k) {
    auto c = static_cast<size_t>(columns[k]);
    int r = CompareKeyValues(a[c], b[c], order_);
    if (r != 0) return descending && (*descending)[k] ? -r : r;
  }
  return 0;
}

bool TZuzResultSet::TRowLess::operator()(size_t a, size_t b) const {
  return set->CompareRows(set->Rows[a], set->Rows[b], set->allColumns_, nullptr) < 0;
}

void TZuzResultSet::UseDistinct() {
  if (distinct_) return;
  allColumns_.resize(Columns.size());
  std::iota(allColumns_.begin(), allColumns_.end(), 0);
  distinct_ = std::make_unique<std::set<size_t, TRowLess>>(TRowLess{this});
  for (size_t i = 0; i < Rows.size(); ++i) distinct_->insert(i);
}

bool TZuzResultSet::Add(TZuzRow row) {
  Rows.push_back(std::move(row));
  if (distinct_ && !distinct_->insert(Rows.size() - 1).second) {
    Rows.pop_back();
    return false;
  }
  return true;
}

void TZuzResultSet::OrderBy(const std::vector<int>& columns, const std::vector<bool>& descending) {
  std::vector<size_t> order(Rows.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return CompareRows(Rows[a], Rows[b], columns, &descending) < 0;
  });
  std::vector<TZuzRow> sorted;
  sorted.reserve(Rows.size());
  for (size_t i : order) sorted.push_back(std::move(Rows[i]));
  Rows = std::move(sorted);
  if (distinct_) {
    distinct_.reset();
    UseDistinct();
  }
}

bool TZuzGroupIndex::TKeyLess::operator()(const TZuzRow& a, const TZuzRow& b) const {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    int r = CompareKeyValues(a[i], b[i], order);
    if (r != 0) return r < 0;
  }
  return a.size() < b.size();
}

int TZuzGroupIndex::Find(const TZuzRow& key) const {
  auto it = keys_.find(key);
  return it == keys_.end() ? -1 : it->second;
}

}  // namespace zuz
