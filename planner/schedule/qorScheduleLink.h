// A link between two tasks of a plan: the successor may not start (or finish) before a day that
// the predecessor's dates and the lag give. Lags count working days (qorWorkCalendar.h); a
// negative lag is a lead. For the successor S and the predecessor P (next and shift as in
// qorWorkCalendar.h, End < Start counting as Start):
//
//   FS  S.Start >= shift(next(P.End + 1), Lag)
//   SS  S.Start >= shift(next(P.Start), Lag)
//   FF  S.End   >= shift(next(P.End), Lag)
//   SF  S.End   >= shift(next(P.Start - 1), Lag)
//
// With lag 0: FS, the working day after P ends; SS, P's first working day; FF, P's last working
// day; SF, the working day before P starts.
#pragma once

#include <cstdint>
#include <string_view>

enum class TqorLinkType : uint8_t { FS, SS, FF, SF };

// "FS", "SS", "FF" or "SF", as the plan file stores the type.
std::string_view LinkTypeText(TqorLinkType type);
// Reads those two letters, in either case; false for any other text.
bool TryParseLinkType(std::string_view text, TqorLinkType& type);
// Whether the type bounds the successor's end (FF, SF) rather than its start (FS, SS).
inline bool BoundsEnd(TqorLinkType type) {
  return type == TqorLinkType::FF || type == TqorLinkType::SF;
}

struct TqorScheduleLink {
  int32_t Predecessor = 0;
  int32_t Successor = 0;
  TqorLinkType Type = TqorLinkType::FS;
  int32_t Lag = 0;
  bool operator==(const TqorScheduleLink&) const = default;
};

// Why a link cannot join the links of a schedule, in the order they are looked for.
enum class TqorLinkProblem {
  None,
  UnknownTask,  // the predecessor or the successor is no task of the schedule
  SelfLink,     // the task would be its own predecessor
  Duplicate,    // the two tasks are already linked that way round (whatever the type)
  ClosesCycle,  // the successor already leads to the predecessor
};
