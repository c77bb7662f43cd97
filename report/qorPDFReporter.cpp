#include "report/qorPDFReporter.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "planner/base/qorStrings.h"
#include "report/uPDFHTMLRender.h"

namespace {

constexpr double kMargin = 25;
constexpr double kRowHeight = 8;
constexpr double kRowPadding = 3;      // below the text of a row taller than kRowHeight
constexpr double kCellInset = 1;       // between a cell's box and its text, left and right
constexpr double kHeadingRoom = 30;    // kept free below a heading, so it does not end a page
constexpr double kCaptionHeight = 30;  // the most a paragraph before a table is its caption
constexpr double kPictureGap = 5;
constexpr double kContinuedGap = 5;  // below the continued heading on top of a page
constexpr double kEpsilon = 1e-9;
// <font size> codes of h1..h4: 22, 18, 14 and 10 points.
constexpr const char* kHeadingSizes[] = {"10", "8", "6", "4"};

// The standard fonts the reports use (indexes of the toolkit's table).
constexpr int kHelvetica = 4;
constexpr int kTimesBold = 9;
constexpr int kTimesBoldItalic = 11;

// The cell's "right" edge. Raises EqorPDFReportError when it is missing or not a whole number.
int RightEdge(const TqorXMLNode2& cell) {
  const std::string text = cell.GetAttributeStr("right");
  const int32_t value = StyleWholeNumber(text, 0);
  if (value != StyleWholeNumber(text, 1))
    throw EqorPDFReportError("'" + text + "' is not a valid integer value");
  return value;
}

std::string Today() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char date[32];
  std::snprintf(date, sizeof date, "%02d-%02d-%04d", local.tm_mday, local.tm_mon + 1,
                local.tm_year + 1900);
  return date;
}

// The document's title: the root's "title", else its "header" (the report's name shown on every
// page), else the text of the body's first h1 (its inline tags left out, its entities decoded).
std::string ReportTitle(const TqorReportMarkup& markup) {
  std::string title = markup.Root().GetAttributeStr("title");
  if (title.empty()) title = markup.Root().GetAttributeStr("header");
  if (!title.empty()) return title;
  std::vector<const TqorXMLNode2*> pending;
  if (const TqorXMLNode2* body = markup.Body()) pending.push_back(body);
  while (!pending.empty()) {
    const TqorXMLNode2* node = pending.back();
    pending.pop_back();
    if (TqorReportMarkup::HeadingLevel(*node) == 1) {
      for (const THTMLElement& e : THTMLParser::Split(node->Text()))
        for (const std::string& word : e.Words)
          if (!word.empty()) title += (title.empty() ? "" : " ") + word;
      return title;
    }
    if (node == markup.Body() || TqorReportMarkup::KindOf(*node) == TqorBlockKind::Container)
      for (int i = node->ChildCount() - 1; i >= 0; --i) pending.push_back(node->GetChild(i));
  }
  return title;
}

}  // namespace

int TqorPDFReporter::Number(const std::string& className, std::string_view property) const {
  return StyleWholeNumber(markup_.ClassProperty(className, property), 0);
}

void TqorPDFReporter::RenderReport(std::string_view markup, const std::string& fileName,
                                   const std::string& imageFolder) {
  Render(markup, imageFolder, [&](TPDFToolkit& pdf) {
    if (!pdf.SaveToFile(fileName)) throw EqorFileError("Cannot write file " + fileName);
  });
}

void TqorPDFReporter::RenderReport(std::string_view markup, std::ostream& stream,
                                   const std::string& imageFolder) {
  Render(markup, imageFolder, [&](TPDFToolkit& pdf) {
    const std::string bytes = pdf.FileBytes();
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!stream) throw EqorFileError("Cannot write the report");
  });
}

