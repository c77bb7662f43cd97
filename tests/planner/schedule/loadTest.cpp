// The resource load table against a day-by-day reference over random plans: weekends, feasts,
// holidays (some reversed), overlapping tasks (some reversed, some sharing an id), assignments
// to missing tasks or resources, resources sharing an id, max units of 0 or below; units, kinds,
// over flags, task lists and task names compared cell by cell.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "planner/base/qorCalendar.h"
#include "planner/schedule/qorResourceLoad.h"

namespace {

int Plans() {
  const char* text = std::getenv("VZ_LOAD_PLANS");
  return text && *text ? std::max(1, std::atoi(text)) : 300;
}

std::string Iso(int32_t day) {
  int year = 0, month = 0, dayOfMonth = 0;
  DecodeDate(day, year, month, dayOfMonth);
  return std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(dayOfMonth);
}

bool Includes(int32_t start, int32_t end, int32_t day) {
  return day == start || (start <= day && day <= end);
}

struct TRefCell {
  double Units = 0;
  TqorLoadDay Kind = TqorLoadDay::Working;
  std::vector<int32_t> Tasks;
};

// The cell as the rules say it, walking every holiday and assignment.
TRefCell ReferenceCell(const TqorLoadInput& in, const TqorLoadResource& resource, int32_t day) {
  TRefCell cell;
  if (IsNonWorkingDay(day)) {
    cell.Kind = TqorLoadDay::DayOff;
    return cell;
  }
  for (const TqorLoadHoliday& h : in.Holidays)
    if (h.ResourceId == resource.Id && Includes(h.Start, h.End, day)) {
      cell.Kind = TqorLoadDay::Holiday;
      return cell;
    }
  for (const TqorLoadAssignment& a : in.Assignments) {
    if (a.ResourceId != resource.Id) continue;
    const TqorLoadTask* task = nullptr;
    for (const TqorLoadTask& t : in.Tasks)
      if (t.Id == a.TaskId) {
        task = &t;
        break;
      }
    if (!task || !Includes(task->Start, task->End, day)) continue;
    cell.Units += a.Units;
    if (std::count(cell.Tasks.begin(), cell.Tasks.end(), a.TaskId) == 0)
      cell.Tasks.push_back(a.TaskId);
  }
  return cell;
}

TEST(ResourceLoadTest, RandomPlansMatchDayByDayReference) {
  for (int plan = 0; plan < Plans(); ++plan) {
    std::mt19937 random(static_cast<uint32_t>(7919 * plan + 1));
    const auto between = [&](int lo, int hi) {
      return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    // Periods near Easter and Christmas now and then, so that the feasts come up.
    const int year = between(2020, 2032);
    int32_t from = static_cast<int32_t>(EncodeDate(year, 1, 1)) + between(0, 364);
    if (plan % 3 == 1) from = static_cast<int32_t>(EasterSunday(year)) - between(0, 45);
    if (plan % 3 == 2) from = static_cast<int32_t>(EncodeDate(year, 12, 1)) + between(0, 27);
    const int32_t to = from + between(-2, 70);
    SCOPED_TRACE("plan " + std::to_string(plan) + " from " + Iso(from) + " to " + Iso(to));

    TqorLoadInput in;
    const double maxUnits[] = {0, -10, 30, 50, 100, 100, 150, 37.5};
    for (int i = between(0, 7); i > 0; --i)
      in.Resources.push_back(
          {between(1, 9), "R" + std::to_string(in.Resources.size()), maxUnits[between(0, 7)]});
    const auto someDay = [&] { return from + between(-25, 90); };
    for (int i = between(0, 14); i > 0; --i) {
      const int32_t start = someDay();
      in.Tasks.push_back(
          {between(1, 16), "T" + std::to_string(in.Tasks.size()), start, start + between(-4, 25)});
    }
    const double units[] = {0, 0.1, 12.5, 20, 33.3, 50, 100, 75};
    for (int i = between(0, 30); i > 0; --i)
      in.Assignments.push_back({between(0, 18), between(0, 11), units[between(0, 7)]});
    for (int i = between(0, 8); i > 0; --i) {
      const int32_t start = someDay();
      in.Holidays.push_back({between(0, 11), start, start + between(-3, 12)});
    }

    const TqorResourceLoad load(in, from, to);
    ASSERT_EQ(load.From(), from);
    ASSERT_EQ(load.Days(), std::max(0, to - from + 1));
    ASSERT_EQ(load.Resources(), static_cast<int>(in.Resources.size()));
    for (int row = 0; row < load.Resources(); ++row) {
      const TqorLoadResource& resource = in.Resources[static_cast<size_t>(row)];
      ASSERT_EQ(load.Resource(row).Id, resource.Id);
      const double limit = resource.MaxUnits > 0 ? resource.MaxUnits : 100;
      for (int32_t day = from; day <= to; ++day) {
        const TRefCell want = ReferenceCell(in, resource, day);
        SCOPED_TRACE("row " + std::to_string(row) + " day " + Iso(day));
        ASSERT_EQ(load.Kind(row, day), want.Kind);
        ASSERT_EQ(load.Units(row, day), want.Units);
        ASSERT_EQ(load.Over(row, day), want.Units > limit);
        ASSERT_EQ(load.Tasks(row, day), want.Tasks);
      }
    }
    for (int32_t id = -1; id <= 18; ++id) {
      const auto task = std::find_if(in.Tasks.begin(), in.Tasks.end(),
                                     [&](const TqorLoadTask& t) { return t.Id == id; });
      ASSERT_EQ(load.TaskName(id), task == in.Tasks.end() ? "" : task->Name) << id;
    }
  }
}

}  // namespace
