// The main window's reports and export: the save dialog's title, filter, folder and extension
// rule, the report written in the chosen format and handed to the viewer, the XML export, and
// the same RTF and XML bytes from the menu as from vazadod-cli on one database; no answer of the
// save dialog replaces the plan's own files. The save dialog and the desktop are replaced by
// fakes; message boxes are answered.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/core/qorLauncher.h"
#include "app/core/qorPlanExchange.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorReportBuilders.h"
#include "app/core/qorReportFiles.h"
#include "app/qorApplication.h"
#include "app/uVazadod.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/grid/qorPlannerGrid.h"
#include "report/qorRTFReporter.h"
#include "tests/app/appTestPlanner.h"
#include "tests/qtTestEnvironment.h"

namespace {

// A home folder of the test's own, so that the reports folder is made there.
const std::string kHome = [] {
  std::string pattern = "/tmp/vz_app_reports_XXXXXX";
  if (!mkdtemp(pattern.data())) return std::string();
  setenv("HOME", pattern.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (pattern + "/.config").c_str(), 1);
  return pattern;
}();
struct RemoveHome {
  ~RemoveHome() {
    std::error_code ec;
    if (!kHome.empty()) std::filesystem::remove_all(kHome, ec);
  }
} kRemoveHome;
const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(
    new TQtTestEnvironment<TqorApplication>("app_reports_tests"));

// Runs vazadod-cli; its exit status, with its output in output.
int Cli(const std::string& args, std::string& output) {
  output.clear();
  FILE* pipe = ::popen((std::string(VZ_VAZADOD_CLI) + " " + args + " 2>&1").c_str(), "r");
  char buf[4096];
  while (size_t n = std::fread(buf, 1, sizeof buf, pipe)) output.append(buf, n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Answers message boxes with Answer, recording their texts.
class BoxCatcher {
 public:
  QMessageBox::StandardButton Answer = QMessageBox::No;
  std::vector<QString> Texts;
  // Called with each box before it is answered.
  std::function<void(QMessageBox*)> OnShown;
  BoxCatcher() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box || !box->isVisible()) continue;
        if (OnShown) OnShown(box);
        Texts.push_back(box->text());
        if (QAbstractButton* b = box->button(Answer)) b->click();
      }
    });
    timer_.start(5);
  }

 private:
  QTimer timer_;
};

class FakeDesktop : public TqorLauncherPlatform {
 public:
  // works: whether the programs start (a desktop without a viewer when false).
  explicit FakeDesktop(std::vector<std::string>* calls, const bool* works = nullptr)
      : calls_(calls), works_(works) {}
  std::string SearchPath() const override { return "/opt/fake/bin"; }
  bool IsExecutableFile(const std::string& path) const override {
    return path == "/opt/fake/bin/lowriter";
  }
  bool StartProgram(const std::string& program, const std::string& argument) override {
    calls_->push_back(program + " " + argument);
    return !works_ || *works_;
  }
  bool OpenWithDesktop(const std::string& document) override {
    calls_->push_back("desktop " + document);
    return !works_ || *works_;
  }

 private:
  std::vector<std::string>* calls_;
  const bool* works_;
};

struct DialogCall {
  QString Title, Filter, Folder;
};

class WindowReports : public ::testing::Test {
 protected:
  void SetUp() override {
    out_ = kHome + "/out";
    std::filesystem::create_directories(out_);
    window_ = std::make_unique<TfrmVazadod>(planner_.Path(), VZ_SOURCE_DIR);
    window_->SetLauncherPlatform(std::make_unique<FakeDesktop>(&launched_, &viewers_));
    window_->SetSaveDialog(
        [this](const QString& title, const QString& filter, const QString& folder) {
          dialogs_.push_back({title, filter, folder});
          return answer_;
        });
    TqorPlannerGrid& grid = *window_->TaskGrid();
    TqorXMLNode2* project = grid.AddProject("1", "Web & <mobile>");
    project->SetAttribute("startdate", EncodeDate(2005, 1, 3));
    project->SetAttribute("enddate", EncodeDate(2005, 1, 9));
    grid.AddTask("1", "10", "a<b", EncodeDate(2005, 1, 3), EncodeDate(2005, 1, 5), true);
    grid.Model().SetProjectFilter("[1]");
  }
  void TearDown() override { std::filesystem::remove_all(out_); }

  QAction* Item(const char* name) { return window_->findChild<QAction*>(name); }

  BoxCatcher boxes_;
  TTestPlanner planner_{"reports"};
  std::string out_;
  std::unique_ptr<TfrmVazadod> window_;
  std::vector<std::string> launched_;
  bool viewers_ = true;
  std::vector<DialogCall> dialogs_;
  QString answer_;
};

