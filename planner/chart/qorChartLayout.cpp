#include "planner/chart/qorChartLayout.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "planner/base/qorCalendar.h"

namespace {

using namespace qorGridColors;

constexpr double kBarInset = 3;        // between a task bar and its row's edges
constexpr double kProjectInset = 4.5;  // a project's bar is thinner
constexpr double kTaskIndent = 10;     // task names stand right of their project's
constexpr double kTextInset = 4;
constexpr double kLinkOut = 4;  // a link leaves and enters its bars this far out
constexpr TqorColor kProgress{31, 92, 168};
constexpr TqorColor kProjectOutline{150, 125, 0};
constexpr TqorColor kTodayLine{214, 0, 120};

// The size of the page's tiles: days and rows per page, and the page counts.
struct TqorTiling {
  int32_t Days = 0;
  int32_t DaysPerPage = 0;
  int RowsPerPage = 0;
  int Across = 1;
  int Down = 1;
  bool Single = false;
};

double TopOfRows() {
  return kChartTitleHeight + 2 * kChartTierHeight;
}

TqorTiling TilingOf(const TqorChartInput& input, const TqorChartOptions& options) {
  if (options.To < options.From) throw EqorChartError("The chart's period ends before it starts.");
  TqorTiling t;
  t.Days = options.To - options.From + 1;
  if (t.Days > kMaxChartDays)
    throw EqorChartError("The chart's period has " + std::to_string(t.Days) + " days; at most " +
                         std::to_string(kMaxChartDays) + " can be shown.");
  if (!IsCalendarDayNumber(options.From) || !IsCalendarDayNumber(options.To))
    throw EqorChartError("The chart's period lies outside the years 1 to 9999.");
  for (const TqorChartLink& link : input.Links) {
    const int n = static_cast<int>(input.Rows.size());
    if (link.FromRow < 0 || link.FromRow >= n || link.ToRow < 0 || link.ToRow >= n)
      throw EqorChartError("A link of the chart joins a row that the chart does not have.");
  }
  const int rows = std::max<int>(1, static_cast<int>(input.Rows.size()));
  t.Single = options.FitToPage || options.PageWidth <= 0 || options.PageHeight <= 0;
  if (t.Single) {
    t.DaysPerPage = t.Days;
    t.RowsPerPage = rows;
    return t;
  }
  const double dayWidth = ChartDayWidth(options.Scale);
  t.DaysPerPage =
      static_cast<int32_t>(std::floor((options.PageWidth - kChartNamesWidth) / dayWidth));
  t.RowsPerPage = static_cast<int>(
      std::floor((options.PageHeight - TopOfRows() - kChartFooterHeight) / kChartRowHeight));
  if (t.DaysPerPage < 1 || t.RowsPerPage < 1)
    throw EqorChartError("The page is too small for the chart: it holds no whole day and row.");
  t.Across = (t.Days + t.DaysPerPage - 1) / t.DaysPerPage;
  t.Down = (rows + t.RowsPerPage - 1) / t.RowsPerPage;
  return t;
}

class TqorPageBuilder {
 public:
  TqorPageBuilder(const TqorChartInput& input, const TqorChartOptions& options, TqorChartPage& page)
      : input_(input), options_(options), page_(page) {}

  void Build(int pageCount, bool paged) {
    Title();
    DateHeader();
    Body();
    Footer(pageCount, paged);
  }

 private:
  double DayX(int32_t day) const {
    return page_.TimelineLeft + (day - page_.FirstDay) * page_.DayWidth;
  }
  int32_t LastDay() const { return page_.FirstDay + page_.DayCount - 1; }
  double RowY(int row) const { return page_.RowsTop + (row - page_.FirstRow) * kChartRowHeight; }
  double Right() const { return page_.TimelineLeft + page_.DayCount * page_.DayWidth; }
  double RowsBottom() const { return page_.RowsTop + page_.RowCount * kChartRowHeight; }

