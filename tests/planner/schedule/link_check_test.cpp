// Links that may not join a schedule: random graphs with cycles, candidate links judged against a
// depth-first search, cycles reported that must be real, and the passes refusing a cyclic plan.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "planner/schedule/qorSchedule.h"
#include "tests/planner/schedule/scheduleReference.h"

namespace {

int PositionOf(const ref::Plan& plan, int32_t id) {
  for (size_t i = 0; i < plan.tasks.size(); ++i)
    if (plan.tasks[i].id == id) return static_cast<int>(i);
  return -1;
}

bool Linked(const ref::Plan& plan, int pred, int succ) {
  return std::any_of(plan.links.begin(), plan.links.end(),
                     [&](const ref::Link& l) { return l.pred == pred && l.succ == succ; });
}

// The fewest links on a path between the positions; -1 when there is none.
int Distance(const ref::Plan& plan, int from, int to) {
  std::vector<int> dist(plan.tasks.size(), -1);
  std::vector<int> queue{from};
  dist[from] = 0;
  for (size_t head = 0; head < queue.size(); ++head) {
    for (const ref::Link& l : plan.links) {
      if (l.pred == queue[head] && dist[l.succ] < 0) {
        dist[l.succ] = dist[queue[head]] + 1;
        queue.push_back(l.succ);
      }
    }
  }
  return dist[to];
}

// Distinct tasks, each linked to the next and the last to the first, by the plan's links or the
// candidate (from cycle[0] to cycle[1]).
void ExpectRealCycle(const std::vector<int32_t>& cycle, const ref::Plan& plan,
                     bool throughCandidate) {
  ASSERT_GE(cycle.size(), 2u);
  EXPECT_EQ(std::set<int32_t>(cycle.begin(), cycle.end()).size(), cycle.size());
  for (size_t i = 0; i < cycle.size(); ++i) {
    if (throughCandidate && i == 0) continue;
    const int p = PositionOf(plan, cycle[i]), s = PositionOf(plan, cycle[(i + 1) % cycle.size()]);
    ASSERT_GE(p, 0);
    ASSERT_GE(s, 0);
    EXPECT_TRUE(Linked(plan, p, s)) << cycle[i] << " -> " << cycle[(i + 1) % cycle.size()];
  }
}

std::multiset<std::tuple<int32_t, int32_t, int, int32_t>> LinksOf(const ref::Plan& plan) {
  std::multiset<std::tuple<int32_t, int32_t, int, int32_t>> links;
  for (const ref::Link& l : plan.links)
    links.insert({plan.tasks[l.pred].id, plan.tasks[l.succ].id, static_cast<int>(l.type), l.lag});
  return links;
}

std::multiset<std::tuple<int32_t, int32_t, int, int32_t>> LinksOf(const TqorSchedule& schedule) {
  std::multiset<std::tuple<int32_t, int32_t, int, int32_t>> links;
  for (const TqorScheduleLink& l : schedule.Links())
    links.insert({l.Predecessor, l.Successor, static_cast<int>(l.Type), l.Lag});
  return links;
}

// A cyclic plan: the passes refuse with a real cycle and change no date.
void ExpectPassesRefuse(TqorSchedule& schedule, const ref::Plan& plan) {
  std::vector<int32_t> ids;
  for (const ref::Task& t : plan.tasks) ids.push_back(t.id);
  const std::vector<TqorScheduleTask> before = schedule.Tasks();
  const TqorScheduleMoves ripple = schedule.Ripple(ids);
  ASSERT_TRUE(ripple.Refused());
  EXPECT_TRUE(ripple.Moved.empty());
  ExpectRealCycle(ripple.Cycle, plan, false);
  const TqorScheduleMoves all = schedule.RescheduleAll();
  ASSERT_TRUE(all.Refused());
  ExpectRealCycle(all.Cycle, plan, false);
  const TqorScheduleSlack slack = schedule.Slack();
  ASSERT_TRUE(slack.Refused());
  EXPECT_TRUE(slack.Tasks.empty());
  ExpectRealCycle(slack.Cycle, plan, false);
  EXPECT_EQ(schedule.Tasks(), before);
}

TEST(LinkCheckTest, CandidateLinksMatchADepthFirstSearch) {
  const uint32_t seed = ref::Seed() + 2;
  const int plans = ref::Plans(1500);
  std::mt19937 random(seed);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  int cycles = 0, closing = 0, duplicates = 0, accepted = 0;
  for (int k = 0; k < plans; ++k) {
    SCOPED_TRACE(testing::Message() << "VZ_SCHEDULE_SEED=" << seed - 2 << ", plan " << k);
    // Tasks of a random plan, links between any two of them.
    ref::Plan plan = ref::RandomPlan(random, 10);
    const int n = static_cast<int>(plan.tasks.size());
    plan.links.clear();
    for (int m = uniform(0, 2 * n); m > 0; --m) {
      const int a = uniform(0, n - 1), b = uniform(0, n - 1);
      if (a != b && !Linked(plan, a, b))
        plan.links.push_back({a, b, static_cast<TqorLinkType>(uniform(0, 3)), uniform(-3, 5)});
    }
    TqorSchedule schedule = ref::ToSchedule(plan);
    int32_t unknown = 0;
    while (PositionOf(plan, unknown) >= 0) ++unknown;

    for (int step = 0; step < 12; ++step) {
      const bool cyclic = !ref::TopologicalOrder(plan).has_value();
      if (uniform(0, 2) == 0) {
        const std::vector<int32_t> cycle = schedule.FindCycle();
        EXPECT_EQ(!cycle.empty(), cyclic);
        if (!cycle.empty()) ExpectRealCycle(cycle, plan, false);
      }
      if (cyclic && uniform(0, 5) == 0) {
        TqorSchedule copy = schedule;
        ExpectPassesRefuse(copy, plan);
      }
      cycles += cyclic;

      // Now and then a link goes again, or one that is not there is asked for.
      if (!plan.links.empty() && uniform(0, 3) == 0) {
        const size_t i = static_cast<size_t>(uniform(0, static_cast<int>(plan.links.size()) - 1));
        const ref::Link l = plan.links[i];
        EXPECT_TRUE(schedule.RemoveLink(plan.tasks[l.pred].id, plan.tasks[l.succ].id));
        plan.links.erase(plan.links.begin() + static_cast<long>(i));
        EXPECT_FALSE(schedule.RemoveLink(plan.tasks[l.pred].id, plan.tasks[l.succ].id));
        EXPECT_EQ(LinksOf(schedule), LinksOf(plan));
      }

      // A candidate: mostly between two tasks, sometimes naming no task or the same one twice.
      int p = uniform(0, n - 1), s = uniform(0, n - 1);
      int32_t pid = plan.tasks[p].id, sid = plan.tasks[s].id;
      if (uniform(0, 12) == 0) (uniform(0, 1) ? pid : sid) = unknown;
      const TqorScheduleLink candidate{pid, sid, static_cast<TqorLinkType>(uniform(0, 3)),
                                       uniform(-3, 5)};
      TqorLinkProblem expected = TqorLinkProblem::None;
      if (PositionOf(plan, pid) < 0 || PositionOf(plan, sid) < 0)
        expected = TqorLinkProblem::UnknownTask;
      else if (p == s)
        expected = TqorLinkProblem::SelfLink;
      else if (Linked(plan, p, s))
        expected = TqorLinkProblem::Duplicate;
      else if (ref::Reaches(plan, s, p))
        expected = TqorLinkProblem::ClosesCycle;
      const TqorLinkCheck check = schedule.CheckNewLink(candidate);
      ASSERT_EQ(check.Problem, expected);
      if (expected == TqorLinkProblem::ClosesCycle) {
        ASSERT_GE(check.Cycle.size(), 2u);
        EXPECT_EQ(check.Cycle[0], pid);
        EXPECT_EQ(check.Cycle[1], sid);
        ExpectRealCycle(check.Cycle, plan, true);
        EXPECT_EQ(static_cast<int>(check.Cycle.size()), Distance(plan, s, p) + 1);
        ++closing;
      } else {
        EXPECT_TRUE(check.Cycle.empty());
      }
      duplicates += expected == TqorLinkProblem::Duplicate;

      // Adding keeps what closes a cycle, refuses the rest of the problems.
      const bool kept =
          expected == TqorLinkProblem::None || expected == TqorLinkProblem::ClosesCycle;
      EXPECT_EQ(schedule.AddLink(candidate), kept ? TqorLinkProblem::None : expected);
      if (kept) {
        plan.links.push_back({p, s, candidate.Type, candidate.Lag});
        ++accepted;
      }
      EXPECT_EQ(LinksOf(schedule), LinksOf(plan));
      if (HasFatalFailure()) return;
    }
  }
  if (plans >= 200) {
    EXPECT_GT(cycles, plans);
    EXPECT_GT(closing, plans);
    EXPECT_GT(duplicates, plans / 4);
    EXPECT_GT(accepted, plans);
  }
}

TEST(LinkCheckTest, TypesAsText) {
  for (TqorLinkType type :
       {TqorLinkType::FS, TqorLinkType::SS, TqorLinkType::FF, TqorLinkType::SF}) {
    TqorLinkType read = type == TqorLinkType::FS ? TqorLinkType::SF : TqorLinkType::FS;
    ASSERT_TRUE(TryParseLinkType(LinkTypeText(type), read));
    EXPECT_EQ(read, type);
    std::string lower(LinkTypeText(type));
    for (char& c : lower) c = static_cast<char>(c - 'A' + 'a');
    ASSERT_TRUE(TryParseLinkType(lower, read));
    EXPECT_EQ(read, type);
  }
  EXPECT_EQ(LinkTypeText(TqorLinkType::SF), "SF");
  TqorLinkType read = TqorLinkType::FF;
  for (const char* bad : {"", "F", "FSS", "SX", "FS ", " FS", "F-"})
    EXPECT_FALSE(TryParseLinkType(bad, read)) << bad;
  EXPECT_FALSE(TryParseLinkType(std::string_view("FS\0", 3), read));
  EXPECT_EQ(read, TqorLinkType::FF);
}

}  // namespace
