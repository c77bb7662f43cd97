#include "db/objects/zuzSQL.h"

#include "db/objects/zuzDatabase.h"
#include "db/storage/zuzError.h"

namespace zuz {

namespace {

constexpr const char* kExecCaller = "TZuzQuery.ExecSQL";
constexpr const char* kOpenCaller = "TZuzQuery.InternalOpen";

// The table a statement changes and the privilege it needs on it; none for statements that
// change no table of the database file (queries, which are checked per table read, and
// statements on memory tables).
struct TStatementTarget {
  std::string table;
  TZuzPrivilege privilege = TZuzPrivilege::Open;
  bool checked = false;
};

TStatementTarget StatementTarget(const TSqlStatement& st) {
  auto on = [](const std::string& table, TZuzPrivilege privilege, bool memory) {
    return TStatementTarget{table, privilege, !memory};
  };
  switch (st.Kind()) {
    case TSqlStatementKind::Insert: {
      const TSqlTableName& t = *st.As<TSqlInsert>().Table;
      return on(t.Name, TZuzPrivilege::Insert, t.Memory);
    }
    case TSqlStatementKind::Update: {
      const TSqlTableName& t = *st.As<TSqlUpdate>().Table;
      return on(t.Name, TZuzPrivilege::Update, t.Memory);
    }
    case TSqlStatementKind::Delete: {
      const TSqlTableName& t = *st.As<TSqlDelete>().Table;
      return on(t.Name, TZuzPrivilege::Delete, t.Memory);
    }
    case TSqlStatementKind::CreateTable: {
      const auto& c = st.As<TSqlCreateTable>();
      return on(c.Table, TZuzPrivilege::Create, c.Temporary);
    }
    case TSqlStatementKind::CreateIndex: {
      const auto& c = st.As<TSqlCreateIndex>();
      return on(c.Table, TZuzPrivilege::Alter, c.Temporary);
    }
    // A name that is no table of the database file (a memory table) needs no privilege.
    case TSqlStatementKind::AlterTable:
      return on(st.As<TSqlAlterTable>().Table, TZuzPrivilege::Alter, false);
    case TSqlStatementKind::DropTable:
      return on(st.As<TSqlDropTable>().Table, TZuzPrivilege::Drop, false);
    case TSqlStatementKind::DropIndex:
      return on(st.As<TSqlDropIndex>().Table, TZuzPrivilege::Alter, false);
    default:
      return {};
  }
}

}  // namespace

TZuzQuery::~TZuzQuery() {
  try {
    Close();
  } catch (...) {
  }
}

void TZuzQuery::SetSQL(const std::string& text) {
  if (text == sql_) return;
  Close();
  Unprepare();
  sql_ = text;
  paramNames_.clear();
  if (ParamCheck && DataBase() && !sql_.empty()) {
    try {
      Prepare();
    } catch (...) {
      // The text is reported when it is run; a statement that does not parse has no parameters.
      Unprepare();
    }
  }
}

void TZuzQuery::SetParam(const std::string& name, const TqorVariant& value) {
  params_.Set(name, VariantToValue(value, TFieldType::ftUnknown));
}

void TZuzQuery::Connect(const char* caller) {
  TZuzDataBase* db = DataBase();
  if (!db) ZuzDatabaseError(ZUZ_ERR_NO_ENGINE, caller, {}, "TZuzQuery");
  if (!db->Connected()) db->Open();
  if (provider_ && providerDb_ != db) provider_.reset();
}

void TZuzQuery::Unprepare() {
  provider_.reset();
  providerDb_ = nullptr;
}

void TZuzQuery::Prepare() {
  Connect("TZuzQuery.InternalConnect");
  TZuzDataBase* db = DataBase();
  provider_ = std::make_unique<TZuzQueryProvider>(db->ExecEnv());
  providerDb_ = db;
  try {
    provider_->Prepare(sql_, "TZuzQuery");
  } catch (...) {
    provider_.reset();
    throw;
  }
  paramNames_ = provider_->ParamNames();
}

void TZuzQuery::FillParamsFromDataSource() {
  if (!DataSource || !DataSource->Active()) return;
  for (const std::string& name : paramNames_) {
    int f = DataSource->FindField(name);
    if (f >= 0) params_.Set(name, DataSource->Value(f));
  }
}

void TZuzQuery::ExecSQL() {
  Connect(kExecCaller);
  Close();
  TZuzDataBase& db = *DataBase();
  if (!Prepared()) Prepare();
  const TSqlStatement& st = *provider_->Statement();
  if (st.IsQuery()) {
    ZuzDatabaseError(ZUZ_ERR_SQL, kExecCaller, "SQL statement cannot be executed by ExecSQL");
  }
  FillParamsFromDataSource();
  provider_->Params = params_;
  provider_->MaxRecords = MaxRecords;
  provider_->Stats = {};
  rowsAffected_ = 0;
  const TStatementTarget target = StatementTarget(st);
  if (target.checked && db.Disk()) db.CheckPrivilege(target.table, target.privilege);
  if (st.IsSchema()) {
    // A new table may be made inside a transaction (it belongs to it); the restructures and
    // deletes run as transactions of their own.
    if (db.InTransaction() && st.Kind() != TSqlStatementKind::CreateTable) {
      ZuzDatabaseError(ZUZ_ERR_IN_TRANSACTION, kExecCaller, {}, "TZuzQuery");
    }
    provider_->Progress = db.OnUpdateProgress;
    if (provider_->RestructuresDiskTable()) {
      db.RunExclusive([&] { provider_->Execute(kExecCaller); });
    } else {
      provider_->Execute(kExecCaller);
    }
    stats_ = provider_->Stats;
    // The definitions changed: the next run parses again.
    provider_->Unprepare();
    return;
  }
  TZuzStatementTransaction tx(db, false);
  int64_t n = provider_->Execute(kExecCaller);
  tx.Commit();
  rowsAffected_ = n;
  stats_ = provider_->Stats;
}

void TZuzQuery::DoOpen() {
  Connect(kExecCaller);
  TZuzDataBase& db = *DataBase();
  {
    // The statement's reading transaction covers its preparation too: the catalogue's read lock
    // taken to look up the tables is then held to the end instead of being taken twice.
    TZuzStatementTransaction tx(db, true);
    if (!Prepared()) Prepare();
    if (!provider_->Statement()->IsQuery()) {
      ZuzDatabaseError(ZUZ_ERR_SQL, kOpenCaller,
                       "SQL statement cannot be opened (execute by ExecSQL)");
    }
    FillParamsFromDataSource();
    provider_->Params = params_;
    provider_->MaxRecords = MaxRecords;
    provider_->Stats = {};
    result_ = provider_->Open(kOpenCaller);
    tx.Commit();
  }
  stats_ = provider_->Stats;
  fields_.clear();
  for (const TZuzResultColumn& c : result_->Columns) {
    fields_.push_back(TZuzFieldInfo{c.Name, c.Type, c.Size, true});
  }
  ReadOnly = true;
  filterDef_.reset();
}

void TZuzQuery::DoClose() {
  result_.reset();
  filterDef_.reset();
}

void TZuzQuery::DoReadRow(size_t i, TZuzRow& row) {
  row = result_->Rows.at(i);
}

const TTableDef* TZuzQuery::FilterTableDef() {
  if (filterDef_) return filterDef_.get();
  if (!result_) return nullptr;
  std::vector<TFieldDesc> fields;
  for (const TZuzResultColumn& c : result_->Columns) {
    TFieldDesc f;
    f.Name = c.Name;
    f.DataType = c.Type;
    if (c.Type == TFieldType::ftString) f.Size = c.Size > 0 ? c.Size : 255;
    fields.push_back(f);
  }
  TTableOptions options;
  options.SortOrder = DataBase() ? DataBase()->ExecEnv().SortOrder : TSortOrder::soANSI;
  try {
    filterDef_ = std::make_unique<TTableDef>(BuildTableDef("Result", fields, {}, options));
  } catch (const EZuzDatabaseError& e) {
    ZuzDatabaseError(ZUZ_ERR_FILTER, "TZuzDataSet.InternalSetFilter", e.CustomMessage());
  }
  return filterDef_.get();
}

}  // namespace zuz
