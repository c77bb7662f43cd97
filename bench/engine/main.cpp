// The planner's own work on its database, in the engine and in SQLite side by side: the same
// schema and the same statement texts (the planner's statement list), sent to the engine through
// TqorDatabaseController and to SQLite through its C API (each text prepared with
// sqlite3_prepare_v2, stepped and finalized: no statement cache; journal_mode=DELETE,
// synchronous=FULL), on plans of 2,000 and 20,000 tasks. Every workload runs in the engine and
// then in SQLite before the next one starts, so both see the same load of the machine; the
// whole sequence is repeated and the table shows the median of each workload.
//
// usage: bench_engine [FOLDER [REPEATS]]   (a new /tmp folder and 5 repeats by default)
//   VZ_BENCH_SIZES=20000        only these plan sizes (comma-separated task counts)
//   VZ_BENCH_ONLY=capacity      only the workloads whose name contains this text (the bulk load
//                               always runs: the others need its plan)
//   VZ_BENCH_SIDE=engine        only the engine's side (or sqlite: only SQLite's), for profiling
//   VZ_BENCH_PRINT=1            prints the statements recorded from the window's workflows
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/qorEditHistory.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorReportBuilders.h"
#include "app/core/qorTaskWorkflows.h"
#include "bench/benchCommon.h"
#include "db/access/qorDatabaseController.h"
#include "db/objects/zuzDatabase.h"
#include "planner/base/qorStrings.h"
#include "planner/qorPlannerModel.h"

using bench::Check;
using bench::Clock;
using bench::Seconds;
namespace st = qorStatements;