TEST_F(WindowReports, TheDialogStartsInTheReportsFolderAndTheFormatGivesTheExtension) {
  const QString folder = QString::fromStdString(kHome + "/Documents/Vazadod reports");
  answer_ = QString::fromStdString(out_ + "/plan.txt");
  EXPECT_EQ(window_->AskReportFileName(), out_ + "/plan.pdf");
  ASSERT_EQ(dialogs_.size(), 1u);
  EXPECT_EQ(dialogs_[0].Title, "Save Task report");
  EXPECT_EQ(dialogs_[0].Filter, "PDF reports (*.pdf)");
  EXPECT_EQ(dialogs_[0].Folder, folder);
  EXPECT_TRUE(std::filesystem::is_directory(folder.toStdString())) << "made when missing";

  Item("mnuReportRTF")->trigger();
  answer_ = QString::fromStdString(out_ + "/plan");
  EXPECT_EQ(window_->AskReportFileName(), out_ + "/plan.rtf");
  EXPECT_EQ(dialogs_[1].Filter, "RTF reports (*.rtf)");
  answer_.clear();
  EXPECT_EQ(window_->AskReportFileName(), "") << "cancelled";

  // A file of the name the extension rule chose is not replaced without asking.
  SaveStringToFile(out_ + "/plan.rtf", "kept");
  answer_ = QString::fromStdString(out_ + "/plan.doc");
  EXPECT_EQ(window_->AskReportFileName(), "");
  ASSERT_EQ(boxes_.Texts.size(), 1u);
  EXPECT_TRUE(
      boxes_.Texts[0].startsWith(QString::fromStdString(out_ + "/plan.rtf already exists")));
  boxes_.Answer = QMessageBox::Yes;
  EXPECT_EQ(window_->AskReportFileName(), out_ + "/plan.rtf");
  EXPECT_TRUE(boxes_.Texts.size() == 2u);
  EXPECT_EQ(ReadFile(out_ + "/plan.rtf"), "kept") << "asking writes nothing";
}

TEST_F(WindowReports, AReportIsWrittenInTheFormatAndOpenedInItsViewer) {
  // RTF: the word processor found on the PATH gets the file.
  Item("mnuReportRTF")->trigger();
  answer_ = QString::fromStdString(out_ + "/tasks.txt");
  Item("mnuReportTasks")->trigger();
  const std::string rtf = out_ + "/tasks.rtf";
  TqorFastString text;
  TqorRTFReporter reference;
  reference.SetLanguage("english");
  std::ostringstream expected;
  reference.RenderReport(BuildTasksReport(text, window_->TaskGrid()->Model()), expected, "");
  EXPECT_EQ(ReadFile(rtf), expected.str());
  // PDF: no viewer of that name on the PATH, so the desktop's program opens it.
  Item("mnuReportPDF")->trigger();
  answer_ = QString::fromStdString(out_ + "/resources");
  Item("mnuReportResources")->trigger();
  EXPECT_EQ(ReadFile(out_ + "/resources.pdf").rfind("%PDF-1.4", 0), 0u);
  EXPECT_EQ(launched_, (std::vector<std::string>{"/opt/fake/bin/lowriter " + rtf,
                                                 "desktop " + out_ + "/resources.pdf"}));
  // Cancelled: nothing written, nothing opened.
  answer_.clear();
  Item("mnuReportTasks")->trigger();
  EXPECT_EQ(launched_.size(), 2u);
  EXPECT_TRUE(boxes_.Texts.empty());
}

TEST_F(WindowReports, CharactersWithoutAFontAreSaidOnceAndTheReportIsOpened) {
  window_->TaskGrid()->AddTask("1", "11", "Private \U0010FFFD", EncodeDate(2005, 1, 4),
                               EncodeDate(2005, 1, 5), true);
  boxes_.Answer = QMessageBox::Ok;
  Item("mnuReportPDF")->trigger();
  answer_ = QString::fromStdString(out_ + "/boxes.pdf");
  Item("mnuReportTasks")->trigger();
  EXPECT_EQ(boxes_.Texts,
            std::vector<QString>{QStringLiteral("1 character had no font and shows as a box.")});
  EXPECT_EQ(launched_, std::vector<std::string>{"desktop " + out_ + "/boxes.pdf"});
}

