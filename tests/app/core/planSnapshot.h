// The planner document as its database can give it back, as one text to compare: every element
// with its values (dates as day numbers, whatever kind holds them), children in the order of
// their ids, without the folding of projects.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "app/core/qorNodeValues.h"
#include "planner/base/qorVariant.h"
#include "planner/qorPlannerModel.h"

inline std::string Snapshot(TqorPlannerModel& planner) {
  auto N = [](double v) { return RealToText(v, "."); };
  auto byId = [](TqorXMLNode2* parent) {
    std::vector<TqorXMLNode2*> nodes;
    for (int i = 0; parent && i < parent->ChildCount(); ++i) nodes.push_back(parent->GetChild(i));
    std::sort(nodes.begin(), nodes.end(),
              [](auto* a, auto* b) { return a->GetAttributeInt("id") < b->GetAttributeInt("id"); });
    return nodes;
  };
  std::string s = "filter " + planner.ProjectFilter() + "\n";
  for (TqorXMLNode2* p : byId(planner.ProjectsNode())) {
    s += "project " + NodeText(p, "id") + "|" + NodeText(p, "name") + "|" + NodeText(p, "tag") +
         "|" + N(NodeDate(p, "startdate")) + "|" + N(NodeDate(p, "enddate")) + "|" +
         N(NodeReal(p, "budgethours")) + "|" + N(NodeReal(p, "actualhours")) + "|" +
         N(NodeReal(p, "budgetcost")) + "|" + N(NodeReal(p, "actualcost")) + "|" +
         N(NodeFlag(p, "iscompleted")) + "|" + N(NodeReal(p, "assignedhours")) + "|" +
         NodeText(p, "notes") + "\n";
    for (TqorXMLNode2* t : byId(p)) {
      s += " task " + NodeText(t, "id") + "|" + NodeText(t, "name") + "\n";
      for (TqorXMLNode2* a : byId(t))
        s += "  assignment " + NodeText(a, "id") + "|" + NodeText(a, "resourceid") + "|" +
             N(NodeReal(a, "units")) + "\n";
    }
  }
  for (TqorXMLNode2* r : byId(planner.ResourcesNode()))
    s += "resource " + NodeText(r, "id") + "|" + NodeText(r, "name") + "|" +
         NodeText(r, "initials") + "|" + N(NodeReal(r, "hoursperweek")) + "|" +
         N(NodeReal(r, "costperhour")) + "|" + N(NodeReal(r, "maxunits")) + "|" +
         NodeText(r, "notes") + "\n";
  for (TqorXMLNode2* h : byId(planner.HolidaysNode()))
    s += "holiday " + NodeText(h, "id") + "|" + NodeText(h, "resourceid") + "|" +
         N(NodeDate(h, "startdate")) + "|" + N(NodeDate(h, "enddate")) + "\n";
  return s;
}
