// Reads and writes the XML text drawn in qorXMLParser2.h. The reader walks the source once,
// left to right, with forward searches for exact substrings from the current position.
#include "planner/xml/qorXMLParser2.h"

#include <cstring>
#include <optional>

#include "planner/base/qorEncoding.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"
#include "planner/xml/qorXPathParserList2.h"

namespace {

// A reading error: stops the parse and becomes LastError.
struct ParseError {
  std::string message;
};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

bool StartsAt(std::string_view s, size_t at, std::string_view what) {
  return s.size() >= at && s.size() - at >= what.size() && s.compare(at, what.size(), what) == 0;
}

// Decodes "&lt;", "&gt;", "&amp;", "&apos;", "&quot;" and numeric references ("&#321;",
// "&#x141;") in one left-to-right pass; anything else stays as it is.
std::string DecodeAttributeValue(std::string_view v) {
  if (v.find('&') == std::string_view::npos) return std::string(v);
  static constexpr struct {
    std::string_view ref;
    char ch;
  } kNamed[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&apos;", '\''}, {"&quot;", '"'}};
  std::string out;
  out.reserve(v.size());
  for (size_t i = 0; i < v.size();) {
    if (v[i] != '&') {
      out += v[i++];
      continue;
    }
    bool done = false;
    for (const auto& n : kNamed) {
      if (StartsAt(v, i, n.ref)) {
        out += n.ch;
        i += n.ref.size();
        done = true;
        break;
      }
    }
    if (done) continue;
    if (StartsAt(v, i, "&#")) {
      size_t j = i + 2;
      bool hex = j < v.size() && (v[j] == 'x' || v[j] == 'X');
      if (hex) ++j;
      char32_t cp = 0;
      size_t digits = 0;
      for (; j < v.size() && digits < 8; ++j, ++digits) {
        char c = v[j];
        int d;
        if (c >= '0' && c <= '9')
          d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
          d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
          d = c - 'A' + 10;
        else
          break;
        cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(d);
      }
      if (digits > 0 && j < v.size() && v[j] == ';' && cp != 0 && cp <= 0x10FFFF &&
          !(cp >= 0xD800 && cp <= 0xDFFF)) {
        AppendUtf8(out, cp);
        i = j + 1;
        continue;
      }
    }
    out += v[i++];
  }
  return out;
}

// Whether XML 1.0 can hold the character at all: tab, line feed, carriage return and the
// characters from U+0020 up, except the surrogates, U+FFFE and U+FFFF.
bool IsXmlChar(char32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

// The text without the characters XML cannot hold, each counted in dropped. A byte that starts
// no well-formed UTF-8 sequence stands for its Latin-1 character, as at the program's other edges.
std::string XmlChars(std::string_view v, size_t& dropped) {
  std::string out;
  out.reserve(v.size());
  for (size_t i = 0; i < v.size();) {
    const unsigned char byte = static_cast<unsigned char>(v[i]);
    if (byte >= 0x20 && byte < 0x80) {
      out += v[i++];
      continue;
    }
    const size_t from = i;
    const std::optional<char32_t> cp = DecodeUtf8At(v, i);
    if (!cp) {
      AppendUtf8(out, byte);
    } else if (IsXmlChar(*cp)) {
      out.append(v.substr(from, i - from));
    } else {
      ++dropped;
    }
  }
  return out;
}

// An attribute value: the five markup characters as named references, and tab, line feed and
// carriage return as numeric ones, which a reader keeps where it would turn the characters
// themselves into blanks.
void AppendEscaped(std::string& out, std::string_view value, size_t& dropped) {
  const std::string v = XmlChars(value, dropped);
  size_t from = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    const char* rep;
    switch (v[i]) {
      case '&':
        rep = "&amp;";
        break;
      case '<':
        rep = "&lt;";
        break;
      case '>':
        rep = "&gt;";
        break;
      case '\'':
        rep = "&apos;";
        break;
      case '"':
        rep = "&quot;";
        break;
      case '\t':
        rep = "&#9;";
        break;
      case '\n':
        rep = "&#10;";
        break;
      case '\r':
        rep = "&#13;";
        break;
      default:
        continue;
    }
    out.append(v, from, i - from);
    out.append(rep);
    from = i + 1;
  }
  out.append(v, from, std::string::npos);
}

// The text as a CDATA section; a "]]>" in it ends one section and starts the next after its
// "]]", and the reader joins sections that follow each other.
void AppendCData(std::string& out, std::string_view text) {
  out += "<![CDATA[";
  size_t from = 0;
  for (size_t at = text.find("]]>"); at != std::string_view::npos; at = text.find("]]>", from)) {
    out.append(text.substr(from, at + 2 - from));
    out += "]]><![CDATA[";
    from = at + 2;
  }
  out.append(text.substr(from));
  out += "]]>";
}

void WriteElement(std::string& out, const TqorXMLNode2& node, int depth, size_t& dropped) {
  const std::string indent(static_cast<size_t>(depth) * 2, ' ');
  out += indent;
  out += '<';
  out += node.Name();
  for (int i = 0; i < node.AttributeCount(); ++i) {
    const TqorXMLAttribute2* a = node.Attribute(i);
    out += ' ';
    out += a->Name;
    out += "=\"";
    if (a->Value.Kind() == TqorVarKind::Text)
      AppendEscaped(out, a->Value.RawText(), dropped);
    else
      AppendEscaped(out, a->Value.ToText(), dropped);
    out += '"';
  }
  const std::string text = XmlChars(node.Text(), dropped);
  if (node.ChildCount() == 0) {
    if (text.empty()) {
      out += "/>";
    } else if (node.IsCData()) {
      out += '>';
      AppendCData(out, text);
      out += "</";
      out += node.Name();
      out += '>';
    } else {
      out += '>';
      out += text;
      out += "</";
      out += node.Name();
      out += '>';
    }
    return;
  }
  if (node.IsCData()) {
    out += '>';
    AppendCData(out, text);
  } else {
    out += '>';
    out += text;
  }
  for (int i = 0; i < node.ChildCount(); ++i) {
    out += "\r\n";
    WriteElement(out, *node.GetChild(i), depth + 1, dropped);
  }
  out += "\r\n";
  out += indent;
  out += "</";
  out += node.Name();
  out += '>';
}

enum class Encoding { Latin1, Cp1252, Utf8, Other };

Encoding EncodingOf(std::string_view name) {
  std::string n;
  for (char c : name) {
    if (c == '-' || c == '_' || c == ' ') continue;
    n += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  }
  if (n.empty() || n == "ISO88591" || n == "LATIN1" || n == "L1") return Encoding::Latin1;
  if (n == "WINDOWS1252" || n == "CP1252") return Encoding::Cp1252;
  if (n == "UTF8") return Encoding::Utf8;
  return Encoding::Other;
}

// Whether the single-byte encoding holds the character.
bool Holds(Encoding encoding, char32_t cp) {
  unsigned char byte = 0;
  switch (encoding) {
    case Encoding::Latin1:
      return cp <= 0xFF;
    case Encoding::Cp1252:
      return Cp1252Byte(cp, byte);
    case Encoding::Utf8:
      return true;
    case Encoding::Other:
      return cp <= 0x7F;
  }
  return true;
}

bool Fits(std::string_view s, Encoding encoding) {
  for (size_t i = 0; i < s.size();) {
    const auto cp = DecodeUtf8At(s, i);
    if (cp && !Holds(encoding, *cp)) return false;
  }
  return true;
}

// Whether the text and the names of the node and of every node below it are held by the
// encoding: text and CDATA are written unescaped, and element and attribute names can't hold a
// character reference, so a character the encoding lacks has no other form there.
bool TextFits(const TqorXMLNode2& node, Encoding encoding) {
  if (!Fits(node.Text(), encoding) || !Fits(node.Name(), encoding)) return false;
  for (int k = 0; k < node.AttributeCount(); ++k) {
    if (!Fits(node.Attribute(k)->Name, encoding)) return false;
  }
  for (int k = 0; k < node.ChildCount(); ++k) {
    if (!TextFits(*node.GetChild(k), encoding)) return false;
  }
  return true;
}

// The value of the "encoding" pseudo-attribute of a leading XML declaration, or empty.
std::string DeclaredEncoding(std::string_view bytes) {
  size_t lt = bytes.find('<');
  if (lt == std::string_view::npos || !StartsAt(bytes, lt, "<?xml")) return {};
  size_t end = bytes.find("?>", lt);
  if (end == std::string_view::npos) return {};
  std::string_view decl = bytes.substr(lt, end - lt);
  size_t at = decl.find("encoding");
  if (at == std::string_view::npos) return {};
  size_t i = at + 8;
  while (i < decl.size() && static_cast<unsigned char>(decl[i]) <= 32) ++i;
  if (i >= decl.size() || decl[i] != '=') return {};
  ++i;
  while (i < decl.size() && static_cast<unsigned char>(decl[i]) <= 32) ++i;
  if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) return {};
  size_t close = decl.find(decl[i], i + 1);
  if (close == std::string_view::npos) return {};
  return std::string(decl.substr(i + 1, close - i - 1));
}

}  // namespace

