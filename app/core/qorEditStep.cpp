#include "app/core/qorEditStep.h"

#include <algorithm>
#include <map>

#include "db/access/qorDatabaseController.h"

namespace pr = qorPlanRows;

namespace {

constexpr size_t kIdsPerStatement = 200;

bool Same(const std::optional<TqorPlanRow>& a, const std::optional<TqorPlanRow>& b) {
  return a.has_value() == b.has_value() && (!a || *a == *b);
}

// The columns in which two rows of a table differ.
std::vector<size_t> Differing(const TqorPlanRow& a, const TqorPlanRow& b) {
  std::vector<size_t> columns;
  for (size_t i = 0; i < a.Values.size() && i < b.Values.size(); ++i)
    if (!(a.Values[i] == b.Values[i])) columns.push_back(i);
  return columns;
}

// "Task 'Design'" and so on, from the row's own values.
std::string RowName(const TqorPlanRow& row) {
  auto text = [&](size_t column) {
    return column < row.Values.size() ? row.Values[column].ToText() : std::string();
  };
  switch (row.Table) {
    case TqorPlanTable::Projects:
      return "Project '" + text(1) + "'";
    case TqorPlanTable::Tasks:
      return "Task '" + text(1) + "'";
    case TqorPlanTable::Resources:
      return "Resource '" + text(1) + "'";
    case TqorPlanTable::Assignments:
      return "An assignment";
    case TqorPlanTable::Holidays:
      return "A holiday";
    case TqorPlanTable::Settings:
      return "The plan's settings";
  }
  return "A row";
}

}  // namespace

void TqorEditStep::Add(TqorRowChange change) {
  const auto it = std::find_if(changes_.begin(), changes_.end(), [&](const TqorRowChange& c) {
    return c.Table == change.Table && c.Id == change.Id;
  });
  if (it == changes_.end()) {
    if (!Same(change.Before, change.After)) changes_.push_back(std::move(change));
    return;
  }
  it->After = std::move(change.After);
  if (Same(it->Before, it->After)) changes_.erase(it);
}

void TqorEditStep::Append(const TqorEditStep& later) {
  for (const TqorRowChange& change : later.changes_) Add(change);
}

std::map<std::pair<TqorPlanTable, int32_t>, TqorPlanRow> TqorEditStep::ReadNow(
    TqorDatabaseController& db) const {
  std::map<TqorPlanTable, std::vector<int32_t>> ids;
  for (const TqorRowChange& change : changes_) ids[change.Table].push_back(change.Id);
  std::map<std::pair<TqorPlanTable, int32_t>, TqorPlanRow> now;
  for (auto& [table, list] : ids) {
    std::sort(list.begin(), list.end());
    for (size_t from = 0; from < list.size(); from += kIdsPerStatement) {
      const size_t to = std::min(list.size(), from + kIdsPerStatement);
      const std::vector<int32_t> part(list.begin() + from, list.begin() + to);
      for (TqorPlanRow& row : pr::Read(db, table, pr::KeyIn(table, part)))
        now.emplace(std::make_pair(table, row.Id), std::move(row));
    }
  }
  return now;
}

std::vector<qorDocumentRows::TqorShownRow> TqorEditStep::Apply(TqorDatabaseController& db,
                                                               bool undo) const {
  const char* verb = undo ? "undo" : "redo";
  auto refuse = [&](const TqorPlanRow& row, const char* what) {
    throw EqorEditRefused("Cannot " + std::string(verb) + " " + name_ + ": " + RowName(row) +
                          " was " + what + " by another program since.");
  };
  const std::map<std::pair<TqorPlanTable, int32_t>, TqorPlanRow> now = ReadNow(db);

  // Every row checked before anything is written.
  for (const TqorRowChange& change : changes_) {
    const std::optional<TqorPlanRow>& left = undo ? change.After : change.Before;
    const std::optional<TqorPlanRow>& wanted = undo ? change.Before : change.After;
    const auto found = now.find({change.Table, change.Id});
    const TqorPlanRow* current = found == now.end() ? nullptr : &found->second;
    if (!left) {
      if (current) refuse(*wanted, "added");
    } else if (!current) {
      refuse(*left, "deleted");
    } else if (!wanted) {
      if (!(*current == *left)) refuse(*left, "changed");
    } else {
      for (size_t column : Differing(*left, *wanted))
        if (!(current->Values[column] == left->Values[column])) refuse(*left, "changed");
    }
  }

  std::map<TqorPlanTable, std::vector<int32_t>> deletions;
  for (const TqorRowChange& change : changes_) {
    const std::optional<TqorPlanRow>& left = undo ? change.After : change.Before;
    const std::optional<TqorPlanRow>& wanted = undo ? change.Before : change.After;
    if (!wanted) {
      deletions[change.Table].push_back(change.Id);
    } else if (!left) {
      db.Execute(pr::Insert(*wanted));
    } else {
      // Only the columns the action changed.
      const std::vector<size_t> differing = Differing(*left, *wanted);
      if (!differing.empty()) db.Execute(pr::Update(*wanted, differing));
    }
  }
  for (auto& [table, list] : deletions) {
    std::sort(list.begin(), list.end());
    for (size_t from = 0; from < list.size(); from += kIdsPerStatement) {
      const size_t to = std::min(list.size(), from + kIdsPerStatement);
      db.Execute(pr::Delete(table, std::vector<int32_t>(list.begin() + from, list.begin() + to)));
    }
  }

  // What the file holds now, for the document.
  std::map<std::pair<TqorPlanTable, int32_t>, TqorPlanRow> after = ReadNow(db);
  std::vector<qorDocumentRows::TqorShownRow> shown;
  shown.reserve(changes_.size());
  for (const TqorRowChange& change : changes_) {
    qorDocumentRows::TqorShownRow row{change.Table, change.Id, std::nullopt};
    if (auto it = after.find({change.Table, change.Id}); it != after.end())
      row.Row = std::move(it->second);
    shown.push_back(std::move(row));
  }
  return shown;
}