void TqorPDFReporter::Render(std::string_view markup, const std::string& imageFolder,
                             const std::function<void(TPDFToolkit&)>& save) {
  imageFolder_ = imageFolder;
  markup_.Load(markup);
  headerRow_ = nullptr;
  helvetica_ = 0;
  charactersWithoutFont_ = 0;
  continued_ = nullptr;
  chapter_ = 0;
  blocks_.clear();

  TPDFToolkit pdf;
  pdf_ = &pdf;
  struct TDetach {
    TPDFToolkit*& pdf;
    ~TDetach() { pdf = nullptr; }
  } detach{pdf_};

  pdf.SetHTMLLayout(std::make_unique<THTMLRenderer>());
  pdf.SetPageSize(markup_.Paper());
  pdf.SetOrigin(1);
  pdf.SetMeasurementUnits(1);
  pdf.SetTitle(ReportTitle(markup_));
  pdf.SetFontFallback(true);
  pageWidth_ = pdf.PageWidth();
  pageHeight_ = pdf.PageHeight();
  left_ = kMargin;
  top_ = kMargin;
  right_ = pageWidth_ - kMargin;
  bottom_ = pageHeight_ - kMargin;
  textWidth_ = right_ - left_;
  pdf.AddStandardFont(kTimesBold);
  pdf.AddStandardFont(kTimesBoldItalic);
  x_ = left_;
  y_ = top_;
  page_ = 1;
  pageUsed_ = false;
  headOnly_ = true;

  if (const TqorXMLNode2* body = markup_.Body())
    for (int i = 0; i < body->ChildCount(); ++i) CollectBlocks(*body->GetChild(i));
  for (block_ = 0; block_ < blocks_.size(); ++block_) LayOutBlock(*blocks_[block_]);
  DrawPageFurniture();
  pdf.CompressContent();
  charactersWithoutFont_ = pdf.Document().CharactersWithoutFont();
  save(pdf);
}

void TqorPDFReporter::NewPage() {
  page_ = pdf_->NewPage();
  x_ = left_;
  y_ = top_;
  pageUsed_ = false;
  headOnly_ = true;
  if (!continued_) return;
  const std::string html = HeadingHtml(
      *continued_, THTMLParser::EncodeEntities(continued_->GetAttributeStr("continued")));
  pdf_->DrawHTMLText(x_, y_, textWidth_, html);
  pageUsed_ = true;
  y_ += pdf_->GetHTMLTextHeight(textWidth_, html) + kContinuedGap +
        Number(TqorReportMarkup::ClassOf(*continued_, continued_->Name()), "margin-bottom");
}

void TqorPDFReporter::CollectBlocks(const TqorXMLNode2& element) {
  switch (TqorReportMarkup::KindOf(element)) {
    case TqorBlockKind::Container:
      for (int i = 0; i < element.ChildCount(); ++i) CollectBlocks(*element.GetChild(i));
      break;
    case TqorBlockKind::Ignored:
      break;
    case TqorBlockKind::Row:
      if (element.ChildCount() > 0) blocks_.push_back(&element);  // a row without cells is none
      break;
    default:
      blocks_.push_back(&element);
  }
}

void TqorPDFReporter::LayOutBlock(const TqorXMLNode2& block) {
  const TqorBlockKind kind = TqorReportMarkup::KindOf(block);
  if (kind != TqorBlockKind::Row) headerRow_ = nullptr;  // the table ends
  switch (kind) {
    case TqorBlockKind::Heading:
      LayOutHeading(block);
      break;
    case TqorBlockKind::Paragraph:
      LayOutParagraph(block);
      break;
    case TqorBlockKind::Row:
      LayOutRow(block);
      break;
    case TqorBlockKind::Image:
      LayOutPicture(block);
      break;
    default:
      break;
  }
}

double TqorPDFReporter::KeepHeight(size_t index, bool text, bool table) {
  double height = 0;
  for (size_t i = index; i < blocks_.size(); ++i) {
    const TqorXMLNode2& block = *blocks_[i];
    const TqorBlockKind kind = TqorReportMarkup::KindOf(block);
    if (kind == TqorBlockKind::Row) {
      const double row = RowHeight(Cells(block));
      if (block.GetAttributeStr("header") != "yes") return height + row;
      height += row;
      table = true;
      continue;
    }
    if (table || (kind != TqorBlockKind::Heading && kind != TqorBlockKind::Paragraph)) break;
    if (kind == TqorBlockKind::Heading) {
      const std::string className = TqorReportMarkup::ClassOf(block, block.Name());
      if (text || markup_.ClassProperty(className, "page-break-before") == "always") return 0;
      height += Number(className, "margin-top") +
                pdf_->GetHTMLTextHeight(textWidth_, HeadingHtml(block, block.Text())) +
                Number(className, "margin-bottom");
    } else {
      const std::string className = TqorReportMarkup::ClassOf(block, "p");
      const double paragraph =
          pdf_->GetHTMLTextHeight(ParagraphWidth(className), ParagraphHtml(block));
      const int marginBottom = Number(className, "margin-bottom");
      // Text after text, or a long text: what comes before it is no caption.
      if (paragraph > 0 && (text || paragraph + marginBottom > kCaptionHeight)) return 0;
      if (paragraph > 0) text = true;
      height += Number(className, "margin-top") + paragraph + marginBottom;
    }
  }
  // A table of header rows only is kept with them.
  return table ? height : 0;
}