// The reading procedures over one source text.
class TqorXMLParser2::Reader {
 public:
  Reader(TqorXMLParser2& doc, std::string_view src) : doc_(doc), src_(src) {}

  size_t Position() const { return pos_; }

  // Reads a leading XML declaration into the document's Declaration node. Returns false when
  // it has no "?>" (the caller reports that case with its own message).
  bool ReadDeclaration() {
    size_t lt = src_.find('<');
    if (lt == std::string_view::npos || !StartsAt(src_, lt, "<?xml")) return true;
    size_t end = src_.find("?>", lt);
    if (end == std::string_view::npos) return false;
    pos_ = end + 2;
    size_t from = lt + 6;
    std::string_view inner = from < end ? src_.substr(from, end - from) : std::string_view();
    ReadAttributes(*doc_.declaration_, Trim(inner), false);
    return true;
  }

  // Reads one element below parent (the document itself when parent is nullptr). Returns false
  // at an end tag, leaving the position on its "<".
  bool ReadElement(TqorXMLNode2* parent, int depth) {
    size_t lt = Find("<", pos_, "Missing <");
    pos_ = lt;
    while (StartsAt(src_, pos_, "<!--")) {
      size_t close = Find("-->", pos_, "Missing comment terminator -->");
      pos_ = close + 3;
      pos_ = Find("<", pos_, "Missing <");
    }
    size_t gt = Find(">", pos_, "Missing >");
    std::string_view content = src_.substr(pos_ + 1, gt - pos_ - 1);
    if (!content.empty() && content.front() == '/') return false;
    pos_ = gt + 1;
    bool empty = false;
    if (!content.empty() && content.back() == '/') {
      empty = true;
      content = Trim(content.substr(0, content.size() - 1));
    }
    size_t blank = content.find(' ');
    std::string_view name = content.substr(0, blank);
    std::string_view attrs =
        blank == std::string_view::npos ? std::string_view() : Trim(content.substr(blank + 1));
    if (depth > kMaxDepth)
      throw ParseError{"Elements nested deeper than " + std::to_string(kMaxDepth) + " levels"};
    TqorXMLNode2* element;
    if (!parent) {
      element = &doc_;
    } else {
      element = parent->AddChild(std::make_unique<TqorXMLNode2>());
    }
    element->SetName(std::string(name));
    if (!attrs.empty()) ReadAttributes(*element, attrs, true);
    if (!empty) {
      ReadText(*element);
      while (ReadElement(element, depth + 1)) {
      }
      size_t endLt = Find("<", pos_, "Missing <");
      size_t endGt = Find(">", endLt, "Missing >");
      std::string_view endContent = src_.substr(endLt + 1, endGt - endLt - 1);
      if (endContent.empty() || endContent.front() != '/')
        throw ParseError{"Not a matching end tag" + std::string(endContent)};
      std::string_view endName = endContent.substr(1);
      if (endName != element->Name())
        throw ParseError{"Opening and closing tags don't match " + element->Name() + " " +
                         std::string(endName)};
      pos_ = endGt + 1;
    }
    return true;
  }

