#include "db/sql/zuzSelectParser.h"

#include <algorithm>

#include "db/sql/zuzExprParser.h"

namespace zuz {

namespace {

bool HasAggregate(TSqlExpr& e) {
  if (e.Kind() == TSqlExprKind::Aggregate) return true;
  std::vector<TSqlExpr*> children;
  e.Children(children);
  for (TSqlExpr* c : children) {
    if (HasAggregate(*c)) return true;
  }
  return false;
}

// Words that end an ORDER BY item outside parentheses besides "," and ASC/DESC: they start a
// clause and can't be part of one item.
bool EndsOrderItem(const TSqlToken& t) {
  switch (t.Keyword) {
    case TSqlKeyword::Select:
    case TSqlKeyword::From:
    case TSqlKeyword::Where:
    case TSqlKeyword::GroupBy:
    case TSqlKeyword::Having:
    case TSqlKeyword::Union:
    case TSqlKeyword::OrderBy:
    case TSqlKeyword::Plan:
    case TSqlKeyword::ForUpdate:
      return true;
    default:
      return false;
  }
}

bool IsAscDesc(const TSqlToken& t) {
  return t.Keyword == TSqlKeyword::Asc || t.Keyword == TSqlKeyword::Ascending ||
         t.Keyword == TSqlKeyword::Desc || t.Keyword == TSqlKeyword::Descending;
}

}  // namespace

std::unique_ptr<TSqlSelect> TZuzSelectParser::ParseQuery(bool subquery) {
  TSqlNesting nesting(s_);
  subquery_ = subquery;
  auto select = std::make_unique<TSqlSelect>();
  select->Query = Spec();
  int height = select->Query->Height;
  while (s_.IsKeyword(TSqlKeyword::Union)) {
    s_.Advance();
    bool all = false;
    if (s_.IsKeyword(TSqlKeyword::All)) {
      all = true;
      s_.Advance();
    }
    if (!s_.IsKeyword(TSqlKeyword::Select)) s_.Fail("Union statement was incorrectly terminated");
    TSqlUnionPart part{all, Spec()};
    height = std::max(height, part.Query->Height);
    select->Unions.push_back(std::move(part));
  }
  if (s_.IsKeyword(TSqlKeyword::OrderBy)) OrderBy(*select);
  select->Height = height + 1;
  s_.CheckHeight(select->Height);
  return select;
}

std::unique_ptr<TSqlQuerySpec> TZuzSelectParser::Spec() {
  auto block = std::make_unique<TSqlQuerySpec>();
  block->Pos = s_.CurPos();
  s_.Advance();  // SELECT
  if (s_.IsKeyword(TSqlKeyword::Distinct)) {
    block->Distinct = true;
    s_.Advance();
  } else if (s_.IsKeyword(TSqlKeyword::All)) {
    s_.Advance();
  }
  SelectList(*block);
  if (!s_.IsKeyword(TSqlKeyword::From)) s_.Fail("Select clause incorrectly terminated");
  s_.Advance();
  for (;;) {
    block->From.push_back(TableRef());
    if (!s_.IsPunct(',')) break;
    s_.Advance();
  }
  if (s_.IsKeyword(TSqlKeyword::Where)) {
    s_.Advance();
    block->Where = TZuzExprParser(s_).ParseCondition(kWhereFeatures);
  }
  if (s_.IsKeyword(TSqlKeyword::GroupBy)) GroupBy(*block);
  if (s_.IsKeyword(TSqlKeyword::Having)) {
    if (block->GroupBy.empty()) s_.Fail("No group by clause was specified");
    s_.Advance();
    block->Having = TZuzExprParser(s_).ParseCondition(kHavingFeatures);
  }
  for (const TSqlSelectItem& item : block->Items) block->HasAggregates |= item.Aggregate;
  Finish(*block);
  return block;
}

void TZuzSelectParser::SelectList(TSqlQuerySpec& block) {
  if (s_.IsOperator("*")) {
    block.SelectAll = true;
    s_.Advance();
    return;
  }
  for (;;) {
    block.Items.push_back(Item());
    if (!s_.IsPunct(',')) return;
    s_.Advance();
  }
}

TSqlSelectItem TZuzSelectParser::Item() {
  TSqlSelectItem item;
  item.Pos = s_.CurPos();
  const TSqlToken& t = s_.Cur();
  if (t.Kind == TSqlTokenKind::Qualifier && s_.Peek().Kind == TSqlTokenKind::Operator &&
      s_.Peek().Text == "*") {
    item.TableStar = true;
    item.Qualifier = t.Text;
    item.Caption = t.Text + ".*";
    s_.Advance();
    s_.Advance();
    s_.CountNodes(1);
    return item;
  }
  size_t start = s_.Position();
  item.Expr = TZuzExprParser(s_).ParseCondition(kSelectListFeatures);
  size_t end = s_.Position();
  const TSqlToken& a = s_.Cur();
  if (a.Keyword == TSqlKeyword::As) {
    s_.Advance();
    const TSqlToken& name = s_.Cur();
    if (name.Kind != TSqlTokenKind::Identifier &&
        !(name.Kind == TSqlTokenKind::String && name.Quote == '\'')) {
      s_.Fail(kSqlInvalidToken);
    }
    item.HasAlias = true;
    item.Alias = name.Text;
    s_.Advance();
  } else if (a.Kind == TSqlTokenKind::Identifier ||
             (a.Kind == TSqlTokenKind::String && a.Quote == '\'')) {
    item.HasAlias = true;
    item.Alias = a.Text;
    s_.Advance();
  }
  if (item.HasAlias) {
    item.Caption = item.Alias;
  } else if (item.Expr->Kind() == TSqlExprKind::Column) {
    item.Caption = item.Expr->As<TSqlColumnRef>().Name;
  } else {
    item.Caption = s_.JoinedText(start, end);
  }
  item.Aggregate = HasAggregate(*item.Expr);
  return item;
}

TSqlTableRefPtr TZuzSelectParser::TableRef() {
  TSqlTableRefPtr left = TablePrimary();
  for (;;) {
    const TSqlToken& t = s_.Cur();
    bool join = t.Keyword == TSqlKeyword::Cross || t.Keyword == TSqlKeyword::Natural ||
                t.Keyword == TSqlKeyword::Inner || t.Keyword == TSqlKeyword::Left ||
                t.Keyword == TSqlKeyword::Right || t.Keyword == TSqlKeyword::Full ||
                t.Keyword == TSqlKeyword::Join ||
                (t.Keyword == TSqlKeyword::Union && s_.Peek().Keyword == TSqlKeyword::Join);
    if (!join) return left;
    left = Join(std::move(left));
  }
}

TSqlTableRefPtr TZuzSelectParser::Join(TSqlTableRefPtr left) {
  const TSqlToken& t = s_.Cur();
  auto join = std::make_unique<TSqlJoin>();
  join->Pos = s_.CurPos();
  const char* kJoinSyntax = "Invalid cross join syntax - expected CROSS";
  if (t.Keyword == TSqlKeyword::Cross) {
    s_.Advance();
    if (!s_.IsKeyword(TSqlKeyword::Join)) s_.Fail(kJoinSyntax);
    s_.Advance();
    join->Type = TSqlJoinType::Cross;
    join->Left = std::move(left);
    join->Right = TablePrimary();
    Finish(*join, std::max(join->Left->Height, join->Right->Height));
    return join;
  }
  if (t.Keyword == TSqlKeyword::Natural) {
    join->Natural = true;
    s_.Advance();
  }
  switch (s_.Cur().Keyword) {
    case TSqlKeyword::Inner:
      join->Type = TSqlJoinType::Inner;
      s_.Advance();
      break;
    case TSqlKeyword::Union:
      join->Type = TSqlJoinType::Union;
      s_.Advance();
      break;
    case TSqlKeyword::Left:
    case TSqlKeyword::Right:
    case TSqlKeyword::Full:
      join->Type = s_.Cur().Keyword == TSqlKeyword::Left    ? TSqlJoinType::Left
                   : s_.Cur().Keyword == TSqlKeyword::Right ? TSqlJoinType::Right
                                                            : TSqlJoinType::Full;
      s_.Advance();
      if (s_.IsKeyword(TSqlKeyword::Outer)) s_.Advance();
      break;
    case TSqlKeyword::Join:
      break;
    default:
      s_.Fail(kJoinSyntax);
  }
  if (!s_.IsKeyword(TSqlKeyword::Join)) s_.Fail(kJoinSyntax);
  s_.Advance();
  join->Left = std::move(left);
  join->Right = TablePrimary();
  if (s_.IsKeyword(TSqlKeyword::On)) {
    s_.Advance();
    join->On = TZuzExprParser(s_).ParseCondition(kJoinOnFeatures);
  } else if (s_.IsKeyword(TSqlKeyword::Using)) {
    s_.Advance();
    TSqlListMessages m;
    m.MissingLeft = "Missing '(' from using join specification";
    m.MissingRight = "Missing ')' from using join specification";
    m.MissingRightOrComma = "Missing ')' from using join specification";
    m.Empty = m.EmptyEntry = m.NotAName = "Invalid column list syntax in using specification";
    join->Using = ParseSqlNameList(s_, m);
  } else if (!join->Natural) {
    s_.Fail(kSqlInvalidToken);
  }
  int height = std::max(join->Left->Height, join->Right->Height);
  if (join->On) height = std::max(height, join->On->Height);
  Finish(*join, height);
  return join;
}

TSqlTableRefPtr TZuzSelectParser::TablePrimary() {
  TSqlPos pos = s_.CurPos();
  if (s_.IsPunct('(')) {
    if (s_.Peek().Keyword == TSqlKeyword::Select) {
      s_.Advance();
      auto derived = std::make_unique<TSqlDerivedTable>();
      derived->Pos = pos;
      derived->Select = TZuzSelectParser(s_).ParseQuery(true);
      if (!s_.IsPunct(')')) s_.Fail("Missing Right Parenthesis");
      s_.Advance();
      Alias(*derived);
      Finish(*derived, derived->Select->Height);
      return derived;
    }
    s_.Advance();
    TSqlNesting nesting(s_);
    TSqlTableRefPtr inner = TableRef();
    if (!s_.IsPunct(')')) s_.Fail("Missing Right Parenthesis");
    s_.Advance();
    return inner;
  }
  auto table = std::make_unique<TSqlTableName>();
  table->Pos = pos;
  if (s_.IsKeyword(TSqlKeyword::Temporary)) {
    table->Temporary = true;
    s_.Advance();
    table->Pos = s_.CurPos();
  }
  table->Name = ParseSqlTableName(s_, "Syntax error. Expected table name");
  Alias(*table);
  Finish(*table, 0);
  return table;
}

void TZuzSelectParser::Alias(TSqlTableSource& source) {
  const TSqlToken& t = s_.Cur();
  if (t.Keyword == TSqlKeyword::As) {
    s_.Advance();
    const TSqlToken& name = s_.Cur();
    if (name.Kind != TSqlTokenKind::Identifier && name.Kind != TSqlTokenKind::String) {
      s_.Fail(kSqlInvalidToken);
    }
    source.Alias = name.Text;
    s_.Advance();
  } else if (t.Kind == TSqlTokenKind::Identifier) {
    source.Alias = t.Text;
    s_.Advance();
  }
}

void TZuzSelectParser::GroupBy(TSqlQuerySpec& block) {
  s_.Advance();
  for (;;) {
    const TSqlToken& t = s_.Cur();
    if (t.Kind == TSqlTokenKind::End || t.Keyword == TSqlKeyword::Having ||
        t.Keyword == TSqlKeyword::Union || t.Keyword == TSqlKeyword::OrderBy || s_.IsPunct(')') ||
        s_.IsPunct(',')) {
      s_.Fail("missing column name descriptor");
    }
    TSqlGroupColumn column;
    column.Pos = s_.CurPos();
    if (t.Kind == TSqlTokenKind::Qualifier) {
      column.Qualifier = t.Text;
      s_.Advance();
      if (s_.Cur().Kind != TSqlTokenKind::Identifier) s_.Fail("invalid column name descriptor");
    } else if (t.Kind != TSqlTokenKind::Identifier) {
      s_.Fail("invalid column name descriptor");
    }
    column.Name = s_.Cur().Text;
    s_.Advance();
    block.GroupBy.push_back(std::move(column));
    if (!s_.IsPunct(',')) break;
    s_.Advance();
  }
  const TSqlToken& t = s_.Cur();
  if (!(t.Kind == TSqlTokenKind::End || t.Keyword == TSqlKeyword::Having ||
        t.Keyword == TSqlKeyword::Union || t.Keyword == TSqlKeyword::OrderBy ||
        (subquery_ && s_.IsPunct(')')))) {
    s_.Fail("Group By clause incorrectly terminated");
  }
}

void TZuzSelectParser::OrderBy(TSqlSelect& select) {
  const char* kBad = "Order By clause incorrectly terminated";
  s_.Advance();
  for (;;) {
    TSqlOrderItem item;
    item.Pos = s_.CurPos();
    size_t start = s_.Position();
    int depth = 0;
    for (;;) {
      const TSqlToken& t = s_.Cur();
      if (t.Kind == TSqlTokenKind::End) break;
      if (depth == 0 && (s_.IsPunct(',') || s_.IsPunct(')') || IsAscDesc(t) || EndsOrderItem(t))) {
        break;
      }
      if (s_.IsPunct('(')) ++depth;
      if (s_.IsPunct(')')) --depth;
      s_.Advance();
    }
    size_t end = s_.Position();
    if (end == start) s_.Fail(kBad);
    if (depth != 0) s_.Fail(kBad);
    item.Text = s_.JoinedText(start, end);
    // A lone number is a column number; one [qualifier.]name is a name.
    s_.Seek(start);
    const TSqlToken& a = s_.Cur();
    if (end - start == 1 && a.Kind == TSqlTokenKind::Number &&
        std::all_of(a.Text.begin(), a.Text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      item.ColumnNumber = 0;
      for (char c : a.Text) {
        item.ColumnNumber = item.ColumnNumber * 10 + (c - '0');
        if (item.ColumnNumber > 1000000) break;
      }
      item.ByNumber = true;
    } else if (end - start == 1 && a.Kind == TSqlTokenKind::Identifier) {
      item.IsName = true;
      item.Name = a.Text;
    } else if (end - start == 2 && a.Kind == TSqlTokenKind::Qualifier &&
               s_.Peek().Kind == TSqlTokenKind::Identifier) {
      item.IsName = true;
      item.Qualifier = a.Text;
      item.Name = s_.Peek().Text;
    }
    s_.Seek(end);
    const TSqlToken& t = s_.Cur();
    if (IsAscDesc(t)) {
      item.Descending = t.Keyword == TSqlKeyword::Desc || t.Keyword == TSqlKeyword::Descending;
      s_.Advance();
    }
    s_.CountNodes(1);
    select.OrderBy.push_back(std::move(item));
    if (!s_.IsPunct(',')) break;
    s_.Advance();
  }
  if (!(s_.AtEnd() || (subquery_ && s_.IsPunct(')')))) s_.Fail(kBad);
}

void TZuzSelectParser::Finish(TSqlQuerySpec& block) {
  int h = 0;
  for (const TSqlSelectItem& item : block.Items) {
    if (item.Expr) h = std::max(h, item.Expr->Height);
  }
  for (const TSqlTableRefPtr& ref : block.From) h = std::max(h, ref->Height);
  if (block.Where) h = std::max(h, block.Where->Height);
  if (block.Having) h = std::max(h, block.Having->Height);
  block.Height = h + 1;
  s_.CheckHeight(block.Height);
  s_.CountNodes(1);
}

void TZuzSelectParser::Finish(TSqlTableRef& ref, int childHeight) {
  ref.Height = childHeight + 1;
  s_.CheckHeight(ref.Height);
  s_.CountNodes(1);
}

}  // namespace zuz
