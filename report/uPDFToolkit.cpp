#include "report/uPDFToolkit.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "planner/base/qorUtf8.h"

namespace {

struct TPaper {
  const char* Name;
  double Width;  // millimetres, as listed (portrait except LEDGER)
  double Height;
};

constexpr TPaper kPapers[] = {
    {"LETTER", 215.9, 279.4},
    {"LEGAL", 215.9, 355.6},
    {"STATEMENT", 139.7, 215.9},
    {"TABLOID", 279.4, 431.8},
    {"LEDGER", 431.8, 279.4},
    {"EXECUTIVE", 190.5, 254},
    {"FOLIO", 210, 330},
    {"A0", 841, 1189},
    {"A1", 594, 841},
    {"A2", 420, 594},
    {"A3", 297, 420},
    {"A4", 210, 297},
    {"A5", 148, 210},
    {"A6", 105, 148},
    {"A7", 74, 105},
    {"A8", 52, 74},
    {"A9", 37, 52},
    {"A10", 26, 37},
    {"B0", 1030, 1456},
    {"B1", 728, 1030},
    {"B2", 515, 728},
    {"B3", 364, 515},
    {"B4", 257, 364},
    {"B5", 182, 257},
    {"B6", 128, 182},
    {"B7", 91, 128},
    {"B8", 64, 91},
    {"B9", 45, 64},
    {"B10", 32, 45},
    {"ISOB0", 1000, 1414},
    {"ISOB1", 707, 1000},
    {"ISOB2", 500, 707},
    {"ISOB3", 353, 500},
    {"ISOB4", 250, 353},
    {"ISOB5", 176, 250},
    {"ISOB6", 125, 176},
    {"ISOB7", 88, 125},
    {"ISOB8", 62, 88},
    {"ISOB9", 44, 62},
    {"ISOB10", 31, 44},
    {"C0", 917, 1297},
    {"C1", 648, 917},
    {"C2", 458, 648},
    {"C3", 324, 458},
    {"C4", 229, 324},
    {"C5", 162, 229},
    {"C6", 114, 162},
    {"C7", 81, 114},
    {"DL", 110, 220},
};

double MillimetresToPoints(double mm) {
  return mm / 25.4 * 72;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

// Each toolkit numbers its handles apart from every other toolkit's.
std::atomic<int64_t> nextSerial{1};

constexpr int64_t kIndexLimit = int64_t{1} << 28;

// The length of the last UTF-8 character of a non-empty text.
size_t LastCharacterLength(std::string_view s) {
  size_t start = Utf8Boundary(s, s.size() - 1);
  return s.size() - start;
}

}  // namespace

TPDFToolkit::TPDFToolkit()
    : document_(std::make_unique<TPDFDocument>()),
      pages_(std::make_unique<TPDFPageTree>(*document_)),
      painter_(std::make_unique<TPDFPainter>(*pages_)),
      serial_(nextSerial.fetch_add(1) & 0x7FFFFFFF) {
  painter_->BeginCurrentPage();
}

TPDFToolkit::~TPDFToolkit() = default;

// ---- handles

TPDFHandle TPDFToolkit::MakeHandle(Kind kind, size_t index) const {
  if (static_cast<int64_t>(index) + 1 >= kIndexLimit) return 0;
  return serial_ << 32 | static_cast<int64_t>(kind) << 28 | static_cast<int64_t>(index + 1);
}

bool TPDFToolkit::HandleIndex(TPDFHandle handle, Kind kind, size_t& index) const {
  if (handle <= 0 || handle >> 32 != serial_ || (handle >> 28 & 0xF) != kind) return false;
  int64_t n = handle & (kIndexLimit - 1);
  if (n == 0) return false;
  index = static_cast<size_t>(n - 1);
  return true;
}

TPDFFont* TPDFToolkit::FontOf(TPDFHandle font) const {
  size_t index;
  if (!HandleIndex(font, kFontHandle, index) || index >= document_->FontCount()) return nullptr;
  return document_->Font(index);
}

// ---- units

double TPDFToolkit::LengthToPoints(double value) const {
  return value / document_->Scale();
}

double TPDFToolkit::XToPoints(double x) const {
  double points = x / document_->Scale();
  TPDFOrigin origin = document_->Origin();
  if (origin == TPDFOrigin::kTopRight || origin == TPDFOrigin::kBottomRight) {
    const TPDFPageTree& pages = *pages_;
    points = pages.Width(pages.Current()) - points;
  }
  return points;
}

double TPDFToolkit::YToPoints(double y) const {
  double points = y / document_->Scale();
  TPDFOrigin origin = document_->Origin();
  if (origin == TPDFOrigin::kTopLeft || origin == TPDFOrigin::kTopRight) {
    const TPDFPageTree& pages = *pages_;
    points = pages.Height(pages.Current()) - points;
  }
  return points;
}

double TPDFToolkit::PointsToLength(double points) const {
  return points * document_->Scale();
}

// ---- page set-up

int TPDFToolkit::SetPageSize(std::string_view paper) {
  std::string name;
  for (char c : paper) name += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  bool landscape = false;
  if (size_t at = name.find("LANDSCAPE"); at != std::string::npos) {
    name.erase(at, 9);
    landscape = true;
  }
  std::string_view key = Trim(name);
  for (const TPaper& p : kPapers) {
    if (key != p.Name) continue;
    double width = p.Width, height = p.Height;
    if (landscape && key != "LEDGER") std::swap(width, height);
    pages_->SetCurrentSize(MillimetresToPoints(width), MillimetresToPoints(height));
    return 1;
  }
  return 0;
}

int TPDFToolkit::SetOrigin(int origin) {
  document_->SetOrigin(origin >= 0 && origin <= 3 ? static_cast<TPDFOrigin>(origin)
                                                  : TPDFOrigin::kBottomLeft);
  return 1;
}

int TPDFToolkit::SetMeasurementUnits(int units) {
  document_->SetUnits(units >= 0 && units <= 2 ? static_cast<TPDFUnits>(units)
                                               : TPDFUnits::kPoints);
  return 1;
}

double TPDFToolkit::PageWidth() const {
  const TPDFPageTree& pages = *pages_;
  return PointsToLength(pages.Width(pages.Current()));
}

double TPDFToolkit::PageHeight() const {
  const TPDFPageTree& pages = *pages_;
  return PointsToLength(pages.Height(pages.Current()));
}

// ---- fonts and text

TPDFHandle TPDFToolkit::AddStandardFont(int index) {
  TPDFFont* font = document_->AddStandardFont(index);
  if (!font) return 0;
  TPDFHandle handle = MakeHandle(kFontHandle, document_->FontCount() - 1);
  SelectFont(handle);
  return handle;
}

TPDFHandle TPDFToolkit::StandardFont(int index) {
  for (size_t i = 0; i < document_->FontCount(); ++i) {
    if (document_->Font(i)->Index() != index) continue;
    TPDFHandle handle = MakeHandle(kFontHandle, i);
    SelectFont(handle);
    return handle;
  }
  return AddStandardFont(index);
}

int TPDFToolkit::SelectFont(TPDFHandle handle) {
  TPDFFont* font = FontOf(handle);
  if (!font) return 0;
  font_ = font;
  Painter().SetFont(font, 12);
  return 1;
}

void TPDFToolkit::EnsureFont() {
  if (document_->FontCount() == 0) AddStandardFont(4);
}

int TPDFToolkit::SetTextSize(double size) {
  EnsureFont();
  if (!font_) return 0;
  Painter().SetFont(font_, size > 0 ? size : 1);
  return 1;
}

int TPDFToolkit::SetTextAlign(int align) {
  Painter().SetTextAlign(align >= 1 && align <= 3 ? static_cast<TPDFTextAlign>(align)
                                                  : TPDFTextAlign::kLeft);
  return 1;
}

int TPDFToolkit::SetTextColor(double red, double green, double blue) {
  Painter().SetTextColor(TPDFColor::RGB(red, green, blue));
  return 1;
}

int TPDFToolkit::SetFillColor(double red, double green, double blue) {
  Painter().SetFillColor(TPDFColor::RGB(red, green, blue));
  return 1;
}

int TPDFToolkit::SetLineColor(double red, double green, double blue) {
  Painter().SetLineColor(TPDFColor::RGB(red, green, blue));
  return 1;
}

int TPDFToolkit::SetLineWidth(double width) {
  Painter().SetLineWidth(LengthToPoints(width));
  return 1;
}

double TPDFToolkit::GetTextWidth(std::string_view text) {
  TPDFFont* font = Painter().Font();
  if (!font) return 0;
  return PointsToLength(Painter().TextWidth(font->RemoveWidthless(text)));
}

// ---- drawing

int TPDFToolkit::DrawLine(double x1, double y1, double x2, double y2) {
  Painter().DrawLine(XToPoints(x1), YToPoints(y1), XToPoints(x2), YToPoints(y2));
  return 1;
}

int TPDFToolkit::DrawBox(double left, double top, double width, double height, int option) {
  bool fill = option == 1 || option == 2;
  bool stroke = option != 1;
  Painter().DrawRectangle(XToPoints(left), YToPoints(top), LengthToPoints(width),
                          LengthToPoints(height), fill, stroke);
  return 1;
}

std::vector<TPDFToolkit::TTextLine> TPDFToolkit::BreakLines(std::string_view text,
                                                            double width) const {
  const TPDFPainter& painter = Painter();
  const TPDFPainterState& state = painter.State();
  // The last character's spacing stands behind the line and does not count.
  double trailingSpacing = state.CharSpacing * state.HorizontalScale / 100.0;
  auto fits = [&](std::string_view s) {
    return painter.TextWidth(s) - (s.empty() ? 0 : trailingSpacing) <= width + 1e-9;
  };
  std::vector<TTextLine> lines;
  const TPDFFont& font = *painter.Font();
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view paragraph = text.substr(start, end - start);
    if (!paragraph.empty() && paragraph.back() == '\r') paragraph.remove_suffix(1);
    std::string clean = font.RemoveWidthless(paragraph);

    std::string line;
    size_t pos = 0;
    std::string carried;  // the cut-off tail of a word too wide for a line
    while (true) {
      std::string word;
      if (!carried.empty()) {
        word = std::move(carried);
        carried.clear();
      } else {
        while (pos < clean.size() && clean[pos] == ' ') ++pos;
        if (pos >= clean.size()) break;
        size_t wordEnd = clean.find(' ', pos);
        if (wordEnd == std::string::npos) wordEnd = clean.size();
        word = clean.substr(pos, wordEnd - pos);
        pos = wordEnd;
      }
      std::string candidate = line.empty() ? word : line + " " + word;
      if (fits(candidate)) {
        line = std::move(candidate);
        continue;
      }
      if (!line.empty()) {
        lines.push_back({std::move(line), true});
        line.clear();
        carried = std::move(word);
        continue;
      }
      // The word alone is wider than the box: its longest head that fits, at least one
      // character, gets the line.
      size_t headLength = word.size();
      while (true) {
        size_t shorter =
            headLength - LastCharacterLength(std::string_view(word).substr(0, headLength));
        if (shorter == 0) break;
        headLength = shorter;
        if (fits(std::string_view(word).substr(0, headLength))) break;
      }
      lines.push_back({word.substr(0, headLength), true});
      carried = word.substr(headLength);
    }
    lines.push_back({std::move(line), false});
    if (end == text.size()) break;
    start = end + 1;
  }
  return lines;
}

