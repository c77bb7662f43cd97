// The CSV tables of random plans judged by two readers: python's csv module (strict) gives back
// every field byte for byte, and LibreOffice Calc, importing them as UTF-8 with "," and '"',
// gives every text back as a text cell and every number, flag and date as a number or a date
// cell; imported as a user might, with quoted fields not kept as text, no cell is a formula.
//
// VZ_CSV_SEED and VZ_CSV_PLANS choose the plans.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>

#include "exchange/qorCsvExport.h"
#include "tests/exchange/writersTestUtil.h"

namespace {

using namespace writers_test;

// A field as the table should hold it.
struct TField {
  enum Kind { kText, kNumber, kDate } Kind;
  std::string Text;  // kText: the plan's text as written (guarded when asked); kDate: ISO
  double Number = 0;
};

TField Text(const std::string& text, bool guard = true) {
  const bool formula =
      guard && !text.empty() && std::string("=+-@\t\r").find(text[0]) != std::string::npos;
  return {TField::kText, formula ? "'" + text : text};
}
TField Number(double value) {
  return {TField::kNumber, {}, value};
}
TField Date(int32_t day) {
  return {TField::kDate, IsoDay(day)};
}

using TTable = std::vector<std::vector<TField>>;

std::vector<TField> Header(std::initializer_list<const char*> names) {
  std::vector<TField> row;
  for (const char* name : names) row.push_back(Text(name));
  return row;
}

template <typename Row>
std::string NameOf(const std::vector<Row>& rows, int32_t id) {
  for (const Row& row : rows)
    if (row.Id == id) return row.Name;
  return {};
}

// The three tables the plan should give, in the order of the export's functions.
std::vector<TTable> ExpectedTables(const TqorExchangePlan& plan) {
  TTable tasks{Header({"ID", "Project ID", "Project", "Name", "Start", "End", "Milestone",
                       "Completed", "Progress", "Predecessors", "Notes"})};
  for (const TqorExchangeTask& t : plan.Tasks) {
    std::string predecessors;
    for (const TqorExchangeLink& l : plan.Links) {
      if (l.SuccessorId != t.Id) continue;
      std::ostringstream one;
      one << l.PredecessorId << LinkTypeText(l.Type);
      if (l.Lag != 0) one << std::showpos << l.Lag;
      predecessors += (predecessors.empty() ? "" : ", ") + one.str();
    }
    tasks.push_back({Number(t.Id), Number(t.ProjectId), Text(NameOf(plan.Projects, t.ProjectId)),
                     Text(t.Name), Date(t.Start), Date(t.End), Number(t.Milestone),
                     Number(t.Completed), Number(t.Progress), Text(predecessors, false),
                     Text(t.Notes)});
  }
  TTable resources{
      Header({"ID", "Name", "Initials", "Hours per week", "Cost per hour", "Max units", "Notes"})};
  for (const TqorExchangeResource& r : plan.Resources)
    resources.push_back({Number(r.Id), Text(r.Name), Text(r.Initials), Number(r.HoursPerWeek),
                         Number(r.CostPerHour), Number(r.MaxUnits), Text(r.Notes)});
  TTable assignments{Header({"ID", "Task ID", "Task", "Resource ID", "Resource", "Units"})};
  for (const TqorExchangeAssignment& a : plan.Assignments)
    assignments.push_back({Number(a.Id), Number(a.TaskId), Text(NameOf(plan.Tasks, a.TaskId)),
                           Number(a.ResourceId), Text(NameOf(plan.Resources, a.ResourceId)),
                           Number(a.Units)});
  return {tasks, resources, assignments};
}

// What a reader gave: per file (by name), its rows, each cell a kind and a value.
struct TCell {
  std::string Kind, Value;
};
using TReading = std::map<std::string, std::vector<std::vector<TCell>>>;

// Reads the reader's lines "file NAME", "row", "cell KIND xHEX".
TReading ParseReading(const std::string& output) {
  TReading reading;
  std::vector<std::vector<TCell>>* rows = nullptr;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string word, kind, value;
    words >> word;
    if (word == "file") {
      words >> value;
      rows = &reading[value];
    } else if (word == "row" && rows) {
      rows->emplace_back();
    } else if (word == "cell" && rows && !rows->empty()) {
      words >> kind >> value;
      rows->back().push_back({kind, Unhex(value.substr(1))});
    } else {
      ADD_FAILURE() << "the reader said: " << line;
    }
  }
  return reading;
}

