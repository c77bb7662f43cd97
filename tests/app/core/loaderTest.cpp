// Loading a plan into the planner document: every row becomes its element with the values as
// stored, tasks stand by end date, orphans are skipped, and the Settings row gives the filter
// and the report format (with its defaults when the row is missing). The checked loading of a
// damaged plan: every damaged page of a real plan file is either refused when the file opens,
// reported as damage, or changes nothing that is loaded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/core/qorPlannerCheck.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "db/objects/zuzDatabase.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzMemoryFile.h"
#include "planner/base/qorCalendar.h"
#include "planner/qorPlannerModel.h"

namespace {

namespace st = qorStatements;
constexpr const char* kPath = "/mem/db/Vazadod.zuz";
const double kToday = EncodeDate(2005, 1, 3);

class Loader : public ::testing::Test {
 protected:
  void SetUp() override {
    CreatePlannerDatabase(kPath, &fs_);
    db_.Database().SetExclusive(true);
    db_.OpenDatabase(kPath);
  }
  // A task of the project from start to end.
  int32_t AddTask(const std::string& name, int32_t project, double start, double end) {
    db_.Execute(st::InsertTask(name, start, project));
    const int32_t id = st::NewTaskId(db_);
    db_.Execute(st::UpdateTask(id, {name, start, end, false, false, 0, 0, ""}));
    return id;
  }
  std::vector<std::string> RowNames() const {
    std::vector<std::string> names;
    for (int row = TqorPlannerModel::kFixedRows; row < planner_.RowCount(); ++row) {
      if (const TqorXMLNode2* node = planner_.RowNode(row))
        names.push_back(node->GetAttribute("name").ToText());
    }
    return names;
  }

  zuz::TMemoryFileSystem fs_;
  TqorDatabaseController db_{&fs_};
  TqorPlannerModel planner_{[] { return kToday; }};
};

TEST_F(Loader, EveryRowBecomesItsElementWithTheStoredValues) {
  db_.Execute(st::InsertProject("Web", kToday));
  const int32_t web = st::NewProjectId(db_);
  db_.Execute(st::UpdateProject(
      web, {"Web", "WEB", kToday, kToday + 9, 100, 12.5, 5000, 612.5, false, "note"}));
  db_.Execute(st::UpdateProjectAssignedHours(web, 999));  // kept although no task has hours
  db_.Execute(st::InsertProject("Hidden", kToday));
  const int32_t hidden = st::NewProjectId(db_);
  const int32_t late = AddTask("A late one", web, kToday + 2, kToday + 8);
  const int32_t early = AddTask("B early one", web, kToday, kToday + 1);
  db_.Execute(st::UpdateTask(early, {"B early one", kToday, kToday + 1, true, true, 20, 50, ""}));
  AddTask("Hidden task", hidden, kToday, kToday);
  db_.Execute(st::InsertResource("Zoë O'Neil"));
  const int32_t zoe = st::NewResourceId(db_);
  db_.Execute(st::UpdateResource(zoe, {"Zoë O'Neil", "ZO", 35, 60, 100, ""}));
  db_.Execute(st::InsertAssignment(early, zoe, 50));
  db_.Execute(st::InsertHoliday(zoe, kToday + 5, kToday + 6));
  // Rows whose parent is not there: a task of a deleted project, an assignment of a lost task.
  db_.Execute(st::InsertTask("Orphan", kToday, 77));
  db_.Execute(st::InsertAssignment(4242, zoe, 10));
  db_.Execute(st::UpdateProjectFilter("[" + std::to_string(web) + "]"));
  db_.Execute(st::UpdateReportFormat("rtf"));

  const TqorPlannerSettings settings = LoadPlanner(db_, planner_);
  EXPECT_EQ(settings.ReportFormat, "RTF");
  EXPECT_EQ(planner_.ProjectFilter(), "[" + std::to_string(web) + "]");
  // Only the filtered project shows, with its tasks by end date (not by name).
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"Web", "B early one", "A late one"}));

  const TqorXMLParser2& doc = planner_.Document();
  const TqorXMLNode2* project = doc.GetNodeById("project", std::to_string(web));
  ASSERT_NE(project, nullptr);
  EXPECT_EQ(project->GetAttribute("tag").ToText(), "WEB");
  EXPECT_EQ(project->GetAttribute("expanded").AsBoolean(), true);
  EXPECT_EQ(project->GetAttribute("assignedhours").AsReal(), 999);
  EXPECT_EQ(project->GetAttribute("actualcost").AsReal(), 612.5);
  EXPECT_EQ(project->GetAttribute("enddate").AsReal(), kToday + 9);
  EXPECT_EQ(project->GetAttribute("notes").ToText(), "note");
  EXPECT_EQ(project->ChildCount(), 2);

  const TqorXMLNode2* task = doc.GetNodeById("task", std::to_string(early));
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(project->GetChild(0), task);
  EXPECT_TRUE(task->GetAttribute("ismilestone").AsBoolean());
  EXPECT_TRUE(task->GetAttribute("iscompleted").AsBoolean());
  EXPECT_EQ(task->GetAttribute("assignedhours").AsReal(), 20);
  EXPECT_EQ(task->GetAttribute("progress").AsReal(), 50);
  EXPECT_EQ(doc.GetNodeById("task", std::to_string(late))->GetAttribute("progress").AsReal(), 0);
  ASSERT_EQ(task->ChildCount(), 1);
  EXPECT_EQ(task->GetChild(0)->GetAttribute("resourceid").ToText(), std::to_string(zoe));
  EXPECT_EQ(task->GetChild(0)->GetAttribute("units").AsReal(), 50);

  const TqorXMLNode2* resource = doc.GetNodeById("resource", std::to_string(zoe));
  ASSERT_NE(resource, nullptr);
  EXPECT_EQ(resource->GetAttribute("name").ToText(), "Zoë O'Neil");
  EXPECT_EQ(resource->GetAttribute("initials").ToText(), "ZO");
  EXPECT_EQ(resource->GetAttribute("hoursperweek").AsReal(), 35);
  EXPECT_EQ(planner_.GetResourceInitials(task), "ZO");
  ASSERT_EQ(planner_.HolidaysNode()->ChildCount(), 1);
  EXPECT_EQ(planner_.HolidaysNode()->GetChild(0)->GetAttribute("startdate").AsReal(), kToday + 5);

  // The orphans are not in the document.
  EXPECT_EQ(doc.GetNodeById("task", std::to_string(st::NewTaskId(db_))), nullptr);
  EXPECT_EQ(doc.GetNodeById("assignment", std::to_string(st::NewAssignmentId(db_))), nullptr);
}