  TqorChartShape& Add(TqorChartShapeKind kind, TqorChartClip clip = TqorChartClip::None) {
    TqorChartShape& s = page_.Shapes.emplace_back();
    s.Kind = kind;
    s.Clip = clip;
    return s;
  }
  void Fill(const TqorChartBox& box, TqorColor color, TqorChartClip clip = TqorChartClip::None) {
    TqorChartShape& s = Add(TqorChartShapeKind::Rect, clip);
    s.Box = box;
    s.Filled = true;
    s.Fill = color;
  }
  // A bar in the grid's colours: filled halfway between its gradient's top and bottom and
  // outlined in the bottom colour (flat colours print crisply and keep a PDF of thousands of
  // pages small).
  TqorChartShape& Bar(const TqorChartBox& box, const TqorGradient& gradient, TqorChartClip clip) {
    TqorChartShape& s = Add(TqorChartShapeKind::Rect, clip);
    s.Box = box;
    s.Filled = true;
    s.Fill = GradientLineColor(gradient, 2, 1);
    s.StrokeWidth = 0.5;
    s.Stroke = gradient.Bottom;
    return s;
  }
  void Line(std::vector<TqorChartPoint> points, TqorColor color, double width,
            TqorChartClip clip = TqorChartClip::None) {
    TqorChartShape& s = Add(TqorChartShapeKind::Line, clip);
    s.Points = std::move(points);
    s.Stroke = color;
    s.StrokeWidth = width;
  }
  void Text(const TqorChartBox& box, std::string text, double size, bool bold, TqorTextAlign align,
            TqorColor color = kText, TqorChartClip clip = TqorChartClip::None) {
    if (text.empty()) return;
    TqorChartShape& s = Add(TqorChartShapeKind::Text, clip);
    s.Box = box;
    s.Text = std::move(text);
    s.FontSize = size;
    s.Bold = bold;
    s.Align = align;
    s.Fill = color;
  }

  void Title() {
    const double w = page_.Width;
    Text({0, 0, w * 0.65, kChartTitleHeight - 4}, input_.Title, 11, true, TqorTextAlign::Left);
    Text({w * 0.65, 0, w * 0.35, kChartTitleHeight - 4}, input_.PrintedOn, 8, false,
         TqorTextAlign::Right, kSecondaryText);
  }

  // One tier of the header: cells from each unit's first day, labelled.
  template <typename NextUnit, typename Label>
  void Tier(double top, NextUnit next, Label label, double fontSize, double minWidth) {
    const double h = kChartTierHeight;
    int32_t day = page_.FirstDay;
    while (day <= LastDay()) {
      const int32_t following = std::min<int32_t>(next(day), LastDay() + 1);
      const TqorChartBox cell{DayX(day), top, (following - day) * page_.DayWidth, h};
      Line({{cell.Right(), top}, {cell.Right(), top + h}}, kGridLine, 0.5, TqorChartClip::Header);
      if (cell.W >= minWidth)
        Text({cell.X + 1, top, cell.W - 2, h}, label(day, cell.W), fontSize, false,
             cell.W < 4 * fontSize ? TqorTextAlign::Center : TqorTextAlign::Left, kText,
             TqorChartClip::Header);
      day = following;
    }
  }

