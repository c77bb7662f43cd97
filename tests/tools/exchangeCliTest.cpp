// Plans through the exchange formats with vazadod-cli: random sample plans with links, exported
// as MS Project XML and imported into an empty plan, give the same projects, tasks, resources,
// assignments, holidays and links, compared table by table (hours computed as the planner
// computes them); importing again uses the plan's resources of those names and is one step of
// the history; every format writes its files. Files that are no plan are refused with the
// element, line and reason, and nothing is stored.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/core/qorEditHistory.h"
#include "app/core/qorExchangeFiles.h"
#include "app/core/qorPlanRows.h"
#include "app/core/qorPlannerSchema.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "tests/cliRun.h"
#include "tests/testFiles.h"
#include "tools/vazadod-cli/cliSample.h"

namespace {

namespace fs = std::filesystem;

using TRun = TCommandRun;
TRun Cli(const std::string& args) {
  return RunVazadodCli(args);
}

// A table's rows as text without their ids, in the order of their ids, references written as
// the position of the row they name (so that two plans numbered differently compare equal).
using TTables = std::map<std::string, std::vector<std::string>>;

TTables Tables(TqorDatabaseController& db) {
  std::map<TqorPlanTable, std::map<int32_t, int>> position;
  std::map<TqorPlanTable, std::vector<TqorPlanRow>> rows;
  for (TqorPlanTable t :
       {TqorPlanTable::Projects, TqorPlanTable::Tasks, TqorPlanTable::Resources,
        TqorPlanTable::Assignments, TqorPlanTable::Holidays, TqorPlanTable::TaskLinks}) {
    rows[t] = qorPlanRows::Read(db, t, "");
    for (size_t i = 0; i < rows[t].size(); ++i) position[t][rows[t][i].Id] = static_cast<int>(i);
  }
  // The columns that name another table's rows.
  const std::map<std::pair<TqorPlanTable, size_t>, TqorPlanTable> refs = {
      {{TqorPlanTable::Tasks, 9}, TqorPlanTable::Projects},
      {{TqorPlanTable::Assignments, 1}, TqorPlanTable::Tasks},
      {{TqorPlanTable::Assignments, 2}, TqorPlanTable::Resources},
      {{TqorPlanTable::Holidays, 1}, TqorPlanTable::Resources},
      {{TqorPlanTable::TaskLinks, 1}, TqorPlanTable::Tasks},
      {{TqorPlanTable::TaskLinks, 2}, TqorPlanTable::Tasks}};
  TTables tables;
  for (const auto& [table, list] : rows) {
    for (const TqorPlanRow& row : list) {
      std::string text;
      for (size_t c = 1; c < row.Values.size(); ++c) {
        const TqorVariant& v = row.Values[c];
        std::string value = v.IsNull() ? std::string() : v.ToText();
        if (auto ref = refs.find({table, c}); ref != refs.end() && !v.IsNull())
          value = "#" + std::to_string(position[ref->second].at(v.AsInteger()));
        // Hours are recomputed, and a flag stored as null is false.
        if (table == TqorPlanTable::Projects && c == 10) {
          char rounded[32];
          std::snprintf(rounded, sizeof rounded, "%.6f", v.IsNull() ? 0 : v.AsReal());
          value = rounded;
        }
        if (v.Kind() == TqorVarKind::Boolean && !v.AsBoolean()) value = "";
        text += "|" + value;
      }
      tables[qorPlanRows::TableName(table)].push_back(text);
    }
  }
  // A link is known by its tasks, not by its place: MS Project keeps links with their
  // successors.
  std::sort(tables["TaskLinks"].begin(), tables["TaskLinks"].end());
  return tables;
}

// The first rows where two plans differ, table by table; empty when they are the same.
std::string Differences(const TTables& got, const TTables& want) {
  std::string text;
  for (const auto& [table, rows] : want) {
    const std::vector<std::string>& other =
        got.count(table) ? got.at(table) : std::vector<std::string>{};
    if (other.size() != rows.size())
      text += table + ": " + std::to_string(other.size()) + " rows, not " +
              std::to_string(rows.size()) + "\n";
    for (size_t i = 0, shown = 0; i < std::min(rows.size(), other.size()) && shown < 3; ++i)
      if (rows[i] != other[i]) {
        text += table + " row " + std::to_string(i) + ":\n  got  " + other[i] + "\n  want " +
                rows[i] + "\n";
        ++shown;
      }
  }
  return text;
}

class ExchangeCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vz-exchange-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { RemoveTestFolder(dir_); }
  std::string Path(const std::string& name) { return (dir_ / name).string(); }

