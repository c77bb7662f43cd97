// The statements of one change of the plan as one transaction of the database: every statement
// run between construction and Commit is stored, or none is. A change that the database refuses
// half-way therefore leaves no half of it in the file.
#pragma once

class TqorDatabaseController;

class TqorDatabaseTransaction {
 public:
  // Starts a transaction. REQUIRES: the database is connected and no transaction is open.
  explicit TqorDatabaseTransaction(TqorDatabaseController& controller);
  // Rolls back unless committed.
  ~TqorDatabaseTransaction();
  TqorDatabaseTransaction(const TqorDatabaseTransaction&) = delete;
  TqorDatabaseTransaction& operator=(const TqorDatabaseTransaction&) = delete;

  // Writes every change to the file; the engine's error when it cannot (nothing is then
  // stored, and the destructor has nothing left to roll back).
  void Commit();

 private:
  TqorDatabaseController& controller_;
  bool open_ = true;
};