std::string TqorPDFReporter::HeadingHtml(const TqorXMLNode2& heading,
                                         const std::string& text) const {
  return std::string("<p><b><font size=\"") +
         kHeadingSizes[TqorReportMarkup::HeadingLevel(heading) - 1] + "\">" + text +
         "</font></b></p>";
}

std::string TqorPDFReporter::ParagraphHtml(const TqorXMLNode2& paragraph) const {
  std::string text = paragraph.Text();
  text = ReplaceText(text, "<ul>", "<br>");
  text = ReplaceText(text, "</ul>", "");
  text = ReplaceText(text, "<li>", "- ");
  text = ReplaceText(text, "</li>", "<br>");
  // The title is plain text (an attribute, its entities already decoded): it reaches the page
  // as written.
  const std::string title = paragraph.GetAttributeStr("title");
  return title.empty() ? "<p>" + text + "</p>"
                       : "<p><b>" + THTMLParser::EncodeEntities(title) + "</b><br>" + text + "</p>";
}

double TqorPDFReporter::ParagraphWidth(const std::string& className) const {
  return textWidth_ - Number(className, "margin-left") - Number(className, "margin-right");
}

void TqorPDFReporter::LayOutHeading(const TqorXMLNode2& heading) {
  const int level = TqorReportMarkup::HeadingLevel(heading);
  // A heading of the continued one's level or a higher one ends its section.
  if (continued_ && level <= TqorReportMarkup::HeadingLevel(*continued_)) continued_ = nullptr;
  const std::string className = TqorReportMarkup::ClassOf(heading, heading.Name());
  // A page break asked for is made even on a page that is still empty.
  if (markup_.ClassProperty(className, "page-break-before") == "always") NewPage();
  y_ += Number(className, "margin-top");
  const std::string html = HeadingHtml(heading, heading.Text());
  const double height = pdf_->GetHTMLTextHeight(textWidth_, html);
  const int marginBottom = Number(className, "margin-bottom");
  const double keep = KeepHeight(block_ + 1, false, false);
  if (y_ + height + marginBottom + std::max(kHeadingRoom, keep) > bottom_ && MayBreak()) NewPage();
  pdf_->DrawHTMLText(x_, y_, textWidth_, html);
  pageUsed_ = true;

  const std::string outline = heading.GetAttributeStr("outline");
  if (!outline.empty() && level == 1) {
    chapter_ = pdf_->NewOutline(0, outline, page_, y_);
    pdf_->SetOutlineStyle(chapter_, 0, 1);
  } else if (!outline.empty() && level == 2) {
    pdf_->NewOutline(chapter_, outline, page_, y_);
  }
  y_ += height + marginBottom;
  if (!heading.GetAttributeStr("continued").empty()) continued_ = &heading;
}

void TqorPDFReporter::LayOutParagraph(const TqorXMLNode2& paragraph) {
  std::string html = ParagraphHtml(paragraph);
  const std::string className = TqorReportMarkup::ClassOf(paragraph, "p");
  y_ += Number(className, "margin-top");
  const double indent = Number(className, "margin-left");
  const double width = ParagraphWidth(className);
  const int marginBottom = Number(className, "margin-bottom");
  double height = pdf_->GetHTMLTextHeight(width, html);
  if (height <= 0) {  // a spacer: the next block starts a page when it does not fit
    y_ += marginBottom;
    return;
  }
  // A caption: short text with a table after it, which it stays with.
  const double keep =
      height + marginBottom <= kCaptionHeight ? KeepHeight(block_ + 1, true, false) : 0;
  if (y_ + height + marginBottom + keep > bottom_ && MayBreak()) NewPage();
  // Taller than the page has room for: what fits fills the page, the rest goes on overleaf for
  // as long as each page takes some of it.
  while (y_ + height > bottom_ + kEpsilon) {
    std::string rest = pdf_->DrawHTMLTextBox(x_ + indent, y_, width, bottom_ - y_, html);
    const double restHeight = rest.empty() ? 0 : pdf_->GetHTMLTextHeight(width, rest);
    if (restHeight <= 0) {  // all of it stands on this page
      pageUsed_ = true;
      if (keep == 0) headOnly_ = false;
      y_ = bottom_ + marginBottom;
      return;
    }
    if (restHeight >= height - kEpsilon) break;  // nothing fits a page: drawn whole below
    NewPage();
    html = std::move(rest);
    height = restHeight;
  }
  pdf_->DrawHTMLText(x_ + indent, y_, width, html);
  pageUsed_ = true;
  if (keep == 0) headOnly_ = false;
  y_ += height + marginBottom;
}

