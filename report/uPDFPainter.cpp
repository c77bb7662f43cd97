#include "report/uPDFPainter.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "planner/base/qorUtf8.h"
#include "report/uPDFDocument.h"
#include "report/uPDFFont.h"
#include "report/uPDFImage.h"
#include "report/uPDFPageTree.h"
#include "report/uPDFStructure.h"

namespace {

// Appends the number and one blank.
void Num(std::string& out, double value) {
  AppendPDFNumber(out, value);
  out += ' ';
}

std::string ColorOperator(const TPDFColor& color, bool stroke) {
  std::string out;
  int n = color.ColorSpace == TPDFColor::kCMYK ? 4 : 3;
  for (int i = 0; i < n; ++i) Num(out, std::clamp(color.C[i], 0.0, 1.0));
  if (n == 4)
    out += stroke ? 'K' : 'k';
  else
    out += stroke ? "RG" : "rg";
  return out;
}

bool EndsWith(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string TPDFColor::FillOperator() const {
  return ColorOperator(*this, false);
}
std::string TPDFColor::StrokeOperator() const {
  return ColorOperator(*this, true);
}

void TPDFPainter::Begin(TPDFDictionary* page, TPDFStream* stream) {
  page_ = page;
  stream_ = stream;
  ResetState();
}

void TPDFPainter::BeginCurrentPage() {
  Begin(pages_.CurrentPage(), pages_.CurrentStream());
}

std::string TPDFPainter::Content() {
  if (!stream_) return {};
  if (!stream_->Dict().Has("Filter")) return stream_->Data();
  std::string plain;
  if (!PDFFlateDecompress(stream_->Data(), plain, TPDFPageTree::kMaxInflatedContent)) return {};
  return plain;
}

void TPDFPainter::MakePlain() {
  if (!stream_) throw std::logic_error("PDF painter used before a page was selected");
  if (!stream_->Dict().Has("Filter")) return;
  std::string plain;
  if (!PDFFlateDecompress(stream_->Data(), plain, TPDFPageTree::kMaxInflatedContent))
    throw std::runtime_error("PDF page content could not be decompressed");
  stream_->SetData(std::move(plain));
  stream_->Dict().Remove("Filter");
  stream_->Dict().Remove("DecodeParms");
}

void TPDFPainter::Emit(std::string_view text) {
  MakePlain();
  stream_->AppendData(text);
}

// ---- state

void TPDFPainter::MarkAllChanged() {
  std::fill(std::begin(changed_), std::end(changed_), true);
}

void TPDFPainter::ResetState() {
  state_ = TPDFPainterState();
  MarkAllChanged();
}

void TPDFPainter::RestoreState(const TPDFPainterState& state) {
  state_ = state;
  MarkAllChanged();
}

void TPDFPainter::SetFont(TPDFFont* font, double size) {
  state_.Font = font;
  state_.FontSize = size > 0 ? size : 1;
  changed_[kFontItem] = true;
  if (font && page_) pages_.AddResource(*page_, "Font", font->ResourceName(), *font->Object());
}

void TPDFPainter::SetTextColor(const TPDFColor& color) {
  state_.TextColor = color;
  changed_[kTextColorItem] = true;
}
void TPDFPainter::SetFillColor(const TPDFColor& color) {
  state_.FillColor = color;
  changed_[kFillColorItem] = true;
}
void TPDFPainter::SetLineColor(const TPDFColor& color) {
  state_.LineColor = color;
  changed_[kLineColorItem] = true;
}
void TPDFPainter::SetTextBackgroundColor(const TPDFColor& color) {
  state_.TextBackgroundColor = color;
}
void TPDFPainter::SetLineWidth(double width) {
  state_.LineWidth = width;
  changed_[kLineWidthItem] = true;
}
void TPDFPainter::SetHorizontalScale(double percent) {
  state_.HorizontalScale = percent;
  changed_[kHorizontalScaleItem] = true;
}
void TPDFPainter::SetSpacing(double charSpacing, double wordSpacing) {
  state_.CharSpacing = charSpacing;
  state_.WordSpacing = wordSpacing;
  changed_[kSpacingItem] = true;
}
void TPDFPainter::SetTextRenderMode(int mode) {
  state_.RenderMode = std::clamp(mode, 0, 7);
  changed_[kRenderModeItem] = true;
}

std::string TPDFPainter::ItemText(Item item) const {
  std::string out;
  switch (item) {
    case kFontItem:
      AppendPDFName(out, state_.Font->ResourceName());
      out += ' ';
      Num(out, state_.FontSize);
      out += "Tf";
      break;
    case kTextColorItem:
      out = state_.TextColor.FillOperator();
      break;
    case kFillColorItem:
      out = state_.FillColor.FillOperator();
      break;
    case kLineColorItem:
      out = state_.LineColor.StrokeOperator();
      break;
    case kLineWidthItem:
      Num(out, state_.LineWidth);
      out += "w 0 J 0 j";
      break;
    case kDashItem:
      out = state_.Dash;
      break;
    case kHorizontalScaleItem:
      Num(out, state_.HorizontalScale);
      out += "Tz";
      break;
    case kSpacingItem:
      Num(out, state_.CharSpacing);
      out += "Tc ";
      Num(out, state_.WordSpacing);
      out += "Tw";
      break;
    case kRenderModeItem:
      Num(out, state_.RenderMode);
      out += "Tr";
      break;
    case kItemCount:
      break;
  }
  return out;
}

void TPDFPainter::WriteIfChanged(Item item) {
  if (!changed_[item]) return;
  if (item == kFontItem && !state_.Font) return;
  Emit(ItemText(item) + "\n");
  changed_[item] = false;
  // Text and fill colours are one colour of the page ("rg"): writing either overwrites the other.
  if (item == kTextColorItem) changed_[kFillColorItem] = true;
  if (item == kFillColorItem) changed_[kTextColorItem] = true;
}

// ---- measuring

double TPDFPainter::CodesWidth(std::string_view codes) const {
  if (!state_.Font) return 0;
  double width = state_.Font->CodesWidth(codes, state_.FontSize);
  // Word spacing applies to every blank (code 32), as the viewer applies it.
  auto blanks = std::count(codes.begin(), codes.end(), ' ');
  width += state_.CharSpacing * static_cast<double>(codes.size()) +
           state_.WordSpacing * static_cast<double>(blanks);
  return width * state_.HorizontalScale / 100.0;
}

double TPDFPainter::TextWidth(std::string_view text) const {
  if (!state_.Font) return 0;
  if (!state_.Font->NeedsFallback(text)) return CodesWidth(state_.Font->Encode(text));
  const TPDFTextMeasure m = state_.Font->Measure(text);
  const double width = m.Width * state_.FontSize / 1000.0 +
                       state_.CharSpacing * static_cast<double>(m.Characters) +
                       state_.WordSpacing * static_cast<double>(m.Blanks);
  return width * state_.HorizontalScale / 100.0;
}

// ---- drawing

void TPDFPainter::DrawLine(double x1, double y1, double x2, double y2) {
  WriteIfChanged(kLineColorItem);
  WriteIfChanged(kLineWidthItem);
  WriteIfChanged(kDashItem);
  std::string op;
  Num(op, x1);
  Num(op, y1);
  op += "m ";
  Num(op, x2);
  Num(op, y2);
  op += "l S\n";
  Emit(op);
}

void TPDFPainter::DrawRectangle(double x, double top, double width, double height, bool fill,
                                bool stroke) {
  if (!fill && !stroke) return;
  WriteIfChanged(kLineColorItem);
  WriteIfChanged(kFillColorItem);
  WriteIfChanged(kLineWidthItem);
  WriteIfChanged(kDashItem);
  std::string op;
  Num(op, x);
  Num(op, top - height);
  Num(op, width);
  Num(op, height);
  op += "re\n";
  op += fill && stroke ? "B\n" : fill ? "f\n" : "S\n";
  Emit(op);
  changed_[kTextColorItem] = true;
}

bool TPDFPainter::DrawText(double x, double y, std::string_view text,
                           const TPDFTextExtras& extras) {
  if (!state_.Font) return false;
  const bool mixed = state_.Font->NeedsFallback(text);
  std::string codes = mixed ? std::string() : state_.Font->Encode(text);
  double width = mixed ? TextWidth(text) : CodesWidth(codes);
  if (state_.Align == TPDFTextAlign::kCenter) x -= width / 2;
  if (state_.Align == TPDFTextAlign::kRight) x -= width;
  if (extras.Background) DrawTextBackground(x, y, width, extras.RoundedBackground);

  WriteIfChanged(kRenderModeItem);
  WriteIfChanged(kLineColorItem);
  WriteIfChanged(kLineWidthItem);
  WriteIfChanged(kDashItem);
  WriteIfChanged(kFontItem);
  WriteIfChanged(kTextColorItem);
  WriteIfChanged(kHorizontalScaleItem);
  WriteIfChanged(kSpacingItem);

  MakePlain();
  std::string op;
  if (EndsWith(stream_->Data(), "ET\n"))
    stream_->TruncateData(3);  // joins the text object just ended
  else
    op += "BT\n";
  op += "1 0 0 1 ";
  Num(op, x);
  Num(op, y);
  op += "Tm\n";
  if (mixed) {
    AppendMixedText(op, text);
    op += "ET\n";
  } else {
    AppendPDFLiteral(op, codes);
    op += " Tj\nET\n";
  }
  Emit(op);

  if (extras.Decoration != TPDFDecoration::kNone) DrawDecoration(x, y, width, extras.Decoration);
  return true;
}

void TPDFPainter::AppendMixedText(std::string& op, std::string_view text) {
  TPDFFont& font = *state_.Font;
  TPDFFontFallback& fallback = *font.Fallback();
  bool standardSelected = true;  // the Tf written last is the standard font's
  for (const TPDFTextSegment& segment : font.Segments(text)) {
    const TPDFShapedText* shaped =
        segment.Fallback ? fallback.Shape(segment.Text, font.IsBold()) : nullptr;
    if (!shaped) {
      if (!standardSelected) op += ItemText(kFontItem) + "\n";
      standardSelected = true;
      AppendPDFLiteral(op, font.Encode(segment.Text));
      op += " Tj\n";
      continue;
    }
    standardSelected = false;
    fallback.CountMissing(shaped->Missing);
    AppendShapedText(op, *shaped);
  }
  // The next text writes its font again when the fallback's font was the last one set.
  if (!standardSelected) changed_[kFontItem] = true;
}

void TPDFPainter::AppendShapedText(std::string& op, const TPDFShapedText& shaped) {
  TPDFFontFallback& fallback = *state_.Font->Fallback();
  const double size = state_.FontSize;
  // The spacing in thousandths of the size. The viewer adds the character spacing to every
  // glyph, but word spacing only to the one-byte code 32: it is added to blanks here.
  const double charSpacing = state_.CharSpacing * 1000.0 / size;
  const double wordSpacing = state_.WordSpacing * 1000.0 / size;
  for (const TPDFShapedText::TRun& run : shaped.Runs) {
    TPDFEmbeddedFont& embedded = fallback.EmbeddedFont(*run.Face);
    if (page_) pages_.AddResource(*page_, "Font", embedded.ResourceName(), *embedded.Object());
    if (!run.RightToLeft) {
      // The text in reading order, whatever order shaping put the glyphs in.
      std::string actual;
      for (size_t i = run.Start; i < run.End; ++i) AppendUtf8(actual, shaped.Text[i]);
      op += "/Span << /ActualText ";
      AppendPDFHex(op, PDFTextStringBytes(actual));
      op += " >> BDC\n";
    }
    AppendPDFName(op, embedded.ResourceName());
    op += ' ';
    Num(op, size);
    op += "Tf\n[";
    // Where each glyph's pen position is, in thousandths of the size from the run's start: the
    // shaped advances with the character spacing, and the word spacing on blanks.
    const size_t n = run.Glyphs.size();
    std::vector<double> x(n + 1, 0);
    for (size_t i = 0; i < n; ++i)
      x[i + 1] = x[i] + run.Glyphs[i].Advance + charSpacing +
                 (shaped.Text[run.Glyphs[i].Cluster] == U' ' ? wordSpacing : 0);
    // The order the glyphs are shown in: as they stand, except that a right-to-left run shows
    // its words (and the blanks between them) from the right, so that text extractors reading
    // in drawing order meet the words in reading order.
    std::vector<size_t> order;
    order.reserve(n);
    if (!run.RightToLeft) {
      for (size_t i = 0; i < n; ++i) order.push_back(i);
    } else {
      for (size_t end = n; end > 0;) {
        size_t start = end - 1;
        const bool blank = shaped.Text[run.Glyphs[start].Cluster] == U' ';
        while (start > 0 && !blank && shaped.Text[run.Glyphs[start - 1].Cluster] != U' ') --start;
        for (size_t i = start; i < end; ++i) order.push_back(i);
        end = start;
      }
    }
    // Each glyph moves the text position by its width in the font and the character spacing;
    // the array's numbers move it to where the next glyph stands (a number m moves by
    // -m / 1000 of the size).
    bool inHex = false;
    double pen = 0;
    auto moveTo = [&](double target) {
      const double m = pen - target;
      pen = target;
      if (std::fabs(m) < 0.001) return;
      if (inHex) op += '>';
      inHex = false;
      op += ' ';
      AppendPDFNumber(op, m);
      op += ' ';
    };
    auto closeArray = [&] {
      if (inHex) op += '>';
      inHex = false;
      op += "] TJ\n";
    };
    for (size_t i : order) {
      const TPDFShapedGlyph& g = run.Glyphs[i];
      embedded.Use(g.Id, run.Unicode[i], run.RightToLeft);
      moveTo(x[i] + g.XOffset);
      const bool raised = std::fabs(g.YOffset) >= 0.001;
      if (raised) {
        closeArray();
        Num(op, g.YOffset * size / 1000.0);
        op += "Ts\n[";
      }
      if (!inHex) op += '<';
      inHex = true;
      static constexpr char kHex[] = "0123456789ABCDEF";
      for (int shift = 12; shift >= 0; shift -= 4) op += kHex[(g.Id >> shift) & 15];
      pen += run.Face->GlyphWidth(g.Id) + charSpacing;
      if (raised) {
        closeArray();
        op += "0 Ts\n[";
      }
    }
    moveTo(x[n]);
    closeArray();
    if (!run.RightToLeft) op += "EMC\n";
  }
}

void TPDFPainter::DrawTextBackground(double x, double y, double width, bool rounded) {
  const TPDFFont& font = *state_.Font;
  double height = font.LineHeight(state_.FontSize);
  double top = y + font.HeightAboveBaseline(state_.FontSize);
  double left = x - 0.5, right = x + width + 0.5, bottom = top - height;
  std::string op = "q\n" + state_.TextBackgroundColor.FillOperator() + "\n";
  if (!rounded) {
    Num(op, left);
    Num(op, bottom);
    Num(op, right - left);
    Num(op, height);
    op += "re\n";
  } else {
    // Quarter circles drawn as Bezier curves (control points at 0.5523 of the radius).
    double r = std::min({height / 4, (right - left) / 2, height / 2});
    double k = r * (1 - 0.5523);
    auto point = [&](double px, double py) {
      Num(op, px);
      Num(op, py);
    };
    point(left + r, bottom);
    op += "m\n";
    point(right - r, bottom);
    op += "l\n";
    point(right - k, bottom);
    point(right, bottom + k);
    point(right, bottom + r);
    op += "c\n";
    point(right, top - r);
    op += "l\n";
    point(right, top - k);
    point(right - k, top);
    point(right - r, top);
    op += "c\n";
    point(left + r, top);
    op += "l\n";
    point(left + k, top);
    point(left, top - k);
    point(left, top - r);
    op += "c\n";
    point(left, bottom + r);
    op += "l\n";
    point(left, bottom + k);
    point(left + k, bottom);
    point(left + r, bottom);
    op += "c\nh\n";
  }
  op += "f\nQ\n";
  Emit(op);
}

void TPDFPainter::DrawDecoration(double x, double y, double width, TPDFDecoration decoration) {
  double size = state_.FontSize;
  std::string op = "q\n" + state_.TextColor.StrokeOperator() + "\n";
  Num(op, size * 0.0625);
  op += "w 0 J 0 j\n[] 0 d\n";
  auto line = [&](double ly) {
    Num(op, x);
    Num(op, ly);
    op += "m ";
    Num(op, x + width);
    Num(op, ly);
    op += "l S\n";
  };
  switch (decoration) {
    case TPDFDecoration::kUnderline:
      line(y - size * 0.125);
      break;
    case TPDFDecoration::kDoubleUnderline:
      line(y - size * 0.125);
      line(y - size * 0.25);
      break;
    case TPDFDecoration::kStrikeOut:
      line(y + size * 0.3);
      break;
    case TPDFDecoration::kOverline:
      line(y + state_.Font->Ascent(size) + size * 0.125);
      break;
    case TPDFDecoration::kNone:
      break;
  }
  op += "Q\n";
  Emit(op);
}

void TPDFPainter::DrawImage(const TPDFImage& image, double x, double top, double width,
                            double height) {
  if (page_) pages_.AddResource(*page_, "XObject", image.ResourceName(), *image.Object());
  std::string op = "q\n";
  Num(op, width);
  op += "0 0 ";
  Num(op, height);
  Num(op, x);
  Num(op, top - height);
  op += "cm\n";
  AppendPDFName(op, image.ResourceName());
  op += " Do\nQ\n";
  Emit(op);
}
