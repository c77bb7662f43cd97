// Writes an RTF document straight into a stream, piece by piece, in the order the caller asks
// for; nothing is kept but the page set-up, the stylesheet and the paragraph BeginParagraph
// opened (its direction is known at its end). Measurements are twips (1/1440 inch; 1 mm =
// 56.7 twips), the text of the file is 7-bit ASCII with code page 1252 escapes.
//
//   {\rtf1\ansi\ansicpg1252\deff0 CR LF                    BeginDocument: the head
//   {\fonttbl{\f0\fswiss\fcharset0 Arial;}...} CR LF        fonts 0..3: Arial, Times New Roman,
//   {\colortbl;\red127\green0\blue0; ...}  CR LF            Courier, Symbol; 15 fixed colours
//   {\stylesheet{...Normal;}{...heading 1;}...} CR LF ...   styles 0..4: Normal, heading 1..4
//   \paperw..\paperh..\margl..\margr..\margt..\margb..[\landscape] CR LF
//   CR LF {\header ...} CR LF {\footer ... date, page, page count \par} CR LF
//       the fields with their results: {\field{\*\fldinst { DATE \\@ "dd-MM-yyyy" }}
//       {\fldrslt {10-12-2026}}}, PAGE and NUMPAGES with {\fldrslt {1}} until the reader updates
//   [\landscape\lndscpsxn] \pard\plain \s1... {Heading \par} CR LF                WriteHeading
//   \pard\plain\f0\fs20\sb567 Text \par CR LF               WriteParagraph
//   \trowd\trhdr\clbrdrb\brdrs\cellx4513...                 BeginRow, AddCellBoundary
//   \pard\intbl\plain\f0\fs20\qr Cell \cell ...             WriteCell
//   \pard\intbl[\ltrrow] \row CR LF                         EndRow
//   {\pict\pngblip\picscalex100\picscaley100\bin1234 <the file's bytes>}   WritePicture
//   }                                                       EndDocument
//
// Right-to-left text (qorRTFBidi.h): a paragraph, cell or heading whose first strong character
// is right to left gets "\rtlpar" and, unless its list sets "text-align", "\qr" (its start)
// before the words of its list; its right-to-left runs stand between "\rtlch\af0\afs20 " and
// "\ltrch ". A row with such a cell keeps its cells left to right with "\ltrrow", as a
// reader would otherwise turn the table round. The header text is a paragraph like the others;
// the footer text only marks its runs, so that its tab stops stay left to right.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "report/qorRTFText.h"

// Raised for a stylesheet level outside 0..4.
class EqorRTFError : public std::out_of_range {
 public:
  using std::out_of_range::out_of_range;
};

// One stylesheet entry: its control words, its "\sbasedon"/"\snext" words and its name.
class TRTFStyle {
 public:
  TRTFStyle(std::string formatting, std::string links, std::string name)
      : Formatting(std::move(formatting)), Links(std::move(links)), Name(std::move(name)) {}

  std::string Formatting;
  std::string Links;
  std::string Name;
};

class TqorRTFWriter {
 public:
  TqorRTFWriter();

  // "dutch" gives a Dutch footer ("Pagina 1 van 3"), every other name an English one.
  void SetLanguage(std::string_view name) { language_ = name; }
  // Plain text for the page header and footer, escaped when the head is written.
  void SetHeaderText(std::string_view text) { header_ = text; }
  void SetFooterText(std::string_view text) { footer_ = text; }
  // The date the footer's date field shows until the reader updates it; today (local time)
  // when not set. REQUIRES: a real date.
  void SetDate(int32_t year, int32_t month, int32_t day);
  // A paper text such as "A4 Landscape" (letter case ignored): "letter" or A4 (every other
  // name), landscape when the text holds that word; sets paper size, margins and text width.
  void SetPaper(std::string_view paper);

  // Moves the stream to position 0 and writes the document head. The stream is not owned and
  // must stay open until EndDocument; its errors reach the caller.
  void BeginDocument(std::ostream& stream);
  // Closes the document group; the writer lets go of the stream.
  void EndDocument();

