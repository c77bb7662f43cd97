#include "planner/xml/qorXPathExpression2.h"

#include <algorithm>
#include <ctime>

#include "planner/base/qorCalendar.h"
#include "planner/xml/qorXMLNode2.h"
#include "planner/xml/qorXPathError.h"
#include "planner/xml/qorXPathFunctions.h"

namespace {

bool IsFunction(TTokenCode code) {
  return code >= TTokenCode::Sin;
}

}  // namespace

TqorXPathExpression2::TqorXPathExpression2()
    : resolver_([](const TqorXPathExpression2& e, std::string_view name) {
        return e.Context() ? e.Context()->GetAttribute(name) : TqorVariant();
      }),
      clock_(&TqorXPathExpression2::LocalNow) {
  stack_.reserve(kMaxStack);
}

double TqorXPathExpression2::LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         (local.tm_hour * 3600 + local.tm_min * 60 + std::min(local.tm_sec, 59)) / 86400.0;
}

bool TqorXPathExpression2::Compile(std::string_view text) {
  text_ = std::string(text);
  compileError_.clear();
  tokens_.clear();
  program_.clear();
  usesClock_ = false;

  TqorXPathTokenizer tokenizer(text_);
  TToken token;
  while (tokenizer.Next(token)) tokens_.push_back(std::move(token));
  if (tokenizer.Stopped())
    compileError_ = "Cannot read predicate " + text_ + " from position " +
                    std::to_string(tokenizer.StopPosition() + 1);

  std::vector<size_t> operators;
  auto moveTop = [&] {
    program_.push_back(operators.back());
    operators.pop_back();
  };
  for (size_t i = 0; i < tokens_.size(); ++i) {
    const TToken& t = tokens_[i];
    switch (t.Kind) {
      case TTokenKind::Operand:
        program_.push_back(i);
        if (t.Code == TTokenCode::Date || t.Code == TTokenCode::Time) usesClock_ = true;
        break;
      case TTokenKind::OpenParenthesis:
        operators.push_back(i);
        break;
      case TTokenKind::Operator:
        while (!operators.empty() && tokens_[operators.back()].Kind == TTokenKind::Operator &&
               tokens_[operators.back()].Precedence >= t.Precedence)
          moveTop();
        operators.push_back(i);
        break;
      case TTokenKind::CloseParenthesis:
        while (!operators.empty() && tokens_[operators.back()].Kind != TTokenKind::OpenParenthesis)
          moveTop();
        if (operators.empty()) {
          if (compileError_.empty()) compileError_ = "Missing ( in predicate " + text_;
          return false;
        }
        operators.pop_back();
        break;
      case TTokenKind::Comma: {
        // Ends an argument: its operators run before the next argument's values are pushed.
        auto open = std::find_if(operators.rbegin(), operators.rend(), [&](size_t k) {
          return tokens_[k].Kind == TTokenKind::OpenParenthesis;
        });
        if (open != operators.rend())
          while (tokens_[operators.back()].Kind != TTokenKind::OpenParenthesis) moveTop();
        break;
      }
      case TTokenKind::NumberSign:
        break;
    }
  }
  while (!operators.empty()) {
    if (tokens_[operators.back()].Kind == TTokenKind::OpenParenthesis) {
      if (compileError_.empty()) compileError_ = "Missing ) in predicate " + text_;
      return false;
    }
    moveTop();
  }
  return compileError_.empty();
}

std::string TqorXPathExpression2::ProgramText() const {
  std::string out;
  for (size_t index : program_) {
    const TToken& t = tokens_[index];
    if (!out.empty()) out += ' ';
    if (t.Kind == TTokenKind::Operator)
      out += TqorXPathTokenizer::CodeName(t.Code);
    else if (t.Code == TTokenCode::Literal && t.Value.Kind() == TqorVarKind::Text)
      out += "'" + t.Text + "'";
    else
      out += t.Text;
  }
  return out;
}

TqorVariant TqorXPathExpression2::Evaluate(TqorXMLNode2* element) {
  int position = -1;
  if (list_ && element) {
    auto it = std::find(list_->begin(), list_->end(), element);
    if (it != list_->end()) position = static_cast<int>(it - list_->begin());
  }
  return EvaluateAt(element, position);
}

TqorVariant TqorXPathExpression2::EvaluateAt(TqorXMLNode2* element, int position) {
  context_ = element;
  position_ = element ? position : -1;
  TqorVariant result = Run();
  context_ = nullptr;
  position_ = -1;
  return result;
}

void TqorXPathExpression2::Push(TqorVariant value) {
  if (stack_.size() >= kMaxStack) throw EqorXPathError("Expression stack overflow");
  stack_.push_back(std::move(value));
}

TqorVariant TqorXPathExpression2::Pop() {
  if (stack_.empty()) return TqorVariant::Null();
  TqorVariant v = std::move(stack_.back());
  stack_.pop_back();
  return v;
}

