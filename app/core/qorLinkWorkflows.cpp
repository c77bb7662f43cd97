#include "app/core/qorLinkWorkflows.h"

#include <cmath>
#include <memory>
#include <span>

#include "app/core/qorChangedElsewhere.h"
#include "app/core/qorDocumentEdit.h"
#include "app/core/qorDocumentRows.h"
#include "app/core/qorEditRecorder.h"
#include "app/core/qorPlanSchedule.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorStoredRows.h"
#include "app/core/qorWorkflowError.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "planner/qorPlannerModel.h"

namespace st = qorStatements;
namespace ps = qorPlanSchedule;

namespace {

std::string Quoted(const TqorXMLNode2* task) {
  return "'" + task->GetAttributeStr("name") + "'";
}

int32_t IdOf(const TqorXMLNode2* node, const char* attribute = "id") {
  return node->GetAttribute(attribute).AsInteger();
}

// "FS", "SS+2", "FF-1".
std::string TypeAndLag(TqorLinkType type, int32_t lag) {
  std::string text(LinkTypeText(type));
  if (lag > 0) text += "+" + std::to_string(lag);
  if (lag < 0) text += std::to_string(lag);
  return text;
}

int32_t LagOf(const TqorXMLNode2* link) {
  const TqorVariant* lag = link->FindAttribute("lag");
  double value = 0;
  return lag && lag->TryToReal(value) ? static_cast<int32_t>(std::lround(value)) : 0;
}

}  // namespace

TqorXMLNode2* TqorLinkWorkflows::Link(int32_t linkId) {
  return planner_.Document().GetNodeById("link", std::to_string(linkId));
}

std::string TqorLinkWorkflows::LinkName(const TqorXMLNode2* link) {
  const TqorXMLParser2& document = planner_.Document();
  const TqorXMLNode2* from = document.GetNodeById("task", link->GetAttributeStr("predecessorid"));
  const TqorXMLNode2* to = document.GetNodeById("task", link->GetAttributeStr("successorid"));
  return (from ? Quoted(from) : "a task") + " " + TypeAndLag(ps::LinkTypeOf(link), LagOf(link)) +
         " " + (to ? Quoted(to) : "a task");
}

int TqorLinkWorkflows::AddLink(int32_t predecessorId, int32_t successorId, TqorLinkType type,
                               int32_t lag) {
  TqorXMLParser2& document = planner_.Document();
  TqorXMLNode2* from = document.GetNodeById("task", std::to_string(predecessorId));
  TqorXMLNode2* to = document.GetNodeById("task", std::to_string(successorId));
  if (!from || !to)
    throw EqorWorkflowError("The task to link is no longer in the plan: the link was not made.");
  TqorSchedule schedule = ps::ScheduleOf(planner_);
  const TqorScheduleLink link{predecessorId, successorId, type, lag};
  const TqorLinkCheck check = schedule.CheckNewLink(link);
  switch (check.Problem) {
    case TqorLinkProblem::None:
      break;
    case TqorLinkProblem::SelfLink:
      throw EqorWorkflowError("A task cannot follow itself: the link was not made.");
    case TqorLinkProblem::Duplicate:
      throw EqorWorkflowError(Quoted(to) + " follows " + Quoted(from) +
                              " already: two tasks take one link.");
    case TqorLinkProblem::UnknownTask:
      throw EqorWorkflowError("The task to link is no longer in the plan: the link was not made.");
    case TqorLinkProblem::ClosesCycle: {
      std::string cycle;
      for (int32_t id : check.Cycle)
        if (const TqorXMLNode2* task = document.GetNodeById("task", std::to_string(id)))
          cycle += Quoted(task) + " \u2192 ";
      cycle += Quoted(from);
      throw EqorWorkflowError(
          "The link would make a circle, where each task waits for the one "
          "before: " +
          cycle + ". It was not made.");
    }
  }

  int moved = 0;
  TqorDocumentEdit edit;
  TqorDatabaseTransaction transaction(db_);
  // Both tasks must still be there, and stay until the commit.
  if (db_.Execute(st::TouchTask(predecessorId)) == 0)
    throw EqorChangedElsewhere(qorStoredRows::TaskName(from));
  if (db_.Execute(st::TouchTask(successorId)) == 0)
    throw EqorChangedElsewhere(qorStoredRows::TaskName(to));
  TqorEditRecorder record(db_, history_);
  db_.Execute(st::InsertLink(predecessorId, successorId, LinkTypeText(type), lag));
  const int32_t linkId = st::NewLinkId(db_);
  record.Added(TqorPlanTable::TaskLinks, "LinkId=" + std::to_string(linkId));
  auto element = std::make_unique<TqorXMLNode2>("link");
  element->SetAttribute("id", std::to_string(linkId));
  element->SetAttribute("predecessorid", std::to_string(predecessorId));
  element->SetAttribute("successorid", std::to_string(successorId));
  element->SetAttribute("type", std::string(LinkTypeText(type)));
  element->SetAttribute("lag", static_cast<double>(lag));
  TqorXMLNode2* links = qorDocumentRows::LinksNode(planner_, false);
  if (!links) {
    auto container = std::make_unique<TqorXMLNode2>("links");
    container->SetAttribute("id", "links");
    links = edit.AddChild(planner_.HolidaysNode()->Parent(), std::move(container));
  }
  edit.AddChild(links, std::move(element));
  schedule.AddLink(link);
  const TqorScheduleMoves moves = schedule.Ripple(std::span<const int32_t>(&predecessorId, 1));
  moved = ps::StoreMoves(db_, planner_, moves.Moved, edit, record, hours_);
  record.Finish("Link of " + Quoted(from) + " to " + Quoted(to));
  transaction.Commit();
  edit.Keep();
  record.Keep();
  planner_.SortTasks();
  planner_.RebuildRows();
  return moved;
}

