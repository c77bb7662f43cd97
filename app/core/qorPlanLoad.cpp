#include "app/core/qorPlanLoad.h"

#include <algorithm>
#include <cmath>

#include "app/core/qorNodeValues.h"
#include "planner/qorPlannerModel.h"
#include "planner/xml/qorXMLNode2.h"

namespace {

int32_t Day(const TqorXMLNode2* node, const char* name) {
  return static_cast<int32_t>(std::floor(NodeDate(node, name)));
}

int32_t Id(const TqorXMLNode2* node, const char* name = "id") {
  const TqorVariant* value = node->FindAttribute(name);
  int32_t id = 0;
  return value && value->TryToInt(id) ? id : 0;
}

}  // namespace

TqorLoadInput LoadInputOf(TqorPlannerModel& planner) {
  TqorLoadInput input;
  // Assignment ids, to put the assignments in their order.
  std::vector<std::pair<int32_t, TqorLoadAssignment>> assignments;
  const TqorXMLNode2* projects = planner.ProjectsNode();
  for (int p = 0; projects && p < projects->ChildCount(); ++p) {
    const TqorXMLNode2* project = projects->GetChild(p);
    for (int t = 0; t < project->ChildCount(); ++t) {
      const TqorXMLNode2* task = project->GetChild(t);
      input.Tasks.push_back(
          {Id(task), NodeText(task, "name"), Day(task, "startdate"), Day(task, "enddate")});
      for (int a = 0; a < task->ChildCount(); ++a) {
        const TqorXMLNode2* assignment = task->GetChild(a);
        assignments.push_back(
            {Id(assignment),
             {Id(task), Id(assignment, "resourceid"), NodeReal(assignment, "units")}});
      }
    }
  }
  const TqorXMLNode2* resources = planner.ResourcesNode();
  for (int r = 0; resources && r < resources->ChildCount(); ++r) {
    const TqorXMLNode2* resource = resources->GetChild(r);
    input.Resources.push_back(
        {Id(resource), NodeText(resource, "name"), NodeReal(resource, "maxunits")});
  }
  const TqorXMLNode2* holidays = planner.HolidaysNode();
  // Holiday ids, likewise.
  std::vector<std::pair<int32_t, TqorLoadHoliday>> holidayRows;
  for (int h = 0; holidays && h < holidays->ChildCount(); ++h) {
    const TqorXMLNode2* holiday = holidays->GetChild(h);
    holidayRows.push_back(
        {Id(holiday),
         {Id(holiday, "resourceid"), Day(holiday, "startdate"), Day(holiday, "enddate")}});
  }

  const auto byFirst = [](const auto& a, const auto& b) { return a.first < b.first; };
  std::stable_sort(assignments.begin(), assignments.end(), byFirst);
  std::stable_sort(holidayRows.begin(), holidayRows.end(), byFirst);
  for (auto& [id, assignment] : assignments) input.Assignments.push_back(assignment);
  for (auto& [id, holiday] : holidayRows) input.Holidays.push_back(holiday);
  const auto byId = [](const auto& a, const auto& b) { return a.Id < b.Id; };
  std::stable_sort(input.Tasks.begin(), input.Tasks.end(), byId);
  std::stable_sort(input.Resources.begin(), input.Resources.end(), byId);
  return input;
}
