#include "db/sql/zuzSqlLexer.h"

#include <array>
#include <string>
#include <unordered_map>

#include "planner/base/qorUtf8.h"

namespace zuz {

namespace {

struct TKeywordEntry {
  TSqlKeyword Keyword;
  const char* Text;
  TSqlTokenKind Kind;
};

constexpr TKeywordEntry kKeywords[] = {
#define ZUZ_SQL_KEYWORD_ENTRY(name, text, kind) {TSqlKeyword::name, text, TSqlTokenKind::kind},
    ZUZ_SQL_KEYWORDS(ZUZ_SQL_KEYWORD_ENTRY)
#undef ZUZ_SQL_KEYWORD_ENTRY
};

const std::unordered_map<std::string, const TKeywordEntry*>& KeywordMap() {
  static const auto* map = [] {
    auto* m = new std::unordered_map<std::string, const TKeywordEntry*>();
    for (const TKeywordEntry& e : kKeywords) (*m)[e.Text] = &e;
    return m;
  }();
  return *map;
}

// The words that start a two-word keyword; alone they are identifiers (NOT, FOR and DOUBLE are
// reserved words of their own as well).
bool StartsTwoWordKeyword(std::string_view upper) {
  return upper == "GROUP" || upper == "ORDER" || upper == "PRIMARY" || upper == "IS" ||
         upper == "NOT" || upper == "FOR" || upper == "DOUBLE";
}

std::string AsciiUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsQuote(char c) {
  return c == '\'' || c == '"' || c == '`' || c == '#' || c == '[';
}

// Characters that end a word (quotes end one only when their closing character follows).
bool EndsWord(char c) {
  switch (c) {
    case ' ':
    case '\t':
    case '\n':
    case '\r':
    case ']':
    case '(':
    case ')':
    case ',':
    case ';':
    case '*':
    case '+':
    case '-':
    case '.':
    case '/':
    case ':':
    case '<':
    case '=':
    case '>':
      return true;
    default:
      return false;
  }
}

class TLexer {
 public:
  explicit TLexer(std::string_view src) : s_(src) {}

  std::vector<TSqlToken> Run() {
    std::vector<TSqlToken> out;
    out.reserve(s_.size() / 4 + 2);
    bool space = false;
    bool forceIdent = false;  // the next word directly follows a "."
    size_t dotStart = kNone;  // where a lone "." before the next token is
    for (;;) {
      while (i_ < s_.size() && IsWhite(s_[i_])) {
        Step();
        space = true;
        forceIdent = false;
        dotStart = kNone;
      }
      if (i_ >= s_.size()) break;
      char c = s_[i_];
      if (c == '/' && i_ + 1 < s_.size() && (s_[i_ + 1] == '*' || s_[i_ + 1] == '/')) {
        SkipComment();
        space = true;
        forceIdent = false;
        dotStart = kNone;
        continue;
      }
      if (c == '.' && !(i_ + 1 < s_.size() && IsDigit(s_[i_ + 1]))) {
        // A "." not after a word: the next word is a name, whatever it spells. The "." is part
        // of that token's source, so that the source text of tokens reads back alike.
        dotStart = i_;
        Step();
        forceIdent = true;
        continue;
      }
      TSqlToken t;
      t.Line = line_;
      t.Char = col_;
      t.Start = i_;
      start_ = i_;
      t.SpaceBefore = space;
      bool forced = forceIdent;
      space = false;
      forceIdent = false;
      if (dotStart != kNone) {
        t.Start = dotStart;
        dotStart = kNone;
      }
      if (IsQuote(c) && HasClosing(i_)) {
        Quoted(t);
        forceIdent = MaybeQualifier(t);
      } else if (c == '(' || c == ')' || c == ',') {
        Step();
        t.Kind = TSqlTokenKind::Punctuation;
        t.Text = std::string(1, c);
      } else if (c == ';') {
        Step();
        t.Kind = TSqlTokenKind::End;
        t.Text.push_back(';');
      } else if (c == ']') {
        Step();
        t.Kind = TSqlTokenKind::Invalid;
        t.Text.push_back(']');
        t.Message = "Invalid token";
      } else if ((c == '+' || c == '-') && i_ + 1 < s_.size() &&
                 (IsDigit(s_[i_ + 1]) || s_[i_ + 1] == '.')) {
        Number(t);
      } else if (c == '+' || c == '-' || c == '*' || c == '/') {
        Step();
        t.Kind = TSqlTokenKind::Operator;
        t.Text = std::string(1, c);
      } else if (c == '<' || c == '=' || c == '>') {
        while (i_ < s_.size() && (s_[i_] == '<' || s_[i_] == '=' || s_[i_] == '>')) Step();
        t.Kind = TSqlTokenKind::Operator;
        t.Text = std::string(s_.substr(start_, i_ - start_));
      } else if (c == ':') {
        Step();
        size_t nameStart = i_;
        if (i_ < s_.size() && !EndsWord(s_[i_]) && !(IsQuote(s_[i_]) && HasClosing(i_))) {
          Word();
          t.Kind = TSqlTokenKind::Parameter;
          t.Text = std::string(s_.substr(nameStart, i_ - nameStart));
        } else {
          t.Kind = TSqlTokenKind::Invalid;
          t.Text.push_back(':');
          t.Message = "Parameter name expected but none found";
        }
      } else if ((IsDigit(c) && !forced) || c == '.') {
        Number(t);
      } else {
        Word();
        t.Text = std::string(s_.substr(start_, i_ - start_));
        forceIdent = MaybeQualifier(t);
        if (t.Kind != TSqlTokenKind::Qualifier) {
          if (forced) {
            t.Kind = TSqlTokenKind::Identifier;
          } else {
            ClassifyWord(t);
          }
        }
      }
      t.End = i_;
      out.push_back(std::move(t));
    }
    TSqlToken end;
    end.Kind = TSqlTokenKind::End;
    end.Line = line_;
    end.Char = col_;
    end.Start = end.End = s_.size();
    end.SpaceBefore = space;
    out.push_back(std::move(end));
    return out;
  }

