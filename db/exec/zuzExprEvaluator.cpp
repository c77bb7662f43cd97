#include "db/exec/zuzExprEvaluator.h"

#include <clocale>
#include <cmath>
#include <cwctype>
#include <limits>

#include <locale.h>

#include "db/sql/zuzParserUtils.h"
#include "db/sql/zuzSqlBinder.h"
#include "db/sql/zuzStrToDate.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzSystemInfo.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"

namespace zuz {

namespace {

using F = TFieldType;

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool TextToNumber(std::string_view text, double& v) {
  return SqlNumberValue(TrimBlanks(text), v);
}

// A text read as a truth value: True/False in any letter case, or a number (not 0 is True).
bool TextToBool(std::string_view text, bool& b) {
  std::string_view t = TrimBlanks(text);
  if (SameTextIgnoringCase(t, "true")) {
    b = true;
    return true;
  }
  if (SameTextIgnoringCase(t, "false")) {
    b = false;
    return true;
  }
  double d = 0;
  if (!TextToNumber(t, d)) return false;
  b = d != 0;
  return true;
}

bool IsFloatValueType(F t) {
  return t == F::ftFloat || t == F::ftCurrency || t == F::ftBCD;
}

bool IsBinaryValueType(F t) {
  return IsBlobFieldType(t) || t == F::ftBytes || t == F::ftVarBytes;
}

[[noreturn]] void CannotConvert(F from, F to) {
  SqlExecError("Cannot convert type " + SqlTypeName(from) + " -> " + SqlTypeName(to));
}

double RoundHalfEven(double v) {
  return std::nearbyint(v);
}

locale_t CaseLocale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (!l) l = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    return l;
  }();
  return loc;
}

std::string ChangeCase(std::string_view s, bool upper) {
  std::string out;
  out.reserve(s.size());
  locale_t loc = CaseLocale();
  size_t i = 0;
  while (i < s.size()) {
    char32_t cp = 0;
    size_t n = DecodeUtf8(s, i, cp);
    if (n == 0) n = 1;
    if (loc) {
      auto w = static_cast<wint_t>(cp);
      cp = static_cast<char32_t>(upper ? towupper_l(w, loc) : towlower_l(w, loc));
    } else if (cp < 128) {
      cp = static_cast<char32_t>(upper ? std::toupper(static_cast<int>(cp))
                                       : std::tolower(static_cast<int>(cp)));
    }
    AppendUtf8(out, cp);
    i += n;
  }
  return out;
}

// The byte offsets of the code points of s, and its size at the end.
std::vector<size_t> CharStarts(std::string_view s) {
  std::vector<size_t> starts;
  size_t i = 0;
  while (i < s.size()) {
    starts.push_back(i);
    char32_t cp = 0;
    size_t n = DecodeUtf8(s, i, cp);
    i += n == 0 ? 1 : n;
  }
  starts.push_back(s.size());
  return starts;
}

// Whether the whole number can be held by a field of the type.
bool FitsWholeType(double d, F type) {
  double low = -9.2e18, high = 9.2e18;
  auto limits = [&](auto kind) {
    low = static_cast<double>(std::numeric_limits<decltype(kind)>::min());
    high = static_cast<double>(std::numeric_limits<decltype(kind)>::max());
  };
  switch (type) {
    case F::ftSmallint:
      limits(int16_t{});
      break;
    case F::ftWord:
      limits(uint16_t{});
      break;
    case F::ftInteger:
    case F::ftAutoInc:
      limits(int32_t{});
      break;
    default:
      break;
  }
  return std::isfinite(d) && d >= low && d <= high;
}

// A date the calendar can decode; 10059 otherwise (a value computed out of the calendar's years).
void CheckDayNumber(double d) {
  if (!IsCalendarDayNumber(std::floor(d))) {
    ZuzDatabaseError(ZUZ_ERR_DATE_VALUE, "TZuzQuery",
                     "The day number " + SqlNumberText(d) + " lies outside the years 1 to 9999");
  }
}

std::string TwoDigits(int v) {
  std::string s = std::to_string(v);
  return s.size() < 2 ? "0" + s : s;
}

}  // namespace