 private:
  size_t Find(std::string_view what, size_t from, const char* error) const {
    size_t at = src_.find(what, from);
    if (at == std::string_view::npos) throw ParseError{error};
    return at;
  }

  void ReadText(TqorXMLNode2& element) {
    size_t lt = Find("<", pos_, "Expected < when parsing text");
    if (!StartsAt(src_, lt, "<![CDATA[")) {
      element.SetText(std::string(Trim(src_.substr(pos_, lt - pos_))));
      pos_ = lt;
      return;
    }
    // Sections that follow each other make one text.
    std::string text;
    size_t from = lt + 9;
    for (;;) {
      const size_t end = Find("]]>", from, "Expected ]]> when parsing CDATA section");
      text.append(src_.substr(from, end - from));
      pos_ = end + 3;
      if (!StartsAt(src_, pos_, "<![CDATA[")) break;
      from = pos_ + 9;
    }
    element.SetText(std::string(Trim(text)));
  }

  void ReadAttributes(TqorXMLNode2& element, std::string_view s, bool index) {
    while (!s.empty()) {
      size_t eq = s.find('=');
      if (eq == std::string_view::npos) throw ParseError{"missing = when parsing attributes"};
      if (eq + 1 >= s.size() || (s[eq + 1] != '"' && s[eq + 1] != '\''))
        throw ParseError{"missing value delimiter when parsing attributes"};
      const char delim = s[eq + 1];
      size_t close = s.find(delim, eq + 2);
      if (close == std::string_view::npos)
        throw ParseError{std::string("Expected closing ") + delim + " when parsing attributes"};
      element.AppendAttribute(std::string(Trim(s.substr(0, eq))),
                              TqorVariant(DecodeAttributeValue(s.substr(eq + 2, close - eq - 2))));
      s.remove_prefix(close + 1);
    }
    if (index && doc_.indexIds_) doc_.IndexSubtree(&element);
  }

