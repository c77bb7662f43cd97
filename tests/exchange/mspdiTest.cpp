// MS Project XML against itself and against other programs:
//   - random plans exported and imported again come back table by table, with nothing reported
//     lost;
//   - the Planner's conversion stylesheet (msp2planner.xsl, run by xsltproc) turns an export into
//     a file that its DTD accepts (xmllint) and that has the plan's tasks, dates, links,
//     resources and allocations;
//   - TaskJuggler (tj3) schedules the projects of tests/data/mspdi-*.tjp and writes them as MS
//     Project XML; the import gives the tasks, dates, links, resources and assignments that tj3's
//     own CSV reports of the same run list.
// Without xsltproc, the Planner files or tj3 the tests that need them are skipped, unless
// VAZADOD_CI is set: then they fail. VZ_MSPDI_PLANS (default 25) and VZ_MSPDI_SEED (default
// 4711) choose the random plans.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "exchange/qorMspdiError.h"
#include "exchange/qorMspdiExport.h"
#include "exchange/qorMspdiImport.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"
#include "planner/xml/qorXMLParser2.h"
#include "tests/testFiles.h"

namespace {

namespace fs = std::filesystem;

int EnvInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

std::pair<std::string, int> RunShell(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe.get())) > 0) out.append(buf.data(), n);
  const int status = pclose(pipe.release());
  return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// Whether the program or file is there; when not, a failure under VAZADOD_CI.
bool Have(const std::string& what, bool file = false) {
  const bool there =
      file ? fs::exists(what) : RunShell("command -v " + what + " >/dev/null 2>&1").second == 0;
  if (!there && std::getenv("VAZADOD_CI")) ADD_FAILURE() << what << " is not installed";
  return there;
}

