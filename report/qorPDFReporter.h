// Converts report markup (qorReportMarkup.h) into a PDF file through the toolkit, laying the body
// out from top to bottom on pages with margins of 25 mm, in millimetres from the top-left corner:
//
//   17 mm  header text                                        (the root's "header")
//   23 mm  ------------------------------------------------- rule
//   25 mm  h1..h4   bold headings of 22, 18, 14 and 10 points; an "outline" on h1 makes a
//                   bookmark, on h2 a bookmark below the last h1's
//          p        paragraph of inline HTML ("title" bold on a line above)
//          tr       a row of outlined boxes, each cell up to its "right" edge (percent of the
//                   text width), filled in its class's background colour; at least 8 mm high,
//                   else its text's height + 3 mm; the last header row ("header"="yes") is
//                   repeated on top of every page a later row starts
//          img      JPEG picture of "mmwidth" by "mmheight" from the image folder
//          div, link  their children, in order
//   h-25   ------------------------------------------------- rule at h - 23 mm
//          footer text           dd-mm-yyyy          page n of m   (6 points, in the 8 mm below)
//
// Style classes of the head give headings and paragraphs their margins ("margin-top",
// "margin-bottom", "margin-left", "margin-right" in millimetres) and page breaks
// ("page-break-before:always"), and cells their "background-color", "text-align" and
// "font-weight". A block that does not fit the rest of a page starts the next one; a paragraph
// or row taller than a whole page fills it and goes on at the top of the next.
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

 private:
  struct TCell {
    double Width = 0;  // millimetres
    std::string ClassName;
    std::string Html;  // the cell's inline HTML as it is drawn
  };

  // Lays the report out and hands the finished document to save.
  void Render(std::string_view markup, const std::string& imageFolder,
              const std::function<void(TPDFToolkit&)>& save);
  void LayOutElement(const TqorXMLNode2& element);
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
  void NewPage();
  // A new page, headed by the remembered header row unless the row being laid out is one.
  void NewPageForRow(bool headerRow);
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
  const TqorXMLNode2* headerRow_ = nullptr;
  TPDFHandle chapter_ = 0;  // the bookmark of the last h1 with an outline
};
