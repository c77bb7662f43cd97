// The plan's version, and bringing a plan of an earlier version up to the one this program makes
// (kPlanVersion, qorPlannerSchema.h). Versions are listed in docs/plan-versions.md.
//
// The upgrade runs its statements in one transaction: afterwards the file is either as it was
// or of the new version, also when the program stops in the middle (the engine's journal).
#pragma once

#include <string>

#include "app/core/qorWorkflowError.h"

class TqorDatabaseController;

// A plan this program cannot use as it is: of a newer version, or one whose upgrade failed.
class EqorPlanVersionError : public EqorWorkflowError {
 public:
  using EqorWorkflowError::EqorWorkflowError;
};

// The version of the open plan: the row of PlanVersion; 1 for a plan without that table.
// REQUIRES: the controller is connected.
int StoredPlanVersion(TqorDatabaseController& db);

// Brings the open plan up to kPlanVersion when it is of an earlier version; does nothing for a
// plan of that version. Returns the version found. Raises EqorPlanVersionError, with the plan's
// name (what the user calls it, e.g. its path) in the message, for a plan of a newer version
// (nothing is written) and for an upgrade the engine refused (the file is as it was; the
// message says so and gives the engine's). REQUIRES: connected, no transaction open, writable.
int UpgradePlan(TqorDatabaseController& db, const std::string& planName);