class TempFolder {
 public:
  explicit TempFolder(const std::string& name)
      : path_(fs::temp_directory_path() / ("vz-mspdi-" + name + "-" + std::to_string(::getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() { RemoveTestFolder(path_); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string Path() const { return path_.string(); }

 private:
  fs::path path_;
};

std::string Real(double v) {
  return CFormat("%.17g", v);
}

// --- Random plans ---

class TRandomPlans {
 public:
  explicit TRandomPlans(uint64_t seed) : rng_(seed) {}

  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  double AnyReal(double scale) { return std::uniform_real_distribution<double>(0, scale)(rng_); }
  template <typename T>
  const T& Pick(const std::vector<T>& from) {
    return from[static_cast<size_t>(Int(0, static_cast<int>(from.size()) - 1))];
  }

  // Names and notes made of pieces that XML must escape or keep: markup characters, quotes,
  // references that are no references, blanks at the ends, non-ASCII; notes also line breaks
  // of every kind.
  std::string Text(bool lineBreaks) {
    static const std::vector<std::string> kPieces = {
        "Design",    "Phase 2",    " leading", "trailing ",    "a & b",  "<tag>",
        "x < y > z", "\"quoted\"", "it's",     "Zoë Łukasz €", "日本語", "😀",
        "tab\there", "]]>",        "&amp;",    "&#13;",        "A;B",    "Ω"};
    static const std::vector<std::string> kBreaks = {"\n",          "\r\n",           "\r",
                                                     "line\nbreak", "\n  indented\n", "\r\n\r\n"};
    std::string text;
    for (int i = Int(lineBreaks ? 0 : 1, 4); i > 0; --i)
      text += lineBreaks && Chance(0.4) ? Pick(kBreaks) : Pick(kPieces);
    return text;
  }

  double Amount() { return Chance(0.3) ? 0 : Chance(0.5) ? Int(0, 4000) / 4.0 : AnyReal(5000); }
  int32_t Day() { return base_ + Int(0, 1600); }
  // Ids that grow with gaps.
  int32_t NextId(int32_t& last) { return last += Int(1, 40); }

  TqorExchangePlan Plan() {
    TqorExchangePlan plan;
    plan.Name = Text(false);
    int32_t id = Int(0, 500);
    const int projects = Int(1, 4);
    for (int p = 0; p < projects; ++p) {
      TqorExchangeProject project;
      project.Id = NextId(id);
      project.Name = Text(false);
      project.Tag = Chance(0.6) ? Text(false) : "";
      project.Start = Day();
      project.End = project.Start + Int(0, 200);
      project.BudgetHours = Amount();
      project.ActualHours = Amount();
      project.BudgetCost = Amount();
      project.ActualCost = Amount();
      project.Completed = Chance(0.3);
      project.Notes = Chance(0.6) ? Text(true) : "";
      plan.Projects.push_back(project);
    }
    id = Int(0, 500);
    const int tasks = Int(0, 12 * projects);
    for (int t = 0; t < tasks; ++t) {
      TqorExchangeTask task;
      task.Id = NextId(id);
      task.ProjectId = Pick(plan.Projects).Id;
      task.Name = Text(false);
      task.Start = Day();
      task.Milestone = Chance(0.15);
      task.End = task.Milestone ? task.Start : task.Start + Int(0, 40);
      task.Completed = Chance(0.3);
      task.Progress = Chance(0.3)   ? 0
                      : Chance(0.2) ? 100
                      : Chance(0.1) ? 100 + Int(1, 100) / 4.0
                      : Chance(0.5) ? Int(0, 1000) / 10.0
                                    : AnyReal(100);
      task.Notes = Chance(0.6) ? Text(true) : "";
      plan.Tasks.push_back(task);
    }
    id = Int(0, 500);
    const int resources = Int(0, 6);
    for (int r = 0; r < resources; ++r) {
      TqorExchangeResource resource;
      resource.Id = NextId(id);
      resource.Name = Text(false);
      const std::string initials = Text(false);
      resource.Initials = Chance(0.8) ? initials.substr(0, Utf8Boundary(initials, 4)) : "";
      resource.HoursPerWeek = Pick(std::vector<double>{40, 37.5, 20, 0, AnyReal(60)});
      resource.CostPerHour = Chance(0.5) ? Int(0, 600) / 4.0 : AnyReal(150);
      resource.MaxUnits = Pick(std::vector<double>{100, 50, 33.3, 250, AnyReal(200)});
      resource.Notes = Chance(0.5) ? Text(true) : "";
      plan.Resources.push_back(resource);
    }
    id = Int(0, 500);
    for (const TqorExchangeTask& task : plan.Tasks) {
      for (int a = resources ? Int(0, 2) : 0; a > 0; --a)
        plan.Assignments.push_back({NextId(id), task.Id, Pick(plan.Resources).Id,
                                    Pick(std::vector<double>{100, 50, 33.3, 12.5, AnyReal(100)})});
    }
    id = Int(0, 500);
    for (const TqorExchangeResource& resource : plan.Resources) {
      for (int h = Int(0, 3); h > 0; --h) {
        const int32_t start = Day();
        plan.Holidays.push_back({NextId(id), resource.Id, start, start + Int(0, 10)});
      }
    }
    // Links only from earlier to later tasks of a random order: no cycle, no pair twice.
    std::vector<size_t> order(plan.Tasks.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), rng_);
    std::set<std::pair<size_t, size_t>> pairs;
    id = Int(0, 500);
    for (int l = order.size() < 2 ? 0 : Int(0, 2 * static_cast<int>(order.size())); l > 0; --l) {
      size_t a = static_cast<size_t>(Int(0, static_cast<int>(order.size()) - 1));
      size_t b = static_cast<size_t>(Int(0, static_cast<int>(order.size()) - 1));
      if (a == b) continue;
      if (a > b) std::swap(a, b);
      if (!pairs.insert({a, b}).second) continue;
      plan.Links.push_back({NextId(id), plan.Tasks[order[a]].Id, plan.Tasks[order[b]].Id,
                            Pick(std::vector<TqorLinkType>{TqorLinkType::FS, TqorLinkType::SS,
                                                           TqorLinkType::FF, TqorLinkType::SF}),
                            Int(-5, 10)});
    }
    std::shuffle(plan.Links.begin(), plan.Links.end(), rng_);
    return plan;
  }

 private:
  std::mt19937_64 rng_;
  const int32_t base_ = static_cast<int32_t>(EncodeDate(2024, 1, 1));
};

// --- Plans as tables of rows ---

// A plan's tables as text rows without ids, references written as the position (in file order)
// of the row they name; the tasks in the order an MSPDI file holds them (grouped by project, in
// the order of the projects), the rows of the tables that hold references sorted.
struct TTables {
  std::vector<std::string> Projects, Tasks, Resources, Assignments, Holidays, Links;
  bool operator==(const TTables&) const = default;
};

void PrintTo(const TTables& t, std::ostream* os) {
  auto table = [&](const char* name, const std::vector<std::string>& rows) {
    *os << "\n" << name << ":";
    for (const std::string& row : rows) *os << "\n  " << row;
  };
  table("Projects", t.Projects);
  table("Tasks", t.Tasks);
  table("Resources", t.Resources);
  table("Assignments", t.Assignments);
  table("Holidays", t.Holidays);
  table("Links", t.Links);
}

TTables Tables(const TqorExchangePlan& plan) {
  TTables out;
  std::map<int32_t, size_t> project, task, resource;
  for (size_t p = 0; p < plan.Projects.size(); ++p) {
    const TqorExchangeProject& x = plan.Projects[p];
    project[x.Id] = p;
    out.Projects.push_back(
        x.Name + "|" + x.Tag + "|" + std::to_string(x.Start) + "|" + std::to_string(x.End) + "|" +
        Real(x.BudgetHours) + "|" + Real(x.ActualHours) + "|" + Real(x.BudgetCost) + "|" +
        Real(x.ActualCost) + "|" + (x.Completed ? "done" : "open") + "|" + x.Notes);
  }
  std::vector<const TqorExchangeTask*> tasks;
  for (const TqorExchangeTask& t : plan.Tasks) tasks.push_back(&t);
  std::stable_sort(tasks.begin(), tasks.end(), [&](const auto* a, const auto* b) {
    return project.at(a->ProjectId) < project.at(b->ProjectId);
  });
  for (size_t i = 0; i < tasks.size(); ++i) {
    const TqorExchangeTask& x = *tasks[i];
    task[x.Id] = i;
    out.Tasks.push_back("#" + std::to_string(project.at(x.ProjectId)) + "|" + x.Name + "|" +
                        std::to_string(x.Start) + "|" + std::to_string(x.End) + "|" +
                        (x.Milestone ? "milestone" : "task") + "|" +
                        (x.Completed ? "done" : "open") + "|" + Real(x.Progress) + "|" + x.Notes);
  }
  for (size_t r = 0; r < plan.Resources.size(); ++r) {
    const TqorExchangeResource& x = plan.Resources[r];
    resource[x.Id] = r;
    out.Resources.push_back(x.Name + "|" + x.Initials + "|" + Real(x.HoursPerWeek) + "|" +
                            Real(x.CostPerHour) + "|" + Real(x.MaxUnits) + "|" + x.Notes);
  }
  for (const TqorExchangeAssignment& x : plan.Assignments)
    out.Assignments.push_back("#" + std::to_string(task.at(x.TaskId)) + "|#" +
                              std::to_string(resource.at(x.ResourceId)) + "|" + Real(x.Units));
  for (const TqorExchangeHoliday& x : plan.Holidays)
    out.Holidays.push_back("#" + std::to_string(resource.at(x.ResourceId)) + "|" +
                           std::to_string(x.Start) + "|" + std::to_string(x.End));
  for (const TqorExchangeLink& x : plan.Links)
    out.Links.push_back("#" + std::to_string(task.at(x.PredecessorId)) + "|#" +
                        std::to_string(task.at(x.SuccessorId)) + "|" +
                        std::string(LinkTypeText(x.Type)) + "|" + std::to_string(x.Lag));
  for (auto* rows : {&out.Assignments, &out.Holidays, &out.Links})
    std::sort(rows->begin(), rows->end());
  return out;
}

// Whether each table of an imported plan is numbered 1, 2, ... in order.
template <typename T>
bool NumberedInOrder(const std::vector<T>& rows) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].Id != static_cast<int32_t>(i) + 1) return false;
  return true;
}

