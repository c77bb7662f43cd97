// The main window's reports and export: the save dialog's title, filter, folder and extension
// rule, the report written in the chosen format and handed to the viewer, the XML export.
// The save dialog and the desktop are replaced by fakes; message boxes are answered.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/core/qorLauncher.h"
#include "app/core/qorReportBuilders.h"
#include "app/qorApplication.h"
#include "app/uVazadod.h"
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
  BoxCatcher() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box || !box->isVisible()) continue;
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
  explicit FakeDesktop(std::vector<std::string>* calls) : calls_(calls) {}
  std::string SearchPath() const override { return "/opt/fake/bin"; }
  bool IsExecutableFile(const std::string& path) const override {
    return path == "/opt/fake/bin/lowriter";
  }
  bool StartProgram(const std::string& program, const std::string& argument) override {
    calls_->push_back(program + " " + argument);
    return true;
  }
  bool OpenWithDesktop(const std::string& document) override {
    calls_->push_back("desktop " + document);
    return true;
  }

 private:
  std::vector<std::string>* calls_;
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
    window_->SetLauncherPlatform(std::make_unique<FakeDesktop>(&launched_));
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
  TTestPlanner planner_;
  std::string out_;
  std::unique_ptr<TfrmVazadod> window_;
  std::vector<std::string> launched_;
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

}  // namespace
