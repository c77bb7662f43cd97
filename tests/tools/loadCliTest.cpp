// vazadod-cli load against the database itself: random sample plans, some changed through SQL
// (every project hidden by the filter, overloads, a resource without max units, a task ending
// before its start, rows naming no task or resource), print the CSV that a day-by-day walk over
// the stored Projects, Tasks, Assignments, Resources and Holidays rows gives, field by field;
// wrong usage says why. VZ_LOAD_PLANS (default 3) plans from VZ_LOAD_SEED.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "tests/cliRun.h"
#include "tests/testFiles.h"

namespace {

namespace fs = std::filesystem;

using TRun = TCommandRun;
TRun Cli(const std::string& args, const char* errors = "2>&1") {
  return RunVazadodCli(args, errors);
}

std::string Iso(int32_t day) {
  int year = 0, month = 0, dayOfMonth = 0;
  DecodeDate(day, year, month, dayOfMonth);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, dayOfMonth);
  return text;
}

// RFC 4180 records, each of which must end with CRLF.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    std::string& field = records.back().back();
    if (quoted && text[i] == '"' && text.compare(i, 2, "\"\"") == 0) {
      field += text[i++];
    } else if (text[i] == '"') {
      quoted = !quoted;
    } else if (!quoted && text[i] == ',') {
      records.back().emplace_back();
    } else if (!quoted && text[i] == '\r') {
      EXPECT_EQ(text.compare(i, 2, "\r\n"), 0) << "a CR without LF at " << i;
      ++i;
      records.emplace_back(1);
    } else {
      field += text[i];
    }
  }
  EXPECT_EQ(records.back(), std::vector<std::string>(1)) << "the last record lacks its CRLF";
  records.pop_back();
  return records;
}

// The rows of a SELECT of the fields, each a number (a date field, named with a leading '@', as
// its whole day number); the texts of textField, when given, into texts.
std::vector<std::vector<double>> Select(TqorDatabaseController& db, const std::string& table,
                                        const std::vector<std::string>& fields,
                                        const std::string& textField = "",
                                        std::vector<std::string>* texts = nullptr) {
  std::string list = textField;
  for (const std::string& f : fields) list += (list.empty() ? "" : ", ") + f.substr(f[0] == '@');
  std::vector<std::vector<double>> rows;
  TqorDatabaseRecordSet* set = db.OpenRecordSet("SELECT " + list + " FROM " + table);
  for (; !db.Eof(set); db.Next(set)) {
    rows.emplace_back();
    for (const std::string& f : fields)
      rows.back().push_back(f[0] == '@' ? std::floor(db.GetDate(set, f.substr(1)))
                                        : db.GetFloat(set, f));
    if (texts) texts->push_back(db.GetString(set, textField));
  }
  db.CloseRecordSet(set);
  return rows;
}

bool Covers(double start, double end, int32_t day) {
  return day == start || (start <= day && day <= end);
}