void SqlExecError(const std::string& message) {
  throw EZuzSqlFailure(message);
}

bool IsTextValueType(F t) {
  return t == F::ftString || t == F::ftFixedChar || t == F::ftWideString || t == F::ftMemo ||
         t == F::ftFmtMemo;
}

bool IsDateValueType(F t) {
  return t == F::ftDate || t == F::ftTime || t == F::ftDateTime;
}

bool IsWholeValueType(F t) {
  return t == F::ftSmallint || t == F::ftInteger || t == F::ftWord || t == F::ftAutoInc ||
         t == F::ftLargeint;
}

TZuzValue ValueFromField(TFieldValue v, F type) {
  if (std::holds_alternative<std::monostate>(v)) return TZuzValue::Null();
  if (const auto* i = std::get_if<int64_t>(&v)) {
    return TZuzValue::Num(static_cast<double>(*i), type);
  }
  if (const auto* d = std::get_if<double>(&v)) {
    if (IsDateValueType(type)) return TZuzValue::Date(*d, type);
    return TZuzValue::Num(*d, type);
  }
  if (const auto* b = std::get_if<bool>(&v)) return TZuzValue::Bool(*b);
  TZuzValue s = TZuzValue::Str(std::move(std::get<std::string>(v)));
  s.Type = type;
  return s;
}

std::string ValueToText(const TZuzValue& v) {
  switch (v.Kind) {
    case TZuzValueKind::Null:
      return "";
    case TZuzValueKind::Text:
      return v.Text;
    case TZuzValueKind::Boolean:
      return v.AsBool() ? "True" : "False";
    case TZuzValueKind::Number:
      if (IsWholeValueType(v.Type) && std::fabs(v.Number) < 9.0e15) {
        return std::to_string(static_cast<int64_t>(v.Number));
      }
      return SqlNumberText(v.Number);
    case TZuzValueKind::Date: {
      std::string out;
      double day = std::floor(v.Number);
      double frac = v.Number - day;
      if (v.Type != F::ftTime) {
        CheckDayNumber(v.Number);
        int y = 0, m = 0, d = 0;
        DecodeDate(day, y, m, d);
        std::string ys = std::to_string(y);
        while (ys.size() < 4) ys.insert(ys.begin(), '0');
        out = ys + "-" + TwoDigits(m) + "-" + TwoDigits(d);
      }
      if (v.Type == F::ftTime || (v.Type == F::ftDateTime && frac != 0)) {
        auto ms = static_cast<int64_t>(std::llround(frac * 86400000.0));
        if (ms >= 86400000) ms = 86399999;
        int h = static_cast<int>(ms / 3600000);
        int mi = static_cast<int>(ms / 60000 % 60);
        int s = static_cast<int>(ms / 1000 % 60);
        int z = static_cast<int>(ms % 1000);
        if (!out.empty()) out += " ";
        out += TwoDigits(h) + ":" + TwoDigits(mi) + ":" + TwoDigits(s);
        if (z != 0) {
          std::string zs = std::to_string(z);
          while (zs.size() < 3) zs.insert(zs.begin(), '0');
          out += "." + zs;
        }
      }
      return out;
    }
  }
  return "";
}

