// Times the start of the planner on sample databases of 2,000 and 20,000 tasks: opening the
// database, the six loading steps into the grid's document, and the first paint of a
// 1280 x 1024 grid into an image, against reading the same rows (every column of the six
// tables, tasks ordered by project and name) from SQLite through its C API; beside it the start
// as the program makes it, with the six steps checked for a damaged plan (LoadCheckedPlanner). The
// plans are written once by the sample generator into the work folder and reused by later runs.
// Each figure is the best of several runs; "cpu" is the processor time of the whole start, which
// other programs on the machine do not stretch.
//
//   bench_planner_load [folder]
#include <sqlite3.h>
#include <time.h>

#include <QApplication>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/qorPlannerCheck.h"
#include "app/core/qorPlannerLoader.h"
#include "bench/benchCommon.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/grid/qorPlannerGrid.h"
#include "tools/vazadod-cli/cliSample.h"

namespace {

using bench::Clock;
using bench::Seconds;

constexpr int kRuns = 5;

struct TPlan {
  const char* Name;
  int Projects, TasksPerProject, Resources;
};

struct TTimes {
  double Open = 0, Projects = 0, Tasks = 0, Resources = 0, Assignments = 0, Holidays = 0,
         Settings = 0, Paint = 0, Total = 0, Cpu = 0;
  int Rows = 0;
};

// The processor time of the process so far, in seconds: unlike the wall clock, not stretched by
// other programs that share the processors.
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

TTimes LoadOnce(const std::string& path) {
  TTimes t;
  const double cpu = CpuSeconds();
  const Clock::time_point start = Clock::now();
  Clock::time_point mark = start;
  auto lap = [&mark](double& into) {
    into = Seconds(mark);
    mark = Clock::now();
  };
  TqorDatabaseController controller;
  controller.OpenDatabase(path);
  lap(t.Open);
  TqorPlannerGrid grid(nullptr, [] { return EncodeDate(2005, 1, 3); });
  grid.resize(1280, 1024);
  TqorPlannerModel& model = grid.Model();
  LoadProjects(controller, model);
  lap(t.Projects);
  LoadTasks(controller, model);
  lap(t.Tasks);
  LoadResources(controller, model);
  lap(t.Resources);
  LoadAssignments(controller, model);
  lap(t.Assignments);
  LoadHolidays(controller, model);
  lap(t.Holidays);
  LoadSettings(controller, model);
  grid.SelectGridCell(2, 2);
  lap(t.Settings);
  const QImage image = grid.RenderView();
  lap(t.Paint);
  t.Total = Seconds(start);
  t.Cpu = CpuSeconds() - cpu;
  t.Rows = grid.RowCount();
  if (image.isNull()) std::exit(1);
  return t;
}

// The start as the program makes it: the open, the checked loading, the first paint.
double CheckedLoadOnce(const std::string& path) {
  const Clock::time_point start = Clock::now();
  TqorDatabaseController controller;
  controller.OpenDatabase(path);
  TqorPlannerGrid grid(nullptr, [] { return EncodeDate(2005, 1, 3); });
  grid.resize(1280, 1024);
  std::vector<std::string> problems;
  LoadCheckedPlanner(controller, grid.Model(), problems);
  grid.SelectGridCell(2, 2);
  const QImage image = grid.RenderView();
  if (image.isNull() || !problems.empty()) std::exit(1);
  return Seconds(start);
}

// Copies the six tables into an SQLite database with the same columns.
void ExportToSqlite(const std::string& from, const std::string& to) {
  std::filesystem::remove(to);
  sqlite3* db = nullptr;
  bench::Check(sqlite3_open(to.c_str(), &db), db, "open");
  auto exec = [db](const std::string& sql) {
    bench::Check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, sql.c_str());
  };
  exec(
      "CREATE TABLE Projects (ProjectId INTEGER PRIMARY KEY, ProjectName TEXT, ProjectTag TEXT, "
      "StartDate REAL, EndDate REAL, BudgetHours REAL, ActualHours REAL, BudgetCost REAL, "
      "ActualCost REAL, IsCompleted INTEGER, AssignedHours REAL, Notes TEXT);"
      "CREATE TABLE Tasks (TaskId INTEGER PRIMARY KEY, TaskName TEXT, StartDate REAL, EndDate "
      "REAL, IsMileStone INTEGER, IsCompleted INTEGER, AssignedHours REAL, Progress REAL, Notes "
      "TEXT, ProjectId INTEGER);"
      "CREATE INDEX ixTasksProjectId ON Tasks (ProjectId);"
      "CREATE TABLE Resources (ResourceId INTEGER PRIMARY KEY, ResourceName TEXT, Initials TEXT, "
      "HoursPerWeek REAL, CostPerHour REAL, MaxUnits REAL, Notes TEXT);"
      "CREATE TABLE Assignments (AssignmentId INTEGER PRIMARY KEY, TaskId INTEGER, ResourceId "
      "INTEGER, Units REAL);"
      "CREATE TABLE Holidays (HolidayId INTEGER PRIMARY KEY, ResourceId INTEGER, StartDate "
      "REAL, EndDate REAL);"
      "CREATE TABLE Settings (SettingId INTEGER PRIMARY KEY, ProjectFilter TEXT, ReportFormat "
      "TEXT);"
      "BEGIN");
  TqorDatabaseController c;
  c.OpenDatabase(from);
  const std::vector<std::pair<std::string, std::vector<std::string>>> tables = {
      {"Projects",
       {"ProjectId", "ProjectName", "ProjectTag", "StartDate", "EndDate", "BudgetHours",
        "ActualHours", "BudgetCost", "ActualCost", "IsCompleted", "AssignedHours", "Notes"}},
      {"Tasks",
       {"TaskId", "TaskName", "StartDate", "EndDate", "IsMileStone", "IsCompleted", "AssignedHours",
        "Progress", "Notes", "ProjectId"}},
      {"Resources",
       {"ResourceId", "ResourceName", "Initials", "HoursPerWeek", "CostPerHour", "MaxUnits",
        "Notes"}},
      {"Assignments", {"AssignmentId", "TaskId", "ResourceId", "Units"}},
      {"Holidays", {"HolidayId", "ResourceId", "StartDate", "EndDate"}},
      {"Settings", {"SettingId", "ProjectFilter", "ReportFormat"}}};
  for (const auto& [table, columns] : tables) {
    std::string sql = "INSERT INTO " + table + " VALUES (";
    for (size_t i = 0; i < columns.size(); ++i) sql += i ? ",?" : "?";
    sql += ")";
    sqlite3_stmt* insert = nullptr;
    bench::Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &insert, nullptr), db, "prepare");
    TqorDatabaseRecordSet* set = c.OpenRecordSet("SELECT * FROM " + table);
    for (; !c.Eof(set); c.Next(set)) {
      for (size_t i = 0; i < columns.size(); ++i) {
        const TqorVariant v = set->GetValue(columns[i]);
        const int slot = static_cast<int>(i) + 1;
        double d = 0;
        if (v.IsNull()) {
          sqlite3_bind_null(insert, slot);
        } else if (v.Kind() == TqorVarKind::Text) {
          const std::string& s = v.RawText();
          sqlite3_bind_text(insert, slot, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        } else if (v.TryToReal(d)) {
          sqlite3_bind_double(insert, slot, d);
        }
      }
      bench::Check(sqlite3_step(insert), db, "insert");
      sqlite3_reset(insert);
    }
    c.CloseRecordSet(set);
    sqlite3_finalize(insert);
  }
  exec("COMMIT");
  sqlite3_close(db);
}