// --- Round trip ---

TEST(MspdiRoundTrip, RandomPlansComeBackTableByTable) {
  const int plans = EnvInt("VZ_MSPDI_PLANS", 25);
  const int seed = EnvInt("VZ_MSPDI_SEED", 4711);
  TRandomPlans random(static_cast<uint64_t>(seed));
  size_t tasks = 0, links = 0;
  for (int i = 0; i < plans; ++i) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", plan " + std::to_string(i));
    const TqorExchangePlan plan = random.Plan();
    size_t dropped = 1;
    const std::string xml = ExportMspdi(plan, {}, &dropped);
    EXPECT_EQ(dropped, 0u);
    const TqorMspdiImport back = ImportMspdi(xml, "folder/" + plan.Name + ".xml");
    EXPECT_EQ(back.Summary, std::vector<std::string>());
    EXPECT_EQ(back.Plan.Name, plan.Name + ".xml");
    EXPECT_TRUE(NumberedInOrder(back.Plan.Projects) && NumberedInOrder(back.Plan.Tasks) &&
                NumberedInOrder(back.Plan.Resources) && NumberedInOrder(back.Plan.Assignments) &&
                NumberedInOrder(back.Plan.Holidays) && NumberedInOrder(back.Plan.Links));
    EXPECT_EQ(Tables(back.Plan), Tables(plan));
    // What the import read, written again, is the same file.
    TqorExchangePlan again = back.Plan;
    again.Name = plan.Name;
    EXPECT_TRUE(ExportMspdi(again) == xml);
    tasks += plan.Tasks.size();
    links += plan.Links.size();
  }
  RecordProperty("tasks", static_cast<int>(tasks));
  RecordProperty("links", static_cast<int>(links));
}

