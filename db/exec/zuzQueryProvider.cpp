#include "db/exec/zuzQueryProvider.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <set>

#include "db/index/zuzRestructure.h"
#include "db/sql/zuzParserUtils.h"
#include "db/sql/zuzSqlBinder.h"
#include "db/sql/zuzSqlParser.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzLockProvider.h"
#include "db/storage/zuzLogger.h"
#include "planner/base/qorStrings.h"

namespace zuz {

namespace {

using F = TFieldType;

constexpr int kMaxDistinctColumns = 32;

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Calls f(column, depth) for every column reference of an expression, its subqueries included,
// with depth the number of subquery levels between the expression's own query and the
// reference: a reference with OuterLevel == depth names a source of the expression's query.
template <typename Fn>
void WalkColumns(const TSqlExpr& e, int depth, Fn& f);

template <typename Fn>
void WalkSelectColumns(const TSqlSelect& s, int depth, Fn& f);

template <typename Fn>
void WalkRefColumns(const TSqlTableRef& ref, int depth, Fn& f) {
  switch (ref.Kind()) {
    case TSqlTableRefKind::Table:
      break;
    case TSqlTableRefKind::Derived:
      // A FROM subquery sees the scopes outside its query, not its query.
      WalkSelectColumns(*ref.As<TSqlDerivedTable>().Select, depth, f);
      break;
    case TSqlTableRefKind::Join: {
      const auto& j = ref.As<TSqlJoin>();
      WalkRefColumns(*j.Left, depth, f);
      WalkRefColumns(*j.Right, depth, f);
      if (j.On) WalkColumns(*j.On, depth, f);
      break;
    }
  }
}

template <typename Fn>
void WalkSpecColumns(const TSqlQuerySpec& q, int depth, Fn& f) {
  for (const TSqlSelectItem& item : q.Items) {
    if (item.Expr) WalkColumns(*item.Expr, depth, f);
  }
  for (const TSqlTableRefPtr& ref : q.From) WalkRefColumns(*ref, depth, f);
  if (q.Where) WalkColumns(*q.Where, depth, f);
  if (q.Having) WalkColumns(*q.Having, depth, f);
}

template <typename Fn>
void WalkSelectColumns(const TSqlSelect& s, int depth, Fn& f) {
  WalkSpecColumns(*s.Query, depth, f);
  for (const TSqlUnionPart& part : s.Unions) WalkSpecColumns(*part.Query, depth, f);
}

template <typename Fn>
void WalkColumns(const TSqlExpr& e, int depth, Fn& f) {
  if (e.Kind() == TSqlExprKind::Column) f(e.As<TSqlColumnRef>(), depth);
  std::vector<TSqlExpr*> children;
  const_cast<TSqlExpr&>(e).Children(children);
  for (const TSqlExpr* c : children) WalkColumns(*c, depth, f);
  if (const TSqlSelect* q = e.Query()) WalkSelectColumns(*q, depth + 1, f);
}

// The sources of the expression's own query that it uses (also from inside its subqueries).
std::set<int> SourcesOf(const TSqlExpr& e) {
  std::set<int> out;
  auto f = [&](const TSqlColumnRef& c, int depth) {
    if (c.OuterLevel == depth && c.SourceIndex >= 0 && c.OutputIndex < 0) out.insert(c.SourceIndex);
  };
  WalkColumns(e, 0, f);
  return out;
}

bool HasSubquery(const TSqlExpr& e) {
  if (e.Query()) return true;
  std::vector<TSqlExpr*> children;
  const_cast<TSqlExpr&>(e).Children(children);
  for (const TSqlExpr* c : children) {
    if (HasSubquery(*c)) return true;
  }
  return false;
}

void SplitAnd(const TSqlExpr* e, std::vector<const TSqlExpr*>& out) {
  if (!e) return;
  if (e->Kind() == TSqlExprKind::Logical && e->As<TSqlLogical>().Op == TSqlLogicalOp::And) {
    for (const TSqlExprPtr& op : e->As<TSqlLogical>().Operands) SplitAnd(op.get(), out);
    return;
  }
  out.push_back(e);
}

// The aggregates of an expression, not those of its subqueries.
void CollectAggregates(const TSqlExpr& e, std::vector<const TSqlAggregate*>& out) {
  if (e.Kind() == TSqlExprKind::Aggregate) {
    out.push_back(&e.As<TSqlAggregate>());
    return;
  }
  std::vector<TSqlExpr*> children;
  const_cast<TSqlExpr&>(e).Children(children);
  for (const TSqlExpr* c : children) CollectAggregates(*c, out);
}

// The column references of the expression's own query outside aggregates (for the checks).
void CollectPlainColumns(const TSqlExpr& e, std::vector<const TSqlColumnRef*>& out) {
  if (e.Kind() == TSqlExprKind::Aggregate) return;
  if (e.Kind() == TSqlExprKind::Column) {
    const auto& c = e.As<TSqlColumnRef>();
    if (c.OuterLevel == 0) out.push_back(&c);
    return;
  }
  std::vector<TSqlExpr*> children;
  const_cast<TSqlExpr&>(e).Children(children);
  for (const TSqlExpr* c : children) CollectPlainColumns(*c, out);
}

bool IsScalarType(F t) {
  return !(IsBlobFieldType(t) || t == F::ftBytes || t == F::ftVarBytes || t == F::ftParadoxOle ||
           t == F::ftDBaseOle || t == F::ftTypedBinary || t == F::ftCursor);
}

F ResultType(F t) {
  if (t == F::ftAutoInc) return F::ftInteger;
  if (t == F::ftUnknown) return F::ftString;
  return t;
}

[[noreturn]] void PrepareError(const std::string& message) {
  throw TSqlParseError{message};
}

bool IsGrouped(const TSqlQuerySpec& q) {
  return q.HasAggregates || !q.GroupBy.empty();
}

// Whether the source of the output column is the group column.
bool SameColumn(const TSqlOutputColumn& o, const TSqlGroupColumn& g) {
  if (g.SourceIndex >= 0 && o.SourceIndex == g.SourceIndex && o.FieldIndex == g.FieldIndex) {
    return true;
  }
  return SameTextIgnoringCase(o.Name, g.Name) && (o.SourceIndex < 0 || g.SourceIndex < 0);
}

std::string ParamName(const TSqlExpr& e) {
  return e.As<TSqlParameter>().Name;
}

void CollectParams(const TSqlExpr& e, std::vector<std::string>& out);

void CollectSelectParams(const TSqlSelect& s, std::vector<std::string>& out) {
  auto block = [&](const TSqlQuerySpec& q) {
    for (const TSqlSelectItem& item : q.Items) {
      if (item.Expr) CollectParams(*item.Expr, out);
    }
    if (q.Where) CollectParams(*q.Where, out);
    if (q.Having) CollectParams(*q.Having, out);
  };
  block(*s.Query);
  for (const TSqlUnionPart& p : s.Unions) block(*p.Query);
}

void CollectParams(const TSqlExpr& e, std::vector<std::string>& out) {
  if (e.Kind() == TSqlExprKind::Parameter) {
    std::string n = ParamName(e);
    bool seen = false;
    for (const std::string& o : out) seen = seen || SameTextIgnoringCase(o, n);
    if (!seen) out.push_back(n);
  }
  std::vector<TSqlExpr*> children;
  const_cast<TSqlExpr&>(e).Children(children);
  for (const TSqlExpr* c : children) CollectParams(*c, out);
  if (const TSqlSelect* q = e.Query()) CollectSelectParams(*q, out);
}

}  // namespace

std::vector<std::string> SqlParamNames(const TSqlStatement& st) {
  std::vector<std::string> out;
  switch (st.Kind()) {
    case TSqlStatementKind::Select:
      CollectSelectParams(st.As<TSqlSelect>(), out);
      break;
    case TSqlStatementKind::Insert: {
      const auto& ins = st.As<TSqlInsert>();
      for (const TSqlExprPtr& v : ins.Values) CollectParams(*v, out);
      if (ins.Select) CollectSelectParams(*ins.Select, out);
      break;
    }
    case TSqlStatementKind::Update: {
      const auto& up = st.As<TSqlUpdate>();
      for (const TSqlSetItem& item : up.Items) CollectParams(*item.Value, out);
      if (up.Where) CollectParams(*up.Where, out);
      break;
    }
    case TSqlStatementKind::Delete: {
      const auto& del = st.As<TSqlDelete>();
      if (del.Where) CollectParams(*del.Where, out);
      break;
    }
    default:
      break;
  }
  return out;
}

// --- Catalogue ---

const std::vector<std::string>& TZuzEngineCatalogue::Names(bool memory) const {
  const int k = memory ? 1 : 0;
  if (!namesRead_[k]) {
    namesRead_[k] = true;
    TTableMgr* mgr = memory ? env_.Memory : env_.Disk;
    names_[k] = mgr ? mgr->TableNames() : std::vector<std::string>{};
  }
  return names_[k];
}

std::string TZuzEngineCatalogue::ActualName(std::string_view name, bool memory) const {
  for (const std::string& n : Names(memory)) {
    if (n == name) return n;
  }
  for (const std::string& n : Names(memory)) {
    if (SameTextIgnoringCase(n, name)) return n;
  }
  return "";
}

const TTableDef* TZuzEngineCatalogue::FindTable(std::string_view name, bool memory) const {
  const int k = memory ? 1 : 0;
  std::string actual = ActualName(name, memory);
  if (actual.empty()) return nullptr;
  auto it = defs_[k].find(actual);
  if (it != defs_[k].end()) return it->second.get();
  TTableMgr* mgr = memory ? env_.Memory : env_.Disk;
  std::shared_ptr<const TTableDef> def = mgr->SharedTableDef(actual);
  const TTableDef* p = def.get();
  defs_[k].emplace(actual, std::move(def));
  return p;
}

void TZuzEngineCatalogue::Clear() {
  for (int k = 0; k < 2; ++k) {
    namesRead_[k] = false;
    names_[k].clear();
    defs_[k].clear();
  }
}

// --- Preparing ---

TZuzQueryProvider::TZuzQueryProvider(TZuzExecEnv env) : env_(env), catalogue_(env_) {
  TZuzSubqueryRunner* runner = this;
  ev_ = std::make_unique<TZuzExprEvaluator>(SortOrderFunction(env_.SortOrder), runner, &Params);
}

TZuzQueryProvider::~TZuzQueryProvider() {
  CloseTables();
}

void TZuzQueryProvider::Unprepare() {
  statement_.reset();
  orderBy_.clear();
  correlated_.clear();
  synthesized_.clear();
}

std::vector<std::string> TZuzQueryProvider::ParamNames() const {
  return statement_ ? SqlParamNames(*statement_) : std::vector<std::string>{};
}

void TZuzQueryProvider::Prepare(std::string_view sql, std::string_view caller) {
  Unprepare();
  catalogue_.Clear();
  // One read lock on the catalogue for every name the statement looks up, instead of a lock,
  // a look for a journal and a header read for each.
  std::optional<TOpenTable::TLockScope> catalogueLock;
  if (env_.Disk && env_.Disk->IsOpen()) catalogueLock.emplace(env_.Disk->Catalogue(false), ltRead);
  std::unique_ptr<TSqlStatement> st = ParseSqlStatement(sql, &catalogue_, caller);
  try {
    if (st->Kind() == TSqlStatementKind::Select) {
      Check(st->As<TSqlSelect>());
    } else if (st->Kind() == TSqlStatementKind::Insert && st->As<TSqlInsert>().Select) {
      Check(*st->As<TSqlInsert>().Select);
    } else if (st->Kind() == TSqlStatementKind::Update) {
      for (const TSqlSetItem& item : st->As<TSqlUpdate>().Items) CheckExpr(*item.Value);
      if (st->As<TSqlUpdate>().Where) CheckExpr(*st->As<TSqlUpdate>().Where);
    } else if (st->Kind() == TSqlStatementKind::Delete && st->As<TSqlDelete>().Where) {
      CheckExpr(*st->As<TSqlDelete>().Where);
    }
  } catch (const TSqlParseError& e) {
    Unprepare();
    ZuzDatabaseError(ZUZ_ERR_SQL, caller, JoinSqlErrors({e.Message}));
  }
  statement_ = std::move(st);
}

void TZuzQueryProvider::CheckExpr(const TSqlExpr& e) {
  std::vector<TSqlExpr*> children;
  const_cast<TSqlExpr&>(e).Children(children);
  for (const TSqlExpr* c : children) CheckExpr(*c);
  if (const TSqlSelect* q = e.Query()) Check(*q);
}

void TZuzQueryProvider::CheckSpec(const TSqlQuerySpec& q, bool distinct) {
  for (const TSqlTableSource* src : q.Sources) {
    if (src->Kind() == TSqlTableRefKind::Derived) Check(*src->As<TSqlDerivedTable>().Select);
  }
  for (const TSqlSelectItem& item : q.Items) {
    if (item.Expr) CheckExpr(*item.Expr);
  }
  if (q.Where) CheckExpr(*q.Where);
  if (q.Having) CheckExpr(*q.Having);
  if (!q.OutputsKnown) return;
  if (distinct) {
    if (q.Outputs.size() > static_cast<size_t>(kMaxDistinctColumns)) {
      PrepareError("Result set colummn count exceeds DISTINCT query limit (" +
                   std::to_string(kMaxDistinctColumns) + ")");
    }
    for (const TSqlOutputColumn& o : q.Outputs) {
      if (!IsScalarType(o.Type)) {
        PrepareError("The column is not a valid data type for DISTINCT queries - " + o.Name);
      }
    }
  }
  std::vector<const TSqlAggregate*> aggregates;
  for (const TSqlSelectItem& item : q.Items) {
    if (item.Expr) CollectAggregates(*item.Expr, aggregates);
  }
  if (q.Having) CollectAggregates(*q.Having, aggregates);
  for (const TSqlAggregate* a : aggregates) {
    if (a->Distinct && a->Argument && IsTextValueType(a->Argument->Type)) {
      PrepareError("Invalid data type result for agg func");
    }
  }
  if (!IsGrouped(q)) return;
  for (const TSqlGroupColumn& g : q.GroupBy) {
    bool found = false;
    for (const TSqlOutputColumn& o : q.Outputs) found = found || SameColumn(o, g);
    if (!found) PrepareError("Group By column not found : " + g.Name);
  }
  auto isGroupColumn = [&](const TSqlColumnRef& c) {
    for (const TSqlGroupColumn& g : q.GroupBy) {
      if (g.SourceIndex >= 0 ? (g.SourceIndex == c.SourceIndex && g.FieldIndex == c.FieldIndex)
                             : SameTextIgnoringCase(g.Name, c.Name)) {
        return true;
      }
    }
    return false;
  };
  for (const TSqlOutputColumn& o : q.Outputs) {
    const TSqlSelectItem* item =
        o.ItemIndex >= 0 ? &q.Items[static_cast<size_t>(o.ItemIndex)] : nullptr;
    if (item && item->Expr && item->Aggregate) continue;
    if (!item || item->TableStar) {
      bool found = false;
      for (const TSqlGroupColumn& g : q.GroupBy) found = found || SameColumn(o, g);
      if (!found) PrepareError("Output column must be specified in Group By clause : " + o.Name);
      continue;
    }
    std::vector<const TSqlColumnRef*> cols;
    CollectPlainColumns(*item->Expr, cols);
    for (const TSqlColumnRef* c : cols) {
      if (!isGroupColumn(*c)) {
        PrepareError("Output column must be specified in Group By clause : " + o.Name);
      }
    }
  }
  if (q.Having) {
    std::vector<const TSqlColumnRef*> cols;
    CollectPlainColumns(*q.Having, cols);
    for (const TSqlColumnRef* c : cols) {
      if (c->OutputIndex >= 0) continue;
      bool found = false;
      for (const TSqlOutputColumn& o : q.Outputs) {
        found = found || (o.SourceIndex == c->SourceIndex && o.FieldIndex == c->FieldIndex);
      }
      if (!found) {
        PrepareError("Fields specified in having clause must appear in the result set: " + c->Name);
      }
    }
  }
}

void TZuzQueryProvider::Check(const TSqlSelect& s) {
  bool unionDistinct = false;
  for (const TSqlUnionPart& part : s.Unions) unionDistinct = unionDistinct || !part.All;
  CheckSpec(*s.Query, s.Query->Distinct || unionDistinct);
  const TSqlQuerySpec& first = *s.Query;
  for (const TSqlUnionPart& part : s.Unions) {
    CheckSpec(*part.Query, part.Query->Distinct || unionDistinct);
    if (!first.OutputsKnown || !part.Query->OutputsKnown) continue;
    if (part.Query->Outputs.size() != first.Outputs.size()) {
      PrepareError("Union statement column counts do not match");
    }
    for (size_t i = 0; i < first.Outputs.size(); ++i) {
      F from = part.Query->Outputs[i].Type;
      F to = first.Outputs[i].Type;
      if (!SqlCanConvert(from, to)) {
        PrepareError("Cannot convert type " + SqlTypeName(from) + " -> " + SqlTypeName(to));
      }
    }
  }
  std::vector<std::pair<int, bool>> order;
  for (const TSqlOrderItem& item : s.OrderBy) {
    int column = -1;
    const std::vector<TSqlOutputColumn>& outs = first.Outputs;
    if (item.ByNumber) {
      if (item.ColumnNumber < 1 || item.ColumnNumber > static_cast<int>(outs.size())) {
        PrepareError("Order by column number is out of range : " +
                     std::to_string(item.ColumnNumber));
      }
      column = item.ColumnNumber - 1;
    } else {
      const std::string& name = item.IsName ? item.Name : item.Text;
      for (size_t i = 0; i < outs.size() && column < 0; ++i) {
        if (!SameTextIgnoringCase(outs[i].Name, name)) continue;
        if (item.IsName && !item.Qualifier.empty() && outs[i].SourceIndex >= 0 &&
            !first.Sources[static_cast<size_t>(outs[i].SourceIndex)]->Answers(item.Qualifier)) {
          continue;
        }
        column = static_cast<int>(i);
      }
      if (column < 0 && item.IsName && !item.Qualifier.empty()) {
        // table.column where the output column is captioned with its qualifier
        for (size_t i = 0; i < outs.size() && column < 0; ++i) {
          if (SameTextIgnoringCase(outs[i].Name, item.Qualifier + "." + item.Name)) {
            column = static_cast<int>(i);
          }
        }
      }
      if (column < 0) {
        PrepareError("Order by column not found (Order By columns must be in result set) : " +
                     item.Text);
      }
    }
    order.emplace_back(column, item.Descending);
  }
  orderBy_[&s] = std::move(order);
}

// --- Tables ---

TTableMgr& TZuzQueryProvider::TablesFor(const std::string& name, bool temporary,
                                        std::string& actual) {
  if (!temporary && env_.Disk) {
    actual = catalogue_.ActualName(name, false);
    if (!actual.empty()) return *env_.Disk;
  }
  if (env_.Memory) {
    actual = catalogue_.ActualName(name, true);
    if (!actual.empty()) return *env_.Memory;
  }
  actual.clear();
  SqlExecError("Table not found - " + name);
}

TOpenTable& TZuzQueryProvider::OpenTable(const TSqlTableName& name) {
  std::string key = (name.Memory ? "m:" : "d:") + Lower(name.Name);
  auto it = tables_.find(key);
  if (it != tables_.end()) return *it->second;
  TTableMgr* mgr = name.Memory ? env_.Memory : env_.Disk;
  if (!mgr) SqlExecError("Table not found - " + name.Name);
  std::string actual = catalogue_.ActualName(name.Name, name.Memory);
  if (actual.empty()) SqlExecError("Table not found - " + name.Name);
  auto table = mgr->OpenTable(actual);
  TOpenTable& t = *table;
  tables_.emplace(key, std::move(table));
  return t;
}

void TZuzQueryProvider::CloseTables() {
  // Back to their managers, which keep them for the next statement on the same tables.
  for (auto& [key, table] : tables_) {
    TTableMgr* mgr = key[0] == 'm' ? env_.Memory : env_.Disk;
    if (mgr) mgr->ReturnTable(std::move(table));
  }
  tables_.clear();
  readChecked_.clear();
  subqueryCache_.clear();
  subqueryLast_.clear();
}

// --- Subqueries ---

bool TZuzQueryProvider::Correlated(const TSqlSelect& select) {
  auto c = correlated_.find(&select);
  if (c != correlated_.end()) return c->second;
  bool correlated = false;
  auto f = [&](const TSqlColumnRef& col, int depth) {
    if (col.OuterLevel > depth) correlated = true;
  };
  WalkSelectColumns(select, 0, f);
  correlated_[&select] = correlated;
  return correlated;
}

const std::vector<TZuzRow>& TZuzQueryProvider::RunSubquery(const TSqlSelect& select,
                                                           const TZuzEvalContext& outer,
                                                           size_t& columnCount) {
  auto cached = subqueryCache_.find(&select);
  if (cached != subqueryCache_.end()) {
    columnCount = cached->second->Columns.size();
    return cached->second->Rows;
  }
  const bool correlated = Correlated(select);
  std::unique_ptr<TZuzResultSet> result = RunSelect(select, &outer, 0);
  columnCount = result->Columns.size();
  auto& slot = correlated ? subqueryLast_[&select] : subqueryCache_[&select];
  slot = std::move(result);
  return slot->Rows;
}

// --- Queries ---

struct TZuzQueryProvider::TAccumulator {
  int64_t Count = 0;
  double Value = 0;
  bool Seen = false;
  std::unique_ptr<std::set<double>> Distinct;
};

namespace {

double AggregateNumber(const TZuzValue& v) {
  if (v.Kind == TZuzValueKind::Text) {
    double d = 0;
    std::string_view t = v.Text;
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    if (!SqlNumberValue(t, d)) {
      SqlExecError("Aggregate column data conversion error : '" + v.Text +
                   "' is not a valid floating point value");
    }
    return d;
  }
  return v.Number;
}

void Accumulate(const TSqlAggregate& a, double d, int64_t& count, double& value, bool& seen) {
  ++count;
  switch (a.Func) {
    case TSqlAggregateFunc::Sum:
    case TSqlAggregateFunc::Avg:
      value += d;
      break;
    case TSqlAggregateFunc::Max:
      value = seen ? std::max(value, d) : d;
      break;
    case TSqlAggregateFunc::Min:
      value = seen ? std::min(value, d) : d;
      break;
    case TSqlAggregateFunc::Count:
      break;
  }
  seen = true;
}

}  // namespace

struct TZuzQueryProvider::TSpecRun {
  std::vector<std::unique_ptr<TZuzSourceProvider>> Providers;
};

std::unique_ptr<TZuzResultSet> TZuzQueryProvider::RunSelect(const TSqlSelect& select,
                                                            const TZuzEvalContext* outer,
                                                            int maxRecords) {
  auto result = std::make_unique<TZuzResultSet>(ev_->Order());
  bool unionDistinct = false;
  for (const TSqlUnionPart& part : select.Unions) unionDistinct = unionDistinct || !part.All;
  RunSpec(*select.Query, outer, *result, maxRecords, unionDistinct);
  for (const TSqlUnionPart& part : select.Unions) {
    if (maxRecords > 0 && static_cast<int>(result->Rows.size()) >= maxRecords) break;
    TZuzResultSet next(ev_->Order());
    RunSpec(*part.Query, outer, next, 0, false);
    if (next.Columns.size() != result->Columns.size()) {
      SqlExecError("Union statement column counts do not match");
    }
    for (TZuzRow& row : next.Rows) {
      for (size_t i = 0; i < row.size(); ++i) {
        F to = result->Columns[i].Type;
        if (!SqlCanConvert(next.Columns[i].Type, to)) {
          SqlExecError("Cannot convert type " + SqlTypeName(next.Columns[i].Type) + " -> " +
                       SqlTypeName(to));
        }
        row[i] = ConvertValue(row[i], to, "TZuzQuery");
      }
      if (part.All && result->HasDistinct()) {
        result->Rows.push_back(std::move(row));  // ALL: no check against what is there
      } else {
        result->Add(std::move(row));
      }
      if (maxRecords > 0 && static_cast<int>(result->Rows.size()) >= maxRecords) break;
    }
  }
  auto order = orderBy_.find(&select);
  if (order != orderBy_.end() && !order->second.empty()) {
    std::vector<int> columns;
    std::vector<bool> descending;
    for (const auto& [c, d] : order->second) {
      columns.push_back(c);
      descending.push_back(d);
    }
    result->OrderBy(columns, descending);
  }
  return result;
}

void TZuzQueryProvider::RunSpec(const TSqlQuerySpec& q, const TZuzEvalContext* outer,
                                TZuzResultSet& result, int maxRecords, bool distinct) {
  if (!q.OutputsKnown) SqlExecError("Field not found");
  result.Columns.clear();
  for (const TSqlOutputColumn& o : q.Outputs) {
    result.Columns.push_back(TZuzResultColumn{o.Name, ResultType(o.Type), o.Size});
  }
  const bool grouped = IsGrouped(q);
  if (q.Distinct || distinct) result.UseDistinct();
  const size_t nSources = q.Sources.size();

  // The fields of each source that the statement reads (blobs are read only when used).
  std::vector<std::vector<bool>> needed(nSources);
  for (size_t s = 0; s < nSources; ++s) needed[s].assign(q.Sources[s]->Columns.size(), false);
  auto mark = [&](const TSqlColumnRef& c, int depth) {
    if (c.OuterLevel == depth && c.SourceIndex >= 0 && c.OutputIndex < 0 &&
        static_cast<size_t>(c.SourceIndex) < nSources &&
        static_cast<size_t>(c.FieldIndex) < needed[static_cast<size_t>(c.SourceIndex)].size()) {
      needed[static_cast<size_t>(c.SourceIndex)][static_cast<size_t>(c.FieldIndex)] = true;
    }
  };
  WalkSpecColumns(q, 0, mark);
  for (const TSqlOutputColumn& o : q.Outputs) {
    if (o.SourceIndex >= 0 && o.FieldIndex >= 0) {
      needed[static_cast<size_t>(o.SourceIndex)][static_cast<size_t>(o.FieldIndex)] = true;
    }
  }

  // Providers.
  std::vector<std::unique_ptr<TZuzSourceProvider>> providers;
  for (size_t s = 0; s < nSources; ++s) {
    const TSqlTableSource* src = q.Sources[s];
    if (src->Kind() == TSqlTableRefKind::Table) {
      const TSqlTableName& name = src->As<TSqlTableName>();
      TOpenTable& table = OpenTable(name);
      if (env_.CheckRead && !name.Memory && readChecked_.insert(table.Def().TableName).second) {
        env_.CheckRead(table.Def().TableName);
      }
      providers.push_back(
          std::make_unique<TZuzSourceProvider>(static_cast<int>(s), table, needed[s], Stats));
    } else {
      std::unique_ptr<TZuzResultSet> rows =
          RunSelect(*src->As<TSqlDerivedTable>().Select, outer, 0);
      providers.push_back(
          std::make_unique<TZuzSourceProvider>(static_cast<int>(s), std::move(rows->Rows), Stats));
    }
  }

  // The chain of joins, in the order written.
  std::vector<TZuzJoinStep> steps;
  std::function<void(const TSqlTableRef&, TSqlJoinType, std::vector<const TSqlExpr*>)> flatten =
      [&](const TSqlTableRef& ref, TSqlJoinType type, std::vector<const TSqlExpr*> on) {
        if (ref.Kind() != TSqlTableRefKind::Join) {
          steps.push_back(TZuzJoinStep{ref.As<TSqlTableSource>().SourceIndex, type, std::move(on)});
          return;
        }
        const auto& j = ref.As<TSqlJoin>();
        flatten(*j.Left, type, std::move(on));
        std::vector<const TSqlExpr*> joinOn;
        SplitAnd(j.On.get(), joinOn);
        // USING and NATURAL: equalities of the named (or all common) columns.
        std::vector<std::string> names;
        for (const TSqlName& n : j.Using) names.push_back(n.Name);
        const TSqlTableRef* rightRef = j.Right.get();
        while (rightRef->Kind() == TSqlTableRefKind::Join)
          rightRef = rightRef->As<TSqlJoin>().Left.get();
        const auto& right = rightRef->As<TSqlTableSource>();
        const size_t before = steps.size();
        if (j.Natural && names.empty()) {
          for (const TSqlColumnInfo& c : right.Columns) {
            if (c.Hidden) continue;
            for (size_t k = 0; k < before; ++k) {
              if (q.Sources[static_cast<size_t>(steps[k].Source)]->FindColumn(c.Name) >= 0) {
                names.push_back(c.Name);
                break;
              }
            }
          }
        }
        for (const std::string& name : names) {
          int rf = right.FindColumn(name);
          const TSqlTableSource* left = nullptr;
          int lf = -1;
          for (size_t k = 0; k < before && !left; ++k) {
            const TSqlTableSource* cand = q.Sources[static_cast<size_t>(steps[k].Source)];
            lf = cand->FindColumn(name);
            if (lf >= 0) left = cand;
          }
          if (rf < 0 || !left) SqlExecError("Field not found : " + name);
          auto cmp = std::make_unique<TSqlComparison>();
          auto l = std::make_unique<TSqlColumnRef>();
          l->Name = name;
          l->SourceIndex = left->SourceIndex;
          l->FieldIndex = lf;
          l->Type = left->Columns[static_cast<size_t>(lf)].Type;
          auto r = std::make_unique<TSqlColumnRef>();
          r->Name = name;
          r->SourceIndex = right.SourceIndex;
          r->FieldIndex = rf;
          r->Type = right.Columns[static_cast<size_t>(rf)].Type;
          cmp->Left = std::move(l);
          cmp->Right = std::move(r);
          cmp->Type = F::ftBoolean;
          joinOn.push_back(cmp.get());
          synthesized_.push_back(std::move(cmp));
        }
        flatten(*j.Right, j.Type, std::move(joinOn));
      };
  for (const TSqlTableRefPtr& ref : q.From) flatten(*ref, TSqlJoinType::Inner, {});
  std::vector<int> position(nSources, 0);
  for (size_t i = 0; i < steps.size(); ++i)
    position[static_cast<size_t>(steps[i].Source)] = static_cast<int>(i);

  // Sources that an outer join may fill with NULLs.
  std::vector<bool> nullable(nSources, false);
  for (size_t i = 1; i < steps.size(); ++i) {
    TSqlJoinType t = steps[i].Type;
    if (t == TSqlJoinType::Left || t == TSqlJoinType::Full || t == TSqlJoinType::Union) {
      nullable[static_cast<size_t>(steps[i].Source)] = true;
    }
    if (t == TSqlJoinType::Right || t == TSqlJoinType::Full || t == TSqlJoinType::Union) {
      for (size_t k = 0; k < i; ++k) nullable[static_cast<size_t>(steps[k].Source)] = true;
    }
  }
  // ON conditions over the joined source alone narrow that source (inner and left joins).
  for (size_t i = 0; i < steps.size(); ++i) {
    TZuzJoinStep& st = steps[i];
    if (st.Type != TSqlJoinType::Inner && st.Type != TSqlJoinType::Left) continue;
    std::vector<const TSqlExpr*> keep;
    for (const TSqlExpr* c : st.On) {
      std::set<int> used = SourcesOf(*c);
      if (used.size() == 1 && *used.begin() == st.Source) {
        providers[static_cast<size_t>(st.Source)]->Selection.push_back(c);
      } else {
        keep.push_back(c);
      }
    }
    st.On = std::move(keep);
  }
  // WHERE: selections, join conditions, and the rest.
  std::vector<const TSqlExpr*> conjuncts;
  SplitAnd(q.Where.get(), conjuncts);
  std::vector<const TSqlExpr*> residual;
  for (const TSqlExpr* c : conjuncts) {
    std::set<int> used = SourcesOf(*c);
    if (used.size() == 1 && !nullable[static_cast<size_t>(*used.begin())]) {
      providers[static_cast<size_t>(*used.begin())]->Selection.push_back(c);
      continue;
    }
    if (used.size() == 2 && !HasSubquery(*c)) {
      int a = *used.begin();
      int b = *used.rbegin();
      size_t later = static_cast<size_t>(
          std::max(position[static_cast<size_t>(a)], position[static_cast<size_t>(b)]));
      TSqlJoinType t = steps[later].Type;
      if (!nullable[static_cast<size_t>(a)] && !nullable[static_cast<size_t>(b)] &&
          (t == TSqlJoinType::Inner || t == TSqlJoinType::Cross)) {
        steps[later].Type = TSqlJoinType::Inner;
        steps[later].On.push_back(c);
        continue;
      }
    }
    residual.push_back(c);
  }

  TZuzEvalContext base;
  base.Rows.assign(nSources, nullptr);
  base.Outer = outer;
  // SELECT MAX(column) or MIN(column) FROM one table: the end of an index on the column.
  if (grouped && steps.size() == 1 && q.GroupBy.empty() && !q.Having && residual.empty() &&
      q.Items.size() == 1 && q.Items[0].Expr &&
      q.Items[0].Expr->Kind() == TSqlExprKind::Aggregate) {
    const auto& a = q.Items[0].Expr->As<TSqlAggregate>();
    if ((a.Func == TSqlAggregateFunc::Max || a.Func == TSqlAggregateFunc::Min) && !a.Distinct &&
        a.Argument && a.Argument->Kind() == TSqlExprKind::Column) {
      const auto& c = a.Argument->As<TSqlColumnRef>();
      if (c.OuterLevel == 0 && c.OutputIndex < 0 && c.SourceIndex == steps[0].Source) {
        providers[static_cast<size_t>(c.SourceIndex)]->PlanExtreme(
            c.FieldIndex, a.Func == TSqlAggregateFunc::Max);
      }
    }
  }
  // The outer side of the first inner join: the source with fewer candidates.
  for (auto& p : providers) {
    if (p->Table()) p->Plan(*ev_, base);
  }
  if (steps.size() >= 2 &&
      (steps[1].Type == TSqlJoinType::Inner || steps[1].Type == TSqlJoinType::Cross)) {
    TZuzSourceProvider& a = *providers[static_cast<size_t>(steps[0].Source)];
    TZuzSourceProvider& b = *providers[static_cast<size_t>(steps[1].Source)];
    if (b.CandidateCount() < a.CandidateCount() ||
        (b.CandidateCount() == a.CandidateCount() && b.HasSelection() && !a.HasSelection())) {
      std::swap(steps[0].Source, steps[1].Source);
    }
  }

  std::vector<TZuzSourceProvider*> raw;
  for (auto& p : providers) raw.push_back(p.get());
  TZuzJoinDataProvider joins(raw, *ev_, outer, Stats);
  joins.Run(steps);
  TDBLogger::Instance().AddLine("TZuzQueryProvider", "Plan: " + joins.PlanText());

  TZuzEvalContext ctx = base;
  auto outputRow = [&](TZuzRow& row) {
    row.clear();
    row.reserve(q.Outputs.size());
    for (const TSqlOutputColumn& o : q.Outputs) {
      const TSqlSelectItem* item =
          o.ItemIndex >= 0 ? &q.Items[static_cast<size_t>(o.ItemIndex)] : nullptr;
      if (!item || item->TableStar) {
        const TZuzValue* r = ctx.Rows[static_cast<size_t>(o.SourceIndex)];
        row.push_back(r ? r[o.FieldIndex] : TZuzValue::Null());
      } else {
        row.push_back(ev_->Eval(*item->Expr, ctx));
      }
      F type = result.Columns[row.size() - 1].Type;
      if (!row.back().IsNull() && IsWholeValueType(type) &&
          row.back().Kind == TZuzValueKind::Number) {
        row.back().Type = type;
      }
    }
  };

  const size_t count = joins.Count();
  if (!grouped) {
    TZuzRow row;
    for (size_t i = 0; i < count; ++i) {
      if (maxRecords > 0 && static_cast<int>(result.Rows.size()) >= maxRecords) break;
      joins.Bind(i, ctx);
      bool ok = true;
      for (const TSqlExpr* c : residual) {
        if (!ev_->Holds(c, ctx)) {
          ok = false;
          break;
        }
      }
      if (!ok) continue;
      outputRow(row);
      result.Add(std::move(row));
    }
    return;
  }

  // Grouped: one accumulator per aggregate and group.
  std::vector<const TSqlAggregate*> aggregates;
  for (const TSqlSelectItem& item : q.Items) {
    if (item.Expr) CollectAggregates(*item.Expr, aggregates);
  }
  if (q.Having) CollectAggregates(*q.Having, aggregates);
  std::unordered_map<const TSqlExpr*, int> aggIndex;
  for (size_t i = 0; i < aggregates.size(); ++i) aggIndex[aggregates[i]] = static_cast<int>(i);
  std::vector<size_t> keyOutputs;  // the non-aggregate output columns
  for (size_t i = 0; i < q.Outputs.size(); ++i) {
    const TSqlOutputColumn& o = q.Outputs[i];
    if (o.ItemIndex >= 0 && q.Items[static_cast<size_t>(o.ItemIndex)].Aggregate) continue;
    keyOutputs.push_back(i);
  }
  struct TGroup {
    long long Rep = -1;  // a joined row of the group
    std::vector<TAccumulator> Acc;
  };
  std::vector<TGroup> groups;
  TZuzGroupIndex index(ev_->Order());
  auto newGroup = [&] {
    groups.emplace_back();
    groups.back().Acc.resize(aggregates.size());
    for (size_t k = 0; k < aggregates.size(); ++k) {
      if (aggregates[k]->Distinct)
        groups.back().Acc[k].Distinct = std::make_unique<std::set<double>>();
    }
  };
  const bool byGroup = !q.GroupBy.empty();
  if (!byGroup) newGroup();
  TZuzRow key;
  for (size_t i = 0; i < count; ++i) {
    joins.Bind(i, ctx);
    bool ok = true;
    for (const TSqlExpr* c : residual) {
      if (!ev_->Holds(c, ctx)) {
        ok = false;
        break;
      }
    }
    if (!ok) continue;
    size_t g = 0;
    if (byGroup) {
      key.clear();
      for (size_t k : keyOutputs) {
        const TSqlOutputColumn& o = q.Outputs[k];
        const TSqlSelectItem* item =
            o.ItemIndex >= 0 ? &q.Items[static_cast<size_t>(o.ItemIndex)] : nullptr;
        if (!item || item->TableStar) {
          const TZuzValue* r = ctx.Rows[static_cast<size_t>(o.SourceIndex)];
          key.push_back(r ? r[o.FieldIndex] : TZuzValue::Null());
        } else {
          key.push_back(ev_->Eval(*item->Expr, ctx));
        }
      }
      int found = index.Find(key);
      if (found < 0) {
        if (maxRecords > 0 && static_cast<int>(groups.size()) >= maxRecords) {
          ZuzDatabaseError(
              ZUZ_ERR_SQL, "TZuzQueryDataset",
              "Result set limit of " + std::to_string(maxRecords) + " has been exceeded");
        }
        newGroup();
        found = static_cast<int>(groups.size()) - 1;
        index.Add(key, found);
      }
      g = static_cast<size_t>(found);
    }
    TGroup& group = groups[g];
    if (group.Rep < 0) group.Rep = static_cast<long long>(i);
    for (size_t k = 0; k < aggregates.size(); ++k) {
      const TSqlAggregate& a = *aggregates[k];
      TAccumulator& acc = group.Acc[k];
      if (a.Star) {
        ++acc.Count;
        continue;
      }
      TZuzValue v = ev_->Eval(*a.Argument, ctx);
      if (v.IsNull()) continue;
      if (a.Func == TSqlAggregateFunc::Count && !a.Distinct) {
        ++acc.Count;
        continue;
      }
      double d = AggregateNumber(v);
      if (a.Distinct) {
        acc.Distinct->insert(d);
      } else {
        Accumulate(a, d, acc.Count, acc.Value, acc.Seen);
      }
    }
  }
  std::vector<TZuzValue> aggValues(aggregates.size());
  TZuzRow row;
  for (TGroup& group : groups) {
    for (size_t k = 0; k < aggregates.size(); ++k) {
      const TSqlAggregate& a = *aggregates[k];
      TAccumulator& acc = group.Acc[k];
      if (a.Distinct) {
        acc.Count = 0;
        acc.Value = 0;
        acc.Seen = false;
        for (double d : *acc.Distinct) Accumulate(a, d, acc.Count, acc.Value, acc.Seen);
      }
      double v = 0;
      switch (a.Func) {
        case TSqlAggregateFunc::Count:
          v = static_cast<double>(acc.Count);
          break;
        case TSqlAggregateFunc::Avg:
          v = acc.Count > 0 ? acc.Value / static_cast<double>(acc.Count) : 0;
          break;
        default:
          v = acc.Seen ? acc.Value : 0;
          break;
      }
      aggValues[k] = TZuzValue::Num(v);
    }
    if (group.Rep >= 0) {
      joins.Bind(static_cast<size_t>(group.Rep), ctx);
    } else {
      std::fill(ctx.Rows.begin(), ctx.Rows.end(), nullptr);
    }
    ctx.Aggregates = aggValues.data();
    ctx.AggregateIndex = &aggIndex;
    ctx.Outputs = nullptr;
    outputRow(row);
    if (q.Having) {
      ctx.Outputs = row.data();
      bool keep = ev_->Holds(q.Having.get(), ctx);
      ctx.Outputs = nullptr;
      if (!keep) continue;
    }
    result.Add(std::move(row));
  }
  ctx.Aggregates = nullptr;
  ctx.AggregateIndex = nullptr;
}

std::unique_ptr<TZuzResultSet> TZuzQueryProvider::Open(std::string_view caller) {
  if (!statement_) ZuzDatabaseError(ZUZ_ERR_SQL, caller, "SQL statement is not prepared");
  if (!statement_->IsQuery()) {
    ZuzDatabaseError(ZUZ_ERR_SQL, caller, "SQL statement cannot be opened (execute by ExecSQL)");
  }
  struct TCloser {
    TZuzQueryProvider* p;
    ~TCloser() { p->CloseTables(); }
  } closer{this};
  try {
    auto result = RunSelect(statement_->As<TSqlSelect>(), nullptr, MaxRecords);
    return result;
  } catch (const EZuzSqlFailure& e) {
    ZuzDatabaseError(ZUZ_ERR_SQL, caller, e.what());
  }
}

std::unique_ptr<TZuzSourceProvider> TZuzQueryProvider::Matching(TOpenTable& table,
                                                                const TSqlExpr* where,
                                                                const std::vector<bool>& needed,
                                                                std::vector<int>& rows) {
  auto p = std::make_unique<TZuzSourceProvider>(0, table, needed, Stats);
  SplitAnd(where, p->Selection);
  TZuzEvalContext ctx;
  ctx.Rows.assign(1, nullptr);
  p->Plan(*ev_, ctx);
  rows = p->Materialize(*ev_, ctx);
  return p;
}

int64_t TZuzQueryProvider::RunInsert(const TSqlInsert& insert) {
  TOpenTable& table = OpenTable(*insert.Table);
  const char* caller = "TZuzQuery.ExecSQL";
  if (!insert.Select) {
    TZuzEvalContext ctx;
    table.NewRecord();
    const int autoInc = table.Def().AutoIncField();
    bool givenId = false;
    for (size_t i = 0; i < insert.Values.size(); ++i) {
      TZuzValue v = ev_->Eval(*insert.Values[i], ctx);
      if (insert.FieldIndexes[i] == autoInc && !v.IsNull()) {
        // A row put back under the id it had: a whole number from 1 that no row holds.
        const bool whole = v.Kind != TZuzValueKind::Number || v.Number == std::floor(v.Number);
        const TZuzValue id = ConvertValue(v, TFieldType::ftInteger, caller);
        if (!whole || id.Number < 1 || id.Number > std::numeric_limits<int32_t>::max()) {
          SqlExecError("The value " + ValueToText(v) + " is out of range for the AUTOINC column " +
                       table.Def().InternalFields[static_cast<size_t>(autoInc)].FieldName +
                       " (1 to 2147483647)");
        }
        givenId = true;
      }
      AssignValueToField(table, insert.FieldIndexes[i], v, caller);
    }
    table.AcceptGivenAutoInc = givenId;
    try {
      table.AddRecord();
    } catch (...) {
      table.AcceptGivenAutoInc = false;
      throw;
    }
    table.AcceptGivenAutoInc = false;
    return 1;
  }
  std::unique_ptr<TZuzResultSet> rows = RunSelect(*insert.Select, nullptr, 0);
  int64_t n = 0;
  for (const TZuzRow& row : rows->Rows) {
    table.NewRecord();
    for (size_t i = 0; i < row.size() && i < insert.FieldIndexes.size(); ++i) {
      AssignValueToField(table, insert.FieldIndexes[i], row[i], caller);
    }
    table.AddRecord();
    ++n;
  }
  return n;
}

int64_t TZuzQueryProvider::RunUpdate(const TSqlUpdate& update) {
  TOpenTable& table = OpenTable(*update.Table);
  const char* caller = "TZuzQuery.ExecSQL";
  const TTableDef& def = table.Def();
  std::vector<bool> needed(def.InternalFields.size(), false);
  auto mark = [&](const TSqlColumnRef& c, int depth) {
    if (c.OuterLevel == depth && c.SourceIndex == 0 &&
        static_cast<size_t>(c.FieldIndex) < needed.size()) {
      needed[static_cast<size_t>(c.FieldIndex)] = true;
    }
  };
  for (const TSqlSetItem& item : update.Items) WalkColumns(*item.Value, 0, mark);
  if (update.Where) WalkColumns(*update.Where, 0, mark);
  std::vector<int> rows;
  auto p = Matching(table, update.Where.get(), needed, rows);
  int64_t n = 0;
  for (int r : rows) {
    TZuzRow values(p->Row(r), p->Row(r) + def.InternalFields.size());
    TZuzEvalContext ctx;
    ctx.Rows.assign(1, values.data());
    std::vector<std::pair<int, TZuzValue>> changes;
    for (const TSqlSetItem& item : update.Items) {
      TZuzValue v = ev_->Eval(*item.Value, ctx);
      F type = def.InternalFields[static_cast<size_t>(item.FieldIndex)].DataType;
      if (!v.IsNull() && !IsBlobFieldType(type)) v = ConvertValue(v, type, caller);
      values[static_cast<size_t>(item.FieldIndex)] = v;
      changes.emplace_back(item.FieldIndex, std::move(v));
    }
    if (!table.ReadRecord(p->Address(r))) continue;
    for (const auto& [field, v] : changes) AssignValueToField(table, field, v, caller);
    table.UpdateRecord();
    ++n;
  }
  return n;
}

int64_t TZuzQueryProvider::RunDelete(const TSqlDelete& del) {
  TOpenTable& table = OpenTable(*del.Table);
  std::vector<bool> needed(table.Def().InternalFields.size(), false);
  // The columns the condition reads (a blob's contents are read only when asked for).
  auto mark = [&](const TSqlColumnRef& c, int depth) {
    if (c.OuterLevel == depth && c.SourceIndex == 0 &&
        static_cast<size_t>(c.FieldIndex) < needed.size()) {
      needed[static_cast<size_t>(c.FieldIndex)] = true;
    }
  };
  if (del.Where) WalkColumns(*del.Where, 0, mark);
  std::vector<int> rows;
  auto p = Matching(table, del.Where.get(), needed, rows);
  std::vector<uint32_t> addresses;
  for (int r : rows) addresses.push_back(p->Address(r));
  int64_t n = 0;
  for (uint32_t a : addresses) {
    if (!table.ReadRecord(a)) continue;
    if (table.DeleteRecord(false) == 0) ++n;
  }
  return n;
}

namespace {

TFieldDesc FieldFromType(const std::string& name, const TSqlDataType& t, bool notNull) {
  TFieldDesc f;
  f.Name = name;
  f.DataType = t.Type;
  f.Required = notNull;
  if (t.Type == F::ftString || t.Type == F::ftBytes) f.Size = t.HasSize ? t.Size : 1;
  if ((t.Type == F::ftFloat || t.Type == F::ftCurrency) && t.HasScale) {
    f.NumDecimalPlaces = t.Scale;
  }
  return f;
}

std::string JoinNames(const std::vector<TSqlName>& names) {
  std::string out;
  for (const TSqlName& n : names) {
    if (!out.empty()) out += ";";
    out += n.Name;
  }
  return out;
}

}  // namespace

void TZuzQueryProvider::RunAlter(const TSqlAlterTable& alter) {
  const char* caller = "TZuzQuery.ExecSQL";
  std::string actual;
  TTableMgr& tables = TablesFor(alter.Table, false, actual);
  const TTableDef old = tables.InternalGetTableDef(actual);
  // The columns as the actions leave them, each action checked against what the ones before it
  // made; source is the old field a column takes its values from (-1 for a new one).
  struct TColumn {
    TFieldDesc desc;
    int source;
  };
  std::vector<TColumn> columns;
  for (const TInternalFieldItem& item : old.InternalFields) {
    if (item.Hidden) continue;
    TFieldDesc d;
    d.Name = item.FieldName;
    d.DataType = item.DataType;
    d.Size = item.DataType == F::ftString  ? item.FieldSize - 1
             : item.DataType == F::ftBytes ? item.FieldSize
                                           : 0;
    d.Required = item.Required;
    d.NumDecimalPlaces = item.NumDecimalPlaces;
    columns.push_back({d, item.FieldNo});
  }
  auto find = [&](const std::string& name) {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (SameName(columns[i].desc.Name, name)) return static_cast<int>(i);
    }
    return -1;
  };
  auto existing = [&](const std::string& name) {
    const int i = find(name);
    if (i < 0) ZuzDatabaseError(ZUZ_ERR_NO_SUCH_FIELD, caller, name);
    return static_cast<size_t>(i);
  };
  std::vector<std::pair<std::string, std::string>> renames;
  bool onlyRenames = true;
  for (const TSqlAlterAction& a : alter.Actions) {
    switch (a.Kind) {
      case TSqlAlterKind::AddColumn:
        if (find(a.Column) >= 0)
          ZuzDatabaseError(ZUZ_ERR_FIELD_NAME, caller, "Duplicate field name " + a.Column);
        columns.push_back({FieldFromType(a.Column, a.Type, a.NotNull), -1});
        break;
      case TSqlAlterKind::DropColumn:
        columns.erase(columns.begin() + static_cast<std::ptrdiff_t>(existing(a.Column)));
        break;
      case TSqlAlterKind::RenameColumn: {
        const size_t i = existing(a.Column);
        CheckFieldName(a.NewName);
        const int taken = find(a.NewName);
        if (taken >= 0 && static_cast<size_t>(taken) != i) {
          ZuzDatabaseError(ZUZ_ERR_FIELD_NAME, caller, "Duplicate field name " + a.NewName);
        }
        renames.emplace_back(columns[i].desc.Name, a.NewName);
        columns[i].desc.Name = a.NewName;
        continue;
      }
      case TSqlAlterKind::RetypeColumn: {
        TColumn& c = columns[existing(a.Column)];
        const TFieldDesc n = FieldFromType(c.desc.Name, a.Type, c.desc.Required);
        c.desc.DataType = n.DataType;
        c.desc.Size = n.Size;
        c.desc.NumDecimalPlaces = n.NumDecimalPlaces;
        break;
      }
    }
    onlyRenames = false;
  }
  // Renames alone change the definition in place.
  if (onlyRenames) {
    RenameFields(tables, actual, renames);
    return;
  }
  std::vector<TFieldDesc> fields;
  for (const TColumn& c : columns) fields.push_back(c.desc);
  // The indexes follow their columns' new names; an index of a dropped column goes with it.
  std::vector<TIndexDesc> indexes;
  for (const TInternalIndexDef& ix : old.InternalIndexDefs) {
    if (ix.Hidden) continue;
    TIndexDesc d;
    d.Name = ix.IndexName;
    d.Primary = ix.Primary;
    d.Unique = ix.Unique;
    std::string list, desc, caseIns;
    bool keep = true;
    for (const TKeyFieldItem& k : old.KeyFieldsOf(ix.IndexName)) {
      if (k.Hidden) continue;
      auto c = std::find_if(columns.begin(), columns.end(),
                            [&](const TColumn& c) { return c.source == k.PhysicalFieldNo; });
      if (c == columns.end()) {
        keep = false;
        break;
      }
      const std::string& name = c->desc.Name;
      list += (list.empty() ? "" : ";") + name;
      if (k.Descending) desc += (desc.empty() ? "" : ";") + name;
      if (k.CaseInsensitive) caseIns += (caseIns.empty() ? "" : ";") + name;
    }
    d.Fields = list;
    d.DescFields = desc;
    d.CaseInsFields = caseIns;
    if (keep && !list.empty()) indexes.push_back(d);
  }
  RebuildTable(tables, actual, fields, indexes, [&](TOpenTable& from, TOpenTable& to) {
    for (size_t i = 0; i < columns.size(); ++i) {
      const int sf = columns[i].source;
      if (sf < 0) continue;
      const F type = old.InternalFields[static_cast<size_t>(sf)].DataType;
      TZuzValue v;
      if (IsBlobFieldType(type)) {
        if (!from.IsNull(sf)) v = TZuzValue::Str(from.GetBlob(sf));
      } else {
        v = ValueFromField(from.GetValue(sf), type);
      }
      AssignValueToField(to, static_cast<int>(i), v, caller);
    }
  });
}

