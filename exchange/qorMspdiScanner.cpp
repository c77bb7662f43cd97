#include "exchange/qorMspdiScanner.h"

#include <algorithm>
#include <array>

#include "exchange/qorMspdiError.h"
#include "exchange/qorMspdiFields.h"
#include "exchange/qorMspdiText.h"
#include "planner/base/qorUtf8.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Characters that end a name (and that no name may hold).
constexpr std::array<bool, 256> kEndsName = [] {
  std::array<bool, 256> ends{};
  for (char c : std::string_view(" \t\n\r/><=\"'&")) ends[static_cast<unsigned char>(c)] = true;
  return ends;
}();

bool EndsName(char c) {
  return kEndsName[static_cast<unsigned char>(c)];
}

bool StartsAt(std::string_view s, size_t at, std::string_view what) {
  return at <= s.size() && s.size() - at >= what.size() && s.compare(at, what.size(), what) == 0;
}

// The elements whose subtrees below a record's own level are left out.
bool LeftOut(std::string_view local) {
  return local == "TimephasedData" || local == "Baseline";
}

// A name for a message: at most 40 bytes of it.
std::string Shown(std::string_view name) {
  return name.size() > 40 ? std::string(name.substr(0, Utf8Boundary(name, 40))) + "..."
                          : std::string(name);
}

void AppendCData(std::string& out, std::string_view text) {
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else
      out += c;
  }
}

}  // namespace

int64_t TqorMspdiScanner::LineAt(size_t pos) {
  if (pos > linePos_) {
    line_ += std::count(src_.begin() + static_cast<std::ptrdiff_t>(linePos_),
                        src_.begin() + static_cast<std::ptrdiff_t>(pos), '\n');
    linePos_ = pos;
  }
  return line_;
}

void TqorMspdiScanner::Fail(std::string_view element, size_t pos, const std::string& reason) {
  throw EqorMspdiError(Shown(element), LineAt(std::min(pos, src_.size())), reason);
}

size_t TqorMspdiScanner::SkipSpecial(size_t pos, std::string_view where, std::string_view* cdata) {
  if (pos + 1 >= src_.size() || (src_[pos + 1] != '!' && src_[pos + 1] != '?')) return pos;
  if (StartsAt(src_, pos, "<!--")) {
    const size_t end = src_.find("-->", pos + 4);
    if (end == std::string_view::npos) Fail(where, pos, "a comment is not closed (no \"-->\")");
    return end + 3;
  }
  if (StartsAt(src_, pos, "<![CDATA[")) {
    const size_t end = src_.find("]]>", pos + 9);
    if (end == std::string_view::npos) Fail(where, pos, "a CDATA section is not closed");
    if (cdata) *cdata = src_.substr(pos + 9, end - pos - 9);
    return end + 3;
  }
  if (StartsAt(src_, pos, "<?")) {
    const size_t end = src_.find("?>", pos + 2);
    if (end == std::string_view::npos)
      Fail(where, pos, "a processing instruction is not closed (no \"?>\")");
    return end + 2;
  }
  if (StartsAt(src_, pos, "<!DOCTYPE"))
    Fail("DOCTYPE", pos, "document type declarations are refused (their entities are not read)");
  if (StartsAt(src_, pos, "<!")) Fail(where, pos, "a markup declaration is not allowed here");
  return pos;
}

size_t TqorMspdiScanner::SkipMisc(size_t pos, std::string_view where) {
  for (;;) {
    while (pos < src_.size() && IsBlank(src_[pos])) ++pos;
    if (pos >= src_.size()) return pos;
    if (StartsAt(src_, pos, "<![CDATA[")) return pos;
    const size_t next = SkipSpecial(pos, where, nullptr);
    if (next == pos) return pos;
    pos = next;
  }
}

TqorMspdiScanner::TTag TqorMspdiScanner::ReadTag(size_t lt) {
  TTag tag;
  size_t p = lt + 1;
  if (p < src_.size() && src_[p] == '/') {
    tag.End = true;
    ++p;
  }
  const size_t nameStart = p;
  while (p < src_.size() && !EndsName(src_[p])) ++p;
  tag.QName = src_.substr(nameStart, p - nameStart);
  if (tag.QName.empty()) Fail("XML", lt, "a \"<\" starts no element");
  const size_t colon = tag.QName.rfind(':');
  tag.Local = colon == std::string_view::npos ? tag.QName : tag.QName.substr(colon + 1);
  if (tag.Local.empty()) Fail(tag.QName, lt, "an element name ends in \":\"");
  const size_t attributes = p;
  for (;;) {
    while (p < src_.size() && IsBlank(src_[p])) ++p;
    if (p >= src_.size()) Fail(tag.Local, lt, "the tag is not closed (no \">\")");
    if (src_[p] == '>') {
      tag.Attributes = src_.substr(attributes, p - attributes);
      tag.Next = p + 1;
      break;
    }
    if (src_[p] == '/' && !tag.End && p + 1 < src_.size() && src_[p + 1] == '>') {
      tag.Attributes = src_.substr(attributes, p - attributes);
      tag.Empty = true;
      tag.Next = p + 2;
      break;
    }
    if (tag.End) Fail(tag.Local, lt, "an end tag holds more than its name");
    const size_t attrName = p;
    while (p < src_.size() && !EndsName(src_[p])) ++p;
    if (p == attrName)
      Fail(tag.Local, lt, std::string("unexpected \"") + src_[p] + "\" in the tag");
    while (p < src_.size() && IsBlank(src_[p])) ++p;
    if (p >= src_.size() || src_[p] != '=')
      Fail(tag.Local, lt,
           "the attribute " + Shown(src_.substr(attrName, p - attrName)) + " has no value");
    ++p;
    while (p < src_.size() && IsBlank(src_[p])) ++p;
    if (p >= src_.size() || (src_[p] != '"' && src_[p] != '\''))
      Fail(tag.Local, lt, "an attribute value is not in quotes");
    const size_t close = src_.find(src_[p], p + 1);
    if (close == std::string_view::npos) Fail(tag.Local, lt, "an attribute value is not closed");
    p = close + 1;
  }
  return tag;
}