TEST(LoadCli, TheCsvIsTheLoadOfTheStoredRows) {
  const fs::path dir = fs::temp_directory_path() / ("vz-load-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const int seed = EnvInt("VZ_LOAD_SEED", 5101);
  int loaded = 0;  // working days with a load, over all plans
  for (int i = 0; i < EnvInt("VZ_LOAD_PLANS", 3); ++i) {
    std::mt19937 random(static_cast<uint32_t>(seed + i));
    const auto between = [&](int lo, int hi) {
      return std::to_string(std::uniform_int_distribution<int>(lo, hi)(random));
    };
    const int32_t today = static_cast<int32_t>(EncodeDate(2026, 1, 1)) + std::stoi(between(0, 700));
    const std::string db = (dir / ("plan" + std::to_string(i) + ".zuz")).string();
    SCOPED_TRACE("plan " + std::to_string(i) + " of seed " + std::to_string(seed + i));
    const TRun made = Cli("sample --projects " + between(1, 4) + " --tasks-per-project " +
                          between(2, 12) + " --resources " + between(1, 6) + " --seed " +
                          std::to_string(seed + i) + " --today " + Iso(today) + " " + db);
    ASSERT_EQ(made.Status, 0) << made.Out;
    const int32_t from = today + std::stoi(between(-70, -10));
    const int32_t to = from + std::stoi(between(0, 120));
    TqorDatabaseController c;
    c.OpenDatabase(db);
    if (i % 2 == 1) {
      c.Execute("UPDATE Settings SET ProjectFilter='[999]'");
      c.Execute("UPDATE Resources SET MaxUnits=0 WHERE ResourceId=1");
      // Task 2 starts on the period's first working day and ends three days before.
      int32_t start = from;
      while (IsNonWorkingDay(start)) ++start;
      c.Execute("UPDATE Tasks SET StartDate=" + c.SQLDate(start) +
                ", EndDate=" + c.SQLDate(start - 3) + " WHERE TaskId=2");
      for (const char* values :
           {"(1, 1, 80)", "(3, 1, 62.5)", "(2, 1, 33.3)", "(99999, 1, 40)", "(1, 99999, 40)"})
        c.Execute(std::string("INSERT INTO Assignments (TaskId, ResourceId, Units) VALUES ") +
                  values);
      c.Execute("INSERT INTO Holidays (ResourceId, StartDate, EndDate) VALUES (99999, " +
                std::to_string(today) + ", " + std::to_string(today + 9) + ")");
    }
    const TRun run = Cli(std::string("load ") + (i % 3 ? "" : "--format csv ") + "--from " +
                             Iso(from) + " --to " + Iso(to) + " " + db,
                         "2>/dev/null");
    ASSERT_EQ(run.Status, 0);

    std::set<double> projects;
    for (const auto& p : Select(c, "Projects", {"ProjectId"})) projects.insert(p[0]);
    std::map<double, std::vector<double>> tasks;  // of the projects in the plan
    for (const auto& t : Select(c, "Tasks", {"TaskId", "ProjectId", "@StartDate", "@EndDate"}))
      if (projects.count(t[1])) tasks[t[0]] = t;
    auto assignments = Select(c, "Assignments", {"AssignmentId", "TaskId", "ResourceId", "Units"});
    std::sort(assignments.begin(), assignments.end());
    const auto holidays = Select(c, "Holidays", {"ResourceId", "@StartDate", "@EndDate"});
    std::vector<std::string> names;
    auto resources = Select(c, "Resources", {"ResourceId"}, "ResourceName", &names);

    const auto records = ParseCsv(run.Out);
    ASSERT_EQ(records.size(), resources.size() + 1);
    std::vector<std::string> header = {"Resource"};
    for (int32_t day = from; day <= to; ++day) header.push_back(Iso(day));
    EXPECT_EQ(records[0], header);
    for (size_t r = 0; r < resources.size(); ++r) {
      // The resources by id: the rows come in the order of the key.
      ASSERT_TRUE(r == 0 || resources[r - 1][0] < resources[r][0]);
      const std::vector<std::string>& record = records[r + 1];
      ASSERT_EQ(record.size(), header.size());
      EXPECT_EQ(record[0], names[r]);
      for (int32_t day = from; day <= to; ++day) {
        const std::string& got = record[static_cast<size_t>(day - from + 1)];
        SCOPED_TRACE(names[r] + " " + Iso(day) + ": " + got);
        bool holiday = false;
        for (const auto& h : holidays)
          holiday |= h[0] == resources[r][0] && Covers(h[1], h[2], day);
        double units = 0;
        for (const auto& a : assignments) {
          const auto task = tasks.find(a[1]);
          if (a[2] == resources[r][0] && task != tasks.end() &&
              Covers(task->second[2], task->second[3], day))
            units += a[3];
        }
        if (IsNonWorkingDay(day)) {
          EXPECT_EQ(got, "");
        } else if (holiday) {
          EXPECT_EQ(got, "H");
        } else {
          ASSERT_FALSE(got.empty());
          EXPECT_EQ(got.find_first_not_of("0123456789.-"), std::string::npos);
          EXPECT_TRUE(got.back() != '0' || got.find('.') == std::string::npos);
          EXPECT_EQ(std::strtod(got.c_str(), nullptr), units);
          loaded += units > 0;
        }
      }
    }
  }
  EXPECT_GT(loaded, 0) << "no plan had a load in its period";
  RemoveTestFolder(dir);
}

TEST(LoadCli, WrongUsageSaysWhy) {
  const fs::path dir = fs::temp_directory_path() / ("vz-load-usage-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string db = (dir / "plan.zuz").string();
  ASSERT_EQ(Cli("sample --projects 1 --tasks-per-project 3 --resources 2 " + db).Status, 0);
  const TRun longest = Cli("load --from 2026-01-01 --to 2036-01-08 " + db, "2>/dev/null");
  ASSERT_EQ(longest.Status, 0);
  EXPECT_EQ(ParseCsv(longest.Out).at(0).size(), 3661u);
  const std::string day = " --from 2026-03-01 --to 2026-03-01 ";
  for (const auto& [args, message] : std::vector<std::pair<std::string, std::string>>{
           {"--to 2026-03-01 " + db, "'--from' is needed"},
           {"--from 2026-02-30 --to 2026-03-01 " + db, "'--from' takes a date as YYYY-MM-DD"},
           {"--from 2026-03-01 --to 20260302 " + db, "'--to' takes a date"},
           {"--from 2026-03-02 --to 2026-03-01 " + db, "'--to' is before '--from'"},
           {"--from 2026-01-01 --to 2036-01-09 " + db, "3661 days, and at most 3660"},
           {"--format pdf" + day + db, "'--format' takes csv"},
           {day, "the database file is needed"},
           {day + db + " more", "unexpected argument"}}) {
    const TRun run = Cli("load " + args);
    EXPECT_EQ(run.Status, 2) << args << "\n" << run.Out;
    EXPECT_NE(run.Out.find(message), std::string::npos) << args << "\n" << run.Out;
    EXPECT_NE(run.Out.find("Usage: vazadod-cli load "), std::string::npos) << run.Out;
  }
  EXPECT_EQ(Cli("load" + day + (dir / "none.zuz").string()).Status, 1);
  RemoveTestFolder(dir);
}

}  // namespace
