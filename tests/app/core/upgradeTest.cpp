// Plans of the earlier versions (tests/data/plan-version-1.zuz, made by the program before links
// existed, and plan-version-2.zuz, with links but without a plan id) brought up to this program's
// version: the rows stay as they were and the new tables work; with
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

std::vector<uint8_t> VersionFile(int version) {
  std::ifstream in(VZ_SOURCE_DIR "/tests/data/plan-version-" + std::to_string(version) + ".zuz",
                   std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<uint8_t> VersionOneFile() {
  return VersionFile(1);
}

// Every row of the tables a plan of version 1 has (and the links of a later one), as text.
std::map<std::string, std::vector<std::string>> Rows(TqorDatabaseController& db) {
  std::map<std::string, std::vector<std::string>> rows;
  for (TqorPlanTable table :
       {TqorPlanTable::Projects, TqorPlanTable::Tasks, TqorPlanTable::Resources,
        TqorPlanTable::Assignments, TqorPlanTable::Holidays, TqorPlanTable::Settings,
        TqorPlanTable::TaskLinks}) {
    if (table == TqorPlanTable::TaskLinks && StoredPlanVersion(db) < 2) continue;
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

TEST(PlanUpgrade, AnEarlierPlanKeepsItsRowsAndGetsLinksAndAnId) {
  for (int version = 1; version < kPlanVersion; ++version) {
    SCOPED_TRACE("version " + std::to_string(version));
    zuz::TMemoryFileSystem mem;
    mem.SetContents(kPath, VersionFile(version));
    const TFound before = Open(mem);
    ASSERT_EQ(before.version, version);
    ASSERT_TRUE(before.problems.empty()) << before.problems.front();
    ASSERT_FALSE(before.rows.at("Tasks").empty());
    {
      TqorDatabaseController db(&mem);
      db.OpenDatabase(kPath);
      EXPECT_EQ(UpgradePlan(db, "plan.zuz"), version);
      EXPECT_EQ(UpgradePlan(db, "plan.zuz"), kPlanVersion) << "a second upgrade does nothing";
      db.Execute(
          "INSERT INTO TaskLinks (PredecessorId, SuccessorId, LinkType, LagDays) VALUES (1, 2, "
          "'FS', 0)");
      const std::string id = db.LookupValue("SELECT PlanId FROM PlanIdentity").ToText();
      EXPECT_EQ(id.size(), 36u) << id;
      EXPECT_EQ(db.LookupInteger("SELECT COUNT(*) FROM PlanIdentity"), 1);
    }
    TFound after = Open(mem);
    EXPECT_EQ(after.version, kPlanVersion);
    auto& links = after.rows["TaskLinks"];
    ASSERT_FALSE(links.empty());
    links.pop_back();  // the one added
    if (links.empty()) after.rows.erase("TaskLinks");
    EXPECT_EQ(after.rows, before.rows);
    EXPECT_TRUE(after.problems.empty()) << after.problems.front();
  }
}

TEST(PlanUpgrade, FailingAtEveryWriteLeavesTheOldPlanOrTheNew) {
  for (int version = 1; version < kPlanVersion; ++version) {
    SCOPED_TRACE("version " + std::to_string(version));
    const std::vector<uint8_t> original = VersionFile(version);
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
              EXPECT_NE(
                  std::string(e.what()).find("could not be brought up to version " +
                                             std::to_string(kPlanVersion) + ", and is as it was"),
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
          EXPECT_TRUE(found.version == version || found.version == kPlanVersion) << found.version;
          (found.version == version ? oldSeen : newSeen)++;
        }
      }
    }
    EXPECT_GT(oldSeen, 0);
    EXPECT_GT(newSeen, 0);
    std::printf("version %d: %lld calls; the old plan after %d failures, the new one after %d\n",
                version, static_cast<long long>(calls), oldSeen, newSeen);
  }
}

TEST(PlanUpgrade, APlanOfANewerVersionIsRefusedUnchanged) {
  zuz::TMemoryFileSystem mem;
  mem.SetContents(kPath, VersionOneFile());
  {
    TqorDatabaseController db(&mem);
    db.OpenDatabase(kPath);
    UpgradePlan(db, "plan.zuz");
    db.Execute("UPDATE PlanVersion SET Version=" + std::to_string(kPlanVersion + 1));
  }
  const std::vector<uint8_t> newer = *mem.Contents(kPath);
  TqorDatabaseController db(&mem);
  db.OpenDatabase(kPath);
  try {
    UpgradePlan(db, "plan.zuz");
    ADD_FAILURE() << "a plan of a newer version was taken";
  } catch (const EqorPlanVersionError& e) {
    EXPECT_EQ(std::string(e.what()),
              "The plan plan.zuz is of version " + std::to_string(kPlanVersion + 1) +
                  ", made by a newer Vazadod; this program reads plans up to version " +
                  std::to_string(kPlanVersion) +
                  ". Open it with the newer program; the file was not changed.");
  }
  db.CloseDatabase();
  EXPECT_EQ(*mem.Contents(kPath), newer);
}

}  // namespace
