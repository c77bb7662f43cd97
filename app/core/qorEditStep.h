// One user action as the rows it changed: for each row, the row before the action and after it
// (none where the action added or deleted the row). Undoing puts the rows before back, redoing
// the rows after, in one transaction of the caller's connection, and only while the rows still
// hold what the action (or the last redo) left in them:
//   - a row the action added is deleted again only while every column still holds what the
//     action wrote (otherwise another program's change of it would be deleted unseen);
//   - a row the action deleted comes back, with its id, only while no row holds that id;
//   - a row the action changed gets back the columns the action changed (and only those, so
//     that other programs' changes of the other columns stay) while they still hold what the
//     action wrote.
// When a row is not so, nothing is written and EqorEditRefused says which row changed; when the
// database refuses a statement, its error comes through and nothing is written either.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/core/qorDocumentRows.h"
#include "app/core/qorPlanRows.h"
#include "app/core/qorWorkflowError.h"

class TqorDatabaseController;

struct TqorRowChange {
  TqorPlanTable Table = TqorPlanTable::Projects;
  int32_t Id = 0;
  std::optional<TqorPlanRow> Before, After;
};

// Undo or redo could not run; what() says why (nothing was written).
class EqorEditRefused : public EqorWorkflowError {
 public:
  using EqorWorkflowError::EqorWorkflowError;
};

class TqorEditStep {
 public:
  TqorEditStep() = default;
  explicit TqorEditStep(std::string name) : name_(std::move(name)) {}

  // "Move of 'Order the hardware'": what the menu shows after "Undo " and "Redo ".
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  const std::vector<TqorRowChange>& Changes() const { return changes_; }
  // True when the action changed no row.
  bool Empty() const { return changes_.empty(); }

  // A row's state before and after; a row that ends as it began is left out. A row met again
  // (a later part of the same action) keeps its first state before and takes the new one after.
  void Add(TqorRowChange change);
  // The changes of a later part of the same action, as Add does with each.
  void Append(const TqorEditStep& later);

  // Puts the rows before back (undo) or the rows after (redo) in the caller's transaction, as
  // described above, and returns the step's rows as the file then holds them (for the
  // document). REQUIRES: a transaction is open on db (the caller commits or rolls back).
  std::vector<qorDocumentRows::TqorShownRow> Undo(TqorDatabaseController& db) const {
    return Apply(db, true);
  }
  std::vector<qorDocumentRows::TqorShownRow> Redo(TqorDatabaseController& db) const {
    return Apply(db, false);
  }

 private:
  std::vector<qorDocumentRows::TqorShownRow> Apply(TqorDatabaseController& db, bool undo) const;
  // The rows of the step's changes as they are now, by table and id.
  std::map<std::pair<TqorPlanTable, int32_t>, TqorPlanRow> ReadNow(
      TqorDatabaseController& db) const;

  std::string name_;
  std::vector<TqorRowChange> changes_;
};