TZuzValue ConvertValue(const TZuzValue& v, F target, const char* caller) {
  if (v.IsNull()) return v;
  if (IsTextValueType(target) || IsBlobFieldType(target) || target == F::ftBytes) {
    TZuzValue s = TZuzValue::Str(ValueToText(v));
    s.Type = target;
    return s;
  }
  if (IsWholeValueType(target) || IsFloatValueType(target)) {
    double d = 0;
    switch (v.Kind) {
      case TZuzValueKind::Number:
      case TZuzValueKind::Date:
        d = v.Number;
        break;
      case TZuzValueKind::Boolean:
        if (IsFloatValueType(target)) CannotConvert(F::ftBoolean, target);
        d = v.AsBool() ? -1 : 0;
        break;
      case TZuzValueKind::Text:
        if (!TextToNumber(v.Text, d)) {
          SqlExecError("'" + v.Text + "' is not a valid " +
                       (IsWholeValueType(target) ? "integer" : "floating point") + " value");
        }
        break;
      default:
        break;
    }
    if (IsWholeValueType(target)) d = RoundHalfEven(d);
    return TZuzValue::Num(d, target);
  }
  if (target == F::ftBoolean) {
    switch (v.Kind) {
      case TZuzValueKind::Text: {
        bool b = false;
        if (!TextToBool(v.Text, b)) SqlExecError("'" + v.Text + "' is not a valid boolean value");
        return TZuzValue::Bool(b);
      }
      default:
        return TZuzValue::Bool(v.Number != 0);
    }
  }
  if (IsDateValueType(target)) {
    double d = 0;
    switch (v.Kind) {
      case TZuzValueKind::Text:
        d = ConvertStrToDateTime(v.Text, target);
        break;
      case TZuzValueKind::Boolean:
        CannotConvert(F::ftBoolean, target);
      default:
        d = v.Number;
        break;
    }
    if (target == F::ftDate) d = std::trunc(d);
    if (target == F::ftTime) d = std::fabs(d - std::trunc(d));
    return TZuzValue::Date(d, target);
  }
  ZuzDatabaseError(ZUZ_ERR_FIELD_TYPE, caller);
}

void AssignValueToField(TOpenTable& table, int field, const TZuzValue& v, const char* caller) {
  const TInternalFieldItem& f = table.Def().InternalFields.at(static_cast<size_t>(field));
  const F type = f.DataType;
  if (IsBlobFieldType(type)) {
    table.SetBlob(field, v.IsNull() ? std::string() : ValueToText(v));
    return;
  }
  if (v.IsNull()) {
    table.SetValue(field, std::monostate{});
    return;
  }
  if (!IsTextValueType(type) && type != F::ftBytes && !IsWholeValueType(type) &&
      !IsFloatValueType(type) && type != F::ftBoolean && !IsDateValueType(type)) {
    ZuzDatabaseError(ZUZ_ERR_FIELD_TYPE, caller, f.FieldName);
  }
  TZuzValue c = ConvertValue(v, type, caller);
  if (type == F::ftString || type == F::ftBytes) {
    if (type == F::ftString && static_cast<int>(c.Text.size()) > f.FieldSize - 1) {
      ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "Field data length is out of range");
    }
    table.SetValue(field, c.Text);
  } else if (IsWholeValueType(type)) {
    if (!FitsWholeType(c.Number, F::ftLargeint)) {
      ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller,
                       "Field data length is out of range: " + f.FieldName);
    }
    table.SetValue(field, static_cast<int64_t>(c.Number));
  } else if (type == F::ftBoolean) {
    table.SetValue(field, c.AsBool());
  } else {
    table.SetValue(field, c.Number);
  }
}

int CompareTexts(std::string_view a, std::string_view b, TSortOrderFunc order) {
  constexpr size_t kChunk = 255;
  while (true) {
    if (a.size() <= kChunk && b.size() <= kChunk) {
      return order(reinterpret_cast<const uint8_t*>(a.data()), static_cast<int>(a.size()),
                   reinterpret_cast<const uint8_t*>(b.data()), static_cast<int>(b.size()), false);
    }
    // Long texts: compare equal-length pieces, so that the length rule only decides at the end.
    size_t n = std::min({kChunk, a.size(), b.size()});
    int c = order(reinterpret_cast<const uint8_t*>(a.data()), static_cast<int>(n),
                  reinterpret_cast<const uint8_t*>(b.data()), static_cast<int>(n), false);
    if (c != 0) return c;
    a.remove_prefix(n);
    b.remove_prefix(n);
    if (a.empty() || b.empty()) return a.empty() ? (b.empty() ? 0 : -1) : 1;
  }
}

namespace {

int CompareNumbers(double a, double b) {
  if (a < b) return -1;
  if (a > b) return 1;
  return 0;
}

bool Truthy(const TZuzValue& v) {
  if (v.Kind == TZuzValueKind::Text) {
    bool b = false;
    return TextToBool(v.Text, b) && b;
  }
  return v.Number != 0;
}

}  // namespace

