// Scans predicate text as drawn in qorXPathTokenizer.h.
#include "planner/xml/qorXPathTokenizer.h"

#include "planner/base/qorStrings.h"

namespace {

constexpr int kFunctionPrecedence = 7;

struct WordEntry {
  std::string_view name;
  TTokenKind kind;
  TTokenCode code;
  int precedence;
  int arity;
};

constexpr WordEntry Operand(std::string_view name, TTokenCode code) {
  return {name, TTokenKind::Operand, code, 0, 0};
}
constexpr WordEntry Op(std::string_view name, TTokenCode code, int precedence) {
  return {name, TTokenKind::Operator, code, precedence, 2};
}
constexpr WordEntry Fn(std::string_view name, TTokenCode code, int arity) {
  return {name, TTokenKind::Operator, code, kFunctionPrecedence, arity};
}

// Every named token, in lower case; the symbols are listed for CodeName only.
constexpr WordEntry kWords[] = {
    Operand("value", TTokenCode::Value),
    Operand("name", TTokenCode::Name),
    Operand("position", TTokenCode::Position),
    Operand("first", TTokenCode::First),
    Operand("last", TTokenCode::Last),
    Operand("path", TTokenCode::Path),
    Operand("parentname", TTokenCode::ParentName),
    Operand("childcount", TTokenCode::ChildCount),
    Operand("namespace", TTokenCode::Namespace),
    Operand("basename", TTokenCode::BaseName),
    Operand("namespaceuri", TTokenCode::NamespaceURI),
    Operand("pi", TTokenCode::Pi),
    Operand("date", TTokenCode::Date),
    Operand("time", TTokenCode::Time),
    Op("div", TTokenCode::Div, 5),
    Op("and", TTokenCode::And, 0),
    Op("or", TTokenCode::Or, 0),
    Fn("sin", TTokenCode::Sin, 1),
    Fn("cos", TTokenCode::Cos, 1),
    Fn("sqr", TTokenCode::Sqr, 1),
    Fn("sqrt", TTokenCode::Sqrt, 1),
    Fn("hasattribute", TTokenCode::HasAttribute, 1),
    Fn("haschild", TTokenCode::HasChild, 1),
    Fn("easter", TTokenCode::Easter, 1),
    Fn("weeknumber", TTokenCode::WeekNumber, 1),
    Fn("year", TTokenCode::Year, 1),
    Fn("month", TTokenCode::Month, 1),
    Fn("day", TTokenCode::Day, 1),
    Fn("soundex", TTokenCode::Soundex, 1),
    Fn("lower", TTokenCode::Lower, 1),
    Fn("upper", TTokenCode::Upper, 1),
    Fn("trim", TTokenCode::Trim, 1),
    Fn("not", TTokenCode::Not, 1),
    Fn("like", TTokenCode::Like, 2),
    Fn("in", TTokenCode::In, 2),
    Fn("asnumber", TTokenCode::AsNumber, 1),
    Fn("parsefloat", TTokenCode::ParseFloat, 1),
    Fn("asdate", TTokenCode::AsDate, 1),
    Fn("dateadd", TTokenCode::DateAdd, 3),
    Fn("left", TTokenCode::Left, 2),
    Fn("right", TTokenCode::Right, 2),
    Fn("mid", TTokenCode::Mid, 3),
    Fn("substr_after", TTokenCode::SubstrAfter, 2),
    Fn("substr_before", TTokenCode::SubstrBefore, 2),
    Fn("format", TTokenCode::Format, 2),
    Fn("length", TTokenCode::Length, 1),
    Fn("fix", TTokenCode::Fix, 2),
    Fn("trunc", TTokenCode::Trunc, 2),
    Fn("ceil", TTokenCode::Ceil, 1),
    Fn("floor", TTokenCode::Floor, 1),
    Fn("isnumeric", TTokenCode::IsNumeric, 1),
    Fn("isdate", TTokenCode::IsDate, 1),
    Fn("replace", TTokenCode::Replace, 3),
    Fn("assign", TTokenCode::Assign, 2),
    Fn("get", TTokenCode::Get, 1),
};

constexpr WordEntry kSymbols[] = {
    Op("=", TTokenCode::Equal, 3),   Op("<>", TTokenCode::NotEqual, 3),
    Op("<", TTokenCode::Less, 3),    Op("<=", TTokenCode::LessEqual, 3),
    Op(">", TTokenCode::Greater, 3), Op(">=", TTokenCode::GreaterEqual, 3),
    Op("+", TTokenCode::Plus, 4),    Op("-", TTokenCode::Minus, 4),
    Op("*", TTokenCode::Times, 6),
};

bool IsAsciiLetter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool IsNameChar(unsigned char c) {
  return IsAsciiLetter(c) || IsDigit(c) || c == '.' || c == '/' || c == ':' || c == '@' ||
         c == '_' || c >= 0x80;
}

void Fill(TToken& token, const WordEntry& e) {
  token.Kind = e.kind;
  token.Code = e.code;
  token.Precedence = e.precedence;
  token.Arity = e.arity;
}

}  // namespace

