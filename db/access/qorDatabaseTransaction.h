// Several statements of the controller as one change: everything they write reaches the file
// whole at Commit, or not at all. The transaction starts at construction and is rolled back when
// the guard goes out of scope uncommitted (an error on the way, or a commit that failed).
//
//   TqorDatabaseTransaction transaction(controller);
//   controller.Execute(...); controller.Execute(...);
//   transaction.Commit();
//
// Only one transaction can be open on a database: starting a second one raises the engine's
// error.
#pragma once

class TqorDatabaseController;

class TqorDatabaseTransaction {
 public:
  // REQUIRES: the controller is connected and has no transaction open.
  explicit TqorDatabaseTransaction(TqorDatabaseController& controller);
  ~TqorDatabaseTransaction();
  TqorDatabaseTransaction(const TqorDatabaseTransaction&) = delete;
  TqorDatabaseTransaction& operator=(const TqorDatabaseTransaction&) = delete;

  // Writes the changes; the engine's error when they cannot be written (the destructor then
  // rolls them back).
  void Commit();

 private:
  TqorDatabaseController& controller_;
  bool done_ = false;
};
