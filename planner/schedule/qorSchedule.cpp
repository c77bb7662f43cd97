#include "planner/schedule/qorSchedule.h"

#include <algorithm>
#include <climits>
#include <string>

#include "planner/base/qorCalendar.h"

namespace {

void CheckDates(int32_t start, int32_t end) {
  for (int32_t day : {start, end}) {
    if (!IsCalendarDayNumber(day)) throw EqorDateError("Invalid day number " + std::to_string(day));
  }
}

int32_t EndOf(const TqorScheduleTask& task) {
  return std::max(task.Start, task.End);
}

// The bound the link of this type from the predecessor puts on its successor's start (FS, SS)
// or end (FF, SF), moved by lag working days.
int32_t Bound(const TqorWorkCalendar& calendar, const TqorScheduleTask& predecessor,
              TqorLinkType type, int64_t lag) {
  switch (type) {
    case TqorLinkType::FS:
      return calendar.Shift(calendar.Next(EndOf(predecessor) + 1), lag);
    case TqorLinkType::SS:
      return calendar.Shift(calendar.Next(predecessor.Start), lag);
    case TqorLinkType::FF:
      return calendar.Shift(calendar.Next(EndOf(predecessor)), lag);
    case TqorLinkType::SF:
      return calendar.Shift(calendar.Next(predecessor.Start - 1), lag);
  }
  return INT32_MIN;
}

// Puts the tasks' dates back as the log holds them, latest change first.
void Restore(std::vector<TqorScheduleTask>& tasks,
             const std::vector<std::pair<uint32_t, TqorScheduleTask>>& log) {
  for (auto it = log.rbegin(); it != log.rend(); ++it) tasks[it->first] = it->second;
}

}  // namespace

uint64_t TqorSchedule::PairKey(int32_t predecessor, int32_t successor) {
  return (uint64_t{static_cast<uint32_t>(predecessor)} << 32) | static_cast<uint32_t>(successor);
}

bool TqorSchedule::AddTask(const TqorScheduleTask& task) {
  CheckDates(task.Start, task.End);
  if (!index_.emplace(task.Id, static_cast<uint32_t>(tasks_.size())).second) return false;
  tasks_.push_back(task);
  out_.emplace_back();
  in_.emplace_back();
  orderKnown_ = false;
  return true;
}

bool TqorSchedule::SetDates(int32_t id, int32_t start, int32_t end) {
  auto it = index_.find(id);
  if (it == index_.end()) return false;
  CheckDates(start, end);
  tasks_[it->second].Start = start;
  tasks_[it->second].End = end;
  return true;
}

bool TqorSchedule::SetCompleted(int32_t id, bool completed) {
  auto it = index_.find(id);
  if (it == index_.end()) return false;
  tasks_[it->second].Completed = completed;
  return true;
}

const TqorScheduleTask* TqorSchedule::FindTask(int32_t id) const {
  auto it = index_.find(id);
  return it == index_.end() ? nullptr : &tasks_[it->second];
}

int32_t TqorSchedule::Length(int32_t id) const {
  auto it = index_.find(id);
  return it == index_.end() ? 0 : LengthAt(it->second);
}

int32_t TqorSchedule::LengthAt(uint32_t task) const {
  const TqorScheduleTask& t = tasks_[task];
  return std::max(1, calendar_.WorkingDays(t.Start, EndOf(t)));
}

// --- Links ---

TqorLinkProblem TqorSchedule::AddLink(const TqorScheduleLink& link) {
  auto p = index_.find(link.Predecessor), s = index_.find(link.Successor);
  if (p == index_.end() || s == index_.end()) return TqorLinkProblem::UnknownTask;
  if (link.Predecessor == link.Successor) return TqorLinkProblem::SelfLink;
  if (!pairs_.insert(PairKey(link.Predecessor, link.Successor)).second)
    return TqorLinkProblem::Duplicate;
  const uint32_t e = static_cast<uint32_t>(links_.size());
  links_.push_back(link);
  edges_.push_back({p->second, s->second, link.Type, link.Lag});
  out_[p->second].push_back(e);
  in_[s->second].push_back(e);
  orderKnown_ = false;
  return TqorLinkProblem::None;
}

bool TqorSchedule::RemoveLink(int32_t predecessor, int32_t successor) {
  if (!pairs_.erase(PairKey(predecessor, successor))) return false;
  const uint32_t p = index_.at(predecessor), s = index_.at(successor);
  auto drop = [](std::vector<uint32_t>& list, uint32_t e) {
    list.erase(std::find(list.begin(), list.end(), e));
  };
  auto renumber = [](std::vector<uint32_t>& list, uint32_t from, uint32_t to) {
    *std::find(list.begin(), list.end(), from) = to;
  };
  uint32_t e = 0;
  while (edges_[out_[p][e]].Successor != s) ++e;
  e = out_[p][e];
  drop(out_[p], e);
  drop(in_[s], e);
  const uint32_t last = static_cast<uint32_t>(edges_.size() - 1);
  if (e != last) {
    links_[e] = links_[last];
    edges_[e] = edges_[last];
    renumber(out_[edges_[e].Predecessor], last, e);
    renumber(in_[edges_[e].Successor], last, e);
  }
  links_.pop_back();
  edges_.pop_back();
  orderKnown_ = false;
  return true;
}

