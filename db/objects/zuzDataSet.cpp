#include "db/objects/zuzDataSet.h"

#include <cmath>

#include "db/objects/zuzDatabase.h"
#include "db/sql/zuzSqlParser.h"
#include "db/storage/zuzError.h"
#include "planner/base/qorStrings.h"

namespace zuz {

struct TZuzDataSet::TFilter {
  TSqlFilter Parsed;
  std::unique_ptr<TZuzExprEvaluator> Evaluator;
};

TqorVariant ValueToVariant(const TZuzValue& v) {
  switch (v.Kind) {
    case TZuzValueKind::Null:
      return TqorVariant::Null();
    case TZuzValueKind::Text:
      return TqorVariant(v.Text);
    case TZuzValueKind::Boolean:
      return TqorVariant(v.AsBool());
    case TZuzValueKind::Date:
      return TqorVariant::FromDate(v.Number);
    case TZuzValueKind::Number:
      if (IsWholeValueType(v.Type) && v.Number >= -2147483648.0 && v.Number <= 2147483647.0) {
        return TqorVariant(static_cast<int32_t>(v.Number));
      }
      return TqorVariant(v.Number);
  }
  return TqorVariant::Null();
}

TZuzValue VariantToValue(const TqorVariant& v, TFieldType type) {
  switch (v.Kind()) {
    case TqorVarKind::Null:
      return TZuzValue::Null();
    case TqorVarKind::Text:
      return TZuzValue::Str(v.RawText());
    case TqorVarKind::Integer:
      return TZuzValue::Num(v.AsInteger(), TFieldType::ftInteger);
    case TqorVarKind::Real:
      return TZuzValue::Num(v.AsReal());
    case TqorVarKind::Boolean:
      return TZuzValue::Bool(v.AsBoolean());
    case TqorVarKind::Date:
      return TZuzValue::Date(v.AsDate(), IsDateValueType(type) ? type : TFieldType::ftDateTime);
  }
  return TZuzValue::Null();
}

TZuzDataSet::~TZuzDataSet() {
  if (db_) db_->UnregisterDataSet(this);
}

void TZuzDataSet::SetDataBase(TZuzDataBase* db) {
  if (db == db_) return;
  Close();
  if (db_) db_->UnregisterDataSet(this);
  db_ = db;
  if (db_) db_->RegisterDataSet(this);
}

void TZuzDataSet::CheckActive() const {
  if (!Active()) throw EZuzDataSetError("Cannot perform this operation on a closed dataset");
}

void TZuzDataSet::CheckBrowse(const char* operation) const {
  CheckActive();
  if (state_ != TZuzDataSetState::dsBrowse) {
    throw EZuzDataSetError(std::string("Dataset not in browse mode: ") + operation);
  }
}

void TZuzDataSet::Open() {
  if (Active()) return;
  if (BeforeOpen) BeforeOpen(*this);
  fields_.clear();
  filter_.reset();
  DoOpen();
  state_ = TZuzDataSetState::dsBrowse;
  try {
    First();
  } catch (...) {
    Close();
    throw;
  }
  if (AfterOpen) AfterOpen(*this);
}

void TZuzDataSet::Close() {
  if (!Active()) return;
  if (BeforeClose) BeforeClose(*this);
  if (state_ == TZuzDataSetState::dsEdit && hasRow_) DoCancelEdit(pos_);
  state_ = TZuzDataSetState::dsInactive;
  DoClose();
  hasRow_ = false;
  eof_ = bof_ = true;
  current_.clear();
  filter_.reset();
  if (AfterClose) AfterClose(*this);
}

void TZuzDataSet::PrepareFilter() {
  if (filter_ && filterText_ == Filter) return;
  filter_.reset();
  filterText_ = Filter;
  if (Filter.empty()) return;
  const TTableDef* def = FilterTableDef();
  if (!def) return;
  TZuzSqlParser parser;
  if (!parser.PrepareFilter(Filter, *def)) {
    ZuzDatabaseError(ZUZ_ERR_FILTER, "TZuzDataSet.InternalSetFilter", parser.ErrorText());
  }
  auto f = std::make_shared<TFilter>();
  f->Parsed = parser.TakeFilter();
  f->Evaluator =
      std::make_unique<TZuzExprEvaluator>(SortOrderFunction(def->SortOrder), nullptr, nullptr);
  filter_ = std::move(f);
}

bool TZuzDataSet::Accepts(size_t row) {
  const bool useFilter = Filtered && !Filter.empty();
  if (!useFilter && !OnFilterRecord) return true;
  DoReadRow(row, scratch_);
  if (useFilter) {
    PrepareFilter();
    if (filter_) {
      TZuzEvalContext ctx;
      ctx.Rows.assign(1, scratch_.data());
      if (!filter_->Evaluator->Holds(filter_->Parsed.Condition.get(), ctx)) return false;
    }
  }
  if (OnFilterRecord) {
    TZuzRow saved = std::move(current_);
    bool savedHas = hasRow_;
    current_ = scratch_;
    hasRow_ = true;
    bool accept = true;
    OnFilterRecord(*this, accept);
    current_ = std::move(saved);
    hasRow_ = savedHas;
    if (!accept) return false;
  }
  return true;
}

bool TZuzDataSet::Seek(size_t i, bool forward) {
  const size_t n = DoRowCount();
  while (i < n) {
    if (Accepts(i)) {
      pos_ = i;
      hasRow_ = true;
      DoReadRow(i, current_);
      return true;
    }
    if (!forward) {
      if (i == 0) break;
      --i;
    } else {
      ++i;
    }
  }
  return false;
}

void TZuzDataSet::First() {
  CheckBrowse("First");
  if (BeforeScroll) BeforeScroll(*this);
  hasRow_ = Seek(0, true);
  eof_ = bof_ = !hasRow_;
  bof_ = true;
  if (!hasRow_) current_.clear();
  if (AfterScroll) AfterScroll(*this);
}

void TZuzDataSet::Last() {
  CheckBrowse("Last");
  if (BeforeScroll) BeforeScroll(*this);
  const size_t n = DoRowCount();
  hasRow_ = n > 0 && Seek(n - 1, false);
  eof_ = true;
  bof_ = !hasRow_;
  if (!hasRow_) current_.clear();
  if (AfterScroll) AfterScroll(*this);
}

void TZuzDataSet::Next() {
  CheckBrowse("Next");
  if (!hasRow_ || eof_) {
    eof_ = true;
    return;
  }
  if (BeforeScroll) BeforeScroll(*this);
  size_t keep = pos_;
  if (!Seek(pos_ + 1, true)) {
    pos_ = keep;
    DoReadRow(pos_, current_);
    eof_ = true;
  } else {
    bof_ = false;
  }
  if (AfterScroll) AfterScroll(*this);
}

void TZuzDataSet::Prior() {
  CheckBrowse("Prior");
  if (!hasRow_ || pos_ == 0) {
    bof_ = true;
    return;
  }
  if (BeforeScroll) BeforeScroll(*this);
  size_t keep = pos_;
  if (!Seek(pos_ - 1, false)) {
    pos_ = keep;
    DoReadRow(pos_, current_);
    bof_ = true;
  } else {
    eof_ = false;
  }
  if (AfterScroll) AfterScroll(*this);
}

bool TZuzDataSet::MoveToRecNo(int64_t n) {
  CheckBrowse("RecNo");
  if (n < 1 || static_cast<size_t>(n) > DoRowCount()) return false;
  pos_ = static_cast<size_t>(n - 1);
  hasRow_ = true;
  eof_ = bof_ = false;
  DoReadRow(pos_, current_);
  return true;
}

bool TZuzDataSet::IsEmpty() {
  CheckActive();
  return !hasRow_;
}

int64_t TZuzDataSet::RecordCount() {
  CheckActive();
  return static_cast<int64_t>(DoRowCount());
}

int TZuzDataSet::FindField(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (SameTextIgnoringCase(fields_[i].Name, name)) return static_cast<int>(i);
  }
  return -1;
}

