#include "db/sql/zuzExprParser.h"

#include "db/sql/zuzSelectParser.h"

namespace zuz {

namespace {

bool CompareOpOf(std::string_view text, TSqlCompareOp& op) {
  if (text == "=") {
    op = TSqlCompareOp::Equal;
  } else if (text == "<>") {
    op = TSqlCompareOp::NotEqual;
  } else if (text == "<") {
    op = TSqlCompareOp::Less;
  } else if (text == "<=") {
    op = TSqlCompareOp::LessOrEqual;
  } else if (text == ">") {
    op = TSqlCompareOp::Greater;
  } else if (text == ">=") {
    op = TSqlCompareOp::GreaterOrEqual;
  } else {
    return false;
  }
  return true;
}

bool IsComparisonRun(std::string_view text) {
  return !text.empty() && (text[0] == '<' || text[0] == '=' || text[0] == '>');
}

bool SameTextAscii(std::string_view a, const char* b) {
  size_t n = 0;
  for (; b[n]; ++n) {
    if (n >= a.size()) return false;
    char c = a[n];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != b[n]) return false;
  }
  return n == a.size();
}

}  // namespace

TSqlExprPtr TZuzExprParser::ParseCondition(const TSqlFeatures& features) {
  TSqlFeatures saved = f_;
  f_ = features;
  TSqlExprPtr e = Nested();
  f_ = saved;
  return e;
}

TSqlExprPtr TZuzExprParser::Nested() {
  TSqlNesting nesting(s_);
  return Condition();
}

TSqlExprPtr TZuzExprParser::Logical(TSqlLogicalOp op, std::vector<TSqlExprPtr> operands,
                                    TSqlPos pos) {
  auto node = Make<TSqlLogical>(pos);
  node->Op = op;
  for (TSqlExprPtr& e : operands) {
    if (e->Kind() == TSqlExprKind::Logical && e->As<TSqlLogical>().Op == op) {
      for (TSqlExprPtr& inner : e->As<TSqlLogical>().Operands) {
        node->Operands.push_back(std::move(inner));
      }
    } else {
      node->Operands.push_back(std::move(e));
    }
  }
  node->Type = TFieldType::ftBoolean;
  return Done(std::move(node));
}

TSqlExprPtr TZuzExprParser::Condition() {
  TSqlPos pos = s_.CurPos();
  std::vector<TSqlExprPtr> parts;
  parts.push_back(Conjunction());
  while (s_.IsKeyword(TSqlKeyword::Or)) {
    s_.Advance();
    parts.push_back(Conjunction());
  }
  if (parts.size() == 1) return std::move(parts[0]);
  return Logical(TSqlLogicalOp::Or, std::move(parts), pos);
}

TSqlExprPtr TZuzExprParser::Conjunction() {
  TSqlPos pos = s_.CurPos();
  std::vector<TSqlExprPtr> parts;
  parts.push_back(Negation());
  while (s_.IsKeyword(TSqlKeyword::And)) {
    s_.Advance();
    parts.push_back(Negation());
  }
  if (parts.size() == 1) return std::move(parts[0]);
  return Logical(TSqlLogicalOp::And, std::move(parts), pos);
}

TSqlExprPtr TZuzExprParser::Negation() {
  if (!s_.IsKeyword(TSqlKeyword::Not)) return Predicate();
  auto node = Make<TSqlNot>(s_.CurPos());
  s_.Advance();
  node->Operand = Predicate();
  node->Type = TFieldType::ftBoolean;
  return Done(std::move(node));
}

TSqlExprPtr TZuzExprParser::Comparison(TSqlCompareOp op, TSqlExprPtr left, TSqlExprPtr right,
                                       TSqlPos pos) {
  bool swap =
      (right->Kind() == TSqlExprKind::Column && left->Kind() != TSqlExprKind::Column) ||
      (left->Kind() == TSqlExprKind::Quantified && right->Kind() != TSqlExprKind::Quantified);
  if (swap) {
    std::swap(left, right);
    op = MirrorCompareOp(op);
  }
  auto node = Make<TSqlComparison>(pos);
  node->Op = op;
  node->Left = std::move(left);
  node->Right = std::move(right);
  node->Type = TFieldType::ftBoolean;
  return Done(std::move(node));
}

