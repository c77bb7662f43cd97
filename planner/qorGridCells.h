// What one cell of the calendar grid shows, decided without any window toolkit.
//
// The grid asks DecideCell for every cell it paints and hands the answer to a thin drawing
// layer. A decision is plain data: grid lines, a background (a vertical gradient or a solid
// fill), a bar with an optional milestone diamond, and texts with their rectangle, alignment,
// colour, weight, eliding and rotation.
//
// Rectangles are in pixels with the left and top edges inside and the right and bottom edges
// outside (a 14-pixel column from x = 0 has Left 0, Right 14).
//
// Cells, by column c and row r:
//   (0,0) (1,0) (0,1)   header gradient only
//   (1,1)               "Hours" over "Budget" (grey) and "Assigned"
//   (c>=2, 0)           date label, rotated, on the header gradient (reversed in even months)
//   (c>=2, 1)           weekday name, rotated, on the day background
//   (0, r>=2)           project name (bold) over its tag (grey); task name over its initials
//   (1, r>=2)           project budget (grey) and assigned hours; task assigned hours
//   (c>=2, r>=2)        day background and the task or project bar
#pragma once

#include <array>
#include <string>
#include <vector>

#include "planner/base/qorStrings.h"
#include "planner/qorPlannerModel.h"

struct TqorRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TqorRect&) const = default;
};

struct TqorPoint {
  int X = 0;
  int Y = 0;
  bool operator==(const TqorPoint&) const = default;
};

// A line drawn the way a pen draws it: from From up to To, the end point excluded.
struct TqorLineSegment {
  TqorPoint From;
  TqorPoint To;
  bool operator==(const TqorLineSegment&) const = default;
};

// The top and bottom colours of a vertical gradient.
struct TqorGradient {
  TqorColor Top;
  TqorColor Bottom;
  bool operator==(const TqorGradient&) const = default;
};

// The grid's colours.
namespace qorGridColors {
inline constexpr TqorGradient kHeader{{243, 243, 243}, {188, 188, 188}};
inline constexpr TqorGradient kSelected{{255, 236, 198}, {255, 190, 55}};
inline constexpr TqorGradient kTask{{221, 238, 255}, {108, 182, 255}};
inline constexpr TqorGradient kCompleted{{232, 249, 221}, {142, 223, 94}};
inline constexpr TqorGradient kOverdue{{255, 232, 232}, {255, 149, 149}};
inline constexpr TqorGradient kProject{{255, 255, 240}, {249, 216, 32}};
inline constexpr TqorColor kGridLine{192, 192, 192};
inline constexpr TqorColor kToday{255, 204, 255};
inline constexpr TqorColor kNonWorkingDay{255, 255, 204};
inline constexpr TqorColor kPlainDay{255, 255, 255};
inline constexpr TqorColor kText{0, 0, 0};
inline constexpr TqorColor kSecondaryText{128, 128, 128};
inline constexpr TqorColor kOverBudget{255, 0, 0};
inline constexpr TqorColor kMilestone{0, 0, 0};
inline constexpr TqorColor kCritical{204, 0, 0};
inline constexpr TqorColor kLink{90, 90, 110};
}  // namespace qorGridColors

enum class TqorCellFill { None, Gradient, Solid };

struct TqorCellBackground {
  TqorCellFill Kind = TqorCellFill::None;
  TqorGradient Gradient;  // Kind Gradient
  TqorColor Color;        // Kind Solid
  TqorRect Rect;
};

enum class TqorBarKind { None, Task, Completed, Overdue, Project };

struct TqorCellBar {
  TqorBarKind Kind = TqorBarKind::None;
  TqorGradient Gradient;
  TqorRect Rect;
  // A black diamond in the bar, outlined in the colour of the bar's last gradient line.
  bool Milestone = false;
  TqorColor MilestoneFill = qorGridColors::kMilestone;
  TqorColor MilestoneOutline;
  // The outline of a task on the critical path while it is shown: the bar's top and bottom
  // lines in every cell of the task, its left edge on its first day, its right edge on its last
  // (drawn over the bar, a pen's end points excluded).
  std::vector<TqorLineSegment> Outline;
  TqorColor OutlineColor = qorGridColors::kCritical;
};

enum class TqorTextAlign { Left, Center, Right };

struct TqorCellText {
  std::string Text;
  // Upright texts: single line, vertically centred in Rect, cut with an ellipsis when too long.
  // Rotated texts: drawn reading upwards from Origin (the top-left corner of the first
  // character before rotation), clipped to Rect.
  TqorRect Rect;
  TqorTextAlign Align = TqorTextAlign::Left;
  TqorColor Color = qorGridColors::kText;
  bool Bold = false;
  bool Ellipsis = true;
  int Angle = 0;  // degrees, counter-clockwise
  TqorPoint Origin;
};

// The grid keeps the picture of each drawing it painted, keyed by all of these fields (see
// TqorGridPainter): a field added here belongs in that key too.
struct TqorCellDrawing {
  // False for cells of collapsed rows (height 0): nothing is drawn.
  bool Visible = false;
  TqorRect Cell;
  // Drawn first, in order: the grid lines, then the background, the bar and the texts.
  std::vector<TqorLineSegment> GridLines;
  TqorColor GridLineColor = qorGridColors::kGridLine;
  TqorCellBackground Background;
  TqorCellBar Bar;
  std::vector<TqorCellText> Texts;
  // Back to a drawing of nothing, keeping the storage of the vectors.
  void Reset();
};

struct TqorCellState {
  bool Selected = false;  // the current cell
  bool Focused = false;
  bool Fixed = false;
  int CurrentRow = -1;  // the row of the current cell; its two fixed cells are highlighted
};

// The drawing of cell (col, row) occupying rect. Reads the model and never raises: values that
// are missing or do not convert leave their text or bar out, and days outside the calendar
// (before year 1, after year 9999) get no label and a plain background.
TqorCellDrawing DecideCell(const TqorPlannerModel& model, int col, int row, const TqorRect& rect,
                           const TqorCellState& state);
// The same into out, whose storage is reused (the grid decides thousands of cells a paint).
void DecideCell(const TqorPlannerModel& model, int col, int row, const TqorRect& rect,
                const TqorCellState& state, TqorCellDrawing& out);

// The date header's label of a day: "dd-MM-yyyy" on the first of a month, "dd (week)" on a
// Monday, "dd Easter", "dd Pent", "dd-MMM" on other Sundays, "dd Asc", else "dd", tested in that
// order. Month names come from the regional settings. Needs a date within the calendar.
std::string HeaderDateLabel(const TqorPlannerModel& model, double date);
// Hours as "%2.1f" with the regional decimal separator.
std::string FormatGridHours(double hours);
// Line `line` (0 to height) of a gradient over `height` + 1 lines: each channel is the top
// channel plus line steps of (bottom - top) / height, rounded to the nearest integer (halves
// to even). With height 0 the top colour.
TqorColor GradientLineColor(const TqorGradient& gradient, int height, int line);
// The milestone diamond's corners in a bar rectangle.
std::array<TqorPoint, 4> MilestonePolygon(const TqorRect& bar);