TEST_F(Loader, TheSettingsRowGivesFilterAndFormatOrTheirDefaults) {
  struct Case {
    const char* stored;
    const char* read;
  };
  for (const Case& c : {Case{"PDF", "PDF"}, Case{"rtf", "RTF"}, Case{"doc", "DOC"}}) {
    db_.Execute(st::UpdateReportFormat(c.stored));
    TqorPlannerModel planner([] { return kToday; });
    EXPECT_EQ(LoadSettings(db_, planner).ReportFormat, c.read);
  }
  db_.Execute(st::InsertProject("Shown once filtered", kToday));
  db_.Execute("DELETE FROM Settings WHERE SettingId=1");
  const TqorPlannerSettings settings = LoadPlanner(db_, planner_);
  EXPECT_EQ(settings.ReportFormat, "PDF");
  EXPECT_EQ(settings.ProjectFilter, "");
  // An empty filter shows no project: only the placeholder row.
  EXPECT_TRUE(RowNames().empty());
  EXPECT_TRUE(planner_.HasPlaceholderRow());
}

TEST_F(Loader, AnErrorEndsTheLoadingWhereItHappensAndKeepsWhatWasRead) {
  db_.Execute(st::InsertProject("Kept", kToday));
  db_.Execute("DROP TABLE Tasks");
  EXPECT_THROW(LoadPlanner(db_, planner_), zuz::EZuzDatabaseError);
  EXPECT_EQ(planner_.ProjectsNode()->ChildCount(), 1);
  EXPECT_EQ(db_.OpenRecordSetCount(), 0);
}

