#include "app/core/qorHoursRollup.h"

#include "app/core/qorDocumentEdit.h"
#include "app/core/qorPlannerStatements.h"
#include "db/access/qorDatabaseController.h"
#include "planner/xml/qorXMLNode2.h"

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
  edit.SetAttribute(task, "assignedhours", hours);
}

void TqorHoursRollup::SaveProjectHours(TqorXMLNode2* project, TqorDocumentEdit& edit) {
  const std::string id = project->GetAttributeStr("id");
  const TqorVariant sum = db_.LookupValue(st::SelectProjectTaskHours(id));
  const double hours = sum.IsNull() ? 0 : sum.AsReal();
  db_.Execute(st::UpdateProjectAssignedHours(id, hours));
  edit.SetAttribute(project, "assignedhours", hours);
}

void TqorHoursRollup::TaskAssignmentsChanged(TqorXMLNode2* task, TqorDocumentEdit& edit) {
  SaveTaskHours(task, edit);
  SaveProjectHours(task->Parent(), edit);
}