 private:
  // Moves over one character, counting lines and characters.
  void Step() {
    char c = s_[i_];
    if (c == '\n' || c == '\r') {
      ++i_;
      char pair = c == '\n' ? '\r' : '\n';
      if (i_ < s_.size() && s_[i_] == pair) ++i_;
      ++line_;
      col_ = 1;
      return;
    }
    if (static_cast<unsigned char>(c) < 0x80) {
      ++i_;
    } else {
      char32_t cp;
      size_t n = DecodeUtf8(s_, i_, cp);
      i_ += n == 0 ? 1 : n;
    }
    ++col_;
  }

  void SkipComment() {
    if (s_[i_ + 1] == '/') {
      while (i_ < s_.size() && s_[i_] != '\n' && s_[i_] != '\r') Step();
      return;
    }
    Step();
    Step();
    while (i_ < s_.size()) {
      if (s_[i_] == '*' && i_ + 1 < s_.size() && s_[i_ + 1] == '/') {
        Step();
        Step();
        return;
      }
      Step();
    }
  }

  static char Closing(char open) { return open == '[' ? ']' : open; }

  // Whether the quote at position at has its closing character. A search for a closing
  // character that fails is remembered for the characters that have no doubling rule, so that
  // every later search for it fails at once; for single and double quotes a failed search means
  // every later quote of that kind stands in a doubled pair, whose first one then finds its
  // closing quote within the pair's run.
  bool HasClosing(size_t at) {
    char open = s_[at];
    char close = Closing(open);
    bool doubling = open == '\'' || open == '"';
    if (!doubling) {
      size_t& failed = failedFrom_[static_cast<unsigned char>(open)];
      if (failed != kNone && at >= failed) return false;
      if (s_.find(close, at + 1) != std::string_view::npos) return true;
      failed = at;
      return false;
    }
    for (size_t j = at + 1; j < s_.size(); ++j) {
      if (s_[j] != close) continue;
      if (j + 1 < s_.size() && s_[j + 1] == close) {
        ++j;
        continue;
      }
      return true;
    }
    return false;
  }

  // REQUIRES: the quote at i_ has its closing character.
  void Quoted(TSqlToken& t) {
    char open = s_[i_];
    char close = Closing(open);
    bool doubling = open == '\'' || open == '"';
    Step();
    std::string text;
    while (i_ < s_.size()) {
      if (s_[i_] == close) {
        if (doubling && i_ + 1 < s_.size() && s_[i_ + 1] == close) {
          text += close;
          Step();
          Step();
          continue;
        }
        Step();
        break;
      }
      size_t from = i_;
      Step();
      text.append(s_.substr(from, i_ - from));
    }
    t.Kind = open == '[' ? TSqlTokenKind::Identifier : TSqlTokenKind::String;
    t.Quote = open;
    t.Text = std::move(text);
  }

  // A word or quoted text directly followed by "." is a qualifier; the "." is taken with it and
  // the word after it is a name. Numbers never get here.
  bool MaybeQualifier(TSqlToken& t) {
    if (i_ < s_.size() && s_[i_] == '.') {
      Step();
      t.Kind = TSqlTokenKind::Qualifier;
      return true;
    }
    return false;
  }