void TqorPDFReporter::LayOutPicture(const TqorXMLNode2& picture) {
  const std::string path = imageFolder_ + picture.GetAttributeStr("src");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return;
  const TPDFHandle image = pdf_->AddImageFromFile(path, 0);
  if (image == 0) return;
  pdf_->SelectImage(image);
  const int width = TqorReportMarkup::WholeNumberAttribute(picture, "mmwidth");
  const int height = TqorReportMarkup::WholeNumberAttribute(picture, "mmheight");
  if (y_ + height + kPictureGap > bottom_ && MayBreak()) NewPage();
  pdf_->DrawImage(x_, y_, width, height);
  pageUsed_ = true;
  headOnly_ = false;
  y_ += height + kPictureGap;
}

std::vector<TqorPDFReporter::TCell> TqorPDFReporter::Cells(const TqorXMLNode2& row) const {
  std::vector<TCell> cells;
  double previous = 0;
  for (int i = 0; i < row.ChildCount(); ++i) {
    const TqorXMLNode2& cell = *row.GetChild(i);
    TCell c;
    const double edge = RightEdge(cell) / 100.0 * textWidth_;
    c.Width = edge - previous;
    previous = edge;
    c.ClassName = TqorReportMarkup::ClassOf(cell, "td");
    const std::string align = markup_.ClassProperty(c.ClassName, "text-align");
    std::string text = cell.Text();
    if (markup_.ClassProperty(c.ClassName, "font-weight") == "bold") text = "<b>" + text + "</b>";
    c.Html = "<p align=\"" +
             std::string(align == "right"    ? "right"
                         : align == "center" ? "center"
                                             : "left") +
             "\">" + text + "</p>";
    cells.push_back(std::move(c));
  }
  return cells;
}

double TqorPDFReporter::RowHeight(const std::vector<TCell>& cells) {
  // Measured as drawn: the text at the width inside the box, in the cell's own weight.
  double tallest = 0;
  for (const TCell& c : cells)
    if (!c.Html.empty())
      tallest = std::max(tallest, pdf_->GetHTMLTextHeight(c.Width - 2 * kCellInset, c.Html));
  return tallest > kRowHeight ? tallest + kRowPadding : kRowHeight;
}

TPDFHandle TqorPDFReporter::RowFont() {
  // The inline HTML text's Helvetica, made first: the rows use that font object.
  if (!helvetica_) pdf_->HTMLFontsOnPage();
  helvetica_ = pdf_->StandardFont(kHelvetica);
  return helvetica_;
}

void TqorPDFReporter::NewPageForRow(bool headerRow) {
  NewPage();
  if (headerRow || !headerRow_) return;
  const std::vector<TCell> cells = Cells(*headerRow_);
  std::vector<std::string> rest;  // of a header row taller than a page: left out
  const double height = std::min(RowHeight(cells), bottom_ - y_);
  DrawRow(cells, height, RowFont(), &rest);
  y_ += height;
}