TEST_F(WindowReports, EachReportIsSavedUnderItsTitleAndWithoutAViewerItsFolderIsOffered) {
  viewers_ = false;
  boxes_.Answer = QMessageBox::Yes;
  const struct {
    const char* Item;
    const char* Title;
    const char* File;
  } reports[] = {{"mnuReportTasks", "Save Task report", "/tasks.pdf"},
                 {"mnuReportHolidays", "Save Holiday report", "/holidays.pdf"},
                 {"mnuReportResources", "Save Resource report", "/resources.pdf"}};
  for (const auto& r : reports) {
    dialogs_.clear();
    launched_.clear();
    boxes_.Texts.clear();
    answer_ = QString::fromStdString(out_ + r.File);
    Item(r.Item)->trigger();
    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_EQ(dialogs_[0].Title, r.Title);
    EXPECT_TRUE(std::filesystem::exists(out_ + r.File));
    EXPECT_EQ(window_->statusBar()->currentMessage().toStdString(),
              "Report saved to " + out_ + r.File);
    ASSERT_EQ(boxes_.Texts.size(), 1u) << r.Item;
    EXPECT_TRUE(boxes_.Texts[0].contains(QString::fromStdString(out_ + r.File)));
    EXPECT_TRUE(boxes_.Texts[0].contains(QStringLiteral("no program was found to show it")));
    // The desktop tried the report, then (answered Yes) its folder.
    ASSERT_FALSE(launched_.empty());
    EXPECT_EQ(launched_.back(), "desktop " + out_);
  }
}

TEST_F(WindowReports, ExportWritesTheDocumentAsXml) {
  answer_ = QString::fromStdString(out_ + "/plan.pdf");
  Item("mnuExportXml")->trigger();
  ASSERT_EQ(dialogs_.size(), 1u);
  EXPECT_EQ(dialogs_[0].Title, "Export to XML");
  EXPECT_EQ(dialogs_[0].Filter, "XML Files (*.xml)");
  EXPECT_EQ(ReadFile(out_ + "/plan.xml"), window_->TaskGrid()->Document().EncodedXml());
  EXPECT_FALSE(std::filesystem::exists(out_ + "/plan.pdf"));
  EXPECT_TRUE(launched_.empty()) << "an export is not opened";
}

TEST_F(WindowReports, NoAnswerOfTheSaveDialogReplacesThePlanItsJournalOrItsLockFile) {
  namespace fs = std::filesystem;
  const std::string plan = planner_.Path(), before = ReadFile(plan);
  const std::string lock = fs::path(plan).parent_path() / "Vazadod.lck";
  fs::create_symlink(plan, out_ + "/plan.pdf");
  fs::create_symlink(lock, out_ + "/lock.xml");
  boxes_.Answer = QMessageBox::Ok;
  answer_ = QString::fromStdString(out_ + "/plan.pdf");
  Item("mnuReportTasks")->trigger();
  answer_ = QString::fromStdString(out_ + "/lock.xml");
  Item("mnuExportXml")->trigger();
  EXPECT_EQ(
      boxes_.Texts,
      (std::vector<QString>{
          QString::fromStdString("Cannot write file " + out_ + "/plan.pdf: it is the plan " + plan),
          QString::fromStdString("Cannot write file " + out_ +
                                 "/lock.xml: it is the lock file of the plan " + plan)}));
  EXPECT_TRUE(launched_.empty());
  EXPECT_TRUE(fs::exists(lock)) << "the plan is open";
  window_.reset();
  EXPECT_EQ(ReadFile(plan), before);
  EXPECT_TRUE(fs::is_symlink(out_ + "/plan.pdf"));
}

