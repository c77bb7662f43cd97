// Converts report markup (qorReportMarkup.h) into an RTF file through TqorRTFWriter: the head's
// style classes become the property lists of headings, paragraphs and cells, the body is walked
// once from top to bottom, one writer call per element:
//
//   h1..h4       heading in stylesheet entry 1..4 (class defaults to the element name)
//   p            paragraph (class defaults to "p"); a "title" stands bold on a line above
//   tr           table row; each child a cell up to its "right" edge (percent of text width),
//                with a bottom border, shaded 3 % when its class sets a background colour;
//                with header="yes" a header row, repeated on each page the table runs onto
//   img          picture from the image folder at 100 %, in a paragraph of its own
//   div, link    their children, in order
//
// Text is escaped for RTF; the entities &lt; &gt; &amp; and &nbsp; in the text of headings,
// paragraphs and cells are decoded (as the PDF side's inline renderer does), so that "<" and
// "&" written as entities read as typed in both formats. With markup="yes" the inline tags
// <i> <b> <p> <ul> <li> <br> (any letter case) of paragraphs and cells become RTF formatting
// and line breaks; an entity never forms a tag. Attribute texts (a paragraph's "title") are
// plain: the reader has decoded their entities already.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "report/qorRTFWriter.h"
#include "report/qorReportMarkup.h"

class TqorRTFReporter {
 public:
  TqorRTFReporter();

  // "dutch" gives Dutch page numbers in the footer, every other name English ones.
  void SetLanguage(std::string_view name);
  // Converts one report into the file (created anew; an existing one is overwritten). Pictures
  // are read from imageFolder + "src". Raises EqorFileError ("Cannot create file " + name)
  // when the file cannot be created, and when writing it fails.
  void RenderReport(std::string_view markup, const std::string& fileName,
                    const std::string& imageFolder);
  // As RenderReport, into a stream the caller owns.
  void RenderReport(std::string_view markup, std::ostream& stream, const std::string& imageFolder);

  // The markup of the last conversion, with the style classes of every conversion so far.
  const TqorReportMarkup& Markup() const { return markup_; }
  const std::string& Paper() const { return paper_; }

  // Plain text of a paragraph or cell with its inline tags turned into RTF (the text itself
  // escaped, its entities decoded).
  static TqorRTFText TranslateInlineTags(std::string_view text);
  // Text of a heading, paragraph or cell without markup: escaped, its entities decoded.
  static TqorRTFText InlineText(std::string_view text);

 private:
  void ProcessElement(const TqorXMLNode2& element);
  void WriteRow(const TqorXMLNode2& row);
  // The element's text, translated when its "markup" is "yes".
  static TqorRTFText BodyText(const TqorXMLNode2& element);

  TqorReportMarkup markup_;
  TqorRTFWriter writer_;
  std::string imageFolder_;
  std::string paper_ = "A4";
  std::string language_ = "dutch";
};
