#include "tools/vazadod-cli/cliSample.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/core/qorLinkWorkflows.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "db/access/qorDatabaseController.h"
#include "db/objects/zuzDatabase.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorUtf8.h"
#include "planner/qorPlannerModel.h"

namespace st = qorStatements;

namespace {

constexpr std::array kProjectNames = {
    "Website relaunch",       "Café Müller refit",   "O'Brien & Sons audit", "Zürich office move",
    "Crème brûlée launch",    "Año nuevo campaign",  "Smørrebrød catering",  "Łódź warehouse",
    "São Paulo roadshow",     "D'Angelo bakery app", "Göteborg trade fair",  "Île-de-France survey",
    "Customer portal",        "Payroll migration",   "Kraków data centre",   "Reykjavík expedition",
    "Château Lafite tasting", "Mobile app 2.0",      "Annual report",        "Über-cloud pilot"};
constexpr std::array kProjectTags = {"WEB",  "CAFÉ", "AUDIT", "MOVE", "CRÈME", "AÑO",    "FOOD",
                                     "ŁÓDŹ", "SP",   "APP",   "FAIR", "IDF",   "PORTAL", "PAY",
                                     "DC",   "ISL",  "VIN",   "MOB",  "AR",    "CLOUD"};
constexpr std::array kTaskNames = {"Draft the brief",
                                   "Review Zoë's design",
                                   "Write the requirements",
                                   "Set up the build",
                                   "Customer interviews",
                                   "Prototype",
                                   "Usability test",
                                   "Translate into français",
                                   "Fix the bugs",
                                   "Load test",
                                   "Train the staff",
                                   "Order the hardware",
                                   "Négociation with suppliers",
                                   "Write the user's guide",
                                   "Security review",
                                   "Data migration",
                                   "Budget check",
                                   "Print the flyers",
                                   "Update the CRM",
                                   "Retrospective"};
constexpr std::array kMilestoneNames = {"Kick-off", "Client sign-off", "Go-live",
                                        "Board's approval", "Hand-over"};
constexpr std::array kFirstNames = {"Zoë",    "José",   "Åsa",       "François", "Siobhán",
                                    "Jürgen", "Łukasz", "Mary-Kate", "Chloé",    "Ólafur",
                                    "Renée",  "Dónal",  "Ingrid",    "Seán",     "Benoît"};
constexpr std::array kLastNames = {"O'Neil", "Álvarez",  "Öberg",    "Lefèvre",  "O'Connor",
                                   "Groß",   "Wójcik",   "D'Arcy",   "Müller",   "Þórsson",
                                   "Dupré",  "MacAoidh", "Nørgaard", "Ó Briain", "Łęcki"};
constexpr std::array kHoursPerWeek = {40.0, 40.0, 38.5, 32.0, 24.0, 20.0};
constexpr std::array kUnits = {100.0, 75.0, 50.0, 50.0, 25.0, 37.5, 20.0};

// The first character of each word of the name (words split at blanks and hyphens: O'Neil is one),
// in upper case where it is a plain letter.
std::string InitialsOf(const std::string& name) {
  std::string initials;
  bool atWord = true;
  for (size_t i = 0; i < name.size();) {
    char32_t cp = 0;
    const size_t n = std::max<size_t>(1, DecodeUtf8(name, i, cp));
    const bool separator = name[i] == ' ' || name[i] == '-';
    if (atWord && !separator) {
      std::string c = name.substr(i, n);
      if (c.size() == 1 && c[0] >= 'a' && c[0] <= 'z') c[0] = static_cast<char>(c[0] - 32);
      initials += c;
    }
    atWord = separator;
    i += n;
  }
  return initials;
}

struct TBooking {
  double Start, End, Units;
};

struct TResource {
  int32_t Id = 0;
  double HoursPerWeek = 40;
  double MaxUnits = 100;
  std::vector<std::pair<double, double>> Holidays;
  std::vector<TBooking> Bookings;

