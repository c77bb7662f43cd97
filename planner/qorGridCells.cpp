#include "planner/qorGridCells.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"

namespace {

using namespace qorGridColors;

constexpr int kFixedCols = TqorPlannerModel::kFixedCols;
constexpr int kFixedRows = TqorPlannerModel::kFixedRows;
// Bars keep this much space above and below them in their row.
constexpr int kBarMargin = 5;
// Names start this far into the first column.
constexpr int kProjectIndent = 2;
constexpr int kTaskIndent = 7;
// Hour figures keep this far from the cell's sides.
constexpr int kHoursInset = 2;
// Rotated labels start this far above the cell's bottom edge.
constexpr int kRotatedBaseline = 2;

// The first and last day the calendar knows (1 January 0001, 31 December 9999).
constexpr double kFirstDay = -693593;
constexpr double kLastDay = 2958465;

bool ReadReal(const TqorXMLNode2* node, std::string_view name, double& value) {
  const TqorVariant* v = node ? node->FindAttribute(name) : nullptr;
  return v && v->TryToReal(value) && std::isfinite(value);
}

bool ReadFlag(const TqorXMLNode2* node, std::string_view name) {
  const TqorVariant* v = node ? node->FindAttribute(name) : nullptr;
  bool b = false;
  return v && v->TryToBool(b) && b;
}

TqorGradient Reversed(const TqorGradient& g) {
  return {g.Bottom, g.Top};
}

TqorCellText UprightText(std::string text, TqorRect rect, TqorTextAlign align,
                         TqorColor color = kText, bool bold = false) {
  TqorCellText t;
  t.Text = std::move(text);
  t.Rect = rect;
  t.Align = align;
  t.Color = color;
  t.Bold = bold;
  return t;
}

TqorCellText RotatedText(std::string text, const TqorRect& cell) {
  TqorCellText t;
  t.Text = std::move(text);
  t.Rect = cell;
  t.Ellipsis = false;
  t.Angle = 90;
  t.Origin = {cell.Left, cell.Bottom - kRotatedBaseline};
  return t;
}

void AddBars(const TqorPlannerModel& model, const TqorXMLNode2* node, double day,
             const TqorRect& rect, TqorCellBar& bar) {
  if (!model.ContainsDate(node, day)) return;
  bar.Rect = {rect.Left, rect.Top + kBarMargin, rect.Right, rect.Bottom - kBarMargin};
  if (node->Name() == "task") {
    double projectEnd;
    if (ReadReal(node->Parent(), "enddate", projectEnd) && day > projectEnd) {
      bar.Kind = TqorBarKind::Overdue;
      bar.Gradient = kOverdue;
    } else if (ReadFlag(node, "iscompleted")) {
      bar.Kind = TqorBarKind::Completed;
      bar.Gradient = kCompleted;
    } else {
      bar.Kind = TqorBarKind::Task;
      bar.Gradient = kTask;
    }
    double end;
    if (ReadFlag(node, "ismilestone") && ReadReal(node, "enddate", end) && std::floor(end) == day) {
      bar.Milestone = true;
      bar.MilestoneOutline = bar.Gradient.Bottom;
    }
    if (model.IsShownCritical(node)) {
      const TqorRect& b = bar.Rect;
      bar.Outline.push_back({{b.Left, b.Top}, {b.Right, b.Top}});
      bar.Outline.push_back({{b.Left, b.Bottom - 1}, {b.Right, b.Bottom - 1}});
      double start;
      if (ReadReal(node, "startdate", start) && std::floor(start) == day)
        bar.Outline.push_back({{b.Left, b.Top}, {b.Left, b.Bottom}});
      if (ReadReal(node, "enddate", end) && std::floor(end) == day)
        bar.Outline.push_back({{b.Right - 1, b.Top}, {b.Right - 1, b.Bottom}});
    }
  } else {
    const bool done = ReadFlag(node, "iscompleted");
    bar.Kind = done ? TqorBarKind::Completed : TqorBarKind::Project;
    bar.Gradient = done ? kCompleted : kProject;
  }
}

// The two halves the hour figures of a project use: budget left, assigned hours right.
TqorRect LeftHoursHalf(const TqorRect& r, int top, int bottom) {
  return {r.Left + kHoursInset, top, r.Left + kHoursInset + (r.Right - r.Left + 1) / 2, bottom};
}
TqorRect RightHoursHalf(const TqorRect& r, int top, int bottom) {
  return {r.Left + kHoursInset + (r.Right - r.Left + 1) / 2, top, r.Right - kHoursInset, bottom};
}

void AddHoursTexts(const TqorXMLNode2* node, const TqorRect& rect,
                   std::vector<TqorCellText>& texts) {
  double assigned = 0, budget = 0;
  const bool hasAssigned = ReadReal(node, "assignedhours", assigned);
  if (node->Name() == "task") {
    if (hasAssigned)
      texts.push_back(UprightText(FormatGridHours(assigned),
                                  {rect.Left, rect.Top, rect.Right - kHoursInset, rect.Bottom},
                                  TqorTextAlign::Right));
    return;
  }
  const bool hasBudget = ReadReal(node, "budgethours", budget);
  if (hasBudget)
    texts.push_back(UprightText(FormatGridHours(budget), LeftHoursHalf(rect, rect.Top, rect.Bottom),
                                TqorTextAlign::Right, kSecondaryText, true));
  if (hasAssigned)
    texts.push_back(UprightText(FormatGridHours(assigned),
                                RightHoursHalf(rect, rect.Top, rect.Bottom), TqorTextAlign::Right,
                                hasBudget && budget < assigned ? kOverBudget : kText, true));
}

void AddNameTexts(const TqorPlannerModel& model, const TqorXMLNode2* node, const TqorRect& rect,
                  std::vector<TqorCellText>& texts) {
  const int mid = rect.Top + (rect.Bottom - rect.Top + 1) / 2;
  if (node->Name() == "project") {
    const int left = rect.Left + kProjectIndent;
    texts.push_back(UprightText(node->GetAttributeStr("name"), {left, rect.Top, rect.Right, mid},
                                TqorTextAlign::Left, kText, true));
    std::string tag = node->GetAttributeStr("tag");
    if (!tag.empty())
      texts.push_back(UprightText(std::move(tag), {left, mid, rect.Right, rect.Bottom},
                                  TqorTextAlign::Left, kSecondaryText));
    return;
  }
  const int left = rect.Left + kTaskIndent;
  std::string initials = model.GetResourceInitials(node);
  if (initials.empty()) {
    texts.push_back(UprightText(node->GetAttributeStr("name"),
                                {left, rect.Top, rect.Right, rect.Bottom}, TqorTextAlign::Left));
    return;
  }
  texts.push_back(UprightText(node->GetAttributeStr("name"), {left, rect.Top, rect.Right, mid},
                              TqorTextAlign::Left));
  texts.push_back(UprightText(std::move(initials), {left, mid, rect.Right, rect.Bottom},
                              TqorTextAlign::Left, kSecondaryText));
}

}  // namespace

