// What tables and queries share as datasets: fields, one current row, navigation, the edit and
// insert states with posting and cancelling, filters, and their events.
//
//   inactive --Open--> browse --Edit--> edit --Post/Cancel--> browse
//                         \--Insert/Append--> insert --Post/Cancel--> browse
//
// Field values are read by name (letter case ignored) as variants: NULL as the null variant,
// dates and times as date values, numbers, booleans and texts as such.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/exec/zuzExprEvaluator.h"
#include "planner/base/qorVariant.h"

namespace zuz {

class TZuzDataBase;

// The dataset's own errors ("Field 'X' not found", a dataset that is not open, ...).
class EZuzDataSetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TZuzDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

struct TZuzFieldInfo {
  std::string Name;
  TFieldType Type = TFieldType::ftUnknown;
  int Size = 0;
  bool ReadOnly = false;
};

class TZuzDataSet {
 public:
  using TEvent = std::function<void(TZuzDataSet&)>;

  TZuzDataSet() = default;
  virtual ~TZuzDataSet();
  TZuzDataSet(const TZuzDataSet&) = delete;
  TZuzDataSet& operator=(const TZuzDataSet&) = delete;

  TZuzDataBase* DataBase() const { return db_; }
  // Closes the dataset when the database changes.
  void SetDataBase(TZuzDataBase* db);

  bool Active() const { return state_ != TZuzDataSetState::dsInactive; }
  void SetActive(bool v) { v ? Open() : Close(); }
  // Opens and stands on the first row.
  void Open();
  // Closes (cancelling a pending edit or insert).
  void Close();
  TZuzDataSetState State() const { return state_; }
  bool ReadOnly = false;

  // --- Navigation (the filter's rejected rows are skipped) ---
  void First();
  void Next();
  void Prior();
  void Last();
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  bool IsEmpty();
  // Rows without the filter.
  int64_t RecordCount();
  // The current row's number from 1 (0 without one).
  int64_t RecNo() const { return hasRow_ ? static_cast<int64_t>(pos_) + 1 : 0; }
  // Moves to the row of that number (1 = first); false when there is none.
  bool MoveToRecNo(int64_t n);

  // --- Fields ---
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  const TZuzFieldInfo& Field(int i) const { return fields_.at(static_cast<size_t>(i)); }
  // The field's number, or -1.
  int FindField(std::string_view name) const;
  // The field's number; "Field 'X' not found" when there is none.
  int FieldIndex(std::string_view name) const;
  // The current row's value (NULL without a current row).
  TZuzValue Value(int field) const;
  TqorVariant FieldValue(std::string_view name) const;
  TqorVariant FieldValue(int field) const;
  bool IsNull(std::string_view name) const { return Value(FieldIndex(name)).IsNull(); }
  // Sets a value of the row being edited or inserted.
  void SetValue(int field, TZuzValue value);
  void SetFieldValue(std::string_view name, const TqorVariant& value);

  // --- Editing ---
  void Edit();
  void Insert();
  void Append() { Insert(); }
  void Post();
  void Cancel();
  void Delete();
  // Re-reads the rows, staying near the current one.
  void Refresh();

  // --- Filters: an SQL search condition over the dataset's columns ---
  std::string Filter;
  bool Filtered = false;
  std::function<void(TZuzDataSet&, bool& accept)> OnFilterRecord;

  TEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert, BeforeEdit,
      AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete, AfterDelete,
      BeforeScroll, AfterScroll, OnNewRecord;

  // The database rolled back: pending changes are cancelled and the rows read again.
  virtual void AfterRollback();
  // The database closes: the dataset closes too.
  void DatabaseClosing() { Close(); }

 protected:
  // Opens the rows and fills Fields().
  virtual void DoOpen() = 0;
  virtual void DoClose() = 0;
  virtual size_t DoRowCount() = 0;
  // The values of row i (one per field).
  virtual void DoReadRow(size_t i, TZuzRow& row) = 0;
  // Editing: not supported unless the dataset overrides these.
  virtual void DoEdit(size_t row);
  virtual void DoCancelEdit(size_t row);
  // Writes the values (changed[i] tells which were set); returns the row number the values now
  // have (or the number of rows before it when the row is no longer visible).
  virtual size_t DoPost(bool inserting, size_t row, const TZuzRow& values,
                        const std::vector<bool>& changed);
  virtual void DoDelete(size_t row);
  // The column definitions a filter is checked against (nullptr: no filters).
  virtual const TTableDef* FilterTableDef() { return nullptr; }
  virtual void DoRefresh() {}

  void CheckActive() const;
  void CheckBrowse(const char* operation) const;
  std::vector<TZuzFieldInfo> fields_;

 private:
  bool Accepts(size_t row);
  // Stands on the first accepted row from i going in the direction; false when there is none.
  bool Seek(size_t i, bool forward);
  void PrepareFilter();

  TZuzDataBase* db_ = nullptr;
  TZuzDataSetState state_ = TZuzDataSetState::dsInactive;
  size_t pos_ = 0;
  bool hasRow_ = false;
  bool eof_ = true;
  bool bof_ = true;
  TZuzRow current_;
  TZuzRow edit_;
  std::vector<bool> changed_;
  TZuzRow scratch_;
  struct TFilter;
  std::shared_ptr<TFilter> filter_;
  std::string filterText_;
};

// A value as a variant (dates as date values, whole numbers as integers when they fit).
TqorVariant ValueToVariant(const TZuzValue& v);
// A variant as a value for a field of the type.
TZuzValue VariantToValue(const TqorVariant& v, TFieldType type);

}  // namespace zuz
