// Ripple, RescheduleAll and Slack on thousands of small random plans, date by date against the
// reference; and the zero-slack chain of a plan at its earliest dates.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "planner/schedule/qorSchedule.h"
#include "tests/planner/schedule/scheduleReference.h"

namespace {

std::vector<TqorTaskDates> ById(std::vector<TqorTaskDates> dates) {
  std::sort(dates.begin(), dates.end(),
            [](const TqorTaskDates& a, const TqorTaskDates& b) { return a.Id < b.Id; });
  return dates;
}

std::vector<TqorTaskDates> MovedOf(const ref::Moves& moves) {
  std::vector<TqorTaskDates> dates;
  for (int t : moves.moved) {
    const ref::Task& task = moves.plan.tasks[t];
    dates.push_back({task.id, task.start, task.end});
  }
  return ById(dates);
}

void ExpectDatesOf(const TqorSchedule& schedule, const ref::Plan& plan) {
  for (const ref::Task& t : plan.tasks) {
    const TqorScheduleTask* got = schedule.FindTask(t.id);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->Start, t.start) << "task " << t.id;
    EXPECT_EQ(got->End, t.end) << "task " << t.id;
  }
}

// Moved lists a predecessor before its successors.
void ExpectPlacementOrder(const std::vector<TqorTaskDates>& moved, const ref::Plan& plan) {
  auto place = [&](int32_t id) {
    for (size_t i = 0; i < moved.size(); ++i)
      if (moved[i].Id == id) return static_cast<int>(i);
    return -1;
  };
  for (const ref::Link& l : plan.links) {
    const int p = place(plan.tasks[l.pred].id), s = place(plan.tasks[l.succ].id);
    if (p >= 0 && s >= 0) {
      EXPECT_LT(p, s);
    }
  }
}

void ExpectSlack(const TqorScheduleSlack& got, const ref::SlackResult& want,
                 const ref::Plan& plan) {
  ASSERT_FALSE(got.Refused());
  EXPECT_EQ(got.Finish, want.finish);
  ASSERT_EQ(got.Tasks.size(), plan.tasks.size());
  for (size_t i = 0; i < plan.tasks.size(); ++i) {
    const TqorTaskSlack& g = got.Tasks[i];
    EXPECT_EQ(g.Id, plan.tasks[i].id);
    EXPECT_EQ(g.LatestStart, want.tasks[i].start) << "task " << g.Id;
    EXPECT_EQ(g.LatestEnd, want.tasks[i].end) << "task " << g.Id;
    EXPECT_EQ(g.Slack, want.tasks[i].slack) << "task " << g.Id;
  }
}

ref::Plan PlanOf(const TqorSchedule& schedule, ref::Plan plan) {
  for (ref::Task& t : plan.tasks) {
    t.start = schedule.FindTask(t.id)->Start;
    t.end = schedule.FindTask(t.id)->End;
  }
  return plan;
}

TEST(ScheduleTest, RandomPlansMatchTheReference) {
  const uint32_t seed = ref::Seed();
  const int plans = ref::Plans(3000);
  std::mt19937 random(seed);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  // How often the plans reached the cases worth reaching.
  int rippled = 0, rescheduledEarlier = 0, negativeSlack = 0, critical = 0, grown = 0;
  for (int k = 0; k < plans; ++k) {
    SCOPED_TRACE(testing::Message() << "VZ_SCHEDULE_SEED=" << seed << ", plan " << k);
    ref::Plan plan = ref::RandomPlan(random, 12);
    TqorSchedule schedule = ref::ToSchedule(plan);
    ASSERT_EQ(schedule.Links().size(), plan.links.size());
    for (const ref::Task& t : plan.tasks) ASSERT_EQ(schedule.Length(t.id), ref::Length(t));

    // The plan as made: links not met, completed tasks, ends before starts.
    const TqorScheduleSlack asMade = schedule.Slack();
    ExpectSlack(asMade, ref::Slack(plan), plan);
    for (const TqorTaskSlack& s : asMade.Tasks) negativeSlack += s.Slack < 0;

    // The user changes the dates of one to three tasks.
    std::vector<int> changed;
    std::vector<int32_t> ids;
    for (int c = uniform(1, 3); c > 0; --c) {
      const int t = uniform(0, static_cast<int>(plan.tasks.size()) - 1);
      if (std::find(changed.begin(), changed.end(), t) != changed.end()) continue;
      ref::Task& task = plan.tasks[t];
      task.start += uniform(-8, 20);
      task.end = task.start + uniform(-2, 12);
      ASSERT_TRUE(schedule.SetDates(task.id, task.start, task.end));
      changed.push_back(t);
      ids.push_back(task.id);
    }
    // An id of no task is ignored.
    int32_t unknown = 0;
    while (schedule.FindTask(unknown)) ++unknown;
    ids.push_back(unknown);
    {
      const ref::Moves want = ref::Ripple(plan, changed);
      const TqorScheduleMoves got = schedule.Ripple(ids);
      ASSERT_FALSE(got.Refused());
      EXPECT_EQ(ById(got.Moved), MovedOf(want));
      ExpectPlacementOrder(got.Moved, plan);
      ExpectDatesOf(schedule, want.plan);
      rippled += !got.Moved.empty();
      plan = want.plan;
    }

    const ref::Moves want = ref::RescheduleAll(plan);
    const TqorScheduleMoves got = schedule.RescheduleAll();
    ASSERT_FALSE(got.Refused());
    EXPECT_EQ(ById(got.Moved), MovedOf(want));
    ExpectPlacementOrder(got.Moved, plan);
    ExpectDatesOf(schedule, want.plan);
    for (int t : want.moved) rescheduledEarlier += want.plan.tasks[t].start < plan.tasks[t].start;
    plan = want.plan;

    const TqorScheduleSlack slack = schedule.Slack();
    ExpectSlack(slack, ref::Slack(plan), plan);
    for (const TqorTaskSlack& s : slack.Tasks) critical += s.Critical();
    // A second pass finds every task where the first left it.
    EXPECT_TRUE(schedule.RescheduleAll().Moved.empty());
    const TqorWorkCalendar& calendar = schedule.Calendar();
    grown += calendar.LastCovered() - calendar.FirstCovered() > 4 * TqorWorkCalendar::kMargin;
    if (HasFatalFailure()) return;
  }
  if (plans >= 200) {
    EXPECT_GT(rippled, plans / 10);
    EXPECT_GT(rescheduledEarlier, plans / 10);
    EXPECT_GT(negativeSlack, plans / 10);
    EXPECT_GT(critical, plans);
    EXPECT_GT(grown, plans / 100);  // long lags took the calendar beyond its first table
  }
}