  TTables TablesOf(const std::string& path) {
    TqorDatabaseController db;
    db.OpenDatabase(path);
    return Tables(db);
  }

  fs::path dir_;
};

// Sample plans with links, each exported as MS Project XML and imported into an empty plan,
// compare equal table by table; the same file imported again (in the program, with its
// history) uses the resources of the first import, and undoing it leaves the first.
// VZ_EXCHANGE_PLANS (default 4) plans from VZ_EXCHANGE_SEED.
TEST_F(ExchangeCli, APlanExportedAndImportedIntoAnEmptyPlanIsTheSamePlan) {
  const int plans = EnvInt("VZ_EXCHANGE_PLANS", 4);
  const int seed = EnvInt("VZ_EXCHANGE_SEED", 3201);
  for (int i = 0; i < plans; ++i) {
    SCOPED_TRACE("plan " + std::to_string(i) + " of seed " + std::to_string(seed + i));
    TSampleOptions o;
    o.Projects = 1 + i % 4;
    o.TasksPerProject = 4 + 5 * (i % 5);
    o.Resources = 2 + i % 6;
    o.Seed = static_cast<uint64_t>(seed + i);
    o.Today = EncodeDate(2026, 12, 21) + 47 * i;
    o.LinksPer100Tasks = 40 + 20 * (i % 4);
    const std::string source = Path("source" + std::to_string(i) + ".zuz");
    WriteSamplePlanner(source, o);
    const std::string file = Path("plan" + std::to_string(i) + ".xml");
    const TRun exported = Cli("export --format mspdi --output " + file + " " + source);
    ASSERT_EQ(exported.Status, 0) << exported.Out;

    const std::string target = Path("target" + std::to_string(i) + ".zuz");
    ASSERT_EQ(Cli("new " + target).Status, 0);
    const TRun imported = Cli("import --format mspdi " + file + " " + target);
    ASSERT_EQ(imported.Status, 0) << imported.Out;
    const TTables want = TablesOf(source);
    EXPECT_NE(imported.Out.find(" with " + std::to_string(want.at("Tasks").size()) + " tasks"),
              std::string::npos)
        << imported.Out;
    EXPECT_EQ(Differences(TablesOf(target), want), "");

    TqorDatabaseController db;
    db.OpenDatabase(target);
    TqorEditHistory history;
    const TqorImportResult again = ImportMspdiFile(db, file, &history);
    EXPECT_EQ(again.Counts.NewResources, 0);
    EXPECT_EQ(again.Counts.Resources, static_cast<int>(want.at("Resources").size()));
    EXPECT_EQ(db.LookupInteger("SELECT COUNT(*) FROM Tasks"),
              2 * static_cast<int32_t>(want.at("Tasks").size()));
    EXPECT_EQ(history.UndoName(), "Import of 'plan" + std::to_string(i) + ".xml'");
    history.Undo(db);
    EXPECT_EQ(Differences(Tables(db), want), "");
  }
}

