// Writes the XML text of an MS Project XML file element by element, straight into a string, so
// that a plan of any size is written without a tree of it in memory:
//
//   <?xml version="1.0" encoding="UTF-8" standalone="yes"?>LF
//   <Project xmlns="...">LF                  one element per line, two blanks per level,
//     <Tasks>LF
//       <Name>Design &amp; build</Name>LF    leaf elements with their text on one line,
//       <Notes/>LF                           an empty one in the "/>" form,
//     </Tasks>LF
//   </Project>LF
//
// Text goes through AppendMspdiText (qorMspdiText.h), so that any user text is safe to write;
// numbers, dates and codes are written as given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TqorMspdiXmlWriter {
 public:
  // Writes the declaration into out (which it then keeps appending to).
  explicit TqorMspdiXmlWriter(std::string& out);

  // An element that holds others; namespace, when given, becomes its xmlns attribute.
  void Open(std::string_view name, std::string_view xmlNamespace = {});
  // REQUIRES: an element is open.
  void Close();
  // A leaf element with user text.
  void Text(std::string_view name, std::string_view text);
  // A leaf element whose value needs no escaping (a number, a date, a code).
  void Value(std::string_view name, std::string_view value);
  void Integer(std::string_view name, int64_t value);

  // The characters user texts had that XML cannot hold, left out so far.
  size_t Dropped() const { return dropped_; }

 private:
  void Indent();
  void Leaf(std::string_view name, std::string_view text, bool escape);

  std::string& out_;
  std::vector<std::string> open_;
  size_t dropped_ = 0;
};