// With every task at its earliest start (the others starting and ending on working days), the
// plan's finish is reached by a chain of zero slack: a task ending at the finish has none, and
// a task without slack is held by a link to a predecessor without slack, save where an SF link
// cannot tell the predecessor's start from the day after a non-working day.
TEST(ScheduleTest, EarliestPlansHaveAZeroSlackChainToTheFinish) {
  const uint32_t seed = ref::Seed() + 1;
  const int plans = ref::Plans(1500) / 2 + 1;
  std::mt19937 random(seed);
  int longestChain = 0;
  for (int k = 0; k < plans; ++k) {
    SCOPED_TRACE(testing::Message() << "VZ_SCHEDULE_SEED=" << seed - 1 << ", plan " << k);
    const ref::Plan made = ref::RandomPlan(random, 12, true);
    TqorSchedule schedule = ref::ToSchedule(made);
    ASSERT_FALSE(schedule.RescheduleAll().Refused());
    const ref::Plan plan = PlanOf(schedule, made);
    const TqorScheduleSlack slack = schedule.Slack();
    ASSERT_EQ(slack.Tasks.size(), plan.tasks.size());
    const int n = static_cast<int>(plan.tasks.size());
    std::vector<int> chain(n, 0);  // the zero-slack chain's length up to the task
    const std::vector<int> order = *ref::TopologicalOrder(plan);
    for (int t : order) {
      const ref::Task& task = plan.tasks[t];
      const int32_t s = slack.Tasks[t].Slack;
      EXPECT_GE(s, 0) << "task " << task.id;
      if (task.end == slack.Finish) {
        EXPECT_EQ(s, 0) << "task " << task.id << " ends the plan";
      }
      if (s != 0) continue;
      chain[t] = 1;
      bool held = false;
      for (const ref::Link& l : plan.links) {
        if (l.succ != t) continue;
        int32_t bound = ref::Bound(plan, l);
        if (BoundsEnd(l.type)) bound = ref::Shift(bound, -(ref::Length(task) - 1));
        if (bound != task.start) continue;
        held = true;
        const ref::Task& p = plan.tasks[l.pred];
        if (l.type == TqorLinkType::SF && !ref::IsWorkingDay(p.start - 1)) continue;
        EXPECT_EQ(slack.Tasks[l.pred].Slack, 0) << "task " << p.id << " holds " << task.id;
        chain[t] = std::max(chain[t], chain[l.pred] + 1);
      }
      const bool linked = std::any_of(plan.links.begin(), plan.links.end(),
                                      [&](const ref::Link& l) { return l.succ == t; });
      EXPECT_EQ(held, linked) << "task " << task.id << " is not at its earliest start";
    }
    for (int t = 0; t < n; ++t)
      if (plan.tasks[t].end == slack.Finish) longestChain = std::max(longestChain, chain[t]);
    if (HasFailure()) return;
  }
  if (plans >= 100) {
    EXPECT_GE(longestChain, 4);
  }
}

}  // namespace