namespace {

// 2026-01-05 as a day number (days since 1899-12-30).
constexpr double kToday = 46027;

// The plan's shape for n tasks: one project per 20 tasks, one resource per 40 tasks, three
// assignments per two tasks, four holidays per resource.
struct TPlan {
  int tasks, projects, resources, assignments, holidays;
  explicit TPlan(int n)
      : tasks(n),
        projects(n / 20),
        resources(n / 40),
        assignments(n * 3 / 2),
        holidays(n / 40 * 4) {}
};

// The SQLite form of the planner's schema: the same tables, columns, keys and indexes.
const char* const kSqliteSchema =
    "CREATE TABLE Projects (ProjectId INTEGER PRIMARY KEY AUTOINCREMENT, ProjectName "
    "VARCHAR(255), ProjectTag VARCHAR(100), StartDate DATE, EndDate DATE, BudgetHours FLOAT, "
    "ActualHours FLOAT, BudgetCost FLOAT, ActualCost FLOAT, IsCompleted BOOLEAN, AssignedHours "
    "FLOAT, Notes TEXT);"
    "CREATE TABLE Tasks (TaskId INTEGER PRIMARY KEY AUTOINCREMENT, TaskName VARCHAR(255), "
    "StartDate DATE, EndDate DATE, IsMileStone BOOLEAN, IsCompleted BOOLEAN, AssignedHours "
    "FLOAT, Progress FLOAT, Notes TEXT, ProjectId INTEGER);"
    "CREATE INDEX ixTasksProjectId ON Tasks (ProjectId);"
    "CREATE TABLE Resources (ResourceId INTEGER PRIMARY KEY AUTOINCREMENT, ResourceName "
    "VARCHAR(200), Initials VARCHAR(40), HoursPerWeek FLOAT, CostPerHour FLOAT, MaxUnits FLOAT, "
    "Notes TEXT);"
    "CREATE TABLE Assignments (AssignmentId INTEGER PRIMARY KEY AUTOINCREMENT, TaskId INTEGER, "
    "ResourceId INTEGER, Units FLOAT);"
    "CREATE INDEX ixAssignmentsTaskId ON Assignments (TaskId);"
    "CREATE INDEX ixAssignmentsResourceId ON Assignments (ResourceId);"
    "CREATE TABLE Holidays (HolidayId INTEGER PRIMARY KEY AUTOINCREMENT, ResourceId INTEGER, "
    "StartDate DATE, EndDate DATE);"
    "CREATE INDEX ixHolidaysResourceId ON Holidays (ResourceId);"
    "CREATE TABLE Settings (SettingId INTEGER PRIMARY KEY, ProjectFilter TEXT, ReportFormat "
    "VARCHAR(10));"
    "INSERT INTO Settings (SettingId, ProjectFilter, ReportFormat) VALUES (1, '', 'PDF');";

// How a column is read on loading: as text, number, date or flag.
enum class TKind { Text, Real, Date, Flag };
struct TColumn {
  const char* name;
  TKind kind;
};
using TColumns = std::vector<TColumn>;

// The start-up load: each of statements 1 to 6 with the columns the loader reads from it.
const std::vector<std::pair<std::string, TColumns>>& LoadSteps() {
  using K = TKind;
  static const std::vector<std::pair<std::string, TColumns>> steps = {
      {st::SelectProjects(),
       {{"ProjectId", K::Text},
        {"ProjectName", K::Text},
        {"ProjectTag", K::Text},
        {"BudgetHours", K::Real},
        {"ActualHours", K::Real},
        {"BudgetCost", K::Real},
        {"ActualCost", K::Real},
        {"IsCompleted", K::Flag},
        {"AssignedHours", K::Real},
        {"StartDate", K::Date},
        {"EndDate", K::Date},
        {"Notes", K::Text}}},
      {st::SelectTasks(),
       {{"IsCompleted", K::Flag},
        {"ProjectId", K::Text},
        {"TaskId", K::Text},
        {"TaskName", K::Text},
        {"StartDate", K::Date},
        {"EndDate", K::Date},
        {"IsMileStone", K::Flag},
        {"AssignedHours", K::Real},
        {"Progress", K::Real},
        {"Notes", K::Text}}},
      {st::SelectResources(),
       {{"ResourceName", K::Text},
        {"Initials", K::Text},
        {"ResourceId", K::Text},
        {"HoursPerWeek", K::Real},
        {"CostPerHour", K::Real},
        {"MaxUnits", K::Real},
        {"Notes", K::Text}}},
      {st::SelectAssignments(),
       {{"TaskId", K::Text},
        {"AssignmentId", K::Text},
        {"ResourceId", K::Text},
        {"Units", K::Real}}},
      {st::SelectHolidays(),
       {{"HolidayId", K::Text},
        {"ResourceId", K::Text},
        {"StartDate", K::Date},
        {"EndDate", K::Date}}},
      {st::SelectSettings(), {{"ProjectFilter", K::Text}, {"ReportFormat", K::Text}}},
  };
  return steps;
}

// Keeps the values read alive, so that no read is optimised away.
volatile double gSink = 0;

// --- The engine, through the access layer ---

class TEngineSide {
 public:
  explicit TEngineSide(const std::string& path) : path_(path) {
    std::filesystem::remove(path);
    CreatePlannerDatabase(path);
    c_.OpenDatabase(path);
  }
  const std::string& Path() const { return path_; }

  // The number of rows written.
  int64_t Execute(const std::string& sql) { return c_.Execute(sql); }
  void Begin() { c_.Database().StartTransaction(); }
  void Commit() { c_.Database().Commit(); }
  double Lookup(const std::string& sql) {
    const TqorVariant v = c_.LookupValue(sql);
    return v.IsNull() ? 0 : v.AsReal();
  }
  // Reads every row of the SELECT: the columns given, or (none given) every field's value.
  void ReadAll(const std::string& sql, const TColumns& columns) {
    TqorDatabaseRecordSet* set = c_.OpenRecordSet(sql);
    double sum = 0;
    const std::vector<std::string> every =
        columns.empty() ? set->FieldNames() : std::vector<std::string>();
    while (!c_.Eof(set)) {
      for (const std::string& name : every) sum += set->GetValue(name).IsNull() ? 0 : 1;
      for (const TColumn& col : columns) {
        switch (col.kind) {
          case TKind::Text:
            sum += static_cast<double>(c_.GetString(set, col.name).size());
            break;
          case TKind::Real:
            sum += c_.GetFloat(set, col.name);
            break;
          case TKind::Date:
            sum += c_.GetDate(set, col.name);
            break;
          case TKind::Flag:
            sum += c_.GetBoolean(set, col.name) ? 1 : 0;
            break;
        }
      }
      c_.Next(set);
    }
    c_.CloseRecordSet(set);
    gSink = gSink + sum;
  }

