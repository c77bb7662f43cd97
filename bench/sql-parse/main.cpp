// Times preparing statements (tokenising, parsing, checking names and types against the
// planner's tables) of several shapes at two lengths, the second ten times the first, and prints
// the ratio of the times: parsing linear in the statement's length shows a ratio near 10.
//
// Shapes: a WHERE of many comparisons joined by AND; an IN list; a long select list of
// expressions; many SELECTs joined by UNION ALL; an UPDATE with many SET items; one long string
// constant. Also the time of each of the planner's own statements.
//
// Usage: bench_sql_parse
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "db/sql/zuzSqlParser.h"
#include "planner/base/qorRegionalSettings.h"
#include "tests/db/sql/sqlTestCatalogue.h"

namespace {

using namespace zuz;
using Clock = std::chrono::steady_clock;

// Seconds per prepare of the text: the best of five rounds, each repeating it until at least
// 0.2 s have passed.
double SecondsPerPrepare(const std::string& text) {
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    int reps = 0;
    auto start = Clock::now();
    double elapsed = 0;
    do {
      TZuzSqlParser parser(&test::PlannerCatalogue());
      if (!parser.Prepare(text)) {
        std::fprintf(stderr, "refused: %s\n", parser.ErrorText().c_str());
        std::exit(1);
      }
      ++reps;
      elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < 0.2);
    best = std::min(best, elapsed / reps);
  }
  return best;
}

std::string AndChain(int n) {
  std::string s = "SELECT * FROM Tasks WHERE TaskId = 0";
  for (int i = 1; i < n; ++i) {
    s += " AND (ProjectId <> " + std::to_string(i) + " OR TaskName LIKE 'x" + std::to_string(i) +
         "%')";
  }
  return s;
}

std::string InList(int n) {
  std::string s = "SELECT * FROM Tasks WHERE TaskId IN (0";
  for (int i = 1; i < n; ++i) s += ", " + std::to_string(i);
  return s + ")";
}

std::string SelectList(int n) {
  std::string s = "SELECT TaskId";
  for (int i = 1; i < n; ++i) {
    s += ", UPPER(TaskName) || '" + std::to_string(i) + "' AS c" + std::to_string(i) +
         ", AssignedHours * " + std::to_string(i);
  }
  return s + " FROM Tasks";
}

std::string Unions(int n) {
  std::string s = "SELECT TaskId, TaskName FROM Tasks WHERE ProjectId = 0";
  for (int i = 1; i < n; ++i) {
    s += " UNION ALL SELECT ProjectId, ProjectName FROM Projects WHERE ProjectId = " +
         std::to_string(i);
  }
  return s + " ORDER BY 2, 1";
}

std::string SetItems(int n) {
  std::string s = "UPDATE Tasks SET  TaskName='x'";
  for (int i = 1; i < n; ++i) {
    s += ", StartDate='2004-05-" + std::to_string(10 + i % 20) +
         "', Progress=" + std::to_string(i) + ".5";
  }
  return s + ", WHERE TaskId=12";
}

std::string LongString(int n) {
  return "UPDATE Tasks SET  Notes='" + std::string(static_cast<size_t>(n) * 40, 'a') +
         "' WHERE TaskId=12";
}

}  // namespace

int main() {
  RegionalSettings() = TqorRegionalSettings{};
  struct TShape {
    const char* name;
    std::function<std::string(int)> make;
    int n;
  };
  const std::vector<TShape> shapes = {
      {"WHERE of AND-ed conditions", AndChain, 300},
      {"IN list", InList, 2000},
      {"select list", SelectList, 300},
      {"UNION ALL parts", Unions, 200},
      {"UPDATE SET items", SetItems, 300},
      {"string constant", LongString, 500},
  };
  std::printf("%-28s %10s %12s %10s %12s %7s\n", "shape", "bytes", "us/prepare", "bytes x10",
              "us/prepare", "ratio");
  double worst = 0;
  for (const TShape& shape : shapes) {
    std::string small = shape.make(shape.n);
    std::string large = shape.make(shape.n * 10);
    double a = SecondsPerPrepare(small);
    double b = SecondsPerPrepare(large);
    worst = std::max(worst, b / a);
    std::printf("%-28s %10zu %12.1f %10zu %12.1f %7.2f\n", shape.name, small.size(), a * 1e6,
                large.size(), b * 1e6, b / a);
  }
  std::printf("largest ratio: %.2f (linear: about 10)\n", worst);

  const std::vector<std::string> planner = {
      "SELECT * FROM Tasks ORDER BY ProjectId, TaskName",
      "UPDATE Tasks SET  TaskName='Plan', StartDate='2004-05-20', EndDate='2004-05-22', "
      "IsMileStone=0, AssignedHours=37.5, Progress=10, Notes='' WHERE TaskId=12",
      "SELECT Sum(Assignments.Units) FROM Assignments INNER JOIN Tasks  ON "
      "Assignments.TaskId=Tasks.TaskId  WHERE Assignments.ResourceId=4 AND "
      "((Tasks.EndDate>='2004-05-20')  AND (Tasks.StartDate<='2004-05-22')) ",
      "SELECT Holidays.ResourceId, Resources.ResourceName, Holidays.StartDate, "
      "Holidays.EndDate  FROM Holidays INNER JOIN Resources ON "
      "Holidays.ResourceId=Resources.ResourceId WHERE Holidays.StartDate>'2004-04-20' AND "
      "Holidays.StartDate<'2005-05-20' ORDER BY Holidays.ResourceId, Holidays.StartDate",
  };
  for (const std::string& text : planner) {
    std::printf("%8.1f us  %.60s...\n", SecondsPerPrepare(text) * 1e6, text.c_str());
  }
  return 0;
}
