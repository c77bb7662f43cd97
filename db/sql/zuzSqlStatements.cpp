#include "db/sql/zuzSqlStatements.h"

#include "db/sql/zuzSqlLexer.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"

namespace zuz {

namespace {

void DumpPos(std::string& out, const std::string& name) {
  out += ' ';
  PrintSqlTableName(out, name);
}

void PrintAlias(std::string& out, const std::string& alias) {
  if (IsPlainSqlName(alias)) {
    out += alias;
  } else {
    PrintSqlString(out, alias);
  }
}

void PrintNameList(std::string& out, const std::vector<TSqlName>& names) {
  out += '(';
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += ", ";
    PrintSqlName(out, names[i].Name);
  }
  out += ')';
}

void DumpNameList(std::string& out, const char* head, const std::vector<TSqlName>& names) {
  out += " (";
  out += head;
  for (const TSqlName& n : names) {
    out += ' ';
    PrintSqlName(out, n.Name);
    if (n.FieldIndex >= 0) out += '#' + std::to_string(n.FieldIndex);
  }
  out += ')';
}

void DumpColumns(std::string& out, const TSqlTableSource& s) {
  if (!s.ColumnsKnown) return;
  out += " [";
  for (size_t i = 0; i < s.Columns.size(); ++i) {
    if (i > 0) out += ' ';
    PrintSqlName(out, s.Columns[i].Name);
    out += ':';
    out += FieldTypeName(s.Columns[i].Type);
  }
  out += ']';
}

const char* JoinTypeText(TSqlJoinType t) {
  switch (t) {
    case TSqlJoinType::Inner:
      return "INNER";
    case TSqlJoinType::Left:
      return "LEFT";
    case TSqlJoinType::Right:
      return "RIGHT";
    case TSqlJoinType::Full:
      return "FULL";
    case TSqlJoinType::Cross:
      return "CROSS";
    case TSqlJoinType::Union:
      return "UNION";
  }
  return "?";
}

void CollectFrom(TSqlTableRef& ref, std::vector<TSqlTableSource*>& out) {
  if (ref.Kind() == TSqlTableRefKind::Join) {
    auto& j = ref.As<TSqlJoin>();
    CollectFrom(*j.Left, out);
    CollectFrom(*j.Right, out);
    return;
  }
  auto& s = static_cast<TSqlTableSource&>(ref);
  s.SourceIndex = static_cast<int>(out.size());
  out.push_back(&s);
}

void PrintWhere(std::string& out, const TSqlExprPtr& where) {
  if (!where) return;
  out += " WHERE ";
  where->Print(out);
}

void DumpWhere(std::string& out, const TSqlExprPtr& where) {
  if (!where) return;
  out += " (where ";
  where->Dump(out);
  out += ')';
}

}  // namespace

std::string TSqlStatement::ToSql() const {
  std::string out;
  Print(out);
  return out;
}

std::string TSqlStatement::ToDump() const {
  std::string out;
  Dump(out);
  return out;
}

// --- Sources ---

bool TSqlTableSource::Answers(const std::string& qualifier) const {
  return !Alias.empty() && SameTextIgnoringCase(Alias, qualifier);
}

int TSqlTableSource::FindColumn(const std::string& name) const {
  for (size_t i = 0; i < Columns.size(); ++i) {
    if (SameTextIgnoringCase(Columns[i].Name, name)) return static_cast<int>(i);
  }
  return -1;
}

bool TSqlTableName::Answers(const std::string& qualifier) const {
  return SameTextIgnoringCase(Name, qualifier) || TSqlTableSource::Answers(qualifier);
}

void TSqlTableName::Print(std::string& out) const {
  if (Temporary) out += "TEMPORARY ";
  PrintSqlTableName(out, Name);
  if (!Alias.empty()) {
    out += " AS ";
    PrintSqlTableName(out, Alias);
  }
}

void TSqlTableName::Dump(std::string& out) const {
  out += "(table";
  if (Temporary) out += " temporary";
  DumpPos(out, Name);
  if (!Alias.empty()) {
    out += " as";
    DumpPos(out, Alias);
  }
  if (SourceIndex >= 0) out += " @" + std::to_string(SourceIndex);
  if (Memory) out += " memory";
  DumpColumns(out, *this);
  out += ')';
}

std::unique_ptr<TSqlTableName> TSqlTableName::CloneName() const {
  auto c = std::make_unique<TSqlTableName>();
  c->Pos = Pos;
  c->Height = Height;
  c->Alias = Alias;
  c->SourceIndex = SourceIndex;
  c->ColumnsKnown = ColumnsKnown;
  c->Columns = Columns;
  c->Name = Name;
  c->Temporary = Temporary;
  c->Memory = Memory;
  return c;
}

