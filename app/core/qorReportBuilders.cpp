#include "app/core/qorReportBuilders.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <utility>

#include "app/core/qorPlannerStatements.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/qorPlannerModel.h"

namespace {

// The report's head: the root with its attributes, the style classes, up to "<body>".
constexpr std::string_view kShaded = "<style id=\"td.shaded\">background-color:#F0F0F0</style>\r\n";
constexpr std::string_view kNumeric = "<style id=\"td.numeric\">text-align:right</style>\r\n";
constexpr std::string_view kMilestone = "<style id=\"td.milestone\">font-weight:bold</style>\r\n";
constexpr std::string_view kNewPage =
    "<style id=\"h1.newpage\">page-break-before:always</style>\r\n";
constexpr std::string_view kSpacerStyle = "<style id=\"p.spacer\">margin-top:10</style>\r\n";
constexpr std::string_view kBodyStart = "</head><body>";
constexpr std::string_view kEnd = "</body></html>";
constexpr std::string_view kSpacer = "<p class=\"p.spacer\"></p>\r\n";

std::string EscapeText(std::string_view text, bool attribute) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      case '\'':
        out += attribute ? "&apos;" : "'";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A number attribute: 0 when missing or empty, EqorVariantError when it is no number.
double Number(const TqorXMLNode2& node, std::string_view name) {
  const TqorVariant* value = node.FindAttribute(name);
  if (!value || value->IsNull() || (value->Kind() == TqorVarKind::Text && value->RawText().empty()))
    return 0;
  return value->AsReal();
}

// A date attribute as "dd-mm-yyyy": empty when missing or empty, EqorVariantError when it is no
// date.
std::string Date(const TqorXMLNode2& node, std::string_view name) {
  const TqorVariant* value = node.FindAttribute(name);
  if (!value || value->IsNull() || (value->Kind() == TqorVarKind::Text && value->RawText().empty()))
    return {};
  return FormatReportDate(value->AsDate());
}

// A date attribute as a day number for the hours of a task: 0 when missing or empty.
double Day(const TqorXMLNode2& node, std::string_view name) {
  const TqorVariant* value = node.FindAttribute(name);
  if (!value || value->IsNull() || (value->Kind() == TqorVarKind::Text && value->RawText().empty()))
    return 0;
  return value->AsDate();
}

std::string Text(const TqorXMLNode2& node, std::string_view name) {
  return ReportInlineText(node.GetAttributeStr(name));
}

// The heading of a project or resource: a page break before all but the first. With a
// continued text, the PDF layout draws that text on top of every later page of the section.
void AppendHeading(TqorFastString& out, bool first, std::string_view outline, std::string_view text,
                   std::string_view continued = {}) {
  out.Append(first ? "<h1 outline=\"" : "<h1 class=\"h1.newpage\" outline=\"");
  out.Append(ReportAttributeText(outline));
  if (!continued.empty()) {
    out.Append("\" continued=\"");
    out.Append(ReportAttributeText(continued));
  }
  out.Append("\">");
  out.Append(ReportInlineText(text));
  out.Append("</h1>\r\n");
}

void AppendCell(TqorFastString& out, std::string_view attributes, std::string_view text) {
  out.Append("<td ");
  out.Append(attributes);
  out.Append(">");
  out.Append(text);
  out.Append("</td>");
}

// "Zoë(12.5)<br>Ann(3.0)": the resources of the task's assignments with their hours.
std::string AssignedTo(const TqorPlannerModel& planner, const TqorXMLNode2& task) {
  std::string text;
  const double days = Day(task, "enddate") - Day(task, "startdate") + 1;
  for (int i = 0; i < task.ChildCount(); ++i) {
    const TqorXMLNode2& assignment = *task.GetChild(i);
    const TqorXMLNode2* resource =
        planner.Document().GetNodeById("resource", assignment.GetAttributeStr("resourceid"));
    if (!resource) continue;
    const double hours =
        days * Number(*resource, "hoursperweek") / 7 * Number(assignment, "units") / 100;
    if (!text.empty()) text += "<br>";
    text += Text(*resource, "name");
    text += "(" + FormatReportNumber(hours, 1) + ")";
  }
  return text;
}

}  // namespace

std::string ReportInlineText(std::string_view text) {
  return EscapeText(text, false);
}