  void DateHeader() {
    const double top = kChartTitleHeight;
    const double h = 2 * kChartTierHeight;
    Fill({0, top, Right(), h}, GradientLineColor(kHeader, 4, 1));
    Text({kTextInset, top + kChartTierHeight, kChartNamesWidth - 2 * kTextInset, kChartTierHeight},
         "Name", 8, true, TqorTextAlign::Left);
    Line({{0, top + kChartTierHeight}, {Right(), top + kChartTierHeight}}, kGridLine, 0.5);
    const auto nextMonth = [](int32_t day) {
      int y, m, d;
      DecodeDate(day, y, m, d);
      return static_cast<int32_t>(day - d + 1 + DaysInMonth(y, m));
    };
    const auto nextYear = [](int32_t day) {
      return static_cast<int32_t>(StartOfAYear(YearOf(day) + 1));
    };
    const auto monthLabel = [](int32_t day, double width) {
      return FormatDateTime(width >= 40 ? "MMM yyyy" : "MMM", day);
    };
    const double lower = top + kChartTierHeight;
    switch (options_.Scale) {
      case TqorChartScale::Day:
        Tier(top, nextMonth, monthLabel, 8, 24);
        Tier(
            lower, [](int32_t day) { return day + 1; },
            [](int32_t day, double) { return FormatDateTime("d", day); }, 6.5, 9);
        break;
      case TqorChartScale::Week:
        Tier(top, nextMonth, monthLabel, 8, 24);
        Tier(
            lower, [](int32_t day) { return static_cast<int32_t>(MondayOf(day) + 7); },
            [](int32_t day, double) {
              std::string label(1, 'W');
              label += std::to_string(ISOWeekNumber(day).Week);
              return label;
            },
            6.5, 9);
        break;
      case TqorChartScale::Month:
        Tier(
            top, nextYear, [](int32_t day, double) { return std::to_string(YearOf(day)); }, 8, 24);
        Tier(
            lower, nextMonth, [](int32_t day, double) { return FormatDateTime("MMM", day); }, 6.5,
            9);
        break;
    }
  }

  void Body() {
    const double top = page_.RowsTop, bottom = RowsBottom();
    // Weekends and feasts as shaded columns, consecutive days as one.
    if (input_.NonWorkingDay && options_.Scale != TqorChartScale::Month) {
      for (int32_t day = page_.FirstDay; day <= LastDay(); ++day) {
        if (!input_.NonWorkingDay(day)) continue;
        int32_t last = day;
        while (last < LastDay() && input_.NonWorkingDay(last + 1)) ++last;
        Fill({DayX(day), top, (last - day + 1) * page_.DayWidth, bottom - top}, kNonWorkingDay);
        day = last;
      }
    }
    // Lines between the rows, across names and dates.
    for (int r = 0; r <= page_.RowCount; ++r) {
      const double y = top + r * kChartRowHeight;
      Line({{0, y}, {Right(), y}}, kGridLine, 0.5);
    }
    Line({{page_.TimelineLeft, kChartTitleHeight}, {page_.TimelineLeft, bottom}}, kGridLine, 0.8);
    Line({{Right(), kChartTitleHeight}, {Right(), bottom}}, kGridLine, 0.8);

    const int lastRow =
        std::min<int>(page_.FirstRow + page_.RowCount, static_cast<int>(input_.Rows.size()));
    for (int r = page_.FirstRow; r < lastRow; ++r) RowShapes(r, input_.Rows[r]);
    for (const TqorChartLink& link : input_.Links) LinkShapes(link);
    if (input_.Today >= page_.FirstDay && input_.Today <= LastDay()) {
      const double x = DayX(input_.Today) + page_.DayWidth / 2;
      Line({{x, top}, {x, bottom}}, kTodayLine, 0.8, TqorChartClip::Body);
    }
  }