int CompareValues(const TZuzValue& a, const TZuzValue& b, TSortOrderFunc order) {
  using K = TZuzValueKind;
  if (a.Kind == K::Text && b.Kind == K::Text) return CompareTexts(a.Text, b.Text, order);
  if (a.Kind == K::Boolean || b.Kind == K::Boolean) {
    return CompareNumbers(Truthy(a) ? 1 : 0, Truthy(b) ? 1 : 0);
  }
  if (a.Kind == K::Text || b.Kind == K::Text) {
    const TZuzValue& text = a.Kind == K::Text ? a : b;
    const TZuzValue& other = a.Kind == K::Text ? b : a;
    int sign = a.Kind == K::Text ? 1 : -1;
    double d = 0;
    if (other.Kind == K::Date) {
      d = ConvertStrToDateTime(text.Text, other.Type);
    } else if (!TextToNumber(text.Text, d)) {
      return sign * CompareTexts(text.Text, ValueToText(other), order);
    }
    return sign * CompareNumbers(d, other.Number);
  }
  return CompareNumbers(a.Number, b.Number);
}

int CompareKeyValues(const TZuzValue& a, const TZuzValue& b, TSortOrderFunc order) {
  if (a.IsNull() || b.IsNull()) return a.IsNull() ? (b.IsNull() ? 0 : -1) : 1;
  return CompareValues(a, b, order);
}

bool MatchLike(std::string_view text, std::string_view pattern) {
  if (pattern == "%") return true;
  std::vector<size_t> t = CharStarts(text);
  std::vector<size_t> p = CharStarts(pattern);
  const size_t tn = t.size() - 1;
  const size_t pn = p.size() - 1;
  auto pchar = [&](size_t i) { return pattern.substr(p[i], p[i + 1] - p[i]); };
  auto tchar = [&](size_t i) { return text.substr(t[i], t[i + 1] - t[i]); };
  size_t ti = 0, pi = 0;
  size_t starP = std::string_view::npos, starT = 0;
  while (ti < tn) {
    if (pi < pn && pchar(pi) == "%") {
      starP = pi++;
      starT = ti;
    } else if (pi < pn && (pchar(pi) == "_" || pchar(pi) == tchar(ti))) {
      ++pi;
      ++ti;
    } else if (starP != std::string_view::npos) {
      pi = starP + 1;
      ti = ++starT;
    } else {
      return false;
    }
  }
  while (pi < pn && pchar(pi) == "%") ++pi;
  return pi == pn;
}

void TZuzParams::Set(const std::string& name, TZuzValue value) {
  for (auto& [n, v] : values_) {
    if (SameTextIgnoringCase(n, name)) {
      v = std::move(value);
      return;
    }
  }
  values_.emplace_back(name, std::move(value));
}

const TZuzValue* TZuzParams::Find(std::string_view name) const {
  for (const auto& [n, v] : values_) {
    if (SameTextIgnoringCase(n, name)) return &v;
  }
  return nullptr;
}

// --- Evaluation ---

const TZuzValue& TZuzExprEvaluator::ColumnValue(const TSqlColumnRef& c,
                                                const TZuzEvalContext& ctx) {
  static const TZuzValue kNull;
  if (c.OutputIndex >= 0) {
    if (!ctx.Outputs) SqlExecError("Column name in having clause not found: " + c.Name);
    return ctx.Outputs[c.OutputIndex];
  }
  const TZuzEvalContext* level = &ctx;
  for (int i = 0; i < c.OuterLevel && level; ++i) level = level->Outer;
  if (!level || c.SourceIndex < 0 || static_cast<size_t>(c.SourceIndex) >= level->Rows.size()) {
    SqlExecError("Field not found : " + c.Name);
  }
  const TZuzValue* row = level->Rows[static_cast<size_t>(c.SourceIndex)];
  if (!row) return kNull;
  return row[c.FieldIndex];
}

const std::vector<TZuzRow>& TZuzExprEvaluator::Subquery(const TSqlSelect& s,
                                                        const TZuzEvalContext& ctx,
                                                        size_t& columns) {
  if (!subqueries_) SqlExecError("Subqueries are not supported");
  return subqueries_->RunSubquery(s, ctx, columns);
}