  bool OnHoliday(double start, double end) const {
    for (const auto& [from, to] : Holidays)
      if (to >= start && from <= end) return true;
    return false;
  }
  // The units in use over the period, as the allocation check sums them.
  double UnitsInUse(double start, double end) const {
    double used = 0;
    for (const TBooking& b : Bookings)
      if (b.End >= start && b.Start <= end) used += b.Units;
    return used;
  }
};

// Links from earlier to later tasks of each project (by id, so that they make no circle), then
// the plan rescheduled through the link workflows: the tasks satisfy their links, their hours and
// their projects' follow. Returns the number of links.
int AddSampleLinks(TqorDatabaseController& db, const TSampleOptions& o, std::mt19937_64& rng) {
  std::map<int32_t, std::vector<int32_t>> tasksOf;
  TqorDatabaseRecordSet* rows =
      db.OpenRecordSet("SELECT TaskId, ProjectId FROM Tasks ORDER BY TaskId");
  for (; !db.Eof(rows); db.Next(rows))
    tasksOf[db.GetInteger(rows, "ProjectId")].push_back(db.GetInteger(rows, "TaskId"));
  db.CloseRecordSet(rows);
  auto between = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const char* const types[] = {"FS", "FS", "FS", "FS", "FS", "FS", "SS", "FF", "SF"};
  int links = 0;
  std::set<std::pair<int32_t, int32_t>> made;
  db.Database().StartTransaction();
  for (const auto& [project, ids] : tasksOf) {
    if (ids.size() < 2) continue;
    const int wanted = static_cast<int>(ids.size()) * o.LinksPer100Tasks / 100;
    for (int n = 0, tries = 0; n < wanted && tries < 4 * wanted + 10; ++tries) {
      const size_t to = static_cast<size_t>(between(1, static_cast<int>(ids.size()) - 1));
      const size_t from = static_cast<size_t>(
          between(std::max(0, static_cast<int>(to) - 6), static_cast<int>(to) - 1));
      if (!made.insert({ids[from], ids[to]}).second) continue;
      const char* type = types[between(0, 8)];
      const int lag = between(0, 9) < 7 ? 0 : between(-1, 3);
      db.Execute(st::InsertLink(ids[from], ids[to], type, lag));
      ++n;
      ++links;
    }
  }
  db.Database().Commit();
  TqorPlannerModel planner;
  LoadPlanner(db, planner);
  TqorLinkWorkflows(db, planner).Reschedule();
  return links;
}

}  // namespace

