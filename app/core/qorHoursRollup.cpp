#include "app/core/qorHoursRollup.h"

#include "app/core/qorDocumentEdit.h"
#include "app/core/qorPlannerStatements.h"
#include "db/access/qorDatabaseController.h"
#include "planner/qorPlannerModel.h"

namespace st = qorStatements;

void TqorHoursRollup::SaveTaskHours(const TqorXMLNode2* task) {
  db_.Execute(st::UpdateTaskAssignedHours(task->GetAttributeStr("id"),
                                          task->GetAttribute("assignedhours").AsReal()));
}

void TqorHoursRollup::SaveProjectHours(TqorXMLNode2* project, TqorDocumentEdit& edit) {
  const double hours = planner_.SumAssignedHours(project);
  edit.SetAttribute(project, "assignedhours", hours);
  db_.Execute(st::UpdateProjectAssignedHours(project->GetAttributeStr("id"), hours));
}

void TqorHoursRollup::TaskAssignmentsChanged(TqorXMLNode2* task, TqorDocumentEdit& edit) {
  edit.SetAttribute(task, "assignedhours", planner_.CalcAssignedHours(task));
  SaveTaskHours(task);
  SaveProjectHours(task->Parent(), edit);
}
