// vazadod-cli report and export on a sample plan, judged by real readers: qpdf and poppler read
// the PDF files, LibreOffice the RTF files, xmllint and the planner document the XML export.
// Every project the filter shows, every task, resource, assignment and holiday of the window
// must stand in the text in its order with its figures, computed here from the database rows;
// failures leave no file behind and keep an earlier one. The output is never the plan, its
// journal or its lock file, however it is named; a replaced file keeps its permissions and its
// symbolic link; a damaged plan gives no file and says what is damaged.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerStatements.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/qorPlannerModel.h"
#include "planner/xml/qorXMLParser2.h"
#include "tests/app/appDamagedPlan.h"
#include "tests/testFiles.h"
#include "tools/vazadod-cli/cliSample.h"

namespace {

namespace fs = std::filesystem;
namespace st = qorStatements;

struct TRun {
  int Status = -1;
  std::string Out;
};

TRun RunCommand(const std::string& command) {
  TRun run;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  char buf[4096];
  while (size_t n = std::fread(buf, 1, sizeof buf, pipe)) run.Out.append(buf, n);
  const int raw = ::pclose(pipe);
  run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

TRun Cli(const std::string& args) {
  return RunCommand(std::string(VZ_VAZADOD_CLI) + " " + args);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Have(const char* program) {
  if (RunCommand(std::string("command -v ") + program).Status == 0) return true;
  if (std::getenv("VAZADOD_CI")) ADD_FAILURE() << program << " is not installed";
  return false;
}

// Each part must stand in the text after the one before it.
void ExpectInOrder(const std::string& what, const std::string& text,
                   const std::vector<std::string>& parts) {
  size_t at = 0;
  for (const std::string& part : parts) {
    const size_t found = text.find(part, at);
    if (found == std::string::npos) {
      ADD_FAILURE() << what << ": \"" << part << "\" missing after position " << at << " in:\n"
                    << text;
      return;
    }
    at = found + part.size();
  }
}

std::string Date(double day) {
  int y, m, d;
  DecodeDate(day, y, m, d);
  return CFormat("%02d-%02d-%04d", d, m, y);
}
// The value in a printf format, without the blanks of its width.
std::string Number(const char* format, double value) {
  std::string text = CFormat(format, value);
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

class ReportsCli : public ::testing::Test {
 protected:
  void SetUp() override {
    ::umask(022);  // new files are 0644, as on most desktops
    dir_ = fs::temp_directory_path() / ("vz_cli_reports_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    TSampleOptions o;
    o.Projects = 3;
    o.TasksPerProject = 5;
    o.Resources = 4;
    o.Seed = 11;
    o.Today = today_;
    WriteSamplePlanner(db_, o);
    TqorDatabaseController c;
    c.OpenDatabase(db_);
    // The second project is filtered out; a resource whose only holiday lies outside the
    // window; a task whose name needs escaping.
    c.Execute(st::UpdateProjectFilter("[1][3]"));
    c.Execute(st::InsertResource("Outside O'Window"));
    const int32_t outside = st::NewResourceId(c);
    c.Execute(st::InsertHoliday(outside, today_ + 400, today_ + 401));
    c.Execute(st::InsertTask("Fix <b> & \"quote\"", today_, 1));
  }
  void TearDown() override { RemoveTestFolder(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // The texts the tasks report must show, in order, from the plan as loaded.
  std::vector<std::string> TasksReportTexts(std::vector<std::string>& hidden) {
    TqorDatabaseController c;
    c.OpenDatabase(db_);
    TqorPlannerModel plan;
    LoadPlanner(c, plan);
    std::vector<std::string> texts;
    const TqorXMLNode2* projects = plan.ProjectsNode();
    for (int p = 0; p < projects->ChildCount(); ++p) {
      const TqorXMLNode2& project = *projects->GetChild(p);
      const std::string heading =
          project.GetAttributeStr("tag") + " " + project.GetAttributeStr("name");
      if (!plan.IsProjectVisible(&project)) {
        hidden.push_back(heading);
        continue;
      }
      texts.push_back(heading);
      texts.push_back(Date(project.GetAttribute("startdate").AsReal()));
      texts.push_back(Date(project.GetAttribute("enddate").AsReal()));
      texts.push_back(Number("%2.1f", project.GetAttribute("budgethours").AsReal()));
      texts.push_back(Number("%2.1f", project.GetAttribute("assignedhours").AsReal()));
      texts.push_back(Number("%2.2f", project.GetAttribute("budgetcost").AsReal()));
      texts.push_back(Number("%2.2f", project.GetAttribute("actualcost").AsReal()));
      for (int t = 0; t < project.ChildCount(); ++t) {
        const TqorXMLNode2& task = *project.GetChild(t);
        const double start = task.GetAttribute("startdate").AsReal();
        const double end = task.GetAttribute("enddate").AsReal();
        texts.push_back(task.GetAttributeStr("name"));
        texts.push_back(Date(start));
        texts.push_back(Date(end));
        for (int a = 0; a < task.ChildCount(); ++a) {
          const TqorXMLNode2& assignment = *task.GetChild(a);
          const TqorXMLNode2* r =
              plan.Document().GetNodeById("resource", assignment.GetAttributeStr("resourceid"));
          const double hours = (end - start + 1) * r->GetAttribute("hoursperweek").AsReal() / 7 *
                               assignment.GetAttribute("units").AsReal() / 100;
          texts.push_back(r->GetAttributeStr("name") + "(" + Number("%2.1f", hours) + ")");
        }
        texts.push_back(Number("%2.0f", task.GetAttribute("progress").AsReal()));
      }
    }
    return texts;
  }

  // The resources report's texts: each resource's figures, then its assignments in document
  // order with a project heading per run of one project.
  std::vector<std::string> ResourcesReportTexts() {
    TqorDatabaseController c;
    c.OpenDatabase(db_);
    TqorPlannerModel plan;
    LoadPlanner(c, plan);
    std::vector<std::string> texts;
    const TqorXMLNode2* resources = plan.ResourcesNode();
    for (int i = 0; i < resources->ChildCount(); ++i) {
      const TqorXMLNode2& r = *resources->GetChild(i);
      const double perWeek = r.GetAttribute("hoursperweek").AsReal();
      texts.insert(texts.end(), {r.GetAttributeStr("name"), r.GetAttributeStr("initials"),
                                 Number("%2.1f", perWeek),
                                 Number("%2.1f", r.GetAttribute("costperhour").AsReal()),
                                 Number("%2.1f", r.GetAttribute("maxunits").AsReal())});
      std::string lastProject;
      for (int p = 0; p < plan.ProjectsNode()->ChildCount(); ++p) {
        const TqorXMLNode2& project = *plan.ProjectsNode()->GetChild(p);
        for (int t = 0; t < project.ChildCount(); ++t) {
          const TqorXMLNode2& task = *project.GetChild(t);
          for (int a = 0; a < task.ChildCount(); ++a) {
            const TqorXMLNode2& assignment = *task.GetChild(a);
            if (assignment.GetAttributeStr("resourceid") != r.GetAttributeStr("id")) continue;
            if (project.GetAttributeStr("name") != lastProject)
              texts.push_back(lastProject = project.GetAttributeStr("name"));
            const double start = task.GetAttribute("startdate").AsReal();
            const double end = task.GetAttribute("enddate").AsReal();
            const double units = assignment.GetAttribute("units").AsReal();
            texts.insert(
                texts.end(),
                {task.GetAttributeStr("name"), Date(start), Date(end), Number("%2.1f", units),
                 Number("%2.1f", (end - start + 1) * units / 100 * perWeek / 7)});
          }
        }
      }
    }
    return texts;
  }

  // The holidays of the window, by resource and start, from the rows themselves.
  std::vector<std::string> HolidaysReportTexts() {
    TqorDatabaseController c;
    c.OpenDatabase(db_);
    struct H {
      int32_t Resource;
      double Start, End;
      std::string Name;
    };
    std::vector<H> holidays;
    TqorDatabaseRecordSet* set = c.OpenRecordSet(
        "SELECT * FROM Holidays INNER JOIN Resources ON "
        "Holidays.ResourceId=Resources.ResourceId");
    for (; !c.Eof(set); c.Next(set)) {
      const double start = c.GetDate(set, "StartDate");
      if (start > today_ - 30 && start < today_ + 365)
        holidays.push_back({c.GetInteger(set, "ResourceId"), start, c.GetDate(set, "EndDate"),
                            c.GetString(set, "ResourceName")});
    }
    c.CloseRecordSet(set);
    std::sort(holidays.begin(), holidays.end(), [](const H& a, const H& b) {
      return a.Resource != b.Resource ? a.Resource < b.Resource : a.Start < b.Start;
    });
    std::vector<std::string> texts = {"Holidays"};
    for (const H& h : holidays) texts.insert(texts.end(), {h.Name, Date(h.Start), Date(h.End)});
    return texts;
  }

  fs::path dir_;
  double today_ = SystemToday();
  std::string db_ =
      (fs::temp_directory_path() / ("vz_cli_reports_" + std::to_string(::getpid())) / "plan.zuz")
          .string();
};

TEST_F(ReportsCli, EveryReportInBothFormatsShowsThePlanInOrder) {
  std::vector<std::string> hidden;
  const std::vector<std::string> tasks = TasksReportTexts(hidden);
  const std::vector<std::string> resources = ResourcesReportTexts();
  const std::vector<std::string> holidays = HolidaysReportTexts();
  ASSERT_EQ(hidden.size(), 1u);
  ASSERT_GT(holidays.size(), 3u);
  const std::vector<std::pair<std::string, const std::vector<std::string>*>> reports = {
      {"tasks", &tasks}, {"resources", &resources}, {"holidays", &holidays}};

  std::string rtfFiles;
  for (const auto& [report, texts] : reports) {
    for (const char* format : {"pdf", "rtf"}) {
      const std::string file = Path(report + "." + format);
      const TRun run =
          Cli("report " + report + " --format " + format + " --output " + file + " " + db_);
      ASSERT_EQ(run.Status, 0) << run.Out;
      EXPECT_EQ(run.Out, "");
    }
    rtfFiles += " " + Path(report + ".rtf");
    const std::string pdf = Path(report + ".pdf");
    if (Have("qpdf")) {
      const TRun check = RunCommand("qpdf --check " + pdf);
      EXPECT_EQ(check.Status, 0) << check.Out;
    }
    if (Have("pdftotext")) {
      const TRun text = RunCommand("pdftotext -raw -enc UTF-8 " + pdf + " -");
      ASSERT_EQ(text.Status, 0) << text.Out;
      ExpectInOrder(report + ".pdf", text.Out, *texts);
      if (report == "tasks") {
        EXPECT_EQ(text.Out.find(hidden[0]), std::string::npos);
      }
      if (report == "holidays") {
        EXPECT_EQ(text.Out.find("Outside O'Window"), std::string::npos);
      }
    }
  }
  if (!Have("soffice")) return;
  const TRun convert = RunCommand("soffice -env:UserInstallation=file://" + Path("profile") +
                                  " --headless --norestore --convert-to txt:Text --outdir " +
                                  Path("txt") + rtfFiles);
  ASSERT_EQ(convert.Status, 0) << convert.Out;
  for (const auto& [report, texts] : reports) {
    const std::string text = ReadFile(Path("txt/" + report + ".txt"));
    ExpectInOrder(report + ".rtf", text, *texts);
    if (report == "tasks") {
      EXPECT_EQ(text.find(hidden[0]), std::string::npos);
    }
  }
}

// Characters that no installed font has are drawn as boxes, said once on standard error, and the
// report is still made.
TEST_F(ReportsCli, CharactersWithoutAFontAreSaidOnceAndTheReportIsMade) {
  {
    TqorDatabaseController c;
    c.OpenDatabase(db_);
    c.Execute(st::InsertTask("Private \U0010FFFD and \U0010FFFD", today_, 1));
  }
  const std::string pdf = Path("boxes.pdf"), rtf = Path("boxes.rtf");
  const TRun run = Cli("report tasks --output " + pdf + " " + db_);
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Out, "vazadod-cli report: 2 characters had no font and show as boxes\n");
  EXPECT_GT(ReadFile(pdf).size(), 1000u);
  const TRun other = Cli("report tasks --format rtf --output " + rtf + " " + db_);
  EXPECT_EQ(other.Status, 0);
  EXPECT_EQ(other.Out, "") << "RTF keeps every character";
}

TEST_F(ReportsCli, ExportIsAcceptedByXmllintAndReadsBackUnchanged) {
  const std::string file = Path("plan.xml");
  const TRun run = Cli("export --output=" + file + " " + db_);
  ASSERT_EQ(run.Status, 0) << run.Out;
  if (Have("xmllint")) {
    const TRun lint = RunCommand("xmllint --noout " + file);
    EXPECT_EQ(lint.Status, 0) << lint.Out;
  }
  TqorDatabaseController c;
  c.OpenDatabase(db_);
  TqorPlannerModel plan;
  LoadPlanner(c, plan);
  EXPECT_EQ(ReadFile(file), plan.Document().EncodedXml());
  TqorXMLParser2 back;
  back.LoadFromFile(file);
  EXPECT_EQ(back.LastError(), "");
  EXPECT_EQ(back.Xml(), plan.Document().Xml());
  const std::string xml = back.Xml();
  EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=", 0), 0u);
  EXPECT_NE(xml.find("\r\n<planner>\r\n  <projects id=\"projects\">\r\n    <project id=\"1\" "),
            std::string::npos);
  EXPECT_NE(xml.find("name=\"Fix &lt;b&gt; &amp; &quot;quote&quot;\""), std::string::npos);
}

TEST_F(ReportsCli, FailuresSayWhyAndLeaveNoFile) {
  const std::string kept = Path("kept.pdf");
  SaveStringToFile(kept, "earlier report");
  struct Case {
    std::string args;
    int status;
    std::string message;
  };
  for (const Case& c : std::vector<Case>{
           {"report tasks --format pdf --output " + kept + " " + Path("missing.zuz"), 1, ""},
           {"report tasks --format pdf --output " + Path("no/such/x.pdf") + " " + db_, 1,
            "Cannot create file " + Path("no/such/x.pdf")},
           {"export --output " + Path("no/x.xml") + " " + db_, 1,
            "Cannot create file " + Path("no/x.xml")},
           {"report tasks --format doc --output " + kept + " " + db_, 2, "'--format'"},
           {"report budget --output " + kept + " " + db_, 2, "unknown report 'budget'"},
           {"report tasks --format pdf " + db_, 2, "'--output' is needed"},
           {"report tasks --format pdf --output " + kept, 2, "the database file is needed"},
           {"export --output " + kept + " " + db_ + " extra", 2, "unexpected argument 'extra'"}}) {
    const TRun run = Cli(c.args);
    EXPECT_EQ(run.Status, c.status) << c.args << "\n" << run.Out;
    EXPECT_NE(run.Out.find(c.message), std::string::npos) << c.args << "\n" << run.Out;
    EXPECT_NE(run.Out, "") << c.args;
  }
  EXPECT_EQ(ReadFile(kept), "earlier report");
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"kept.pdf", "plan.zuz"}));

  // The stored format is the default.
  ASSERT_EQ(Cli("report holidays --output " + Path("h") + " " + db_).Status, 0);
  EXPECT_EQ(ReadFile(Path("h")).rfind("%PDF-1.4", 0), 0u);
}

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

mode_t Mode(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

TEST_F(ReportsCli, TheOutputIsNeverThePlanAndAReplacedFileKeepsItsModeAndLink) {
  const std::string plan = ReadFile(db_);
  fs::create_directory(Path("sub"));
  fs::create_symlink(db_, Path("link.zuz"));
  fs::create_hard_link(db_, Path("hard.zuz"));
  fs::create_symlink("plan.zuz.journal", Path("to-journal"));  // relative, names no file yet
  struct Case {
    std::string output, database, what;
  };
  const std::string isPlan = ": it is the plan ", journal = ": it is the journal of the plan ",
                    lock = ": it is the lock file of the plan ";
  for (const Case& c : std::vector<Case>{{db_, db_, isPlan + db_},
                                         {Path("sub/../plan.zuz"), db_, isPlan + db_},
                                         {Path("link.zuz"), db_, isPlan + db_},
                                         {Path("hard.zuz"), db_, isPlan + db_},
                                         {db_, Path("link.zuz"), isPlan + Path("link.zuz")},
                                         {Path("sub/../plan.lck"), db_, lock + db_},
                                         {Path("link.lck"), Path("link.zuz"), lock},
                                         {Path("plan.zuz.journal"), db_, journal + db_},
                                         {Path("to-journal"), db_, journal + db_}}) {
    std::vector<std::string> commands = {"export --output "};
    if (c.output == db_ || c.output == Path("to-journal"))
      commands.push_back("report tasks --format rtf --output ");
    for (const std::string& command : commands) {
      const TRun run = Cli(command + c.output + " " + c.database);
      EXPECT_EQ(run.Status, 1) << command << c.output << "\n" << run.Out;
      EXPECT_NE(run.Out.find("Cannot write file " + c.output + c.what), std::string::npos)
          << command << c.output << "\n"
          << run.Out;
    }
  }
  EXPECT_EQ(ReadFile(db_), plan);
  EXPECT_TRUE(fs::is_symlink(Path("link.zuz")));
  EXPECT_EQ(Names(dir_),
            (std::vector<std::string>{"hard.zuz", "link.zuz", "plan.zuz", "sub", "to-journal"}));

  // A private report stays private; a link is written through and stays a link, also one whose
  // file does not exist yet.
  const std::string report = Path("private.rtf");
  SaveStringToFile(report, "earlier");
  ::chmod(report.c_str(), 0600);
  fs::create_directory(Path("target"));
  SaveStringToFile(Path("target/shared.xml"), "earlier");
  ::chmod(Path("target/shared.xml").c_str(), 0640);
  fs::create_symlink("target/shared.xml", Path("shared.xml"));
  fs::create_symlink(Path("target/new.xml"), Path("new.xml"));
  ASSERT_EQ(Cli("report tasks --format rtf --output " + report + " " + db_).Status, 0);
  ASSERT_EQ(Cli("export --output " + Path("shared.xml") + " " + db_).Status, 0);
  ASSERT_EQ(Cli("export --output " + Path("new.xml") + " " + db_).Status, 0);
  EXPECT_EQ(ReadFile(report).rfind("{\\rtf1", 0), 0u);
  EXPECT_EQ(Mode(report), 0600u);
  EXPECT_TRUE(fs::is_symlink(Path("shared.xml")));
  EXPECT_TRUE(fs::is_symlink(Path("new.xml")));
  EXPECT_EQ(ReadFile(Path("target/shared.xml")).rfind("<?xml", 0), 0u);
  EXPECT_EQ(Mode(Path("target/shared.xml")), 0640u);
  EXPECT_EQ(ReadFile(Path("target/new.xml")), ReadFile(Path("target/shared.xml")));
  EXPECT_EQ(Mode(Path("target/new.xml")), 0644u) << "a new file as any other";
  EXPECT_EQ(Names(Path("target")), (std::vector<std::string>{"new.xml", "shared.xml"}));
}

TEST_F(ReportsCli, ADamagedPlanGivesNoFileAndSaysWhatIsDamaged) {
  const std::string damaged = Path("damaged.zuz");
  struct Case {
    std::function<void()> damage;
    std::string says;
  };
  for (const Case& c : std::vector<Case>{
           {[&] { ZeroRecordPage(damaged, "Tasks"); }, "table Tasks: "},
           {[&] { ReplaceInFile(damaged, "'TaskName'", "'TaskNbme'"); },
            "table Tasks: its definition is not the planner's"},
           {[&] { ReplaceInFile(damaged, "DataType = ftFloat", "DataType = ftDate "); },
            "table Projects: its definition is not the planner's"}}) {
    fs::copy_file(db_, damaged, fs::copy_options::overwrite_existing);
    c.damage();
    const std::string bytes = ReadFile(damaged);
    EXPECT_EQ(RunCommand(std::string(VZ_ZUZDUMP) + " --check " + damaged).Status == 0,
              c.says.find("definition") != std::string::npos)
        << "the engine's check finds damaged pages, the planner's own finds strange definitions";
    for (const std::string& command : {"report tasks --format pdf --output " + Path("out.pdf"),
                                       "export --output " + Path("out.xml")}) {
      const TRun run = Cli(command + " " + damaged);
      EXPECT_EQ(run.Status, 1) << command << "\n" << run.Out;
      EXPECT_NE(run.Out.find("The plan " + damaged + " is damaged:\n"), std::string::npos)
          << run.Out;
      EXPECT_NE(run.Out.find(c.says), std::string::npos) << run.Out;
      EXPECT_NE(run.Out.find("zuzdump --check " + damaged), std::string::npos) << run.Out;
    }
    EXPECT_EQ(ReadFile(damaged), bytes) << c.says;
  }
  EXPECT_EQ(Names(dir_), (std::vector<std::string>{"damaged.zuz", "plan.zuz"}));
}

}  // namespace
