// The arrows of the links between tasks, laid out over the grid's rows and day columns without
// any window toolkit.
//
// A link is drawn when both its tasks have a row of height above 0 (a folded project hides its
// tasks' links): an elbow line from the predecessor's bar, at its right end for FS and FF or its
// left end for SS and SF, out by kLinkGap pixels, along the edge between the rows at the
// successor's side (its top when the successor lies below, its bottom when above), and into the
// successor's bar from the left at its start (FS, SS) or from the right at its end (FF, SF),
// where the arrow head points into the bar. Points lie wherever the dates put them, outside the
// period too: the painter clips them to the day columns.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "planner/qorGridCells.h"

inline constexpr int kLinkGap = 5;

struct TqorLinkArrow {
  // The elbow line, from the predecessor's bar to the tip at the successor's.
  std::vector<TqorPoint> Points;
  // The head: the tip and the two corners behind it.
  std::array<TqorPoint, 3> Head;
  // Both tasks are shown on the critical path.
  bool Critical = false;
};

struct TqorGridGeometry {
  // The x of the left edge of the period's first day column, and the width of a day.
  int DayLeft = 0;
  int DayWidth = 14;
  // The y of a row's top edge.
  std::function<int(int row)> RowTop;
};

// The arrow of one link element; none when it is not drawn (a task gone or in a folded row).
std::optional<TqorLinkArrow> LayoutLinkArrow(const TqorPlannerModel& model,
                                             const TqorGridGeometry& geometry,
                                             const TqorXMLNode2* link);
// Every link's arrow.
std::vector<TqorLinkArrow> LayoutLinkArrows(const TqorPlannerModel& model,
                                            const TqorGridGeometry& geometry);

// The rows of the links the grid may draw, for finding those that cross a band of rows without
// laying out the others: each link's id with the first and last row its arrow spans.
struct TqorLinkRows {
  std::string Id;
  int FirstRow = 0;
  int LastRow = 0;
};
std::vector<TqorLinkRows> LinkRowSpans(const TqorPlannerModel& model);