 private:
  std::string path_;
  TqorDatabaseController c_;
};

// --- SQLite, through its C API ---

// The day number of a 'yyyy-mm-dd' text, as the planner would read a date column from SQLite.
double DayNumber(const unsigned char* text) {
  if (!text) return 0;
  int y = 0, m = 0, d = 0;
  if (std::sscanf(reinterpret_cast<const char*>(text), "%d-%d-%d", &y, &m, &d) != 3) return 0;
  // Days from civil (proleptic Gregorian), shifted to the 1899-12-30 epoch.
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097.0 + doe - 719468 + 25569;
}

class TSqliteSide {
 public:
  explicit TSqliteSide(const std::string& path) {
    std::filesystem::remove(path);
    Check(sqlite3_open(path.c_str(), &db_), db_, "open");
    Check(sqlite3_exec(db_, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;", nullptr,
                       nullptr, nullptr),
          db_, "pragma");
    Check(sqlite3_exec(db_, kSqliteSchema, nullptr, nullptr, nullptr), db_, "schema");
  }
  ~TSqliteSide() { sqlite3_close(db_); }
  TSqliteSide(const TSqliteSide&) = delete;
  TSqliteSide& operator=(const TSqliteSide&) = delete;

  int64_t Execute(const std::string& sql) {
    sqlite3_stmt* s = Prepare(sql);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    }
    Check(rc, db_, sql.c_str());
    sqlite3_finalize(s);
    return sqlite3_changes(db_);
  }
  void Begin() { Execute("BEGIN"); }
  void Commit() { Execute("COMMIT"); }
  double Lookup(const std::string& sql) {
    sqlite3_stmt* s = Prepare(sql);
    const int rc = sqlite3_step(s);
    Check(rc, db_, sql.c_str());
    const double v = rc == SQLITE_ROW ? sqlite3_column_double(s, 0) : 0;
    sqlite3_finalize(s);
    return v;
  }
  void ReadAll(const std::string& sql, const TColumns& columns) {
    sqlite3_stmt* s = Prepare(sql);
    // The loader reads by name: the names are looked up once per statement.
    std::vector<int> index;
    for (const TColumn& col : columns) {
      int found = -1;
      for (int i = 0; i < sqlite3_column_count(s); ++i)
        if (sqlite3_stricmp(sqlite3_column_name(s, i), col.name) == 0) found = i;
      index.push_back(found);
    }
    double sum = 0;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
      if (columns.empty()) {
        // Every column's value, as the engine's side reads them.
        for (int i = 0; i < sqlite3_column_count(s); ++i) {
          const unsigned char* t = sqlite3_column_text(s, i);
          sum += t ? 1 : 0;
        }
      }
      for (size_t k = 0; k < columns.size(); ++k) {
        const int i = index[k];
        switch (columns[k].kind) {
          case TKind::Text: {
            const unsigned char* t = sqlite3_column_text(s, i);
            sum +=
                t ? static_cast<double>(std::string(reinterpret_cast<const char*>(t)).size()) : 0;
            break;
          }
          case TKind::Real:
            sum += sqlite3_column_double(s, i);
            break;
          case TKind::Date:
            sum += DayNumber(sqlite3_column_text(s, i));
            break;
          case TKind::Flag:
            sum += sqlite3_column_int(s, i) != 0 ? 1 : 0;
            break;
        }
      }
    }
    Check(rc, db_, sql.c_str());
    sqlite3_finalize(s);
    gSink = gSink + sum;
  }

 private:
  sqlite3_stmt* Prepare(const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    Check(sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &s, nullptr), db_,
          sql.c_str());
    return s;
  }
  sqlite3* db_ = nullptr;
};

// --- What the program's own workflows send ---

// The statements of a workflow, as the controller sent them.
using TStatements = std::vector<std::string>;

