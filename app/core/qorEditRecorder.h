// What a workflow's action changes, recorded as a step of the edit history while the action's
// transaction is open:
//
//   TqorDatabaseTransaction transaction(db);
//   TqorEditRecorder record(db, history);        // history may be null: nothing is recorded
//   record.Watch(TqorPlanTable::Tasks, "TaskId=7");  // read now, as the rows are before
//   ... the statements ...
//   record.Added(TqorPlanTable::Assignments, "AssignmentId=31");  // a row the action added
//   record.Finish("Move of 'Design'");           // every watched row read again
//   transaction.Commit();
//   record.Keep();                               // into the history, now that it is stored
//
// Rows are read inside the transaction, under the locks it holds: no other program's commit
// comes between the rows before and after.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/core/qorEditStep.h"

class TqorDatabaseController;
class TqorEditHistory;

class TqorEditRecorder {
 public:
  TqorEditRecorder(TqorDatabaseController& db, TqorEditHistory* history)
      : db_(db), history_(history) {}

  // The rows of the table that meet the condition, as they are now; read again at Finish.
  void Watch(TqorPlanTable table, const std::string& condition);
  // Rows the action added that meet the condition: read at Finish only.
  void Added(TqorPlanTable table, const std::string& condition);
  // Reads the rows after the action into a step with the name.
  void Finish(std::string name);
  // Hands the step to the history. Only after the commit: an action that failed is no step.
  void Keep();
  bool Recording() const { return history_ != nullptr; }

 private:
  TqorDatabaseController& db_;
  TqorEditHistory* history_;
  std::vector<std::pair<TqorPlanTable, std::string>> watched_, added_;
  std::vector<TqorPlanRow> before_;
  TqorEditStep step_;
  bool finished_ = false;
};
