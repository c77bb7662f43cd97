// The painter: turns drawing calls into content-stream operators of the current page, in points
// with y growing upwards. Each operator stands on a line of its own (a line is "x1 y1 m x2 y2 l
// S"); numbers are written with at most 4 decimals and followed by one blank:
//   state     /RereF1a2b3c4d 12 Tf   0 0 0 rg   0 0 0 RG   1 w 0 J 0 j   [] 0 d   100 Tz
//             0 Tc 0 Tw   0 Tr
//   line      x1 y1 m x2 y2 l S
//   rectangle x y w h re / f | S | B
//   text      BT / 1 0 0 1 x y Tm / (escaped WinAnsi bytes) Tj / ET
//             (words WinAnsi lacks: /Span << /ActualText <FEFF...> >> BDC / /RereF.. 10 Tf /
//             [<gid><gid> -12.5 <gid>] TJ (a raised mark between "dy Ts" and "0 Ts") / EMC,
//             and the standard font's Tf again before standard text follows)
//             (a text drawn right after another, with no state written between them, joins the
//             other's text object: the "ET" before it is taken back)
//   image     q / w 0 0 h x y cm / /RereIm1a2b3c4d Do / Q
//   text background and decorations: q ... Q blocks of their own, which leave the state as it was
// State items are written only when an operation needs them and they changed since they were
// last written; the content goes into the page's stream as it is drawn.
#pragma once

#include <string>
#include <string_view>

class TPDFDictionary;
class TPDFFont;
class TPDFImage;
class TPDFPageTree;
class TPDFStream;
struct TPDFShapedText;

// A colour in DeviceRGB or DeviceCMYK, components 0 to 1 (clamped when written).
struct TPDFColor {
  enum Space { kRGB, kCMYK };
  Space ColorSpace = kRGB;
  double C[4] = {0, 0, 0, 0};

  static TPDFColor RGB(double r, double g, double b) { return {kRGB, {r, g, b, 0}}; }
  static TPDFColor CMYK(double c, double m, double y, double k) { return {kCMYK, {c, m, y, k}}; }
  // "r g b rg" / "c m y k k"
  std::string FillOperator() const;
  // "r g b RG" / "c m y k K"
  std::string StrokeOperator() const;
  bool operator==(const TPDFColor&) const = default;
};

enum class TPDFTextAlign { kLeft = 0, kCenter = 1, kRight = 2, kJustify = 3 };

enum class TPDFDecoration {
  kNone = 0,
  kUnderline = 1,
  kDoubleUnderline = 2,
  kStrikeOut = 3,
  kOverline = 4
};

// What is drawn with a text besides its letters: a background in the text background colour
// (optionally with rounded corners) and a decoration in the text colour.
struct TPDFTextExtras {
  bool Background = false;
  bool RoundedBackground = false;
  TPDFDecoration Decoration = TPDFDecoration::kNone;
};

// Everything the painter keeps between operations except the content: saved and restored around
// work that must leave the caller's settings as they were.
struct TPDFPainterState {
  TPDFFont* Font = nullptr;
  double FontSize = 12;
  TPDFTextAlign Align = TPDFTextAlign::kLeft;
  TPDFColor TextColor = TPDFColor::RGB(0, 0, 0);
  TPDFColor FillColor = TPDFColor::RGB(1, 1, 1);
  TPDFColor LineColor = TPDFColor::RGB(0, 0, 0);
  TPDFColor TextBackgroundColor = TPDFColor::RGB(0.5, 0.5, 0.5);
  double LineWidth = 1;
  std::string Dash = "[] 0 d";
  double HorizontalScale = 100;
  double CharSpacing = 0;
  double WordSpacing = 0;
  int RenderMode = 0;
};

class TPDFPainter {
 public:
  // A painter for the pages; it draws nowhere until it begins a page.
  explicit TPDFPainter(TPDFPageTree& pages) : pages_(pages) {}
  TPDFPainter(const TPDFPainter&) = delete;
  TPDFPainter& operator=(const TPDFPainter&) = delete;