void TqorCellDrawing::Reset() {
  std::vector<TqorLineSegment> lines = std::move(GridLines), outline = std::move(Bar.Outline);
  std::vector<TqorCellText> texts = std::move(Texts);
  *this = TqorCellDrawing();
  lines.clear();
  outline.clear();
  texts.clear();
  GridLines = std::move(lines);
  Bar.Outline = std::move(outline);
  Texts = std::move(texts);
}

TqorCellDrawing DecideCell(const TqorPlannerModel& model, int col, int row, const TqorRect& rect,
                           const TqorCellState& state) {
  TqorCellDrawing out;
  DecideCell(model, col, row, rect, state, out);
  return out;
}

void DecideCell(const TqorPlannerModel& model, int col, int row, const TqorRect& rect,
                const TqorCellState& state, TqorCellDrawing& out) {
  out.Reset();
  if (col < 0 || col >= TqorPlannerModel::kColumnCount || model.RowHeight(row) <= 0) return;
  out.Visible = true;
  out.Cell = rect;

  const bool dayCol = col >= kFixedCols;
  const double day = model.ColToDate(col);
  const bool inCalendar = day >= kFirstDay && day <= kLastDay;
  const TqorXMLNode2* node = row >= kFixedRows ? model.RowNode(row) : nullptr;
  if (node && node->Name() != "task" && node->Name() != "project") node = nullptr;

  // Grid lines along the right and bottom edges of day cells below the date header; the fill
  // then leaves them alone.
  TqorRect fill = rect;
  if (dayCol && row > 0) {
    const int r = rect.Right - 1, b = rect.Bottom - 1;
    out.GridLines.reserve(2);
    out.GridLines.push_back({{r, rect.Top}, {r, b}});
    out.GridLines.push_back({{r, b}, {rect.Left, b}});
    fill.Right -= 1;
    fill.Bottom -= 1;
  }

  TqorCellBackground& bg = out.Background;
  if (!dayCol || row == 0) {
    bg.Kind = TqorCellFill::Gradient;
    bg.Rect = rect;
    if (row == state.CurrentRow)
      bg.Gradient = kSelected;
    else if (dayCol && inCalendar && MonthOf(day) % 2 == 0)
      bg.Gradient = Reversed(kHeader);
    else
      bg.Gradient = kHeader;
  } else if (state.Selected) {
    bg.Kind = TqorCellFill::Gradient;
    bg.Rect = rect;
    bg.Gradient = kSelected;
  } else {
    bg.Kind = TqorCellFill::Solid;
    bg.Rect = fill;
    if (inCalendar && day == std::floor(model.Today()))
      bg.Color = kToday;
    else if (inCalendar && model.IsNonWorkingDay(day))
      bg.Color = kNonWorkingDay;
    else
      bg.Color = kPlainDay;
  }

  if (dayCol && node) AddBars(model, node, day, rect, out.Bar);

  if (dayCol && inCalendar && row == 0) {
    out.Texts.push_back(RotatedText(HeaderDateLabel(model, day), rect));
  } else if (dayCol && inCalendar && row == 1) {
    out.Texts.push_back(RotatedText(
        RegionalSettings().ShortDayNames[static_cast<size_t>(DayOfWeek(day) - 1)], rect));
  } else if (col == 1 && row == 1) {
    const int mid = rect.Top + (rect.Bottom - rect.Top + 1) / 2;
    out.Texts.push_back(
        UprightText("Hours", {rect.Left, rect.Top, rect.Right, mid}, TqorTextAlign::Center));
    out.Texts.push_back(UprightText("Budget", LeftHoursHalf(rect, mid, rect.Bottom),
                                    TqorTextAlign::Right, kSecondaryText));
    // The two labels fill their quarters in a wide font: "Assigned" keeps the inset's gap
    // from "Budget" (its text is cut short instead).
    TqorRect assigned = RightHoursHalf(rect, mid, rect.Bottom);
    assigned.Left += kHoursInset;
    out.Texts.push_back(UprightText("Assigned", assigned, TqorTextAlign::Right));
  } else if (col == 1 && node) {
    AddHoursTexts(node, rect, out.Texts);
  } else if (col == 0 && node) {
    AddNameTexts(model, node, rect, out.Texts);
  }
}

