#include "db/sql/zuzSqlExpr.h"

#include <charconv>

#include "db/sql/zuzSqlLexer.h"
#include "db/sql/zuzSqlStatements.h"

namespace zuz {

namespace {

void DumpType(std::string& out, TFieldType type) {
  out += " :";
  out += type == TFieldType::ftUnknown ? std::string("?") : FieldTypeName(type);
}

void DumpChild(std::string& out, const TSqlExpr* child) {
  out += ' ';
  if (child) {
    child->Dump(out);
  } else {
    out += '-';
  }
}

template <typename T>
std::unique_ptr<T> CloneOf(const std::unique_ptr<T>& p) {
  if (!p) return nullptr;
  std::unique_ptr<TSqlExpr> c = p->Clone();
  return std::unique_ptr<T>(static_cast<T*>(c.release()));
}

void AddChild(std::vector<TSqlExpr*>& out, const TSqlExprPtr& p) {
  if (p) out.push_back(p.get());
}

void PrintSubquery(std::string& out, const TSqlSelect& select) {
  out += '(';
  select.Print(out);
  out += ')';
}

}  // namespace

std::string SqlNumberText(double value) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

void PrintSqlOperand(std::string& out, const TSqlExpr& child, int minLevel) {
  if (child.Level() < minLevel) {
    out += '(';
    child.Print(out);
    out += ')';
  } else {
    child.Print(out);
  }
}

void PrintSqlName(std::string& out, const std::string& name, bool afterQualifier) {
  // After a "." every word is a name, reserved or not.
  bool plain = afterQualifier ? IsSqlWord(name) : IsPlainSqlName(name);
  if (plain) {
    out += name;
  } else {
    out += '[';
    out += name;
    out += ']';
  }
}

void PrintSqlTableName(std::string& out, const std::string& name) {
  if (name.find(']') == std::string::npos) {
    PrintSqlName(out, name);
    return;
  }
  out += '"';
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void PrintSqlString(std::string& out, const std::string& text) {
  out += '\'';
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
}

void TSqlDataType::Print(std::string& out) const {
  out += Word;
  if (HasSize) {
    out += '(';
    out += std::to_string(Size);
    if (HasScale) {
      out += ", ";
      out += std::to_string(Scale);
    }
    out += ')';
  }
}

void TSqlDataType::Dump(std::string& out) const {
  out += FieldTypeName(Type);
  out += '/';
  out += std::to_string(Size);
  if (HasScale) {
    out += '/';
    out += std::to_string(Scale);
  }
}

std::string TSqlExpr::ToSql() const {
  std::string out;
  Print(out);
  return out;
}

std::string TSqlExpr::ToDump() const {
  std::string out;
  Dump(out);
  return out;
}

// --- Literal ---

void TSqlLiteral::Print(std::string& out) const {
  switch (LiteralKind) {
    case TSqlLiteralKind::Null:
      out += "NULL";
      break;
    case TSqlLiteralKind::Number:
      out += Text;
      break;
    case TSqlLiteralKind::String:
      PrintSqlString(out, Text);
      break;
    case TSqlLiteralKind::Boolean:
      out += Boolean ? "TRUE" : "FALSE";
      break;
  }
}

void TSqlLiteral::Dump(std::string& out) const {
  out += "(lit ";
  Print(out);
  DumpType(out, Type);
  if (Converted) {
    out += '=';
    if (Type == TFieldType::ftBoolean) {
      out += Boolean ? "TRUE" : "FALSE";
    } else if (Type == TFieldType::ftString) {
      PrintSqlString(out, Text);
    } else {
      out += SqlNumberText(Number);
    }
  }
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlLiteral::Clone() const {
  auto c = std::make_unique<TSqlLiteral>();
  c->LiteralKind = LiteralKind;
  c->Text = Text;
  c->Number = Number;
  c->Boolean = Boolean;
  c->Converted = Converted;
  return CloneBase(std::move(c));
}

// --- Column ---

void TSqlColumnRef::Print(std::string& out) const {
  if (!Qualifier.empty()) {
    PrintSqlTableName(out, Qualifier);
    out += '.';
    PrintSqlName(out, Name, true);
  } else {
    PrintSqlName(out, Name);
  }
}

void TSqlColumnRef::Dump(std::string& out) const {
  out += "(col ";
  Print(out);
  DumpType(out, Type);
  if (SourceIndex >= 0) {
    out += " @" + std::to_string(SourceIndex) + '.' + std::to_string(FieldIndex);
    if (OuterLevel > 0) out += '^' + std::to_string(OuterLevel);
  } else if (OutputIndex >= 0) {
    out += " @out" + std::to_string(OutputIndex);
  }
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlColumnRef::Clone() const {
  auto c = std::make_unique<TSqlColumnRef>();
  c->Qualifier = Qualifier;
  c->Name = Name;
  c->SourceIndex = SourceIndex;
  c->FieldIndex = FieldIndex;
  c->OuterLevel = OuterLevel;
  c->OutputIndex = OutputIndex;
  return CloneBase(std::move(c));
}

// --- Parameter ---

void TSqlParameter::Print(std::string& out) const {
  out += ':';
  out += Name;
}

void TSqlParameter::Dump(std::string& out) const {
  out += "(param ";
  out += Name;
  DumpType(out, Type);
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlParameter::Clone() const {
  auto c = std::make_unique<TSqlParameter>();
  c->Name = Name;
  return CloneBase(std::move(c));
}

// --- Arithmetic ---

namespace {
const char* ArithText(TSqlArithOp op) {
  switch (op) {
    case TSqlArithOp::Add:
      return "+";
    case TSqlArithOp::Subtract:
      return "-";
    case TSqlArithOp::Multiply:
      return "*";
    case TSqlArithOp::Divide:
      return "/";
    case TSqlArithOp::Concat:
      return "||";
  }
  return "?";
}
}  // namespace

int TSqlArithmetic::Level() const {
  return Op == TSqlArithOp::Multiply || Op == TSqlArithOp::Divide ? kLevelProduct : kLevelSum;
}

void TSqlArithmetic::Print(std::string& out) const {
  int level = Level();
  PrintSqlOperand(out, *Left, level);
  out += ' ';
  out += ArithText(Op);
  out += ' ';
  PrintSqlOperand(out, *Right, level + 1);
}

void TSqlArithmetic::Dump(std::string& out) const {
  out += '(';
  out += ArithText(Op);
  DumpChild(out, Left.get());
  DumpChild(out, Right.get());
  DumpType(out, Type);
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlArithmetic::Clone() const {
  auto c = std::make_unique<TSqlArithmetic>();
  c->Op = Op;
  c->Left = Left->Clone();
  c->Right = Right->Clone();
  return CloneBase(std::move(c));
}

void TSqlArithmetic::Children(std::vector<TSqlExpr*>& out) {
  AddChild(out, Left);
  AddChild(out, Right);
}

// --- Comparison ---

const char* SqlCompareOpText(TSqlCompareOp op) {
  switch (op) {
    case TSqlCompareOp::Equal:
      return "=";
    case TSqlCompareOp::NotEqual:
      return "<>";
    case TSqlCompareOp::Less:
      return "<";
    case TSqlCompareOp::LessOrEqual:
      return "<=";
    case TSqlCompareOp::Greater:
      return ">";
    case TSqlCompareOp::GreaterOrEqual:
      return ">=";
  }
  return "?";
}

TSqlCompareOp MirrorCompareOp(TSqlCompareOp op) {
  switch (op) {
    case TSqlCompareOp::Less:
      return TSqlCompareOp::Greater;
    case TSqlCompareOp::LessOrEqual:
      return TSqlCompareOp::GreaterOrEqual;
    case TSqlCompareOp::Greater:
      return TSqlCompareOp::Less;
    case TSqlCompareOp::GreaterOrEqual:
      return TSqlCompareOp::LessOrEqual;
    default:
      return op;
  }
}

void TSqlComparison::Print(std::string& out) const {
  PrintSqlOperand(out, *Left, kLevelSum);
  out += ' ';
  out += SqlCompareOpText(Op);
  out += ' ';
  PrintSqlOperand(out, *Right, kLevelSum);
}

void TSqlComparison::Dump(std::string& out) const {
  out += '(';
  out += SqlCompareOpText(Op);
  DumpChild(out, Left.get());
  DumpChild(out, Right.get());
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlComparison::Clone() const {
  auto c = std::make_unique<TSqlComparison>();
  c->Op = Op;
  c->Left = Left->Clone();
  c->Right = Right->Clone();
  return CloneBase(std::move(c));
}

void TSqlComparison::Children(std::vector<TSqlExpr*>& out) {
  AddChild(out, Left);
  AddChild(out, Right);
}

// --- Logical ---

void TSqlLogical::Print(std::string& out) const {
  int level = Level();
  for (size_t i = 0; i < Operands.size(); ++i) {
    if (i > 0) out += Op == TSqlLogicalOp::And ? " AND " : " OR ";
    PrintSqlOperand(out, *Operands[i], level + 1);
  }
}

void TSqlLogical::Dump(std::string& out) const {
  out += Op == TSqlLogicalOp::And ? "(and" : "(or";
  for (const TSqlExprPtr& e : Operands) DumpChild(out, e.get());
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlLogical::Clone() const {
  auto c = std::make_unique<TSqlLogical>();
  c->Op = Op;
  for (const TSqlExprPtr& e : Operands) c->Operands.push_back(e->Clone());
  return CloneBase(std::move(c));
}

void TSqlLogical::Children(std::vector<TSqlExpr*>& out) {
  for (const TSqlExprPtr& e : Operands) AddChild(out, e);
}

// --- NOT ---

void TSqlNot::Print(std::string& out) const {
  out += "NOT ";
  PrintSqlOperand(out, *Operand, kLevelPredicate);
}

void TSqlNot::Dump(std::string& out) const {
  out += "(not";
  DumpChild(out, Operand.get());
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlNot::Clone() const {
  auto c = std::make_unique<TSqlNot>();
  c->Operand = Operand->Clone();
  return CloneBase(std::move(c));
}

void TSqlNot::Children(std::vector<TSqlExpr*>& out) {
  AddChild(out, Operand);
}

// --- IS NULL ---

void TSqlIsNull::Print(std::string& out) const {
  PrintSqlOperand(out, *Operand, kLevelSum);
  out += Negated ? " IS NOT NULL" : " IS NULL";
}

void TSqlIsNull::Dump(std::string& out) const {
  out += Negated ? "(notnull" : "(isnull";
  DumpChild(out, Operand.get());
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlIsNull::Clone() const {
  auto c = std::make_unique<TSqlIsNull>();
  c->Operand = Operand->Clone();
  c->Negated = Negated;
  return CloneBase(std::move(c));
}

void TSqlIsNull::Children(std::vector<TSqlExpr*>& out) {
  AddChild(out, Operand);
}

// --- LIKE ---

void TSqlLike::Print(std::string& out) const {
  PrintSqlOperand(out, *Operand, kLevelSum);
  out += Negated ? " NOT LIKE " : " LIKE ";
  PrintSqlOperand(out, *Pattern, kLevelSum);
  if (Escape) {
    out += " ESCAPE ";
    Escape->Print(out);
  }
}

void TSqlLike::Dump(std::string& out) const {
  out += Negated ? "(notlike" : "(like";
  DumpChild(out, Operand.get());
  DumpChild(out, Pattern.get());
  if (Escape) DumpChild(out, Escape.get());
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlLike::Clone() const {
  auto c = std::make_unique<TSqlLike>();
  c->Operand = Operand->Clone();
  c->Pattern = Pattern->Clone();
  c->Escape = CloneOf(Escape);
  c->Negated = Negated;
  return CloneBase(std::move(c));
}

void TSqlLike::Children(std::vector<TSqlExpr*>& out) {
  AddChild(out, Operand);
  AddChild(out, Pattern);
  AddChild(out, Escape);
}

// --- IN list ---

void TSqlInList::Print(std::string& out) const {
  PrintSqlOperand(out, *Operand, kLevelSum);
  out += Negated ? " NOT IN (" : " IN (";
  for (size_t i = 0; i < Items.size(); ++i) {
    if (i > 0) out += ", ";
    Items[i]->Print(out);
  }
  out += ')';
}

void TSqlInList::Dump(std::string& out) const {
  out += Negated ? "(notin" : "(in";
  DumpChild(out, Operand.get());
  out += " (list";
  for (const TSqlExprPtr& e : Items) DumpChild(out, e.get());
  out += "))";
}

std::unique_ptr<TSqlExpr> TSqlInList::Clone() const {
  auto c = std::make_unique<TSqlInList>();
  c->Operand = Operand->Clone();
  for (const TSqlExprPtr& e : Items) c->Items.push_back(e->Clone());
  c->Negated = Negated;
  return CloneBase(std::move(c));
}

void TSqlInList::Children(std::vector<TSqlExpr*>& out) {
  AddChild(out, Operand);
  for (const TSqlExprPtr& e : Items) AddChild(out, e);
}

// --- IN query ---

TSqlInQuery::TSqlInQuery() : TSqlExpr(TSqlExprKind::InQuery) {}
TSqlInQuery::~TSqlInQuery() = default;

void TSqlInQuery::Print(std::string& out) const {
  PrintSqlOperand(out, *Operand, kLevelSum);
  out += Negated ? " NOT IN " : " IN ";
  PrintSubquery(out, *Select);
}

void TSqlInQuery::Dump(std::string& out) const {
  out += Negated ? "(notin" : "(in";
  DumpChild(out, Operand.get());
  out += ' ';
  Select->Dump(out);
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlInQuery::Clone() const {
  auto c = std::make_unique<TSqlInQuery>();
  c->Operand = Operand->Clone();
  c->Select = Select->Clone();
  c->Negated = Negated;
  return CloneBase(std::move(c));
}

void TSqlInQuery::Children(std::vector<TSqlExpr*>& out) {
  AddChild(out, Operand);
}

// --- Subquery, EXISTS, ANY/SOME/ALL ---

TSqlSubquery::TSqlSubquery() : TSqlExpr(TSqlExprKind::Subquery) {}
TSqlSubquery::~TSqlSubquery() = default;

void TSqlSubquery::Print(std::string& out) const {
  PrintSubquery(out, *Select);
}

void TSqlSubquery::Dump(std::string& out) const {
  out += "(subquery ";
  Select->Dump(out);
  DumpType(out, Type);
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlSubquery::Clone() const {
  auto c = std::make_unique<TSqlSubquery>();
  c->Select = Select->Clone();
  return CloneBase(std::move(c));
}

TSqlExists::TSqlExists() : TSqlExpr(TSqlExprKind::Exists) {}
TSqlExists::~TSqlExists() = default;

void TSqlExists::Print(std::string& out) const {
  out += "EXISTS ";
  PrintSubquery(out, *Select);
}

void TSqlExists::Dump(std::string& out) const {
  out += "(exists ";
  Select->Dump(out);
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlExists::Clone() const {
  auto c = std::make_unique<TSqlExists>();
  c->Select = Select->Clone();
  return CloneBase(std::move(c));
}

TSqlQuantified::TSqlQuantified() : TSqlExpr(TSqlExprKind::Quantified) {}
TSqlQuantified::~TSqlQuantified() = default;

namespace {
const char* QuantifierText(TSqlQuantifier q) {
  switch (q) {
    case TSqlQuantifier::Any:
      return "ANY";
    case TSqlQuantifier::Some:
      return "SOME";
    case TSqlQuantifier::All:
      return "ALL";
  }
  return "?";
}
}  // namespace

void TSqlQuantified::Print(std::string& out) const {
  out += QuantifierText(Quantifier);
  out += ' ';
  PrintSubquery(out, *Select);
}

void TSqlQuantified::Dump(std::string& out) const {
  out += '(';
  out += QuantifierText(Quantifier);
  out += ' ';
  Select->Dump(out);
  DumpType(out, Type);
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlQuantified::Clone() const {
  auto c = std::make_unique<TSqlQuantified>();
  c->Quantifier = Quantifier;
  c->Select = Select->Clone();
  return CloneBase(std::move(c));
}

// --- Aggregate ---

namespace {
const char* AggregateText(TSqlAggregateFunc f) {
  switch (f) {
    case TSqlAggregateFunc::Count:
      return "COUNT";
    case TSqlAggregateFunc::Avg:
      return "AVG";
    case TSqlAggregateFunc::Sum:
      return "SUM";
    case TSqlAggregateFunc::Max:
      return "MAX";
    case TSqlAggregateFunc::Min:
      return "MIN";
  }
  return "?";
}
}  // namespace

void TSqlAggregate::Print(std::string& out) const {
  out += AggregateText(Func);
  out += '(';
  if (Star) {
    out += '*';
  } else {
    if (Distinct) out += "DISTINCT ";
    Argument->Print(out);
  }
  out += ')';
}

void TSqlAggregate::Dump(std::string& out) const {
  out += '(';
  out += AggregateText(Func);
  if (Star) out += " *";
  if (Distinct) out += " distinct";
  if (Argument) DumpChild(out, Argument.get());
  DumpType(out, Type);
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlAggregate::Clone() const {
  auto c = std::make_unique<TSqlAggregate>();
  c->Func = Func;
  c->Star = Star;
  c->Distinct = Distinct;
  c->Argument = CloneOf(Argument);
  return CloneBase(std::move(c));
}

void TSqlAggregate::Children(std::vector<TSqlExpr*>& out) {
  AddChild(out, Argument);
}

// --- String functions ---

void TSqlCaseChange::Print(std::string& out) const {
  out += ToUpper ? "UPPER(" : "LOWER(";
  Argument->Print(out);
  out += ')';
}

void TSqlCaseChange::Dump(std::string& out) const {
  out += ToUpper ? "(upper" : "(lower";
  DumpChild(out, Argument.get());
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlCaseChange::Clone() const {
  auto c = std::make_unique<TSqlCaseChange>();
  c->ToUpper = ToUpper;
  c->Argument = Argument->Clone();
  return CloneBase(std::move(c));
}

void TSqlCaseChange::Children(std::vector<TSqlExpr*>& out) {
  AddChild(out, Argument);
}

void TSqlSubstring::Print(std::string& out) const {
  out += "SUBSTRING(";
  Source->Print(out);
  out += " FROM ";
  Start->Print(out);
  if (Length) {
    out += " FOR ";
    Length->Print(out);
  }
  out += ')';
}

void TSqlSubstring::Dump(std::string& out) const {
  out += "(substring";
  DumpChild(out, Source.get());
  DumpChild(out, Start.get());
  DumpChild(out, Length.get());
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlSubstring::Clone() const {
  auto c = std::make_unique<TSqlSubstring>();
  c->Source = Source->Clone();
  c->Start = Start->Clone();
  c->Length = CloneOf(Length);
  return CloneBase(std::move(c));
}

void TSqlSubstring::Children(std::vector<TSqlExpr*>& out) {
  AddChild(out, Source);
  AddChild(out, Start);
  AddChild(out, Length);
}

namespace {
const char* TrimSideText(TSqlTrimSide side) {
  switch (side) {
    case TSqlTrimSide::Leading:
      return "LEADING";
    case TSqlTrimSide::Trailing:
      return "TRAILING";
    case TSqlTrimSide::Both:
      return "BOTH";
  }
  return "?";
}
}  // namespace

void TSqlTrim::Print(std::string& out) const {
  out += "TRIM(";
  out += TrimSideText(Side);
  if (Characters) {
    out += ' ';
    Characters->Print(out);
  }
  out += " FROM ";
  Source->Print(out);
  out += ')';
}

void TSqlTrim::Dump(std::string& out) const {
  out += "(trim ";
  out += TrimSideText(Side);
  DumpChild(out, Characters.get());
  DumpChild(out, Source.get());
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlTrim::Clone() const {
  auto c = std::make_unique<TSqlTrim>();
  c->Side = Side;
  c->Characters = CloneOf(Characters);
  c->Source = Source->Clone();
  return CloneBase(std::move(c));
}

void TSqlTrim::Children(std::vector<TSqlExpr*>& out) {
  AddChild(out, Characters);
  AddChild(out, Source);
}

// --- CAST, EXTRACT, CURRENT_* ---

void TSqlCast::Print(std::string& out) const {
  out += "CAST(";
  Operand->Print(out);
  out += " AS ";
  Target.Print(out);
  out += ')';
}

void TSqlCast::Dump(std::string& out) const {
  out += "(cast";
  DumpChild(out, Operand.get());
  out += ' ';
  Target.Dump(out);
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlCast::Clone() const {
  auto c = std::make_unique<TSqlCast>();
  c->Operand = Operand->Clone();
  c->Target = Target;
  return CloneBase(std::move(c));
}

void TSqlCast::Children(std::vector<TSqlExpr*>& out) {
  AddChild(out, Operand);
}

namespace {
const char* ExtractFieldText(TSqlExtractField f) {
  switch (f) {
    case TSqlExtractField::Year:
      return "YEAR";
    case TSqlExtractField::Month:
      return "MONTH";
    case TSqlExtractField::Day:
      return "DAY";
    case TSqlExtractField::Hour:
      return "HOUR";
    case TSqlExtractField::Minute:
      return "MINUTE";
    case TSqlExtractField::Second:
      return "SECOND";
  }
  return "?";
}
}  // namespace

void TSqlExtract::Print(std::string& out) const {
  out += "EXTRACT(";
  out += ExtractFieldText(Field);
  out += " FROM ";
  Operand->Print(out);
  out += ')';
}

void TSqlExtract::Dump(std::string& out) const {
  out += "(extract ";
  out += ExtractFieldText(Field);
  DumpChild(out, Operand.get());
  DumpType(out, Type);
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlExtract::Clone() const {
  auto c = std::make_unique<TSqlExtract>();
  c->Field = Field;
  c->Operand = Operand->Clone();
  return CloneBase(std::move(c));
}

void TSqlExtract::Children(std::vector<TSqlExpr*>& out) {
  AddChild(out, Operand);
}

void TSqlCurrentValue::Print(std::string& out) const {
  switch (Which) {
    case TSqlCurrent::Date:
      out += "CURRENT_DATE";
      break;
    case TSqlCurrent::Time:
      out += "CURRENT_TIME";
      break;
    case TSqlCurrent::Timestamp:
      out += "CURRENT_TIMESTAMP";
      break;
  }
}

void TSqlCurrentValue::Dump(std::string& out) const {
  out += '(';
  Print(out);
  DumpType(out, Type);
  out += ')';
}

std::unique_ptr<TSqlExpr> TSqlCurrentValue::Clone() const {
  auto c = std::make_unique<TSqlCurrentValue>();
  c->Which = Which;
  return CloneBase(std::move(c));
}

}  // namespace zuz
