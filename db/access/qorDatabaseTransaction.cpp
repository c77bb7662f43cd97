#include "db/access/qorDatabaseTransaction.h"

#include "db/access/qorDatabaseController.h"
#include "db/objects/zuzDatabase.h"

TqorDatabaseTransaction::TqorDatabaseTransaction(TqorDatabaseController& controller)
    : controller_(controller) {
  controller_.Database().StartTransaction();
}

TqorDatabaseTransaction::~TqorDatabaseTransaction() {
  if (done_) return;
  try {
    if (controller_.Database().InTransaction()) controller_.Database().Rollback();
  } catch (...) {
    // The error that ended the transaction is the one reported; a rollback that cannot reread
    // the header leaves the file as the last commit wrote it.
  }
}

void TqorDatabaseTransaction::Commit() {
  try {
    controller_.Database().Commit();
  } catch (...) {
    controller_.FollowOwnCommits();
    throw;
  }
  controller_.FollowOwnCommits();
  done_ = true;
}
