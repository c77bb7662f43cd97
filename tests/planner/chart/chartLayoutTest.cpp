// The chart's tiling against a model of it, on random plans, periods, scales and pages: every
// day of the period and every row lie on exactly one page of each band, in the place the page
// gives them; every task's bar starts and ends on its days and every name stands in its row on
// each page of its band; a fitted page holds everything within the paper; options that give no
// chart are refused. VZ_CHART_LAYOUTS (default 300) cases from VZ_CHART_LAYOUT_SEED.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <string>

#include "planner/base/qorCalendar.h"
#include "planner/chart/qorChartLayout.h"

namespace {

int Env(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

TqorChartInput RandomPlan(std::mt19937& random, int32_t around) {
  TqorChartInput input;
  input.Title = "Plan";
  const int rows = static_cast<int>(random() % 90);
  for (int r = 0; r < rows; ++r) {
    TqorChartRow row;
    row.Project = r == 0 || random() % 8 == 0;
    row.Id = r + 1;
    row.Name = (row.Project ? "Project " : "Task ") + std::to_string(r + 1);
    row.HasDates = random() % 10 != 0;
    row.Start = around - 60 + static_cast<int32_t>(random() % 300);
    row.End = row.Start + static_cast<int32_t>(random() % 40) - 3;  // some end before they start
    row.Milestone = !row.Project && random() % 6 == 0;
    row.Progress = static_cast<double>(random() % 101);
    input.Rows.push_back(row);
  }
  for (int l = 0; rows > 1 && l < rows / 3; ++l)
    input.Links.push_back({static_cast<int>(random() % rows), static_cast<int>(random() % rows),
                           static_cast<TqorLinkType>(random() % 4), false});
  input.NonWorkingDay = [](int32_t day) { return ISODayOfWeek(day) >= 6; };
  return input;
}

TEST(ChartLayout, PagesTileThePeriodAndTheRowsAndPlaceEveryBarAndName) {
  const int cases = Env("VZ_CHART_LAYOUTS", 300);
  std::mt19937 random(static_cast<unsigned>(Env("VZ_CHART_LAYOUT_SEED", 3)));
  const int32_t around = static_cast<int32_t>(EncodeDate(2026, 6, 1));
  for (int c = 0; c < cases; ++c) {
    SCOPED_TRACE("case " + std::to_string(c));
    const TqorChartInput input = RandomPlan(random, around);
    TqorChartOptions options;
    options.Scale = static_cast<TqorChartScale>(random() % 3);
    options.From = around - 30 + static_cast<int32_t>(random() % 60);
    options.To = options.From + static_cast<int32_t>(random() % 400);
    const bool paged = random() % 4 != 0;
    options.FitToPage = paged && random() % 5 == 0;
    if (paged) {
      options.PageWidth = 300 + random() % 900;
      options.PageHeight = 200 + random() % 900;
    }
    const TqorChartPages pages = LayoutChart(input, options);
    ASSERT_EQ(static_cast<int>(pages.Pages.size()), ChartPageCount(input, options));
    ASSERT_EQ(static_cast<int>(pages.Pages.size()), pages.PagesAcross * pages.PagesDown);
    const double dayWidth = ChartDayWidth(options.Scale);

    // Each band of rows covers the period once, each row lies in one band.
    std::map<int, int> rowBand;
    for (int down = 0; down < pages.PagesDown; ++down) {
      int32_t next = options.From;
      for (int across = 0; across < pages.PagesAcross; ++across) {
        const TqorChartPage& page = pages.Pages[down * pages.PagesAcross + across];
        EXPECT_EQ(page.Across, across + 1);
        EXPECT_EQ(page.Down, down + 1);
        EXPECT_EQ(page.FirstDay, next);
        ASSERT_GT(page.DayCount, 0);
        next = page.FirstDay + page.DayCount;
        if (paged && !options.FitToPage) {
          EXPECT_LE(kChartNamesWidth + page.DayCount * dayWidth, options.PageWidth + 1e-9);
          EXPECT_LE(page.RowsTop + page.RowCount * kChartRowHeight + kChartFooterHeight,
                    options.PageHeight + 1e-9);
        }
        if (options.FitToPage) {
          EXPECT_LE(page.Scale, 1.0);
          EXPECT_LE(page.Width * page.Scale, options.PageWidth + 1e-6);
          EXPECT_LE((page.RowsTop + page.RowCount * kChartRowHeight) * page.Scale,
                    options.PageHeight + 1e-6);
        }
        for (int r = page.FirstRow; r < page.FirstRow + page.RowCount && r < (int)input.Rows.size();
             ++r) {
          if (across == 0) EXPECT_TRUE(rowBand.emplace(r, down).second) << "row " << r;
          const TqorChartRow& row = input.Rows[r];
          const double top = page.RowsTop + (r - page.FirstRow) * kChartRowHeight;
          int names = 0, bars = 0;
          const int32_t end = std::max(row.Start, row.End);
          for (const TqorChartShape& s : page.Shapes) {
            if (s.Kind == TqorChartShapeKind::Text && s.Text == row.Name) {
              ++names;
              EXPECT_DOUBLE_EQ(s.Box.Y, top);
              EXPECT_LE(s.Box.Right(), kChartNamesWidth);
            }
            if (s.Kind == TqorChartShapeKind::Rect && s.Filled && s.Clip == TqorChartClip::Body &&
                s.Box.Y > top && s.Box.Bottom() < top + kChartRowHeight && s.Box.H > 5) {
              ++bars;
              EXPECT_DOUBLE_EQ(s.Box.X, page.TimelineLeft + (row.Start - page.FirstDay) * dayWidth);
              EXPECT_DOUBLE_EQ(s.Box.Right(),
                               page.TimelineLeft + (end + 1 - page.FirstDay) * dayWidth);
            }
          }
          EXPECT_EQ(names, 1) << row.Name;
          const bool shown = row.HasDates && end >= page.FirstDay &&
                             row.Start < page.FirstDay + page.DayCount &&
                             !(row.Milestone && row.Start == end);
          EXPECT_EQ(bars, shown ? 1 : 0) << row.Name << " on page " << page.Number;
        }
      }
      EXPECT_EQ(next, options.To + 1) << "band " << down;
    }
    EXPECT_EQ(rowBand.size(), input.Rows.size());
  }
}

TEST(ChartLayout, OptionsThatGiveNoChartAreRefused) {
  TqorChartInput input;
  input.Rows.push_back({false, 1, "A", true, 100000, 100005});
  TqorChartOptions options;
  options.From = 100010;
  options.To = 100000;
  EXPECT_THROW(LayoutChart(input, options), EqorChartError);
  options.To = options.From + kMaxChartDays;
  EXPECT_THROW(LayoutChart(input, options), EqorChartError);
  options.To = options.From + 10;
  options.PageWidth = 150;  // narrower than the names column
  options.PageHeight = 500;
  EXPECT_THROW(LayoutChart(input, options), EqorChartError);
  options.PageWidth = 500;
  options.PageHeight = 60;  // no room for a row
  EXPECT_THROW(LayoutChart(input, options), EqorChartError);
  options.PageHeight = 500;
  input.Links.push_back({0, 3, TqorLinkType::FS, false});
  EXPECT_THROW(LayoutChart(input, options), EqorChartError);
  input.Links.clear();
  EXPECT_EQ(LayoutChart(input, options).Pages.size(), 1u);
}

}  // namespace
