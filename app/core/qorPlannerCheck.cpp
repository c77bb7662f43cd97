#include "app/core/qorPlannerCheck.h"

#include <exception>
#include <functional>
#include <memory>
#include <optional>

#include "app/core/qorPlanUpgrade.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "db/index/zuzIndexManager.h"
#include "db/objects/zuzDatabase.h"
#include "db/record/zuzDataUnit.h"
#include "db/record/zuzTableMgrUnit.h"
#include "db/storage/zuzFieldTypes.h"
#include "db/storage/zuzLockProvider.h"
#include "planner/qorPlannerModel.h"

namespace {

using zuz::SameName;
using zuz::TTableDef;

// The planner's tables as its schema statements make them (qorPlannerSchema.h), in the words of
// Signature below: each field with its type (and a text's declared length), then each index with
// its key fields. A new plan loads without a problem only while both agree.
struct TPlannerTable {
  const char* name;
  std::vector<std::string> signature;
};
const std::vector<TPlannerTable>& PlannerTables() {
  static const std::vector<TPlannerTable> tables = {
      {"Projects",
       {"ProjectId ftAutoInc", "ProjectName ftString 255", "ProjectTag ftString 100",
        "StartDate ftDate", "EndDate ftDate", "BudgetHours ftFloat", "ActualHours ftFloat",
        "BudgetCost ftFloat", "ActualCost ftFloat", "IsCompleted ftBoolean",
        "AssignedHours ftFloat", "Notes ftMemo", "primary index unique (ProjectId)"}},
      {"Tasks",
       {"TaskId ftAutoInc", "TaskName ftString 255", "StartDate ftDate", "EndDate ftDate",
        "IsMileStone ftBoolean", "IsCompleted ftBoolean", "AssignedHours ftFloat",
        "Progress ftFloat", "Notes ftMemo", "ProjectId ftInteger", "primary index unique (TaskId)",
        "index ixTasksProjectId (ProjectId)"}},
      {"Resources",
       {"ResourceId ftAutoInc", "ResourceName ftString 200", "Initials ftString 40",
        "HoursPerWeek ftFloat", "CostPerHour ftFloat", "MaxUnits ftFloat", "Notes ftMemo",
        "primary index unique (ResourceId)"}},
      {"Assignments",
       {"AssignmentId ftAutoInc", "TaskId ftInteger", "ResourceId ftInteger", "Units ftFloat",
        "primary index unique (AssignmentId)", "index ixAssignmentsTaskId (TaskId)",
        "index ixAssignmentsResourceId (ResourceId)"}},
      {"Holidays",
       {"HolidayId ftAutoInc", "ResourceId ftInteger", "StartDate ftDate", "EndDate ftDate",
        "primary index unique (HolidayId)", "index ixHolidaysResourceId (ResourceId)"}},
      {"Settings",
       {"SettingId ftInteger", "ProjectFilter ftMemo", "ReportFormat ftString 10",
        "primary index unique (SettingId)"}},
      // Plans of version 2 on.
      {"PlanVersion", {"Version ftInteger", "primary index unique (Version)"}},
      {"TaskLinks",
       {"LinkId ftAutoInc", "PredecessorId ftInteger", "SuccessorId ftInteger",
        "LinkType ftString 2", "LagDays ftFloat", "primary index unique (LinkId)",
        "index ixTaskLinksPredecessorId (PredecessorId)",
        "index ixTaskLinksSuccessorId (SuccessorId)"}},
      // Plans of version 3 on.
      {"PlanIdentity", {"PlanId ftString 36", "primary index unique (PlanId)"}}};
  return tables;
}

// What a definition holds for the planner: its fields and indexes, one text each. Record
// offsets and sizes follow from these and are checked by the engine when it reads a definition.
std::vector<std::string> Signature(const TTableDef& def) {
  std::vector<std::string> parts;
  for (const zuz::TInternalFieldItem& f : def.InternalFields) {
    std::string part = f.FieldName + " " + zuz::FieldTypeName(f.DataType);
    if (f.DataType == zuz::TFieldType::ftString) part += " " + std::to_string(f.FieldSize - 1);
    if (f.NumDecimalPlaces != 0) part += " decimals " + std::to_string(f.NumDecimalPlaces);
    if (f.Required) part += " required";
    if (f.Hidden) part += " hidden";
    parts.push_back(part);
  }
  for (const zuz::TInternalIndexDef& x : def.InternalIndexDefs) {
    std::string part = x.IndexName.empty() ? "primary index" : "index " + x.IndexName;
    if (!x.IndexName.empty() && x.Primary) part += " primary";
    if (x.Unique) part += " unique";
    if (x.Hidden) part += " hidden";
    if (!x.Maintained) part += " unmaintained";
    std::string keys;
    for (const zuz::TKeyFieldItem& k : def.KeyFieldsOf(x.IndexName)) {
      if (k.Hidden) continue;
      keys += (keys.empty() ? "" : ", ") + k.FieldName;
      if (k.Descending) keys += " descending";
      if (k.CaseInsensitive) keys += " case-blind";
    }
    parts.push_back(part + " (" + keys + ")");
  }
  return parts;
}

// The first way the stored definition differs from the planner's, or "".
std::string DefinitionDifference(const TTableDef& stored, const std::vector<std::string>& planner) {
  const std::vector<std::string> has = Signature(stored);
  for (size_t i = 0; i < has.size() || i < planner.size(); ++i) {
    if (i < has.size() && i < planner.size() && has[i] == planner[i]) continue;
    if (i >= has.size()) return "it lacks " + planner[i];
    if (i >= planner.size()) return "it has " + has[i] + " beyond the planner's";
    return "it has " + has[i] + " where the planner has " + planner[i];
  }
  return {};
}

std::string Entries(int64_t n) {
  return std::to_string(n) + (n == 1 ? " entry" : " entries");
}

std::string IndexName(const std::string& name) {
  return name.empty() ? "its primary index" : "its index " + name;
}

// The table's own object, for its stored definition and its index trees; returned to the table
// manager when it goes.
class TTableView {
 public:
  TTableView(zuz::TTableMgr& tables, const std::string& name) : tables_(tables) {
    for (const std::string& stored : tables.TableNames()) {
      if (SameName(stored, name)) table_ = tables.OpenTable(stored);
    }
    if (!table_) throw std::runtime_error("the table is missing");
  }
  ~TTableView() {
    try {
      tables_.ReturnTable(std::move(table_));
    } catch (...) {
      // Only the table object is not kept for the next statement.
    }
  }
  TTableView(const TTableView&) = delete;
  TTableView& operator=(const TTableView&) = delete;