int TPDFToolkit::DrawTextBox(double left, double top, double width, double height,
                             std::string_view text, int option) {
  EnsureFont();
  TPDFPainter& painter = Painter();
  TPDFFont* font = painter.Font();
  if (!font || option < 0 || option > 5) return 0;
  double x = XToPoints(left), y = YToPoints(top);
  double boxWidth = LengthToPoints(width), boxHeight = LengthToPoints(height);
  if (boxWidth < painter.TextWidth("W")) return 0;

  std::vector<TTextLine> lines = BreakLines(text, boxWidth);
  if (option >= 3) {
    lines.resize(1);
    option -= 3;
  }
  double size = painter.FontSize();
  double lineHeight = font->LineHeight(size);
  while (!lines.empty() && static_cast<double>(lines.size()) * lineHeight > boxHeight + 1e-9)
    lines.pop_back();
  while (!lines.empty() && lines.back().Text.empty()) lines.pop_back();
  if (lines.empty()) return 1;

  double textHeight = static_cast<double>(lines.size()) * lineHeight;
  double above = font->HeightAboveBaseline(size);
  double baseline = option == 1   ? y - above
                    : option == 2 ? y - boxHeight + textHeight - above
                                  : y - (boxHeight - textHeight) / 2 - above;
  TPDFTextAlign align = painter.TextAlign();
  for (const TTextLine& line : lines) {
    if (align == TPDFTextAlign::kCenter) {
      painter.DrawText(x + boxWidth / 2, baseline, line.Text);
    } else if (align == TPDFTextAlign::kRight) {
      painter.DrawText(x + boxWidth, baseline, line.Text);
    } else if (align == TPDFTextAlign::kJustify && line.Wrapped) {
      // A wrapped line spreads its words over the box; the spacing is taken back afterwards.
      auto blanks = std::count(line.Text.begin(), line.Text.end(), ' ');
      TPDFPainterState saved = painter.State();
      double spare = boxWidth - painter.TextWidth(line.Text);
      if (blanks > 0 && spare > 0)
        painter.SetSpacing(saved.CharSpacing,
                           saved.WordSpacing + spare / static_cast<double>(blanks) /
                                                   (saved.HorizontalScale / 100.0));
      painter.DrawText(x, baseline, line.Text);
      if (blanks > 0 && spare > 0) painter.SetSpacing(saved.CharSpacing, saved.WordSpacing);
    } else {
      painter.DrawText(x, baseline, line.Text);
    }
    baseline -= lineHeight;
  }
  return 1;
}

