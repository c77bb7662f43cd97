// Plans of version 1 (tests/data/plan-version-1.zuz, made by the program before links existed)
// brought up to this program's version: the rows stay as they were and the new tables work; with
// every write, flush and delete of the upgrade failing in turn, once or for good (a program that
// dies there), the file afterwards opens and is either the old plan or the new one, never a mix. A
// plan of a newer version is refused, naming both versions, and not changed.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/core/qorPlanRows.h"
#include "app/core/qorPlanUpgrade.h"
#include "app/core/qorPlannerCheck.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "db/access/qorDatabaseController.h"
#include "db/index/zuzIntegrityCheck.h"
#include "db/objects/zuzDatabase.h"
#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzMemoryFile.h"
#include "planner/qorPlannerModel.h"

namespace {

using zuz::TFaultFileSystem;
using zuz::TFaultMode;
using zuz::TFaultOp;

constexpr const char* kPath = "/mem/plan.zuz";

std::vector<uint8_t> VersionOneFile() {
  std::ifstream in(VZ_SOURCE_DIR "/tests/data/plan-version-1.zuz", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Every row of the tables a plan of version 1 has, as text.
std::map<std::string, std::vector<std::string>> Rows(TqorDatabaseController& db) {
  std::map<std::string, std::vector<std::string>> rows;
  for (TqorPlanTable table :
       {TqorPlanTable::Projects, TqorPlanTable::Tasks, TqorPlanTable::Resources,
        TqorPlanTable::Assignments, TqorPlanTable::Holidays, TqorPlanTable::Settings}) {
    for (const TqorPlanRow& row : qorPlanRows::Read(db, table, "")) {
      std::string text;
      for (const TqorVariant& value : row.Values) text += "|" + value.ToText();
      rows[qorPlanRows::TableName(table)].push_back(text);
    }
  }
  return rows;
}

// What a program that opens the file finds: its version, its rows, the planner's checks and the
// engine's integrity check.
struct TFound {
  int version = 0;
  std::map<std::string, std::vector<std::string>> rows;
  std::vector<std::string> problems;
};

TFound Open(zuz::TZuzFileSystem& fs) {
  TFound found;
  TqorDatabaseController db(&fs);
  db.Database().SetExclusive(true);
  db.OpenDatabase(kPath);
  found.version = StoredPlanVersion(db);
  found.rows = Rows(db);
  TqorPlannerModel planner;
  LoadCheckedPlanner(db, planner, found.problems);
  for (const std::string& p : zuz::CheckDatabaseIntegrity(*db.Database().Tables()))
    found.problems.push_back(p);
  return found;
}

TEST(PlanUpgrade, AVersionOnePlanKeepsItsRowsAndGetsLinks) {
  zuz::TMemoryFileSystem mem;
  mem.SetContents(kPath, VersionOneFile());
  const TFound before = Open(mem);
  ASSERT_EQ(before.version, 1);
  ASSERT_TRUE(before.problems.empty()) << before.problems.front();
  ASSERT_FALSE(before.rows.at("Tasks").empty());
  {
    TqorDatabaseController db(&mem);
    db.OpenDatabase(kPath);
    EXPECT_EQ(UpgradePlan(db, "plan.zuz"), 1);
    EXPECT_EQ(UpgradePlan(db, "plan.zuz"), 2) << "a second upgrade does nothing";
    db.Execute(
        "INSERT INTO TaskLinks (PredecessorId, SuccessorId, LinkType, LagDays) VALUES (1, 2, "
        "'FS', 0)");
  }
  const TFound after = Open(mem);
  EXPECT_EQ(after.version, kPlanVersion);
  EXPECT_EQ(after.rows, before.rows);
  EXPECT_TRUE(after.problems.empty()) << after.problems.front();
}

TEST(PlanUpgrade, FailingAtEveryWriteLeavesTheOldPlanOrTheNew) {
  const std::vector<uint8_t> original = VersionOneFile();
  zuz::TMemoryFileSystem counting;
  counting.SetContents(kPath, original);
  int64_t calls = 0;
  {
    TFaultFileSystem fault(counting);
    TqorDatabaseController db(&fault);
    db.OpenDatabase(kPath);
    fault.Arm(TFaultOp::Any, 1 << 30);
    UpgradePlan(db, "plan.zuz");
    calls = fault.Calls(TFaultOp::Any);
  }
  ASSERT_GT(calls, 10);
  const TFound old = [&] {
    zuz::TMemoryFileSystem mem;
    mem.SetContents(kPath, original);
    return Open(mem);
  }();
  int oldSeen = 0, newSeen = 0;
  for (TFaultOp op : {TFaultOp::Write, TFaultOp::Sync, TFaultOp::Delete, TFaultOp::SyncFolder}) {
    for (bool sticky : {false, true}) {
      for (int64_t n = 1;; ++n) {
        SCOPED_TRACE("call " + std::to_string(static_cast<int>(op)) + " number " +
                     std::to_string(n) + (sticky ? " and every one after it" : ""));
        zuz::TMemoryFileSystem mem;
        mem.SetContents(kPath, original);
        bool fired = false;
        {
          TFaultFileSystem fault(mem);
          TqorDatabaseController db(&fault);
          db.OpenDatabase(kPath);
          fault.Arm(op, n, TFaultMode::Fail, sticky);
          try {
            UpgradePlan(db, "plan.zuz");
          } catch (const EqorPlanVersionError& e) {
            EXPECT_NE(std::string(e.what()).find("could not be brought up to version 2, and is as "
                                                 "it was"),
                      std::string::npos)
                << e.what();
          } catch (const std::exception&) {
            // A failure after the commit point (closing, cleaning up) is the engine's own.
          }
          fired = fault.Triggered();
          try {
            db.CloseDatabase();
          } catch (const std::exception&) {
          }
        }
        if (!fired) break;
        const TFound found = Open(mem);
        EXPECT_TRUE(found.problems.empty()) << found.problems.front();
        EXPECT_EQ(found.rows, old.rows);
        EXPECT_TRUE(found.version == 1 || found.version == kPlanVersion) << found.version;
        (found.version == 1 ? oldSeen : newSeen)++;
      }
    }
  }
  EXPECT_GT(oldSeen, 0);
  EXPECT_GT(newSeen, 0);
  std::printf("%lld calls; the old plan after %d failures, the new one after %d\n",
              static_cast<long long>(calls), oldSeen, newSeen);
}

TEST(PlanUpgrade, APlanOfANewerVersionIsRefusedUnchanged) {
  zuz::TMemoryFileSystem mem;
  mem.SetContents(kPath, VersionOneFile());
  {
    TqorDatabaseController db(&mem);
    db.OpenDatabase(kPath);
    UpgradePlan(db, "plan.zuz");
    db.Execute("UPDATE PlanVersion SET Version=3");
  }
  const std::vector<uint8_t> newer = *mem.Contents(kPath);
  TqorDatabaseController db(&mem);
  db.OpenDatabase(kPath);
  try {
    UpgradePlan(db, "plan.zuz");
    ADD_FAILURE() << "a plan of version 3 was taken";
  } catch (const EqorPlanVersionError& e) {
    EXPECT_STREQ(e.what(),
                 "The plan plan.zuz is of version 3, made by a newer Vazadod; this program reads "
                 "plans up to version 2. Open it with the newer program; the file was not "
                 "changed.");
  }
  db.CloseDatabase();
  EXPECT_EQ(*mem.Contents(kPath), newer);
}

}  // namespace