// Another working day: the times move, the lags in tenths of minutes follow the day's length,
// and what is read back is the same plan.
TEST(MspdiRoundTrip, AnotherWorkingDayKeepsThePlan) {
  TRandomPlans random(static_cast<uint64_t>(EnvInt("VZ_MSPDI_SEED", 4711)) + 1);
  TqorMspdiExportOptions day;
  day.DayStart = 7 * 60 + 30;
  day.BreakStart = day.BreakEnd = 11 * 60;
  day.DayFinish = 14 * 60 + 45;
  for (int i = 0; i < 5; ++i) {
    const TqorExchangePlan plan = random.Plan();
    const std::string xml = ExportMspdi(plan, day);
    EXPECT_NE(xml.find("<MinutesPerDay>435</MinutesPerDay>"), std::string::npos);
    EXPECT_EQ(Tables(ImportMspdi(xml, "x.xml").Plan), Tables(plan));
  }
}

// --- The Planner's reader ---

int32_t PlannerDay(const std::string& text) {
  // "20250106T080000Z"
  double day = 0;
  if (text.size() < 8 ||
      !TryEncodeDate(std::atoi(text.substr(0, 4).c_str()), std::atoi(text.substr(4, 2).c_str()),
                     std::atoi(text.substr(6, 2).c_str()), day))
    ADD_FAILURE() << "not a Planner date: " << text;
  return static_cast<int32_t>(day);
}