TqorVariant TqorXPathExpression2::Run() {
  stack_.clear();
  evalError_.clear();
  TqorVariant result = TqorVariant::Null();
  try {
    if (usesClock_) {
      const double now = clock_();
      date_ = FormatDateTime("yyyy-MM-dd", now);
      time_ = FormatDateTime("hh:nn:ss", now);
    }
    for (item_ = 0; item_ < program_.size(); ++item_) {
      const TToken& t = tokens_[program_[item_]];
      if (t.Kind == TTokenKind::Operand) {
        Push(OperandValue(t));
      } else if (IsFunction(t.Code)) {
        TqorVariant args[3];
        for (int k = t.Arity - 1; k >= 0; --k) args[k] = Pop();
        Push(XPathFunction(t.Code, args, context_));
      } else {
        TqorVariant right = Pop();
        TqorVariant left = Pop();
        Push(XPathOperator(t.Code, left, right));
      }
    }
    result = Pop();
  } catch (const std::exception& e) {
    evalError_ = e.what();
    result = TqorVariant::Null();
  }
  stack_.clear();
  return result;
}

TqorVariant TqorXPathExpression2::OperandValue(const TToken& t) {
  const TqorXMLNode2* c = context_;
  switch (t.Code) {
    case TTokenCode::Literal:
      return t.Value;
    case TTokenCode::Attribute:
      return resolver_(*this, std::string_view(t.Text).substr(1));
    case TTokenCode::Location:
      return Location(t.Text);
    case TTokenCode::Value:
      return TqorVariant(c ? c->Text() : std::string());
    case TTokenCode::Name:
      return TqorVariant(c ? c->Name() : std::string());
    case TTokenCode::Position:
      return TqorVariant(static_cast<int32_t>(position_));
    case TTokenCode::First:
      return TqorVariant(c != nullptr && position_ == 0);
    case TTokenCode::Last:
      return TqorVariant(c != nullptr && list_ && position_ >= 0 &&
                         static_cast<size_t>(position_) + 1 == list_->size());
    case TTokenCode::Path: {
      if (!c) return TqorVariant(std::string());
      std::vector<const TqorXMLNode2*> chain;
      for (const TqorXMLNode2* n = c; n; n = n->Parent()) chain.push_back(n);
      std::string path;
      for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin()) path += '\\';
        path += (*it)->Name();
      }
      return TqorVariant(path);
    }
    case TTokenCode::ParentName:
      return TqorVariant(c && c->Parent() ? c->Parent()->Name() : std::string());
    case TTokenCode::ChildCount:
      return TqorVariant(static_cast<int32_t>(c ? c->ChildCount() : 0));
    case TTokenCode::Namespace:
      return TqorVariant(c ? c->Prefix() : std::string());
    case TTokenCode::BaseName: {
      if (!c) return TqorVariant(std::string());
      const size_t colon = c->Name().find(':');
      return TqorVariant(colon == std::string::npos ? c->Name() : c->Name().substr(colon + 1));
    }
    case TTokenCode::NamespaceURI:
      return TqorVariant(c ? c->GetNamespaceURI() : std::string());
    case TTokenCode::Pi:
      return TqorVariant(3.1415926535897932385);
    case TTokenCode::Date:
      return TqorVariant(date_);
    case TTokenCode::Time:
      return TqorVariant(time_);
    default:
      throw EqorXPathError("Not an operand: " + t.Text);
  }
}

// A location word: "a/b/@x", "/a//b", "a/../c", "child::a/@x". A leading "/" starts at the
// root; the part after the first "@" names an attribute read at the end; the steps between
// move to the first child of that name (at any depth after "//"), to the parent ("..",
// "parent::x") or stay (".", "self::x"). The value is the attribute's, or the element's text.
TqorVariant TqorXPathExpression2::Location(const std::string& word) {
  if (!context_) return TqorVariant(std::string());
  const size_t at = word.find('@');
  const std::string_view steps = std::string_view(word).substr(0, at);
  TqorXMLNode2* node = context_;
  size_t i = 0;
  if (!steps.empty() && steps[0] == '/') {
    node = node->GetRoot();
    i = 1;
  }
  bool descendants = false;
  while (i < steps.size()) {
    if (steps[i] == '/') {
      descendants = true;
      ++i;
      if (i == steps.size()) throw EqorXPathError("Invalid // at the end of XPath " + word);
      continue;
    }
    size_t end = steps.find('/', i);
    if (end == std::string_view::npos) end = steps.size();
    const std::string_view step = steps.substr(i, end - i);
    std::string_view axis, name = step;
    const size_t colons = step.find("::");
    if (colons != std::string_view::npos) {
      axis = step.substr(0, colons);
      name = step.substr(colons + 2);
    }
    if (step == ".." || axis == "parent") {
      node = node->Parent();
      if (!node) throw EqorXPathError("Can not locate parentnode in location " + word);
    } else if (step != "." && axis != "self") {
      TqorXMLNode2* next = node->FindChild(name, descendants);
      if (!next)
        throw EqorXPathError("Can not locate " + std::string(name) + " in location " + word);
      node = next;
    }
    descendants = false;
    i = end + 1;
  }
  if (at != std::string::npos) return node->GetAttribute(std::string_view(word).substr(at + 1));
  return TqorVariant(node->Text());
}
