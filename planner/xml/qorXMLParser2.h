// An XML document: the document object is itself the root element. It reads and writes XML
// text, keeps the XML declaration's pseudo-attributes, and can keep an id index that finds an
// element by its name and "id" attribute in constant time.
//
// Written form (Xml get):
//   <?xml version="1.0" encoding="ISO-8859-1" ?>CR LF
//   <root a="v">CR LF                     one element per line, two blanks per level,
//     <child id="1"/>CR LF                empty elements in the "/>" form,
//     <t>text</t>  <c><![CDATA[x<y]]></c> text raw, or as CDATA when it holds "<" or ">",
//   </root>                               no line break after the last line.
// Attribute values are escaped (&amp; &lt; &gt; &apos; &quot;, and tab, line feed and carriage
// return as &#9; &#10; &#13;, which a reader keeps where it turns the characters themselves into
// blanks); text never is. A "]]>" in CDATA text is split over two sections ("]]]]><![CDATA[>"),
// which the reader joins again. Characters XML cannot hold (the control characters other than
// tab, line feed and carriage return, U+FFFE and U+FFFF) are left out of values and text, and
// counted for the caller; a byte that starts no well-formed UTF-8 sequence is written as its
// Latin-1 character.
//
// Files (SaveToFile / LoadFromFile): the written text is turned into bytes true to the
// encoding its declaration names: ISO-8859-1 (the default) as Latin-1, windows-1252 as code
// page 1252, UTF-8 unchanged, anything else as ASCII. In attribute values a character the
// encoding lacks is written as a numeric character reference ("&#321;"), which the reader
// decodes. Element text and CDATA are written unescaped and have no such form, so a document
// whose text holds a character its declared encoding lacks is written as UTF-8 under a
// declaration that says "UTF-8": everything written reads back unchanged. Reading honours the
// declared encoding (ISO-8859-1 / Latin-1, windows-1252 / cp1252 or UTF-8, any letter case);
// without one of them the bytes are taken as UTF-8 when they are valid UTF-8, else as Latin-1.
// A UTF-8 byte-order mark is skipped.
//
// Reading never raises: the outcome is in LastError (empty after success; otherwise the
// message, " near ", 50 characters of the source from 20 before the error position, CR LF,
// "Error position=" and the 1-based byte position, CR LF, and the partial tree as written).
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "planner/base/Hashes.h"
#include "planner/xml/qorXMLAttribute2.h"
#include "planner/xml/qorXMLNode2.h"
#include "planner/xml/qorXMLNodeList2.h"

// Raised for a duplicate id in the id index.
class EqorXMLError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TqorXPathParserList2;

class TqorXMLParser2 : public TqorXMLNode2 {
 public:
  // Elements nested deeper than this are refused by the reader.
  static constexpr int kMaxDepth = 1000;

  TqorXMLParser2();
  ~TqorXMLParser2() override;

  // Parses text into the tree, replacing the previous content. Never raises; see LastError.
  virtual void SetXml(std::string_view text);
  // The whole document as text.
  std::string Xml() const;
  // As Xml, with the declaration naming the given encoding instead of the document's own (its
  // own when empty). dropped, when given, receives the number of characters left out.
  std::string XmlDeclaring(std::string_view encoding, size_t* dropped = nullptr) const;
  // Reads the file's bytes, turns them into UTF-8 by their declared encoding and parses them.
  // Raises EqorFileError when the file cannot be read; parse errors go to LastError.
  virtual void LoadFromFile(const std::string& fileName);
  // Writes the document as bytes in the encoding of its declaration. Raises EqorFileError.
  // dropped, when given, receives the number of characters XML cannot hold that were left out.
  void SaveToFile(const std::string& fileName, size_t* dropped = nullptr) const;
  // The document as the bytes SaveToFile writes; dropped as for SaveToFile.
  std::string EncodedXml(size_t* dropped = nullptr) const;

  const std::string& LastError() const { return lastError_; }
  bool IndexIds() const { return indexIds_; }
  // Switches index maintenance; switching it on does not index nodes already in the tree.
  void SetIndexIds(bool on) { indexIds_ = on; }
  // The indexed element with that name and "id" text, or nullptr.
  TqorXMLNode2* GetNodeById(std::string_view elementName, std::string_view id) const;
  // The node holding the declaration's pseudo-attributes ("version", "encoding", ...). It is
  // not emptied between parses: its attributes accumulate and lookups see the first.
  TqorXMLNode2& Declaration() { return *declaration_; }
  const TqorXMLNode2& Declaration() const { return *declaration_; }

  // The compiled predicates of the path queries on this document; emptied by every parse.
  TqorXPathParserList2& PredicateCache() { return *predicateCache_; }

  // Called with each node of this document that is freed, except while the document itself is
  // destroyed (for example to drop references to deleted nodes).
  void SetOnNodeFreed(std::function<void(const TqorXMLNode2*)> callback) {
    onNodeFreed_ = std::move(callback);
  }

 private:
  friend class TqorXMLNode2;
  class Reader;

  // Enters a node and its descendants into the id index, in document order.
  void IndexSubtree(TqorXMLNode2* node);
  void IndexNode(TqorXMLNode2* node);
  void NodeFreed(TqorXMLNode2* node);

  std::unique_ptr<TqorXMLNode2> declaration_;
  std::unique_ptr<TqorXPathParserList2> predicateCache_;
  // The id index: element name to (id to node). The outer table owns the inner ones; no table
  // owns nodes.
  TObjectHash<TObjectHash<TqorXMLNode2>, true> index_;
  bool indexIds_ = false;
  bool parsing_ = false;
  bool clearing_ = false;
  bool destroying_ = false;
  std::string lastError_;
  std::function<void(const TqorXMLNode2*)> onNodeFreed_;
};
