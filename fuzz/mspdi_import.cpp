// Fuzz target of the MS Project XML import: the input is a file's bytes. The import gives a plan
// or an EqorMspdiError; any other exception, a crash or a sanitizer report is a finding. A plan
// must hold together: each table numbered 1, 2, ... in order, every reference naming a row of
// the plan, dates in order, links without a task of its own, a second link between two tasks
// or a cycle. And the plan exported and imported again is the same plan, with nothing reported
// lost (when none of its texts had characters XML cannot hold).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "exchange/qorMspdiError.h"
#include "exchange/qorMspdiExport.h"
#include "exchange/qorMspdiImport.h"

namespace {

[[noreturn]] void Finding(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

template <typename T>
void CheckNumbered(const std::vector<T>& rows, const char* table) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].Id != static_cast<int32_t>(i) + 1)
      Finding(std::string(table) + " are not numbered in order");
}

bool Names(int32_t id, size_t count) {
  return id >= 1 && static_cast<size_t>(id) <= count;
}

void CheckPlan(const TqorExchangePlan& plan) {
  CheckNumbered(plan.Projects, "projects");
  CheckNumbered(plan.Tasks, "tasks");
  CheckNumbered(plan.Resources, "resources");
  CheckNumbered(plan.Assignments, "assignments");
  CheckNumbered(plan.Holidays, "holidays");
  CheckNumbered(plan.Links, "links");
  for (const TqorExchangeProject& p : plan.Projects)
    if (p.End < p.Start) Finding("a project ends before it starts");
  for (const TqorExchangeTask& t : plan.Tasks) {
    if (!Names(t.ProjectId, plan.Projects.size())) Finding("a task of no project");
    if (t.End < t.Start) Finding("a task ends before it starts");
  }
  for (const TqorExchangeAssignment& a : plan.Assignments)
    if (!Names(a.TaskId, plan.Tasks.size()) || !Names(a.ResourceId, plan.Resources.size()))
      Finding("an assignment to no task or no resource");
  for (const TqorExchangeHoliday& h : plan.Holidays) {
    if (!Names(h.ResourceId, plan.Resources.size())) Finding("a holiday of no resource");
    if (h.End < h.Start) Finding("a holiday ends before it starts");
  }
  // Links: between two tasks, once, and without a cycle (the tasks that remain when those
  // without predecessors are taken away one by one).
  std::set<std::pair<int32_t, int32_t>> pairs;
  std::vector<std::vector<int32_t>> next(plan.Tasks.size() + 1);
  std::vector<int> before(plan.Tasks.size() + 1, 0);
  for (const TqorExchangeLink& l : plan.Links) {
    if (!Names(l.PredecessorId, plan.Tasks.size()) || !Names(l.SuccessorId, plan.Tasks.size()))
      Finding("a link to no task");
    if (l.PredecessorId == l.SuccessorId) Finding("a task linked to itself");
    if (!pairs.insert({l.PredecessorId, l.SuccessorId}).second) Finding("a link twice");
    next[static_cast<size_t>(l.PredecessorId)].push_back(l.SuccessorId);
    ++before[static_cast<size_t>(l.SuccessorId)];
  }
  std::vector<int32_t> free;
  for (size_t t = 1; t < before.size(); ++t)
    if (before[t] == 0) free.push_back(static_cast<int32_t>(t));
  size_t taken = 0;
  while (!free.empty()) {
    const int32_t t = free.back();
    free.pop_back();
    ++taken;
    for (int32_t s : next[static_cast<size_t>(t)])
      if (--before[static_cast<size_t>(s)] == 0) free.push_back(s);
  }
  if (taken != plan.Tasks.size()) Finding("the links form a cycle");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TqorMspdiImport imported;
  try {
    imported = ImportMspdi(bytes, "fuzz.xml");
  } catch (const EqorMspdiError& e) {
    if (std::string_view(e.what()).empty()) Finding("an error without a message");
    return 0;
  }
  CheckPlan(imported.Plan);

  size_t dropped = 0;
  const std::string again = ExportMspdi(imported.Plan, {}, &dropped);
  if (dropped > 0) return 0;
  TqorMspdiImport back;
  try {
    back = ImportMspdi(again, "fuzz.xml");
  } catch (const EqorMspdiError& e) {
    Finding(std::string("the export of an imported plan does not read: ") + e.what());
  }
  if (!back.Summary.empty()) Finding("the export of an imported plan loses: " + back.Summary[0]);
  if (!(back.Plan == imported.Plan)) Finding("the export of an imported plan reads back different");
  return 0;
}
