// Writes the RTF layout drawn in qorRTFWriter.h.
#include "report/qorRTFWriter.h"

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "planner/base/qorStrings.h"
#include "report/qorRTFBidi.h"
#include "report/qorStyleProperties.h"

namespace {

constexpr const char* kLineEnd = "\r\n";

// num / den rounded to the nearest whole number, ties to even. REQUIRES: den > 0.
int64_t RoundDivEven(int64_t num, int64_t den) {
  int64_t q = num / den;
  int64_t r = num % den;
  if (r < 0) {
    r += den;
    --q;
  }
  if (2 * r > den || (2 * r == den && (q & 1) != 0)) ++q;
  return q;
}

int32_t Clamp32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

// The character words shared by the paragraph and the character format; false when the entry
// is not a character property.
bool AppendCharacterWord(std::string& out, const TqorStyleProperty& p) {
  if (p.Name == "font-weight") {
    if (p.Value == "bold") out += "\\b";
  } else if (p.Name == "font-size") {
    out += "\\fs" + std::to_string(2 * int64_t{StyleWholeNumber(p.Value, 10)});
  } else if (p.Name == "font-style") {
    if (p.Value == "italic") out += "\\i";
  } else if (p.Name == "font-variant") {
    if (p.Value == "small-caps") out += "\\scaps";
  } else if (p.Name == "text-decoration") {
    if (p.Value == "underline")
      out += "\\ul";
    else if (p.Value == "line-through")
      out += "\\strike";
  } else {
    return false;
  }
  return true;
}

// The word of a "border-style-<side>:solid" entry with the given prefix ("\brdr", "\clbrdr").
bool AppendBorderWord(std::string& out, const TqorStyleProperty& p, const char* prefix) {
  static constexpr struct {
    std::string_view name;
    char side;
  } kSides[] = {{"border-style-left", 'l'},
                {"border-style-top", 't'},
                {"border-style-right", 'r'},
                {"border-style-bottom", 'b'}};
  for (const auto& s : kSides) {
    if (p.Name != s.name) continue;
    if (p.Value == "solid") {
      out += prefix;
      out += s.side;
      out += "\\brdrs";
    }
    return true;
  }
  return false;
}

std::string DayMonthYear(int32_t year, int32_t month, int32_t day) {
  char date[40];
  std::snprintf(date, sizeof date, "%02d-%02d-%04d", day, month, year);
  return date;
}

std::string Today() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return DayMonthYear(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

// The page fields of the footer: date centred, "Page n of m" right. Each field carries a
// result for readers that show fields as written: the date of the report, page 1 of 1.
std::string PageFields(std::string_view language, const std::string& date) {
  const bool dutch = language == "dutch";
  std::string s = "{\\tab {\\field{\\*\\fldinst { DATE \\\\@ \"dd-MM-yyyy\" }}{\\fldrslt {" + date +
                  "}}} } {\\tab ";
  s += dutch ? "Pagina " : "Page ";
  s += "} {\\field{\\*\\fldinst {PAGE }}{\\fldrslt {1}}}";
  s += dutch ? " van " : " of ";
  s += "{\\field{\\*\\fldinst { NUMPAGES }}{\\fldrslt {1}}} \\par}";
  return s;
}

// The words a right-to-left paragraph adds to its format (an empty text for any other): its
// direction and, unless its own format aligns it, the alignment at its start.
std::string DirectionWords(const TqorRTFBidi& bidi, std::string_view format) {
  if (!bidi.RightToLeft()) return {};
  return format.find("\\q") == std::string_view::npos ? "\\rtlpar\\qr" : "\\rtlpar";
}

}  // namespace

TqorRTFWriter::TqorRTFWriter() {
  const std::string common =
      "\\ql \\li0\\ri0\\sb240\\sa60\\keepn\\widctlpar\\aspalpha\\aspnum\\faauto\\adjustright"
      "\\rin0\\lin0\\itap0 ";
  styles_.push_back(std::make_unique<TRTFStyle>(
      "\\ql \\li0\\ri0\\widctlpar\\aspalpha\\aspnum\\faauto\\adjustright\\rin0\\lin0\\itap0\\fs24"
      "\\lang1033\\langfe1033\\cgrid\\langnp1033\\langfenp1033 ",
      "\\snext0", "Normal"));
  styles_.push_back(std::make_unique<TRTFStyle>(
      "\\s1" + common +
          "\\b\\f1\\fs32\\lang1033\\langfe1033\\kerning32\\cgrid\\langnp1033\\langfenp1033 ",
      "\\sbasedon0 \\snext0", "heading 1"));
  styles_.push_back(std::make_unique<TRTFStyle>(
      "\\s2" + common + "\\b\\i\\f1\\fs28\\lang1033\\langfe1033\\cgrid\\langnp1033\\langfenp1033 ",
      "\\sbasedon0 \\snext0", "heading 2"));
  styles_.push_back(std::make_unique<TRTFStyle>(
      "\\s3" + common + "\\b\\f1\\fs26\\lang1033\\langfe1033\\cgrid\\langnp1033\\langfenp1033 ",
      "\\sbasedon0 \\snext0", "heading 3"));
  styles_.push_back(std::make_unique<TRTFStyle>(
      "\\s4" + common + "\\b\\f1\\fs24\\lang1033\\langfe1033\\cgrid\\langnp1033\\langfenp1033 ",
      "\\sbasedon0 \\snext0", "heading 4"));
  SetPaper("A4");
}

void TqorRTFWriter::SetPaper(std::string_view paper) {
  std::string name = Lower(paper);
  const size_t at = name.find("landscape");
  landscape_ = at != std::string::npos;
  if (landscape_) name = std::string(Trim(std::string_view(name).substr(0, at)));
  int32_t width, height, side;
  if (name == "letter") {
    width = 12240;
    height = 15840;
    side = 1800;
  } else {
    width = 11906;
    height = 16838;
    side = 1440;
  }
  if (landscape_) std::swap(width, height);
  paperWidth_ = width;
  paperHeight_ = height;
  leftMargin_ = rightMargin_ = side;
  topMargin_ = bottomMargin_ = 1440;
  textWidth_ = paperWidth_ - 2 * leftMargin_;
}

int32_t TqorRTFWriter::MillimetresToTwips(int64_t mm) {
  return Clamp32(RoundDivEven(mm * 567, 10));
}

int32_t TqorRTFWriter::PercentToTwips(int64_t percent) const {
  return Clamp32(RoundDivEven(percent * textWidth_, 100));
}

std::string TqorRTFWriter::ParagraphFormat(std::string_view properties) {
  std::string out;
  for (const TqorStyleProperty& p : ParseStyleProperties(properties)) {
    if (AppendCharacterWord(out, p) || AppendBorderWord(out, p, "\\brdr")) continue;
    const std::string& n = p.Name;
    const std::string& v = p.Value;
    if (n == "page-break-before") {
      if (v == "always") out += "\\pagebb";
    } else if (n == "page-break-inside") {
      if (v == "avoid") out += "\\keep";
    } else if (n == "page-break-after") {
      if (v == "avoid") out += "\\keepn";
    } else if (n == "text-indent-left") {
      out += "\\li" + std::to_string(MillimetresToTwips(StyleWholeNumber(v)));
    } else if (n == "text-indent-right") {
      out += "\\ri" + std::to_string(MillimetresToTwips(StyleWholeNumber(v)));
    } else if (n == "text-indent-first") {
      out += "\\fi" + std::to_string(MillimetresToTwips(StyleWholeNumber(v)));
    } else if (n == "text-align") {
      if (v == "left")
        out += "\\ql";
      else if (v == "center")
        out += "\\qc";
      else if (v == "right")
        out += "\\qr";
      else if (v == "justify")
        out += "\\qj";
    } else if (n == "margin-top") {
      out += "\\sb" + std::to_string(MillimetresToTwips(StyleWholeNumber(v)));
    } else if (n == "margin-bottom") {
      out += "\\sa" + std::to_string(MillimetresToTwips(StyleWholeNumber(v)));
    }
  }
  out += ' ';
  return out;
}

std::string TqorRTFWriter::CharacterFormat(std::string_view properties) {
  std::string out;
  for (const TqorStyleProperty& p : ParseStyleProperties(properties)) AppendCharacterWord(out, p);
  out += ' ';
  return out;
}

std::string TqorRTFWriter::CellFormat(std::string_view properties) {
  std::string out;
  for (const TqorStyleProperty& p : ParseStyleProperties(properties)) {
    if (AppendBorderWord(out, p, "\\clbrdr")) continue;
    if (p.Name == "cell-shading") {
      out += "\\clshdng" + std::to_string(int64_t{StyleWholeNumber(p.Value)} * 100);
    } else if (p.Name == "cell-vertical-align") {
      if (p.Value == "top")
        out += "\\clvertalt";
      else if (p.Value == "bottom")
        out += "\\clvertalb";
      else if (p.Value == "center")
        out += "\\clvertalc";
      else if (p.Value == "vertical")
        out += "\\cltxbtlr";
    }
  }
  return out;
}

std::string TqorRTFWriter::RowFormat(std::string_view properties) {
  std::string out;
  for (const TqorStyleProperty& p : ParseStyleProperties(properties)) {
    if (p.Name == "height")
      out += "\\trrh" + std::to_string(MillimetresToTwips(StyleWholeNumber(p.Value)));
    else if (p.Name == "page-break-inside" && p.Value == "always")
      out += "\\trkeep ";
    else if (p.Name == "display" && p.Value == "table-header-group")
      out += "\\trhdr";
  }
  return out;
}

std::ostream& TqorRTFWriter::Out() {
  if (!stream_) throw std::logic_error("RTF writer: no document begun");
  return *stream_;
}

void TqorRTFWriter::Emit(std::string_view rtf) {
  if (inParagraph_)
    paragraph_ += rtf;
  else
    Out() << rtf;
}

void TqorRTFWriter::SetDate(int32_t year, int32_t month, int32_t day) {
  date_ = DayMonthYear(year, month, day);
}

void TqorRTFWriter::BeginDocument(std::ostream& stream) {
  stream_ = &stream;
  stream.seekp(0);
  WriteHead();
}

void TqorRTFWriter::WriteHead() {
  std::string h;
  h += "{\\rtf1\\ansi\\ansicpg1252\\deff";
  h += defaultFont_ == "times" ? '1' : '0';
  h += kLineEnd;

  static constexpr struct {
    const char* family;
    int charset;
    const char* face;
  } kFonts[] = {{"fswiss", 0, "Arial"},
                {"froman", 0, "Times New Roman"},
                {"fmodern", 0, "Courier"},
                {"ftech", 2, "Symbol"}};
  h += "{\\fonttbl";
  for (size_t i = 0; i < std::size(kFonts); ++i) {
    h += "{\\f" + std::to_string(i) + "\\" + kFonts[i].family + "\\fcharset" +
         std::to_string(kFonts[i].charset) + " " + kFonts[i].face + ";}";
  }
  h += "}";
  h += kLineEnd;

  static constexpr const char* kColours[] = {
      "\\red127\\green0\\blue0;",     "\\red0\\green127\\blue0;",
      "\\red127\\green127\\blue0;",   "\\red0\\green0\\blue127;",
      "\\red127\\green0\\blue127;",   "\\red0\\green127\\blue127;",
      "\\red127\\green127\\blue127;", "\\red192\\green192\\blue192;",
      "\\red255\\green0\\blue0;",     "\\red0\\green255\\blue0;",
      "\\red255\\green255\\blue0;",   "\\red0\\green0\\blue255;",
      "\\red255\\green0\\blue255;",   "\\red0\\green255\\blue255;",
      "\\red255\\green255\\blue255;",
  };
  h += "{\\colortbl;";
  for (const char* c : kColours) {
    h += kLineEnd;
    h += c;
  }
  h += "}";
  h += kLineEnd;

  h += "{\\stylesheet";
  for (const auto& s : styles_) h += "{" + s->Formatting + s->Links + " " + s->Name + ";}";
  h += "}";
  h += kLineEnd;
  h += kLineEnd;
  h += kLineEnd;

  h += "\\paperw" + std::to_string(paperWidth_) + "\\paperh" + std::to_string(paperHeight_) +
       "\\margl" + std::to_string(leftMargin_) + "\\margr" + std::to_string(rightMargin_) +
       "\\margt" + std::to_string(topMargin_) + "\\margb" + std::to_string(bottomMargin_);
  if (landscape_) h += "\\landscape";
  h += kLineEnd;

  h += kLineEnd;
  const std::string headerFormat = fontSelector_ + "\\fs16";
  const TqorRTFBidi header(TqorRTFText::Escape(header_), headerFormat);
  h += "{\\header \\pard" + fontSelector_ + "\\fs16\\brdrb\\brdrs" + DirectionWords(header, "") +
       " " + header.Rtf() + "\\par}";
  h += kLineEnd;
  const TqorRTFBidi footer(TqorRTFText::Escape(footer_), headerFormat,
                           TqorRTFBidi::TBase::LeftToRight);
  h += "{\\footer \\pard\\plain\\tqc\\tx" + std::to_string(textWidth_ / 2) + "\\tqr\\tx" +
       std::to_string(textWidth_) + fontSelector_ + "\\fs16\\brdrt\\brdrs " + footer.Rtf() +
       PageFields(language_, date_.empty() ? Today() : date_);
  h += kLineEnd;
  if (landscape_) h += "\\landscape\\lndscpsxn";
  Out() << h;
}

void TqorRTFWriter::EndDocument() {
  WriteOpenParagraph();
  Out() << "}";
  stream_ = nullptr;
}

void TqorRTFWriter::WriteText(const TqorRTFText& text) {
  Emit(text.Rtf());
}

void TqorRTFWriter::WriteNumber(int64_t n) {
  Emit(std::to_string(n));
}

void TqorRTFWriter::BeginRow(std::string_view rowProperties) {
  rowRightToLeft_ = false;
  Out() << "\\trowd" << RowFormat(rowProperties);
}

void TqorRTFWriter::AddCellBoundary(int32_t rightPercent, std::string_view cellProperties) {
  Out() << CellFormat(cellProperties) << "\\cellx" << std::to_string(PercentToTwips(rightPercent));
}

void TqorRTFWriter::WriteCell(const TqorRTFText& text, std::string_view properties) {
  const std::string format = ParagraphFormat(properties);
  const TqorRTFBidi bidi(text.Rtf(), "\\plain" + fontSelector_ + "\\fs20" + format);
  rowRightToLeft_ = rowRightToLeft_ || bidi.RightToLeft();
  Out() << "\\pard\\intbl\\plain" << fontSelector_ << "\\fs20" << DirectionWords(bidi, format)
        << format << bidi.Rtf() << " \\cell";
}

void TqorRTFWriter::EndRow() {
  Out() << (rowRightToLeft_ ? "\\pard\\intbl\\ltrrow \\row" : "\\pard\\intbl \\row") << kLineEnd;
  rowRightToLeft_ = false;
}

void TqorRTFWriter::WriteParagraph(const TqorRTFText& text, std::string_view properties) {
  const std::string format = ParagraphFormat(properties);
  const TqorRTFBidi bidi(text.Rtf(), "\\plain" + fontSelector_ + "\\fs20" + format);
  Out() << "\\pard\\plain" << fontSelector_ << "\\fs20" << DirectionWords(bidi, format) << format
        << bidi.Rtf() << " \\par" << kLineEnd;
}

void TqorRTFWriter::BeginParagraph(std::string_view properties) {
  Out();
  WriteOpenParagraph();
  inParagraph_ = true;
  paragraphProperties_ = properties;
  paragraph_.clear();
}

void TqorRTFWriter::WriteStyledText(const TqorRTFText& text, std::string_view properties) {
  Emit("{" + CharacterFormat(properties) + text.Rtf() + "}");
}

void TqorRTFWriter::WriteLineBreak() {
  Emit(std::string("\\line") + kLineEnd);
}

void TqorRTFWriter::WriteOpenParagraph() {
  if (!inParagraph_) return;
  inParagraph_ = false;
  Out() << "\\pard\\plain" << fontSelector_ << "\\fs20" << ParagraphFormat(paragraphProperties_)
        << paragraph_;
}

void TqorRTFWriter::EndParagraph() {
  if (!inParagraph_) {
    Out() << " \\par" << kLineEnd;
    return;
  }
  inParagraph_ = false;
  const std::string format = ParagraphFormat(paragraphProperties_);
  const TqorRTFBidi bidi(paragraph_, "\\plain" + fontSelector_ + "\\fs20" + format);
  Out() << "\\pard\\plain" << fontSelector_ << "\\fs20" << DirectionWords(bidi, format) << format
        << bidi.Rtf() << " \\par" << kLineEnd;
}

void TqorRTFWriter::WriteHeading(const TqorRTFText& text, int level, std::string_view properties) {
  if (level < 0 || level > 4) level = 1;
  const std::string format = ParagraphFormat(properties);
  const TqorRTFBidi bidi(text.Rtf(), "\\plain " + GetStyle(level).Formatting + format);
  Out() << "\\pard\\plain " << GetStyle(level).Formatting << DirectionWords(bidi, format) << format
        << "{" << bidi.Rtf() << " \\par}" << kLineEnd;
}

namespace {

// The opening of the picture group for the file name's extension (letter case ignored), or
// nullptr for a kind that is not embedded.
const char* PictureOpening(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  const size_t slash = fileName.find_last_of("/\\");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return nullptr;
  const std::string ext = FoldCase(fileName.substr(dot));
  if (ext == ".PNG") return "{\\pict\\pngblip";
  if (ext == ".JPG") return "{\\pict\\jpegblip";
  if (ext == ".EMF") return "{\\pict\\emfblip";
  return nullptr;
}

}  // namespace

bool TqorRTFWriter::IsPictureKind(std::string_view fileName) {
  return PictureOpening(fileName) != nullptr;
}

void TqorRTFWriter::WritePicture(const std::string& fileName, int32_t scalePercent) {
  const char* opening = PictureOpening(fileName);
  if (!opening) return;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec)) return;
  const std::string bytes = LoadStringFromFile(fileName);
  // The blank ends the size; the reader takes exactly that many bytes after it.
  const std::string scale = std::to_string(scalePercent);
  Emit(std::string(opening) + "\\picscalex" + scale + "\\picscaley" + scale + "\\bin" +
       std::to_string(bytes.size()) + ' ');
  Emit(bytes);
  Emit("}");
}

const TRTFStyle& TqorRTFWriter::GetStyle(int level) const {
  if (level < 0 || level > 4)
    throw EqorRTFError("Style level " + std::to_string(level) + " out of range 0..4");
  return *styles_[static_cast<size_t>(level)];
}