TZuzValue TZuzExprEvaluator::Eval(const TSqlExpr& e, const TZuzEvalContext& ctx) {
  switch (e.Kind()) {
    case TSqlExprKind::Literal: {
      const auto& lit = e.As<TSqlLiteral>();
      switch (lit.LiteralKind) {
        case TSqlLiteralKind::Null:
          return TZuzValue::Null();
        case TSqlLiteralKind::Boolean:
          return TZuzValue::Bool(lit.Boolean);
        case TSqlLiteralKind::Number:
          if (lit.Converted) {
            if (IsDateValueType(lit.Type)) return TZuzValue::Date(lit.Number, lit.Type);
            if (lit.Type == F::ftBoolean) return TZuzValue::Bool(lit.Boolean);
            if (IsTextValueType(lit.Type)) return TZuzValue::Str(lit.Text);
            return TZuzValue::Num(lit.Number, lit.Type);
          }
          return TZuzValue::Num(lit.Number);
        case TSqlLiteralKind::String:
          if (lit.Converted) {
            if (IsDateValueType(lit.Type)) return TZuzValue::Date(lit.Number, lit.Type);
            return TZuzValue::Num(lit.Number, lit.Type);
          }
          return TZuzValue::Str(lit.Text);
      }
      return TZuzValue::Null();
    }
    case TSqlExprKind::Column:
      return ColumnValue(e.As<TSqlColumnRef>(), ctx);
    case TSqlExprKind::Parameter: {
      const auto& p = e.As<TSqlParameter>();
      const TZuzValue* v = params_ ? params_->Find(p.Name) : nullptr;
      if (!v) SqlExecError("No value for parameter '" + p.Name + "'");
      if (!v->IsNull() && IsDateValueType(p.Type) && v->Kind == TZuzValueKind::Text) {
        return ConvertValue(*v, p.Type, "TZuzQuery");
      }
      return *v;
    }
    case TSqlExprKind::Arithmetic:
      return Arithmetic(e.As<TSqlArithmetic>(), ctx);
    case TSqlExprKind::Subquery: {
      size_t columns = 0;
      const std::vector<TZuzRow>& rows = Subquery(*e.Query(), ctx, columns);
      if (columns > 1) {
        ZuzDatabaseError(ZUZ_ERR_SUBQUERY_COLUMNS, "TZuzQuery", "", "TZuzQuery");
      }
      if (rows.size() > 1) ZuzDatabaseError(ZUZ_ERR_SINGLE_ROW, "TZuzQuery", "", "TZuzQuery");
      if (rows.empty() || rows[0].empty()) return TZuzValue::Null();
      return rows[0][0];
    }
    case TSqlExprKind::Aggregate: {
      if (ctx.AggregateIndex && ctx.Aggregates) {
        auto it = ctx.AggregateIndex->find(&e);
        if (it != ctx.AggregateIndex->end()) return ctx.Aggregates[it->second];
      }
      SqlExecError("Aggregate functions are not allowed here");
    }
    case TSqlExprKind::CaseChange: {
      const auto& c = e.As<TSqlCaseChange>();
      TZuzValue v = Eval(*c.Argument, ctx);
      if (v.IsNull()) return v;
      return TZuzValue::Str(ChangeCase(ValueToText(v), c.ToUpper));
    }
    case TSqlExprKind::Substring: {
      const auto& s = e.As<TSqlSubstring>();
      TZuzValue src = Eval(*s.Source, ctx);
      TZuzValue start = Eval(*s.Start, ctx);
      TZuzValue len = s.Length ? Eval(*s.Length, ctx) : TZuzValue::Num(0);
      if (src.IsNull() || start.IsNull() || len.IsNull()) return TZuzValue::Null();
      std::string text = ValueToText(src);
      std::vector<size_t> starts = CharStarts(text);
      const auto count = static_cast<int64_t>(starts.size() - 1);
      auto from = static_cast<int64_t>(std::trunc(start.Number));
      if (from < 1) from = 1;
      int64_t to = count + 1;
      if (s.Length) {
        double l = std::trunc(len.Number);
        if (l < 0) l = 0;
        if (static_cast<double>(from) + l < static_cast<double>(to)) {
          to = from + static_cast<int64_t>(l);
        }
      }
      if (from > count) return TZuzValue::Str("");
      return TZuzValue::Str(
          text.substr(starts[static_cast<size_t>(from - 1)],
                      starts[static_cast<size_t>(to - 1)] - starts[static_cast<size_t>(from - 1)]));
    }
    case TSqlExprKind::Trim: {
      const auto& t = e.As<TSqlTrim>();
      TZuzValue src = t.Source ? Eval(*t.Source, ctx) : TZuzValue::Str("");
      std::string ch = " ";
      if (t.Characters) {
        TZuzValue c = Eval(*t.Characters, ctx);
        if (c.IsNull()) return TZuzValue::Null();
        std::string cs = ValueToText(c);
        if (!cs.empty()) {
          std::vector<size_t> st = CharStarts(cs);
          ch = cs.substr(0, st[1]);
        }
      }
      if (src.IsNull()) return src;
      std::string text = ValueToText(src);
      std::string_view v = text;
      if (t.Side != TSqlTrimSide::Trailing) {
        while (!v.empty() && v.substr(0, ch.size()) == ch) v.remove_prefix(ch.size());
      }
      if (t.Side != TSqlTrimSide::Leading) {
        while (v.size() >= ch.size() && v.substr(v.size() - ch.size()) == ch) {
          v.remove_suffix(ch.size());
        }
      }
      return TZuzValue::Str(std::string(v));
    }
    case TSqlExprKind::Cast:
      return Cast(e.As<TSqlCast>(), ctx);
    case TSqlExprKind::Extract:
      return Extract(e.As<TSqlExtract>(), ctx);
    case TSqlExprKind::CurrentValue: {
      const auto& c = e.As<TSqlCurrentValue>();
      double now = NowDayNumber();
      switch (c.Which) {
        case TSqlCurrent::Date:
          return TZuzValue::Date(std::trunc(now), F::ftDate);
        case TSqlCurrent::Time:
          return TZuzValue::Date(now - std::trunc(now), F::ftTime);
        case TSqlCurrent::Timestamp:
          return TZuzValue::Date(now, F::ftDateTime);
      }
      return TZuzValue::Null();
    }
    default: {
      TZuzTruth t = Test(e, ctx);
      if (t == TZuzTruth::Unknown) return TZuzValue::Null();
      return TZuzValue::Bool(t == TZuzTruth::True);
    }
  }
}