  TqorXMLParser2& doc_;
  std::string_view src_;
  size_t pos_ = 0;
};

TqorXMLParser2::TqorXMLParser2()
    : declaration_(std::make_unique<TqorXMLNode2>()),
      predicateCache_(std::make_unique<TqorXPathParserList2>()) {
  isDocument_ = true;
}

TqorXMLParser2::~TqorXMLParser2() {
  destroying_ = true;
  index_.Clear();
  TqorXMLNode2::Clear();
}

void TqorXMLParser2::SetXml(std::string_view text) {
  index_.Clear();
  predicateCache_->Clear();
  indexed_ = false;
  clearing_ = true;
  TqorXMLNode2::Clear();
  clearing_ = false;
  SetName(std::string());
  SetText(std::string());
  parsing_ = true;
  lastError_.clear();
  Reader reader(*this, text);
  try {
    if (!reader.ReadDeclaration()) {
      lastError_ = "Missing ?> in xml declaration.";
      parsing_ = false;
      return;
    }
    reader.ReadElement(nullptr, 0);
  } catch (const ParseError& e) {
    lastError_ = e.message;
  } catch (const std::exception& e) {
    lastError_ = e.what();
  }
  parsing_ = false;
  if (lastError_.empty()) return;
  // The source around the error position, cut at character boundaries.
  const size_t pos = reader.Position();
  size_t start = pos > 20 ? Utf8Boundary(text, pos - 20) : 0;
  size_t end = std::min(text.size(), start + 50);
  if (end < text.size()) end = Utf8Boundary(text, end);
  lastError_ += " near ";
  lastError_.append(text.substr(start, end - start));
  lastError_ += "\r\nError position=" + std::to_string(pos + 1) + "\r\n";
  lastError_ += Xml();
}

std::string TqorXMLParser2::Xml() const {
  return XmlDeclaring("");
}