TSqlExprPtr TZuzExprParser::Predicate() {
  TSqlExprPtr left = Sum();
  const TSqlToken& t = s_.Cur();
  TSqlPos pos = s_.CurPos();
  if (t.Kind == TSqlTokenKind::Operator && IsComparisonRun(t.Text)) {
    TSqlCompareOp op;
    if (!CompareOpOf(t.Text, op)) s_.Fail(kSqlInvalidToken);
    s_.Advance();
    TSqlExprPtr right = Sum();
    return Comparison(op, std::move(left), std::move(right), pos);
  }
  switch (t.Keyword) {
    case TSqlKeyword::IsNull:
    case TSqlKeyword::IsNotNull: {
      auto node = Make<TSqlIsNull>(pos);
      node->Negated = t.Keyword == TSqlKeyword::IsNotNull;
      s_.Advance();
      node->Operand = std::move(left);
      node->Type = TFieldType::ftBoolean;
      return Done(std::move(node));
    }
    case TSqlKeyword::Like:
    case TSqlKeyword::NotLike: {
      auto node = Make<TSqlLike>(pos);
      node->Negated = t.Keyword == TSqlKeyword::NotLike;
      s_.Advance();
      node->Operand = std::move(left);
      node->Pattern = Sum();
      if (s_.IsKeyword(TSqlKeyword::Escape)) {
        s_.Advance();
        const TSqlToken& e = s_.Cur();
        if (e.Kind != TSqlTokenKind::String) s_.Fail(kSqlInvalidToken);
        node->Escape = Literal();
      }
      node->Type = TFieldType::ftBoolean;
      return Done(std::move(node));
    }
    case TSqlKeyword::Between:
    case TSqlKeyword::NotBetween: {
      bool negated = t.Keyword == TSqlKeyword::NotBetween;
      s_.Advance();
      return Between(std::move(left), negated);
    }
    case TSqlKeyword::In:
    case TSqlKeyword::NotIn: {
      bool negated = t.Keyword == TSqlKeyword::NotIn;
      s_.Advance();
      return In(std::move(left), negated);
    }
    default:
      return left;
  }
}

TSqlExprPtr TZuzExprParser::Between(TSqlExprPtr operand, bool negated) {
  TSqlPos pos = operand->Pos;
  TSqlPos lowPos = s_.CurPos();
  TSqlExprPtr low = Sum();
  if (!s_.IsKeyword(TSqlKeyword::And)) s_.Fail("missing AND operator in between predicate");
  s_.Advance();
  TSqlPos highPos = s_.CurPos();
  TSqlExprPtr high = Sum();
  s_.CountNodes(CountSqlNodes(*operand));
  TSqlExprPtr copy = operand->Clone();
  std::vector<TSqlExprPtr> parts;
  parts.push_back(Comparison(negated ? TSqlCompareOp::Less : TSqlCompareOp::GreaterOrEqual,
                             std::move(operand), std::move(low), lowPos));
  parts.push_back(Comparison(negated ? TSqlCompareOp::Greater : TSqlCompareOp::LessOrEqual,
                             std::move(copy), std::move(high), highPos));
  return Logical(negated ? TSqlLogicalOp::Or : TSqlLogicalOp::And, std::move(parts), pos);
}

std::unique_ptr<TSqlSelect> TZuzExprParser::SubqueryInParentheses() {
  // At "(" with SELECT after it.
  s_.Advance();
  if (!f_.Subqueries) s_.Fail("Subqueries are not supported");
  std::unique_ptr<TSqlSelect> q = TZuzSelectParser(s_).ParseQuery(true);
  ExpectClose();
  return q;
}

