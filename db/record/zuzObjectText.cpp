#include "db/record/zuzObjectText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

#include "db/storage/zuzError.h"
#include "planner/base/qorUtf8.h"

namespace zuz {

TObjectValue::TObjectValue() = default;


namespace {

constexpr std::size_t kPieceLength = 64;

// One code point of UTF-8 text at text[i], advancing i; a byte that starts no valid sequence is
// taken as the code point of its own value.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
  const auto c = static_cast<unsigned char>(text[i]);
  return DecodeUtf8At(text, i).value_or(c);
}

bool Printable(char32_t cp) {
  return cp >= 0x20 && cp < 0x7F;
}

// The string as pieces of at most kPieceLength characters, each piece a run of quoted text and
// #codes.
std::vector<std::string> StringPieces(std::string_view utf8) {
  std::vector<std::string> pieces;
  std::string piece;
  bool quoted = false;
  std::size_t count = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    if (count == kPieceLength) {
      if (quoted) piece += '\'';
      pieces.push_back(std::move(piece));
      piece.clear();
      quoted = false;
      count = 0;
    }
    const char32_t cp = NextCodePoint(utf8, i);
    if (Printable(cp)) {
      if (!quoted) piece += '\'';
      quoted = true;
      piece += static_cast<char>(cp);
      if (cp == '\'') piece += '\'';
    } else {
      if (quoted) piece += '\'';
      quoted = false;
      piece += '#' + std::to_string(static_cast<uint32_t>(cp));
    }
    ++count;
  }
  if (quoted) piece += '\'';
  if (!piece.empty() || pieces.empty()) pieces.push_back(piece.empty() ? "''" : piece);
  return pieces;
}

std::string FloatText(double v) {
  if (!std::isfinite(v)) v = 0;  // the notation has no text for these
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  std::string s(buf, ec == std::errc() ? end : buf);
  if (s.find_first_of(".eE") == std::string::npos) s += ".0";
  return s;
}

void WriteProps(std::string& out, const TObjectProps& props, int level);

void WriteValue(std::string& out, const TObjectValue& value, int level) {
  const std::string indent(static_cast<size_t>(level) * 2, ' ');
  switch (value.kind) {
    case TObjectValue::TKind::Integer:
      out += std::to_string(value.integer);
      break;
    case TObjectValue::TKind::Float:
      out += FloatText(value.real);
      break;
    case TObjectValue::TKind::Ident:
      out += value.text;
      break;
    case TObjectValue::TKind::String: {
      auto pieces = StringPieces(value.text);
      for (std::size_t k = 0; k < pieces.size(); ++k) {
        if (k > 0) out += " +\r\n" + indent + "  ";
        out += pieces[k];
      }
      break;
    }
    case TObjectValue::TKind::Collection: {
      out += '<';
      if (value.items.empty()) {
        out += '>';
        break;
      }
      for (const auto& item : value.items) {
        out += "\r\n" + indent + "  item\r\n";
        WriteProps(out, item, level + 2);
        out += indent + "  end";
      }
      out += '>';
      break;
    }
  }
}

void WriteProps(std::string& out, const TObjectProps& props, int level) {
  const std::string indent(static_cast<size_t>(level) * 2, ' ');
  for (const auto& [name, value] : props) {
    out += indent + name + " = ";
    WriteValue(out, value, level);
    out += "\r\n";
  }
}

class TReader {
 public:
  explicit TReader(std::string_view text) : s_(text) {}

  TObjectText Read() {
    TObjectText object;
    Expect("object");
    std::string name = Ident("a class name");
    SkipSpace();
    if (Peek() == ':') {  // "object Name: TClass"
      ++pos_;
      name = Ident("a class name");
    }
    object.className = name;
    object.props = Props();
    Expect("end");
    SkipSpace();
    if (pos_ < s_.size()) Fail("text after the last end");
    return object;
  }

 private:
  [[noreturn]] void Fail(const std::string& why) const {
    int line = 1;
    for (std::size_t i = 0; i < pos_ && i < s_.size(); ++i)
      if (s_[i] == '\n') ++line;
    ZuzDatabaseError(ZUZ_ERR_CORRUPT, "ObjectTextToBinary",
                     "Invalid object text at line " + std::to_string(line) + ": " + why,
                     "TTableDef");
  }