// What the window sends for its grid edits and its reports, recorded on a copy of the engine's
// file as it is when the workload starts (so that each checked write finds its row as shown):
// moves, the statements of each Shift-click move of a task by a day (the task's store with its
// check, the hours' roll-ups, the rows the edit history keeps), each in one transaction; reports,
// those of the tasks, holidays and resources reports (the first and last read the loaded plan).
struct TRecorded {
  std::vector<TStatements> moves;
  TStatements reports;
};

TRecorded RecordWorkflows(const std::string& enginePath, int moves, unsigned seed) {
  const std::string copy = enginePath + ".workflows";
  std::filesystem::copy_file(enginePath, copy, std::filesystem::copy_options::overwrite_existing);
  TRecorded out;
  {
    TqorDatabaseController db;
    db.OpenDatabase(copy);
    TqorPlannerModel planner([] { return kToday; });
    LoadPlanner(db, planner);
    TqorEditHistory history;
    TqorTaskWorkflows tasks(db, planner);
    tasks.SetHistory(&history);
    TStatements* into = nullptr;
    db.SetStatementObserver([&into](const std::string& sql) {
      if (into) into->push_back(sql);
    });
    std::vector<TqorXMLNode2*> all;
    planner.Document().SelectNodes("//task", all);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<size_t> pick(0, all.size() - 1);
    for (int i = 0; i < moves; ++i) {
      TqorXMLNode2* task = all[pick(rng)];
      tasks.RememberBeforeChange(task);
      const int step = i % 2 ? -1 : 1;
      task->SetAttribute("startdate", task->GetAttribute("startdate").AsReal() + step);
      task->SetAttribute("enddate", task->GetAttribute("enddate").AsReal() + step);
      out.moves.emplace_back();
      into = &out.moves.back();
      tasks.TaskGridTaskChanged(task);
      into = nullptr;
    }
    TqorFastString text;
    std::vector<TqorXMLNode2*> nodes;
    into = &out.reports;
    BuildTasksReport(text, planner);
    BuildHolidaysReport(text, db, kToday);
    BuildResourcesReport(text, planner, nodes);
    into = nullptr;
  }
  if (std::getenv("VZ_BENCH_PRINT")) {
    for (const auto& m : out.moves)
      for (const auto& t : m) std::printf("move: %s\n", t.c_str());
    for (const auto& t : out.reports) std::printf("report: %s\n", t.c_str());
  }
  std::filesystem::remove(copy);
  std::filesystem::remove(copy.substr(0, copy.rfind('.')) + ".lck");
  return out;
}

// Sends recorded statements: SELECTs read every value of every row, the others run; in one
// transaction when asked.
template <class Side>
void Replay(Side& side, const TStatements& statements, bool transaction) {
  if (transaction) side.Begin();
  for (const std::string& sql : statements) {
    if (sql.rfind("SELECT", 0) == 0) {
      side.ReadAll(sql, {});
    } else {
      side.Execute(sql);
    }
  }
  if (transaction) side.Commit();
}

// --- The workloads: the same statement texts for both sides ---

std::string Name(const char* what, int i) {
  return std::string(what) + " " + std::to_string(i) + (i % 7 == 0 ? " O'Neil" : "");
}

// The statements of a plan, in the order the planner's own loading would have made them; the
// tasks' rows as stored go into tasks (by id).
std::vector<std::string> PlanStatements(const TPlan& plan, std::mt19937& rng,
                                        std::vector<TqorTaskValues>& tasks) {
  std::vector<std::string> out;
  for (int p = 1; p <= plan.projects; ++p)
    out.push_back(st::InsertProject(Name("Project", p), kToday));
  for (int r = 1; r <= plan.resources; ++r) out.push_back(st::InsertResource(Name("Resource", r)));
  std::uniform_int_distribution<int> day(-180, 180), project(1, plan.projects),
      resource(1, plan.resources), task(1, plan.tasks), units(1, 10);
  tasks.assign(plan.tasks + 1, {});
  for (int t = 1; t <= plan.tasks; ++t) {
    const double start = kToday + day(rng);
    out.push_back(st::InsertTask(Name("Task", t), start, project(rng)));
    tasks[t].Name = Name("Task", t);
    tasks[t].StartDate = start;
    tasks[t].EndDate = start + 2;
  }
  for (int a = 1; a <= plan.assignments; ++a)
    out.push_back(st::InsertAssignment(task(rng), resource(rng), units(rng) * 10.0));
  for (int h = 1; h <= plan.holidays; ++h) {
    const double start = kToday + day(rng);
    out.push_back(st::InsertHoliday((h - 1) % plan.resources + 1, start, start + h % 10));
  }
  return out;
}