std::string ReportAttributeText(std::string_view text) {
  return EscapeText(text, true);
}

std::string FormatReportNumber(double value, int decimals) {
  char buffer[400];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  std::string text = error == std::errc() ? std::string(buffer, end) : std::string("0");
  if (text.size() < 2) text.insert(0, 2 - text.size(), ' ');
  return text;
}

std::string FormatReportDate(double date) {
  int year, month, day;
  DecodeDate(date, year, month, day);
  char text[16];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d", day, month, year);
  return text;
}

std::string BuildTasksReport(TqorFastString& reportText, const TqorPlannerModel& planner) {
  TqorFastString& out = reportText;
  out.Reset();
  out.Append(
      "<html header=\"Tasks Report\" footer=\"Vazadod\" pagesize=\"A4 Landscape\"><head>\r\n");
  out.Append(kShaded);
  out.Append(kNumeric);
  out.Append(kMilestone);
  out.Append(kNewPage);
  out.Append(kSpacerStyle);
  out.Append(kBodyStart);
  int written = 0;
  // Each task's predecessors by task id: "3FS+2, 7SS" in the order of the links.
  std::unordered_map<std::string, std::string> predecessors;
  if (const TqorXMLNode2* links = planner.LinksNode()) {
    for (int i = 0; i < links->ChildCount(); ++i) {
      const TqorXMLNode2& link = *links->GetChild(i);
      std::string text = link.GetAttributeStr("predecessorid") + link.GetAttributeStr("type");
      const long lag = std::lround(Number(link, "lag"));
      if (lag > 0) text += "+" + std::to_string(lag);
      if (lag < 0) text += std::to_string(lag);
      std::string& list = predecessors[link.GetAttributeStr("successorid")];
      list += (list.empty() ? "" : ", ") + text;
    }
  }
  const TqorXMLNode2* projects = planner.ProjectsNode();
  for (int p = 0; projects && p < projects->ChildCount(); ++p) {
    const TqorXMLNode2& project = *projects->GetChild(p);
    if (project.Name() != "project" || !planner.IsProjectVisible(&project)) continue;
    const std::string name = project.GetAttributeStr("name");
    AppendHeading(out, ++written == 1, name, project.GetAttributeStr("tag") + " " + name);
    out.Append(kSpacer);
    out.Append(
        "<tr header=\"yes\"><td class=\"td.shaded\" right=\"10\">StartDate</td>"
        "<td class=\"td.shaded\" right=\"20\">EndDate</td>"
        "<td class=\"td.shaded\" right=\"30\">Budget Hours</td>"
        "<td class=\"td.shaded\" right=\"40\">Assigned Hours</td>"
        "<td class=\"td.shaded\" right=\"50\">Budget Cost</td>"
        "<td class=\"td.shaded\" right=\"60\">Actual Cost</td></tr>\r\n");
    out.Append("<tr>");
    AppendCell(out, "right=\"10\"", Date(project, "startdate"));
    AppendCell(out, "right=\"20\"", Date(project, "enddate"));
    AppendCell(out, "class=\"td.numeric\" right=\"30\"",
               FormatReportNumber(Number(project, "budgethours"), 1));
    AppendCell(out, "class=\"td.numeric\" right=\"40\"",
               FormatReportNumber(Number(project, "assignedhours"), 1));
    AppendCell(out, "class=\"td.numeric\" right=\"50\"",
               FormatReportNumber(Number(project, "budgetcost"), 2));
    AppendCell(out, "class=\"td.numeric\" right=\"60\"",
               FormatReportNumber(Number(project, "actualcost"), 2));
    out.Append("</tr>\r\n");
    out.Append(kSpacer);
    // A plan with links shows each task's number and what it follows ("3FS+2").
    if (predecessors.empty()) {
      out.Append(
          "<tr header=\"yes\"><td class=\"td.shaded\" right=\"30\">Task</td>"
          "<td class=\"td.shaded\" right=\"40\">StartDate</td>"
          "<td class=\"td.shaded\" right=\"50\">EndDate</td>"
          "<td class=\"td.shaded\" right=\"90\">Assigned To</td>"
          "<td class=\"td.shaded\" right=\"100\">%Complete</td></tr>\r\n");
    } else {
      out.Append(
          "<tr header=\"yes\"><td class=\"td.shaded\" right=\"5\">#</td>"
          "<td class=\"td.shaded\" right=\"30\">Task</td>"
          "<td class=\"td.shaded\" right=\"40\">StartDate</td>"
          "<td class=\"td.shaded\" right=\"50\">EndDate</td>"
          "<td class=\"td.shaded\" right=\"65\">After</td>"
          "<td class=\"td.shaded\" right=\"90\">Assigned To</td>"
          "<td class=\"td.shaded\" right=\"100\">%Complete</td></tr>\r\n");
    }
    for (int t = 0; t < project.ChildCount(); ++t) {
      const TqorXMLNode2& task = *project.GetChild(t);
      if (task.Name() != "task") continue;
      bool milestone = false;
      task.GetAttribute("ismilestone").TryToBool(milestone);
      out.Append("<tr>");
      if (!predecessors.empty()) AppendCell(out, "right=\"5\"", Text(task, "id"));
      AppendCell(out, "right=\"30\"", Text(task, "name"));
      AppendCell(out, "right=\"40\"", Date(task, "startdate"));
      AppendCell(out, milestone ? "class=\"td.milestone\" right=\"50\"" : "right=\"50\"",
                 Date(task, "enddate"));
      if (!predecessors.empty()) {
        const auto it = predecessors.find(task.GetAttributeStr("id"));
        AppendCell(out, "right=\"65\"", it == predecessors.end() ? std::string() : it->second);
      }
      AppendCell(out, "right=\"90\" markup=\"yes\"",
                 "<![CDATA[" + AssignedTo(planner, task) + "]]>");
      AppendCell(out, "class=\"td.numeric\" right=\"100\" markup=\"yes\"",
                 FormatReportNumber(Number(task, "progress"), 0));
      out.Append("</tr>\r\n");
    }
  }
  out.Append(kEnd);
  return out.GetText();
}