void TqorPDFReporter::LayOutRow(const TqorXMLNode2& row) {
  if (row.ChildCount() == 0) return;
  const bool headerRow = row.GetAttributeStr("header") == "yes";
  if (headerRow) headerRow_ = &row;
  const TPDFHandle helvetica = RowFont();
  std::vector<TCell> cells = Cells(row);
  double height = RowHeight(cells);
  // A header row stays with the table's first row.
  const double keep = headerRow ? KeepHeight(block_ + 1, true, true) : 0;
  if (y_ + height + keep > bottom_ + kEpsilon && MayBreak()) NewPageForRow(headerRow);
  if (!headerRow) headOnly_ = false;
  // A row taller than the room a page has for it fills the page, and its cells go on in a row
  // at the top of the next, for as long as each page takes some of their text.
  while (y_ + height > bottom_ + kEpsilon) {
    std::vector<std::string> rest;
    DrawRow(cells, bottom_ - y_, helvetica, &rest);
    y_ = bottom_;
    bool more = false, progress = false;
    for (size_t i = 0; i < cells.size(); ++i) {
      const double width = cells[i].Width - 2 * kCellInset;
      const double before = pdf_->GetHTMLTextHeight(width, cells[i].Html);
      const double after = rest[i].empty() ? 0 : pdf_->GetHTMLTextHeight(width, rest[i]);
      if (after < before - kEpsilon) progress = true;
      if (after > 0) more = true;
      cells[i].Html = after > 0 ? std::move(rest[i]) : std::string();
    }
    if (!more) return;
    NewPageForRow(headerRow);
    height = RowHeight(cells);
    if (!progress) break;  // nothing fits a box at all: the row is drawn whole
  }
  DrawRow(cells, height, helvetica, nullptr);
  y_ += height;
  x_ = left_;
}

void TqorPDFReporter::DrawRow(const std::vector<TCell>& cells, double height, TPDFHandle font,
                              std::vector<std::string>* rest) {
  pdf_->SelectFont(font);
  pdf_->SetTextSize(10);
  pdf_->SetTextAlign(0);
  x_ = left_;
  for (const TCell& cell : cells) {
    const std::string background = markup_.ClassProperty(cell.ClassName, "background-color");
    const std::string align = markup_.ClassProperty(cell.ClassName, "text-align");
    pdf_->SetLineWidth(0.1);
    pdf_->SetLineColor(0, 0, 0);
    if (background.empty()) {
      pdf_->SetFillColor(1, 1, 1);
    } else {
      const TqorColor c = HtmlColorToColor(background);
      pdf_->SetFillColor(c.Red / 255.0, c.Green / 255.0, c.Blue / 255.0);
    }
    pdf_->DrawBox(x_, y_, cell.Width, height, 2);
    pdf_->SetTextColor(0, 0, 0);
    pdf_->SetTextAlign(align == "right" ? 2 : align == "center" ? 1 : 0);
    std::string left;
    if (!cell.Html.empty())
      left = pdf_->DrawHTMLTextBox(x_ + kCellInset, y_, cell.Width - 2 * kCellInset, height,
                                   cell.Html);
    if (rest) rest->push_back(std::move(left));
    x_ += cell.Width;
  }
  x_ = left_;
  pageUsed_ = true;
}

void TqorPDFReporter::DrawPageFurniture() {
  const std::string date = Today();
  const int pages = pdf_->PageCount();
  const bool dutch = language_ == "dutch";
  for (int page = 1; page <= pages; ++page) {
    pdf_->SelectPage(page);
    pdf_->SetLineWidth(0.1);
    pdf_->SetLineColor(0, 0, 0);
    pdf_->DrawLine(left_, top_ - 2, right_, top_ - 2);
    pdf_->SetTextSize(6);
    pdf_->SetTextAlign(0);
    pdf_->DrawTextBox(left_, top_ - 8, textWidth_, 8, markup_.HeaderText(), 0);
    pdf_->SetTextSize(6);
    pdf_->SetTextAlign(0);
    pdf_->DrawLine(left_, bottom_ + 2, right_, bottom_ + 2);
    pdf_->DrawTextBox(left_, bottom_, textWidth_, 8, markup_.FooterText(), 0);
    pdf_->SetTextSize(6);
    pdf_->SetTextAlign(1);
    pdf_->DrawTextBox(left_, bottom_, textWidth_, 8, date, 0);
    pdf_->SetTextSize(6);
    pdf_->SetTextAlign(2);
    const std::string number = std::to_string(page), count = std::to_string(pages);
    pdf_->DrawTextBox(
        left_, bottom_, textWidth_, 8,
        dutch ? "pagina " + number + " van " + count : "page " + number + " of " + count, 0);
  }
}