  void RowShapes(int r, const TqorChartRow& row) {
    const double y = RowY(r);
    const double indent = row.Project ? 0 : kTaskIndent;
    Text({kTextInset + indent, y, kChartNamesWidth - 2 * kTextInset - indent, kChartRowHeight},
         row.Name, 8, row.Project, TqorTextAlign::Left);
    if (!row.HasDates) return;
    const int32_t start = row.Start, end = std::max(row.Start, row.End);
    if (end < page_.FirstDay || start > LastDay()) return;
    const double x = DayX(start), w = (end - start + 1) * page_.DayWidth;
    if (row.Project) {
      Bar({x, y + kProjectInset, w, kChartRowHeight - 2 * kProjectInset},
          row.Completed ? kCompleted : kProject, TqorChartClip::Body)
          .Stroke = kProjectOutline;
      return;
    }
    const TqorChartBox box{x, y + kBarInset, w, kChartRowHeight - 2 * kBarInset};
    const bool diamondOnly = row.Milestone && start == end;
    if (!diamondOnly) {
      Bar(box, row.Completed ? kCompleted : kTask, TqorChartClip::Body);
      if (end > row.OverdueAfter) {
        const int32_t from = std::max(start, row.OverdueAfter + 1);
        Bar({DayX(from), box.Y, (end - from + 1) * page_.DayWidth, box.H}, kOverdue,
            TqorChartClip::Body);
      }
      const double done = row.Completed ? 0 : std::clamp(row.Progress, 0.0, 100.0) / 100;
      if (done > 0)
        Fill({x, box.Y + box.H / 2 - 1.25, w * done, 2.5}, kProgress, TqorChartClip::Body);
      if (row.Critical) {
        TqorChartShape& outline = Add(TqorChartShapeKind::Rect, TqorChartClip::Body);
        outline.Box = box;
        outline.StrokeWidth = 1.2;
        outline.Stroke = kCritical;
      }
    }
    if (row.Milestone) {
      const double cx = DayX(end) + page_.DayWidth / 2, cy = y + kChartRowHeight / 2;
      const double rad = kChartRowHeight / 2 - kBarInset + 0.5;
      TqorChartShape& diamond = Add(TqorChartShapeKind::Polygon, TqorChartClip::Body);
      diamond.Points = {{cx, cy - rad}, {cx + rad * 0.8, cy}, {cx, cy + rad}, {cx - rad * 0.8, cy}};
      diamond.Filled = true;
      diamond.Fill = kMilestone;
      diamond.StrokeWidth = row.Critical ? 1.2 : 0.5;
      diamond.Stroke = row.Critical ? kCritical : kMilestone;
    }
  }

  // As on the grid: out of the predecessor's bar at its end (FS, FF) or start (SS, SF), along
  // the edge between the rows at the successor's side, and into the successor's bar from the
  // left at its start (FS, SS) or from the right at its end (FF, SF).
  void LinkShapes(const TqorChartLink& link) {
    const TqorChartRow& from = input_.Rows[link.FromRow];
    const TqorChartRow& to = input_.Rows[link.ToRow];
    if (!from.HasDates || !to.HasDates) return;
    const int firstRow = std::min(link.FromRow, link.ToRow);
    const int lastRow = std::max(link.FromRow, link.ToRow);
    if (lastRow < page_.FirstRow || firstRow >= page_.FirstRow + page_.RowCount) return;
    const bool fromFinish = link.Type == TqorLinkType::FS || link.Type == TqorLinkType::FF;
    const bool toStart = link.Type == TqorLinkType::FS || link.Type == TqorLinkType::SS;
    const double xs = fromFinish ? DayX(std::max(from.End, from.Start) + 1) : DayX(from.Start);
    const double xt = toStart ? DayX(to.Start) : DayX(std::max(to.End, to.Start) + 1);
    const double outS = fromFinish ? kLinkOut : -kLinkOut;
    const double inT = toStart ? -kLinkOut : kLinkOut;
    if (std::max({xs, xs + outS, xt, xt + inT}) < page_.TimelineLeft ||
        std::min({xs, xs + outS, xt, xt + inT}) > Right())
      return;
    const double ys = RowY(link.FromRow) + kChartRowHeight / 2;
    const double yt = RowY(link.ToRow) + kChartRowHeight / 2;
    const double edge = link.ToRow > link.FromRow ? RowY(link.ToRow) : RowY(link.ToRow + 1);
    const TqorColor color = link.Critical ? kCritical : kLink;
    const double width = link.Critical ? 1.1 : 0.7;
    Line({{xs, ys}, {xs + outS, ys}, {xs + outS, edge}, {xt + inT, edge}, {xt + inT, yt}, {xt, yt}},
         color, width, TqorChartClip::Body);
    const double back = toStart ? -3.5 : 3.5;
    TqorChartShape& head = Add(TqorChartShapeKind::Polygon, TqorChartClip::Body);
    head.Points = {{xt, yt}, {xt + back, yt - 2.5}, {xt + back, yt + 2.5}};
    head.Filled = true;
    head.Fill = color;
  }