std::string TqorXMLParser2::XmlDeclaring(std::string_view encodingOverride, size_t* dropped) const {
  size_t left = 0;
  std::string out;
  out.reserve(65536);
  std::string version = declaration_->GetAttributeStr("version");
  std::string encoding = encodingOverride.empty() ? declaration_->GetAttributeStr("encoding")
                                                  : std::string(encodingOverride);
  if (version.empty()) version = "1.0";
  if (encoding.empty()) encoding = "ISO-8859-1";
  // The values are escaped as attribute values are, so that a quote in them reads back.
  out += "<?xml version=\"";
  AppendEscaped(out, version, left);
  out += "\" encoding=\"";
  AppendEscaped(out, encoding, left);
  out += "\" ?>\r\n";
  WriteElement(out, *this, 0, left);
  if (dropped) *dropped = left;
  return out;
}

std::string TqorXMLParser2::EncodedXml(size_t* dropped) const {
  const Encoding encoding = EncodingOf(declaration_->GetAttributeStr("encoding"));
  if (!TextFits(*this, encoding)) return XmlDeclaring("UTF-8", dropped);
  std::string text = XmlDeclaring("", dropped);
  switch (encoding) {
    case Encoding::Latin1:
      return Utf8ToLatin1Refs(text);
    case Encoding::Cp1252:
      return Utf8ToCp1252Refs(text);
    case Encoding::Utf8:
      return text;
    case Encoding::Other:
      return Utf8ToAsciiRefs(text);
  }
  return text;
}

void TqorXMLParser2::SaveToFile(const std::string& fileName, size_t* dropped) const {
  SaveStringToFile(fileName, EncodedXml(dropped));
}

void TqorXMLParser2::LoadFromFile(const std::string& fileName) {
  std::string bytes = LoadStringFromFile(fileName);
  std::string_view view = bytes;
  bool bom = StartsAt(view, 0, "\xEF\xBB\xBF");
  if (bom) view.remove_prefix(3);
  std::string declared = DeclaredEncoding(view);
  std::string text;
  if (!bom && !declared.empty() && EncodingOf(declared) == Encoding::Latin1)
    text = Latin1ToUtf8(view);
  else if (!bom && EncodingOf(declared) == Encoding::Cp1252)
    text = Cp1252ToUtf8(view);
  else if (bom || EncodingOf(declared) == Encoding::Utf8 || IsValidUtf8(view))
    text = Utf8BytesToText(view);
  else
    text = Latin1ToUtf8(view);
  SetXml(text);
}

TqorXMLNode2* TqorXMLParser2::GetNodeById(std::string_view elementName, std::string_view id) const {
  auto* inner = index_.Find(elementName);
  return inner ? inner->Find(id) : nullptr;
}

void TqorXMLParser2::IndexSubtree(TqorXMLNode2* node) {
  IndexNode(node);
  for (const auto& c : node->children_) IndexSubtree(c.get());
}

void TqorXMLParser2::IndexNode(TqorXMLNode2* node) {
  node->doc_ = node == this ? nullptr : this;
  const TqorVariant* idValue = node->FindAttribute("id");
  if (!idValue) return;
  std::string id = idValue->ToText();
  if (id.empty()) return;
  auto* inner = index_.Find(node->Name());
  if (!inner) inner = index_.Set(node->Name(), std::make_unique<TObjectHash<TqorXMLNode2>>());
  if (TqorXMLNode2* present = inner->Find(id)) {
    if (present == node) return;
    throw EqorXMLError("Found duplicate id " + id + " in name index " + node->Name());
  }
  inner->Set(id, node);
  node->indexed_ = true;
  node->indexName_ = node->Name();
  node->indexId_ = std::move(id);
}

void TqorXMLParser2::NodeFreed(TqorXMLNode2* node) {
  if (destroying_) return;
  if (node->indexed_ && !clearing_) {
    if (auto* inner = index_.Find(node->indexName_))
      if (inner->Find(node->indexId_) == node) inner->Delete(node->indexId_);
    node->indexed_ = false;
  }
  if (onNodeFreed_) onNodeFreed_(node);
}