TSqlExprPtr TZuzExprParser::In(TSqlExprPtr operand, bool negated) {
  TSqlPos pos = operand->Pos;
  if (!s_.IsPunct('(')) s_.Fail("Missing Left Parenthesis");
  if (s_.Peek().Keyword == TSqlKeyword::Select) {
    auto node = Make<TSqlInQuery>(pos);
    node->Negated = negated;
    node->Operand = std::move(operand);
    node->Select = SubqueryInParentheses();
    node->Type = TFieldType::ftBoolean;
    return Done(std::move(node));
  }
  s_.Advance();
  if (s_.IsPunct(')')) s_.Fail("IN list is empty");
  auto node = Make<TSqlInList>(pos);
  node->Negated = negated;
  node->Operand = std::move(operand);
  for (;;) {
    if (s_.IsPunct(',') || s_.IsPunct(')')) s_.Fail("Column specification is missing");
    node->Items.push_back(Nested());
    if (s_.IsPunct(',')) {
      s_.Advance();
      continue;
    }
    if (s_.IsPunct(')')) {
      s_.Advance();
      break;
    }
    s_.Fail(s_.AtEnd() ? "Missing Right Parenthesis" : "Missing Right Parenthesis or comma");
  }
  node->Type = TFieldType::ftBoolean;
  return Done(std::move(node));
}

TSqlExprPtr TZuzExprParser::Sum() {
  TSqlExprPtr left = Product();
  for (;;) {
    const TSqlToken& t = s_.Cur();
    if (t.Kind != TSqlTokenKind::Operator) return left;
    TSqlArithOp op;
    if (t.Text == "+") {
      op = TSqlArithOp::Add;
    } else if (t.Text == "-") {
      op = TSqlArithOp::Subtract;
    } else if (t.Text == "||") {
      op = TSqlArithOp::Concat;
    } else {
      return left;
    }
    auto node = Make<TSqlArithmetic>(s_.CurPos());
    s_.Advance();
    node->Op = op;
    node->Left = std::move(left);
    node->Right = Product();
    left = Done(std::move(node));
  }
}

TSqlExprPtr TZuzExprParser::Product() {
  TSqlExprPtr left = Primary();
  for (;;) {
    const TSqlToken& t = s_.Cur();
    if (t.Kind != TSqlTokenKind::Operator || (t.Text != "*" && t.Text != "/")) return left;
    auto node = Make<TSqlArithmetic>(s_.CurPos());
    s_.Advance();
    node->Op = t.Text == "*" ? TSqlArithOp::Multiply : TSqlArithOp::Divide;
    node->Left = std::move(left);
    node->Right = Primary();
    left = Done(std::move(node));
  }
}

void TZuzExprParser::ExpectOpen() {
  if (!s_.IsPunct('(')) s_.Fail("Missing Left Parenthesis");
  s_.Advance();
}

void TZuzExprParser::ExpectClose() {
  if (!s_.IsPunct(')')) s_.Fail("Missing Right Parenthesis");
  s_.Advance();
}