TEST(MspdiForeignReader, PlannerStylesheetReadsTheExport) {
  const std::string xsl = "/usr/share/planner/stylesheets/msp2planner.xsl";
  const std::string dtd = "/usr/share/planner/dtd/mrproject-0.6.dtd";
  if (!Have("xsltproc") || !Have("xmllint") || !Have(xsl, true) || !Have(dtd, true))
    GTEST_SKIP() << "xsltproc, xmllint or the Planner's stylesheet and DTD are missing";
  TempFolder dir("planner");
  TRandomPlans random(static_cast<uint64_t>(EnvInt("VZ_MSPDI_SEED", 4711)) + 2);
  const int plans = std::max(1, EnvInt("VZ_MSPDI_PLANS", 25) / 5);
  for (int i = 0; i < plans; ++i) {
    SCOPED_TRACE("plan " + std::to_string(i));
    const TqorExchangePlan plan = random.Plan();
    const std::string source = dir / "export.xml", target = dir / "planner.xml";
    SaveStringToFile(source, ExportMspdi(plan));
    const auto [converted, status] =
        RunShell("xsltproc " + xsl + " " + source + " > " + target + " 2>&1");
    ASSERT_EQ(status, 0) << converted;
    const auto [lint, valid] =
        RunShell("xmllint --noout --dtdvalid " + dtd + " " + target + " 2>&1");
    ASSERT_EQ(valid, 0) << lint;

    TqorXMLParser2 doc;
    doc.LoadFromFile(target);
    ASSERT_EQ(doc.LastError(), "");
    EXPECT_EQ(doc.GetAttributeStr("name"), plan.Name);
    const TqorXMLNode2* tasks = doc.FindChild("tasks");
    ASSERT_TRUE(tasks);

    // The Planner's tasks as the plan's rows: projects on top, their tasks below them.
    std::map<std::string, std::string> rowOfId;  // Planner task id to "P<p>" or "T<id>"
    std::vector<std::string> got, want;
    std::vector<const TqorXMLNode2*> plannerTasks;
    for (int p = 0; p < tasks->ChildCount(); ++p) {
      const TqorXMLNode2* project = tasks->GetChild(p);
      rowOfId[project->GetAttributeStr("id")] = "P" + std::to_string(p);
      got.push_back("P|" + project->GetAttributeStr("name") + "|" +
                    std::to_string(PlannerDay(project->GetAttributeStr("start"))) + "|" +
                    std::to_string(PlannerDay(project->GetAttributeStr("end"))) + "|" +
                    project->GetAttributeStr("note"));
      for (int t = 0; t < project->ChildCount(); ++t) {
        const TqorXMLNode2* task = project->GetChild(t);
        if (task->Name() != "task") continue;
        plannerTasks.push_back(task);
        got.push_back("T|" + task->GetAttributeStr("name") + "|" +
                      std::to_string(PlannerDay(task->GetAttributeStr("start"))) + "|" +
                      std::to_string(PlannerDay(task->GetAttributeStr("end"))) + "|" +
                      task->GetAttributeStr("type") + "|" + task->GetAttributeStr("note"));
      }
    }
    std::map<int32_t, const TqorExchangeTask*> taskOfId;
    std::vector<const TqorExchangeTask*> inFileOrder;
    for (const TqorExchangeProject& project : plan.Projects) {
      want.push_back("P|" + project.Name + "|" + std::to_string(project.Start) + "|" +
                     std::to_string(project.End) + "|" + project.Notes);
      for (const TqorExchangeTask& task : plan.Tasks) {
        if (task.ProjectId != project.Id) continue;
        taskOfId[task.Id] = &task;
        inFileOrder.push_back(&task);
        want.push_back("T|" + task.Name + "|" + std::to_string(task.Start) + "|" +
                       std::to_string(task.End) + "|" + (task.Milestone ? "milestone" : "normal") +
                       "|" + task.Notes);
      }
    }
    EXPECT_EQ(got, want);
    ASSERT_EQ(plannerTasks.size(), inFileOrder.size());
    for (size_t t = 0; t < plannerTasks.size(); ++t)
      rowOfId[plannerTasks[t]->GetAttributeStr("id")] = "T" + std::to_string(inFileOrder[t]->Id);

    // Predecessors: the Planner's lag is in seconds of 8-hour working days.
    std::vector<std::string> gotLinks, wantLinks;
    for (size_t t = 0; t < plannerTasks.size(); ++t) {
      const TqorXMLNode2* predecessors = plannerTasks[t]->FindChild("predecessors");
      for (int k = 0; predecessors && k < predecessors->ChildCount(); ++k) {
        const TqorXMLNode2* p = predecessors->GetChild(k);
        gotLinks.push_back(rowOfId[p->GetAttributeStr("predecessor-id")] + ">T" +
                           std::to_string(inFileOrder[t]->Id) + "|" + p->GetAttributeStr("type") +
                           "|" + Real(std::atof(p->GetAttributeStr("lag").c_str()) / 28800));
      }
    }
    for (const TqorExchangeLink& link : plan.Links)
      wantLinks.push_back("T" + std::to_string(link.PredecessorId) + ">T" +
                          std::to_string(link.SuccessorId) + "|" +
                          std::string(LinkTypeText(link.Type)) + "|" + Real(link.Lag));
    std::sort(gotLinks.begin(), gotLinks.end());
    std::sort(wantLinks.begin(), wantLinks.end());
    EXPECT_EQ(gotLinks, wantLinks);

    // Resources and allocations.
    const TqorXMLNode2* resources = doc.FindChild("resources");
    ASSERT_TRUE(resources);
    ASSERT_EQ(resources->ChildCount(), static_cast<int>(plan.Resources.size()));
    std::map<std::string, size_t> resourceOfId;
    for (size_t r = 0; r < plan.Resources.size(); ++r) {
      const TqorXMLNode2* x = resources->GetChild(static_cast<int>(r));
      resourceOfId[x->GetAttributeStr("id")] = r;
      EXPECT_EQ(x->GetAttributeStr("name"), plan.Resources[r].Name);
      EXPECT_EQ(x->GetAttributeStr("short-name"), plan.Resources[r].Initials);
      EXPECT_NEAR(std::atof(x->GetAttributeStr("units").c_str()) * 100, plan.Resources[r].MaxUnits,
                  1e-9 * std::max(1.0, plan.Resources[r].MaxUnits));
      EXPECT_EQ(std::atof(x->GetAttributeStr("std-rate").c_str()), plan.Resources[r].CostPerHour);
    }
    const TqorXMLNode2* allocations = doc.FindChild("allocations");
    ASSERT_TRUE(allocations);
    ASSERT_EQ(allocations->ChildCount(), static_cast<int>(plan.Assignments.size()));
    for (int a = 0; a < allocations->ChildCount(); ++a) {
      const TqorXMLNode2* x = allocations->GetChild(a);
      const TqorExchangeAssignment& want = plan.Assignments[static_cast<size_t>(a)];
      EXPECT_EQ(rowOfId[x->GetAttributeStr("task-id")], "T" + std::to_string(want.TaskId));
      EXPECT_EQ(plan.Resources[resourceOfId.at(x->GetAttributeStr("resource-id"))].Id,
                want.ResourceId);
      EXPECT_NEAR(std::atof(x->GetAttributeStr("units").c_str()), want.Units,
                  1e-9 * std::max(1.0, want.Units));
    }
  }
}