TSampleCounts WriteSamplePlanner(const std::string& path, const TSampleOptions& o) {
  if (std::filesystem::exists(path)) {
    throw std::runtime_error(path + " exists; a sample is only written to a new file");
  }
  CreatePlannerDatabase(path);
  TSampleCounts counts;
  try {
    TqorDatabaseController db;
    db.Database().SetExclusive(true);
    db.OpenDatabase(path);
    std::mt19937_64 rng(o.Seed);
    auto pick = [&rng](auto& list) -> decltype(list[0]) {
      return list[std::uniform_int_distribution<size_t>(0, list.size() - 1)(rng)];
    };
    auto between = [&rng](int lo, int hi) {
      return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    auto chance = [&rng](double p) { return std::bernoulli_distribution(p)(rng); };
    const double today = std::floor(o.Today);

    // Resources and their holidays.
    std::vector<TResource> resources;
    db.Database().StartTransaction();
    for (int r = 0; r < o.Resources; ++r) {
      // Names run through the lists, so that even a small team has accents and apostrophes.
      const size_t first = static_cast<size_t>(r) % kFirstNames.size();
      const size_t last = (static_cast<size_t>(r) + static_cast<size_t>(r) / kFirstNames.size()) %
                          kLastNames.size();
      const std::string name = std::string(kFirstNames[first]) + " " + kLastNames[last];
      db.Execute(st::InsertResource(name));
      TResource res;
      res.Id = st::NewResourceId(db);
      res.HoursPerWeek = pick(kHoursPerWeek);
      res.MaxUnits = res.HoursPerWeek < 30 ? 60 : 100;
      db.Execute(st::UpdateResource(
          res.Id,
          {name, InitialsOf(name).substr(0, 40), res.HoursPerWeek, 45 + 0.5 * between(0, 150),
           res.MaxUnits, chance(0.3) ? "Prefers mornings; speaks français & English" : ""}));
      for (int h = between(1, 3); h > 0; --h) {
        const double start = today + between(-60, 200);
        const double end = start + between(2, 13);
        db.Execute(st::InsertHoliday(res.Id, start, end));
        res.Holidays.emplace_back(start, end);
        ++counts.Holidays;
      }
      resources.push_back(std::move(res));
    }
    db.Database().Commit();
    counts.Resources = o.Resources;

    std::string filter;
    for (int p = 0; p < o.Projects; ++p) {
      db.Database().StartTransaction();
      // Names run through the list (from a place the seed picks), so that they differ.
      const size_t kind =
          static_cast<size_t>((static_cast<uint64_t>(p) + o.Seed) % kProjectNames.size());
      std::string name = kProjectNames[kind];
      if (p >= static_cast<int>(kProjectNames.size())) {
        name += " " + std::to_string(p / kProjectNames.size() + 1);
      }
      db.Execute(st::InsertProject(name, today));
      const int32_t projectId = st::NewProjectId(db);
      const double projectStart = today + between(-60, 20);
      const double projectEnd = projectStart + between(20, 120);
      double projectHours = 0;
      // The tasks' values first; their rows are inserted together and their ids read back
      // through the project's index (a MAX look-up per task would read the whole table).
      std::vector<TqorTaskValues> tasks(static_cast<size_t>(o.TasksPerProject));
      for (TqorTaskValues& task : tasks) {
        const bool milestone = chance(0.1);
        task.Name = milestone ? pick(kMilestoneNames) : pick(kTaskNames);
        task.IsMilestone = milestone;
        const int span = static_cast<int>(projectEnd - projectStart);
        task.StartDate = projectStart + between(0, std::max(0, span - 1));
        task.EndDate = milestone ? task.StartDate : task.StartDate + between(1, 15);
        if (!milestone && chance(0.05)) task.EndDate = projectEnd + between(1, 10);  // overdue
        if (task.EndDate < today) {
          task.IsCompleted = chance(0.85);  // the others are late
          task.Progress = task.IsCompleted ? 100 : between(40, 90);
        } else if (task.StartDate <= today) {
          task.Progress =
              std::floor(100 * (today - task.StartDate + 1) / (task.EndDate - task.StartDate + 1));
        }
        if (chance(0.15)) task.Notes = "Ask Zoë about the client's \"must-haves\"";
        db.Execute(st::InsertTask(task.Name, today, projectId));
      }
      std::vector<int32_t> taskIds;
      {
        TqorDatabaseRecordSet* ids = db.OpenRecordSet(
            "SELECT TaskId FROM Tasks WHERE ProjectId=" + std::to_string(projectId) +
            " ORDER BY TaskId");
        for (; !db.Eof(ids); db.Next(ids)) taskIds.push_back(db.GetInteger(ids, "TaskId"));
        db.CloseRecordSet(ids);
      }
      if (taskIds.size() != tasks.size()) throw std::runtime_error("the new tasks were not found");
      for (size_t t = 0; t < tasks.size(); ++t) {
        TqorTaskValues& task = tasks[t];
        const int32_t taskId = taskIds[t];
        ++counts.Tasks;

        // One or two resources, as the allocation check lets them in.
        const int wanted = resources.empty() || chance(0.1) ? 0 : between(1, 2);
        std::vector<int32_t> onTask;
        for (int attempt = 0; attempt < 6 && static_cast<int>(onTask.size()) < wanted; ++attempt) {
          TResource& res = pick(resources);
          const double units = pick(kUnits);
          if (std::find(onTask.begin(), onTask.end(), res.Id) != onTask.end()) continue;
          if (res.OnHoliday(task.StartDate, task.EndDate)) continue;
          const double used = res.UnitsInUse(task.StartDate, task.EndDate);
          if (units > (used > res.MaxUnits ? 0 : res.MaxUnits - used)) continue;
          db.Execute(st::InsertAssignment(taskId, res.Id, units));
          res.Bookings.push_back({task.StartDate, task.EndDate, units});
          task.AssignedHours +=
              (task.EndDate - task.StartDate + 1) * (res.HoursPerWeek / 7) * units / 100;
          onTask.push_back(res.Id);
          ++counts.Assignments;
        }
        projectHours += task.AssignedHours;
        db.Execute(st::UpdateTask(taskId, task));
      }
      const double budget = std::ceil(projectHours * (0.8 + 0.05 * between(0, 8)));
      const bool done = projectEnd < today && chance(0.7);
      db.Execute(
          st::UpdateProject(projectId, {name, kProjectTags[kind], projectStart, projectEnd, budget,
                                        std::floor(projectHours * (done ? 1.0 : 0.4)), budget * 85,
                                        std::floor(projectHours * (done ? 1.0 : 0.4)) * 85, done,
                                        chance(0.3) ? "Steering committee: Mondays at 9:00" : ""}));
      db.Execute(st::UpdateProjectAssignedHours(projectId, projectHours));
      filter += "[" + std::to_string(projectId) + "]";
      db.Database().Commit();
      ++counts.Projects;
    }
    db.Execute(st::UpdateProjectFilter(filter));
    db.Execute(st::UpdateReportFormat("PDF"));
    if (o.LinksPer100Tasks > 0) counts.Links = AddSampleLinks(db, o, rng);
    db.CloseDatabase();
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::filesystem::remove(path + ".lck", ignored);
    throw;
  }
  return counts;
}

namespace {

int RunNew(const std::vector<std::string>& args) {
  const TCliArgs a = ParseCliArgs(args, {});
  if (a.Positional.size() != 1) throw ECliUsage("one DBFILE is needed");
  CreatePlannerDatabase(a.Positional[0]);
  return 0;
}

int RunSample(const std::vector<std::string>& args) {
  const TCliArgs a =
      ParseCliArgs(args, {"projects", "tasks-per-project", "resources", "seed", "today", "links"});
  if (a.Positional.size() != 1) throw ECliUsage("one DBFILE is needed");
  TSampleOptions o;
  o.Projects = static_cast<int>(a.WholeNumber("projects", 1, 100000, true));
  o.TasksPerProject = static_cast<int>(a.WholeNumber("tasks-per-project", 0, 5000, true));
  o.Resources = static_cast<int>(a.WholeNumber("resources", 0, 100000, true));
  o.Seed = static_cast<uint64_t>(a.WholeNumber("seed", 0, INT64_MAX, false, 1));
  o.LinksPer100Tasks = static_cast<int>(a.WholeNumber("links", 0, 500, false, 0));
  o.Today = SystemToday();
  if (a.Has("today")) {
    o.Today = DateFromISOText(a.Options.at("today"));
    if (o.Today == 0 || a.Options.at("today").size() != 10) {
      throw ECliUsage("'--today' takes a date as YYYY-MM-DD, not '" + a.Options.at("today") + "'");
    }
  }
  const TSampleCounts n = WriteSamplePlanner(a.Positional[0], o);
  std::printf("%s: %d projects, %d tasks, %d resources, %d assignments, %d holidays",
              a.Positional[0].c_str(), n.Projects, n.Tasks, n.Resources, n.Assignments, n.Holidays);
  if (o.LinksPer100Tasks > 0) std::printf(", %d links", n.Links);
  std::printf("\n");
  return 0;
}

}  // namespace

const TCliCommand kNewCommand = {
    "new", "DBFILE", "make an empty planner database",
    "Make DBFILE an empty planner database: the planner's tables and indexes, and the\n"
    "settings row (no project shown, reports as PDF). DBFILE must not exist.\n",
    RunNew};

const TCliCommand kSampleCommand = {
    "sample",
    "--projects N --tasks-per-project M --resources R [--seed S] [--today YYYY-MM-DD]\n"
    "         [--links L] DBFILE",
    "write a new planner database with a realistic plan",
    "Write a new planner database DBFILE (which must not exist) holding a plan of N\n"
    "projects with M tasks each and R resources: milestones, completed, late and overdue\n"
    "tasks, holidays, and assignments within each resource's capacity, with names\n"
    "carrying accents and apostrophes. The plan is built around today (or the date of\n"
    "--today); the same seed (default 1) and date give the same plan. --links L adds L\n"
    "links per 100 tasks, each from an earlier task of a project to a later one (mostly\n"
    "finish to start), and reschedules the plan so that every task satisfies its links.\n",
    RunSample};
