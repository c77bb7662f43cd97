#include "app/core/qorPlanChart.h"

#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "app/core/qorNodeValues.h"
#include "app/core/qorPlanSchedule.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/qorPlannerModel.h"
#include "planner/xml/qorXMLNode2.h"

namespace {

// The node's whole day, false when it has none within the calendar.
bool DayOf(const TqorXMLNode2* node, const char* name, int32_t& day) {
  const TqorVariant* value = node->FindAttribute(name);
  double date = 0;
  if (!value || !value->TryToReal(date) || !std::isfinite(date) || !IsCalendarDayNumber(date))
    return false;
  day = static_cast<int32_t>(std::floor(date));
  return true;
}

}  // namespace

TqorChartInput ChartInputOf(TqorPlannerModel& planner, const TqorChartContent& content) {
  TqorChartInput input;
  input.Title = content.Title;
  const double today = std::floor(planner.Today());
  if (IsCalendarDayNumber(today)) {
    input.Today = static_cast<int32_t>(today);
    // The user's date order, always with the four digits of the year.
    std::string pattern = RegionalSettings().ShortDateFormat;
    if (pattern.find("yyyy") == std::string::npos)
      if (const size_t yy = pattern.find("yy"); yy != std::string::npos) pattern.insert(yy, "yy");
    input.PrintedOn = "Printed " + FormatDateTime(pattern, today);
  }
  input.NonWorkingDay = [&planner](int32_t day) { return planner.IsNonWorkingDay(day); };

  std::unordered_set<std::string> critical;
  if (content.CriticalPath) {
    try {
      critical = qorPlanSchedule::CriticalTasks(planner);
    } catch (const std::exception&) {
      // Dates outside the calendar give no path; the chart shows the plan without it.
    }
  }
  std::unordered_map<std::string, int> rowOfTask;
  for (int r = TqorPlannerModel::kFixedRows; r < planner.RowCount(); ++r) {
    const TqorXMLNode2* node = planner.RowNode(r);
    if (!node) continue;
    const bool project = node->Name() == "project";
    if (!project && planner.RowHeight(r) == 0 && !content.AllUnfolded) continue;
    TqorChartRow row;
    row.Project = project;
    row.Id = static_cast<int32_t>(NodeReal(node, "id"));
    row.Name = NodeText(node, "name");
    row.HasDates = DayOf(node, "startdate", row.Start) && DayOf(node, "enddate", row.End);
    row.Completed = NodeFlag(node, "iscompleted");
    if (!project) {
      row.Progress = NodeReal(node, "progress");
      row.Milestone = NodeFlag(node, "ismilestone");
      const std::string id = node->GetAttributeStr("id");
      row.Critical = critical.count(id) != 0;
      int32_t projectEnd = 0;
      if (node->Parent() && DayOf(node->Parent(), "enddate", projectEnd))
        row.OverdueAfter = projectEnd;
      rowOfTask.emplace(id, static_cast<int>(input.Rows.size()));
    }
    input.Rows.push_back(std::move(row));
  }
  const TqorXMLNode2* links = planner.LinksNode();
  for (int i = 0; links && i < links->ChildCount(); ++i) {
    const TqorXMLNode2* link = links->GetChild(i);
    const auto from = rowOfTask.find(link->GetAttributeStr("predecessorid"));
    const auto to = rowOfTask.find(link->GetAttributeStr("successorid"));
    if (from == rowOfTask.end() || to == rowOfTask.end()) continue;
    const bool onPath = input.Rows[from->second].Critical && input.Rows[to->second].Critical;
    input.Links.push_back({from->second, to->second, qorPlanSchedule::LinkTypeOf(link), onPath});
  }
  return input;
}

bool ChartSpanOf(const TqorChartInput& input, int32_t& first, int32_t& last) {
  bool any = false;
  for (const TqorChartRow& row : input.Rows) {
    if (!row.HasDates) continue;
    const int32_t end = std::max(row.Start, row.End);
    first = any ? std::min(first, row.Start) : row.Start;
    last = any ? std::max(last, end) : end;
    any = true;
  }
  return any;
}
