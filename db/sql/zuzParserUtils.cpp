#include "db/sql/zuzParserUtils.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>

namespace zuz {

std::string SqlPositionSuffix(int line, int character, std::string_view token) {
  char buf[64];
  std::snprintf(buf, sizeof buf, " Line %d, Character %d. Token '", line, character);
  std::string out(buf);
  out.append(token);
  out += '\'';
  return out;
}

std::string SqlPositionSuffix(const TSqlPos& pos) {
  return SqlPositionSuffix(pos.Line, pos.Char, pos.Token);
}

void FailSqlAt(const TSqlPos& pos, const std::string& message) {
  throw TSqlParseError{message + SqlPositionSuffix(pos)};
}

TZuzSqlParseState::TZuzSqlParseState(std::string_view text)
    : text_(text), tokens_(SqlTokenize(text)) {
  nodeBudget_ = kSqlBaseNodes + kSqlNodesPerToken * tokens_.size();
}

const TSqlToken& TZuzSqlParseState::Cur() const {
  const TSqlToken& t = tokens_[pos_];
  if (t.Kind == TSqlTokenKind::Invalid) FailAt(t, t.Message ? t.Message : kSqlInvalidToken);
  return t;
}

const TSqlToken& TZuzSqlParseState::Peek(size_t ahead) const {
  return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
}

void TZuzSqlParseState::Advance() {
  if (pos_ + 1 < tokens_.size()) ++pos_;
}

bool TZuzSqlParseState::IsKeyword(TSqlKeyword keyword) const {
  return tokens_[pos_].Keyword == keyword;
}

bool TZuzSqlParseState::IsPunct(char c) const {
  const TSqlToken& t = tokens_[pos_];
  return t.Kind == TSqlTokenKind::Punctuation && t.Text[0] == c;
}

bool TZuzSqlParseState::IsOperator(std::string_view text) const {
  const TSqlToken& t = tokens_[pos_];
  return t.Kind == TSqlTokenKind::Operator && t.Text == text;
}

bool TZuzSqlParseState::AtEnd() const {
  return tokens_[pos_].Kind == TSqlTokenKind::End;
}

bool TZuzSqlParseState::AtEndOfText() const {
  return pos_ + 1 == tokens_.size();
}

namespace {

// A token as error messages show it: its text, a parameter with its ":".
std::string ShownText(const TSqlToken& t) {
  return t.Kind == TSqlTokenKind::Parameter ? ":" + t.Text : t.Text;
}

}  // namespace

TSqlPos TZuzSqlParseState::PosOf(const TSqlToken& t) {
  return TSqlPos{t.Line, t.Char, ShownText(t)};
}

void TZuzSqlParseState::Fail(const std::string& message) const {
  FailAt(tokens_[pos_], message);
}

void TZuzSqlParseState::FailAt(const TSqlToken& t, const std::string& message) {
  throw TSqlParseError{message + SqlPositionSuffix(t.Line, t.Char, ShownText(t))};
}

std::string TZuzSqlParseState::JoinedText(size_t from, size_t to) const {
  std::string out;
  for (size_t i = from; i < to && i < tokens_.size(); ++i) {
    const TSqlToken& t = tokens_[i];
    if (i > from && t.SpaceBefore) out += ' ';
    out.append(text_.substr(t.Start, t.End - t.Start));
  }
  return out;
}

void TZuzSqlParseState::Enter() {
  if (++depth_ > kMaxSqlNesting) {
    --depth_;
    Fail(kSqlTooDeep);
  }
}

void TZuzSqlParseState::CheckHeight(int height) const {
  if (height > kMaxSqlHeight) Fail(kSqlTooDeep);
}

void TZuzSqlParseState::Finish(TSqlExpr& node) {
  std::vector<TSqlExpr*> children;
  node.Children(children);
  int h = 0;
  for (const TSqlExpr* c : children) h = std::max(h, c->Height);
  if (const TSqlSelect* q = node.Query()) h = std::max(h, q->Height);
  node.Height = h + 1;
  CheckHeight(node.Height);
  CountNodes(1);
}

void TZuzSqlParseState::CountNodes(size_t n) {
  nodes_ += n;
  if (nodes_ > nodeBudget_) Fail(kSqlTooDeep);
}

std::vector<TSqlName> ParseSqlNameList(TZuzSqlParseState& s, const TSqlListMessages& m) {
  if (!s.IsPunct('(')) s.Fail(m.MissingLeft);
  s.Advance();
  if (s.IsPunct(')')) s.Fail(m.Empty);
  std::vector<TSqlName> names;
  for (;;) {
    const TSqlToken& t = s.Cur();
    if (s.IsPunct(',') || s.IsPunct(')')) s.Fail(m.EmptyEntry);
    if (t.Kind != TSqlTokenKind::Identifier) s.Fail(m.NotAName);
    names.push_back(TSqlName{t.Text, TZuzSqlParseState::PosOf(t), -1});
    s.Advance();
    if (s.IsPunct(',')) {
      s.Advance();
      continue;
    }
    if (s.IsPunct(')')) {
      s.Advance();
      return names;
    }
    s.Fail(s.AtEnd() ? m.MissingRight : m.MissingRightOrComma);
  }
}

namespace {

// A non-negative whole number token: digits only, within int.
bool SmallCount(const TSqlToken& t, int& value) {
  if (t.Kind != TSqlTokenKind::Number || t.Text.empty()) return false;
  for (char c : t.Text) {
    if (c < '0' || c > '9') return false;
  }
  auto r = std::from_chars(t.Text.data(), t.Text.data() + t.Text.size(), value);
  return r.ec == std::errc() && r.ptr == t.Text.data() + t.Text.size();
}

enum class TArgs { None, Length, Precision, PrecisionScale, SizeSubtype };

}  // namespace

TSqlDataType ParseSqlDataType(TZuzSqlParseState& s) {
  const TSqlToken& t = s.Cur();
  TSqlDataType d;
  TArgs args = TArgs::None;
  switch (t.Keyword) {
    case TSqlKeyword::Char:
    case TSqlKeyword::Character:
    case TSqlKeyword::Varchar:
      d.Type = TFieldType::ftString;
      d.Size = 1;
      args = TArgs::Length;
      break;
    case TSqlKeyword::Integer:
    case TSqlKeyword::Int:
      d.Type = TFieldType::ftInteger;
      break;
    case TSqlKeyword::Smallint:
      d.Type = TFieldType::ftSmallint;
      break;
    case TSqlKeyword::Date:
      d.Type = TFieldType::ftDate;
      break;
    case TSqlKeyword::Time:
      d.Type = TFieldType::ftTime;
      args = TArgs::Precision;
      break;
    case TSqlKeyword::Timestamp:
    case TSqlKeyword::DateTime:
      d.Type = TFieldType::ftDateTime;
      break;
    case TSqlKeyword::Decimal:
    case TSqlKeyword::Numeric:
    case TSqlKeyword::Float:
    case TSqlKeyword::Dec:
    case TSqlKeyword::Real:
    case TSqlKeyword::Double:
    case TSqlKeyword::DoublePrecision:
      d.Type = TFieldType::ftFloat;
      args = TArgs::PrecisionScale;
      break;
    case TSqlKeyword::Boolean:
      d.Type = TFieldType::ftBoolean;
      break;
    case TSqlKeyword::Money:
      d.Type = TFieldType::ftCurrency;
      break;
    case TSqlKeyword::Blob:
      d.Type = TFieldType::ftBlob;
      args = TArgs::SizeSubtype;
      break;
    case TSqlKeyword::AutoInc:
      d.Type = TFieldType::ftAutoInc;
      break;
    default:
      s.Fail("Unknown Datatype");
  }
  d.Word = SqlKeywordText(t.Keyword);
  s.Advance();
  if (args != TArgs::None && s.IsPunct('(')) {
    s.Advance();
    if (!SmallCount(s.Cur(), d.Size)) s.Fail("Data type length/precision not specified");
    d.HasSize = true;
    s.Advance();
    if ((args == TArgs::PrecisionScale || args == TArgs::SizeSubtype) && s.IsPunct(',')) {
      s.Advance();
      if (!SmallCount(s.Cur(), d.Scale)) s.Fail("Data type scale invalid");
      d.HasScale = true;
      s.Advance();
    }
    if (!s.IsPunct(')')) s.Fail("Missing Right Parenthesis");
    s.Advance();
    if (args == TArgs::SizeSubtype && d.HasScale) {
      if (d.Scale == 1) d.Type = TFieldType::ftMemo;
      if (d.Scale == 3) d.Type = TFieldType::ftFmtMemo;
      if (d.Scale == 5) d.Type = TFieldType::ftGraphic;
    }
  }
  if (!(s.IsPunct(',') || s.IsPunct(')') || s.AtEnd() || s.IsKeyword(TSqlKeyword::Not) ||
        s.IsKeyword(TSqlKeyword::PrimaryKey))) {
    s.Fail("Data type is invalid");
  }
  return d;
}

std::string ParseSqlTableName(TZuzSqlParseState& s, const char* message) {
  const TSqlToken& t = s.Cur();
  if (t.Kind != TSqlTokenKind::Identifier && t.Kind != TSqlTokenKind::String) s.Fail(message);
  std::string name = t.Text;
  s.Advance();
  return name;
}

bool SqlNumberValue(std::string_view text, double& value) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  // Digits, dots and an exponent only: no "inf", "nan" or hexadecimal forms.
  size_t digits = text.empty() || text[0] != '-' ? 0 : 1;
  if (digits >= text.size() ||
      !((text[digits] >= '0' && text[digits] <= '9') || text[digits] == '.')) {
    return false;
  }
  for (char c : text) {
    if (c == 'x' || c == 'X' || c == 'p' || c == 'P') return false;
  }
  auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  return r.ec == std::errc() && r.ptr == text.data() + text.size() && std::isfinite(value);
}