std::unique_ptr<TSqlTableRef> TSqlTableName::Clone() const {
  return CloneName();
}

TSqlDerivedTable::TSqlDerivedTable() : TSqlTableSource(TSqlTableRefKind::Derived) {}
TSqlDerivedTable::~TSqlDerivedTable() = default;

void TSqlDerivedTable::Print(std::string& out) const {
  out += '(';
  Select->Print(out);
  out += ')';
  if (!Alias.empty()) {
    out += " AS ";
    PrintSqlTableName(out, Alias);
  }
}

void TSqlDerivedTable::Dump(std::string& out) const {
  out += "(derived ";
  Select->Dump(out);
  if (!Alias.empty()) {
    out += " as";
    DumpPos(out, Alias);
  }
  if (SourceIndex >= 0) out += " @" + std::to_string(SourceIndex);
  DumpColumns(out, *this);
  out += ')';
}

std::unique_ptr<TSqlTableRef> TSqlDerivedTable::Clone() const {
  auto c = std::make_unique<TSqlDerivedTable>();
  c->Pos = Pos;
  c->Height = Height;
  c->Alias = Alias;
  c->SourceIndex = SourceIndex;
  c->ColumnsKnown = ColumnsKnown;
  c->Columns = Columns;
  c->Select = Select->Clone();
  return c;
}

void TSqlJoin::Print(std::string& out) const {
  Left->Print(out);
  out += ' ';
  if (Natural) out += "NATURAL ";
  out += JoinTypeText(Type);
  out += " JOIN ";
  if (Right->Kind() == TSqlTableRefKind::Join) {
    out += '(';
    Right->Print(out);
    out += ')';
  } else {
    Right->Print(out);
  }
  if (On) {
    out += " ON ";
    On->Print(out);
  } else if (!Using.empty()) {
    out += " USING ";
    PrintNameList(out, Using);
  }
}

void TSqlJoin::Dump(std::string& out) const {
  out += "(join ";
  if (Natural) out += "natural ";
  out += JoinTypeText(Type);
  out += ' ';
  Left->Dump(out);
  out += ' ';
  Right->Dump(out);
  if (On) {
    out += " (on ";
    On->Dump(out);
    out += ')';
  }
  if (!Using.empty()) DumpNameList(out, "using", Using);
  out += ')';
}

std::unique_ptr<TSqlTableRef> TSqlJoin::Clone() const {
  auto c = std::make_unique<TSqlJoin>();
  c->Pos = Pos;
  c->Height = Height;
  c->Type = Type;
  c->Natural = Natural;
  c->Left = Left->Clone();
  c->Right = Right->Clone();
  if (On) c->On = On->Clone();
  c->Using = Using;
  return c;
}

// --- Query parts ---

TSqlSelectItem TSqlSelectItem::Clone() const {
  TSqlSelectItem c;
  c.TableStar = TableStar;
  c.Qualifier = Qualifier;
  if (Expr) c.Expr = Expr->Clone();
  c.HasAlias = HasAlias;
  c.Alias = Alias;
  c.Caption = Caption;
  c.Aggregate = Aggregate;
  c.Pos = Pos;
  return c;
}

void TSqlQuerySpec::CollectSources() {
  Sources.clear();
  for (const TSqlTableRefPtr& ref : From) CollectFrom(*ref, Sources);
}

void TSqlQuerySpec::Print(std::string& out) const {
  out += "SELECT ";
  if (Distinct) out += "DISTINCT ";
  if (SelectAll) {
    out += '*';
  } else {
    for (size_t i = 0; i < Items.size(); ++i) {
      if (i > 0) out += ", ";
      const TSqlSelectItem& item = Items[i];
      if (item.TableStar) {
        PrintSqlTableName(out, item.Qualifier);
        out += ".*";
        continue;
      }
      size_t start = out.size();
      item.Expr->Print(out);
      // The caption is part of the statement: an item without alias whose source text differs
      // from its print keeps its caption as alias.
      bool keep = item.HasAlias;
      if (!keep && item.Expr->Kind() != TSqlExprKind::Column) {
        keep = out.compare(start, std::string::npos, item.Caption) != 0;
      }
      if (keep) {
        out += " AS ";
        PrintAlias(out, item.Caption);
      }
    }
  }
  out += " FROM ";
  for (size_t i = 0; i < From.size(); ++i) {
    if (i > 0) out += ", ";
    From[i]->Print(out);
  }
  PrintWhere(out, Where);
  if (!GroupBy.empty()) {
    out += " GROUP BY ";
    for (size_t i = 0; i < GroupBy.size(); ++i) {
      if (i > 0) out += ", ";
      if (!GroupBy[i].Qualifier.empty()) {
        PrintSqlTableName(out, GroupBy[i].Qualifier);
        out += '.';
        PrintSqlName(out, GroupBy[i].Name, true);
      } else {
        PrintSqlName(out, GroupBy[i].Name);
      }
    }
  }
  if (Having) {
    out += " HAVING ";
    Having->Print(out);
  }
}