// --- TaskJuggler's writer ---

// The fields of a line of tj3's CSV: separated by ";", in double quotes or bare.
std::vector<std::string> CsvFields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      // tj3 writes a quote inside a field as it is: it closes the field only before ";" or at
      // the end.
      if (quoted && (i + 1 == line.size() || line[i + 1] == ';'))
        quoted = false;
      else if (!quoted && field.empty())
        quoted = true;
      else
        field += c;
    } else if (c == ';' && !quoted) {
      fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(field);
  return fields;
}

// The rows of a CSV report after its heading, each a map from column heading to field.
std::vector<std::map<std::string, std::string>> CsvRows(const std::string& path) {
  std::vector<std::map<std::string, std::string>> rows;
  std::vector<std::string> lines;
  std::string text = LoadStringFromFile(path);
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
    at = end + 1;
  }
  if (lines.empty()) return rows;
  const std::vector<std::string> heading = CsvFields(lines[0]);
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> fields = CsvFields(lines[i]);
    std::map<std::string, std::string> row;
    for (size_t k = 0; k < heading.size() && k < fields.size(); ++k) row[heading[k]] = fields[k];
    rows.push_back(row);
  }
  return rows;
}

int32_t IsoDay(const std::string& text) {
  const double day = DateFromISOText(text);
  if (day == 0) ADD_FAILURE() << "not a date: " << text;
  return static_cast<int32_t>(day);
}

std::string Trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(' ');
  return a == std::string::npos ? "" : s.substr(a);
}

// The entries of a list column: "Name (id) ]->[ 2025-01-10, Other (id2) [->[ 2025-01-06"
// gives {id, "]->[ 2025-01-10"}, ...; "Ana (ana), Cy (cy)" gives {ana, ""}, {cy, ""}.
std::vector<std::pair<std::string, std::string>> ListEntries(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> entries;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find(" (", at);
    const size_t close = text.find(')', open);
    if (open == std::string::npos || close == std::string::npos) break;
    size_t next = text.find(", ", close);
    const std::string id = text.substr(open + 2, close - open - 2);
    const std::string rest = Trimmed(
        text.substr(close + 1, (next == std::string::npos ? text.size() : next) - close - 1));
    entries.push_back({id, rest});
    if (next == std::string::npos) break;
    at = next + 2;
  }
  return entries;
}

// tj3's dependency arrows: "]" is an end, "[" a start, predecessor side first.
std::string ArrowType(const std::string& arrow) {
  if (arrow.rfind("]->[", 0) == 0) return "FS";
  if (arrow.rfind("[->[", 0) == 0) return "SS";
  if (arrow.rfind("]->]", 0) == 0) return "FF";
  if (arrow.rfind("[->]", 0) == 0) return "SF";
  ADD_FAILURE() << "not a dependency: " << arrow;
  return "?";
}

std::string IsoText(int32_t day) {
  int y, m, d;
  DecodeDate(day, y, m, d);
  return CFormat("%04d-%02d-%02d", y, m, d);
}

// The reports the test asks tj3 for: the schedule as MS Project XML and as a CSV list.
const char* const kTaskReports =
    "export \"plan\" { formats mspxml }\n"
    "taskreport \"tasks\" { formats csv\n"
    "  columns id, name, start, end, duration, precursors, resources, complete\n"
    "  timeformat \"%Y-%m-%d\" loadunit days numberformat \"-\" \"\" \"\" \".\" 4 }\n";

