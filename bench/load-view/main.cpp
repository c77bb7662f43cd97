// Times the resource load view of 500 resources over the grid's 90 days: building its table from
// a plan of 5,000 tasks and 10,000 assignments (what a change of the plan or the period costs),
// and painting a 1920 x 1080 view of it (what a scroll or a repaint costs). Prints the medians.
//
//   bench_load_view [RUNS]
#include <QApplication>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench/benchCommon.h"
#include "planner/base/qorCalendar.h"
#include "planner/grid/qorLoadView.h"
#include "planner/grid/qorPlannerGrid.h"

namespace {

TqorLoadInput Plan(int resources, int tasks, int32_t from) {
  std::mt19937 random(7);
  TqorLoadInput input;
  for (int r = 0; r < resources; ++r)
    input.Resources.push_back({r + 1, "Resource " + std::to_string(r + 1), r % 4 ? 100.0 : 80.0});
  for (int t = 0; t < tasks; ++t) {
    const int32_t start = from - 20 + static_cast<int32_t>(random() % 120);
    input.Tasks.push_back({t + 1, "Task " + std::to_string(t + 1), start,
                           start + static_cast<int32_t>(random() % 25)});
  }
  for (int a = 0; a < 2 * tasks; ++a)
    input.Assignments.push_back(
        {1 + a % tasks, 1 + static_cast<int32_t>(random() % resources), 25.0 * (1 + random() % 4)});
  for (int r = 0; r < resources; ++r) {
    const int32_t start = from + static_cast<int32_t>(random() % 80);
    input.Holidays.push_back({r + 1, start, start + static_cast<int32_t>(random() % 6)});
  }
  return input;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  TqorPlannerGrid grid;
  grid.SetStartDate(EncodeDate(2025, 3, 1));
  const auto from = static_cast<int32_t>(grid.StartDate());
  const TqorLoadInput plan = Plan(500, 5000, from);
  TqorLoadView view(&grid, [&] { return plan; });
  view.resize(1920, 1080);
  view.show();
  grid.resize(1920, 400);
  grid.show();
  QApplication::processEvents();
  view.Refresh();
  const double build = bench::MedianMs(runs, [&] { view.Refresh(); });
  size_t sink = 0;
  const double paint = bench::MedianMs(runs, [&] { sink += view.RenderView().sizeInBytes(); });
  const double scrolled = bench::MedianMs(runs, [&] {
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + 37);
    grid.horizontalScrollBar()->setValue((grid.horizontalScrollBar()->value() + 14) % 600);
    sink += view.RenderView().sizeInBytes();
  });
  std::printf("500 resources x %d days, view %d x %d (median of %d)\n", view.Load().Days(),
              view.viewport()->width(), view.viewport()->height(), runs);
  std::printf("table from the plan   %8.2f ms\n", build);
  std::printf("paint                 %8.2f ms\n", paint);
  std::printf("scroll and paint      %8.2f ms\n", scrolled);
  return sink == 0;
}