void TSqlQuerySpec::Dump(std::string& out) const {
  out += "(query";
  if (Distinct) out += " distinct";
  if (HasAggregates) out += " aggregates";
  out += " (items";
  if (SelectAll) out += " *";
  for (const TSqlSelectItem& item : Items) {
    out += ' ';
    if (item.TableStar) {
      PrintSqlTableName(out, item.Qualifier);
      out += ".*";
      continue;
    }
    item.Expr->Dump(out);
    out += " as ";
    PrintAlias(out, item.Caption);
  }
  out += ") (from";
  for (const TSqlTableRefPtr& ref : From) {
    out += ' ';
    ref->Dump(out);
  }
  out += ')';
  DumpWhere(out, Where);
  if (!GroupBy.empty()) {
    out += " (groupby";
    for (const TSqlGroupColumn& g : GroupBy) {
      out += ' ';
      if (!g.Qualifier.empty()) {
        PrintSqlTableName(out, g.Qualifier);
        out += '.';
      }
      PrintSqlName(out, g.Name, !g.Qualifier.empty());
      if (g.SourceIndex >= 0) {
        out += " @" + std::to_string(g.SourceIndex) + '.' + std::to_string(g.FieldIndex);
      }
    }
    out += ')';
  }
  if (Having) {
    out += " (having ";
    Having->Dump(out);
    out += ')';
  }
  if (OutputsKnown) {
    out += " (outputs";
    for (const TSqlOutputColumn& c : Outputs) {
      out += ' ';
      PrintAlias(out, c.Name);
      out += ':';
      out += FieldTypeName(c.Type);
    }
    out += ')';
  }
  out += ')';
}

std::unique_ptr<TSqlQuerySpec> TSqlQuerySpec::Clone() const {
  auto c = std::make_unique<TSqlQuerySpec>();
  c->Distinct = Distinct;
  c->SelectAll = SelectAll;
  for (const TSqlSelectItem& item : Items) c->Items.push_back(item.Clone());
  for (const TSqlTableRefPtr& ref : From) c->From.push_back(ref->Clone());
  if (Where) c->Where = Where->Clone();
  c->GroupBy = GroupBy;
  if (Having) c->Having = Having->Clone();
  c->HasAggregates = HasAggregates;
  c->Pos = Pos;
  c->Height = Height;
  c->CollectSources();
  c->OutputsKnown = OutputsKnown;
  c->Outputs = Outputs;
  return c;
}

// --- SELECT ---

void TSqlSelect::Print(std::string& out) const {
  Query->Print(out);
  for (const TSqlUnionPart& part : Unions) {
    out += part.All ? " UNION ALL " : " UNION ";
    part.Query->Print(out);
  }
  if (!OrderBy.empty()) {
    out += " ORDER BY ";
    for (size_t i = 0; i < OrderBy.size(); ++i) {
      if (i > 0) out += ", ";
      const TSqlOrderItem& o = OrderBy[i];
      if (o.ByNumber) {
        out += std::to_string(o.ColumnNumber);
      } else {
        out += o.Text;
      }
      if (o.Descending) out += " DESC";
    }
  }
}

void TSqlSelect::Dump(std::string& out) const {
  out += "(select ";
  Query->Dump(out);
  for (const TSqlUnionPart& part : Unions) {
    out += part.All ? " (union all " : " (union ";
    part.Query->Dump(out);
    out += ')';
  }
  if (!OrderBy.empty()) {
    out += " (orderby";
    for (const TSqlOrderItem& o : OrderBy) {
      out += ' ';
      if (o.ByNumber) {
        out += '#' + std::to_string(o.ColumnNumber);
      } else if (o.IsName) {
        if (!o.Qualifier.empty()) {
          PrintSqlTableName(out, o.Qualifier);
          out += '.';
        }
        PrintSqlName(out, o.Name, !o.Qualifier.empty());
      } else {
        out += '{' + o.Text + '}';
      }
      if (o.Descending) out += " desc";
    }
    out += ')';
  }
  out += ')';
}