// Every field exactly, as strict RFC 4180 reading gives it, and every record ended by CRLF.
const char* const kCsvReader = R"(import csv, re, sys
for path in sys.argv[1:]:
    raw = open(path, 'rb').read().decode('utf-8')
    print('file', path.rsplit('/', 1)[-1])
    outside = re.sub(r'"(?:[^"]|"")*"', '', raw)
    if not raw.startswith('\ufeff') or not raw.endswith('\r\n') or re.search(r'(?<!\r)\n', outside):
        print('bad line ends or no byte order mark')
    for record in csv.reader(open(path, newline='', encoding='utf-8-sig'), strict=True):
        print('row')
        for field in record: print('cell text', 'x' + field.encode('utf-8').hex())
)";

// Every cell of the first sheet of each ODS file: its value type and value (the text of a
// string cell, paragraphs joined by LF), "formula" for a formula; "empty" for an empty cell.
const char* const kOdsReader = R"(import sys, zipfile
import xml.etree.ElementTree as E
O = '{urn:oasis:names:tc:opendocument:xmlns:office:1.0}'
T = '{urn:oasis:names:tc:opendocument:xmlns:table:1.0}'
X = '{urn:oasis:names:tc:opendocument:xmlns:text:1.0}'
def inline(e):
    out = e.text or ''
    for c in e:
        if c.tag == X + 's': out += ' ' * int(c.get(X + 'c', '1'))
        elif c.tag == X + 'tab': out += '\t'
        elif c.tag == X + 'line-break': out += '\n'
        else: out += inline(c)
        out += c.tail or ''
    return out
def hx(s): return 'x' + s.encode('utf-8').hex()
for path in sys.argv[1:]:
    print('file', path.rsplit('/', 1)[-1].replace('.ods', '.csv'))
    root = E.fromstring(zipfile.ZipFile(path).read('content.xml'))
    table = next(root.iter(T + 'table'))
    for row in table.iter(T + 'table-row'):
        cells = []
        for cell in row:
            if cell.tag not in (T + 'table-cell', T + 'covered-table-cell'): continue
            n = min(int(cell.get(T + 'number-columns-repeated', '1')), 64)
            kind = cell.get(O + 'value-type', 'empty')
            if cell.get(T + 'formula'): kind, value = 'formula', cell.get(T + 'formula')
            elif kind == 'float': value = cell.get(O + 'value')
            elif kind == 'date': value = cell.get(O + 'date-value')
            else: value = '\n'.join(inline(p) for p in cell.iter(X + 'p'))
            cells += [(kind, value)] * n
        while cells and cells[-1][0] == 'empty': cells.pop()
        if not cells: continue
        print('row')
        for kind, value in cells: print('cell', kind, hx(value))
)";

