// Converts report markup (qorReportMarkup.h) into a PDF file through the toolkit, laying the body
// out from top to bottom on pages with margins of 25 mm, in millimetres from the top-left corner:
//
//   17 mm  header text                                        (the root's "header")
//   23 mm  ------------------------------------------------- rule
//   25 mm  h1..h4   bold headings of 22, 18, 14 and 10 points; an "outline" on h1 makes a
//                   bookmark, on h2 a bookmark below the last h1's; a "continued" text is
//                   drawn as the heading, 5 mm above what follows, on top of every later page
//                   until the next heading of its level or a higher one
//          p        paragraph of inline HTML ("title" bold on a line above)
//          tr       a row of outlined boxes, each cell up to its "right" edge (percent of the
//                   text width), filled in its class's background colour; at least 8 mm high,
//                   else its text's height + 3 mm. A run of rows is a table: its last header
//                   row ("header"="yes") is repeated on top of every page a later row of the
//                   table starts, below the "continued" heading
//          img      JPEG picture of "mmwidth" by "mmheight" from the image folder
//          div, link  their children, in order
//   h-25   ------------------------------------------------- rule at h - 23 mm
//          footer text           dd-mm-yyyy          page n of m   (6 points, in the 8 mm below)
//
// Style classes of the head give headings and paragraphs their margins ("margin-top",
// "margin-bottom", "margin-left", "margin-right" in millimetres) and page breaks
// ("page-break-before:always"), and cells their "background-color", "text-align" and
// "font-weight". A block that does not fit the rest of a page starts the next one; a paragraph
// or row taller than a whole page fills it and goes on at the top of the next. A page never ends
// with a caption or a header row: a caption (a heading or a paragraph of up to 30 mm before a
// table, with only empty paragraphs, and headings before the paragraph, between) or a header
// row starts the next page when it does not fit there with the table's header rows and first
// row. A block that does not fit below what stands on a page only for the blocks after it
// (headings, captions, header rows) stays below them.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "planner/base/qorStrings.h"
#include "report/qorReportMarkup.h"
#include "report/uPDFToolkit.h"

// Raised when a cell's "right" edge is missing or not a whole number.
class EqorPDFReportError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

class TqorPDFReporter {
 public:
  TqorPDFReporter() = default;

  // "dutch" (the setting until this is called) gives "pagina n van m" in the footer, every other
  // name "page n of m".
  void SetLanguage(std::string_view name) { language_ = name; }
  // Converts one report into the file (created anew; an existing one is overwritten). Pictures
  // are read from imageFolder + "src"; missing or unreadable ones are left out. Raises
  // EqorPDFReportError for a cell without a whole-number "right" (nothing is written) and
  // EqorFileError ("Cannot write file " + name) when the file cannot be written.
  void RenderReport(std::string_view markup, const std::string& fileName,
                    const std::string& imageFolder);
  // As RenderReport, into a stream the caller owns (EqorFileError when writing it fails).
  void RenderReport(std::string_view markup, std::ostream& stream, const std::string& imageFolder);

  // The markup of the last conversion, with the style classes of every conversion so far.
  const TqorReportMarkup& Markup() const { return markup_; }
  // The characters of the last conversion that no installed font has: each is drawn as the
  // missing-glyph box, and counted each time it is drawn.
  size_t CharactersWithoutFont() const { return charactersWithoutFont_; }

 private:
  struct TCell {
    double Width = 0;  // millimetres
    std::string ClassName;
    std::string Html;  // the cell's inline HTML as it is drawn
  };

  // Lays the report out and hands the finished document to save.
  void Render(std::string_view markup, const std::string& imageFolder,
              const std::function<void(TPDFToolkit&)>& save);
  // The blocks of an element, containers opened, in order into blocks_.
  void CollectBlocks(const TqorXMLNode2& element);
  void LayOutBlock(const TqorXMLNode2& block);
  // The height that must stand below the caption or header row before index for it not to end
  // a page: the spacers, headings and caption text, the header rows and the first row of the
  // table that follows (its header rows alone when no row follows them); 0 when no table
  // follows. text: a caption's text came before (another text or a heading ends the search);
  // table: a header row came before (only rows may follow).
  double KeepHeight(size_t index, bool text, bool table);
  std::string HeadingHtml(const TqorXMLNode2& heading, const std::string& text) const;
  std::string ParagraphHtml(const TqorXMLNode2& paragraph) const;
  double ParagraphWidth(const std::string& className) const;
  void LayOutHeading(const TqorXMLNode2& heading);
  void LayOutParagraph(const TqorXMLNode2& paragraph);
  void LayOutPicture(const TqorXMLNode2& picture);
  void LayOutRow(const TqorXMLNode2& row);
  std::vector<TCell> Cells(const TqorXMLNode2& row) const;
  // 8 mm, or the tallest cell's text + 3 mm when that is higher.
  double RowHeight(const std::vector<TCell>& cells);
  // Draws the cells' boxes and text at the current position; with rest, collects what did not
  // fit each box.
  void DrawRow(const std::vector<TCell>& cells, double height, TPDFHandle font,
               std::vector<std::string>* rest);
  // A new page, headed by the "continued" heading that is in force.
  void NewPage();
  // Helvetica for the rows, selected: the inline HTML text's font object.
  TPDFHandle RowFont();
  // A new page, headed as NewPage and by the table's header row unless the row being laid out
  // is one.
  void NewPageForRow(bool headerRow);
  // A page that may end before the block being laid out: more than its head stands on it.
  bool MayBreak() const { return pageUsed_ && !headOnly_; }
  // A whole-number property of a class; 0 when it is not one.
  int Number(const std::string& className, std::string_view property) const;
  void DrawPageFurniture();

  TqorReportMarkup markup_;
  std::string language_ = "dutch";
  std::string imageFolder_;

  // The running conversion.
  TPDFToolkit* pdf_ = nullptr;
  double pageWidth_ = 0, pageHeight_ = 0;
  double left_ = 25, top_ = 25, right_ = 0, bottom_ = 0, textWidth_ = 0;
  double x_ = 0, y_ = 0;
  int page_ = 1;
  bool pageUsed_ = false;  // something stands in the body of the current page
  // Only headings, captions, header rows and the continued heading stand on the page.
  bool headOnly_ = true;
  std::vector<const TqorXMLNode2*> blocks_;
  size_t block_ = 0;                         // the one being laid out
  const TqorXMLNode2* headerRow_ = nullptr;  // of the table being laid out
  const TqorXMLNode2* continued_ = nullptr;  // the heading whose "continued" text is in force
  TPDFHandle chapter_ = 0;                   // the bookmark of the last h1 with an outline
  TPDFHandle helvetica_ = 0;                 // the rows' font
  size_t charactersWithoutFont_ = 0;
};