struct TWorkload {
  std::string name;
  // Runs the workload on one side; returns seconds.
  std::function<double(TEngineSide&)> engine;
  std::function<double(TSqliteSide&)> sqlite;
};

// Both sides run the same body: Side is TEngineSide or TSqliteSide.
template <class Body>
TWorkload Make(std::string name, Body body) {
  return {std::move(name),
          [body](TEngineSide& side) {
            const auto t0 = Clock::now();
            body(side);
            return Seconds(t0);
          },
          [body](TSqliteSide& side) {
            const auto t0 = Clock::now();
            body(side);
            return Seconds(t0);
          }};
}

std::vector<TWorkload> Workloads(const TPlan& plan, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<TqorTaskValues> stored;
  auto planSql = std::make_shared<std::vector<std::string>>(PlanStatements(plan, rng, stored));
  std::uniform_int_distribution<int> day(-180, 180), project(1, plan.projects),
      resource(1, plan.resources), task(1, plan.tasks), pct(0, 100);
  auto texts = [&](auto make) {
    auto v = std::make_shared<std::vector<std::string>>();
    for (int i = 0; i < 1000; ++i) v->push_back(make(i));
    return v;
  };
  auto inserts = texts(
      [&](int i) { return st::InsertTask(Name("New task", i), kToday + day(rng), project(rng)); });
  const std::string newTaskId = "SELECT MAX(TaskId) AS NewId FROM Tasks";
  // The task dialog's and the grid's store as the planner sends it: checked against the row as
  // the window showed it (each must write its row); then the same without the check, as it was
  // sent before (after the checked ones, whose rows it changes).
  std::vector<TqorTaskValues> shown = stored;
  auto updates = texts([&](int i) {
    TqorTaskValues v;
    v.Name = Name("Renamed task", i);
    v.StartDate = kToday + day(rng);
    v.EndDate = v.StartDate + 3;
    v.AssignedHours = pct(rng) * 0.5;
    v.Progress = pct(rng);
    v.Notes = "moved in the grid";
    const int id = task(rng);
    const std::string sql = st::UpdateTask(id, v, shown[id]);
    shown[id] = v;
    return sql;
  });
  std::mt19937 same(seed);
  auto uncheckedUpdates = texts([&](int i) {
    TqorTaskValues v;
    v.Name = Name("Renamed task", i);
    v.StartDate = kToday + day(same);
    v.EndDate = v.StartDate + 3;
    v.AssignedHours = pct(same) * 0.5;
    v.Progress = pct(same);
    v.Notes = "moved in the grid";
    return st::UpdateTask(task(same), v);
  });
  // A project's roll-up as before (the sum the document has, stored), then checked against the
  // hours this program last wrote (each must write its row; a failed check would fall back on
  // the sum of the stored tasks, which is not timed here).
  std::vector<double> known(plan.projects + 1, 0.0);
  auto rollups = texts([&](int) {
    const int p = project(rng);
    known[p] = pct(rng) * 8.5;
    return st::UpdateProjectAssignedHours(p, known[p]);
  });
  auto checkedRollups = texts([&](int) {
    const int p = project(rng);
    const double hours = pct(rng) * 8.5 + 0.25;
    const std::string sql = st::UpdateProjectAssignedHours(p, hours, known[p]);
    known[p] = hours;
    return sql;
  });
  auto capacity = texts([&](int) {
    const double start = kToday + day(rng);
    return st::SelectResourceUnits(resource(rng), start, start + 5);
  });
  auto holiday = texts([&](int) {
    const double start = kToday + day(rng);
    return st::SelectResourceHolidayCount(resource(rng), start, start + 5);
  });
  auto freeLists = texts([&](int) { return st::SelectResourcesNotOnTask(task(rng)); });
  auto allocLists = texts([&](int) { return st::SelectTaskAssignments(task(rng)); });
  // 100 distinct projects.
  std::vector<int> ids(plan.projects);
  for (int i = 0; i < plan.projects; ++i) ids[i] = i + 1;
  std::shuffle(ids.begin(), ids.end(), rng);
  auto deletes = std::make_shared<std::vector<std::string>>();
  for (int i = 0; i < 100 && i < plan.projects; ++i) {
    deletes->push_back(st::DeleteProjectAssignments(ids[i]));
    deletes->push_back(st::DeleteProjectTasks(ids[i]));
    deletes->push_back(st::DeleteProject(ids[i]));
  }
  const std::string report = st::SelectHolidaysReport(kToday);
  const TColumns reportColumns = {{"ResourceId", TKind::Text},
                                  {"ResourceName", TKind::Text},
                                  {"StartDate", TKind::Date},
                                  {"EndDate", TKind::Date}};
  const TColumns firstColumn = {{"ResourceId", TKind::Text}};
  const TColumns allocColumns = {{"AssignmentId", TKind::Text}, {"ResourceName", TKind::Text}};

  std::vector<TWorkload> w;
  w.push_back(Make("bulk load (1 transaction)", [planSql](auto& s) {
    s.Begin();
    for (const auto& sql : *planSql) s.Execute(sql);
    s.Commit();
  }));
  w.push_back(Make("1000 inserts + NewId (7, 8)", [inserts, newTaskId](auto& s) {
    for (const auto& sql : *inserts) {
      s.Execute(sql);
      gSink = gSink + s.Lookup(newTaskId);
    }
  }));
  w.push_back(Make("start-up load (1-6)", [](auto& s) {
    for (const auto& [sql, columns] : LoadSteps()) s.ReadAll(sql, columns);
  }));
  w.push_back(Make("1000 task updates (11)", [updates](auto& s) {
    for (const auto& sql : *updates) {
      if (s.Execute(sql) != 1) {
        std::fprintf(stderr, "a checked update found its row changed: %s\n", sql.c_str());
        std::exit(1);
      }
    }
  }));
  w.push_back(Make("1000 task updates (11) unchecked", [uncheckedUpdates](auto& s) {
    for (const auto& sql : *uncheckedUpdates) s.Execute(sql);
  }));
  w.push_back(Make("1000 project roll-ups (13) unchecked", [rollups](auto& s) {
    for (const auto& sql : *rollups) s.Execute(sql);
  }));
  w.push_back(Make("1000 project roll-ups (13)", [checkedRollups](auto& s) {
    for (const auto& sql : *checkedRollups) {
      if (s.Execute(sql) != 1) {
        std::fprintf(stderr, "a checked roll-up found its row changed: %s\n", sql.c_str());
        std::exit(1);
      }
    }
  }));
  w.push_back(Make("1000 capacity checks (35)", [capacity](auto& s) {
    for (const auto& sql : *capacity) gSink = gSink + s.Lookup(sql);
  }));
  w.push_back(Make("1000 holiday checks (36)", [holiday](auto& s) {
    for (const auto& sql : *holiday) gSink = gSink + s.Lookup(sql);
  }));
  w.push_back(Make("1000 free-resource lists (33)", [freeLists, firstColumn](auto& s) {
    for (const auto& sql : *freeLists) s.ReadAll(sql, firstColumn);
  }));
  w.push_back(Make("1000 allocation lists (34)", [allocLists, allocColumns](auto& s) {
    for (const auto& sql : *allocLists) s.ReadAll(sql, allocColumns);
  }));
  w.push_back(Make("holidays report x10 (43)", [report, reportColumns](auto& s) {
    for (int i = 0; i < 10; ++i) s.ReadAll(report, reportColumns);
  }));
  // The window's own workflows, recorded on the engine's file just before the engine's turn.
  auto recorded = std::make_shared<TRecorded>();
  const unsigned recordSeed = seed * 7 + 1;
  w.push_back({"200 grid moves with roll-ups",
               [recorded, recordSeed](TEngineSide& side) {
                 *recorded = RecordWorkflows(side.Path(), 200, recordSeed);
                 const auto t0 = Clock::now();
                 for (const TStatements& move : recorded->moves) Replay(side, move, true);
                 return Seconds(t0);
               },
               [recorded](TSqliteSide& side) {
                 const auto t0 = Clock::now();
                 for (const TStatements& move : recorded->moves) Replay(side, move, true);
                 return Seconds(t0);
               }});
  w.push_back({"the three reports' queries x10",
               [recorded, recordSeed](TEngineSide& side) {
                 recorded->reports = RecordWorkflows(side.Path(), 0, recordSeed).reports;
                 const auto t0 = Clock::now();
                 for (int i = 0; i < 10; ++i) Replay(side, recorded->reports, false);
                 return Seconds(t0);
               },
               [recorded](TSqliteSide& side) {
                 const auto t0 = Clock::now();
                 for (int i = 0; i < 10; ++i) Replay(side, recorded->reports, false);
                 return Seconds(t0);
               }});
  w.push_back(Make("delete 100 projects (18-20)", [deletes](auto& s) {
    for (const auto& sql : *deletes) s.Execute(sql);
  }));
  return w;
}

