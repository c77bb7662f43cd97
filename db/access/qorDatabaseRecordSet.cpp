#include "db/access/qorDatabaseRecordSet.h"

#include <cstdio>

#include "db/access/qorDatabaseController.h"
#include "db/objects/zuzDatabase.h"
#include "db/objects/zuzSQL.h"
#include "planner/base/qorCalendar.h"

TqorDatabaseRecordSet::TqorDatabaseRecordSet() : query_(std::make_unique<zuz::TZuzQuery>()) {
  // The application never uses parameters; a ":" in a statement is text.
  query_->ParamCheck = false;
}

TqorDatabaseRecordSet::~TqorDatabaseRecordSet() = default;

void TqorDatabaseRecordSet::SetController(TqorDatabaseController* controller) {
  controller_ = controller;
  query_->SetDatabase(controller ? &controller->Database() : nullptr);
}

void TqorDatabaseRecordSet::SetSQL(const std::string& statement) {
  fieldNumbers_.clear();
  query_->SetSQL(statement);
}

const std::string& TqorDatabaseRecordSet::GetSQL() const {
  return query_->SQL();
}

void TqorDatabaseRecordSet::Open() {
  fieldNumbers_.clear();
  query_->Open();
}

void TqorDatabaseRecordSet::Close() {
  fieldNumbers_.clear();
  query_->Close();
}

bool TqorDatabaseRecordSet::Active() const {
  return query_->Active();
}

bool TqorDatabaseRecordSet::Eof() const {
  return !query_->Active() || query_->Eof();
}

bool TqorDatabaseRecordSet::Next() {
  if (Eof()) return false;
  query_->Next();
  return true;
}

int TqorDatabaseRecordSet::FieldNumber(std::string_view field) const {
  for (const auto& [name, number] : fieldNumbers_)
    if (name == field) return number;
  const int number = query_->FieldIndex(field);
  fieldNumbers_.emplace_back(field, number);
  return number;
}

std::vector<std::string> TqorDatabaseRecordSet::FieldNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < query_->FieldCount(); ++i) names.push_back(query_->Field(i).Name);
  return names;
}

TqorVariant TqorDatabaseRecordSet::GetValue(std::string_view field) const {
  // Without rows there are no fields to number: the dataset says so itself.
  if (!query_->Active()) return query_->FieldValue(field);
  return query_->FieldValue(FieldNumber(field));
}

std::string TqorDatabaseRecordSet::GetString(std::string_view field) const {
  const TqorVariant v = GetValue(field);
  if (v.IsNull()) return {};
  if (v.Kind() == TqorVarKind::Date) return FormatRecordSetDate(v.AsDate());
  return v.ToText();
}

int32_t TqorDatabaseRecordSet::GetInteger(std::string_view field) const {
  const TqorVariant v = GetValue(field);
  return v.IsNull() ? 0 : v.AsInteger();
}

double TqorDatabaseRecordSet::GetFloat(std::string_view field) const {
  const TqorVariant v = GetValue(field);
  return v.IsNull() ? 0 : v.AsReal();
}

double TqorDatabaseRecordSet::GetDate(std::string_view field) const {
  const TqorVariant v = GetValue(field);
  return v.IsNull() ? 0 : v.AsReal();
}

bool TqorDatabaseRecordSet::GetBoolean(std::string_view field) const {
  const TqorVariant v = GetValue(field);
  return v.IsNull() ? false : v.AsBoolean();
}

void TqorDatabaseRecordSet::CloseAndRelease() {
  Close();
  if (!controller_) {
    throw EqorDatabaseError("Can not close recordset " + GetSQL());
  }
  controller_->ReleaseRecordSet(this);
}

std::string FormatRecordSetDate(double dayNumber) {
  int y = 0, m = 0, d = 0;
  DecodeDate(dayNumber, y, m, d);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.2d-%.2d-%.4d", d, m, y);
  return buf;
}