// ---- images

TPDFHandle TPDFToolkit::AddImageFromFile(const std::string& fileName, int /*option*/) {
  try {
    TPDFImage* image = document_->AddImageFromFile(fileName);
    image_ = image;
    return MakeHandle(kImageHandle, document_->ImageCount() - 1);
  } catch (const std::exception&) {
    return 0;
  }
}

int TPDFToolkit::SelectImage(TPDFHandle handle) {
  size_t index;
  if (!HandleIndex(handle, kImageHandle, index) || index >= document_->ImageCount()) return 0;
  image_ = document_->Image(index);
  return 1;
}

int TPDFToolkit::DrawImage(double left, double top, double width, double height) {
  if (!image_) return 0;
  Painter().DrawImage(*image_, XToPoints(left), YToPoints(top), LengthToPoints(width),
                      LengthToPoints(height));
  return 1;
}

// ---- pages

void TPDFToolkit::SelectCurrentFontAgain() {
  if (font_) Painter().SetFont(font_, 12);
}

int TPDFToolkit::NewPage() {
  try {
    int page = pages_->Append();
    painter_->BeginCurrentPage();
    SelectCurrentFontAgain();
    return page;
  } catch (const std::exception&) {
    return 0;
  }
}

int TPDFToolkit::PageCount() const {
  return pages_->Count();
}