TZuzValue TZuzExprEvaluator::Arithmetic(const TSqlArithmetic& a, const TZuzEvalContext& ctx) {
  TZuzValue l = Eval(*a.Left, ctx);
  if (l.IsNull()) return l;
  TZuzValue r = Eval(*a.Right, ctx);
  if (r.IsNull()) return r;
  using K = TZuzValueKind;
  if (a.Op == TSqlArithOp::Concat ||
      (a.Op == TSqlArithOp::Add && l.Kind == K::Text && r.Kind == K::Text)) {
    return TZuzValue::Str(ValueToText(l) + ValueToText(r));
  }
  auto number = [](const TZuzValue& v) {
    if (v.Kind == K::Text) {
      double d = 0;
      if (!TextToNumber(v.Text, d))
        SqlExecError("'" + v.Text + "' is not a valid floating point value");
      return d;
    }
    return v.Number;
  };
  double x = number(l);
  double y = number(r);
  switch (a.Op) {
    case TSqlArithOp::Add:
      if (l.Kind == K::Date || r.Kind == K::Date) {
        return TZuzValue::Date(x + y, F::ftDateTime);
      }
      return TZuzValue::Num(x + y);
    case TSqlArithOp::Subtract:
      if (l.Kind == K::Date && r.Kind != K::Date) return TZuzValue::Date(x - y, l.Type);
      return TZuzValue::Num(x - y);
    case TSqlArithOp::Multiply:
      return TZuzValue::Num(x * y);
    case TSqlArithOp::Divide:
      return TZuzValue::Num(x / y);
    default:
      return TZuzValue::Null();
  }
}

