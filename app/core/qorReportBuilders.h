// The three reports as report markup (read by the PDF and RTF converters): tasks and resources
// from the planner document, holidays from the database. Each builder empties the report text,
// appends its markup piece by piece and hands back the whole text.
//
//   <html header="Tasks Report" footer="Vazadod" pagesize="A4 Landscape"><head>
//   <style id="td.shaded">background-color:#F0F0F0</style> ...          (the report's classes)
//   </head><body><h1 outline="Web &amp; mobile">WEB Web &amp; mobile</h1>
//   <p class="p.spacer"></p>
//   <tr header="yes"><td class="td.shaded" right="10">StartDate</td>...</tr>
//   <tr><td right="30">Draft a&lt;b</td>...<td right="90" markup="yes"><![CDATA[Zoë(12.5)<br>
//   Ann &amp; Bob(3.0)]]></td><td class="td.numeric" right="100" markup="yes"> 5</td></tr>
//   ...</body></html>
//
// Every text typed by a user (names, tags, initials) reaches both formats exactly as typed:
// in attribute values "&", "<", ">", '"' and "'" are written as entities, which the markup
// reader decodes; in element text "&", "<" and ">" are written as &amp; &lt; &gt;, which both
// converters decode in inline text (where a bare "<" would open a tag and a bare "&" an entity,
// and where a "]]>" would end a CDATA section). Numbers are written with "." in every locale:
// "%2.1f" (one decimal), "%2.2f" (two) and "%2.0f" (none, a blank before a single digit: 5 gives
// " 5"). Dates are written "dd-mm-yyyy".
#pragma once

#include <string>
#include <string_view>
#include <vector>

class TqorDatabaseController;
class TqorFastString;
class TqorPlannerModel;
class TqorXMLNode2;

// User text for the text of a markup element: "&", "<" and ">" as entities.
std::string ReportInlineText(std::string_view text);
// User text for a markup attribute value: "&", "<", ">", '"' and "'" as entities.
std::string ReportAttributeText(std::string_view text);
// The value with that many decimals (0 to 2), at least 2 characters wide, padded with blanks
// on the left, "." as decimal separator.
std::string FormatReportNumber(double value, int decimals);
// "dd-mm-yyyy" of a day number. Raises EqorDateError outside the calendar.
std::string FormatReportDate(double date);

// The tasks report: per project that passes the project filter, in document order, its heading
// (tag and name; a page break before every project but the first), its dates, hours and costs,
// and its tasks with dates, the resources assigned with their hours, and the progress.
// Raises EqorVariantError for a date or number attribute that is not one (a missing one
// counts as empty for a date and as 0 for a number).
std::string BuildTasksReport(TqorFastString& reportText, const TqorPlannerModel& planner);
// The resources report: per resource, in document order, its heading (whose name the PDF layout
// repeats with " (continued)" on every later page of the resource), its initials, hours per
// week, cost per hour and max units, then its assignments (those whose "resourceid" is its
// "id") grouped by project id: per project, in the order of its first assignment, a caption
// with its name and a table of its assignments in document order under a header row. The
// assignments are selected once, with the path "assignment", and nodeList holds each resource's
// in turn (the last one's at the end).
std::string BuildResourcesReport(TqorFastString& reportText, TqorPlannerModel& planner,
                                 std::vector<TqorXMLNode2*>& nodeList);
// The holidays report: the holidays that start after today - 30 and before today + 365, by
// resource and start date, read from the database (so it shows holidays added since the plan
// was loaded). Each resource's rows stand under one header row.
std::string BuildHolidaysReport(TqorFastString& reportText, TqorDatabaseController& controller,
                                double today);