std::unique_ptr<TSqlSelect> TSqlSelect::Clone() const {
  auto c = std::make_unique<TSqlSelect>();
  c->Height = Height;
  c->Query = Query->Clone();
  for (const TSqlUnionPart& part : Unions) {
    c->Unions.push_back(TSqlUnionPart{part.All, part.Query->Clone()});
  }
  c->OrderBy = OrderBy;
  return c;
}

// --- INSERT, UPDATE, DELETE ---

void TSqlInsert::Print(std::string& out) const {
  out += "INSERT INTO ";
  Table->Print(out);
  if (HasColumnList) {
    out += ' ';
    PrintNameList(out, Columns);
  }
  if (Select) {
    out += ' ';
    Select->Print(out);
    return;
  }
  out += " VALUES (";
  for (size_t i = 0; i < Values.size(); ++i) {
    if (i > 0) out += ", ";
    Values[i]->Print(out);
  }
  out += ')';
}

void TSqlInsert::Dump(std::string& out) const {
  out += "(insert ";
  Table->Dump(out);
  if (HasColumnList) DumpNameList(out, "columns", Columns);
  if (Select) {
    out += ' ';
    Select->Dump(out);
  } else {
    out += " (values";
    for (const TSqlExprPtr& v : Values) {
      out += ' ';
      v->Dump(out);
    }
    out += ')';
  }
  if (!FieldIndexes.empty()) {
    out += " (fields";
    for (int f : FieldIndexes) out += ' ' + std::to_string(f);
    out += ')';
  }
  out += ')';
}

void TSqlUpdate::Print(std::string& out) const {
  out += "UPDATE ";
  Table->Print(out);
  out += " SET ";
  for (size_t i = 0; i < Items.size(); ++i) {
    if (i > 0) out += ", ";
    const TSqlSetItem& item = Items[i];
    if (!item.Qualifier.empty()) {
      PrintSqlTableName(out, item.Qualifier);
      out += '.';
      PrintSqlName(out, item.Column, true);
    } else {
      PrintSqlName(out, item.Column);
    }
    out += " = ";
    item.Value->Print(out);
  }
  PrintWhere(out, Where);
}

void TSqlUpdate::Dump(std::string& out) const {
  out += "(update ";
  Table->Dump(out);
  out += " (set";
  for (const TSqlSetItem& item : Items) {
    out += " (";
    PrintSqlName(out, item.Column);
    if (item.FieldIndex >= 0) out += '#' + std::to_string(item.FieldIndex);
    out += ' ';
    item.Value->Dump(out);
    out += ')';
  }
  out += ')';
  DumpWhere(out, Where);
  out += ')';
}

void TSqlDelete::Print(std::string& out) const {
  out += "DELETE FROM ";
  Table->Print(out);
  PrintWhere(out, Where);
}

void TSqlDelete::Dump(std::string& out) const {
  out += "(delete ";
  Table->Dump(out);
  DumpWhere(out, Where);
  out += ')';
}

// --- Schema statements ---

void TSqlCreateTable::Print(std::string& out) const {
  out += "CREATE TABLE ";
  if (Temporary) out += "TEMPORARY ";
  PrintSqlTableName(out, Table);
  out += " (";
  for (size_t i = 0; i < Columns.size(); ++i) {
    if (i > 0) out += ", ";
    PrintSqlName(out, Columns[i].Name);
    out += ' ';
    Columns[i].Type.Print(out);
    if (Columns[i].NotNull) out += " NOT NULL";
  }
  if (!PrimaryKey.empty()) {
    out += ", PRIMARY KEY ";
    PrintNameList(out, PrimaryKey);
  }
  for (const TSqlTableIndex& index : Indexes) {
    out += index.Unique ? ", UNIQUE INDEX " : ", INDEX ";
    PrintSqlName(out, index.Name);
    out += ' ';
    PrintNameList(out, index.Columns);
  }
  out += ')';
}

