// The object notation in which stored definitions are kept as text (the catalogue's TableDef blob):
//
//   object TTableDef                       first line: "object " and the class name
//     TableID = 1                          one line per stored property: name " = " value,
//     TableName = 'Tasks'                  indented by two spaces per nesting level
//     CreationDate = 45123.5
//     Encrypted = False
//     InternalFields = <                   a collection: "<", one item block per element,
//       item                               each opened by "item" and closed by "end",
//         FieldName = 'Id'                 the last "end" directly followed by ">"
//       end>
//   end                                    last line "end"; lines end with CR LF
//
// Values: integers in decimal; floating-point numbers in decimal with "." (always with a "." or
// an exponent); identifiers (enumerations, True, False) as they are; strings in single quotes
// with quotes doubled, and every character outside the printable ASCII range written as "#" and
// the decimal number of its Unicode code point (so #13#10 for CR LF and #233 for e acute: the
// text stays ASCII while the strings are UTF-8 in the program). A string longer than 64
// characters is split into pieces joined by " +" at the end of a line.
//
// Reading accepts any whitespace between tokens, pieces of a string written next to each other
// or joined by "+", and an empty collection written "<>".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zuz {

// One property: its name and value (an aggregate rather than a pair, so that a value may hold
// properties before its own type is complete).
struct TObjectProp;
using TObjectProps = std::vector<TObjectProp>;

struct TObjectValue {
  enum class TKind { Integer, Float, String, Ident, Collection };
  // Defined in the source file, so that clang need not look into the members' default
  // constructors while TObjectProps, which holds this type, is still incomplete.
  TObjectValue();
  TKind kind = TKind::Integer;
  int64_t integer = 0;
  double real = 0;
  std::string text;                 // String and Ident
  std::vector<TObjectProps> items;  // Collection

  static TObjectValue Int(int64_t v);
  static TObjectValue Real(double v);
  static TObjectValue Str(std::string v);
  static TObjectValue Id(std::string v);
  static TObjectValue Items(std::vector<TObjectProps> v);
};

struct TObjectProp {
  std::string first;
  TObjectValue second;
};

struct TObjectText {
  std::string className;
  TObjectProps props;
};

// The text of the object, CR LF line ends.
std::string WriteObjectText(const TObjectText& object);
// Parses the text; 8451 ("Data structure corruption") with the line and the reason when it is
// not valid object notation.
TObjectText ReadObjectText(std::string_view text);

// The string as a value of the notation (quoted pieces and #codes); for tests and diagnostics.
std::string QuoteObjectString(std::string_view utf8);

}  // namespace zuz
