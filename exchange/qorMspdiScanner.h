// Reads the outer structure of an MS Project XML (MSPDI) file and hands the import its elements
// one at a time, each as a small XML text for this program's XML reader (planner/xml) with the
// lines it came from, so that a file of any size is read without a tree of all of it in memory:
//
//   <?xml ...?>, comments, processing instructions   before and after the root; a DOCTYPE is
//                                                     refused (no entity is ever expanded)
//   <Project xmlns="http://schemas.microsoft.com/project">   the root, depth 0 (also with a
//                                                     prefix: <p:Project xmlns:p="...">)
//     <Title>...</Title>                              depth 1 without elements in it: a record
//     <Tasks>                                         depth 1 with elements in it: a container
//       <Task>...</Task>                              depth 2: a record
//     </Tasks>
//   </Project>
//
// A record's text: every element as "<name>...</name>" or "<name/>" with its local name (the
// prefix and the attributes left out), text as the file has it (references not decoded;
// DecodeMspdiText does that), a CDATA section as text with "&", "<" and ">" as references;
// comments and processing instructions left out, and so is every element named TimephasedData
// or Baseline below the record's own level with all it holds (the import maps neither, and they
// are most of a large file). Text directly in the root or in a container is ignored.
//
// A file that is not well-formed (as far as this structure goes: tags, quotes, comments,
// CDATA, processing instructions, matching end tags), whose root is not Project in the MSPDI
// namespace, or that goes beyond the limits (elements nested more than kMaxDepth deep, a record
// of more than kMaxRecordElements elements) gives an EqorMspdiError with the element and the
// line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct TqorMspdiRecord {
  // The local name of the container the record is in; empty for a record at depth 1.
  std::string_view Container;
  std::string_view Name;
  std::string Text;
  // The line of each element of Text in document order, the record's own first.
  std::vector<int64_t> Lines;
};

class TqorMspdiScanner {
 public:
  static constexpr size_t kMaxDepth = 64;
  static constexpr size_t kMaxRecordElements = 1000000;

  // REQUIRES: text is UTF-8 and outlives the scanner.
  explicit TqorMspdiScanner(std::string_view text) : src_(text) {}

  // Calls onRecord with each record in document order (the views in it last as long as the
  // text). Raises EqorMspdiError as above; what onRecord raises comes through.
  void Scan(const std::function<void(const TqorMspdiRecord&)>& onRecord);

 private:
  struct TTag {
    bool End = false;
    bool Empty = false;
    std::string_view QName;
    std::string_view Local;
    std::string_view Attributes;
    size_t Next = 0;  // the position behind the tag
  };
  struct TOpen {
    std::string_view QName;
    std::string_view Local;
    int64_t Line;
  };

  // The 1-based line of a position. REQUIRES: not before the last position asked about.
  int64_t LineAt(size_t pos);
  [[noreturn]] void Fail(std::string_view element, size_t pos, const std::string& reason);
  // The tag at src_[lt] == '<' (neither "<!" nor "<?").
  TTag ReadTag(size_t lt);
  // Skips blanks, comments and processing instructions; refuses a DOCTYPE. Returns the position
  // of the first other character (src_.size() at the end).
  size_t SkipMisc(size_t pos, std::string_view where);
  // Skips the comment, CDATA section or processing instruction at pos; returns the position
  // behind it, or pos when there is none there. cdata receives a CDATA section's content.
  size_t SkipSpecial(size_t pos, std::string_view where, std::string_view* cdata);
  void CheckRoot(const TTag& root, size_t lt);

  std::string_view src_;
  size_t linePos_ = 0;
  int64_t line_ = 1;
};