  const TTableDef& Def() const { return table_->Def(); }

  // The entries of each maintained index, by index name.
  std::vector<std::pair<std::string, int64_t>> EntryCounts() {
    zuz::TOpenTable::TLockScope lock(*table_, zuz::ltRead);
    zuz::TIndexManager& indexes = zuz::IndexManagerOf(*table_);
    std::vector<std::pair<std::string, int64_t>> counts;
    for (int i = 0; i < indexes.Count(); ++i) {
      zuz::TIndexItem& item = indexes.Item(i);
      if (!item.Maintained || item.Memory) continue;
      counts.emplace_back(item.IndexName, item.Tree().KeyCount());
    }
    return counts;
  }

 private:
  zuz::TTableMgr& tables_;
  std::unique_ptr<zuz::TOpenTable> table_;
};

size_t CountRows(TqorDatabaseController& controller, const std::string& statement) {
  TqorDatabaseRecordSet* set = controller.OpenRecordSet(statement);
  size_t rows = 0;
  try {
    for (; !controller.Eof(set); controller.Next(set)) ++rows;
  } catch (...) {
    controller.CloseRecordSet(set);
    throw;
  }
  controller.CloseRecordSet(set);
  return rows;
}

// Checks one table around its loading step (which returns the rows it read); false when a
// problem was found.
bool CheckTable(TqorDatabaseController& controller, const TPlannerTable& planner,
                const std::function<size_t()>& load, std::vector<std::string>& problems) {
  const std::string table = planner.name;
  const auto problem = [&](const std::string& what) {
    problems.push_back("table " + table + ": " + what);
    return false;
  };
  std::unique_ptr<TTableView> view;
  try {
    view = std::make_unique<TTableView>(*controller.Database().Tables(), table);
  } catch (const std::exception& e) {
    return problem(e.what());
  }
  bool whole = true;
  const std::string difference = DefinitionDifference(view->Def(), planner.signature);
  if (!difference.empty()) whole = problem("its definition is not the planner's: " + difference);
  size_t rows = 0;
  try {
    rows = load();
  } catch (const std::exception& e) {
    return problem(std::string("reading it failed: ") + e.what());
  }
  try {
    const auto counts = view->EntryCounts();
    bool agree = true;
    for (const auto& [index, entries] : counts) agree = agree && entries == counts[0].second;
    const std::string read =
        std::to_string(rows) + (rows == 1 ? " record was read, but " : " records were read, but ");
    if (agree && !counts.empty() && counts[0].second != static_cast<int64_t>(rows)) {
      whole = problem(read +
                      (counts.size() == 1 ? IndexName(counts[0].first) + " holds "
                                          : std::string("its indexes hold ")) +
                      Entries(counts[0].second));
    } else if (!agree) {
      for (const auto& [index, entries] : counts) {
        if (entries != static_cast<int64_t>(rows))
          whole = problem(read + IndexName(index) + " holds " + Entries(entries));
      }
    }
  } catch (const std::exception& e) {
    return problem(std::string("reading its indexes failed: ") + e.what());
  }
  return whole;
}

// A file name as a shell takes it.
std::string ShellWord(const std::string& text) {
  bool plain = !text.empty();
  for (char c : text) {
    plain = plain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '/' || c == '.' || c == '_' || c == '-' || c == '+' || c == ',');
  }
  if (plain) return text;
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

TqorPlannerSettings LoadCheckedPlanner(TqorDatabaseController& controller,
                                       TqorPlannerModel& planner,
                                       std::vector<std::string>& problems) {
  std::optional<TqorDatabaseTransaction> transaction;
  try {
    transaction.emplace(controller);
  } catch (const std::exception& e) {
    problems.push_back(std::string("reading the plan failed: ") + e.what());
    return {};
  }
  const std::vector<TPlannerTable>& tables = PlannerTables();
  CheckTable(
      controller, tables[0], [&] { return LoadProjects(controller, planner); }, problems);
  CheckTable(
      controller, tables[1], [&] { return LoadTasks(controller, planner); }, problems);
  CheckTable(
      controller, tables[2], [&] { return LoadResources(controller, planner); }, problems);
  CheckTable(
      controller, tables[3], [&] { return LoadAssignments(controller, planner); }, problems);
  CheckTable(
      controller, tables[4], [&] { return LoadHolidays(controller, planner); }, problems);
  TqorPlannerSettings settings;
  const bool settingsWhole = CheckTable(
      controller, tables[5],
      [&] {
        settings = LoadSettings(controller, planner);
        return CountRows(controller, "SELECT SettingId FROM Settings");
      },
      problems);
  // A plan of version 1 has neither table; one of a later version both.
  int version = 1;
  try {
    version = StoredPlanVersion(controller);
  } catch (const std::exception& e) {
    problems.push_back(std::string("table PlanVersion: reading it failed: ") + e.what());
  }
  if (version >= 2) {
    CheckTable(
        controller, tables[6],
        [&] { return CountRows(controller, "SELECT Version FROM PlanVersion"); }, problems);
    CheckTable(
        controller, tables[7], [&] { return LoadLinks(controller, planner); }, problems);
  }
  if (version >= 3) {
    CheckTable(
        controller, tables[8],
        [&] { return CountRows(controller, "SELECT PlanId FROM PlanIdentity"); }, problems);
  }
  if (!settingsWhole) {
    std::string every;
    const TqorXMLNode2* projects = planner.ProjectsNode();
    for (int i = 0; i < projects->ChildCount(); ++i)
      every += "[" + projects->GetChild(i)->GetAttributeStr("id") + "]";
    planner.SetProjectFilter(every);
    settings.ProjectFilter = every;
  }
  try {
    transaction->Commit();
  } catch (const std::exception& e) {
    problems.push_back(std::string("ending the reading failed: ") + e.what());
  }
  return settings;
}

std::string DamagedPlanMessage(const std::string& databasePath,
                               const std::vector<std::string>& problems) {
  std::string message = "The plan " + databasePath + " is damaged:\n";
  for (const std::string& problem : problems) message += "  " + problem + "\n";
  return message + "Check the whole file with: zuzdump --check " + ShellWord(databasePath);
}
