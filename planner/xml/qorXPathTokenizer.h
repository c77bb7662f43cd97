// The tokenizer of path predicates. A predicate is a byte string (UTF-8) read left to right;
// blanks (code 32) between tokens are skipped, other white space is not. At each position:
//   'text'          a text literal up to the next "'" (no escapes; unclosed: tokenizing stops)
//   @name           an attribute operand (name: the run of name characters that follows)
//   , #             comma (separates arguments) and number sign, both without effect
//   ( )             parentheses
//   * + - =         operators; "<", "<=", "<>", ">", ">="
//   digits          a number: the run of digits and "." read with "." as decimal point
//                   (a run that reads as no number stops tokenizing)
//   letter or /     a word: the run of name characters; a keyword operand ("value", "pi", ...),
//                   an operator ("div", "and", "or") or a function ("like", ...), looked up
//                   ignoring letter case; any other word is a location operand ("task/@name")
//   anything else   tokenizing stops; the rest of the text is ignored
// Name characters are ".", "/", ":", "@", "_", digits, letters, and the bytes of non-ASCII
// UTF-8 characters (so that element and attribute names may hold any letter).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "planner/base/qorVariant.h"

enum class TTokenKind : uint8_t {
  Operator,  // operators and functions
  Operand,
  OpenParenthesis,
  CloseParenthesis,
  Comma,
  NumberSign,
};

// What a token stands for.
enum class TTokenCode : uint8_t {
  None,
  // operands
  Literal,    // a text or number; the value is the token's Value
  Attribute,  // "@name"; the name is the token's Text without "@"
  Location,   // any other word: a location below (or, with a leading "/", from the root)
  Value,
  Name,
  Position,
  First,
  Last,
  Path,
  ParentName,
  ChildCount,
  Namespace,
  BaseName,
  NamespaceURI,
  Pi,
  Date,
  Time,
  // operators
  Or,
  And,
  Equal,
  NotEqual,
  Less,
  LessEqual,
  Greater,
  GreaterEqual,
  Plus,
  Minus,
  Div,
  Times,
  // functions
  Sin,
  Cos,
  Sqr,
  Sqrt,
  HasAttribute,
  HasChild,
  Easter,
  WeekNumber,
  Year,
  Month,
  Day,
  Soundex,
  Lower,
  Upper,
  Trim,
  Not,
  Like,
  In,
  AsNumber,
  ParseFloat,
  AsDate,
  DateAdd,
  Left,
  Right,
  Mid,
  SubstrAfter,
  SubstrBefore,
  Format,
  Length,
  Fix,
  Trunc,
  Ceil,
  Floor,
  IsNumeric,
  IsDate,
  Replace,
  Assign,
  Get,
};

struct TToken {
  std::string Text;  // as written ("@name", "'abc'" without the quotes, "Like")
  TTokenKind Kind = TTokenKind::Operand;
  TqorVariant Value;  // literals only
  TTokenCode Code = TTokenCode::None;
  int Precedence = 0;  // operators and functions: or/and 0, comparisons 3, + - 4, div 5, * 6,
                       // functions 7
  int Arity = 0;       // operators 2, functions their number of arguments
};

class TqorXPathTokenizer {
 public:
  explicit TqorXPathTokenizer(std::string_view source) : source_(source) {}

  // Scans the next token into token; false at the end of the text and where tokenizing stops.
  bool Next(TToken& token);
  // True when tokenizing stopped before the end of the text; StopPosition is then the 0-based
  // byte position of the character that starts no token.
  bool Stopped() const { return stopped_; }
  size_t StopPosition() const { return position_; }

  // Looks a word up among the keyword operands, keyword operators and functions, ignoring
  // letter case; false for any other word. Fills Kind, Code, Precedence and Arity.
  static bool LookUpWord(std::string_view word, TToken& token);
  // The name of an operator or function as it is written ("<=", "div", "like").
  static std::string_view CodeName(TTokenCode code);

 private:
  void Stop() { stopped_ = true; }
  // The end of the run of name characters that starts at from.
  size_t NameRunEnd(size_t from) const;

  std::string_view source_;
  size_t position_ = 0;
  bool stopped_ = false;
};