TqorLinkCheck TqorSchedule::CheckNewLink(const TqorScheduleLink& link) const {
  TqorLinkCheck check;
  auto p = index_.find(link.Predecessor), s = index_.find(link.Successor);
  if (p == index_.end() || s == index_.end()) {
    check.Problem = TqorLinkProblem::UnknownTask;
  } else if (link.Predecessor == link.Successor) {
    check.Problem = TqorLinkProblem::SelfLink;
  } else if (pairs_.count(PairKey(link.Predecessor, link.Successor))) {
    check.Problem = TqorLinkProblem::Duplicate;
  }
  if (!check.Ok()) return check;
  const uint32_t from = s->second, to = p->second;
  // In a known order nothing leads from a task to one before it.
  if (orderKnown_ && cycle_.empty() && place_[from] > place_[to]) return check;
  // The shortest way from the successor to the predecessor, if any.
  std::vector<uint32_t> parent(tasks_.size(), UINT32_MAX);
  std::vector<uint32_t> queue{from};
  parent[from] = from;
  for (size_t head = 0; head < queue.size() && parent[to] == UINT32_MAX; ++head) {
    for (uint32_t e : out_[queue[head]]) {
      const uint32_t next = edges_[e].Successor;
      if (parent[next] == UINT32_MAX) {
        parent[next] = queue[head];
        queue.push_back(next);
      }
    }
  }
  if (parent[to] == UINT32_MAX) return check;
  check.Problem = TqorLinkProblem::ClosesCycle;
  for (uint32_t v = to;; v = parent[v]) {
    check.Cycle.push_back(tasks_[v].Id);
    if (v == from) break;
  }
  // to, ..., from: the way back; the cycle runs to -> from -> ... -> to.
  std::reverse(check.Cycle.begin() + 1, check.Cycle.end());
  return check;
}

std::vector<int32_t> TqorSchedule::FindCycle() const {
  KnowOrder();
  return cycle_;
}

bool TqorSchedule::KnowOrder() const {
  if (orderKnown_) return cycle_.empty();
  const size_t n = tasks_.size();
  std::vector<uint32_t> waiting(n);
  order_.clear();
  order_.reserve(n);
  for (uint32_t t = 0; t < n; ++t) {
    waiting[t] = static_cast<uint32_t>(in_[t].size());
    if (waiting[t] == 0) order_.push_back(t);
  }
  for (size_t head = 0; head < order_.size(); ++head) {
    for (uint32_t e : out_[order_[head]]) {
      const uint32_t s = edges_[e].Successor;
      if (--waiting[s] == 0) order_.push_back(s);
    }
  }
  cycle_.clear();
  if (order_.size() < n) {
    cycle_ = CycleAmong(waiting);
    order_.clear();
  }
  place_.assign(n, 0);
  for (uint32_t i = 0; i < order_.size(); ++i) place_[order_[i]] = i;
  orderKnown_ = true;
  return cycle_.empty();
}

std::vector<int32_t> TqorSchedule::CycleAmong(const std::vector<uint32_t>& waiting) const {
  // Every task left waits for a predecessor that is left too: walking back from one reaches a
  // task seen before, and the walk since then is a cycle.
  uint32_t v = 0;
  while (waiting[v] == 0) ++v;
  std::vector<uint32_t> step(tasks_.size(), UINT32_MAX);
  std::vector<uint32_t> walk;
  while (step[v] == UINT32_MAX) {
    step[v] = static_cast<uint32_t>(walk.size());
    walk.push_back(v);
    for (uint32_t e : in_[v]) {
      if (waiting[edges_[e].Predecessor] != 0) {
        v = edges_[e].Predecessor;
        break;
      }
    }
  }
  // walk[step[v]] ... walk.back() each succeed the next; in link order they run backwards.
  std::vector<int32_t> cycle;
  for (size_t i = walk.size(); i-- > step[v];) cycle.push_back(tasks_[walk[i]].Id);
  return cycle;
}

// --- The passes ---

bool TqorSchedule::SatisfiesLinks(uint32_t task) const {
  const TqorScheduleTask& t = tasks_[task];
  for (uint32_t e : in_[task]) {
    const Edge& edge = edges_[e];
    const int32_t bound = Bound(calendar_, tasks_[edge.Predecessor], edge.Type, edge.Lag);
    if ((BoundsEnd(edge.Type) ? EndOf(t) : t.Start) < bound) return false;
  }
  return true;
}