  void Footer(int pageCount, bool paged) {
    if (!paged) return;
    std::string text = "Page " + std::to_string(page_.Number) + " of " + std::to_string(pageCount);
    text +=
        " (dates " + std::to_string(page_.Across) + ", rows " + std::to_string(page_.Down) + ")";
    Text({0, page_.Height - kChartFooterHeight + 4, page_.Width, kChartFooterHeight - 4},
         std::move(text), 7, false, TqorTextAlign::Center, kSecondaryText);
  }

  const TqorChartInput& input_;
  const TqorChartOptions& options_;
  TqorChartPage& page_;
};

}  // namespace

double ChartDayWidth(TqorChartScale scale) {
  switch (scale) {
    case TqorChartScale::Day:
      return 12;
    case TqorChartScale::Week:
      return 3;
    case TqorChartScale::Month:
      return 1;
  }
  return 12;
}

const char* ChartScaleName(TqorChartScale scale) {
  switch (scale) {
    case TqorChartScale::Day:
      return "day";
    case TqorChartScale::Week:
      return "week";
    case TqorChartScale::Month:
      return "month";
  }
  return "day";
}

int ChartPageCount(const TqorChartInput& input, const TqorChartOptions& options) {
  const TqorTiling t = TilingOf(input, options);
  return t.Across * t.Down;
}

TqorChartPages LayoutChart(const TqorChartInput& input, const TqorChartOptions& options) {
  const TqorTiling t = TilingOf(input, options);
  const int rows = static_cast<int>(input.Rows.size());
  const double dayWidth = ChartDayWidth(options.Scale);
  TqorChartPages pages;
  pages.PagesAcross = t.Across;
  pages.PagesDown = t.Down;
  pages.Pages.reserve(static_cast<size_t>(t.Across) * t.Down);
  const bool paged = !t.Single || options.FitToPage;
  for (int down = 0; down < t.Down; ++down) {
    for (int across = 0; across < t.Across; ++across) {
      TqorChartPage& page = pages.Pages.emplace_back();
      page.Number = static_cast<int>(pages.Pages.size());
      page.Across = across + 1;
      page.Down = down + 1;
      page.FirstDay = options.From + across * t.DaysPerPage;
      page.DayCount = std::min<int32_t>(t.DaysPerPage, options.To - page.FirstDay + 1);
      page.DayWidth = dayWidth;
      page.FirstRow = down * t.RowsPerPage;
      page.RowCount = std::min(t.RowsPerPage, std::max(rows - page.FirstRow, rows == 0 ? 1 : 0));
      page.RowsTop = TopOfRows();
      const double contentWidth = kChartNamesWidth + page.DayCount * dayWidth;
      const double contentHeight =
          page.RowsTop + page.RowCount * kChartRowHeight + (paged ? kChartFooterHeight : 0);
      if (t.Single) {
        page.Width = contentWidth;
        page.Height = contentHeight;
        if (options.FitToPage && options.PageWidth > 0 && options.PageHeight > 0) {
          page.Scale =
              std::min({1.0, options.PageWidth / contentWidth, options.PageHeight / contentHeight});
          page.Width = options.PageWidth / page.Scale;
          page.Height = options.PageHeight / page.Scale;
        }
      } else {
        page.Width = options.PageWidth;
        page.Height = options.PageHeight;
      }
      const double right = page.TimelineLeft + page.DayCount * dayWidth;
      page.HeaderClip = {page.TimelineLeft, kChartTitleHeight, right - page.TimelineLeft,
                         2 * kChartTierHeight};
      page.BodyClip = {page.TimelineLeft, page.RowsTop, right - page.TimelineLeft,
                       page.RowCount * kChartRowHeight};
      TqorPageBuilder(input, options, page).Build(t.Across * t.Down, paged);
    }
  }
  return pages;
}