void TZuzQueryProvider::RunSchema(const TSqlStatement& st) {
  std::string actual;
  switch (st.Kind()) {
    case TSqlStatementKind::CreateTable: {
      const auto& c = st.As<TSqlCreateTable>();
      TTableMgr* tables = (c.Temporary || !env_.Disk) ? env_.Memory : env_.Disk;
      std::vector<TFieldDesc> fields;
      for (const TSqlColumnDef& col : c.Columns) {
        fields.push_back(FieldFromType(col.Name, col.Type, col.NotNull));
      }
      std::vector<TIndexDesc> indexes;
      if (!c.PrimaryKey.empty()) {
        TIndexDesc pk;
        pk.Fields = JoinNames(c.PrimaryKey);
        pk.Primary = true;
        pk.Unique = true;
        indexes.push_back(pk);
      }
      // Names beginning with "$" are the engine's own tables, which statements don't reach.
      if (!c.Table.empty() && c.Table[0] == '$') {
        ZuzDatabaseError(ZUZ_ERR_TABLE_NAME, "TZuzQuery.ExecSQL",
                         c.Table + ": a table name can't begin with $");
      }
      for (const TSqlTableIndex& declared : c.Indexes) {
        TIndexDesc index;
        index.Name = declared.Name;
        index.Fields = JoinNames(declared.Columns);
        index.Unique = declared.Unique;
        indexes.push_back(index);
      }
      if (!catalogue_.ActualName(c.Table, tables == env_.Memory).empty()) {
        ZuzDatabaseError(ZUZ_ERR_TABLE_EXISTS, "TZuzQuery.ExecSQL", c.Table);
      }
      // Inside an open transaction the new table is part of it.
      tables->CreateTableInTransaction(c.Table, fields, indexes, tables->DefaultTableOptions());
      break;
    }
    case TSqlStatementKind::CreateIndex: {
      const auto& c = st.As<TSqlCreateIndex>();
      TTableMgr& tables = TablesFor(c.Table, c.Temporary, actual);
      const std::shared_ptr<const TTableDef> def = tables.SharedTableDef(actual);
      for (const TSqlName& column : c.Columns) {
        if (def->FindField(column.Name) < 0) SqlExecError("Field not found : " + column.Name);
      }
      TIndexDesc d;
      d.Name = c.IndexName;
      d.Fields = JoinNames(c.Columns);
      d.Unique = c.Unique;
      d.Descending = c.Order == TSqlIndexOrder::Descending;
      AddIndex(tables, actual, d, nullptr, Progress);
      break;
    }
    case TSqlStatementKind::DropTable: {
      const auto& d = st.As<TSqlDropTable>();
      TTableMgr& tables = TablesFor(d.Table, false, actual);
      tables.DeleteTable(actual);
      break;
    }
    case TSqlStatementKind::DropIndex: {
      const auto& d = st.As<TSqlDropIndex>();
      TTableMgr& tables = TablesFor(d.Table, false, actual);
      DropIndex(tables, actual, d.Primary ? std::string("primary") : d.IndexName, nullptr,
                Progress);
      break;
    }
    case TSqlStatementKind::AlterTable:
      RunAlter(st.As<TSqlAlterTable>());
      break;
    default:
      break;
  }
  catalogue_.Clear();
}