void TSqlCreateTable::Dump(std::string& out) const {
  out += "(createtable";
  if (Temporary) out += " temporary";
  DumpPos(out, Table);
  for (const TSqlColumnDef& c : Columns) {
    out += " (";
    PrintSqlName(out, c.Name);
    out += ' ';
    c.Type.Dump(out);
    if (c.NotNull) out += " notnull";
    out += ')';
  }
  if (!PrimaryKey.empty()) DumpNameList(out, "primarykey", PrimaryKey);
  for (const TSqlTableIndex& index : Indexes) {
    std::string name = index.Unique ? "uniqueindex " : "index ";
    PrintSqlName(name, index.Name);
    DumpNameList(out, name.c_str(), index.Columns);
  }
  out += ')';
}

void TSqlCreateIndex::Print(std::string& out) const {
  out += "CREATE ";
  if (Unique) out += "UNIQUE ";
  if (Order == TSqlIndexOrder::Ascending) out += "ASC ";
  if (Order == TSqlIndexOrder::Descending) out += "DESC ";
  out += "INDEX ";
  PrintSqlTableName(out, IndexName);
  out += " ON ";
  if (Temporary) out += "TEMPORARY ";
  PrintSqlTableName(out, Table);
  out += ' ';
  PrintNameList(out, Columns);
}

void TSqlCreateIndex::Dump(std::string& out) const {
  out += "(createindex";
  if (Unique) out += " unique";
  if (Order == TSqlIndexOrder::Ascending) out += " asc";
  if (Order == TSqlIndexOrder::Descending) out += " desc";
  DumpPos(out, IndexName);
  out += " on";
  if (Temporary) out += " temporary";
  DumpPos(out, Table);
  DumpNameList(out, "columns", Columns);
  out += ')';
}

std::vector<const TSqlAlterAction*> TSqlAlterTable::ActionsOf(TSqlAlterKind kind) const {
  std::vector<const TSqlAlterAction*> out;
  for (const TSqlAlterAction& a : Actions) {
    if (a.Kind == kind) out.push_back(&a);
  }
  return out;
}

void TSqlAlterTable::Print(std::string& out) const {
  out += "ALTER TABLE ";
  PrintSqlTableName(out, Table);
  for (size_t i = 0; i < Actions.size(); ++i) {
    out += i > 0 ? ", " : " ";
    const TSqlAlterAction& a = Actions[i];
    switch (a.Kind) {
      case TSqlAlterKind::AddColumn:
        out += "ADD ";
        PrintSqlName(out, a.Column);
        out += ' ';
        a.Type.Print(out);
        if (a.NotNull) out += " NOT NULL";
        break;
      case TSqlAlterKind::DropColumn:
        out += "DROP ";
        PrintSqlName(out, a.Column);
        break;
      case TSqlAlterKind::RenameColumn:
        out += "ALTER ";
        PrintSqlName(out, a.Column);
        out += " TO ";
        PrintSqlName(out, a.NewName);
        break;
      case TSqlAlterKind::RetypeColumn:
        out += "ALTER ";
        PrintSqlName(out, a.Column);
        out += " TYPE ";
        a.Type.Print(out);
        break;
    }
  }
}

void TSqlAlterTable::Dump(std::string& out) const {
  out += "(altertable";
  DumpPos(out, Table);
  for (const TSqlAlterAction& a : Actions) {
    switch (a.Kind) {
      case TSqlAlterKind::AddColumn:
        out += " (add ";
        PrintSqlName(out, a.Column);
        out += ' ';
        a.Type.Dump(out);
        if (a.NotNull) out += " notnull";
        break;
      case TSqlAlterKind::DropColumn:
        out += " (drop ";
        PrintSqlName(out, a.Column);
        break;
      case TSqlAlterKind::RenameColumn:
        out += " (rename ";
        PrintSqlName(out, a.Column);
        out += ' ';
        PrintSqlName(out, a.NewName);
        break;
      case TSqlAlterKind::RetypeColumn:
        out += " (retype ";
        PrintSqlName(out, a.Column);
        out += ' ';
        a.Type.Dump(out);
        break;
    }
    out += ')';
  }
  out += ')';
}

void TSqlDropTable::Print(std::string& out) const {
  out += "DROP TABLE ";
  PrintSqlTableName(out, Table);
}

void TSqlDropTable::Dump(std::string& out) const {
  out += "(droptable";
  DumpPos(out, Table);
  out += ')';
}

void TSqlDropIndex::Print(std::string& out) const {
  out += "DROP INDEX ";
  PrintSqlTableName(out, Table);
  out += ' ';
  PrintSqlTableName(out, IndexName);
}

void TSqlDropIndex::Dump(std::string& out) const {
  out += "(dropindex";
  DumpPos(out, Table);
  DumpPos(out, IndexName);
  if (Primary) out += " primary";
  out += ')';
}

}  // namespace zuz
