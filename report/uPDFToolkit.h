// The toolkit: one object that builds one PDF document in the caller's units (points,
// millimetres or inches) from any corner of the page. Operations report failure by their result
// (0, or the handle 0) and never throw for bad handles, refused text boxes or unknown papers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "report/uPDFDocument.h"
#include "report/uPDFHTMLLayout.h"
#include "report/uPDFPageTree.h"
#include "report/uPDFPainter.h"

// A font, image or outline of one toolkit; 0 means none. A handle is never valid in another
// toolkit, nor as a handle of another kind.
using TPDFHandle = int64_t;

class TPDFToolkit {
 public:
  // A document with one page of 612 by 792 points, page 1 selected, units points, origin
  // bottom-left, no font.
  TPDFToolkit();
  ~TPDFToolkit();
  TPDFToolkit(const TPDFToolkit&) = delete;
  TPDFToolkit& operator=(const TPDFToolkit&) = delete;

  // ---- page set-up
  // A paper of the table ("A4", "Letter Landscape", "isob5", ...) for the current page: 1, or 0
  // (nothing changes) for a name not in the table.
  int SetPageSize(std::string_view paper);
  // 0 bottom-left, 1 top-left, 2 top-right, 3 bottom-right; other values mean 0.
  int SetOrigin(int origin);
  // 0 points, 1 millimetres, 2 inches; other values mean 0.
  int SetMeasurementUnits(int units);
  double PageWidth() const;
  double PageHeight() const;

  // ---- fonts and text
  // Characters WinAnsi lacks: "?" (off, the setting of a new toolkit), or set in installed fonts
  // embedded in the document (on); see TPDFDocument::SetFontFallback.
  void SetFontFallback(bool on) { document_->SetFontFallback(on); }
  // Adds standard font 0..13 (a new font object every time) and selects it; 0 for other indexes.
  TPDFHandle AddStandardFont(int index);
  // Selects the document's first font of standard font 0..13, added when there is none: one font
  // object for all its uses. 0 for other indexes.
  TPDFHandle StandardFont(int index);
  // Selects a font of this toolkit at size 12 and puts it on the current page; 0 (nothing
  // changes) for anything else.
  int SelectFont(TPDFHandle font);
  // The selected font at the size (0 or less means 1); Helvetica is added first when the document
  // has no font. 0 without a selected font.
  int SetTextSize(double size);
  // 1 centre, 2 right, 3 justify, anything else left.
  int SetTextAlign(int align);
  int SetTextColor(double red, double green, double blue);
  int SetFillColor(double red, double green, double blue);
  int SetLineColor(double red, double green, double blue);
  int SetLineWidth(double width);
  // Width of UTF-8 text in the selected font and size, characters without width left out;
  // 0 without a font.
  double GetTextWidth(std::string_view text);

  // ---- drawing
  int DrawLine(double x1, double y1, double x2, double y2);
  // Option 0 stroke, 1 fill, 2 fill and stroke (other values mean 0).
  int DrawBox(double left, double top, double width, double height, int option);
  // Text broken into lines that fit the box; vertically option 0 (and 3) centre, 1 (and 4) top,
  // 2 (and 5) bottom, options 3 to 5 keeping only the first line; lines that do not fit the
  // height are dropped from the end. Lines break at line feeds ("\r\n" or "\n") and between
  // words; a word wider than the box is cut. Helvetica is added first when the document has no
  // font. 0, drawing nothing, for another option or a box narrower than a "W".
  int DrawTextBox(double left, double top, double width, double height, std::string_view text,
                  int option);

  // ---- images
  // Reads a JPEG file and selects the image; 0 when the file can't be read or decoded.
  TPDFHandle AddImageFromFile(const std::string& fileName, int option);
  int SelectImage(TPDFHandle image);
  // The selected image into the box; 0 without a selected image.
  int DrawImage(double left, double top, double width, double height);

  // ---- pages
  // Appends a page of the current page's size, selects it and the current font (size 12);
  // the new page's number, 0 on failure.
  int NewPage();
  int PageCount() const;
  // Selects the page and the current font again (size 12): 1, or 0 (nothing changes) for a
  // number that is not a page. The painter's settings start afresh on the page.
  int SelectPage(int page);