  char Peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }

  void SkipSpace() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }

  void SkipBlanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
  }

  static bool IdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }

  std::string Ident(const char* what) {
    SkipSpace();
    if (!IdentStart(Peek())) Fail(std::string("expected ") + what);
    const std::size_t start = pos_;
    while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) ||
                                s_[pos_] == '_' || s_[pos_] == '.')) {
      ++pos_;
    }
    return std::string(s_.substr(start, pos_ - start));
  }

  void Expect(const char* word) {
    const std::size_t at = pos_;
    std::string got = Ident(word);
    if (got != word) {
      pos_ = at;
      Fail(std::string("expected ") + word);
    }
  }

  TObjectProps Props() {
    TObjectProps props;
    for (;;) {
      SkipSpace();
      const std::size_t at = pos_;
      if (!IdentStart(Peek())) Fail("expected a property name or end");
      std::string name = Ident("a property name");
      if (name == "end") {
        pos_ = at;
        return props;
      }
      SkipSpace();
      if (Peek() != '=') Fail("expected = after " + name);
      ++pos_;
      props.push_back(TObjectProp{std::move(name), Value()});
    }
  }

  TObjectValue Value() {
    SkipSpace();
    const char c = Peek();
    if (c == '\'' || c == '#') return TObjectValue::Str(StringValue());
    if (c == '<') return Collection();
    if (c == '-' || c == '+' || std::isdigit(static_cast<unsigned char>(c))) return Number();
    if (IdentStart(c)) return TObjectValue::Id(Ident("a value"));
    Fail("expected a value");
  }

  std::string StringValue() {
    std::string out;
    for (;;) {
      const char c = Peek();
      if (c == '\'') {
        ++pos_;
        for (;;) {
          if (pos_ >= s_.size() || s_[pos_] == '\r' || s_[pos_] == '\n')
            Fail("unterminated string");
          if (s_[pos_] == '\'') {
            if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
              out += '\'';
              pos_ += 2;
              continue;
            }
            ++pos_;
            break;
          }
          out += s_[pos_++];
        }
      } else if (c == '#') {
        ++pos_;
        uint32_t code = 0;
        const std::size_t start = pos_;
        while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_])) &&
               pos_ - start < 8) {
          code = code * 10 + static_cast<uint32_t>(s_[pos_++] - '0');
        }
        if (pos_ == start || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
          Fail("invalid character code");
        }
        AppendUtf8(out, code);
      } else {
        break;
      }
      SkipBlanks();
      if (Peek() == '+') {
        ++pos_;
        SkipSpace();
        if (Peek() != '\'' && Peek() != '#') Fail("expected a string after +");
      }
    }
    return out;
  }

  TObjectValue Collection() {
    ++pos_;  // '<'
    std::vector<TObjectProps> items;
    for (;;) {
      SkipSpace();
      if (Peek() == '>') {
        ++pos_;
        return TObjectValue::Items(std::move(items));
      }
      Expect("item");
      items.push_back(Props());
      Expect("end");
    }
  }

  TObjectValue Number() {
    const std::size_t start = pos_;
    if (Peek() == '-' || Peek() == '+') ++pos_;
    bool isFloat = false;
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (std::isdigit(static_cast<unsigned char>(c))) {
        ++pos_;
      } else if (c == '.' || c == 'e' || c == 'E') {
        isFloat = true;
        ++pos_;
        if ((c == 'e' || c == 'E') && (Peek() == '-' || Peek() == '+')) ++pos_;
      } else {
        break;
      }
    }
    std::string_view digits = s_.substr(start, pos_ - start);
    if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
    if (isFloat) {
      double v = 0;
      auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
      if (ec != std::errc() || end != digits.data() + digits.size()) Fail("invalid number");
      return TObjectValue::Real(v);
    }
    int64_t v = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (ec != std::errc() || end != digits.data() + digits.size()) Fail("invalid number");
    return TObjectValue::Int(v);
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

}  // namespace

TObjectValue TObjectValue::Int(int64_t v) {
  TObjectValue x;
  x.kind = TKind::Integer;
  x.integer = v;
  return x;
}

TObjectValue TObjectValue::Real(double v) {
  TObjectValue x;
  x.kind = TKind::Float;
  x.real = v;
  return x;
}

TObjectValue TObjectValue::Str(std::string v) {
  TObjectValue x;
  x.kind = TKind::String;
  x.text = std::move(v);
  return x;
}

TObjectValue TObjectValue::Id(std::string v) {
  TObjectValue x;
  x.kind = TKind::Ident;
  x.text = std::move(v);
  return x;
}

TObjectValue TObjectValue::Items(std::vector<TObjectProps> v) {
  TObjectValue x;
  x.kind = TKind::Collection;
  x.items = std::move(v);
  return x;
}

std::string WriteObjectText(const TObjectText& object) {
  std::string out = "object " + object.className + "\r\n";
  WriteProps(out, object.props, 1);
  out += "end\r\n";
  return out;
}

TObjectText ReadObjectText(std::string_view text) {
  return TReader(text).Read();
}

std::string QuoteObjectString(std::string_view utf8) {
  std::string out;
  for (const auto& piece : StringPieces(utf8)) out += piece;
  return out;
}

}  // namespace zuz
