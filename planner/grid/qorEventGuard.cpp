#include "planner/grid/qorEventGuard.h"

namespace {
TqorErrorReport& Report() {
  static TqorErrorReport report;
  return report;
}
}  // namespace

void SetEventErrorReport(TqorErrorReport report) {
  Report() = std::move(report);
}
const TqorErrorReport& EventErrorReport() {
  return Report();
}