TSqlExprPtr TZuzExprParser::Primary() {
  const TSqlToken& t = s_.Cur();
  TSqlPos pos = s_.CurPos();
  switch (t.Kind) {
    case TSqlTokenKind::Punctuation:
      if (t.Text[0] != '(') s_.Fail(kSqlInvalidToken);
      if (s_.Peek().Keyword == TSqlKeyword::Select) {
        auto node = Make<TSqlSubquery>(pos);
        node->Select = SubqueryInParentheses();
        return Done(std::move(node));
      }
      if (s_.Peek().Kind == TSqlTokenKind::Punctuation && s_.Peek().Text == ")") {
        s_.Fail("Expression is empty");
      }
      {
        s_.Advance();
        TSqlExprPtr e = Nested();
        ExpectClose();
        return e;
      }
    case TSqlTokenKind::Identifier:
    case TSqlTokenKind::Qualifier:
      return Column();
    case TSqlTokenKind::String:
    case TSqlTokenKind::Number:
      return Literal();
    case TSqlTokenKind::Parameter: {
      if (!f_.Parameters) s_.Fail("Parameters are not supported");
      auto node = Make<TSqlParameter>(pos);
      node->Name = t.Text;
      s_.Advance();
      return Done(std::move(node));
    }
    case TSqlTokenKind::Aggregate:
      return Aggregate();
    case TSqlTokenKind::StringFunction:
      return StringFunction();
    case TSqlTokenKind::End:
      s_.Fail("Expression incorrectly terminated");
    case TSqlTokenKind::Keyword:
      break;
    default:
      s_.Fail(kSqlInvalidToken);
  }
  switch (t.Keyword) {
    case TSqlKeyword::Null:
    case TSqlKeyword::True:
    case TSqlKeyword::False:
      return Literal();
    case TSqlKeyword::CurrentDate:
    case TSqlKeyword::CurrentTime:
    case TSqlKeyword::CurrentTimestamp: {
      auto node = Make<TSqlCurrentValue>(pos);
      if (t.Keyword == TSqlKeyword::CurrentDate) {
        node->Which = TSqlCurrent::Date;
        node->Type = TFieldType::ftDate;
      } else if (t.Keyword == TSqlKeyword::CurrentTime) {
        node->Which = TSqlCurrent::Time;
        node->Type = TFieldType::ftTime;
      } else {
        node->Which = TSqlCurrent::Timestamp;
        node->Type = TFieldType::ftDateTime;
      }
      s_.Advance();
      return Done(std::move(node));
    }
    case TSqlKeyword::Exists:
    case TSqlKeyword::Any:
    case TSqlKeyword::Some:
    case TSqlKeyword::All: {
      TSqlKeyword kw = t.Keyword;
      s_.Advance();
      if (!s_.IsPunct('(')) s_.Fail("Missing Left Parenthesis");
      if (s_.Peek().Keyword != TSqlKeyword::Select) {
        s_.Advance();
        s_.Fail("Missing select token");
      }
      std::unique_ptr<TSqlSelect> q = SubqueryInParentheses();
      if (kw == TSqlKeyword::Exists) {
        auto node = Make<TSqlExists>(pos);
        node->Select = std::move(q);
        node->Type = TFieldType::ftBoolean;
        return Done(std::move(node));
      }
      auto node = Make<TSqlQuantified>(pos);
      node->Quantifier = kw == TSqlKeyword::Any    ? TSqlQuantifier::Any
                         : kw == TSqlKeyword::Some ? TSqlQuantifier::Some
                                                   : TSqlQuantifier::All;
      node->Select = std::move(q);
      return Done(std::move(node));
    }
    case TSqlKeyword::Cast:
      return Cast();
    case TSqlKeyword::Extract:
      return Extract();
    case TSqlKeyword::Distinct:
      // DISTINCT is reserved only inside a select list; elsewhere it is a name.
      if (!f_.SelectList) return Column();
      s_.Fail(kSqlInvalidToken);
    default:
      s_.Fail(kSqlInvalidToken);
  }
}

TSqlExprPtr TZuzExprParser::Column() {
  const TSqlToken& t = s_.Cur();
  if (!f_.Columns) s_.Fail(kSqlInvalidToken);
  auto node = Make<TSqlColumnRef>(s_.CurPos());
  if (t.Kind == TSqlTokenKind::Qualifier) {
    node->Qualifier = t.Text;
    s_.Advance();
    if (s_.Cur().Kind != TSqlTokenKind::Identifier) s_.Fail(kSqlInvalidToken);
  }
  node->Name = s_.Cur().Text;
  s_.Advance();
  return Done(std::move(node));
}