std::string BuildResourcesReport(TqorFastString& reportText, TqorPlannerModel& planner,
                                 std::vector<TqorXMLNode2*>& nodeList) {
  TqorFastString& out = reportText;
  out.Reset();
  out.Append("<html header=\"Resources Report\" footer=\"Vazadod\"><head>\r\n");
  out.Append(kShaded);
  out.Append(kMilestone);
  out.Append(kNewPage);
  out.Append(kSpacerStyle);
  out.Append(kBodyStart);
  const TqorXMLNode2* resources = planner.ResourcesNode();
  // Every assignment, wherever it stands, in document order, handed out by its "resourceid":
  // one walk of the document instead of one per resource.
  std::unordered_map<std::string, std::vector<TqorXMLNode2*>> assignmentsOf;
  nodeList.clear();
  planner.Document().SelectNodes("assignment", nodeList);
  for (TqorXMLNode2* assignment : nodeList)
    assignmentsOf[assignment->GetAttributeStr("resourceid")].push_back(assignment);
  int written = 0;
  for (int r = 0; resources && r < resources->ChildCount(); ++r) {
    const TqorXMLNode2& resource = *resources->GetChild(r);
    if (resource.Name() != "resource") continue;
    const std::string name = resource.GetAttributeStr("name");
    const double hoursPerWeek = Number(resource, "hoursperweek");
    out.Append(kSpacer);
    AppendHeading(out, ++written == 1, name, name, name + " (continued)");
    out.Append(kSpacer);
    out.Append("<tr><td right=\"40\">Initials</td><td right=\"100\">");
    out.Append(Text(resource, "initials"));
    out.Append("</td></tr>\r\n<tr><td right=\"40\">Hours per Week</td><td right=\"100\">");
    out.Append(FormatReportNumber(hoursPerWeek, 1));
    out.Append("</td></tr>\r\n<tr><td right=\"40\">Cost per Hour</td><td right=\"100\">");
    out.Append(FormatReportNumber(Number(resource, "costperhour"), 1));
    out.Append("</td></tr>\r\n<tr><td right=\"40\">MaxUnits</td><td right=\"100\">");
    out.Append(FormatReportNumber(Number(resource, "maxunits"), 1));
    out.Append("</td></tr>\r\n");

    nodeList.clear();
    if (auto it = assignmentsOf.find(resource.GetAttributeStr("id")); it != assignmentsOf.end())
      nodeList = it->second;
    out.Append(kSpacer);
    out.Append("<h2 outline=\"Assignments\">Assignments</h2>\r\n");
    // One group per project id, in the order of each project's first assignment: two projects
    // of one name stay two groups.
    std::vector<std::pair<const TqorXMLNode2*, std::vector<const TqorXMLNode2*>>> groups;
    std::unordered_map<std::string, size_t> groupOf;
    for (const TqorXMLNode2* assignment : nodeList) {
      const TqorXMLNode2* task = assignment->Parent();
      const TqorXMLNode2* project = task ? task->Parent() : nullptr;
      if (!project) continue;
      const auto [it, added] = groupOf.emplace(project->GetAttributeStr("id"), groups.size());
      if (added) groups.emplace_back(project, std::vector<const TqorXMLNode2*>());
      groups[it->second].second.push_back(assignment);
    }
    for (const auto& [project, assignments] : groups) {
      out.Append(kSpacer);
      out.Append("<p>" + Text(*project, "name") + "</p>\r\n");
      out.Append(
          "<tr header=\"yes\"><td class=\"td.shaded\" right=\"48\">Task</td>"
          "<td class=\"td.shaded\" right=\"61\">StartDate</td>"
          "<td class=\"td.shaded\" right=\"74\">EndDate</td>"
          "<td class=\"td.shaded\" right=\"87\">%Units</td>"
          "<td class=\"td.shaded\" right=\"100\">Hours</td></tr>\r\n");
      for (const TqorXMLNode2* assignment : assignments) {
        const TqorXMLNode2& task = *assignment->Parent();
        const double units = Number(*assignment, "units");
        const double hours =
            (Day(task, "enddate") - Day(task, "startdate") + 1) * units / 100 * hoursPerWeek / 7;
        out.Append("<tr>");
        AppendCell(out, "class=\"td\" right=\"48\"", Text(task, "name"));
        AppendCell(out, "class=\"td\" right=\"61\"", Date(task, "startdate"));
        AppendCell(out, "class=\"td\" right=\"74\"", Date(task, "enddate"));
        AppendCell(out, "class=\"td\" right=\"87\"", FormatReportNumber(units, 1));
        AppendCell(out, "class=\"td\" right=\"100\"", FormatReportNumber(hours, 1));
        out.Append("</tr>\r\n");
      }
    }
  }
  out.Append(kEnd);
  return out.GetText();
}

