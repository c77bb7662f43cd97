#include "app/core/qorPlanReload.h"

#include <algorithm>
#include <unordered_set>

#include "app/core/qorDocumentRows.h"
#include "app/core/qorPlannerCheck.h"
#include "planner/qorPlannerModel.h"

namespace {

void RemoveChildren(TqorXMLNode2* container) {
  if (!container) return;
  while (const int count = container->ChildCount())
    container->DeleteChild(container->GetChild(count - 1));
}

bool Folded(const TqorXMLNode2* project) {
  const TqorVariant* expanded = project->FindAttribute("expanded");
  bool b = true;
  return expanded && expanded->TryToBool(b) && !b;
}

}  // namespace

TqorPlanView CapturePlanView(const TqorPlannerModel& planner, int currentRow) {
  TqorPlanView view;
  view.StartDate = planner.StartDate();
  view.CurrentRow = currentRow;
  if (const TqorXMLNode2* projects = planner.ProjectsNode()) {
    for (int i = 0; i < projects->ChildCount(); ++i) {
      const TqorXMLNode2* project = projects->GetChild(i);
      if (Folded(project)) view.FoldedProjects.push_back(project->GetAttributeStr("id"));
    }
  }
  if (const TqorXMLNode2* node = planner.RowNode(currentRow)) {
    view.CurrentElement = node->Name();
    view.CurrentId = node->GetAttributeStr("id");
    if (node->Name() == "task" && node->Parent())
      view.CurrentProjectId = node->Parent()->GetAttributeStr("id");
  }
  return view;
}

int ReloadPlanner(TqorDatabaseController& controller, TqorPlannerModel& planner,
                  const TqorPlanView& view, std::vector<std::string>& problems,
                  TqorPlannerSettings* settings) {
  RemoveChildren(planner.ProjectsNode());
  RemoveChildren(planner.ResourcesNode());
  RemoveChildren(planner.HolidaysNode());
  if (TqorXMLNode2* links = qorDocumentRows::LinksNode(planner, false))
    links->Parent()->DeleteChild(links);
  const TqorPlannerSettings loaded = LoadCheckedPlanner(controller, planner, problems);
  if (settings) *settings = loaded;

  const std::unordered_set<std::string> folded(view.FoldedProjects.begin(),
                                               view.FoldedProjects.end());
  if (TqorXMLNode2* projects = planner.ProjectsNode()) {
    for (int i = 0; i < projects->ChildCount(); ++i) {
      TqorXMLNode2* project = projects->GetChild(i);
      if (folded.count(project->GetAttributeStr("id"))) project->SetAttribute("expanded", false);
      project->SetAttribute("assignedhours", planner.SumAssignedHours(project));
    }
  }
  // Rebuilds the rows with the folds.
  planner.SetStartDate(view.StartDate);

  const TqorXMLParser2& document = planner.Document();
  const TqorXMLNode2* current = nullptr;
  if (!view.CurrentElement.empty())
    current = document.GetNodeById(view.CurrentElement, view.CurrentId);
  if (!current && !view.CurrentProjectId.empty())
    current = document.GetNodeById("project", view.CurrentProjectId);
  int row = current ? planner.FindRow(current) : -1;
  if (row < 0) row = std::min(view.CurrentRow, planner.RowCount() - 1);
  return row < TqorPlannerModel::kFixedRows
             ? (planner.RowCount() > TqorPlannerModel::kFixedRows ? TqorPlannerModel::kFixedRows
                                                                  : -1)
             : row;
}