// A plan of several pages per table: projects, tasks with notes (in blobs), resources,
// assignments and holidays, and a filter showing all but one project.
void WriteDamageTestPlan(TqorDatabaseController& db) {
  TqorDatabaseTransaction transaction(db);
  std::string filter;
  for (int p = 0; p < 3; ++p) {
    db.Execute(st::InsertProject("Project " + std::to_string(p), kToday));
    const int32_t project = st::NewProjectId(db);
    if (p != 1) filter += "[" + std::to_string(project) + "]";
    for (int t = 0; t < 16; ++t) {
      const std::string name = "Task " + std::to_string(p) + "." + std::to_string(t);
      db.Execute(st::InsertTask(name, kToday, project));
      const int32_t task = st::NewTaskId(db);
      db.Execute(st::UpdateTask(task, {name, kToday + t, kToday + t + p, t % 7 == 0, t % 3 == 0,
                                       8.0 * t, 4.0 * t, std::string(t * 30, 'n')}));
      if (t % 2 == 0) db.Execute(st::InsertAssignment(task, 1 + t % 5, 50 + t));
    }
  }
  for (int r = 0; r < 5; ++r) {
    db.Execute(st::InsertResource("Resource " + std::to_string(r)));
    db.Execute(st::InsertHoliday(st::NewResourceId(db), kToday + r, kToday + r + 2));
  }
  db.Execute(st::UpdateProjectFilter(filter));
  db.Execute(st::UpdateReportFormat("RTF"));
  transaction.Commit();
}

// What a load gave: the document's text, the filter and the report format.
std::string LoadedPlan(const TqorPlannerModel& planner, const TqorPlannerSettings& settings) {
  return planner.Document().Xml() + "|" + planner.ProjectFilter() + "|" + settings.ReportFormat;
}

TEST(DamagedPlan, EveryDamagedPageIsRefusedReportedOrChangesNothingLoaded) {
  zuz::TMemoryFileSystem made;
  CreatePlannerDatabase(kPath, &made);
  std::string whole;
  {
    TqorDatabaseController db(&made);
    db.OpenDatabase(kPath);
    WriteDamageTestPlan(db);
    TqorPlannerModel planner([] { return kToday; });
    std::vector<std::string> problems;
    const TqorPlannerSettings settings = LoadCheckedPlanner(db, planner, problems);
    EXPECT_EQ(problems, std::vector<std::string>{}) << "a whole plan has no problem";
    whole = LoadedPlan(planner, settings);
    TqorPlannerModel plain([] { return kToday; });
    EXPECT_EQ(LoadedPlan(plain, LoadPlanner(db, plain)), whole) << "the same load as ever";
  }
  const std::vector<uint8_t> file = *made.Contents(kPath);
  const size_t pages = file.size() / 4096;
  ASSERT_GT(pages, 30u);
  // Each page overwritten once, the even ones with zeros and the odd ones with random bytes;
  // VZ_DAMAGE_ROUNDS more rounds give every page random bytes (0 by default).
  const char* more = std::getenv("VZ_DAMAGE_ROUNDS");
  const int rounds = 1 + (more ? std::atoi(more) : 0);
  std::mt19937 random(2026);
  int refused = 0, reported = 0, unchanged = 0;
  for (int round = 0; round < rounds; ++round) {
    for (size_t page = 0; page < pages; ++page) {
      const bool zeros = round == 0 && page % 2 == 0;
      std::vector<uint8_t> damaged = file;
      for (size_t i = page * 4096; i < (page + 1) * 4096; ++i)
        damaged[i] = zeros ? 0 : static_cast<uint8_t>(random());
      zuz::TMemoryFileSystem fs;
      fs.SetContents(kPath, damaged);
      TqorDatabaseController db(&fs);
      try {
        db.OpenDatabase(kPath);
      } catch (const zuz::EZuzDatabaseError&) {
        ++refused;  // the program ends with the engine's message, as for an unreadable file
        continue;
      }
      TqorPlannerModel planner([] { return kToday; });
      std::vector<std::string> problems;
      TqorPlannerSettings settings;
      ASSERT_NO_THROW(settings = LoadCheckedPlanner(db, planner, problems))
          << "round " << round << ", page " << page;
      if (!problems.empty()) {
        ++reported;
        continue;
      }
      EXPECT_EQ(LoadedPlan(planner, settings), whole)
          << "round " << round << ", page " << page << " changed the plan unnoticed";
      ++unchanged;
    }
  }
  EXPECT_GT(reported, 0);
  RecordProperty("refused", refused);
  RecordProperty("reported", reported);
  RecordProperty("unchanged", unchanged);
  std::printf("damaged pages: %d refused at open, %d reported, %d changing nothing\n", refused,
              reported, unchanged);
}

}  // namespace