TZuzTruth TZuzExprEvaluator::Compare(const TZuzValue& a, TSqlCompareOp op, const TZuzValue& b) {
  if (a.IsNull() || b.IsNull()) return TZuzTruth::Unknown;
  int c = CompareValues(a, b, order_);
  bool r = false;
  switch (op) {
    case TSqlCompareOp::Equal:
      r = c == 0;
      break;
    case TSqlCompareOp::NotEqual:
      r = c != 0;
      break;
    case TSqlCompareOp::Less:
      r = c < 0;
      break;
    case TSqlCompareOp::LessOrEqual:
      r = c <= 0;
      break;
    case TSqlCompareOp::Greater:
      r = c > 0;
      break;
    case TSqlCompareOp::GreaterOrEqual:
      r = c >= 0;
      break;
  }
  return r ? TZuzTruth::True : TZuzTruth::False;
}

TZuzTruth TZuzExprEvaluator::Quantified(const TSqlComparison& c, const TZuzEvalContext& ctx) {
  const auto& q = c.Right->As<TSqlQuantified>();
  TZuzValue left = Eval(*c.Left, ctx);
  size_t columns = 0;
  const std::vector<TZuzRow>& rows = Subquery(*q.Select, ctx, columns);
  if (columns > 1) ZuzDatabaseError(ZUZ_ERR_SUBQUERY_COLUMNS, "TZuzQuery", "", "TZuzQuery");
  const bool all = q.Quantifier == TSqlQuantifier::All;
  bool unknown = false;
  for (const TZuzRow& row : rows) {
    TZuzTruth t = Compare(left, c.Op, row.empty() ? TZuzValue::Null() : row[0]);
    if (t == TZuzTruth::Unknown) {
      unknown = true;
    } else if (all && t == TZuzTruth::False) {
      return TZuzTruth::False;
    } else if (!all && t == TZuzTruth::True) {
      return TZuzTruth::True;
    }
  }
  if (unknown) return TZuzTruth::Unknown;
  return all ? TZuzTruth::True : TZuzTruth::False;
}

TZuzTruth TZuzExprEvaluator::Test(const TSqlExpr& e, const TZuzEvalContext& ctx) {
  auto truth = [](bool b) { return b ? TZuzTruth::True : TZuzTruth::False; };
  switch (e.Kind()) {
    case TSqlExprKind::Comparison: {
      const auto& c = e.As<TSqlComparison>();
      if (c.Right->Kind() == TSqlExprKind::Quantified) return Quantified(c, ctx);
      TZuzValue l = Eval(*c.Left, ctx);
      if (l.IsNull()) return TZuzTruth::Unknown;
      return Compare(l, c.Op, Eval(*c.Right, ctx));
    }
    case TSqlExprKind::Logical: {
      const auto& l = e.As<TSqlLogical>();
      const bool isAnd = l.Op == TSqlLogicalOp::And;
      bool unknown = false;
      for (const TSqlExprPtr& op : l.Operands) {
        TZuzTruth t = Test(*op, ctx);
        if (t == TZuzTruth::Unknown) {
          unknown = true;
        } else if (isAnd && t == TZuzTruth::False) {
          return TZuzTruth::False;
        } else if (!isAnd && t == TZuzTruth::True) {
          return TZuzTruth::True;
        }
      }
      if (unknown) return TZuzTruth::Unknown;
      return truth(isAnd);
    }
    case TSqlExprKind::Not: {
      TZuzTruth t = Test(*e.As<TSqlNot>().Operand, ctx);
      if (t == TZuzTruth::Unknown) return t;
      return truth(t == TZuzTruth::False);
    }
    case TSqlExprKind::IsNull: {
      const auto& n = e.As<TSqlIsNull>();
      return truth(Eval(*n.Operand, ctx).IsNull() != n.Negated);
    }
    case TSqlExprKind::Like: {
      const auto& l = e.As<TSqlLike>();
      TZuzValue v = Eval(*l.Operand, ctx);
      if (v.IsNull()) return TZuzTruth::False;
      TZuzValue p = Eval(*l.Pattern, ctx);
      if (p.IsNull()) return TZuzTruth::False;
      bool m = MatchLike(ValueToText(v), ValueToText(p));
      return truth(m != l.Negated);
    }
    case TSqlExprKind::InList: {
      const auto& in = e.As<TSqlInList>();
      TZuzValue v = Eval(*in.Operand, ctx);
      bool found = false;
      if (!v.IsNull()) {
        for (const TSqlExprPtr& item : in.Items) {
          if (Compare(v, TSqlCompareOp::Equal, Eval(*item, ctx)) == TZuzTruth::True) {
            found = true;
            break;
          }
        }
      }
      return truth(found != in.Negated);
    }
    case TSqlExprKind::InQuery: {
      const auto& in = e.As<TSqlInQuery>();
      TZuzValue v = Eval(*in.Operand, ctx);
      bool found = false;
      size_t columns = 0;
      const std::vector<TZuzRow>& rows = Subquery(*in.Select, ctx, columns);
      if (!v.IsNull()) {
        for (const TZuzRow& row : rows) {
          if (!row.empty() && Compare(v, TSqlCompareOp::Equal, row[0]) == TZuzTruth::True) {
            found = true;
            break;
          }
        }
      }
      return truth(found != in.Negated);
    }
    case TSqlExprKind::Exists: {
      size_t columns = 0;
      return truth(!Subquery(*e.Query(), ctx, columns).empty());
    }
    default: {
      TZuzValue v = Eval(e, ctx);
      if (v.IsNull()) return TZuzTruth::Unknown;
      return truth(Truthy(v));
    }
  }
}

