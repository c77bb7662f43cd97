// Times a full repaint of a planner grid over plans of 2,000 and 20,000 visible rows (projects
// and tasks with bars, milestones, completed and overdue days, assignments), against filling the
// same cells with nothing but a plain colour, and a scroll by one page followed by a repaint, in
// views of 1280 x 1024, 1920 x 1080 and 3840 x 2160 pixels, and of 1920 x 1080 at a device pixel
// ratio of 2. The repaint should cost the same for both plan sizes: only the visible rows are
// visited. The full repaint paints the same view again (as an expose does), so the grid copies
// the cells it keeps pictures of; a page down brings rows it has not painted before.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/grid/qorPlannerGrid.h"

namespace {

using Clock = std::chrono::steady_clock;

// Joins texts by appending (g++ 12 warns wrongly about "literal" + std::string when optimising).
std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out.append(p);
  return out;
}

double MsSince(Clock::time_point start, int runs) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / runs;
}

// Projects of 9 tasks each until the plan has `rows` task and project rows.
void Fill(TqorPlannerGrid& grid, int rows) {
  const double start = grid.StartDate();
  for (int r = 1; r <= 40; ++r) {
    auto res = std::make_unique<TqorXMLNode2>("resource");
    res->SetAttribute("name", Cat({"Resource ", std::to_string(r)}));
    res->SetAttribute("initials", Cat({"R", std::to_string(r)}));
    res->SetAttribute("id", std::to_string(r));
    res->SetAttribute("hoursperweek", 40.0);
    grid.ResourcesNode()->AddChild(std::move(res));
  }
  std::string filter;
  int made = 0, assignment = 0;
  for (int p = 1; made < rows; ++p) {
    const std::string pid = std::to_string(p);
    TqorXMLNode2* project =
        grid.AddProject(pid, Cat({"Project ", pid, " with a rather long name"}));
    project->SetAttribute("tag", Cat({"P-", pid}));
    project->SetAttribute("budgethours", 100.0);
    project->SetAttribute("startdate", start + p % 10);
    project->SetAttribute("enddate", start + 40 + p % 10);
    filter += Cat({"[", pid, "]"});
    ++made;
    for (int t = 0; t < 9 && made < rows; ++t, ++made) {
      const std::string tid = std::to_string(p * 100 + t);
      const double s = start + (p + 5 * t) % 60;
      TqorXMLNode2* task = grid.AddTask(pid, tid, Cat({"Task ", tid}), s, s + 3 + t * 2, t == 8);
      task->SetAttribute("iscompleted", t % 4 == 0);
      for (int a = 0; a < 2; ++a) {
        auto asg = std::make_unique<TqorXMLNode2>("assignment");
        asg->SetAttribute("id", std::to_string(++assignment));
        asg->SetAttribute("resourceid", std::to_string(1 + assignment % 40));
        asg->SetAttribute("units", 50.0);
        task->AddChild(std::move(asg));
      }
      task->SetAttribute("assignedhours", grid.CalcAssignedHours(task));
    }
    project->SetAttribute("assignedhours", grid.SumAssignedHours(project));
  }
  grid.SortTasks();
  grid.SetProjectFilter(filter);
}

// Links between the tasks, three for every two tasks: each task follows the one before it in its
// project (finish to start), and every other task also starts with the task two before it.
void AddLinks(TqorPlannerGrid& grid) {
  auto links = std::make_unique<TqorXMLNode2>("links");
  links->SetAttribute("id", "links");
  TqorXMLNode2* container = grid.HolidaysNode()->Parent()->AddChild(std::move(links));
  int id = 0;
  auto link = [&](const TqorXMLNode2* from, const TqorXMLNode2* to, const char* type) {
    auto l = std::make_unique<TqorXMLNode2>("link");
    l->SetAttribute("id", std::to_string(++id));
    l->SetAttribute("predecessorid", from->GetAttributeStr("id"));
    l->SetAttribute("successorid", to->GetAttributeStr("id"));
    l->SetAttribute("type", type);
    l->SetAttribute("lag", 0.0);
    container->AddChild(std::move(l));
  };
  const TqorXMLNode2* projects = grid.ProjectsNode();
  for (int p = 0; p < projects->ChildCount(); ++p) {
    const TqorXMLNode2* project = projects->GetChild(p);
    for (int t = 1; t < project->ChildCount(); ++t) {
      link(project->GetChild(t - 1), project->GetChild(t), "FS");
      if (t >= 2 && t % 2 == 0) link(project->GetChild(t - 2), project->GetChild(t), "SS");
    }
  }
  grid.RebuildRows();
}