void TqorMspdiScanner::CheckRoot(const TTag& root, size_t lt) {
  if (root.End) Fail(root.Local, lt, "the file starts with an end tag");
  if (root.Local != "Project")
    Fail(root.Local, lt,
         "the root element is " + Shown(root.Local) + ", not an MS Project XML Project");
  const std::string_view prefix =
      root.QName.size() > root.Local.size()
          ? root.QName.substr(0, root.QName.size() - root.Local.size() - 1)
          : std::string_view();
  const std::string wanted = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
  // The attributes are well-formed: ReadTag checked them.
  std::string_view s = root.Attributes;
  bool found = false;
  std::string value;
  while (!s.empty()) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    if (s.empty()) break;
    size_t eq = s.find('=');
    std::string_view name = s.substr(0, eq);
    while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
    size_t q = eq + 1;
    while (IsBlank(s[q])) ++q;
    const size_t close = s.find(s[q], q + 1);
    if (name == wanted && !found) {
      found = true;
      value = DecodeMspdiText(s.substr(q + 1, close - q - 1));
    }
    s.remove_prefix(close + 1);
  }
  if (!found)
    Fail("Project", lt,
         "the Project element is not in the namespace " + std::string(kMspdiNamespace));
  if (value != kMspdiNamespace)
    Fail("Project", lt,
         "the namespace " + Shown(value) + " is not MS Project's " + std::string(kMspdiNamespace));
}

void TqorMspdiScanner::Scan(const std::function<void(const TqorMspdiRecord&)>& onRecord) {
  size_t pos = SkipMisc(0, "XML");
  if (pos >= src_.size()) Fail("XML", pos, "the file holds no element");
  if (src_[pos] != '<') Fail("XML", pos, "text before the first element");
  if (StartsAt(src_, pos, "<![CDATA["))
    Fail("XML", pos, "a CDATA section before the first element");
  const size_t rootAt = pos;
  const TTag root = ReadTag(rootAt);
  CheckRoot(root, rootAt);
  pos = root.Next;

  std::vector<TOpen> open;
  TqorMspdiRecord record;
  // Whether text and elements go into the record; and, when skip > 0, the depth of the
  // left-out element they are inside.
  bool capturing = false;
  size_t skip = 0;
  auto begin = [&](std::string_view containerName, std::string_view name) {
    record.Container = containerName;
    record.Name = name;
    record.Text.clear();
    record.Lines.clear();
    capturing = true;
  };
  auto emit = [&] {
    capturing = false;
    onRecord(record);
  };

  if (!root.Empty) {
    open.push_back({root.QName, root.Local, LineAt(rootAt)});
    while (!open.empty()) {
      const size_t lt = src_.find('<', pos);
      if (lt == std::string_view::npos)
        Fail(open.back().Local, src_.size(),
             "the file ends inside the element opened at line " + std::to_string(open.back().Line));
      if (capturing && skip == 0) record.Text.append(src_.substr(pos, lt - pos));
      std::string_view cdata;
      const std::string_view where = open.back().Local;
      const size_t next = SkipSpecial(lt, where, &cdata);
      if (next != lt) {
        if (capturing && skip == 0) AppendCData(record.Text, cdata);
        pos = next;
        continue;
      }
      const TTag tag = ReadTag(lt);
      pos = tag.Next;
      const size_t depth = open.size();
      if (tag.End) {
        if (tag.QName != open.back().QName)
          Fail(open.back().Local, lt,
               "the end tag </" + Shown(tag.QName) +
                   "> does not close the element opened at line " +
                   std::to_string(open.back().Line));
        const size_t closing = depth - 1;
        if (capturing && skip == 0) {
          record.Text += "</";
          record.Text += tag.Local;
          record.Text += '>';
        }
        if (skip == closing) skip = 0;
        open.pop_back();
        if (closing == 1) {
          if (capturing) emit();
        } else if (closing == 2) {
          emit();
        }
        continue;
      }
      if (depth > kMaxDepth)
        Fail(tag.Local, lt, "elements are nested more than " + std::to_string(kMaxDepth) + " deep");
      if (depth == 1) {
        begin({}, tag.Local);
      } else if (depth == 2) {
        begin(open[1].Local, tag.Local);
      } else if (skip == 0 && LeftOut(tag.Local)) {
        skip = depth;
      }
      if (capturing && skip == 0) {
        if (record.Lines.size() >= kMaxRecordElements)
          Fail(record.Name, lt,
               "the element holds more than " + std::to_string(kMaxRecordElements) + " elements");
        record.Text += '<';
        record.Text += tag.Local;
        record.Text += tag.Empty ? "/>" : ">";
        record.Lines.push_back(LineAt(lt));
      }
      if (tag.Empty) {
        if (depth <= 2) emit();
        if (skip == depth) skip = 0;
      } else {
        open.push_back({tag.QName, tag.Local, LineAt(lt)});
      }
    }
  }
  pos = SkipMisc(pos, "Project");
  if (pos < src_.size()) Fail("Project", pos, "there is more after the end of the Project element");
}