bool TZuzQueryProvider::RestructuresDiskTable() const {
  if (!statement_ || !env_.Disk) return false;
  std::string table;
  switch (statement_->Kind()) {
    case TSqlStatementKind::CreateIndex:
      if (statement_->As<TSqlCreateIndex>().Temporary) return false;
      table = statement_->As<TSqlCreateIndex>().Table;
      break;
    case TSqlStatementKind::DropIndex:
      table = statement_->As<TSqlDropIndex>().Table;
      break;
    case TSqlStatementKind::AlterTable:
      table = statement_->As<TSqlAlterTable>().Table;
      break;
    default:
      return false;
  }
  return !catalogue_.ActualName(table, false).empty();
}

int64_t TZuzQueryProvider::Execute(std::string_view caller) {
  if (!statement_) ZuzDatabaseError(ZUZ_ERR_SQL, caller, "SQL statement is not prepared");
  if (statement_->IsQuery()) {
    ZuzDatabaseError(ZUZ_ERR_SQL, caller, "SQL statement cannot be executed by ExecSQL");
  }
  struct TCloser {
    TZuzQueryProvider* p;
    ~TCloser() { p->CloseTables(); }
  } closer{this};
  try {
    switch (statement_->Kind()) {
      case TSqlStatementKind::Insert:
        return RunInsert(statement_->As<TSqlInsert>());
      case TSqlStatementKind::Update:
        return RunUpdate(statement_->As<TSqlUpdate>());
      case TSqlStatementKind::Delete:
        return RunDelete(statement_->As<TSqlDelete>());
      default:
        CloseTables();
        RunSchema(*statement_);
        return 0;
    }
  } catch (const EZuzSqlFailure& e) {
    ZuzDatabaseError(ZUZ_ERR_SQL, caller, e.what());
  }
}

}  // namespace zuz