TSqlExprPtr TZuzExprParser::Literal() {
  const TSqlToken& t = s_.Cur();
  auto node = Make<TSqlLiteral>(s_.CurPos());
  switch (t.Kind) {
    case TSqlTokenKind::String:
      node->LiteralKind = TSqlLiteralKind::String;
      node->Text = t.Text;
      node->Type = TFieldType::ftString;
      break;
    case TSqlTokenKind::Number:
      if (!SqlNumberValue(t.Text, node->Number)) s_.Fail(kSqlInvalidToken);
      node->LiteralKind = TSqlLiteralKind::Number;
      node->Text = t.Text;
      node->Type = TFieldType::ftFloat;
      break;
    default:
      if (t.Keyword == TSqlKeyword::Null) {
        node->LiteralKind = TSqlLiteralKind::Null;
      } else {
        node->LiteralKind = TSqlLiteralKind::Boolean;
        node->Boolean = t.Keyword == TSqlKeyword::True;
        node->Number = node->Boolean ? 1 : 0;
        node->Type = TFieldType::ftBoolean;
      }
      break;
  }
  s_.Advance();
  return Done(std::move(node));
}

TSqlExprPtr TZuzExprParser::Aggregate() {
  const TSqlToken& t = s_.Cur();
  if (!f_.Aggregates) s_.Fail(kSqlInvalidToken);
  auto node = Make<TSqlAggregate>(s_.CurPos());
  switch (t.Keyword) {
    case TSqlKeyword::Count:
      node->Func = TSqlAggregateFunc::Count;
      break;
    case TSqlKeyword::Avg:
      node->Func = TSqlAggregateFunc::Avg;
      break;
    case TSqlKeyword::Sum:
      node->Func = TSqlAggregateFunc::Sum;
      break;
    case TSqlKeyword::Max:
      node->Func = TSqlAggregateFunc::Max;
      break;
    default:
      node->Func = TSqlAggregateFunc::Min;
      break;
  }
  s_.Advance();
  ExpectOpen();
  if (node->Func == TSqlAggregateFunc::Count && s_.IsOperator("*")) {
    node->Star = true;
    s_.Advance();
  } else {
    if (s_.IsKeyword(TSqlKeyword::Distinct)) {
      node->Distinct = true;
      s_.Advance();
    } else if (s_.IsKeyword(TSqlKeyword::All)) {
      s_.Advance();
    }
    TSqlFeatures saved = f_;
    f_.Aggregates = false;
    f_.SelectList = false;
    node->Argument = Nested();
    f_ = saved;
  }
  ExpectClose();
  node->Type = TFieldType::ftFloat;
  return Done(std::move(node));
}

bool TZuzExprParser::StartsOperand() const {
  const TSqlToken& t = s_.Peek(0);
  switch (t.Kind) {
    case TSqlTokenKind::Identifier:
    case TSqlTokenKind::Qualifier:
    case TSqlTokenKind::String:
    case TSqlTokenKind::Number:
    case TSqlTokenKind::Parameter:
    case TSqlTokenKind::Aggregate:
    case TSqlTokenKind::StringFunction:
      return true;
    case TSqlTokenKind::Punctuation:
      return t.Text == "(";
    case TSqlTokenKind::Keyword:
      switch (t.Keyword) {
        case TSqlKeyword::Null:
        case TSqlKeyword::True:
        case TSqlKeyword::False:
        case TSqlKeyword::CurrentDate:
        case TSqlKeyword::CurrentTime:
        case TSqlKeyword::CurrentTimestamp:
        case TSqlKeyword::Cast:
        case TSqlKeyword::Extract:
        case TSqlKeyword::Exists:
          return true;
        default:
          return false;
      }
    default:
      return false;
  }
}