  // The body operations. REQUIRES: between BeginDocument and EndDocument. Text arguments are
  // plain text (escaped) unless built with TqorRTFText::FromRtf.
  void WriteText(const TqorRTFText& text);
  void WriteNumber(int64_t n);
  // Starts a table row; the row list knows "height" (mm), "page-break-inside:always" and
  // "display:table-header-group" (a header row, repeated on each page the table runs onto).
  void BeginRow(std::string_view rowProperties);
  // One cell's right edge in percent of the text width, with its borders, shading and
  // vertical alignment.
  void AddCellBoundary(int32_t rightPercent, std::string_view cellProperties);
  // One cell's paragraph; as many calls as boundaries, in the same order.
  void WriteCell(const TqorRTFText& text, std::string_view properties);
  void EndRow();
  void WriteParagraph(const TqorRTFText& text, std::string_view properties);
  // Opens a paragraph that the following WriteText, WriteNumber, WriteStyledText,
  // WriteLineBreak and WritePicture calls fill; EndParagraph writes it.
  void BeginParagraph(std::string_view properties);
  // A group with the character format of the list (weight, size, style, variant, decoration).
  void WriteStyledText(const TqorRTFText& text, std::string_view properties);
  void WriteLineBreak();
  void EndParagraph();
  // A paragraph in stylesheet entry level (1..4 the headings, 0 Normal; others taken as 1).
  void WriteHeading(const TqorRTFText& text, int level, std::string_view properties);
  // A PNG, JPEG or EMF file (by its extension) embedded in binary at the scale in percent;
  // nothing for another kind or a missing file. Raises EqorFileError when it cannot be read.
  void WritePicture(const std::string& fileName, int32_t scalePercent);
  // True when the file name's extension is one of a picture kind WritePicture embeds.
  static bool IsPictureKind(std::string_view fileName);

  // Stylesheet entry 0..4; raises EqorRTFError for any other level.
  const TRTFStyle& GetStyle(int level) const;

  // The page set-up, in twips.
  int32_t PaperWidth() const { return paperWidth_; }
  int32_t PaperHeight() const { return paperHeight_; }
  int32_t LeftMargin() const { return leftMargin_; }
  int32_t RightMargin() const { return rightMargin_; }
  int32_t TopMargin() const { return topMargin_; }
  int32_t BottomMargin() const { return bottomMargin_; }
  int32_t TextWidth() const { return textWidth_; }
  bool Landscape() const { return landscape_; }

  // The control words of a property list, each followed by nothing but the next word; the
  // paragraph and character formats end with one blank.
  static std::string ParagraphFormat(std::string_view properties);
  static std::string CharacterFormat(std::string_view properties);
  static std::string CellFormat(std::string_view properties);
  static std::string RowFormat(std::string_view properties);
  // Whole twips for millimetres and for a percentage of the text width, rounded to nearest
  // (ties to even), clamped to the 32-bit range.
  static int32_t MillimetresToTwips(int64_t mm);
  int32_t PercentToTwips(int64_t percent) const;

 private:
  std::ostream& Out();
  // The stream, or the open paragraph between BeginParagraph and EndParagraph.
  void Emit(std::string_view rtf);
  // A paragraph that BeginParagraph opened and no EndParagraph closed, as written, unended.
  void WriteOpenParagraph();
  void WriteHead();

  std::vector<std::unique_ptr<TRTFStyle>> styles_;
  std::ostream* stream_ = nullptr;
  int32_t leftMargin_ = 0;
  int32_t rightMargin_ = 0;
  int32_t topMargin_ = 0;
  int32_t bottomMargin_ = 0;
  int32_t paperWidth_ = 0;
  int32_t paperHeight_ = 0;
  int32_t textWidth_ = 0;
  bool landscape_ = false;
  std::string header_;
  std::string footer_;
  std::string defaultFont_ = "arial";
  std::string fontSelector_ = "\\f0";
  std::string language_ = "dutch";
  std::string date_;  // dd-mm-yyyy, empty for today
  bool inParagraph_ = false;
  std::string paragraphProperties_;
  std::string paragraph_;
  bool rowRightToLeft_ = false;  // a cell of the open row is right to left
};
