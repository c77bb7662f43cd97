#include "app/core/qorEditRecorder.h"

#include <algorithm>
#include <map>
#include <optional>

#include "app/core/qorEditHistory.h"

namespace pr = qorPlanRows;

namespace {
constexpr size_t kIdsPerStatement = 200;
}

void TqorEditRecorder::Watch(TqorPlanTable table, const std::string& condition) {
  if (!history_) return;
  watched_.emplace_back(table, condition);
  for (TqorPlanRow& row : pr::Read(db_, table, condition)) before_.push_back(std::move(row));
}

void TqorEditRecorder::Added(TqorPlanTable table, const std::string& condition) {
  if (history_) added_.emplace_back(table, condition);
}

void TqorEditRecorder::Finish(std::string name) {
  if (!history_) return;
  // Each row once, by table and id, in the order first met.
  std::vector<std::pair<TqorPlanTable, int32_t>> order;
  std::map<std::pair<TqorPlanTable, int32_t>, TqorRowChange> changes;
  auto change = [&](TqorPlanTable table, int32_t id) -> TqorRowChange& {
    const auto key = std::make_pair(table, id);
    auto it = changes.find(key);
    if (it == changes.end()) {
      order.push_back(key);
      it = changes.emplace(key, TqorRowChange{table, id, std::nullopt, std::nullopt}).first;
    }
    return it->second;
  };
  for (TqorPlanRow& row : before_) {
    TqorRowChange& c = change(row.Table, row.Id);
    if (!c.Before) c.Before = std::move(row);
  }
  for (const auto* list : {&watched_, &added_}) {
    for (const auto& [table, condition] : *list)
      for (TqorPlanRow& row : pr::Read(db_, table, condition)) {
        TqorRowChange& c = change(row.Table, row.Id);
        if (!c.After) c.After = std::move(row);
      }
  }
  // Rows watched before that no longer meet their condition are still the action's rows.
  std::map<TqorPlanTable, std::vector<int32_t>> unseen;
  for (const auto& key : order)
    if (changes.at(key).Before && !changes.at(key).After) unseen[key.first].push_back(key.second);
  for (const auto& [table, ids] : unseen)
    for (size_t from = 0; from < ids.size(); from += kIdsPerStatement) {
      const std::vector<int32_t> part(
          ids.begin() + static_cast<std::ptrdiff_t>(from),
          ids.begin() + static_cast<std::ptrdiff_t>(std::min(ids.size(), from + kIdsPerStatement)));
      for (TqorPlanRow& row : pr::Read(db_, table, pr::KeyIn(table, part)))
        change(row.Table, row.Id).After = std::move(row);
    }
  step_ = TqorEditStep(std::move(name));
  for (const auto& key : order) step_.Add(std::move(changes.at(key)));
  before_.clear();
  finished_ = true;
}

void TqorEditRecorder::Keep() {
  if (!history_ || !finished_) return;
  finished_ = false;
  history_->Record(std::move(step_));
}