TSqlExprPtr TZuzExprParser::StringFunction() {
  const TSqlToken& t = s_.Cur();
  TSqlPos pos = s_.CurPos();
  TSqlKeyword kw = t.Keyword;
  s_.Advance();
  ExpectOpen();
  TSqlFeatures saved = f_;
  f_.SelectList = false;
  TSqlExprPtr result;
  if (kw == TSqlKeyword::Upper || kw == TSqlKeyword::Lower) {
    auto node = Make<TSqlCaseChange>(pos);
    node->ToUpper = kw == TSqlKeyword::Upper;
    node->Argument = Nested();
    node->Type = TFieldType::ftString;
    result = std::move(node);
  } else if (kw == TSqlKeyword::Substring) {
    auto node = Make<TSqlSubstring>(pos);
    node->Source = Nested();
    if (!s_.IsKeyword(TSqlKeyword::From) && !s_.IsPunct(',')) {
      s_.Fail("Missing FROM or COMMA token in SUBSTRING function");
    }
    s_.Advance();
    node->Start = Nested();
    if (s_.IsKeyword(TSqlKeyword::For) || s_.IsPunct(',')) {
      s_.Advance();
      node->Length = Nested();
    }
    node->Type = TFieldType::ftString;
    result = std::move(node);
  } else {
    auto node = Make<TSqlTrim>(pos);
    const TSqlToken& side = s_.Cur();
    if (side.Kind == TSqlTokenKind::Identifier && side.Quote == 0) {
      bool isSide = true;
      TSqlTrimSide which = TSqlTrimSide::Both;
      if (SameTextAscii(side.Text, "LEADING")) {
        which = TSqlTrimSide::Leading;
      } else if (SameTextAscii(side.Text, "TRAILING")) {
        which = TSqlTrimSide::Trailing;
      } else if (!SameTextAscii(side.Text, "BOTH")) {
        isSide = false;
      }
      if (isSide) {
        size_t at = s_.Position();
        s_.Advance();
        if (s_.IsKeyword(TSqlKeyword::From) || StartsOperand()) {
          node->Side = which;
        } else {
          s_.Seek(at);  // a column of that name
        }
      }
    }
    if (s_.IsKeyword(TSqlKeyword::From)) {
      s_.Advance();
      node->Source = Nested();
    } else {
      TSqlExprPtr e = Nested();
      if (s_.IsKeyword(TSqlKeyword::From)) {
        s_.Advance();
        node->Characters = std::move(e);
        node->Source = Nested();
      } else {
        node->Source = std::move(e);
      }
    }
    node->Type = TFieldType::ftString;
    result = std::move(node);
  }
  f_ = saved;
  ExpectClose();
  return Done(std::move(result));
}

TSqlExprPtr TZuzExprParser::Cast() {
  auto node = Make<TSqlCast>(s_.CurPos());
  s_.Advance();
  ExpectOpen();
  TSqlFeatures saved = f_;
  f_.SelectList = false;
  node->Operand = Nested();
  f_ = saved;
  if (!s_.IsKeyword(TSqlKeyword::As)) s_.Fail("Missing AS operator in Cast expression");
  s_.Advance();
  node->Target = ParseSqlDataType(s_);
  node->Type = node->Target.Type;
  ExpectClose();
  return Done(std::move(node));
}

TSqlExprPtr TZuzExprParser::Extract() {
  auto node = Make<TSqlExtract>(s_.CurPos());
  s_.Advance();
  ExpectOpen();
  switch (s_.Cur().Keyword) {
    case TSqlKeyword::Year:
      node->Field = TSqlExtractField::Year;
      break;
    case TSqlKeyword::Month:
      node->Field = TSqlExtractField::Month;
      break;
    case TSqlKeyword::Day:
      node->Field = TSqlExtractField::Day;
      break;
    case TSqlKeyword::Hour:
      node->Field = TSqlExtractField::Hour;
      break;
    case TSqlKeyword::Minute:
      node->Field = TSqlExtractField::Minute;
      break;
    case TSqlKeyword::Second:
      node->Field = TSqlExtractField::Second;
      break;
    default:
      s_.Fail("Invalid extract field in EXTRACT expression");
  }
  s_.Advance();
  if (!s_.IsKeyword(TSqlKeyword::From)) s_.Fail("Missing FROM operator in Extract expression");
  s_.Advance();
  TSqlFeatures saved = f_;
  f_.SelectList = false;
  node->Operand = Nested();
  f_ = saved;
  node->Type =
      node->Field == TSqlExtractField::Second ? TFieldType::ftFloat : TFieldType::ftInteger;
  ExpectClose();
  return Done(std::move(node));
}

}  // namespace zuz