std::string HeaderDateLabel(const TqorPlannerModel& model, double date) {
  if (DayOf(date) == 1) return FormatDateTime("dd-MM-yyyy", date);
  std::string dd = FormatDateTime("dd", date);
  const int dow = DayOfWeek(date);
  if (dow == 2) return dd + " (" + std::to_string(ISOWeekNumber(date).Week) + ")";
  if (date == model.Easter()) return dd + " Easter";
  if (date == model.Pentecost()) return dd + " Pent";
  if (dow == 1) return FormatDateTime("dd-MMM", date);
  if (date == model.Ascension()) return dd + " Asc";
  return dd;
}

std::string FormatGridHours(double hours) {
  std::string text = CFormat("%2.1f", hours);
  const size_t dot = text.find('.');
  if (dot != std::string::npos) text.replace(dot, 1, RegionalSettings().DecimalSeparator);
  return text;
}

TqorColor GradientLineColor(const TqorGradient& gradient, int height, int line) {
  if (height <= 0) return gradient.Top;
  auto channel = [&](uint8_t top, uint8_t bottom) {
    const double step = (static_cast<double>(bottom) - top) / height;
    const double v = std::nearbyint(top + line * step);
    return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
  };
  return {channel(gradient.Top.Red, gradient.Bottom.Red),
          channel(gradient.Top.Green, gradient.Bottom.Green),
          channel(gradient.Top.Blue, gradient.Bottom.Blue)};
}

std::array<TqorPoint, 4> MilestonePolygon(const TqorRect& bar) {
  return {TqorPoint{bar.Left + 1, bar.Top + 7}, TqorPoint{bar.Left + 6, bar.Top + 2},
          TqorPoint{bar.Left + 11, bar.Top + 7}, TqorPoint{bar.Left + 6, bar.Top + 12}};
}