namespace {

size_t CountSpec(const TSqlQuerySpec& q);

size_t CountRef(const TSqlTableRef& r) {
  switch (r.Kind()) {
    case TSqlTableRefKind::Table:
      return 1;
    case TSqlTableRefKind::Derived:
      return 1 + CountSqlNodes(*r.As<TSqlDerivedTable>().Select);
    case TSqlTableRefKind::Join: {
      const auto& j = r.As<TSqlJoin>();
      return 1 + CountRef(*j.Left) + CountRef(*j.Right) + (j.On ? CountSqlNodes(*j.On) : 0);
    }
  }
  return 1;
}

size_t CountSpec(const TSqlQuerySpec& q) {
  size_t n = 1;
  for (const TSqlSelectItem& item : q.Items) {
    if (item.Expr) n += CountSqlNodes(*item.Expr);
  }
  for (const TSqlTableRefPtr& r : q.From) n += CountRef(*r);
  if (q.Where) n += CountSqlNodes(*q.Where);
  if (q.Having) n += CountSqlNodes(*q.Having);
  return n;
}

}  // namespace

size_t CountSqlNodes(const TSqlExpr& e) {
  std::vector<TSqlExpr*> children;
  const_cast<TSqlExpr&>(e).Children(children);
  size_t n = 1;
  for (const TSqlExpr* c : children) n += CountSqlNodes(*c);
  if (const TSqlSelect* q = e.Query()) n += CountSqlNodes(*q);
  return n;
}

size_t CountSqlNodes(const TSqlSelect& s) {
  size_t n = CountSpec(*s.Query);
  for (const TSqlUnionPart& p : s.Unions) n += CountSpec(*p.Query);
  return n;
}

}  // namespace zuz
