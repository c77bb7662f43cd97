#include "app/core/qorPlannerCheck.h"

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "app/core/qorPlannerSchema.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "db/index/zuzIndexManager.h"
#include "db/objects/zuzDatabase.h"
#include "db/record/zuzDataUnit.h"
#include "db/record/zuzTableMgrUnit.h"
#include "db/storage/zuzLockProvider.h"
#include "db/storage/zuzMemoryFile.h"
#include "planner/qorPlannerModel.h"

namespace {

using zuz::SameName;
using zuz::TTableDef;

const char* const kTables[] = {"Projects",    "Tasks",    "Resources",
                               "Assignments", "Holidays", "Settings"};

// The definitions the planner's schema statements make, made once in a database held in memory.
const std::map<std::string, TTableDef>& PlannerTableDefs() {
  static const std::map<std::string, TTableDef> defs = [] {
    zuz::TMemoryFileSystem fs;
    const std::string path = "/schema/Vazadod.zuz";
    CreatePlannerDatabase(path, &fs);
    TqorDatabaseController schema(&fs);
    schema.Database().SetExclusive(true);
    schema.OpenDatabase(path);
    std::map<std::string, TTableDef> made;
    for (const char* table : kTables)
      made[table] = *schema.Database().Tables()->SharedTableDef(table);
    return made;
  }();
  return defs;
}

std::string Entries(int64_t n) {
  return std::to_string(n) + (n == 1 ? " entry" : " entries");
}

std::string IndexName(const std::string& name) {
  return name.empty() ? "its primary index" : "its index " + name;
}

// The first way the stored definition differs from the planner's, or "".
std::string DefinitionDifference(const TTableDef& stored, const TTableDef& planner) {
  const auto& sf = stored.InternalFields;
  const auto& pf = planner.InternalFields;
  if (sf.size() != pf.size())
    return "it has " + std::to_string(sf.size()) + " fields where the planner's has " +
           std::to_string(pf.size());
  for (size_t i = 0; i < pf.size(); ++i) {
    const auto &s = sf[i], &p = pf[i];
    if (!SameName(s.FieldName, p.FieldName) || s.DataType != p.DataType ||
        s.FieldSize != p.FieldSize || s.NumDecimalPlaces != p.NumDecimalPlaces ||
        s.Required != p.Required || s.DataOffset != p.DataOffset ||
        s.NullFlagOffset != p.NullFlagOffset || s.SizeMarkerOffset != p.SizeMarkerOffset ||
        s.IsVariable != p.IsVariable || s.Hidden != p.Hidden ||
        s.CompressionMode != p.CompressionMode)
      return SameName(s.FieldName, p.FieldName)
                 ? "its field " + std::to_string(i + 1) + ", " + s.FieldName +
                       ", differs from the planner's in type, size or place"
                 : "its field " + std::to_string(i + 1) + " is " + s.FieldName +
                       " where the planner has " + p.FieldName;
  }
  if (stored.RecordSize != planner.RecordSize || stored.UsesBlobs != planner.UsesBlobs)
    return "its records are not laid out as the planner's";
  const auto& si = stored.InternalIndexDefs;
  const auto& pi = planner.InternalIndexDefs;
  if (si.size() != pi.size())
    return "it has " + std::to_string(si.size()) + " indexes where the planner's has " +
           std::to_string(pi.size());
  for (size_t i = 0; i < pi.size(); ++i) {
    const auto &s = si[i], &p = pi[i];
    if (!SameName(s.IndexName, p.IndexName) || s.Unique != p.Unique || s.Primary != p.Primary ||
        s.Hidden != p.Hidden || s.Maintained != p.Maintained ||
        s.MaximumKeySize != p.MaximumKeySize || s.KeyDataOffset != p.KeyDataOffset ||
        s.IndexPageSize != p.IndexPageSize || s.IndexKeyType != p.IndexKeyType)
      return IndexName(s.IndexName) + " is not the planner's";
  }
  const auto& sk = stored.KeyFields;
  const auto& pk = planner.KeyFields;
  bool sameKeys = sk.size() == pk.size();
  for (size_t i = 0; sameKeys && i < pk.size(); ++i) {
    const auto &s = sk[i], &p = pk[i];
    sameKeys = SameName(s.FieldName, p.FieldName) && s.DataType == p.DataType &&
               s.FieldSize == p.FieldSize && s.CaseInsensitive == p.CaseInsensitive &&
               s.Descending == p.Descending && s.IsVariable == p.IsVariable &&
               s.RecBufOffset == p.RecBufOffset && s.NullFlagOffset == p.NullFlagOffset &&
               s.SizeMarkerOffset == p.SizeMarkerOffset && s.PhysicalFieldNo == p.PhysicalFieldNo &&
               SameName(s.IndexName, p.IndexName) && s.Hidden == p.Hidden &&
               s.KeyIndex == p.KeyIndex;
  }
  if (!sameKeys) return "the key fields of its indexes are not the planner's";
  return {};
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
bool CheckTable(TqorDatabaseController& controller, const std::string& table,
                const std::function<size_t()>& load, std::vector<std::string>& problems) {
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
  const std::string difference = DefinitionDifference(view->Def(), PlannerTableDefs().at(table));
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
  CheckTable(
      controller, "Projects", [&] { return LoadProjects(controller, planner); }, problems);
  CheckTable(
      controller, "Tasks", [&] { return LoadTasks(controller, planner); }, problems);
  CheckTable(
      controller, "Resources", [&] { return LoadResources(controller, planner); }, problems);
  CheckTable(
      controller, "Assignments", [&] { return LoadAssignments(controller, planner); }, problems);
  CheckTable(
      controller, "Holidays", [&] { return LoadHolidays(controller, planner); }, problems);
  TqorPlannerSettings settings;
  const bool settingsWhole = CheckTable(
      controller, "Settings",
      [&] {
        settings = LoadSettings(controller, planner);
        return CountRows(controller, "SELECT SettingId FROM Settings");
      },
      problems);
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
