#include "planner/qorGridLinks.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

bool ReadDay(const TqorXMLNode2* node, const char* name, double& day) {
  const TqorVariant* value = node->FindAttribute(name);
  if (!value || !value->TryToReal(day)) return false;
  day = std::floor(day);
  return true;
}

// Appends the point unless it repeats the last one.
void Add(std::vector<TqorPoint>& points, TqorPoint p) {
  if (points.empty() || !(points.back() == p)) points.push_back(p);
}

bool RowsOf(const TqorPlannerModel& model, const TqorXMLNode2* link, const TqorXMLNode2*& from,
            const TqorXMLNode2*& to, int& fromRow, int& toRow) {
  const TqorXMLParser2& document = model.Document();
  from = document.GetNodeById("task", link->GetAttributeStr("predecessorid"));
  to = document.GetNodeById("task", link->GetAttributeStr("successorid"));
  if (!from || !to) return false;
  fromRow = model.FindRow(from);
  toRow = model.FindRow(to);
  return fromRow >= 0 && toRow >= 0 && model.RowHeight(fromRow) > 0 && model.RowHeight(toRow) > 0;
}

}  // namespace

std::optional<TqorLinkArrow> LayoutLinkArrow(const TqorPlannerModel& model,
                                             const TqorGridGeometry& geometry,
                                             const TqorXMLNode2* link) {
  const TqorXMLNode2 *from = nullptr, *to = nullptr;
  int fromRow = -1, toRow = -1;
  if (!geometry.RowTop || !RowsOf(model, link, from, to, fromRow, toRow)) return std::nullopt;
  double fromStart, fromEnd, toStart, toEnd;
  if (!ReadDay(from, "startdate", fromStart) || !ReadDay(from, "enddate", fromEnd) ||
      !ReadDay(to, "startdate", toStart) || !ReadDay(to, "enddate", toEnd))
    return std::nullopt;
  const double first = model.StartDate();
  auto left = [&](double day) {
    return geometry.DayLeft + static_cast<int>(day - first) * geometry.DayWidth;
  };
  const std::string type = link->GetAttributeStr("type");
  const bool fromFinish = type.empty() || type[0] != 'S';
  const bool toStartSide = type.size() < 2 || type[1] != 'F';

  const int fromTop = geometry.RowTop(fromRow), toTop = geometry.RowTop(toRow);
  const int ys = fromTop + model.RowHeight(fromRow) / 2;
  const int yt = toTop + model.RowHeight(toRow) / 2;
  const int xs =
      fromFinish ? left(std::max(fromEnd, fromStart)) + geometry.DayWidth : left(fromStart);
  const int xt = toStartSide ? left(toStart) : left(std::max(toEnd, toStart)) + geometry.DayWidth;
  const int outS = fromFinish ? kLinkGap : -kLinkGap;
  const int inT = toStartSide ? -kLinkGap : kLinkGap;
  const int edge = toRow > fromRow ? toTop : toTop + model.RowHeight(toRow) - 1;

  TqorLinkArrow arrow;
  Add(arrow.Points, {xs, ys});
  Add(arrow.Points, {xs + outS, ys});
  Add(arrow.Points, {xs + outS, edge});
  Add(arrow.Points, {xt + inT, edge});
  Add(arrow.Points, {xt + inT, yt});
  Add(arrow.Points, {xt, yt});
  // The head points along the last step, into the bar.
  const int back = toStartSide ? -4 : 4;
  arrow.Head = {TqorPoint{xt, yt}, TqorPoint{xt + back, yt - 3}, TqorPoint{xt + back, yt + 3}};
  arrow.Critical = model.IsShownCritical(from) && model.IsShownCritical(to);
  return arrow;
}

std::vector<TqorLinkArrow> LayoutLinkArrows(const TqorPlannerModel& model,
                                            const TqorGridGeometry& geometry) {
  std::vector<TqorLinkArrow> arrows;
  const TqorXMLNode2* links = model.LinksNode();
  for (int i = 0; links && i < links->ChildCount(); ++i)
    if (std::optional<TqorLinkArrow> arrow = LayoutLinkArrow(model, geometry, links->GetChild(i)))
      arrows.push_back(std::move(*arrow));
  return arrows;
}

std::vector<TqorLinkRows> LinkRowSpans(const TqorPlannerModel& model) {
  std::vector<TqorLinkRows> spans;
  const TqorXMLNode2* links = model.LinksNode();
  for (int i = 0; links && i < links->ChildCount(); ++i) {
    const TqorXMLNode2* link = links->GetChild(i);
    const TqorXMLNode2 *from = nullptr, *to = nullptr;
    int fromRow = -1, toRow = -1;
    if (RowsOf(model, link, from, to, fromRow, toRow))
      spans.push_back(
          {link->GetAttributeStr("id"), std::min(fromRow, toRow), std::max(fromRow, toRow)});
  }
  return spans;
}