bool TqorXPathTokenizer::LookUpWord(std::string_view word, TToken& token) {
  if (word.size() > 16) return false;  // longer than every keyword
  char lower[16];
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  }
  const std::string_view folded(lower, word.size());
  for (const WordEntry& e : kWords) {
    if (e.name == folded) {
      Fill(token, e);
      return true;
    }
  }
  return false;
}

std::string_view TqorXPathTokenizer::CodeName(TTokenCode code) {
  for (const WordEntry& e : kWords)
    if (e.code == code) return e.name;
  for (const WordEntry& e : kSymbols)
    if (e.code == code) return e.name;
  return {};
}

size_t TqorXPathTokenizer::NameRunEnd(size_t from) const {
  while (from < source_.size() && IsNameChar(static_cast<unsigned char>(source_[from]))) ++from;
  return from;
}

bool TqorXPathTokenizer::Next(TToken& token) {
  if (stopped_) return false;
  while (position_ < source_.size() && source_[position_] == ' ') ++position_;
  if (position_ >= source_.size()) return false;

  token = TToken();
  const size_t start = position_;
  const auto c = static_cast<unsigned char>(source_[start]);
  auto symbol = [&](TTokenCode code, size_t length) {
    for (const WordEntry& e : kSymbols) {
      if (e.code == code) {
        Fill(token, e);
        break;
      }
    }
    token.Text = std::string(source_.substr(start, length));
    position_ = start + length;
    return true;
  };
  auto simple = [&](TTokenKind kind) {
    token.Kind = kind;
    token.Text = std::string(1, static_cast<char>(c));
    position_ = start + 1;
    return true;
  };
  const char next = start + 1 < source_.size() ? source_[start + 1] : '\0';

  switch (c) {
    case '\'': {
      size_t close = source_.find('\'', start + 1);
      if (close == std::string_view::npos) {
        Stop();
        return false;
      }
      token.Kind = TTokenKind::Operand;
      token.Code = TTokenCode::Literal;
      token.Text = std::string(source_.substr(start + 1, close - start - 1));
      token.Value = TqorVariant(token.Text);
      position_ = close + 1;
      return true;
    }
    case '@': {
      size_t end = NameRunEnd(start + 1);
      token.Kind = TTokenKind::Operand;
      token.Code = TTokenCode::Attribute;
      token.Text = std::string(source_.substr(start, end - start));
      position_ = end;
      return true;
    }
    case ',':
      return simple(TTokenKind::Comma);
    case '#':
      return simple(TTokenKind::NumberSign);
    case '(':
      return simple(TTokenKind::OpenParenthesis);
    case ')':
      return simple(TTokenKind::CloseParenthesis);
    case '*':
      return symbol(TTokenCode::Times, 1);
    case '+':
      return symbol(TTokenCode::Plus, 1);
    case '-':
      return symbol(TTokenCode::Minus, 1);
    case '=':
      return symbol(TTokenCode::Equal, 1);
    case '<':
      if (next == '=') return symbol(TTokenCode::LessEqual, 2);
      if (next == '>') return symbol(TTokenCode::NotEqual, 2);
      return symbol(TTokenCode::Less, 1);
    case '>':
      if (next == '=') return symbol(TTokenCode::GreaterEqual, 2);
      return symbol(TTokenCode::Greater, 1);
    default:
      break;
  }

  if (IsDigit(c)) {
    size_t end = start;
    while (end < source_.size() &&
           (IsDigit(static_cast<unsigned char>(source_[end])) || source_[end] == '.'))
      ++end;
    double value;
    if (!TryTextToFloat(source_.substr(start, end - start), ".", value)) {
      Stop();
      return false;
    }
    token.Kind = TTokenKind::Operand;
    token.Code = TTokenCode::Literal;
    token.Text = std::string(source_.substr(start, end - start));
    token.Value = TqorVariant(value);
    position_ = end;
    return true;
  }

  if (IsAsciiLetter(c) || c == '/' || c >= 0x80) {
    size_t end = NameRunEnd(start);
    token.Text = std::string(source_.substr(start, end - start));
    if (!LookUpWord(token.Text, token)) {
      token.Kind = TTokenKind::Operand;
      token.Code = TTokenCode::Location;
    }
    position_ = end;
    return true;
  }

  Stop();
  return false;
}