// Every cell of the view filled with one colour, cell by cell.
QImage PaintEmptyCells(const TqorPlannerGrid& grid, qreal ratio, int& cells) {
  QImage image(grid.viewport()->size() * ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  QPainter painter(&image);
  cells = 0;
  const QSize view = grid.viewport()->size();
  const int top = grid.TopRow();
  for (int row = 0; row < grid.RowCount(); ++row) {
    if (row >= 2 && row < top) continue;
    const QRect first = grid.CellRect(0, row);
    if (first.isEmpty()) continue;
    if (first.top() >= view.height()) break;
    for (int col = 0; col < grid.ColCount(); ++col) {
      const QRect r = grid.CellRect(col, row);
      if (r.left() >= view.width()) break;
      if (r.right() < 0) continue;
      painter.fillRect(r, Qt::white);
      ++cells;
    }
  }
  return image;
}

// Resizes the grid until its view (without frame and scroll bars) has the given size.
void SetViewSize(TqorPlannerGrid& grid, QSize view) {
  for (int i = 0; i < 4 && grid.viewport()->size() != view; ++i) {
    grid.resize(grid.size() + view - grid.viewport()->size());
    QApplication::processEvents();
  }
}

struct ViewSize {
  int Width;
  int Height;
  qreal Ratio;  // device pixels per view pixel
};

// Writes the image as NAME.png into folder (nothing when folder is empty), to compare the
// pictures of two builds.
void Save(const QImage& image, const std::string& folder, const std::string& name) {
  if (folder.empty()) return;
  const std::string path = Cat({folder, "/", name, ".png"});
  if (!image.save(QString::fromStdString(path)))
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
}

void Run(int rows, int runs, const ViewSize& size, const std::string& saveFolder) {
  const qreal ratio = size.Ratio;
  TqorPlannerGrid grid;
  grid.resize(size.Width, size.Height);
  grid.show();
  QApplication::processEvents();
  grid.SetStartDate(EncodeDate(2025, 1, 1));
  Fill(grid, rows);
  SetViewSize(grid, QSize(size.Width, size.Height));
  grid.SelectGridCell(10, 5);
  QScrollBar* v = grid.verticalScrollBar();
  v->setValue(v->maximum() / 2);

  const std::string name =
      Cat({std::to_string(size.Width), "x", std::to_string(size.Height), "@",
           std::to_string(static_cast<int>(ratio)), "-", std::to_string(rows)});
  Save(grid.RenderView(ratio), saveFolder, name);  // also warms the font caches
  auto t0 = Clock::now();
  for (int i = 0; i < runs; ++i) grid.RenderView(ratio);
  const double full = MsSince(t0, runs);

  int cells = 0;
  PaintEmptyCells(grid, ratio, cells);
  t0 = Clock::now();
  for (int i = 0; i < runs; ++i) PaintEmptyCells(grid, ratio, cells);
  const double empty = MsSince(t0, runs);

  v->setValue(0);
  t0 = Clock::now();
  for (int i = 0; i < runs; ++i) {
    if (v->value() >= v->maximum()) v->setValue(0);
    v->triggerAction(QAbstractSlider::SliderPageStepAdd);
    grid.RenderView(ratio);
  }
  const double scroll = MsSince(t0, runs);

  // The same view with the links drawn, and with the critical path outlined.
  v->setValue(v->maximum() / 2);
  AddLinks(grid);
  const int links = grid.Model().LinksNode()->ChildCount();
  Save(grid.RenderView(ratio), saveFolder, Cat({name, "-links"}));
  t0 = Clock::now();
  for (int i = 0; i < runs; ++i) grid.RenderView(ratio);
  const double withLinks = MsSince(t0, runs);

  std::printf("%6d rows, view %dx%d", grid.RowCount() - 2, grid.viewport()->width(),
              grid.viewport()->height());
  if (ratio != 1) std::printf(" at ratio %g", ratio);
  std::printf(", %d cells visible\n", cells);
  std::printf("  full repaint           %8.3f ms\n", full);
  std::printf("  empty cells            %8.3f ms  (repaint / empty = %.1f)\n", empty, full / empty);
  std::printf("  page down + repaint    %8.3f ms\n", scroll);
  std::printf("  repaint with %d links %8.3f ms  (with / without = %.2f)\n", links, withLinks,
              withLinks / full);
}

}  // namespace

// Arguments: the number of runs of each timing (50), and a folder to write the views into as PNG
// files (none).
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  const std::string saveFolder = argc > 2 ? argv[2] : "";
  const ViewSize sizes[] = {{1280, 1024, 1}, {1920, 1080, 1}, {3840, 2160, 1}, {1920, 1080, 2}};
  for (const ViewSize& size : sizes) {
    std::printf("View %dx%d", size.Width, size.Height);
    if (size.Ratio != 1)
      std::printf(" at device pixel ratio %g (%gx%g pixels)", size.Ratio, size.Width * size.Ratio,
                  size.Height * size.Ratio);
    std::printf("\n");
    Run(2000, runs, size, saveFolder);
    Run(20000, runs, size, saveFolder);
    std::fflush(stdout);
  }
  return 0;
}