// The plan sizes to run: VZ_BENCH_SIZES, or 2,000 and 20,000 tasks.
std::vector<int> Sizes() {
  std::vector<int> sizes;
  if (const char* env = std::getenv("VZ_BENCH_SIZES")) {
    std::string text(env);
    size_t at = 0;
    while (at < text.size()) {
      const size_t comma = std::min(text.find(',', at), text.size());
      const int n = std::atoi(text.substr(at, comma - at).c_str());
      if (n >= 40) sizes.push_back(n);
      at = comma + 1;
    }
  }
  if (sizes.empty()) sizes = {2000, 20000};
  return sizes;
}

// Whether a workload runs: every one, or those named by VZ_BENCH_ONLY (and the bulk load).
bool Selected(const std::string& name) {
  const char* only = std::getenv("VZ_BENCH_ONLY");
  return !only || !*only || name.find(only) != std::string::npos || name.rfind("bulk load", 0) == 0;
}

// Whether the side runs: both, or the one VZ_BENCH_SIDE names.
bool RunsSide(const char* side) {
  const char* only = std::getenv("VZ_BENCH_SIDE");
  return !only || !*only || std::string_view(only) == side;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = bench::WorkFolder(argc, argv, "vz-bench-engine");
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::printf("%-32s %7s | %11s %11s | %6s\n", "workload", "tasks", "engine ms", "SQLite ms",
              "ratio");
  for (int n : Sizes()) {
    const TPlan plan(n);
    std::vector<std::string> names;
    std::vector<std::vector<double>> engineTimes, sqliteTimes;
    for (int r = 0; r < repeats; ++r) {
      std::vector<TWorkload> workloads = Workloads(plan, 21 + r);
      TEngineSide engine(dir + "/engine.zuz");
      TSqliteSide sqlite(dir + "/sqlite.db");
      if (names.empty()) {
        for (const auto& w : workloads) names.push_back(w.name);
        engineTimes.resize(names.size());
        sqliteTimes.resize(names.size());
      }
      for (size_t i = 0; i < workloads.size(); ++i) {
        if (!Selected(names[i])) continue;
        engineTimes[i].push_back(RunsSide("engine") ? workloads[i].engine(engine) : 0.0);
        sqliteTimes[i].push_back(RunsSide("sqlite") ? workloads[i].sqlite(sqlite) : 0.0);
      }
    }
    for (size_t i = 0; i < names.size(); ++i) {
      if (engineTimes[i].empty()) continue;
      const double e = Median(engineTimes[i]), s = Median(sqliteTimes[i]);
      std::printf("%-32s %7d | %11.1f %11.1f | %6.2f\n", names[i].c_str(), n, e * 1e3, s * 1e3,
                  s > 0 ? e / s : 0.0);
    }
    std::fflush(stdout);
  }
  std::filesystem::remove(dir + "/engine.zuz");
  std::filesystem::remove(dir + "/engine.lck");
  std::filesystem::remove(dir + "/sqlite.db");
  if (argc <= 1) std::filesystem::remove(dir);
  return 0;
}