int TPDFToolkit::SelectPage(int page) {
  if (!pages_->Select(page)) return 0;
  painter_->BeginCurrentPage();
  SelectCurrentFontAgain();
  return 1;
}

const std::array<TPDFFont*, 4>& TPDFToolkit::HTMLFontsOnPage() {
  const std::array<TPDFFont*, 4>& fonts = document_->HTMLFonts();
  TPDFPageTree& pages = *pages_;
  for (TPDFFont* font : fonts)
    pages.AddResource(*pages.CurrentPage(), "Font", font->ResourceName(), *font->Object());
  return fonts;
}

// ---- inline HTML text

TPDFHTMLLayout::TResult TPDFToolkit::LayOutHTML(const TPDFHTMLLayout::TRequest& request) {
  const std::array<TPDFFont*, 4>& fonts = HTMLFontsOnPage();
  if (!htmlLayout_) return {};
  TPDFPainter& painter = Painter();
  // The layout starts from the painter's defaults; the caller's settings come back afterwards,
  // all to be written again, whatever the layout did or threw.
  struct TStateGuard {
    TPDFPainter& painter;
    TPDFPainterState saved;
    ~TStateGuard() { painter.RestoreState(saved); }
  } guard{painter, painter.State()};
  painter.ResetState();
  return htmlLayout_->Layout(painter, fonts, request);
}

