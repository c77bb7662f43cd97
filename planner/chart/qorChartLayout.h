// The chart of a plan laid out on pages without any window toolkit: the rows of projects and
// tasks as bars over a period of days on a day, week or month scale, with milestones, progress,
// completed and overdue parts, the links between tasks and the critical path, a two-tier header
// of dates, the plan's name, the date of printing and page numbers.
//
// A page is plain data: shapes (rectangles, lines, polygons and texts) in points (1/72 inch) from
// the top-left corner of the page's printable area, drawn in order. A drawing layer hands them to
// whatever paints (a PDF, an image, an SVG file, a printer).
//
// A page, from the top: the title band (the plan's name on the left, the date of printing on
// the right, kChartTitleHeight), the date header (two tiers of kChartTierHeight: months over
// days on the day scale, months over weeks on the week scale, years over months on the month
// scale), the rows (kChartRowHeight each) and the footer with the page number
// (kChartFooterHeight). The names column (kChartNamesWidth) stands left of the dates on every
// page.
//
// Paged, the chart is tiled: each page holds as many whole days as its width leaves beside the
// names column and as many whole rows as its height leaves; pages run across the period first,
// then down the rows. Unpaged (a page size of 0) or fitted to one page, one page holds it all,
// fitted by a scale of at most 1.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "planner/qorGridCells.h"
#include "planner/schedule/qorScheduleLink.h"

enum class TqorChartScale { Day, Week, Month };

inline constexpr double kChartNamesWidth = 160;
inline constexpr double kChartRowHeight = 16;
inline constexpr double kChartTitleHeight = 22;
inline constexpr double kChartTierHeight = 14;
inline constexpr double kChartFooterHeight = 16;
// The width of one day on a scale, in points.
double ChartDayWidth(TqorChartScale scale);
// "day", "week" or "month".
const char* ChartScaleName(TqorChartScale scale);

struct TqorChartRow {
  bool Project = false;
  int32_t Id = 0;
  std::string Name;
  // A row without dates (missing or not numbers) has a name and no bar.
  bool HasDates = false;
  int32_t Start = 0;  // day numbers; an End before the Start counts as the Start
  int32_t End = 0;
  double Progress = 0;  // percent of a task done, 0 to 100
  bool Completed = false;
  bool Milestone = false;
  bool Critical = false;
  // A task's days after this day (its project's end) are overdue.
  int32_t OverdueAfter = std::numeric_limits<int32_t>::max();
};

// A link between two rows (indexes into TqorChartInput::Rows).
struct TqorChartLink {
  int FromRow = 0;
  int ToRow = 0;
  TqorLinkType Type = TqorLinkType::FS;
  bool Critical = false;
};

struct TqorChartInput {
  std::string Title;
  std::string PrintedOn;  // shown as given, right in the title band
  std::vector<TqorChartRow> Rows;
  std::vector<TqorChartLink> Links;
  // Weekends and feasts, shaded on the day and week scales; none when empty.
  std::function<bool(int32_t day)> NonWorkingDay;
  // Today's day number: a line through the rows when the page shows it; 0 for none.
  int32_t Today = 0;
};

struct TqorChartOptions {
  int32_t From = 0;  // the period's first and last day, both shown
  int32_t To = 0;
  TqorChartScale Scale = TqorChartScale::Day;
  // The printable area of a page in points; 0 and 0 for one page holding the whole chart.
  double PageWidth = 0;
  double PageHeight = 0;
  // One page of PageWidth x PageHeight holding the whole chart, scaled down to fit.
  bool FitToPage = false;
};

struct TqorChartPoint {
  double X = 0;
  double Y = 0;
};

struct TqorChartBox {
  double X = 0;
  double Y = 0;
  double W = 0;
  double H = 0;
  double Right() const { return X + W; }
  double Bottom() const { return Y + H; }
};

enum class TqorChartShapeKind { Rect, Line, Polygon, Text };
// Where a shape is clipped: nowhere, to the dates of the header, or to the dates of the rows.
enum class TqorChartClip { None, Header, Body };

struct TqorChartShape {
  TqorChartShapeKind Kind = TqorChartShapeKind::Rect;
  TqorChartClip Clip = TqorChartClip::None;
  TqorChartBox Box;                    // Rect, Text
  std::vector<TqorChartPoint> Points;  // Line (an open path), Polygon (closed)
  bool Filled = false;                 // Rect, Polygon: filled with Fill
  TqorColor Fill;                      // Text: its colour
  double StrokeWidth = 0;              // the outline or the line; 0 for none
  TqorColor Stroke;
  // Text: one line in Box, vertically centred, cut with an ellipsis when too long.
  std::string Text;
  double FontSize = 8;  // points
  bool Bold = false;
  TqorTextAlign Align = TqorTextAlign::Left;
};

struct TqorChartPage {
  double Width = 0;  // the page's content, in points before Scale
  double Height = 0;
  double Scale = 1;  // drawn at this scale (fitted pages)
  int Number = 1;    // 1-based; Across and Down count from 1
  int Across = 1;
  int Down = 1;
  // What the page shows: days FirstDay .. FirstDay + DayCount - 1 from TimelineLeft, DayWidth
  // each; rows FirstRow .. FirstRow + RowCount - 1 from RowsTop.
  int32_t FirstDay = 0;
  int32_t DayCount = 0;
  double TimelineLeft = kChartNamesWidth;
  double DayWidth = 0;
  int FirstRow = 0;
  int RowCount = 0;
  double RowsTop = 0;
  TqorChartBox HeaderClip;
  TqorChartBox BodyClip;
  std::vector<TqorChartShape> Shapes;
};

struct TqorChartPages {
  std::vector<TqorChartPage> Pages;
  int PagesAcross = 1;
  int PagesDown = 1;
};

// Raised for options that give no chart: a period ending before it starts or longer than
// kMaxChartDays, a page too small for one day and one row, a link to a row that does not exist.
class EqorChartError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

inline constexpr int32_t kMaxChartDays = 3660;

TqorChartPages LayoutChart(const TqorChartInput& input, const TqorChartOptions& options);

// The number of pages LayoutChart gives, without laying them out.
int ChartPageCount(const TqorChartInput& input, const TqorChartOptions& options);