int TZuzDataSet::FieldIndex(std::string_view name) const {
  int i = FindField(name);
  if (i < 0) throw EZuzDataSetError("Field '" + std::string(name) + "' not found");
  return i;
}

TZuzValue TZuzDataSet::Value(int field) const {
  if (field < 0 || static_cast<size_t>(field) >= fields_.size()) {
    throw EZuzDataSetError("Field index out of range");
  }
  const TZuzRow& row =
      state_ == TZuzDataSetState::dsEdit || state_ == TZuzDataSetState::dsInsert ? edit_ : current_;
  if (static_cast<size_t>(field) >= row.size()) return TZuzValue::Null();
  return row[static_cast<size_t>(field)];
}

TqorVariant TZuzDataSet::FieldValue(std::string_view name) const {
  return ValueToVariant(Value(FieldIndex(name)));
}

TqorVariant TZuzDataSet::FieldValue(int field) const {
  return ValueToVariant(Value(field));
}

void TZuzDataSet::SetValue(int field, TZuzValue value) {
  if (state_ != TZuzDataSetState::dsEdit && state_ != TZuzDataSetState::dsInsert) {
    throw EZuzDataSetError("Dataset not in edit or insert mode");
  }
  const TZuzFieldInfo& f = fields_.at(static_cast<size_t>(field));
  if (f.ReadOnly) throw EZuzDataSetError("Field '" + f.Name + "' cannot be modified");
  edit_[static_cast<size_t>(field)] = std::move(value);
  changed_[static_cast<size_t>(field)] = true;
}

