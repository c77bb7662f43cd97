#include "app/core/qorDatabaseTransaction.h"

#include "db/access/qorDatabaseController.h"
#include "db/objects/zuzDatabase.h"

TqorDatabaseTransaction::TqorDatabaseTransaction(TqorDatabaseController& controller)
    : controller_(controller) {
  controller_.Database().StartTransaction();
}

TqorDatabaseTransaction::~TqorDatabaseTransaction() {
  if (!open_) return;
  try {
    zuz::TZuzDataBase& db = controller_.Database();
    if (db.InTransaction()) db.Rollback();
  } catch (...) {
    // The pages changed are only in memory until a commit: dropping them cannot lose anything
    // stored, and an error here must not hide the one that ended the change.
  }
}

void TqorDatabaseTransaction::Commit() {
  zuz::TZuzDataBase& db = controller_.Database();
  try {
    db.Commit();
  } catch (...) {
    // A commit that fails is undone by the engine; make sure nothing stays open.
    try {
      if (db.InTransaction()) db.Rollback();
    } catch (...) {
    }
    open_ = false;
    throw;
  }
  open_ = false;
}