TZuzValue TZuzExprEvaluator::Cast(const TSqlCast& c, const TZuzEvalContext& ctx) {
  TZuzValue v = Eval(*c.Operand, ctx);
  if (v.IsNull()) return v;
  F target = c.Target.Type;
  if (v.Kind == TZuzValueKind::Boolean &&
      (IsFloatValueType(target) || IsDateValueType(target) || IsBinaryValueType(target))) {
    CannotConvert(F::ftBoolean, target);
  }
  TZuzValue r = ConvertValue(v, target, "TZuzQuery");
  if (IsWholeValueType(target) && !FitsWholeType(r.Number, target)) {
    SqlExecError("The value " + ValueToText(v) + " is out of range for the type " +
                 SqlTypeName(target));
  }
  if (target == F::ftString && c.Target.HasSize && c.Target.Size >= 0) {
    std::vector<size_t> st = CharStarts(r.Text);
    if (st.size() - 1 > static_cast<size_t>(c.Target.Size)) {
      r.Text.resize(st[static_cast<size_t>(c.Target.Size)]);
    }
  }
  return r;
}

TZuzValue TZuzExprEvaluator::Extract(const TSqlExtract& x, const TZuzEvalContext& ctx) {
  TZuzValue v = Eval(*x.Operand, ctx);
  if (v.IsNull()) return v;
  double d = v.Number;
  if (v.Kind == TZuzValueKind::Text) d = ConvertStrToDateTime(v.Text, F::ftDateTime);
  double day = std::floor(d);
  auto ms = static_cast<int64_t>(std::llround((d - day) * 86400000.0));
  if (ms >= 86400000) ms = 86399999;
  int y = 0, m = 0, dd = 0;
  switch (x.Field) {
    case TSqlExtractField::Year:
    case TSqlExtractField::Month:
    case TSqlExtractField::Day:
      CheckDayNumber(d);
      DecodeDate(day, y, m, dd);
      return TZuzValue::Num(x.Field == TSqlExtractField::Year    ? y
                            : x.Field == TSqlExtractField::Month ? m
                                                                 : dd,
                            F::ftInteger);
    case TSqlExtractField::Hour:
      return TZuzValue::Num(static_cast<double>(ms / 3600000), F::ftInteger);
    case TSqlExtractField::Minute:
      return TZuzValue::Num(static_cast<double>(ms / 60000 % 60), F::ftInteger);
    case TSqlExtractField::Second:
      return TZuzValue::Num(static_cast<double>(ms / 1000 % 60) + (ms % 1000) / 1000.0);
  }
  return TZuzValue::Null();
}

}  // namespace zuz
