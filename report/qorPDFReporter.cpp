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
constexpr double kRowPadding = 3;    // below the text of a row taller than kRowHeight
constexpr double kCellInset = 1;     // between a cell's box and its text, left and right
constexpr double kHeadingRoom = 30;  // kept free below a heading, so it does not end a page
constexpr double kPictureGap = 5;
constexpr double kEpsilon = 1e-9;
// <font size> codes of h1..h4: 22, 18, 14 and 10 points.
constexpr const char* kHeadingSizes[] = {"10", "8", "6", "4"};

// The standard fonts the reports use (indexes of the toolkit's table).
constexpr int kHelvetica = 4;
constexpr int kHelveticaBold = 5;
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
  chapter_ = 0;

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

  if (const TqorXMLNode2* body = markup_.Body())
    for (int i = 0; i < body->ChildCount(); ++i) LayOutElement(*body->GetChild(i));
  DrawPageFurniture();
  pdf.CompressContent();
  save(pdf);
}

void TqorPDFReporter::NewPage() {
  page_ = pdf_->NewPage();
  x_ = left_;
  y_ = top_;
  pageUsed_ = false;
}

void TqorPDFReporter::LayOutElement(const TqorXMLNode2& element) {
  switch (TqorReportMarkup::KindOf(element)) {
    case TqorBlockKind::Heading:
      LayOutHeading(element);
      break;
    case TqorBlockKind::Paragraph:
      LayOutParagraph(element);
      break;
    case TqorBlockKind::Row:
      LayOutRow(element);
      break;
    case TqorBlockKind::Image:
      LayOutPicture(element);
      break;
    case TqorBlockKind::Container:
      for (int i = 0; i < element.ChildCount(); ++i) LayOutElement(*element.GetChild(i));
      break;
    case TqorBlockKind::Ignored:
      break;
  }
}

void TqorPDFReporter::LayOutHeading(const TqorXMLNode2& heading) {
  const int level = TqorReportMarkup::HeadingLevel(heading);
  const std::string className = TqorReportMarkup::ClassOf(heading, heading.Name());
  // A page break asked for is made even on a page that is still empty.
  if (markup_.ClassProperty(className, "page-break-before") == "always") NewPage();
  y_ += Number(className, "margin-top");
  const std::string html = std::string("<p><b><font size=\"") + kHeadingSizes[level - 1] + "\">" +
                           heading.Text() + "</font></b></p>";
  const double height = pdf_->GetHTMLTextHeight(textWidth_, html);
  const int marginBottom = Number(className, "margin-bottom");
  if (y_ + height + marginBottom + kHeadingRoom > bottom_ && pageUsed_) NewPage();
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
}

void TqorPDFReporter::LayOutParagraph(const TqorXMLNode2& paragraph) {
  std::string text = paragraph.Text();
  text = ReplaceText(text, "<ul>", "<br>");
  text = ReplaceText(text, "</ul>", "");
  text = ReplaceText(text, "<li>", "- ");
  text = ReplaceText(text, "</li>", "<br>");
  // The title is plain text (an attribute, its entities already decoded): it reaches the page
  // as written.
  const std::string title = paragraph.GetAttributeStr("title");
  std::string html =
      title.empty() ? "<p>" + text + "</p>"
                    : "<p><b>" + THTMLParser::EncodeEntities(title) + "</b><br>" + text + "</p>";
  const std::string className = TqorReportMarkup::ClassOf(paragraph, "p");
  y_ += Number(className, "margin-top");
  const double indent = Number(className, "margin-left");
  const double width = textWidth_ - indent - Number(className, "margin-right");
  const int marginBottom = Number(className, "margin-bottom");
  double height = pdf_->GetHTMLTextHeight(width, html);
  if (y_ + height + marginBottom > bottom_ && pageUsed_) NewPage();
  // Taller than the page has room for: what fits fills the page, the rest goes on overleaf for
  // as long as each page takes some of it.
  while (y_ + height > bottom_ + kEpsilon) {
    std::string rest = pdf_->DrawHTMLTextBox(x_ + indent, y_, width, bottom_ - y_, html);
    const double restHeight = rest.empty() ? 0 : pdf_->GetHTMLTextHeight(width, rest);
    if (restHeight <= 0) {  // all of it stands on this page
      pageUsed_ = true;
      y_ = bottom_ + marginBottom;
      return;
    }
    if (restHeight >= height - kEpsilon) break;  // nothing fits a page: drawn whole below
    NewPage();
    html = std::move(rest);
    height = restHeight;
  }
  pdf_->DrawHTMLText(x_ + indent, y_, width, html);
  if (height > 0) pageUsed_ = true;
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
  if (y_ + height + kPictureGap > bottom_ && pageUsed_) NewPage();
  pdf_->DrawImage(x_, y_, width, height);
  pageUsed_ = true;
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

void TqorPDFReporter::NewPageForRow(bool headerRow) {
  NewPage();
  if (!headerRow && headerRow_) LayOutRow(*headerRow_);
}

void TqorPDFReporter::LayOutRow(const TqorXMLNode2& row) {
  if (row.ChildCount() == 0) return;
  const bool headerRow = row.GetAttributeStr("header") == "yes";
  if (headerRow) headerRow_ = &row;
  pdf_->AddStandardFont(kHelveticaBold);
  const TPDFHandle helvetica = pdf_->AddStandardFont(kHelvetica);
  std::vector<TCell> cells = Cells(row);
  double height = RowHeight(cells);
  if (y_ + height > bottom_ + kEpsilon && pageUsed_) NewPageForRow(headerRow);
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
