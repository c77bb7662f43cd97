#include "tools/vazadod-cli/cliChart.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "app/core/qorPlanChart.h"
#include "db/access/qorDatabaseController.h"
#include "planner/grid/qorChartPainter.h"
#include "planner/qorPlannerModel.h"
#include "planner/xml/qorXMLNode2.h"
#include "tools/vazadod-cli/cliLoad.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The option's value among the choices (any case), or def when absent.
std::string Choice(const TCliArgs& a, const std::string& name,
                   const std::vector<std::string>& choices, const std::string& def) {
  if (!a.Has(name)) {
    if (def.empty()) throw ECliUsage("option '--" + name + "' is needed");
    return def;
  }
  const std::string value = Lower(a.Options.at(name));
  std::string list;
  for (const std::string& c : choices) {
    if (Lower(c) == value) return c;
    if (!list.empty()) list += '|';
    list += c;
  }
  throw ECliUsage("'--" + name + "' takes " + list + ", not '" + a.Options.at(name) + "'");
}

// The file's name without its folder and its last extension.
std::string PlanName(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

// A Qt application for drawing, offscreen unless the environment names a platform.
std::unique_ptr<QGuiApplication> DrawingApplication() {
  if (QCoreApplication::instance()) return nullptr;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "vazadod-cli";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

int RunChartCommand(const std::vector<std::string>& args) {
  const TCliArgs a =
      ParseCliArgs(args, {"from", "to", "scale", "format", "page", "dpi", "title", "output"},
                   {"landscape", "fit", "critical", "unfolded", "all-projects"});
  const std::string format = Choice(a, "format", {"pdf", "png", "svg"}, "");
  const std::string scale = Choice(a, "scale", {"day", "week", "month"}, "day");
  const std::string page = Choice(a, "page", {"A4", "Letter", "A3"}, "A4");
  const int dpi = static_cast<int>(a.WholeNumber("dpi", 24, 1200, false, 96));
  if (a.Has("dpi") && format != "png") throw ECliUsage("'--dpi' is for the png format");
  if ((a.Has("page") || a.Has("landscape") || a.Has("fit")) && format != "pdf")
    throw ECliUsage("'--page', '--landscape' and '--fit' are for the pdf format");
  if (!a.Has("output")) throw ECliUsage("option '--output' is needed");
  if (a.Positional.empty()) throw ECliUsage("the database file is needed");
  if (a.Positional.size() > 1) throw ECliUsage("unexpected argument '" + a.Positional[1] + "'");
  const std::string& database = a.Positional[0];
  TqorChartOptions options;
  options.Scale = scale == "day"    ? TqorChartScale::Day
                  : scale == "week" ? TqorChartScale::Week
                                    : TqorChartScale::Month;
  options.FitToPage = a.Has("fit");
  const bool hasFrom = a.Has("from"), hasTo = a.Has("to");
  if (hasFrom) options.From = a.DayNumber("from");
  if (hasTo) options.To = a.DayNumber("to");
  if (hasFrom && hasTo && options.To < options.From)
    throw ECliUsage("the period ends before it starts: '--to' is before '--from'");

  TqorDatabaseController controller;
  TqorPlannerModel planner;
  LoadCliPlan(controller, planner, database);
  if (a.Has("all-projects")) {
    std::string filter;
    const TqorXMLNode2* projects = planner.ProjectsNode();
    for (int p = 0; projects && p < projects->ChildCount(); ++p) {
      filter += '[';
      filter += projects->GetChild(p)->GetAttributeStr("id");
      filter += ']';
    }
    planner.SetProjectFilter(filter);
  }

  TqorChartContent content;
  content.AllUnfolded = a.Has("unfolded");
  content.CriticalPath = a.Has("critical");
  content.Title = a.Has("title") ? a.Options.at("title") : PlanName(database);
  const TqorChartInput input = ChartInputOf(planner, content);
  if (!hasFrom || !hasTo) {
    int32_t first = 0, last = 0;
    if (!ChartSpanOf(input, first, last))
      throw ECliUsage("the chart shows no dated task or project: give '--from' and '--to'");
    if (!hasFrom) options.From = hasTo ? std::min(first, options.To) : first;
    if (!hasTo) options.To = std::max(last, options.From);
  }

  const std::unique_ptr<QGuiApplication> application = DrawingApplication();
  const QString output = QString::fromStdString(a.Options.at("output"));
  if (format == "pdf") {
    TqorChartPaper paper;
    paper.Size = QPageSize(page == "A3"       ? QPageSize::A3
                           : page == "Letter" ? QPageSize::Letter
                                              : QPageSize::A4);
    paper.Orientation = a.Has("landscape") ? QPageLayout::Landscape : QPageLayout::Portrait;
    const int pages = WriteChartPdf(output, input, options, paper);
    std::printf("%d %s\n", pages, pages == 1 ? "page" : "pages");
  } else if (format == "png") {
    WriteChartPng(output, input, options, dpi);
  } else {
    WriteChartSvg(output, input, options);
  }
  return 0;
}

const TCliCommand kChartCommand = {
    "chart",
    "[--from YYYY-MM-DD] [--to YYYY-MM-DD] [--scale day|week|month] --format pdf|png|svg\n"
    "      [--page A4|Letter|A3] [--landscape] [--fit] [--dpi N] [--critical] [--unfolded]\n"
    "      [--all-projects] [--title TEXT] --output FILE DBFILE",
    "draw the plan's chart as PDF, PNG or SVG",
    "Draws the chart of the planner database DBFILE into FILE: a row per project and task as\n"
    "the grid shows them, bars over the period with milestones, progress, completed and\n"
    "overdue days, the links between tasks, a header of dates, the plan's name and the date\n"
    "of printing. The file is written whole, or not at all.\n"
    "\n"
    "A PDF is drawn in vectors and tiled over pages: each page holds the names column and as\n"
    "many days and rows as fit, and pages run across the period first, then down the rows\n"
    "(the command prints the page count). A PNG is the whole chart as one image, an SVG the\n"
    "whole chart as one vector drawing with its texts as text.\n"
    "\n"
    "Options:\n"
    "  --from YYYY-MM-DD  the period's first day (default: the first day shown)\n"
    "  --to YYYY-MM-DD    the period's last day (default: the last day shown)\n"
    "  --scale S          day (12 points a day), week (3) or month (1); default day\n"
    "  --format F         pdf, png or svg\n"
    "  --page P           the PDF's paper: A4 (default), Letter or A3\n"
    "  --landscape        the PDF's pages turned sideways\n"
    "  --fit              the whole chart on one PDF page, scaled down to fit\n"
    "  --dpi N            the PNG's resolution, 24 to 1200 dots per inch (default 96)\n"
    "  --critical         the critical path outlined in red\n"
    "  --unfolded         the tasks of folded projects too\n"
    "  --all-projects     every project, whatever the stored project filter shows\n"
    "  --title TEXT       the plan's name on the chart (default: DBFILE's name)\n"
    "  --output FILE      the file to write\n"
    "\n"
    "A period longer than 3660 days, or a PNG larger than 32767 pixels on a side, is refused.\n"
    "A damaged DBFILE gives no chart: the command fails with what is damaged.\n",
    RunChartCommand};