std::string BuildHolidaysReport(TqorFastString& reportText, TqorDatabaseController& controller,
                                double today) {
  TqorFastString& out = reportText;
  out.Reset();
  out.Append("<html header=\"Holidays Report\" footer=\"Vazadod\"><head>\r\n");
  out.Append(kShaded);
  out.Append(kNewPage);
  out.Append(kBodyStart);
  out.Append("<h1 outline=\"Holidays\">Holidays</h1>\r\n");
  TqorDatabaseRecordSet* set = controller.OpenRecordSet(qorStatements::SelectHolidaysReport(today));
  try {
    // The rows come by resource id: a header row above each resource's first.
    bool first = true;
    int32_t previous = 0;
    for (; !controller.Eof(set); controller.Next(set)) {
      const int32_t resource = controller.GetInteger(set, "ResourceId");
      if (first || resource != previous)
        out.Append(
            "<tr header=\"yes\"><td class=\"td.shaded\" right=\"50\">Resource</td>"
            "<td class=\"td.shaded\" right=\"75\">StartDate</td>"
            "<td class=\"td.shaded\" right=\"100\">EndDate</td></tr>\r\n");
      first = false;
      previous = resource;
      out.Append("<tr>");
      AppendCell(out, "right=\"50\"", ReportInlineText(controller.GetString(set, "ResourceName")));
      AppendCell(out, "right=\"75\"", FormatReportDate(controller.GetDate(set, "StartDate")));
      AppendCell(out, "right=\"100\"", FormatReportDate(controller.GetDate(set, "EndDate")));
      out.Append("</tr>\r\n");
    }
  } catch (...) {
    controller.CloseRecordSet(set);
    throw;
  }
  controller.CloseRecordSet(set);
  out.Append(kEnd);
  return out.GetText();
}
