// The chart from the File menu: Print Preview shows the pages the tiling gives for A4 landscape
// (and portrait once the preview turns the paper); Print, through the print dialog's file
// output, writes the same pages as File, Export Chart and as vazadod-cli chart.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/qorApplication.h"
#include "app/uVazadod.h"
#include "planner/grid/qorPlannerGrid.h"
#include "tests/app/appTestPlanner.h"
#include "tests/cliRun.h"
#include "tests/qtTestEnvironment.h"

namespace {

const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(
    new TQtTestEnvironment<TqorApplication>("app_print_tests", 1280, 1024));

// The pages of the documented tiling: a 10 mm margin, the names column of 160 points, 12
// points a day, 16 a row below 50 points of title and dates, 16 of footer.
int ExpectedPages(double paperWidth, double paperHeight, int days, int rows) {
  const double margin = 10 / 25.4 * 72;
  const int daysPerPage = static_cast<int>((paperWidth - 2 * margin - 160) / 12);
  const int rowsPerPage = static_cast<int>((paperHeight - 2 * margin - 22 - 28 - 16) / 16);
  return ((days + daysPerPage - 1) / daysPerPage) * ((rows + rowsPerPage - 1) / rowsPerPage);
}

// Runs work on the modal dialog of type T the next trigger opens, then the trigger.
template <typename T, typename Work>
void OnModal(QAction* trigger, Work work) {
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!dialog) return;
    seen = true;
    work(dialog);
  });
  trigger->trigger();
  EXPECT_TRUE(seen) << "the dialog did not open";
}

TEST(Print, PreviewPagesAndPrintToFileAreTheExportsPages) {
  TTestPlanner folder("print");
  const std::string db = (folder.Dir() / "sample.zuz").string();
  const TCommandRun sample = RunVazadodCli(
      "sample --projects 6 --tasks-per-project 15 --resources 3 --links 30 --seed 5 " + db);
  ASSERT_EQ(sample.Status, 0) << sample.Out;
  TfrmVazadod window(db, VZ_SOURCE_DIR);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  TqorChartSettings settings = window.ChartSettings();
  EXPECT_TRUE(settings.Landscape);
  EXPECT_EQ(settings.From.daysTo(settings.To), 89) << "the grid's period";
  settings.AllUnfolded = true;
  settings.Paper = 0;  // A4
  const int rows = static_cast<int>(window.ChartInput(settings).Rows.size());
  ASSERT_EQ(rows, 6 + 6 * 15);
  window.SetChartDialog([&](const TqorChartSettings&, bool) { return settings; });

  int landscape = 0, portrait = 0;
  OnModal<QPrintPreviewDialog>(window.findChild<QAction*>("mnuPrintPreview"),
                               [&](QPrintPreviewDialog* dialog) {
                                 auto* preview = dialog->findChild<QPrintPreviewWidget*>();
                                 ASSERT_NE(preview, nullptr);
                                 preview->updatePreview();
                                 landscape = preview->pageCount();
                                 preview->setPortraitOrientation();
                                 preview->updatePreview();
                                 portrait = preview->pageCount();
                                 dialog->reject();
                               });
  EXPECT_EQ(landscape, ExpectedPages(841.89, 595.28, 90, rows));
  EXPECT_EQ(portrait, ExpectedPages(595.28, 841.89, 90, rows));
  EXPECT_NE(landscape, portrait);

  // Printed to a file through the dialog, and exported from the menu and by the tool.
  const std::string printed = (folder.Dir() / "printed.pdf").string();
  OnModal<QPrintDialog>(window.findChild<QAction*>("mnuPrint"), [&](QPrintDialog* dialog) {
    auto* file = dialog->findChild<QLineEdit*>("filename");
    ASSERT_NE(file, nullptr) << "the dialog's file output";
    file->setText(QString::fromStdString(printed));
    dialog->accept();
  });
  ASSERT_TRUE(std::filesystem::exists(printed));
  const std::string exported = (folder.Dir() / "exported.pdf").string();
  window.SetSaveDialog([&](const QString&, const QString&, const QString&) {
    return QString::fromStdString(exported);
  });
  window.findChild<QAction*>("mnuExportChart")->trigger();
  ASSERT_TRUE(std::filesystem::exists(exported));

  // The words of each page, in order (the two files place them a fraction of a point apart).
  const auto text = [](const std::string& pdf) {
    const std::string raw = RunShellCommand("pdftotext -layout " + pdf + " - 2>&1").Out;
    std::string words;
    for (char c : raw) {
      const bool space = c == ' ' || c == '\n';
      if (!space)
        words += c;
      else if (!words.empty() && words.back() != ' ')
        words += ' ';
    }
    return words;
  };
  const auto pageCount = [](const std::string& pdf) {
    const std::string info = RunShellCommand("pdfinfo " + pdf + " 2>&1").Out;
    const size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
  };
  EXPECT_EQ(pageCount(printed), landscape);
  EXPECT_EQ(pageCount(exported), landscape);
  EXPECT_EQ(text(printed), text(exported));
  // Every page the same picture, but for the edges of letters.
  for (int page = 1; page <= landscape; ++page) {
    const std::string n = std::to_string(page);
    const std::string a = folder.Dir().string() + "/p", b = folder.Dir().string() + "/e";
    ASSERT_EQ(
        RunShellCommand("pdftoppm -r 36 -singlefile -f " + n + " -l " + n + " " + printed + " " + a)
            .Status,
        0);
    ASSERT_EQ(RunShellCommand("pdftoppm -r 36 -singlefile -f " + n + " -l " + n + " " + exported +
                              " " + b)
                  .Status,
              0);
    const TCommandRun differ =
        RunShellCommand("compare -metric AE -fuzz 25% " + a + ".ppm " + b + ".ppm null: 2>&1");
    ASSERT_LE(differ.Status, 1) << differ.Out;
    EXPECT_LT(std::atof(differ.Out.c_str()), 0.005 * 421 * 298) << "page " << page;
  }
}

}  // namespace