double TPDFToolkit::GetHTMLTextHeight(double width, std::string_view html) {
  if (width <= 0) return 0;
  EnsureFont();
  std::string text = font_ ? font_->RemoveWidthless(html) : std::string(html);
  TPDFHTMLLayout::TRequest request;
  request.Html = text;
  request.Width = LengthToPoints(width);
  return PointsToLength(LayOutHTML(request).Height);
}

void TPDFToolkit::DrawHTMLText(double left, double top, double width, std::string_view html) {
  if (width <= 0) return;
  if (!font_) AddStandardFont(4);
  TPDFHTMLLayout::TRequest request;
  request.Html = html;
  request.Left = XToPoints(left);
  request.Top = YToPoints(top);
  request.Width = LengthToPoints(width);
  request.Draw = true;
  LayOutHTML(request);
}

std::string TPDFToolkit::DrawHTMLTextBox(double left, double top, double width, double height,
                                         std::string_view html) {
  if (width <= 0) return {};
  EnsureFont();
  TPDFHTMLLayout::TRequest request;
  request.Html = html;
  request.Left = XToPoints(left);
  request.Top = YToPoints(top);
  request.Width = LengthToPoints(width);
  request.HeightLimit = LengthToPoints(height);
  request.Draw = true;
  return LayOutHTML(request).Overflow;
}

// ---- outlines

TPDFHandle TPDFToolkit::NewOutline(TPDFHandle parent, std::string_view title, int page,
                                   double position) {
  TPDFDictionary* parentItem = nullptr;
  if (parent != 0) {
    size_t index;
    if (!HandleIndex(parent, kOutlineHandle, index) || index >= outlines_.size()) return 0;
    parentItem = outlines_[index];
  }
  TPDFPageTree& pages = *pages_;
  if (!pages.Page(page)) return 0;
  // The position is a y coordinate on the bookmark's own page.
  double y = position / document_->Scale();
  TPDFOrigin origin = document_->Origin();
  if (origin == TPDFOrigin::kTopLeft || origin == TPDFOrigin::kTopRight) y = pages.Height(page) - y;
  TPDFDictionary* item = document_->AddOutline(parentItem, title, pages.Page(page), y);
  if (!item) return 0;
  outlines_.push_back(item);
  return MakeHandle(kOutlineHandle, outlines_.size() - 1);
}

int TPDFToolkit::SetOutlineStyle(TPDFHandle outline, int italic, int bold) {
  size_t index;
  if (!HandleIndex(outline, kOutlineHandle, index) || index >= outlines_.size()) return 0;
  TPDFDocument::SetOutlineStyle(*outlines_[index], italic == 1, bold == 1);
  return 1;
}

// ---- output

int TPDFToolkit::CompressContent() {
  try {
    pages_->CompressContent();
    return 1;
  } catch (const std::exception&) {
    return 0;
  }
}

void TPDFToolkit::SetTitle(std::string_view title) {
  if (!title.empty()) document_->Info().SetString("Title", PDFTextStringBytes(title));
}

int TPDFToolkit::SaveToFile(const std::string& fileName) {
  try {
    document_->FinishFonts();
    document_->UpdateModDate();
  } catch (const std::exception&) {
    return 0;
  }
  return document_->SaveToFile(fileName) ? 1 : 0;
}

std::string TPDFToolkit::FileBytes() {
  document_->FinishFonts();
  document_->UpdateModDate();
  return document_->Write();
}
