// The report markup as the converters read it: an XML text parsed into an element tree (with the
// id index on, so that two style classes of one id stop the read), the style classes of its
// head and the block elements of its body.
//
//   <html header="..." footer="..." pagesize="A4 Landscape">     any root name
//     <head>
//       <style id="td.shaded">background-color:#F0F0F0</style>   id = class, text = properties
//     </head>
//     <body>
//       <h1 class=".." outline="..">text</h1>  <p class title markup>text</p>
//       <tr header="yes"><td class right="30" markup="yes"><![CDATA[a<br>b]]></td></tr>
//       <img src="logo.png"/>  <div>...</div>  <link>...</link>
//     </body>
//   </html>
//
// Only the first "head" and the first "body" child of the root count. A markup that the reader
// cannot fully parse is taken as far as it was read. Style classes outlive a load: a class that
// a later head defines again is replaced, the others stay.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "planner/base/Hashes.h"
#include "planner/xml/qorXMLParser2.h"
#include "report/qorStyleProperties.h"

// One style class: its property list as written and its entries.
class TqorStyleClass {
 public:
  explicit TqorStyleClass(std::string text);

  const std::string& Text() const { return text_; }
  const std::vector<TqorStyleProperty>& Properties() const { return properties_; }
  // The value of a property (names are lower case); the last entry wins; empty when absent.
  std::string Property(std::string_view name) const;

 private:
  std::string text_;
  std::vector<TqorStyleProperty> properties_;
};

// What a converter makes of an element of the body.
enum class TqorBlockKind {
  Heading,    // h1..h4
  Paragraph,  // p
  Row,        // tr
  Image,      // img
  Container,  // div, link: their children are blocks
  Ignored,    // anything else, with its content
};

class TqorReportMarkup {
 public:
  TqorReportMarkup();

  // Parses the markup, replacing the previous tree, and takes the style classes of its head.
  // Never raises; a reading error leaves the partial tree and its message in LastError.
  void Load(std::string_view markup);
  const std::string& LastError() const { return parser_.LastError(); }

  const TqorXMLNode2& Root() const { return parser_; }
  // The root's first "head" / "body" child, or nullptr.
  const TqorXMLNode2* Head() const { return parser_.FindChild("head"); }
  const TqorXMLNode2* Body() const { return parser_.FindChild("body"); }
  // The root's "header", "footer" and "pagesize" attributes; the paper is "A4" when empty.
  std::string HeaderText() const { return parser_.GetAttributeStr("header"); }
  std::string FooterText() const { return parser_.GetAttributeStr("footer"); }
  std::string Paper() const;

  // The class of that name, or nullptr (also for the empty name).
  const TqorStyleClass* FindClass(std::string_view name) const;
  // The class's property list as written; empty for an undefined class.
  std::string ClassText(std::string_view name) const;
  // One property of a class; empty when the class or the property is not defined.
  std::string ClassProperty(std::string_view className, std::string_view property) const;
  size_t ClassCount() const { return classes_.Count(); }

  // The element's "class" attribute, or fallback when that is empty.
  static std::string ClassOf(const TqorXMLNode2& element, std::string_view fallback = {});
  static TqorBlockKind KindOf(const TqorXMLNode2& element);
  // 1 to 4 for "h1" to "h4", 0 for any other element.
  static int HeadingLevel(const TqorXMLNode2& element);
  // A whole-number attribute ("right", "mmwidth"); fallback when missing or not a whole number.
  static int32_t WholeNumberAttribute(const TqorXMLNode2& element, std::string_view name,
                                      int32_t fallback = 0);

 private:
  TqorXMLParser2 parser_;
  TObjectHash<TqorStyleClass, true> classes_;
};