int TqorLinkWorkflows::EditLink(int32_t linkId, TqorLinkType type, int32_t lag) {
  TqorXMLNode2* link = Link(linkId);
  if (!link) throw EqorWorkflowError("The link is no longer in the plan: nothing was changed.");
  const std::string name = LinkName(link);
  const TqorLinkType shownType = ps::LinkTypeOf(link);
  const int32_t shownLag = LagOf(link);
  TqorDocumentEdit edit;
  TqorDatabaseTransaction transaction(db_);
  TqorEditRecorder record(db_, history_);
  record.Watch(TqorPlanTable::TaskLinks, "LinkId=" + std::to_string(linkId));
  if (db_.Execute(
          st::UpdateLink(linkId, LinkTypeText(type), lag, LinkTypeText(shownType), shownLag)) == 0)
    throw EqorChangedElsewhere("The link " + name);
  edit.SetAttribute(link, "type", std::string(LinkTypeText(type)));
  edit.SetAttribute(link, "lag", static_cast<double>(lag));
  TqorSchedule schedule = ps::ScheduleOf(planner_);
  const int32_t predecessorId = IdOf(link, "predecessorid");
  const TqorScheduleMoves moves = schedule.Ripple(std::span<const int32_t>(&predecessorId, 1));
  const int moved = ps::StoreMoves(db_, planner_, moves.Moved, edit, record, hours_);
  record.Finish("Change of the link " + name);
  transaction.Commit();
  edit.Keep();
  record.Keep();
  planner_.SortTasks();
  planner_.RebuildRows();
  return moved;
}

void TqorLinkWorkflows::RemoveLink(int32_t linkId) {
  TqorXMLNode2* link = Link(linkId);
  if (!link) return;
  const std::string name = LinkName(link);
  {
    TqorDatabaseTransaction transaction(db_);
    TqorEditRecorder record(db_, history_);
    record.Watch(TqorPlanTable::TaskLinks, "LinkId=" + std::to_string(linkId));
    if (db_.Execute(st::CheckLink(linkId, IdOf(link, "predecessorid"), IdOf(link, "successorid"),
                                  LinkTypeText(ps::LinkTypeOf(link)), LagOf(link))) == 0)
      throw EqorChangedElsewhere("The link " + name);
    db_.Execute(st::DeleteLink(linkId));
    record.Finish("Removal of the link " + name);
    transaction.Commit();
    record.Keep();
  }
  link->Parent()->DeleteChild(link);
  planner_.RebuildRows();
}

void TqorLinkWorkflows::RemoveLinksOf(int32_t taskId) {
  const std::string id = std::to_string(taskId);
  TqorXMLNode2* task = planner_.Document().GetNodeById("task", id);
  const std::vector<TqorXMLNode2*> links = qorDocumentRows::LinksOf(planner_, {id});
  if (links.empty()) return;
  {
    TqorDatabaseTransaction transaction(db_);
    // The links as shown, and none the window does not show.
    for (const TqorXMLNode2* link : links)
      if (db_.Execute(st::CheckLink(IdOf(link), IdOf(link, "predecessorid"),
                                    IdOf(link, "successorid"), LinkTypeText(ps::LinkTypeOf(link)),
                                    LagOf(link))) == 0)
        throw EqorChangedElsewhere("The link " + LinkName(link));
    if (db_.LookupInteger(st::SelectLinkCount(st::TaskLinksCondition(id))) !=
        static_cast<int32_t>(links.size()))
      throw EqorChangedElsewhere(task ? qorStoredRows::TaskName(task) : "A task");
    TqorEditRecorder record(db_, history_);
    record.Watch(TqorPlanTable::TaskLinks, st::TaskLinksCondition(id));
    db_.Execute(st::DeleteTaskLinks(id));
    record.Finish("Removal of the links of " + (task ? Quoted(task) : std::string("a task")));
    transaction.Commit();
    record.Keep();
  }
  for (TqorXMLNode2* link : links) link->Parent()->DeleteChild(link);
  planner_.RebuildRows();
}

int TqorLinkWorkflows::Reschedule() {
  TqorSchedule schedule = ps::ScheduleOf(planner_);
  const TqorScheduleMoves moves = schedule.RescheduleAll();
  if (moves.Refused()) {
    std::string cycle;
    for (int32_t id : moves.Cycle)
      if (const TqorXMLNode2* task = planner_.Document().GetNodeById("task", std::to_string(id)))
        cycle += (cycle.empty() ? "" : " \u2192 ") + Quoted(task);
    throw EqorWorkflowError("The plan's links make a circle (" + cycle +
                            "): remove one of them to reschedule.");
  }
  if (moves.Moved.empty()) return 0;
  TqorDocumentEdit edit;
  TqorDatabaseTransaction transaction(db_);
  TqorEditRecorder record(db_, history_);
  const int moved = ps::StoreMoves(db_, planner_, moves.Moved, edit, record, hours_);
  record.Finish("Reschedule");
  transaction.Commit();
  edit.Keep();
  record.Keep();
  planner_.SortTasks();
  planner_.RebuildRows();
  return moved;
}