// The window on a sample plan, shown (so loaded as at start), and vazadod-cli on the same file.
TEST(WindowAndCli, GiveTheSameRtfAndXmlBytes) {
  TTestPlanner folder("menu_cli");
  const std::string db = (folder.Dir() / "sample.zuz").string();
  std::string log;
  ASSERT_EQ(Cli("sample --projects 4 --tasks-per-project 6 --resources 5 --seed 3 " + db, log), 0)
      << log;
  {
    TqorDatabaseController c;
    c.OpenDatabase(db);
    c.Execute(qorStatements::UpdateProjectFilter("[1][3][4]"));
    c.Execute(qorStatements::InsertTask("a<b & \"c\" ]]>", SystemToday(), 3));
    // Notes of several lines and a name with a character XML cannot hold.
    c.Execute(qorStatements::InsertTask("Tab\there\vand a vertical tab", SystemToday(), 3));
    const int32_t task = qorStatements::NewTaskId(c);
    c.Execute(qorStatements::UpdateTask(
        task, {"Tab\there\vand a vertical tab", SystemToday(), SystemToday(), false, false, 0, 0,
               "one\r\ntwo\nthree\tfour"}));
  }
  BoxCatcher boxes;
  std::vector<std::string> launched;
  TfrmVazadod window(db, VZ_SOURCE_DIR);
  window.SetLauncherPlatform(std::make_unique<FakeDesktop>(&launched));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QString answer;
  window.SetSaveDialog([&](const QString&, const QString&, const QString&) { return answer; });
  window.findChild<QAction*>("mnuReportRTF")->trigger();

  const std::string menu = (folder.Dir() / "menu").string(), cli = (folder.Dir() / "cli").string();
  for (const char* report : {"tasks", "resources", "holidays"}) {
    answer = QString::fromStdString(menu + report + ".rtf");
    const std::string item = std::string("mnuReport") + char(report[0] - 'a' + 'A') + (report + 1);
    window.findChild<QAction*>(QString::fromStdString(item))->trigger();
    ASSERT_EQ(Cli(std::string("report ") + report + " --format rtf --output " + cli + report +
                      ".rtf " + db,
                  log),
              0)
        << log;
    const std::string fromMenu = ReadFile(menu + report + ".rtf");
    EXPECT_GT(fromMenu.size(), 1000u) << report;
    EXPECT_EQ(fromMenu, ReadFile(cli + report + ".rtf")) << report;
  }
  EXPECT_TRUE(boxes.Texts.empty());
  // The export says what it left out, in a message of the window and on the tool's standard
  // error; the file keeps the notes' lines and tabs, and xmllint reads it.
  answer = QString::fromStdString(menu + ".xml");
  boxes.Answer = QMessageBox::Ok;
  const char* screenshots = std::getenv("VZ_SCREENSHOT_DIR");
  if (screenshots) {
    boxes.OnShown = [&](QMessageBox* box) {
      EXPECT_TRUE(box->grab().save(QString::fromUtf8(screenshots) + "/export-left-out.png"));
    };
  }
  window.findChild<QAction*>("mnuExportXml")->trigger();
  ASSERT_EQ(Cli("export --output " + cli + ".xml " + db, log), 0) << log;
  EXPECT_EQ(boxes.Texts,
            std::vector<QString>{QString::fromStdString(XmlLeftOutMessage(1, menu + ".xml"))});
  EXPECT_EQ(log, "vazadod-cli export: " + XmlLeftOutMessage(1, cli + ".xml") + "\n");
  EXPECT_EQ(ReadFile(menu + ".xml"), ReadFile(cli + ".xml"));
  EXPECT_NE(ReadFile(menu + ".xml").find("name=\"a&lt;b &amp; &quot;c&quot; ]]&gt;\""),
            std::string::npos);
  EXPECT_NE(ReadFile(menu + ".xml").find("name=\"Tab&#9;hereand a vertical tab\""),
            std::string::npos);
  EXPECT_NE(ReadFile(menu + ".xml").find("notes=\"one&#13;&#10;two&#10;three&#9;four\""),
            std::string::npos);
  if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
    EXPECT_EQ(std::system(("xmllint --noout " + menu + ".xml").c_str()), 0);
  }
  EXPECT_EQ(launched.size(), 3u);
}