  // Starts work on a page whose content continues in the stream: every state item back to its
  // default and marked changed, no font. A Flate-compressed stream is inflated before the first
  // operator is added to it. REQUIRES: the stream is one of the page's content streams and, when
  // compressed, inflates (the page tree checks this before handing it over).
  void Begin(TPDFDictionary* page, TPDFStream* stream);
  // Begins the page tree's selected page with its selected stream.
  void BeginCurrentPage();
  TPDFDictionary* Page() const { return page_; }
  TPDFStream* Stream() const { return stream_; }
  // The content of the page's current stream so far (inflated).
  std::string Content();

  // ---- state
  // Font and size (a size of 0 or less means 1); the font goes into the page's resources.
  void SetFont(TPDFFont* font, double size);
  TPDFFont* Font() const { return state_.Font; }
  double FontSize() const { return state_.FontSize; }
  void SetTextAlign(TPDFTextAlign align) { state_.Align = align; }
  TPDFTextAlign TextAlign() const { return state_.Align; }
  // The text colour; decorations are stroked in it too.
  void SetTextColor(const TPDFColor& color);
  void SetFillColor(const TPDFColor& color);
  void SetLineColor(const TPDFColor& color);
  void SetTextBackgroundColor(const TPDFColor& color);
  void SetLineWidth(double width);
  void SetHorizontalScale(double percent);
  void SetSpacing(double charSpacing, double wordSpacing);
  void SetTextRenderMode(int mode);
  const TPDFPainterState& State() const { return state_; }
  // Every state item back to its default and marked changed; the font cleared.
  void ResetState();
  // Takes the saved state back; every item is marked changed.
  void RestoreState(const TPDFPainterState& state);

  // ---- measuring
  // Width in points of UTF-8 text in the current font and size with the character and word
  // spacing and the horizontal scale; 0 without a font.
  double TextWidth(std::string_view text) const;
  // As TextWidth, for text already in the font's codes.
  double CodesWidth(std::string_view codes) const;

  // ---- drawing
  void DrawLine(double x1, double y1, double x2, double y2);
  // The rectangle whose top-left corner is (x, top); nothing when neither filled nor stroked.
  void DrawRectangle(double x, double top, double width, double height, bool fill, bool stroke);
  // UTF-8 text with its baseline at y, placed at x by the text alignment (centre: x is the middle,
  // right: x is the end). False, drawing nothing, without a font.
  bool DrawText(double x, double y, std::string_view text, const TPDFTextExtras& extras = {});
  // The image into the rectangle whose top-left corner is (x, top); the image goes into the
  // page's resources.
  void DrawImage(const TPDFImage& image, double x, double top, double width, double height);

 private:
  enum Item {
    kFontItem,
    kTextColorItem,
    kFillColorItem,
    kLineColorItem,
    kLineWidthItem,
    kDashItem,
    kHorizontalScaleItem,
    kSpacingItem,
    kRenderModeItem,
    kItemCount
  };
  void MarkAllChanged();
  // Writes the item's operator when it changed since it was last written.
  void WriteIfChanged(Item item);
  std::string ItemText(Item item) const;
  // Appends text to the page's stream (inflating a compressed stream first).
  void Emit(std::string_view text);
  void MakePlain();
  // Text that needs the font's fallback: its standard segments in the font's codes, the others
  // in embedded fonts, each inside a span that carries its text for extraction.
  void AppendMixedText(std::string& op, std::string_view text);
  void AppendShapedText(std::string& op, const TPDFShapedText& shaped);
  void DrawTextBackground(double x, double y, double width, bool rounded);
  void DrawDecoration(double x, double y, double width, TPDFDecoration decoration);

  TPDFPageTree& pages_;
  TPDFDictionary* page_ = nullptr;
  TPDFStream* stream_ = nullptr;
  TPDFPainterState state_;
  bool changed_[kItemCount] = {};
};
