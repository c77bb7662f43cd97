// The edit history of one program's session: the user's actions as steps (qorEditStep.h), the
// latest last, undone and redone in turn. It starts empty with each session and keeps the last
// kLimit steps; a new action drops the steps undone before it.
//
// Undo and Redo run the step in a transaction of their own on the connection and commit it;
// when the step is refused (a row no longer as the step left it) or the database refuses a
// statement, the transaction is rolled back, the error comes through and the history is as it
// was. Given the planner, they bring its document up to date with the rows they changed.
//
// A group gathers the steps recorded while it is open into one, named by the group (the task
// dialog: its allocations and its OK are one action).
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "app/core/qorEditStep.h"

class TqorDatabaseController;
class TqorPlannerModel;

class TqorEditHistory {
 public:
  static constexpr size_t kLimit = 500;

  // Called whenever what Undo or Redo would do has changed (a step recorded, undone or redone,
  // the history cleared): the window names the steps in its menu.
  std::function<void()> onChange;

  // A step of the user's action: kept when it changed a row (into the open group, if any), and
  // the steps undone are dropped.
  void Record(TqorEditStep step);

  // Steps recorded from now until EndGroup are one, with this name (a group still open is ended
  // first).
  void BeginGroup(std::string name);
  // The group's steps as one (nothing when they changed no row).
  void EndGroup();
  bool GroupOpen() const { return group_.has_value(); }

  bool CanUndo() const { return undone_ < steps_.size(); }
  bool CanRedo() const { return undone_ > 0; }
  // The names of the step Undo and Redo would take; "" when there is none.
  std::string UndoName() const;
  std::string RedoName() const;
  size_t Size() const { return steps_.size(); }

  // Undoes the latest step not undone (see above); given the planner, its document then shows
  // the step's rows as the file holds them (qorDocumentRows::ShowRows). Nothing without a step.
  // REQUIRES: no transaction open on db.
  void Undo(TqorDatabaseController& db, TqorPlannerModel* planner = nullptr);
  // Redoes the step undone last, in the same way.
  void Redo(TqorDatabaseController& db, TqorPlannerModel* planner = nullptr);

  void Clear();

 private:
  // Oldest first; the last undone_ of them are undone.
  std::deque<TqorEditStep> steps_;
  size_t undone_ = 0;
  std::optional<TqorEditStep> group_;

  void Changed() const {
    if (onChange) onChange();
  }
};
