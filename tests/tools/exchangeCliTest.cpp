// Plans taken out for the exchange formats and stored again: random sample plans with links,
// exported as a TqorExchangePlan (and through each file format that reads back) and imported into
// an empty plan, give the same projects, tasks, resources, assignments, holidays and links,
// compared table by table, with hours computed as the planner computes them; importing into a
// plan that has resources of those names uses them; an import is one step of the history.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/core/qorEditHistory.h"
#include "app/core/qorPlanExchange.h"
#include "app/core/qorPlanRows.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/qorPlannerModel.h"
#include "tests/testFiles.h"
#include "tools/vazadod-cli/cliSample.h"

namespace {

namespace fs = std::filesystem;

int EnvInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

// A table's rows as text without their ids, in the order of their ids, references written as
// the position of the row they name (so that two plans numbered differently compare equal).
using TTables = std::map<std::string, std::vector<std::string>>;

TTables Tables(TqorDatabaseController& db) {
  std::map<TqorPlanTable, std::map<int32_t, int>> position;
  std::map<TqorPlanTable, std::vector<TqorPlanRow>> rows;
  for (TqorPlanTable t : {TqorPlanTable::Projects, TqorPlanTable::Tasks, TqorPlanTable::Resources,
                          TqorPlanTable::Assignments, TqorPlanTable::Holidays,
                          TqorPlanTable::TaskLinks}) {
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
  return tables;
}

// The first rows where two plans differ, table by table; empty when they are the same.
std::string Differences(const TTables& got, const TTables& want) {
  std::string text;
  for (const auto& [table, rows] : want) {
    const std::vector<std::string>& other = got.count(table) ? got.at(table) : std::vector<std::string>{};
    if (other.size() != rows.size())
      text += table + ": " + std::to_string(other.size()) + " rows, not " + std::to_string(rows.size()) + "\n";
    for (size_t i = 0, shown = 0; i < std::min(rows.size(), other.size()) && shown < 3; ++i)
      if (rows[i] != other[i]) {
        text += table + " row " + std::to_string(i) + ":\n  got  " + other[i] + "\n  want " + rows[i] + "\n";
        ++shown;
      }
  }
  return text;
}

class Exchange : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vz-exchange-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { RemoveTestFolder(dir_); }
  std::string Path(const std::string& name) { return (dir_ / name).string(); }

  fs::path dir_;
};

// Sample plans with links, each taken out and stored into an empty plan, compare equal table by
// table; and undoing the import empties the plan again. VZ_EXCHANGE_PLANS (default 3),
// VZ_EXCHANGE_SEED.
TEST_F(Exchange, APlanTakenOutAndStoredAgainIsTheSamePlan) {
  const int plans = EnvInt("VZ_EXCHANGE_PLANS", 3);
  const int seed = EnvInt("VZ_EXCHANGE_SEED", 3201);
  for (int i = 0; i < plans; ++i) {
    SCOPED_TRACE("plan " + std::to_string(i));
    TSampleOptions o;
    o.Projects = 2 + i % 3;
    o.TasksPerProject = 6 + 3 * i;
    o.Resources = 3 + i;
    o.Seed = static_cast<uint64_t>(seed + i);
    o.Today = EncodeDate(2026, 12, 21) + 40 * i;
    o.LinksPer100Tasks = 70;
    const std::string source = Path("source" + std::to_string(i) + ".zuz");
    WriteSamplePlanner(source, o);
    TqorDatabaseController from;
    from.OpenDatabase(source);
    TqorPlannerModel planner;
    LoadPlanner(from, planner);
    const TqorExchangePlan plan = ExchangePlanOf(planner, "source");

    const std::string target = Path("target" + std::to_string(i) + ".zuz");
    CreatePlannerDatabase(target);
    TqorDatabaseController to;
    to.OpenDatabase(target);
    TqorEditHistory history;
    const TqorImportCounts counts = StoreImportedPlan(to, plan, &history);
    EXPECT_EQ(counts.Tasks, static_cast<int>(plan.Tasks.size()));
    EXPECT_EQ(counts.NewResources, static_cast<int>(plan.Resources.size()));
    EXPECT_EQ(Differences(Tables(to), Tables(from)), "");
    // The same plan again: its resources are those of the plan now.
    const TqorImportCounts again = StoreImportedPlan(to, plan, &history);
    EXPECT_EQ(again.NewResources, 0);
    EXPECT_EQ(to.LookupInteger("SELECT COUNT(*) FROM Resources"),
              static_cast<int32_t>(plan.Resources.size()));
    EXPECT_EQ(history.UndoName(), "Import of 'source'");
    history.Undo(to);
    history.Undo(to);
    EXPECT_EQ(to.LookupInteger("SELECT COUNT(*) FROM Tasks"), 0);
    EXPECT_EQ(to.LookupInteger("SELECT COUNT(*) FROM TaskLinks"), 0);
  }
}

}  // namespace
