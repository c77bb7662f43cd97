#include "app/core/qorEditHistory.h"

#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"

void TqorEditHistory::Record(TqorEditStep step) {
  if (group_) {
    group_->Append(step);
    return;
  }
  if (step.Empty()) return;
  steps_.erase(steps_.end() - static_cast<std::ptrdiff_t>(undone_), steps_.end());
  undone_ = 0;
  steps_.push_back(std::move(step));
  while (steps_.size() > kLimit) steps_.pop_front();
  Changed();
}

void TqorEditHistory::BeginGroup(std::string name) {
  EndGroup();
  group_.emplace(std::move(name));
}

void TqorEditHistory::EndGroup() {
  if (!group_) return;
  TqorEditStep step = std::move(*group_);
  group_.reset();
  Record(std::move(step));
}

std::string TqorEditHistory::UndoName() const {
  return CanUndo() ? steps_[steps_.size() - undone_ - 1].Name() : std::string();
}

std::string TqorEditHistory::RedoName() const {
  return CanRedo() ? steps_[steps_.size() - undone_].Name() : std::string();
}

void TqorEditHistory::Undo(TqorDatabaseController& db, TqorPlannerModel* planner) {
  EndGroup();
  if (!CanUndo()) return;
  const TqorEditStep& step = steps_[steps_.size() - undone_ - 1];
  std::vector<qorDocumentRows::TqorShownRow> rows;
  {
    TqorDatabaseTransaction transaction(db);
    rows = step.Undo(db);
    transaction.Commit();
  }
  ++undone_;
  if (planner) qorDocumentRows::ShowRows(*planner, rows);
  Changed();
}

void TqorEditHistory::Redo(TqorDatabaseController& db, TqorPlannerModel* planner) {
  EndGroup();
  if (!CanRedo()) return;
  const TqorEditStep& step = steps_[steps_.size() - undone_];
  std::vector<qorDocumentRows::TqorShownRow> rows;
  {
    TqorDatabaseTransaction transaction(db);
    rows = step.Redo(db);
    transaction.Commit();
  }
  --undone_;
  if (planner) qorDocumentRows::ShowRows(*planner, rows);
  Changed();
}

void TqorEditHistory::Clear() {
  steps_.clear();
  undone_ = 0;
  group_.reset();
  Changed();
}
