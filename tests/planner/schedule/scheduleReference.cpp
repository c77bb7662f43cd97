#include "tests/planner/schedule/scheduleReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <set>

namespace ref {

namespace {

using namespace std::chrono;

constexpr int kDay0 = 25569;  // 1 January 1970 as a day number

sys_days AnonymousEaster(int y) {
  int a = y % 19, b = y / 100, c = y % 100, d = b / 4, e = b % 4, f = (b + 8) / 25,
      g = (b - f + 1) / 3, h = (19 * a + b - d - g + 15) % 30, i = c / 4, k = c % 4,
      l = (32 + 2 * e + 2 * i - h - k) % 7, m = (a + 11 * h + 22 * l) / 451;
  return sys_days{year{y} / ((h + l - 7 * m + 114) / 31) / ((h + l - 7 * m + 114) % 31 + 1)};
}

int32_t DayNumber(sys_days d) {
  return static_cast<int32_t>(d.time_since_epoch().count()) + kDay0;
}

bool RuleSaysWorking(int32_t day) {
  const sys_days d{days{day - kDay0}};
  const weekday w{d};
  if (w == Saturday || w == Sunday) return false;
  const int y = static_cast<int>(year_month_day{d}.year());
  const sys_days easter = AnonymousEaster(y);
  for (sys_days feast :
       {sys_days{year{y} / 1 / 1}, easter + days{1}, easter + days{39}, easter + days{50},
        sys_days{year{y} / 12 / 25}, sys_days{year{y} / 12 / 26}}) {
    if (d == feast) return false;
  }
  return true;
}

}  // namespace

// The rule's answers for the years the plans use, remembered.
bool IsWorkingDay(int32_t day) {
  static const int32_t first = DayNumber(sys_days{year{1880} / 1 / 1});
  static const int32_t last = DayNumber(sys_days{year{2220} / 12 / 31});
  static const std::vector<bool> known = [] {
    std::vector<bool> v;
    for (int32_t d = first; d <= last; ++d) v.push_back(RuleSaysWorking(d));
    return v;
  }();
  return day >= first && day <= last ? known[day - first] : RuleSaysWorking(day);
}

int32_t Next(int32_t day) {
  while (!IsWorkingDay(day)) ++day;
  return day;
}

int32_t Prev(int32_t day) {
  while (!IsWorkingDay(day)) --day;
  return day;
}

int32_t Shift(int32_t w, int n) {
  for (; n > 0; --n) w = Next(w + 1);
  for (; n < 0; ++n) w = Prev(w - 1);
  return w;
}

int32_t CountWorkingDays(int32_t start, int32_t end) {
  int32_t n = 0;
  for (int32_t d = start; d <= end; ++d) n += IsWorkingDay(d);
  return n;
}

int32_t Steps(int32_t from, int32_t to) {
  int32_t n = 0;
  for (int32_t d = from; d < to; d = Next(d + 1)) ++n;
  for (int32_t d = from; d > to; d = Prev(d - 1)) --n;
  return n;
}

int32_t EndOf(const Task& task) {
  return std::max(task.start, task.end);
}

int32_t Length(const Task& task) {
  return std::max(1, CountWorkingDays(task.start, EndOf(task)));
}

int32_t Bound(const Plan& plan, const Link& link) {
  const Task& p = plan.tasks[link.pred];
  switch (link.type) {
    case TqorLinkType::FS:
      return Shift(Next(EndOf(p) + 1), link.lag);
    case TqorLinkType::SS:
      return Shift(Next(p.start), link.lag);
    case TqorLinkType::FF:
      return Shift(Next(EndOf(p)), link.lag);
    case TqorLinkType::SF:
      return Shift(Next(p.start - 1), link.lag);
  }
  return 0;
}

std::vector<std::pair<bool, int32_t>> BoundsOn(const Plan& plan, int task) {
  std::vector<std::pair<bool, int32_t>> bounds;
  for (const Link& link : plan.links) {
    if (link.succ == task) bounds.push_back({BoundsEnd(link.type), Bound(plan, link)});
  }
  return bounds;
}

bool FitsAt(const Plan& plan, int task, int32_t start,
            const std::vector<std::pair<bool, int32_t>>& bounds) {
  const int32_t end = Shift(start, Length(plan.tasks[task]) - 1);
  for (const auto& [onEnd, bound] : bounds) {
    if ((onEnd ? end : start) < bound) return false;
  }
  return true;
}

bool Satisfies(const Plan& plan, int task) {
  const Task& t = plan.tasks[task];
  for (const Link& link : plan.links) {
    if (link.succ != task) continue;
    if ((BoundsEnd(link.type) ? EndOf(t) : t.start) < Bound(plan, link)) return false;
  }
  return true;
}

std::optional<std::vector<int>> TopologicalOrder(const Plan& plan) {
  const int n = static_cast<int>(plan.tasks.size());
  std::vector<bool> placed(n, false);
  std::vector<int> order;
  for (bool progress = true; progress;) {
    progress = false;
    for (int t = 0; t < n; ++t) {
      if (placed[t]) continue;
      bool ready = true;
      for (const Link& link : plan.links) ready = ready && !(link.succ == t && !placed[link.pred]);
      if (!ready) continue;
      placed[t] = true;
      order.push_back(t);
      progress = true;
    }
  }
  if (static_cast<int>(order.size()) < n) return std::nullopt;
  return order;
}

bool Reaches(const Plan& plan, int from, int to) {
  std::vector<bool> seen(plan.tasks.size(), false);
  std::vector<int> stack{from};
  seen[from] = true;
  while (!stack.empty()) {
    const int v = stack.back();
    stack.pop_back();
    if (v == to) return true;
    for (const Link& link : plan.links) {
      if (link.pred == v && !seen[link.succ]) {
        seen[link.succ] = true;
        stack.push_back(link.succ);
      }
    }
  }
  return false;
}

Moves Ripple(const Plan& plan, const std::vector<int>& changed) {
  const int n = static_cast<int>(plan.tasks.size());
  Moves result{plan, {}};
  Plan& p = result.plan;
  // A task is settled once its dates are final: those not reached and the changed ones at once,
  // the others once every predecessor is settled.
  std::vector<bool> settled(n, true);
  for (int t = 0; t < n; ++t) {
    bool fromChanged = false;
    for (int c : changed) fromChanged = fromChanged || (c != t && Reaches(plan, c, t));
    const bool isChanged = std::find(changed.begin(), changed.end(), t) != changed.end();
    settled[t] = !fromChanged || isChanged;
  }
  for (bool progress = true; progress;) {
    progress = false;
    for (int t = 0; t < n; ++t) {
      if (settled[t]) continue;
      bool ready = true;
      for (const Link& link : p.links) ready = ready && !(link.succ == t && !settled[link.pred]);
      if (!ready) continue;
      settled[t] = progress = true;
      Task& task = p.tasks[t];
      if (task.completed || Satisfies(p, t)) continue;
      const auto bounds = BoundsOn(p, t);
      int32_t start = task.start;
      while (!IsWorkingDay(start) || !FitsAt(p, t, start, bounds)) ++start;
      task.end = Shift(start, Length(task) - 1);
      task.start = start;
      result.moved.push_back(t);
    }
  }
  return result;
}

Moves RescheduleAll(const Plan& plan) {
  Moves result{plan, {}};
  Plan& p = result.plan;
  const std::optional<std::vector<int>> order = TopologicalOrder(p);
  for (int t : *order) {
    Task& task = p.tasks[t];
    if (task.completed) continue;
    // A day before every bound: the earliest predecessor's start, less more days than the
    // leads and the task's length can take back.
    bool linked = false;
    int32_t early = INT32_MAX;
    for (const Link& link : p.links) {
      if (link.succ != t) continue;
      linked = true;
      const int32_t lead = std::max(0, -link.lag) + Length(task);
      early = std::min(early, p.tasks[link.pred].start - 3 * lead - 30);
    }
    if (!linked) continue;
    const auto bounds = BoundsOn(p, t);
    int32_t start = Next(early);
    if (FitsAt(p, t, start, bounds))
      ADD_FAILURE() << "the reference's early day is not early enough";
    while (!FitsAt(p, t, start, bounds)) start = Next(start + 1);
    const int32_t end = Shift(start, Length(task) - 1);
    if (start == task.start && end == task.end) continue;
    task.start = start;
    task.end = end;
    result.moved.push_back(t);
  }
  return result;
}

SlackResult Slack(const Plan& plan) {
  const int n = static_cast<int>(plan.tasks.size());
  SlackResult result;
  result.tasks.resize(n);
  if (n == 0) return result;
  result.finish = INT32_MIN;
  for (const Task& t : plan.tasks) result.finish = std::max(result.finish, EndOf(t));
  const int32_t lastDay = Prev(result.finish);
  std::vector<bool> done(n, false);
  for (bool progress = true; progress;) {
    progress = false;
    for (int t = 0; t < n; ++t) {
      if (done[t]) continue;
      bool ready = true;
      for (const Link& link : plan.links) ready = ready && !(link.pred == t && !done[link.succ]);
      if (!ready) continue;
      done[t] = progress = true;
      const int length = Length(plan.tasks[t]);
      // Down from the last working day until the task ends by it and meets its successors.
      for (int32_t start = lastDay;; start = Prev(start - 1)) {
        const int32_t end = Shift(start, length - 1);
        bool fits = end <= lastDay;
        for (const Link& link : plan.links) {
          if (link.pred != t || !fits) continue;
          const Latest& s = result.tasks[link.succ];
          switch (link.type) {
            case TqorLinkType::FS:
              fits = Shift(Next(end + 1), link.lag) <= s.start;
              break;
            case TqorLinkType::SS:
              fits = Shift(Next(start), link.lag) <= s.start;
              break;
            case TqorLinkType::FF:
              fits = Shift(Next(end), link.lag) <= s.end;
              break;
            case TqorLinkType::SF:
              fits = Shift(Next(start - 1), link.lag) <= s.end;
              break;
          }
        }
        if (fits) {
          result.tasks[t] = {start, end, Steps(Next(plan.tasks[t].start), start)};
          break;
        }
      }
    }
  }
  return result;
}

Plan RandomPlan(std::mt19937& random, int maxTasks, bool proper) {
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  const int y = uniform(1900, 2200);
  int32_t anchor;
  switch (uniform(0, 2)) {
    case 0:
      anchor = DayNumber(AnonymousEaster(y)) + uniform(-20, 55);
      break;
    case 1:
      anchor = DayNumber(sys_days{year{y} / 12 / 15}) + uniform(0, 20);
      break;
    default:
      anchor = DayNumber(sys_days{year{y} / 1 / 1}) + uniform(0, 364);
      break;
  }
  Plan plan;
  const int n = uniform(2, maxTasks);
  std::set<int32_t> ids;
  while (static_cast<int>(ids.size()) < n) {
    switch (uniform(0, 3)) {
      case 0:
        ids.insert(uniform(-3, 20));
        break;
      case 1:
        ids.insert(uniform(0, 1) ? INT32_MAX - uniform(0, 2) : INT32_MIN + uniform(0, 2));
        break;
      default:
        ids.insert(static_cast<int32_t>(random()));
        break;
    }
  }
  std::vector<int32_t> shuffled(ids.begin(), ids.end());
  std::shuffle(shuffled.begin(), shuffled.end(), random);
  for (int32_t id : shuffled) {
    Task t;
    t.id = id;
    t.start = anchor + uniform(-10, 30);
    if (proper) {
      t.start = Next(t.start);
      t.end = Shift(t.start, uniform(0, 8));
    } else {
      t.end = uniform(0, 15) == 0 ? t.start - uniform(1, 3) : t.start + uniform(0, 12);
      t.completed = uniform(0, 7) == 0;
    }
    plan.tasks.push_back(t);
  }
  // Links only go forward in a random order of the tasks.
  std::vector<int> rank(n);
  for (int i = 0; i < n; ++i) rank[i] = i;
  std::shuffle(rank.begin(), rank.end(), random);
  const int links = uniform(0, 2 * n);
  std::set<std::pair<int, int>> pairs;
  for (int k = 0; k < links; ++k) {
    int a = uniform(0, n - 1), b = uniform(0, n - 1);
    if (a == b) continue;
    if (rank[a] > rank[b]) std::swap(a, b);
    if (!pairs.insert({a, b}).second) continue;
    // Now and then a lag or lead of more than a year of working days, beyond the calendar's
    // first table.
    const int lag =
        uniform(0, 150) == 0 ? uniform(300, 330) * (uniform(0, 1) ? 1 : -1) : uniform(-4, 6);
    plan.links.push_back({a, b, static_cast<TqorLinkType>(uniform(0, 3)), lag});
  }
  return plan;
}

TqorSchedule ToSchedule(const Plan& plan) {
  TqorSchedule schedule;
  for (const Task& t : plan.tasks)
    EXPECT_TRUE(schedule.AddTask({t.id, t.start, t.end, t.completed}));
  for (const Link& l : plan.links) {
    schedule.AddLink({plan.tasks[l.pred].id, plan.tasks[l.succ].id, l.type, l.lag});
  }
  return schedule;
}

uint32_t Seed() {
  const char* text = std::getenv("VZ_SCHEDULE_SEED");
  return text ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : 20240401u;
}

int Plans(int fallback) {
  const char* text = std::getenv("VZ_SCHEDULE_PLANS");
  return text ? std::max(1, std::atoi(text)) : fallback;
}

}  // namespace ref
