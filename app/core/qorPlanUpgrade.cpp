#include "app/core/qorPlanUpgrade.h"

#include <exception>

#include "app/core/qorPlannerSchema.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "db/objects/zuzDatabase.h"
#include "db/record/zuzTableDef.h"

int StoredPlanVersion(TqorDatabaseController& db) {
  for (const std::string& name : db.Database().TableNames())
    if (zuz::SameName(name, "PlanVersion"))
      return db.LookupInteger("SELECT MAX(Version) FROM PlanVersion");
  return 1;
}

int UpgradePlan(TqorDatabaseController& db, const std::string& planName) {
  const int found = StoredPlanVersion(db);
  if (found > kPlanVersion) {
    throw EqorPlanVersionError(
        "The plan " + planName + " is of version " + std::to_string(found) +
        ", made by a newer Vazadod; this program reads plans up to version " +
        std::to_string(kPlanVersion) +
        ". Open it with the newer program; the file was not changed.");
  }
  if (found == kPlanVersion) return found;
  try {
    TqorDatabaseTransaction transaction(db);
    for (int version = found; version < kPlanVersion; ++version)
      for (const std::string& statement : PlannerUpgradeStatements(version)) db.Execute(statement);
    transaction.Commit();
  } catch (const std::exception& e) {
    throw EqorPlanVersionError("The plan " + planName + " of version " + std::to_string(found) +
                               " could not be brought up to version " +
                               std::to_string(kPlanVersion) + ", and is as it was:\n" + e.what());
  }
  return found;
}
