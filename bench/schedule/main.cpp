// Times the scheduling passes on random plans of 2,000 and 20,000 tasks with 1.5 links per task
// (random acyclic links of the four types, lags -3 to 5, tasks of 1 to 15 working days starting
// over four years from 2024), each plan holding besides a chain of 1,000 one-day successors behind
// one task, from 2024 too: reschedule all as soon as possible, first on a new schedule (calendar
// table and order built) and then again; the slack of the rescheduled plan; both together; and a
// ripple from the chain's head moved by three working days. Each figure is the median of the runs.
//
// Exits 1 when a result is inconsistent: a second reschedule that moves a task, a negative slack
// or a task ending at the finish with slack (every task starts and ends on working days), or a
// ripple that does not move exactly the chain, each task by three working days.
//
//   bench_schedule [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "planner/base/qorCalendar.h"
#include "planner/schedule/qorSchedule.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kChain = 1000;
constexpr int kShift = 3;

double Milliseconds(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Plan {
  TqorSchedule schedule;
  int32_t head = 0;  // the id of the chain's first task
  int tasks = 0;
  int links = 0;
};

int Fail(const char* what) {
  std::fprintf(stderr, "inconsistent: %s\n", what);
  return 1;
}

Plan MakePlan(int tasks, uint32_t seed) {
  std::mt19937 random(seed);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  TqorWorkCalendar calendar;
  const int32_t first = static_cast<int32_t>(EncodeDate(2024, 1, 1));
  Plan plan;
  // Ids far apart and out of order, as a plan's are after years of edits.
  std::vector<int32_t> ids(tasks);
  for (int i = 0; i < tasks; ++i) ids[i] = 100 + 7 * i;
  std::shuffle(ids.begin(), ids.end(), random);
  std::vector<std::pair<int32_t, int32_t>> byStart;  // (start, id)
  for (int32_t id : ids) {
    const int32_t start = calendar.Next(first + uniform(0, 4 * 365));
    plan.schedule.AddTask({id, start, calendar.Shift(start, uniform(0, 14))});
    byStart.push_back({start, id});
  }
  // Links mostly forward in time, always forward in the start order: no cycle.
  std::sort(byStart.begin(), byStart.end());
  while (plan.links < tasks * 3 / 2) {
    const int a = uniform(0, tasks - 2);
    const int b = std::min(tasks - 1, a + uniform(1, 300));
    const TqorScheduleLink link{byStart[a].second, byStart[b].second,
                                static_cast<TqorLinkType>(uniform(0, 3)), uniform(-3, 5)};
    if (plan.schedule.AddLink(link) == TqorLinkProblem::None) ++plan.links;
  }
  // The chain, each task starting the working day after its predecessor ends.
  int32_t previous = 0, day = calendar.Next(first);
  for (int i = 0; i <= kChain; ++i) {
    const int32_t id = -1 - i;
    const int32_t end = day;
    plan.schedule.AddTask({id, day, end});
    if (i == 0) plan.head = id;
    if (i > 0) {
      plan.schedule.AddLink({previous, id, TqorLinkType::FS, 0});
      ++plan.links;
    }
    previous = id;
    day = calendar.Next(end + 1);
  }
  plan.tasks = tasks + kChain + 1;
  return plan;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  std::printf("%-42s %7s %7s | %9s\n", "step", "tasks", "links", "ms");
  for (int tasks : {2000, 20000}) {
    std::vector<double> cold, reschedule, slack, both, ripple;
    int moved = 0, critical = 0;
    Plan plan = MakePlan(tasks, 11);
    for (int r = 0; r < runs; ++r) {
      Plan fresh = MakePlan(tasks, 11);
      Clock::time_point t = Clock::now();
      const TqorScheduleMoves first = fresh.schedule.RescheduleAll();
      cold.push_back(Milliseconds(t));
      if (first.Refused()) return Fail("a cycle in an acyclic plan");

      TqorSchedule copy = plan.schedule;
      t = Clock::now();
      const TqorScheduleMoves again = copy.RescheduleAll();
      reschedule.push_back(Milliseconds(t));
      moved = static_cast<int>(again.Moved.size());
      t = Clock::now();
      const TqorScheduleSlack result = copy.Slack();
      slack.push_back(Milliseconds(t));
      if (copy.RescheduleAll().Moved.size() != 0) return Fail("a second reschedule moved tasks");
      critical = 0;
      for (const TqorTaskSlack& s : result.Tasks) {
        if (s.Slack < 0) return Fail("a negative slack");
        if (copy.FindTask(s.Id)->End == result.Finish && s.Slack != 0)
          return Fail("slack at the finish");
        critical += s.Critical();
      }

      TqorSchedule together = plan.schedule;
      t = Clock::now();
      together.RescheduleAll();
      together.Slack();
      both.push_back(Milliseconds(t));

      const TqorScheduleTask head = *copy.FindTask(plan.head);
      const TqorWorkCalendar& calendar = copy.Calendar();
      const TqorSchedule before = copy;
      copy.SetDates(head.Id, calendar.Shift(head.Start, kShift), calendar.Shift(head.End, kShift));
      const int32_t changed[] = {head.Id};
      t = Clock::now();
      const TqorScheduleMoves rippled = copy.Ripple(changed);
      ripple.push_back(Milliseconds(t));
      if (rippled.Moved.size() != kChain) return Fail("the ripple did not move the chain");
      for (const TqorTaskDates& m : rippled.Moved) {
        const TqorScheduleTask& old = *before.FindTask(m.Id);
        if (m.Id >= 0 || calendar.Distance(old.Start, m.Start) != kShift ||
            calendar.Distance(old.End, m.End) != kShift)
          return Fail("a chain task moved by other than the head");
      }
    }
    auto line = [&](const char* what, const std::vector<double>& times) {
      std::printf("%-42s %7d %7d | %9.2f\n", what, plan.tasks, plan.links, Median(times));
    };
    line("reschedule all, on a new schedule", cold);
    line("reschedule all", reschedule);
    line("slack", slack);
    line("reschedule all + slack", both);
    line("ripple through 1,000 successors", ripple);
    std::printf("%-42s %7d %7d | %9s\n", "  (tasks moved / critical)", moved, critical, "");
    std::fflush(stdout);
  }
  return 0;
}