int32_t TqorSchedule::EarliestStart(uint32_t task, int32_t length) const {
  int32_t earliest = INT32_MIN;
  for (uint32_t e : in_[task]) {
    const Edge& edge = edges_[e];
    // An end bound b gives the start shift(b, -(D - 1)).
    const int64_t lag = int64_t{edge.Lag} - (BoundsEnd(edge.Type) ? length - 1 : 0);
    earliest = std::max(earliest, Bound(calendar_, tasks_[edge.Predecessor], edge.Type, lag));
  }
  return earliest;
}

TqorScheduleMoves TqorSchedule::Ripple(std::span<const int32_t> changed) {
  TqorScheduleMoves moves;
  if (!KnowOrder()) {
    moves.Cycle = cycle_;
    return moves;
  }
  enum : uint8_t { kReached = 1, kChanged = 2 };
  std::vector<uint8_t> mark(tasks_.size(), 0);
  std::vector<uint32_t> stack, reached;
  for (int32_t id : changed) {
    auto it = index_.find(id);
    if (it == index_.end() || mark[it->second]) continue;
    mark[it->second] = kReached | kChanged;
    stack.push_back(it->second);
  }
  while (!stack.empty()) {
    const uint32_t v = stack.back();
    stack.pop_back();
    for (uint32_t e : out_[v]) {
      const uint32_t s = edges_[e].Successor;
      if (mark[s]) continue;
      mark[s] = kReached;
      stack.push_back(s);
      reached.push_back(s);
    }
  }
  std::sort(reached.begin(), reached.end(),
            [this](uint32_t a, uint32_t b) { return place_[a] < place_[b]; });
  std::vector<std::pair<uint32_t, TqorScheduleTask>> log;
  try {
    for (uint32_t t : reached) {
      TqorScheduleTask& task = tasks_[t];
      if (task.Completed || SatisfiesLinks(t)) continue;
      const int32_t length = LengthAt(t);
      const int32_t start = EarliestStart(t, length);
      log.emplace_back(t, task);
      task.Start = start;
      task.End = calendar_.Shift(start, length - 1);
      moves.Moved.push_back({task.Id, task.Start, task.End});
    }
  } catch (...) {
    Restore(tasks_, log);
    throw;
  }
  return moves;
}

TqorScheduleMoves TqorSchedule::RescheduleAll() {
  TqorScheduleMoves moves;
  if (!KnowOrder()) {
    moves.Cycle = cycle_;
    return moves;
  }
  std::vector<std::pair<uint32_t, TqorScheduleTask>> log;
  try {
    for (uint32_t t : order_) {
      TqorScheduleTask& task = tasks_[t];
      if (task.Completed || in_[t].empty()) continue;
      const int32_t length = LengthAt(t);
      const int32_t start = EarliestStart(t, length);
      const int32_t end = calendar_.Shift(start, length - 1);
      if (start == task.Start && end == task.End) continue;
      log.emplace_back(t, task);
      task.Start = start;
      task.End = end;
      moves.Moved.push_back({task.Id, start, end});
    }
  } catch (...) {
    Restore(tasks_, log);
    throw;
  }
  return moves;
}

TqorScheduleSlack TqorSchedule::Slack() const {
  TqorScheduleSlack result;
  if (!KnowOrder()) {
    result.Cycle = cycle_;
    return result;
  }
  if (tasks_.empty()) return result;
  int32_t finish = INT32_MIN;
  for (const TqorScheduleTask& t : tasks_) finish = std::max(finish, EndOf(t));
  result.Finish = finish;
  const int32_t lastDay = calendar_.Prev(finish);
  const TqorWorkCalendar& c = calendar_;
  result.Tasks.resize(tasks_.size());
  for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
    const uint32_t t = *it;
    const int32_t length = LengthAt(t);
    const int64_t back = -int64_t{length - 1};
    int32_t latest = c.Shift(lastDay, back);
    for (uint32_t e : out_[t]) {
      const Edge& edge = edges_[e];
      const TqorTaskSlack& s = result.Tasks[edge.Successor];
      const int64_t lag = -int64_t{edge.Lag};
      int32_t bound = 0;
      switch (edge.Type) {
        case TqorLinkType::FS:
          bound = c.Shift(c.Prev(c.Shift(s.LatestStart, lag) - 1), back);
          break;
        case TqorLinkType::SS:
          bound = c.Shift(s.LatestStart, lag);
          break;
        case TqorLinkType::FF:
          bound = c.Shift(s.LatestEnd, lag + back);
          break;
        case TqorLinkType::SF:
          bound = c.Prev(c.Shift(s.LatestEnd, lag) + 1);
          break;
      }
      latest = std::min(latest, bound);
    }
    TqorTaskSlack& slack = result.Tasks[t];
    slack.Id = tasks_[t].Id;
    slack.LatestStart = latest;
    slack.LatestEnd = c.Shift(latest, length - 1);
    slack.Slack = static_cast<int32_t>(c.Distance(c.Next(tasks_[t].Start), latest));
  }
  return result;
}