// The resources' rates and efficiencies, and their free work in a week without work (its
// working hours times the efficiency).
std::string ResourceReport(int32_t monday) {
  return "resourcereport \"resources\" { formats csv\n"
         "  columns id, name, rate, efficiency, freework loadunit hours\n"
         "  period " +
         IsoText(monday) + " - " + IsoText(monday + 5) +
         "\n  numberformat \"-\" \"\" \"\" \".\" 6 currencyformat \"-\" \"\" \"\" \".\" 6 }\n";
}

std::string Fixed(double v) {
  return CFormat("%.6f", v);
}

// The test projects work 8-hour days (dailyworkinghours 8): tj3 writes a rate per day, MS
// Project XML one per hour.
constexpr double kTaskJugglerDayHours = 8;

TEST(MspdiForeignWriter, TaskJugglerSchedulesComeBack) {
  if (!Have("tj3")) GTEST_SKIP() << "tj3 is missing";
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(fs::path(VZ_SOURCE_DIR) / "tests/data")) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("mspdi-", 0) == 0 && entry.path().extension() == ".tjp")
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 2u);
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    TempFolder dir("tj3-" + file.stem().string());
    auto tj3 = [&](const std::string& reports, const std::string& text) {
      SaveStringToFile(dir / reports, text);
      return RunShell("cd " + dir.Path() + " && tj3 --silent --no-color -o " + dir.Path() + " " +
                      file.string() + " " + reports + " 2>&1");
    };
    const auto [scheduled, status] = tj3("tasks.tji", kTaskReports);
    ASSERT_EQ(status, 0) << scheduled;
    const auto taskRows = CsvRows(dir / "tasks.csv");
    ASSERT_FALSE(taskRows.empty());
    int32_t last = 0;
    for (const auto& row : taskRows) last = std::max(last, IsoDay(row.at("End")));
    const auto [reported, status2] =
        tj3("resources.tji", ResourceReport(static_cast<int32_t>(MondayOf(last)) + 7));
    ASSERT_EQ(status2, 0) << reported;
    const auto resourceRows = CsvRows(dir / "resources.csv");

    const TqorMspdiImport imported =
        ImportMspdi(LoadStringFromFile(dir / "plan.xml"), dir / "plan.xml");
    const TqorExchangePlan& plan = imported.Plan;
    for (const std::string& line : imported.Summary) std::printf("  %s\n", line.c_str());

    // What tj3 scheduled, as the import maps it: top-level tasks with tasks in them are
    // projects, the other top-level tasks go into the project named after the file, tasks in
    // deeper containers are named by their path from below the project.
    std::map<std::string, std::map<std::string, std::string>> rowOf;
    std::set<std::string> containers;
    for (const auto& row : taskRows) {
      const std::string& id = row.at("Id");
      rowOf[id] = row;
      for (size_t dot = id.find('.'); dot != std::string::npos; dot = id.find('.', dot + 1))
        containers.insert(id.substr(0, dot));
    }
    auto depth = [](const std::string& id) { return std::count(id.begin(), id.end(), '.') + 1; };
    auto fullName = [&](const std::string& id) {
      std::string name;
      for (size_t dot = id.find('.'); dot != std::string::npos; dot = id.find('.', dot + 1)) {
        const std::string up = id.substr(0, dot);
        if (depth(up) >= 2) name += Trimmed(rowOf.at(up).at("Name")) + " / ";
      }
      return name + Trimmed(rowOf.at(id).at("Name"));
    };
    const std::string fileProject = "plan";
    std::vector<std::string> wantProjects, wantTasks, wantLinks, wantResources, wantAssignments;
    std::map<std::string, double> completion;
    int32_t fileStart = INT32_MAX, fileEnd = INT32_MIN;
    std::map<std::string, const std::map<std::string, std::string>*> resourceOf;
    for (const auto& row : resourceRows) resourceOf[row.at("Id")] = &row;
    for (const auto& row : taskRows) {
      const std::string& id = row.at("Id");
      const int32_t start = IsoDay(row.at("Start")), end = IsoDay(row.at("End"));
      if (containers.count(id)) {
        if (depth(id) == 1)
          wantProjects.push_back(Trimmed(row.at("Name")) + "|" + std::to_string(start) + "|" +
                                 std::to_string(end));
        continue;
      }
      const std::string project =
          depth(id) == 1 ? fileProject : Trimmed(rowOf.at(id.substr(0, id.find('.'))).at("Name"));
      if (depth(id) == 1) {
        fileStart = std::min(fileStart, start);
        fileEnd = std::max(fileEnd, end);
      }
      const bool milestone = std::atof(row.at("Duration").c_str()) == 0;
      wantTasks.push_back(project + "|" + fullName(id) + "|" + std::to_string(start) + "|" +
                          std::to_string(end) + "|" + (milestone ? "milestone" : "task"));
      if (!milestone) completion[fullName(id)] = std::atof(row.at("Completion").c_str());
      for (const auto& [from, arrow] : ListEntries(row.at("Precursors")))
        wantLinks.push_back(fullName(from) + ">" + fullName(id) + "|" + ArrowType(arrow) + "|0");
      for (const auto& [resource, none] : ListEntries(row.at("Resources"))) {
        const auto& r = *resourceOf.at(resource);
        wantAssignments.push_back(fullName(id) + "|" + r.at("Name") + "|" +
                                  Fixed(std::atof(r.at("Efficiency").c_str()) * 100));
      }
    }
    if (fileStart <= fileEnd)
      wantProjects.push_back(fileProject + "|" + std::to_string(fileStart) + "|" +
                             std::to_string(fileEnd));
    for (const auto& row : resourceRows) {
      const double efficiency = std::atof(row.at("Efficiency").c_str());
      wantResources.push_back(row.at("Name") + "|" + row.at("Id") + "|" +
                              Fixed(std::atof(row.at("Rate").c_str()) / kTaskJugglerDayHours) +
                              "|" + Fixed(efficiency * 100) + "|" +
                              Fixed(std::atof(row.at("Free Work").c_str()) / efficiency));
    }

    std::vector<std::string> gotProjects, gotTasks, gotLinks, gotResources, gotAssignments;
    for (const TqorExchangeProject& p : plan.Projects)
      gotProjects.push_back(p.Name + "|" + std::to_string(p.Start) + "|" + std::to_string(p.End));
    for (const TqorExchangeTask& t : plan.Tasks) {
      gotTasks.push_back(plan.Projects.at(static_cast<size_t>(t.ProjectId - 1)).Name + "|" +
                         t.Name + "|" + std::to_string(t.Start) + "|" + std::to_string(t.End) +
                         "|" + (t.Milestone ? "milestone" : "task"));
      if (t.Milestone) continue;
      // tj3's CSV rounds the percentage, its MS Project XML cuts it to a whole percent.
      ASSERT_TRUE(completion.count(t.Name)) << t.Name;
      EXPECT_NEAR(t.Progress, completion[t.Name], 1) << t.Name;
      EXPECT_EQ(t.Completed, t.Progress == 100) << t.Name;
    }
    auto taskName = [&](int32_t id) { return plan.Tasks.at(static_cast<size_t>(id - 1)).Name; };
    for (const TqorExchangeLink& l : plan.Links)
      gotLinks.push_back(taskName(l.PredecessorId) + ">" + taskName(l.SuccessorId) + "|" +
                         std::string(LinkTypeText(l.Type)) + "|" + std::to_string(l.Lag));
    for (const TqorExchangeResource& r : plan.Resources)
      gotResources.push_back(r.Name + "|" + r.Initials + "|" + Fixed(r.CostPerHour) + "|" +
                             Fixed(r.MaxUnits) + "|" + Fixed(r.HoursPerWeek));
    for (const TqorExchangeAssignment& a : plan.Assignments)
      gotAssignments.push_back(taskName(a.TaskId) + "|" +
                               plan.Resources.at(static_cast<size_t>(a.ResourceId - 1)).Name + "|" +
                               Fixed(a.Units));
    for (auto* rows : {&wantProjects, &wantTasks, &wantLinks, &wantResources, &wantAssignments,
                       &gotProjects, &gotTasks, &gotLinks, &gotResources, &gotAssignments})
      std::sort(rows->begin(), rows->end());
    EXPECT_EQ(gotProjects, wantProjects);
    EXPECT_EQ(gotTasks, wantTasks);
    EXPECT_EQ(gotLinks, wantLinks);
    EXPECT_EQ(gotResources, wantResources);
    EXPECT_EQ(gotAssignments, wantAssignments);
    EXPECT_FALSE(wantLinks.empty());
    EXPECT_FALSE(wantAssignments.empty());
  }
}

}  // namespace
