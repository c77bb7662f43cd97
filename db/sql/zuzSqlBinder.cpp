#include "db/sql/zuzSqlBinder.h"

#include <cmath>
#include <string_view>

#include "db/sql/zuzParserUtils.h"
#include "db/sql/zuzStrToDate.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"

namespace zuz {

namespace {

using F = TFieldType;

constexpr const char* kMismatch = "Expression data types do not match";
constexpr const char* kFieldNotFound = "Field not found";

bool IsNumericType(F t) {
  switch (t) {
    case F::ftSmallint:
    case F::ftInteger:
    case F::ftWord:
    case F::ftFloat:
    case F::ftCurrency:
    case F::ftBCD:
    case F::ftAutoInc:
    case F::ftLargeint:
    case F::ftBoolean:
      return true;
    default:
      return false;
  }
}

bool IsWholeNumberType(F t) {
  return t == F::ftSmallint || t == F::ftInteger || t == F::ftWord || t == F::ftAutoInc ||
         t == F::ftLargeint;
}

bool IsTextType(F t) {
  return t == F::ftString || t == F::ftFixedChar || t == F::ftWideString || t == F::ftMemo ||
         t == F::ftFmtMemo;
}

bool IsDateType(F t) {
  return t == F::ftDate || t == F::ftTime || t == F::ftDateTime;
}

bool IsBinaryType(F t) {
  return IsBlobFieldType(t) || t == F::ftBytes || t == F::ftVarBytes || t == F::ftParadoxOle ||
         t == F::ftDBaseOle || t == F::ftTypedBinary;
}

bool IsNullLiteral(const TSqlExpr& e) {
  return e.Kind() == TSqlExprKind::Literal &&
         e.As<TSqlLiteral>().LiteralKind == TSqlLiteralKind::Null;
}

bool IsUntyped(const TSqlExpr& e) {
  return e.Type == F::ftUnknown;
}

// A parameter or NULL takes the type of what it meets.
void TakeType(TSqlExpr& e, F type) {
  if (e.Type != F::ftUnknown || type == F::ftUnknown) return;
  if (e.Kind() == TSqlExprKind::Parameter) e.Type = type;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A constant compared with a column takes the column's type.
void ConvertConstant(TSqlExpr& column, TSqlExpr& other) {
  if (column.Kind() != TSqlExprKind::Column || other.Kind() != TSqlExprKind::Literal) return;
  F type = column.Type;
  auto& lit = other.As<TSqlLiteral>();
  if (type == F::ftUnknown || lit.Converted) return;
  switch (lit.LiteralKind) {
    case TSqlLiteralKind::String:
      if (IsDateType(type)) {
        lit.Number = ConvertStrToDateTime(lit.Text, type);
      } else if (IsNumericType(type) && type != F::ftBoolean) {
        if (!SqlNumberValue(Trimmed(lit.Text), lit.Number)) FailSqlAt(lit.Pos, kMismatch);
        if (IsWholeNumberType(type) && lit.Number != std::trunc(lit.Number)) {
          type = F::ftFloat;  // a number, but no whole one: it matches no integer
        }
      } else {
        return;
      }
      break;
    case TSqlLiteralKind::Number:
      if (type == F::ftBoolean) {
        lit.Boolean = lit.Number != 0;
      } else if (IsWholeNumberType(type)) {
        // Only a whole number becomes one: 1.5 stays a float and matches no integer.
        if (lit.Number != std::trunc(lit.Number) || std::fabs(lit.Number) > 9.0e15) return;
      } else if (!IsNumericType(type) && !IsTextType(type) && !IsDateType(type)) {
        return;
      }
      break;
    default:
      return;
  }
  lit.Type = type;
  lit.Converted = true;
}

}  // namespace

std::string SqlTypeName(TFieldType type) {
  std::string name = FieldTypeName(type);
  if (name.size() > 2 && name[0] == 'f' && name[1] == 't') name.erase(0, 2);
  return name;
}

bool SqlCanConvert(TFieldType from, TFieldType to) {
  if (from == F::ftUnknown || to == F::ftUnknown) return true;
  if (from == F::ftBoolean) {
    return !(to == F::ftFloat || to == F::ftCurrency || to == F::ftBCD || IsDateType(to) ||
             IsBinaryType(to));
  }
  if (IsBinaryType(from) && !IsTextType(from)) {
    return !(IsNumericType(to) || IsDateType(to));
  }
  return true;
}

struct TZuzSqlBinder::TScope {
  const std::vector<TSqlTableSource*>* Sources = nullptr;
  const TScope* Outer = nullptr;
  const TSqlQuerySpec* Spec = nullptr;  // for output names in HAVING
};

struct TZuzSqlBinder::TContext {
  bool InAggregate = false;
  bool InOn = false;
  bool InHaving = false;
  bool QuantifiedAllowed = false;
};

// --- Tables ---

void TZuzSqlBinder::LookupTable(TSqlTableName& table, std::vector<std::string>& errors,
                                bool updateTarget) {
  if (!catalogue_) return;
  const TTableDef* def = nullptr;
  bool memory = false;
  if (!table.Temporary) def = catalogue_->FindTable(table.Name, false);
  if (!def) {
    def = catalogue_->FindTable(table.Name, true);
    memory = def != nullptr;
  }
  if (!def) {
    if (updateTarget) {
      errors.push_back("Table and/or field not found" + SqlPositionSuffix(table.Pos));
    } else {
      errors.push_back("Table not found - " + table.Name);
    }
    return;
  }
  table.Memory = memory;
  table.ColumnsKnown = true;
  table.Columns.clear();
  for (const TInternalFieldItem& f : def->InternalFields) {
    int size = f.DataType == F::ftString ? f.FieldSize - 1 : f.FieldSize;
    table.Columns.push_back(TSqlColumnInfo{f.FieldName, f.DataType, size, f.Hidden});
  }
}

void TZuzSqlBinder::CheckExprTables(TSqlExpr& e, std::vector<std::string>& errors) {
  std::vector<TSqlExpr*> children;
  e.Children(children);
  for (TSqlExpr* c : children) CheckExprTables(*c, errors);
  if (TSqlSelect* q = e.Query()) CheckSelectTables(*q, errors);
}

void TZuzSqlBinder::CheckRefTables(TSqlTableRef& ref, std::vector<std::string>& errors) {
  switch (ref.Kind()) {
    case TSqlTableRefKind::Table:
      LookupTable(ref.As<TSqlTableName>(), errors, false);
      break;
    case TSqlTableRefKind::Derived:
      CheckSelectTables(*ref.As<TSqlDerivedTable>().Select, errors);
      break;
    case TSqlTableRefKind::Join: {
      auto& j = ref.As<TSqlJoin>();
      CheckRefTables(*j.Left, errors);
      CheckRefTables(*j.Right, errors);
      if (j.On) CheckExprTables(*j.On, errors);
      break;
    }
  }
}

void TZuzSqlBinder::CheckSelectTables(TSqlSelect& select, std::vector<std::string>& errors) {
  auto block = [&](TSqlQuerySpec& q) {
    for (TSqlTableRefPtr& ref : q.From) CheckRefTables(*ref, errors);
    for (TSqlSelectItem& item : q.Items) {
      if (item.Expr) CheckExprTables(*item.Expr, errors);
    }
    if (q.Where) CheckExprTables(*q.Where, errors);
    if (q.Having) CheckExprTables(*q.Having, errors);
  };
  block(*select.Query);
  for (TSqlUnionPart& part : select.Unions) block(*part.Query);
}

void TZuzSqlBinder::CheckTables(TSqlStatement& st, std::vector<std::string>& errors) {
  switch (st.Kind()) {
    case TSqlStatementKind::Select:
      CheckSelectTables(st.As<TSqlSelect>(), errors);
      break;
    case TSqlStatementKind::Insert: {
      auto& insert = st.As<TSqlInsert>();
      LookupTable(*insert.Table, errors, false);
      for (TSqlExprPtr& v : insert.Values) CheckExprTables(*v, errors);
      if (insert.Select) CheckSelectTables(*insert.Select, errors);
      break;
    }
    case TSqlStatementKind::Update: {
      auto& update = st.As<TSqlUpdate>();
      LookupTable(*update.Table, errors, true);
      for (TSqlSetItem& item : update.Items) CheckExprTables(*item.Value, errors);
      if (update.Where) CheckExprTables(*update.Where, errors);
      break;
    }
    case TSqlStatementKind::Delete: {
      auto& del = st.As<TSqlDelete>();
      LookupTable(*del.Table, errors, false);
      if (del.Where) CheckExprTables(*del.Where, errors);
      break;
    }
    default:
      break;
  }
}

// --- Queries ---

void TZuzSqlBinder::BindSelect(TSqlSelect& select, const TScope* outer) {
  BindSpec(*select.Query, outer);
  for (TSqlUnionPart& part : select.Unions) BindSpec(*part.Query, outer);
}

void TZuzSqlBinder::BindJoins(TSqlTableRef& ref, const TScope& scope) {
  if (ref.Kind() != TSqlTableRefKind::Join) return;
  auto& j = ref.As<TSqlJoin>();
  BindJoins(*j.Left, scope);
  BindJoins(*j.Right, scope);
  if (j.On) {
    TContext on;
    on.InOn = true;
    Bind(*j.On, scope, on);
  }
}

void TZuzSqlBinder::BindSpec(TSqlQuerySpec& q, const TScope* outer) {
  q.CollectSources();
  for (TSqlTableSource* src : q.Sources) {
    if (src->Kind() != TSqlTableRefKind::Derived) continue;
    auto& d = src->As<TSqlDerivedTable>();
    BindSelect(*d.Select, outer);
    const TSqlQuerySpec& inner = *d.Select->Query;
    d.ColumnsKnown = inner.OutputsKnown;
    d.Columns.clear();
    if (inner.OutputsKnown) {
      for (const TSqlOutputColumn& c : inner.Outputs) {
        d.Columns.push_back(TSqlColumnInfo{c.Name, c.Type, c.Size, false});
      }
    }
  }
  TScope scope{&q.Sources, outer, &q};
  for (TSqlTableRefPtr& ref : q.From) BindJoins(*ref, scope);
  for (TSqlSelectItem& item : q.Items) {
    if (item.TableStar) {
      bool found = false;
      for (TSqlTableSource* src : q.Sources) found = found || src->Answers(item.Qualifier);
      if (!found) FailSqlAt(item.Pos, kFieldNotFound);
      continue;
    }
    Bind(*item.Expr, scope, TContext{});
  }
  if (q.Where) Bind(*q.Where, scope, TContext{});
  for (TSqlGroupColumn& g : q.GroupBy) {
    for (TSqlTableSource* src : q.Sources) {
      if (!g.Qualifier.empty() && !src->Answers(g.Qualifier)) continue;
      int f = src->FindColumn(g.Name);
      if (f < 0) continue;
      g.SourceIndex = src->SourceIndex;
      g.FieldIndex = f;
      break;
    }
  }
  ComputeOutputs(q);
  if (q.Having) {
    TContext having;
    having.InHaving = true;
    Bind(*q.Having, scope, having);
  }
}

void TZuzSqlBinder::ComputeOutputs(TSqlQuerySpec& q) {
  q.Outputs.clear();
  q.OutputsKnown = false;
  auto expand = [&](const TSqlTableSource& src, int item) {
    for (size_t f = 0; f < src.Columns.size(); ++f) {
      const TSqlColumnInfo& c = src.Columns[f];
      if (c.Hidden) continue;
      q.Outputs.push_back(
          TSqlOutputColumn{c.Name, c.Type, c.Size, item, src.SourceIndex, static_cast<int>(f)});
    }
  };
  if (q.SelectAll) {
    for (const TSqlTableSource* src : q.Sources) {
      if (!src->ColumnsKnown) return;
      expand(*src, -1);
    }
    q.OutputsKnown = true;
    return;
  }
  for (size_t i = 0; i < q.Items.size(); ++i) {
    const TSqlSelectItem& item = q.Items[i];
    int index = static_cast<int>(i);
    if (item.TableStar) {
      const TSqlTableSource* src = nullptr;
      for (const TSqlTableSource* s : q.Sources) {
        if (s->Answers(item.Qualifier)) {
          src = s;
          break;
        }
      }
      if (!src || !src->ColumnsKnown) {
        q.Outputs.clear();
        return;
      }
      expand(*src, index);
      continue;
    }
    TSqlOutputColumn out;
    out.ItemIndex = index;
    out.Type = item.Expr->Type;
    out.Name = item.Caption;
    if (item.Expr->Kind() == TSqlExprKind::Column) {
      const auto& c = item.Expr->As<TSqlColumnRef>();
      if (!item.HasAlias) out.Name = c.Name;
      if (c.SourceIndex >= 0 && c.OuterLevel == 0) {
        out.SourceIndex = c.SourceIndex;
        out.FieldIndex = c.FieldIndex;
        out.Size = q.Sources[static_cast<size_t>(c.SourceIndex)]
                       ->Columns[static_cast<size_t>(c.FieldIndex)]
                       .Size;
      }
    }
    q.Outputs.push_back(std::move(out));
  }
  q.OutputsKnown = true;
}

// --- Expressions ---

void TZuzSqlBinder::ResolveColumn(TSqlColumnRef& c, const TScope& scope, const TContext& context) {
  bool unknown = false;
  int level = 0;
  for (const TScope* sc = &scope; sc; sc = sc->Outer, ++level) {
    for (TSqlTableSource* src : *sc->Sources) {
      if (!c.Qualifier.empty() && !src->Answers(c.Qualifier)) continue;
      if (!src->ColumnsKnown) {
        unknown = true;
        continue;
      }
      int f = src->FindColumn(c.Name);
      if (f < 0) continue;
      if (level > 0 && (context.InAggregate || context.InOn)) FailSqlAt(c.Pos, "Scope is invalid");
      c.SourceIndex = src->SourceIndex;
      c.FieldIndex = f;
      c.OuterLevel = level;
      c.Type = src->Columns[static_cast<size_t>(f)].Type;
      return;
    }
    if (level == 0 && context.InHaving && sc->Spec && sc->Spec->OutputsKnown &&
        c.Qualifier.empty()) {
      const std::vector<TSqlOutputColumn>& outs = sc->Spec->Outputs;
      for (size_t i = 0; i < outs.size(); ++i) {
        if (SameTextIgnoringCase(outs[i].Name, c.Name)) {
          c.OutputIndex = static_cast<int>(i);
          c.Type = outs[i].Type;
          return;
        }
      }
    }
  }
  if (unknown || !catalogue_) return;
  FailSqlAt(c.Pos, kFieldNotFound);
}

void TZuzSqlBinder::BindArithmetic(TSqlArithmetic& a, const TScope& scope,
                                   const TContext& context) {
  Bind(*a.Left, scope, context);
  Bind(*a.Right, scope, context);
  TakeType(*a.Left, a.Right->Type);
  TakeType(*a.Right, a.Left->Type);
  F lt = a.Left->Type;
  F rt = a.Right->Type;
  if (lt == F::ftUnknown) lt = rt;
  if (rt == F::ftUnknown) rt = lt;
  if (lt == F::ftUnknown) {
    a.Type = a.Op == TSqlArithOp::Concat ? F::ftString : F::ftUnknown;
    return;
  }
  bool ok = false;
  switch (a.Op) {
    case TSqlArithOp::Concat:
      ok = IsTextType(lt) && IsTextType(rt);
      a.Type = F::ftString;
      break;
    case TSqlArithOp::Add:
      if (IsTextType(lt) && IsTextType(rt)) {
        ok = true;
        a.Type = F::ftString;
      } else if (IsNumericType(lt) && IsNumericType(rt)) {
        ok = true;
        a.Type = F::ftFloat;
      } else if ((IsDateType(lt) && IsNumericType(rt)) || (IsNumericType(lt) && IsDateType(rt))) {
        ok = true;
        a.Type = F::ftDateTime;
      }
      break;
    case TSqlArithOp::Subtract:
      if (IsNumericType(lt) && IsNumericType(rt)) {
        ok = true;
        a.Type = F::ftFloat;
      } else if (IsDateType(lt) && IsNumericType(rt)) {
        ok = true;
        a.Type = lt;
      } else if (IsDateType(lt) && IsDateType(rt)) {
        ok = true;
        a.Type = F::ftFloat;
      }
      break;
    case TSqlArithOp::Multiply:
    case TSqlArithOp::Divide:
      ok = IsNumericType(lt) && IsNumericType(rt);
      a.Type = F::ftFloat;
      break;
  }
  if (!ok) FailSqlAt(a.Pos, kMismatch);
}

void TZuzSqlBinder::BindComparison(TSqlComparison& c, const TScope& scope,
                                   const TContext& context) {
  TContext left = context;
  left.QuantifiedAllowed = false;
  TContext right = context;
  right.QuantifiedAllowed = true;
  Bind(*c.Left, scope, left);
  Bind(*c.Right, scope, right);
  if (IsNullLiteral(*c.Left) || IsNullLiteral(*c.Right)) FailSqlAt(c.Pos, kMismatch);
  if (IsBinaryType(c.Left->Type) || IsBinaryType(c.Right->Type)) FailSqlAt(c.Pos, kMismatch);
  ConvertConstant(*c.Left, *c.Right);
  TakeType(*c.Left, c.Right->Type);
  TakeType(*c.Right, c.Left->Type);
  c.Type = F::ftBoolean;
}

void TZuzSqlBinder::Bind(TSqlExpr& e, const TScope& scope, const TContext& context) {
  TContext inner = context;
  inner.QuantifiedAllowed = false;
  switch (e.Kind()) {
    case TSqlExprKind::Literal:
    case TSqlExprKind::Parameter:
    case TSqlExprKind::CurrentValue:
      return;
    case TSqlExprKind::Column:
      ResolveColumn(e.As<TSqlColumnRef>(), scope, context);
      return;
    case TSqlExprKind::Arithmetic:
      BindArithmetic(e.As<TSqlArithmetic>(), scope, inner);
      return;
    case TSqlExprKind::Comparison:
      BindComparison(e.As<TSqlComparison>(), scope, inner);
      return;
    case TSqlExprKind::Logical:
      for (TSqlExprPtr& op : e.As<TSqlLogical>().Operands) Bind(*op, scope, inner);
      e.Type = F::ftBoolean;
      return;
    case TSqlExprKind::Not:
      Bind(*e.As<TSqlNot>().Operand, scope, inner);
      e.Type = F::ftBoolean;
      return;
    case TSqlExprKind::IsNull:
      Bind(*e.As<TSqlIsNull>().Operand, scope, inner);
      e.Type = F::ftBoolean;
      return;
    case TSqlExprKind::Like: {
      auto& l = e.As<TSqlLike>();
      Bind(*l.Operand, scope, inner);
      Bind(*l.Pattern, scope, inner);
      if (l.Escape) Bind(*l.Escape, scope, inner);
      if (IsNullLiteral(*l.Operand) || IsNullLiteral(*l.Pattern) || IsBinaryType(l.Pattern->Type)) {
        FailSqlAt(l.Pos, kMismatch);
      }
      TakeType(*l.Operand, F::ftString);
      TakeType(*l.Pattern, F::ftString);
      e.Type = F::ftBoolean;
      return;
    }
    case TSqlExprKind::InList: {
      auto& in = e.As<TSqlInList>();
      Bind(*in.Operand, scope, inner);
      if (IsNullLiteral(*in.Operand) || IsBinaryType(in.Operand->Type))
        FailSqlAt(in.Pos, kMismatch);
      for (TSqlExprPtr& item : in.Items) {
        Bind(*item, scope, inner);
        if (IsNullLiteral(*item) || IsBinaryType(item->Type)) FailSqlAt(item->Pos, kMismatch);
        ConvertConstant(*in.Operand, *item);
        TakeType(*item, in.Operand->Type);
        TakeType(*in.Operand, item->Type);
      }
      e.Type = F::ftBoolean;
      return;
    }
    case TSqlExprKind::InQuery: {
      auto& in = e.As<TSqlInQuery>();
      Bind(*in.Operand, scope, inner);
      if (IsNullLiteral(*in.Operand) || IsBinaryType(in.Operand->Type))
        FailSqlAt(in.Pos, kMismatch);
      BindSelect(*in.Select, &scope);
      const TSqlQuerySpec& q = *in.Select->Query;
      if (q.OutputsKnown && !q.Outputs.empty()) TakeType(*in.Operand, q.Outputs[0].Type);
      e.Type = F::ftBoolean;
      return;
    }
    case TSqlExprKind::Subquery:
    case TSqlExprKind::Exists:
    case TSqlExprKind::Quantified: {
      if (e.Kind() == TSqlExprKind::Quantified && !context.QuantifiedAllowed) {
        FailSqlAt(e.Pos, kSqlInvalidToken);
      }
      TSqlSelect& select = *e.Query();
      BindSelect(select, &scope);
      if (e.Kind() == TSqlExprKind::Exists) {
        e.Type = F::ftBoolean;
      } else if (select.Query->OutputsKnown && !select.Query->Outputs.empty()) {
        e.Type = select.Query->Outputs[0].Type;
      }
      return;
    }
    case TSqlExprKind::Aggregate: {
      auto& a = e.As<TSqlAggregate>();
      if (a.Argument) {
        TContext agg = inner;
        agg.InAggregate = true;
        Bind(*a.Argument, scope, agg);
      }
      e.Type = F::ftFloat;
      return;
    }
    case TSqlExprKind::CaseChange: {
      TSqlExpr& arg = *e.As<TSqlCaseChange>().Argument;
      Bind(arg, scope, inner);
      TakeType(arg, F::ftString);
      if (!IsUntyped(arg) && !IsTextType(arg.Type)) {
        FailSqlAt(e.Pos, "Character value expression return type is invalid");
      }
      e.Type = F::ftString;
      return;
    }
    case TSqlExprKind::Substring: {
      auto& s = e.As<TSqlSubstring>();
      Bind(*s.Source, scope, inner);
      Bind(*s.Start, scope, inner);
      if (s.Length) Bind(*s.Length, scope, inner);
      TakeType(*s.Source, F::ftString);
      if (!IsUntyped(*s.Source) && !IsTextType(s.Source->Type)) {
        FailSqlAt(e.Pos, "Character value expression return type is invalid");
      }
      for (TSqlExpr* n : {s.Start.get(), s.Length.get()}) {
        if (!n) continue;
        TakeType(*n, F::ftInteger);
        if (!IsUntyped(*n) && !IsNumericType(n->Type)) FailSqlAt(n->Pos, kMismatch);
      }
      e.Type = F::ftString;
      return;
    }
    case TSqlExprKind::Trim: {
      auto& t = e.As<TSqlTrim>();
      for (TSqlExpr* n : {t.Characters.get(), t.Source.get()}) {
        if (!n) continue;
        Bind(*n, scope, inner);
        TakeType(*n, F::ftString);
        if (!IsUntyped(*n) && !IsTextType(n->Type)) {
          FailSqlAt(e.Pos, "Character value expression return type is invalid");
        }
      }
      e.Type = F::ftString;
      return;
    }
    case TSqlExprKind::Cast: {
      auto& c = e.As<TSqlCast>();
      Bind(*c.Operand, scope, inner);
      if (!SqlCanConvert(c.Operand->Type, c.Target.Type)) {
        FailSqlAt(e.Pos, "Cannot convert type " + SqlTypeName(c.Operand->Type) + " -> " +
                             SqlTypeName(c.Target.Type));
      }
      e.Type = c.Target.Type;
      return;
    }
    case TSqlExprKind::Extract: {
      auto& x = e.As<TSqlExtract>();
      Bind(*x.Operand, scope, inner);
      F t = x.Operand->Type;
      bool timeField = x.Field == TSqlExtractField::Hour || x.Field == TSqlExtractField::Minute ||
                       x.Field == TSqlExtractField::Second;
      bool ok = t == F::ftUnknown || t == F::ftDateTime || t == F::ftTime ||
                (!timeField && t == F::ftDate);
      if (!ok)
        FailSqlAt(e.Pos, "Extract value expression result type is invalid for extract field");
      e.Type = x.Field == TSqlExtractField::Second ? F::ftFloat : F::ftInteger;
      return;
    }
  }
}

void TZuzSqlBinder::Assign(TSqlExpr& value, TFieldType target) {
  TakeType(value, target);
  if (value.Kind() != TSqlExprKind::Literal) return;
  auto& lit = value.As<TSqlLiteral>();
  if (lit.LiteralKind == TSqlLiteralKind::String && IsDateType(target) && !lit.Converted) {
    lit.Number = ConvertStrToDateTime(lit.Text, target);
    lit.Type = target;
    lit.Converted = true;
  }
}

// --- Statements ---

void TZuzSqlBinder::BindInsert(TSqlInsert& insert) {
  TSqlTableName& table = *insert.Table;
  table.SourceIndex = 0;
  std::vector<TSqlTableSource*> sources{&table};
  TScope scope{&sources, nullptr, nullptr};
  std::vector<int> fields;
  if (table.ColumnsKnown) {
    if (insert.HasColumnList) {
      for (TSqlName& name : insert.Columns) {
        name.FieldIndex = table.FindColumn(name.Name);
        if (name.FieldIndex < 0) FailSqlAt(name.Pos, "Field not found : " + name.Name);
        fields.push_back(name.FieldIndex);
      }
    } else {
      for (size_t f = 0; f < table.Columns.size(); ++f) {
        if (!table.Columns[f].Hidden) fields.push_back(static_cast<int>(f));
      }
    }
    insert.FieldIndexes = fields;
  }
  const char* kCount = "Number of insert columns does not match number of insert values";
  if (!insert.Select) {
    if (table.ColumnsKnown && fields.size() != insert.Values.size()) {
      FailSqlAt(insert.ValuesPos, kCount);
    }
    for (size_t i = 0; i < insert.Values.size(); ++i) {
      Bind(*insert.Values[i], scope, TContext{});
      if (table.ColumnsKnown) {
        Assign(*insert.Values[i], table.Columns[static_cast<size_t>(fields[i])].Type);
      }
    }
    return;
  }
  BindSelect(*insert.Select, nullptr);
  const TSqlQuerySpec& q = *insert.Select->Query;
  if (!table.ColumnsKnown || !q.OutputsKnown) return;
  if (q.Outputs.size() != fields.size()) FailSqlAt(insert.ValuesPos, kCount);
  for (size_t i = 0; i < fields.size(); ++i) {
    F from = q.Outputs[i].Type;
    F to = table.Columns[static_cast<size_t>(fields[i])].Type;
    if (!SqlCanConvert(from, to)) {
      FailSqlAt(insert.ValuesPos,
                "Cannot convert type " + SqlTypeName(from) + " -> " + SqlTypeName(to));
    }
  }
}

void TZuzSqlBinder::BindUpdate(TSqlUpdate& update) {
  TSqlTableName& table = *update.Table;
  table.SourceIndex = 0;
  std::vector<TSqlTableSource*> sources{&table};
  TScope scope{&sources, nullptr, nullptr};
  for (TSqlSetItem& item : update.Items) {
    if (table.ColumnsKnown) {
      item.FieldIndex = table.FindColumn(item.Column);
      if (item.FieldIndex < 0) FailSqlAt(item.Pos, "Field not found : " + item.Column);
    }
    Bind(*item.Value, scope, TContext{});
    if (item.FieldIndex >= 0) {
      Assign(*item.Value, table.Columns[static_cast<size_t>(item.FieldIndex)].Type);
    }
  }
  if (update.Where) Bind(*update.Where, scope, TContext{});
}

void TZuzSqlBinder::BindDelete(TSqlDelete& del) {
  TSqlTableName& table = *del.Table;
  table.SourceIndex = 0;
  std::vector<TSqlTableSource*> sources{&table};
  TScope scope{&sources, nullptr, nullptr};
  if (del.Where) Bind(*del.Where, scope, TContext{});
}

void TZuzSqlBinder::BindCreateIndex(TSqlCreateIndex& create) {
  if (!catalogue_) return;
  const TTableDef* def = create.Temporary ? nullptr : catalogue_->FindTable(create.Table, false);
  if (!def) def = catalogue_->FindTable(create.Table, true);
  if (def && def->FindIndex(create.IndexName)) FailSqlAt(create.IndexPos, "Index already exists");
}

void TZuzSqlBinder::BindDropIndex(TSqlDropIndex& drop) {
  if (!catalogue_) return;
  const TTableDef* def = catalogue_->FindTable(drop.Table, false);
  if (!def) def = catalogue_->FindTable(drop.Table, true);
  if (!def) return;  // the executor reports the missing table
  bool found = false;
  if (drop.Primary) {
    for (const TInternalIndexDef& ix : def->InternalIndexDefs) found = found || ix.Primary;
  } else {
    found = def->FindIndex(drop.IndexName) != nullptr;
  }
  if (!found) FailSqlAt(drop.IndexPos, "Index not found");
}

void TZuzSqlBinder::Bind(TSqlStatement& st) {
  switch (st.Kind()) {
    case TSqlStatementKind::Select:
      BindSelect(st.As<TSqlSelect>(), nullptr);
      break;
    case TSqlStatementKind::Insert:
      BindInsert(st.As<TSqlInsert>());
      break;
    case TSqlStatementKind::Update:
      BindUpdate(st.As<TSqlUpdate>());
      break;
    case TSqlStatementKind::Delete:
      BindDelete(st.As<TSqlDelete>());
      break;
    case TSqlStatementKind::CreateIndex:
      BindCreateIndex(st.As<TSqlCreateIndex>());
      break;
    case TSqlStatementKind::DropIndex:
      BindDropIndex(st.As<TSqlDropIndex>());
      break;
    default:
      break;
  }
}

void TZuzSqlBinder::BindFilter(TSqlTableName& table, TSqlExpr& condition) {
  table.SourceIndex = 0;
  std::vector<TSqlTableSource*> sources{&table};
  TScope scope{&sources, nullptr, nullptr};
  Bind(condition, scope, TContext{});
}

}  // namespace zuz