// Every format writes its files, CSV one table or three beside the name given; wrong usage
// says what is wrong.
TEST_F(ExchangeCli, EveryFormatWritesItsFilesAndWrongUsageSaysWhy) {
  TSampleOptions o;
  o.Projects = 2;
  o.TasksPerProject = 5;
  o.Resources = 3;
  o.LinksPer100Tasks = 50;
  const std::string db = Path("plan.zuz");
  WriteSamplePlanner(db, o);
  for (const char* format : {"xml", "mspdi", "tjp", "csv", "ics"}) {
    const std::string file = Path(std::string("one.") + format);
    const TRun run = Cli(std::string("export --format ") + format +
                         (std::string(format) == "csv" ? " --table resources" : "") + " --output " +
                         file + " " + db);
    EXPECT_EQ(run.Status, 0) << format << "\n" << run.Out;
    EXPECT_GT(fs::file_size(file), 100u) << format;
  }
  EXPECT_EQ(LoadStringFromFile(Path("one.csv")).rfind("\xEF\xBB\xBF\"ID\",\"Name\"", 0), 0u);
  const TRun three = Cli("export --format csv --output " + Path("all.csv") + " " + db);
  ASSERT_EQ(three.Status, 0) << three.Out;
  EXPECT_EQ(three.Out, Path("all-tasks.csv") + "\n" + Path("all-resources.csv") + "\n" +
                           Path("all-assignments.csv") + "\n");
  for (const char* name : {"all-tasks.csv", "all-resources.csv", "all-assignments.csv"})
    EXPECT_TRUE(fs::exists(Path(name))) << name;
  EXPECT_FALSE(fs::exists(Path("all.csv")));

  struct Case {
    std::string args;
    std::string message;
  };
  for (const Case& c : std::vector<Case>{
           {"export --format pdf --output x " + db, "'--format' takes xml, mspdi, tjp, csv or ics"},
           {"export --format tjp --table tasks --output x " + db, "'--table' goes with"},
           {"export --format csv --table links --output x " + db, "'--table' takes tasks"},
           {"import --format xml x.xml " + db, "'--format' takes mspdi"},
           {"import " + db, "the database file is needed"}}) {
    const TRun run = Cli(c.args);
    EXPECT_EQ(run.Status, 2) << c.args << "\n" << run.Out;
    EXPECT_NE(run.Out.find(c.message), std::string::npos) << c.args << "\n" << run.Out;
  }
}

// A file that is no plan, or one the plan cannot take, gives exit status 1 and a message with
// the element, the line and the reason, and the plan stays as it was.
TEST_F(ExchangeCli, AFileThatIsNoPlanIsRefusedAndNothingIsStored) {
  TSampleOptions o;
  o.Projects = 1;
  o.TasksPerProject = 3;
  o.Resources = 2;
  const std::string db = Path("plan.zuz");
  WriteSamplePlanner(db, o);
  const TTables before = TablesOf(db);
  const std::string head =
      "<?xml version=\"1.0\"?>\n<Project xmlns=\"http://schemas.microsoft.com/project\">\n";
  const std::string task = "<Tasks><Task><UID>1</UID><Name>A</Name><OutlineLevel>1</OutlineLevel>";
  struct Case {
    std::string text;
    std::string message;
  };
  const std::string longName(300, 'x');
  for (const Case& c : std::vector<Case>{
           {head + "<Tasks><Task>\n<Name>A</Task></Tasks></Project>", "Name at line 4"},
           {"<?xml version=\"1.0\"?>\n<Project xmlns=\"urn:other\"/>", "namespace"},
           {head + task + "\n<Start>2027-03-05T08:00:00</Start>\n<Finish>2027-03-01T17:00:00" +
                "</Finish></Task></Tasks></Project>",
            "line"},
           {head + "<Tasks><Task><UID>1</UID><Name>" + longName +
                "</Name><OutlineLevel>1</OutlineLevel><Start>2027-03-01T08:00:00</Start>" +
                "<Finish>2027-03-01T17:00:00</Finish></Task></Tasks></Project>",
            "at most 255 fit: nothing was imported"},
           {"", ""}}) {
    const std::string file = Path("bad.xml");
    SaveStringToFile(file, c.text);
    const TRun run = Cli("import " + file + " " + db);
    EXPECT_EQ(run.Status, 1) << c.text.substr(0, 200) << "\n" << run.Out;
    EXPECT_NE(run.Out.find(c.message), std::string::npos) << run.Out;
    EXPECT_EQ(Differences(TablesOf(db), before), "") << c.text.substr(0, 200);
  }
  const TRun missing = Cli("import " + Path("missing.xml") + " " + db);
  EXPECT_EQ(missing.Status, 1);
  EXPECT_NE(missing.Out.find("Cannot open file " + Path("missing.xml")), std::string::npos)
      << missing.Out;
}

}  // namespace