// Reads every column of the six loading statements' rows; returns the rows read.
double ReadSqlite(const std::string& path, int* rows) {
  const Clock::time_point start = Clock::now();
  sqlite3* db = nullptr;
  bench::Check(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), db, "open");
  *rows = 0;
  double sink = 0;
  for (const char* sql :
       {"SELECT * FROM Projects", "SELECT * FROM Tasks ORDER BY ProjectId, TaskName",
        "SELECT * FROM Resources", "SELECT * FROM Assignments", "SELECT * FROM Holidays",
        "SELECT * FROM Settings WHERE SettingId=1"}) {
    sqlite3_stmt* s = nullptr;
    bench::Check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), db, sql);
    const int columns = sqlite3_column_count(s);
    while (sqlite3_step(s) == SQLITE_ROW) {
      ++*rows;
      for (int i = 0; i < columns; ++i) {
        if (sqlite3_column_type(s, i) == SQLITE_TEXT) {
          const std::string text(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
          sink += static_cast<double>(text.size());
        } else {
          sink += sqlite3_column_double(s, i);
        }
      }
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  if (sink < 0) std::exit(1);
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  RegionalSettings().DecimalSeparator.assign(1, '.');
  const std::string folder = bench::WorkFolder(argc, argv, "vz-planner-load");
  const std::vector<TPlan> plans = {{"2,000 tasks", 100, 20, 40}, {"20,000 tasks", 1000, 20, 200}};
  std::printf("bench_planner_load, folder %s, best of %d runs, milliseconds\n\n", folder.c_str(),
              kRuns);
  std::printf("%-13s %6s %6s %6s %6s %6s %6s %6s %6s %6s %7s %7s | %7s %6s | %7s %7s\n", "plan",
              "rows", "open", "proj", "tasks", "res", "asg", "hol", "set", "paint", "total", "cpu",
              "sqlite", "ratio", "checked", "first");
  double lastTotal = 0;
  for (const TPlan& p : plans) {
    const std::string path =
        folder + "/sample-" + std::to_string(p.Projects * p.TasksPerProject) + ".zuz";
    const std::string lite = path + ".sqlite";
    if (!std::filesystem::exists(path)) {
      const Clock::time_point made = Clock::now();
      TSampleOptions o;
      o.Projects = p.Projects;
      o.TasksPerProject = p.TasksPerProject;
      o.Resources = p.Resources;
      o.Today = EncodeDate(2005, 1, 3);
      WriteSamplePlanner(path, o);
      std::fprintf(stderr, "wrote %s in %.1f s\n", path.c_str(), Seconds(made));
    }
    if (!std::filesystem::exists(lite)) ExportToSqlite(path, lite);
    TTimes best;
    best.Total = 1e9;
    double bestCpu = 1e9;
    for (int run = 0; run < kRuns; ++run) {
      const TTimes t = LoadOnce(path);
      if (t.Total < best.Total) best = t;
      bestCpu = std::min(bestCpu, t.Cpu);
    }
    double sqlite = 1e9;
    int sqliteRows = 0;
    for (int run = 0; run < kRuns; ++run) sqlite = std::min(sqlite, ReadSqlite(lite, &sqliteRows));
    // The first checked start of a program also makes the schema's definitions once.
    const double first = lastTotal == 0 ? CheckedLoadOnce(path) : 0;
    double checked = 1e9;
    for (int run = 0; run < kRuns; ++run) checked = std::min(checked, CheckedLoadOnce(path));
    std::printf(
        "%-13s %6d %6.1f %6.1f %6.1f %6.1f %6.1f %6.1f %6.1f %6.1f %7.1f %7.1f | %7.1f %6.1f | "
        "%7.1f %7.1f\n",
        p.Name, best.Rows, best.Open * 1e3, best.Projects * 1e3, best.Tasks * 1e3,
        best.Resources * 1e3, best.Assignments * 1e3, best.Holidays * 1e3, best.Settings * 1e3,
        best.Paint * 1e3, best.Total * 1e3, bestCpu * 1e3, sqlite * 1e3, best.Total / sqlite,
        checked * 1e3, first * 1e3);
    if (lastTotal > 0)
      std::printf("%-13s growth of the total from the plan before: %.1f\n", "",
                  best.Total / lastTotal);
    lastTotal = best.Total;
  }
  return 0;
}