  // ---- outlines
  // A bookmark below parent (0: top level) pointing at the page at the vertical position; 0 for
  // a parent that is not an outline of this toolkit or a page that does not exist.
  TPDFHandle NewOutline(TPDFHandle parent, std::string_view title, int page, double position);
  // Italic and bold for the flag value 1; 0 for a value that is not an outline.
  int SetOutlineStyle(TPDFHandle outline, int italic, int bold);

  // ---- inline HTML text, laid out by the installed layout (until one is installed, these
  // measure 0 and draw nothing). Each puts the four HTML fonts on the current page and leaves
  // the painter's state as it found it; a width of 0 or less measures 0 and draws nothing.
  void SetHTMLLayout(std::unique_ptr<TPDFHTMLLayout> layout) { htmlLayout_ = std::move(layout); }
  // The height the text takes at the width, its characters without width in the selected font
  // left out. Helvetica is added first when the document has no font.
  double GetHTMLTextHeight(double width, std::string_view html);
  // Draws the text from (left, top) at the width, as high as it takes. Helvetica is added and
  // selected first when no font is selected.
  void DrawHTMLText(double left, double top, double width, std::string_view html);
  // Draws what fits into the box and returns the rest of the text (empty when all fitted).
  // Helvetica is added first when the document has no font.
  std::string DrawHTMLTextBox(double left, double top, double width, double height,
                              std::string_view html);

  // ---- output
  // The document's title in the information dictionary (UTF-8; nothing for the empty text).
  void SetTitle(std::string_view title);
  // Compresses the content of every page; the current page stays selected.
  int CompressContent();
  // Writes the embedded fonts, sets the modification date and writes the file: 1, or 0 when it
  // can't be written.
  int SaveToFile(const std::string& fileName);
  // Writes the embedded fonts, sets the modification date and returns the bytes SaveToFile
  // would write.
  std::string FileBytes();

  // ---- for the inline HTML layout and other work beneath the facade
  TPDFDocument& Document() const { return *document_; }
  TPDFPageTree& Pages() const { return *pages_; }
  TPDFPainter& Painter() const { return *painter_; }
  TPDFFont* SelectedFont() const { return font_; }
  // The font of a handle of this toolkit, nullptr for anything else.
  TPDFFont* FontOf(TPDFHandle font) const;
  // The four HTML fonts of the document (created on first use), put on the current page.
  const std::array<TPDFFont*, 4>& HTMLFontsOnPage();
  // Adds Helvetica and selects it when the document has no font yet.
  void EnsureFont();
  // User units to points on the current page, and back for lengths.
  double LengthToPoints(double value) const;
  double XToPoints(double x) const;
  double YToPoints(double y) const;
  double PointsToLength(double points) const;

 private:
  enum Kind { kFontHandle = 1, kImageHandle = 2, kOutlineHandle = 3 };
  TPDFHandle MakeHandle(Kind kind, size_t index) const;
  // The index a handle of this toolkit and kind stands for; false for anything else.
  bool HandleIndex(TPDFHandle handle, Kind kind, size_t& index) const;
  void SelectCurrentFontAgain();
  TPDFHTMLLayout::TResult LayOutHTML(const TPDFHTMLLayout::TRequest& request);

  struct TTextLine {
    std::string Text;
    bool Wrapped;  // broken because the next word did not fit (justified lines spread out)
  };
  // UTF-8 text broken into lines of at most width points in the painter's font.
  std::vector<TTextLine> BreakLines(std::string_view text, double width) const;

  // Made in this order, each on the one before it, and destroyed in reverse.
  std::unique_ptr<TPDFDocument> document_;
  std::unique_ptr<TPDFPageTree> pages_;
  std::unique_ptr<TPDFPainter> painter_;
  int64_t serial_;
  TPDFFont* font_ = nullptr;
  TPDFImage* image_ = nullptr;
  std::vector<TPDFDictionary*> outlines_;
  std::unique_ptr<TPDFHTMLLayout> htmlLayout_;
};