  // Moves over the characters of a word; a quote character without its closing character is an
  // ordinary character of it.
  void Word() {
    while (i_ < s_.size()) {
      char c = s_[i_];
      if (EndsWord(c)) break;
      if (IsQuote(c) && HasClosing(i_)) break;
      Step();
    }
  }

  void Number(TSqlToken& t) {
    if (s_[i_] == '+' || s_[i_] == '-') Step();
    while (i_ < s_.size() && (IsDigit(s_[i_]) || s_[i_] == '.')) Step();
    if (i_ + 1 < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      size_t k = i_ + 1;
      if (s_[k] == '+' || s_[k] == '-') ++k;
      if (k < s_.size() && IsDigit(s_[k])) {
        while (i_ < k) Step();
        while (i_ < s_.size() && IsDigit(s_[i_])) Step();
      }
    }
    t.Kind = TSqlTokenKind::Number;
    t.Text = std::string(s_.substr(start_, i_ - start_));
  }

  void ClassifyWord(TSqlToken& t) {
    if (t.Text == "||") {
      t.Kind = TSqlTokenKind::Operator;
      return;
    }
    std::string upper = AsciiUpper(t.Text);
    if (StartsTwoWordKeyword(upper)) {
      TSqlKeyword pair = TwoWordKeyword(upper);
      if (pair != TSqlKeyword::None) {
        t.Kind =
            pair == TSqlKeyword::DoublePrecision ? TSqlTokenKind::DataType : TSqlTokenKind::Keyword;
        t.Keyword = pair;
        t.Text = std::string(s_.substr(start_, i_ - start_));
        return;
      }
    }
    auto it = KeywordMap().find(upper);
    if (it == KeywordMap().end()) {
      t.Kind = TSqlTokenKind::Identifier;
      return;
    }
    t.Kind = it->second->Kind;
    t.Keyword = it->second->Keyword;
  }

  // The next word after white space (not followed by "."), in capitals; the position after it in
  // end. Nothing when no such word follows.
  std::string PeekWord(size_t from, size_t& end) const {
    size_t j = from;
    while (j < s_.size() && IsWhite(s_[j])) ++j;
    if (j == from) return {};
    size_t start = j;
    while (j < s_.size() && !EndsWord(s_[j]) && !IsQuote(s_[j])) ++j;
    if (j == start || (j < s_.size() && s_[j] == '.')) return {};
    end = j;
    return AsciiUpper(s_.substr(start, j - start));
  }

  // Takes the second (and third) word of a two-word keyword when it follows; None otherwise.
  TSqlKeyword TwoWordKeyword(const std::string& first) {
    size_t end = 0;
    std::string second = PeekWord(i_, end);
    if (second.empty()) return TSqlKeyword::None;
    TSqlKeyword kw = TSqlKeyword::None;
    if (first == "IS" && second == "NOT") {
      size_t end3 = 0;
      if (PeekWord(end, end3) == "NULL") {
        end = end3;
        kw = TSqlKeyword::IsNotNull;
      }
    } else {
      kw = SqlKeywordOf(first + " " + second);
    }
    if (kw == TSqlKeyword::None) return kw;
    while (i_ < end) Step();
    return kw;
  }

  static constexpr size_t kNone = static_cast<size_t>(-1);

  std::string_view s_;
  size_t i_ = 0;
  size_t start_ = 0;  // where the current token's own characters begin
  int line_ = 1;
  int col_ = 1;
  std::array<size_t, 256> failedFrom_ = [] {
    std::array<size_t, 256> a{};
    a.fill(kNone);
    return a;
  }();
};

}  // namespace

const char* SqlKeywordText(TSqlKeyword keyword) {
  for (const TKeywordEntry& e : kKeywords) {
    if (e.Keyword == keyword) return e.Text;
  }
  return "";
}

TSqlKeyword SqlKeywordOf(std::string_view text) {
  auto it = KeywordMap().find(AsciiUpper(text));
  return it == KeywordMap().end() ? TSqlKeyword::None : it->second->Keyword;
}

std::vector<TSqlToken> SqlTokenize(std::string_view text) {
  return TLexer(text).Run();
}

bool IsSqlWord(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (EndsWord(c) || IsQuote(c)) return false;
  }
  return true;
}

bool IsPlainSqlName(std::string_view name) {
  if (!IsSqlWord(name) || name == "||" || IsDigit(name[0])) return false;
  std::string upper = AsciiUpper(name);
  if (StartsTwoWordKeyword(upper)) return false;
  if (upper == "LEADING" || upper == "TRAILING" || upper == "BOTH") return false;
  return KeywordMap().find(upper) == KeywordMap().end();
}

}  // namespace zuz