void TZuzDataSet::SetFieldValue(std::string_view name, const TqorVariant& value) {
  int i = FieldIndex(name);
  SetValue(i, VariantToValue(value, fields_[static_cast<size_t>(i)].Type));
}

void TZuzDataSet::Edit() {
  CheckActive();
  if (state_ == TZuzDataSetState::dsEdit || state_ == TZuzDataSetState::dsInsert) return;
  if (ReadOnly) throw EZuzDataSetError("Cannot modify a read-only dataset");
  if (!hasRow_) {
    Insert();
    return;
  }
  if (BeforeEdit) BeforeEdit(*this);
  DoEdit(pos_);
  DoReadRow(pos_, current_);
  edit_ = current_;
  changed_.assign(fields_.size(), false);
  state_ = TZuzDataSetState::dsEdit;
  if (AfterEdit) AfterEdit(*this);
}

void TZuzDataSet::Insert() {
  CheckBrowse("Insert");
  if (ReadOnly) throw EZuzDataSetError("Cannot modify a read-only dataset");
  if (BeforeInsert) BeforeInsert(*this);
  edit_.assign(fields_.size(), TZuzValue::Null());
  changed_.assign(fields_.size(), false);
  state_ = TZuzDataSetState::dsInsert;
  if (OnNewRecord) OnNewRecord(*this);
  if (AfterInsert) AfterInsert(*this);
}

void TZuzDataSet::Post() {
  if (state_ != TZuzDataSetState::dsEdit && state_ != TZuzDataSetState::dsInsert) return;
  if (BeforePost) BeforePost(*this);
  const bool inserting = state_ == TZuzDataSetState::dsInsert;
  size_t at = DoPost(inserting, pos_, edit_, changed_);
  state_ = TZuzDataSetState::dsBrowse;
  edit_.clear();
  const size_t n = DoRowCount();
  if (n == 0) {
    hasRow_ = false;
    eof_ = bof_ = true;
    current_.clear();
  } else {
    pos_ = std::min(at, n - 1);
    hasRow_ = true;
    eof_ = bof_ = false;
    DoReadRow(pos_, current_);
  }
  if (AfterPost) AfterPost(*this);
}

void TZuzDataSet::Cancel() {
  if (state_ != TZuzDataSetState::dsEdit && state_ != TZuzDataSetState::dsInsert) return;
  if (BeforeCancel) BeforeCancel(*this);
  if (state_ == TZuzDataSetState::dsEdit) DoCancelEdit(pos_);
  state_ = TZuzDataSetState::dsBrowse;
  edit_.clear();
  if (hasRow_) DoReadRow(pos_, current_);
  if (AfterCancel) AfterCancel(*this);
}

void TZuzDataSet::Delete() {
  CheckActive();
  if (state_ == TZuzDataSetState::dsInsert) {
    Cancel();
    return;
  }
  if (ReadOnly) throw EZuzDataSetError("Cannot modify a read-only dataset");
  if (!hasRow_) throw EZuzDataSetError("Cannot perform this operation on an empty dataset");
  if (state_ == TZuzDataSetState::dsEdit) Cancel();
  if (BeforeDelete) BeforeDelete(*this);
  DoDelete(pos_);
  const size_t n = DoRowCount();
  if (n == 0) {
    hasRow_ = false;
    eof_ = bof_ = true;
    current_.clear();
  } else {
    pos_ = std::min(pos_, n - 1);
    DoReadRow(pos_, current_);
  }
  if (AfterDelete) AfterDelete(*this);
}

void TZuzDataSet::Refresh() {
  CheckBrowse("Refresh");
  size_t keep = pos_;
  DoRefresh();
  const size_t n = DoRowCount();
  if (n == 0) {
    hasRow_ = false;
    eof_ = bof_ = true;
    current_.clear();
    return;
  }
  pos_ = std::min(keep, n - 1);
  hasRow_ = true;
  DoReadRow(pos_, current_);
}

void TZuzDataSet::AfterRollback() {
  if (!Active()) return;
  if (state_ == TZuzDataSetState::dsEdit || state_ == TZuzDataSetState::dsInsert) Cancel();
  Refresh();
}

void TZuzDataSet::DoEdit(size_t) {
  throw EZuzDataSetError("Cannot modify a read-only dataset");
}
void TZuzDataSet::DoCancelEdit(size_t) {}
size_t TZuzDataSet::DoPost(bool, size_t, const TZuzRow&, const std::vector<bool>&) {
  throw EZuzDataSetError("Cannot modify a read-only dataset");
}
void TZuzDataSet::DoDelete(size_t) {
  throw EZuzDataSetError("Cannot modify a read-only dataset");
}

}  // namespace zuz