// The exchange formats from the menu give the tool's bytes; an imported MS Project XML file adds
// its projects as one step of the history, and a file that is no plan changes nothing.
TEST(WindowExchange, ExportsAreTheToolsAndAnImportIsOneStepOfTheHistory) {
  TTestPlanner folder("menu_exchange");
  const std::string db = (folder.Dir() / "sample.zuz").string();
  std::string log;
  ASSERT_EQ(
      Cli("sample --projects 3 --tasks-per-project 5 --resources 4 --seed 8 --links 40 " + db, log),
      0)
      << log;
  BoxCatcher boxes;
  boxes.Answer = QMessageBox::Ok;
  TfrmVazadod window(db, VZ_SOURCE_DIR);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QString answer;
  std::vector<QString> titles;
  window.SetSaveDialog([&](const QString& title, const QString&, const QString&) {
    titles.push_back(title);
    return answer;
  });
  const std::string menu = (folder.Dir() / "menu").string(), cli = (folder.Dir() / "cli").string();
  auto withoutStamp = [](std::string text) {
    for (size_t at; (at = text.find("DTSTAMP:")) != std::string::npos;)
      text.erase(at, text.find('\n', at) + 1 - at);
    return text;
  };
  for (auto [item, format, extension] : {std::tuple{"mnuExportMspdi", "mspdi", ".xml"},
                                         {"mnuExportTaskJuggler", "tjp", ".tjp"},
                                         {"mnuExportICalendar", "ics", ".ics"}}) {
    answer = QString::fromStdString(menu + "-" + format);  // the extension is added
    window.findChild<QAction*>(item)->trigger();
    const std::string file = cli + "-" + format + extension;
    ASSERT_EQ(Cli(std::string("export --format ") + format + " --output " + file + " " + db, log),
              0)
        << log;
    const std::string written = ReadFile(menu + "-" + format + extension);
    EXPECT_GT(written.size(), 1000u) << format;
    EXPECT_EQ(withoutStamp(written), withoutStamp(ReadFile(file))) << format;
  }
  EXPECT_TRUE(boxes.Texts.empty());
  answer = QString::fromStdString(menu + ".csv");
  window.findChild<QAction*>("mnuExportCsv")->trigger();
  ASSERT_EQ(Cli("export --format csv --output " + cli + ".csv " + db, log), 0) << log;
  for (const char* table : {"-tasks.csv", "-resources.csv", "-assignments.csv"})
    EXPECT_EQ(ReadFile(menu + table), ReadFile(cli + table)) << table;
  ASSERT_EQ(boxes.Texts.size(), 1u) << "the three files are named";
  EXPECT_TRUE(boxes.Texts[0].contains(QString::fromStdString(menu + "-assignments.csv")));
  // A second export asks before replacing them, and "No" keeps them.
  SaveStringToFile(menu + "-tasks.csv", "kept");
  boxes.Answer = QMessageBox::No;
  window.findChild<QAction*>("mnuExportCsv")->trigger();
  EXPECT_EQ(ReadFile(menu + "-tasks.csv"), "kept");
  ASSERT_EQ(boxes.Texts.size(), 2u);
  EXPECT_TRUE(boxes.Texts[1].endsWith("already exist.\nDo you want to replace them?"));
  EXPECT_EQ(titles,
            (std::vector<QString>{"Export to MS Project XML", "Export to TaskJuggler",
                                  "Export to iCalendar", "Export to CSV", "Export to CSV"}));

  // The plan's own export imported back: every project twice, undone as one step.
  TqorPlannerModel& model = window.TaskGrid()->Model();
  const TqorExchangePlan before = ExchangePlanOf(model, "sample");
  QString chosen = QString::fromStdString(menu + "-mspdi.xml");
  window.SetOpenDialog([&](const QString&, const QString&, const QString&) { return chosen; });
  boxes.Answer = QMessageBox::Ok;
  const char* screenshots = std::getenv("VZ_SCREENSHOT_DIR");
  if (screenshots) {
    boxes.OnShown = [&](QMessageBox* box) {
      EXPECT_TRUE(box->grab().save(QString::fromUtf8(screenshots) + "/import-summary.png"));
    };
  }
  window.findChild<QAction*>("mnuImportMspdi")->trigger();
  boxes.OnShown = nullptr;
  ASSERT_EQ(boxes.Texts.size(), 3u);
  EXPECT_TRUE(boxes.Texts[2].startsWith(
      QString::fromStdString("Imported " + std::to_string(before.Projects.size()) +
                             " projects with " + std::to_string(before.Tasks.size()) + " tasks, ")))
      << boxes.Texts[2].toStdString();
  const TqorExchangePlan after = ExchangePlanOf(model, "sample");
  EXPECT_EQ(after.Projects.size(), 2 * before.Projects.size());
  EXPECT_EQ(after.Tasks.size(), 2 * before.Tasks.size());
  EXPECT_EQ(after.Links.size(), 2 * before.Links.size());
  EXPECT_EQ(after.Resources.size(), before.Resources.size()) << "matched by name";
  EXPECT_EQ(window.findChild<QAction*>("mnuUndo")->text().toStdString(),
            "&Undo Import of 'menu-mspdi.xml'");
  window.findChild<QAction*>("mnuUndo")->trigger();
  EXPECT_EQ(ExchangePlanOf(model, "sample").Tasks.size(), before.Tasks.size());

  // A file that is no MS Project XML: the reason, and the plan as it was.
  SaveStringToFile(menu + "-bad.xml", "<?xml version=\"1.0\"?>\n<Plan/>\n");
  chosen = QString::fromStdString(menu + "-bad.xml");
  window.findChild<QAction*>("mnuImportMspdi")->trigger();
  ASSERT_EQ(boxes.Texts.size(), 4u);
  EXPECT_TRUE(boxes.Texts[3].startsWith(
      QString::fromStdString(menu + "-bad.xml was not imported; the plan is as it was.\n\n")))
      << boxes.Texts[3].toStdString();
  EXPECT_EQ(ExchangePlanOf(model, "sample").Tasks.size(), before.Tasks.size());
}

}  // namespace