TEST(WritersCsv, PythonAndCalcReadEveryFieldBack) {
  const std::string python = PythonWith("");
  if (python.empty() || !HaveProgram("soffice")) GTEST_SKIP() << "python3 or soffice is missing";
  const uint64_t seed = EnvNumber("VZ_CSV_SEED", 4181);
  const uint64_t plans = EnvNumber("VZ_CSV_PLANS", 3);
  std::mt19937_64 random(seed);
  TTempDir dir;
  std::map<std::string, TTable> expected;
  std::string files;
  TqorCsvOptions unguarded;
  unguarded.GuardFormulas = false;
  for (uint64_t p = 0; p < plans; ++p) {
    TqorExchangePlan plan = RandomPlan(random);
    if (plan.Resources.empty()) plan.Resources.push_back({1, "Ann", "A", 40, 55.5, 100, ""});
    plan.Resources[0].CostPerHour = 1234567.75;  // no thousands separator
    if (p == 0) plan.Tasks[0].Name = "=1+2";
    const std::vector<TTable> tables = ExpectedTables(plan);
    const std::string texts[] = {ExportTasksCsv(plan), ExportResourcesCsv(plan),
                                 ExportAssignmentsCsv(plan)};
    const char* const names[] = {"tasks", "resources", "assignments"};
    for (int t = 0; t < 3; ++t) {
      const std::string name = "writers-" + std::to_string(p) + "-" + names[t] + ".csv";
      WriteFile(dir / name, texts[t]);
      expected[name] = tables[t];
      files += " " + (dir / name);
    }
    if (p == 0) WriteFile(dir / "unguarded.csv", ExportTasksCsv(plan, unguarded));
  }

  // python's csv module: every field exactly.
  WriteFile(dir / "read_csv.py", kCsvReader);
  const TCommandResult csvRead = RunCommand(python + " " + (dir / "read_csv.py") + files);
  ASSERT_EQ(csvRead.Status, 0) << csvRead.Output;
  const TReading exact = ParseReading(csvRead.Output);
  for (const auto& [name, table] : expected) {
    SCOPED_TRACE(name + " in " + dir.Path());
    const auto& rows = exact.at(name);
    ASSERT_EQ(rows.size(), table.size());
    for (size_t r = 0; r < table.size(); ++r) {
      ASSERT_EQ(rows[r].size(), table[r].size()) << "row " << r;
      for (size_t c = 0; c < table[r].size(); ++c) {
        const TField& field = table[r][c];
        const std::string& got = rows[r][c].Value;
        if (field.Kind == TField::kNumber) {
          EXPECT_TRUE(std::regex_match(got, std::regex("-?[0-9]+(\\.[0-9]+)?"))) << got;
          EXPECT_EQ(std::strtod(got.c_str(), nullptr), field.Number) << got;
        } else {
          EXPECT_EQ(got, field.Text) << "row " << r << " column " << c;
        }
      }
    }
  }

  // Calc, told the file's character set, separator and quote, and to keep quoted fields as text.
  auto convert = [&](const std::string& options, const std::string& to, const std::string& in) {
    const TCommandResult run =
        RunCommand("soffice -env:UserInstallation=file://" + (dir / "profile") +
                   " --headless --norestore --infilter='CSV:" + options +
                   "' --convert-to ods --outdir " + (dir / to) + in);
    EXPECT_EQ(run.Status, 0) << run.Output;
    std::string odsFiles;
    for (size_t at = 0; (at = in.find(".csv", at)) != std::string::npos; at += 4) {
      const size_t from = in.rfind('/', at) + 1;
      odsFiles += " " + (dir / to) + "/" + in.substr(from, at - from) + ".ods";
    }
    WriteFile(dir / "read_ods.py", kOdsReader);
    const TCommandResult read = RunCommand(python + " " + (dir / "read_ods.py") + odsFiles);
    EXPECT_EQ(read.Status, 0) << read.Output;
    return ParseReading(read.Output);
  };
  const TReading calc = convert("44,34,76,1,,1033,true,true", "typed", files);
  for (const auto& [name, table] : expected) {
    SCOPED_TRACE(name + " in " + dir.Path());
    const auto& rows = calc.at(name);
    ASSERT_EQ(rows.size(), table.size());
    for (size_t r = 0; r < table.size(); ++r) {
      ASSERT_LE(rows[r].size(), table[r].size()) << "row " << r;
      for (size_t c = 0; c < table[r].size(); ++c) {
        SCOPED_TRACE("row " + std::to_string(r) + " column " + std::to_string(c));
        const TField& field = table[r][c];
        const TCell cell = c < rows[r].size() ? rows[r][c] : TCell{"empty", ""};
        switch (field.Kind) {
          case TField::kText: {
            // Calc keeps a cell's lines, not which line break ended each (it takes CR LF and
            // LF CR for one), and drops the tabs of a cell of several lines.
            std::string text;
            for (size_t i = 0; i < field.Text.size(); ++i) {
              const char c = field.Text[i];
              text += c == '\r' ? '\n' : c;
              if ((c == '\r' || c == '\n') && i + 1 < field.Text.size() &&
                  (field.Text[i + 1] == '\r' || field.Text[i + 1] == '\n') &&
                  field.Text[i + 1] != c)
                ++i;
            }
            if (text.find('\n') != std::string::npos) std::erase(text, '\t');
            EXPECT_EQ(cell.Kind, field.Text.empty() ? "empty" : "string");
            EXPECT_EQ(cell.Value, text);
            break;
          }
          case TField::kNumber:
            EXPECT_EQ(cell.Kind, "float");
            EXPECT_EQ(std::strtod(cell.Value.c_str(), nullptr), field.Number) << cell.Value;
            break;
          case TField::kDate:
            EXPECT_EQ(cell.Kind, "date");
            EXPECT_EQ(cell.Value, field.Text);
            break;
        }
      }
    }
  }

  // Calc as a user may have it: quoted fields typed too, formulas evaluated. No cell of the
  // guarded tables is a formula; the same tasks without the guard give one.
  const TReading plain =
      convert("44,34,76,1,,1033,false,true", "plain", files + " " + (dir / "unguarded.csv"));
  for (const auto& [name, rows] : plain) {
    int formulas = 0;
    for (const auto& row : rows)
      for (const TCell& cell : row) formulas += cell.Kind == "formula";
    if (name == "unguarded.csv")
      EXPECT_GT(formulas, 0) << "Calc took no text for a formula: the guard is not tested";
    else
      EXPECT_EQ(formulas, 0) << name << " in " << dir.Path();
  }
  EXPECT_EQ(plain.size(), expected.size() + 1);
}

}  // namespace
