#include "app/core/qorHoursRollup.h"

#include "app/core/qorDocumentEdit.h"
#include "app/core/qorPlannerStatements.h"
#include "db/access/qorDatabaseController.h"
#include "planner/qorPlannerModel.h"

namespace st = qorStatements;

namespace {

// Runs the SELECT and hands each row to visit; the rows are closed however it ends.
template <class F>
void EachRow(TqorDatabaseController& db, const std::string& statement, F visit) {
  TqorDatabaseRecordSet* set = db.OpenRecordSet(statement);
  try {
    for (; !db.Eof(set); db.Next(set)) visit(set);
  } catch (...) {
    db.CloseRecordSet(set);
    throw;
  }
  db.CloseRecordSet(set);
}

}  // namespace

void TqorHoursRollup::SaveTaskHours(TqorXMLNode2* task, TqorDocumentEdit& edit) {
  const std::string id = task->GetAttributeStr("id");
  double days = 0;
  EachRow(db_, st::SelectTaskDates(id), [&](TqorDatabaseRecordSet* row) {
    days = db_.GetDate(row, "EndDate") - db_.GetDate(row, "StartDate") + 1;
  });
  double hours = 0;
  EachRow(db_, st::SelectTaskHoursParts(id), [&](TqorDatabaseRecordSet* row) {
    hours += days * (db_.GetFloat(row, "HoursPerWeek") / 7) * db_.GetFloat(row, "Units") / 100;
  });
  db_.Execute(st::UpdateTaskAssignedHours(id, hours));
  edit.SetAttribute(task, "assignedhours", st::StoredNumber(hours));
}

void TqorHoursRollup::SaveProjectHours(TqorXMLNode2* project, TqorDocumentEdit& edit) {
  const std::string id = project->GetAttributeStr("id");
  // The sum of the tasks as this window has them, stored while the project's hours are still
  // what it last read or wrote: then no other program's roll-up came in between.
  double hours = planner_.SumAssignedHours(project);
  double shown = 0;
  if (const TqorVariant* h = project->FindAttribute("assignedhours")) h->TryToReal(shown);
  if (db_.Execute(st::UpdateProjectAssignedHours(id, hours, shown)) == 0) {
    const TqorVariant sum = db_.LookupValue(st::SelectProjectTaskHours(id));
    hours = sum.IsNull() ? 0 : sum.AsReal();
    db_.Execute(st::UpdateProjectAssignedHours(id, hours));
  }
  edit.SetAttribute(project, "assignedhours", st::StoredNumber(hours));
}

void TqorHoursRollup::TaskAssignmentsChanged(TqorXMLNode2* task, TqorDocumentEdit& edit) {
  SaveTaskHours(task, edit);
  SaveProjectHours(task->Parent(), edit);
}
