#include "report/qorRTFReporter.h"

#include <filesystem>
#include <fstream>

#include "planner/base/qorStrings.h"

namespace {

// The entities of inline text, decoded in one pass from left to right in escaped RTF ("&amp;lt;"
// gives "&lt;"): "&", "<" and ">" need no escape in RTF, the non-breaking blank is its code
// page byte. The same four the PDF side's inline renderer decodes, so that a text written
// with them reads the same in both formats.
std::string DecodeEntities(std::string_view rtf) {
  static constexpr struct {
    std::string_view entity, rtf;
  } kEntities[] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}, {"&nbsp;", "\\'a0"}};
  std::string out;
  out.reserve(rtf.size());
  for (size_t i = 0; i < rtf.size();) {
    bool decoded = false;
    if (rtf[i] == '&') {
      for (const auto& e : kEntities) {
        if (rtf.substr(i, e.entity.size()) == e.entity) {
          out += e.rtf;
          i += e.entity.size();
          decoded = true;
          break;
        }
      }
    }
    if (!decoded) out += rtf[i++];
  }
  return out;
}

}  // namespace

TqorRTFText TqorRTFReporter::InlineText(std::string_view text) {
  return TqorRTFText::FromRtf(DecodeEntities(TqorRTFText::Escape(text)));
}

TqorRTFReporter::TqorRTFReporter() {
  writer_.SetLanguage(language_);
}

void TqorRTFReporter::SetLanguage(std::string_view name) {
  language_ = name;
  writer_.SetLanguage(name);
}

TqorRTFText TqorRTFReporter::TranslateInlineTags(std::string_view text) {
  // Escaping first leaves the tags as they are (they are plain ASCII without "\", "{" or "}"),
  // so only the tags become control words. Every word ends with its blank, so that a letter,
  // digit or hyphen after it stays text.
  static constexpr struct {
    std::string_view tag;
    std::string_view rtf;
  } kTags[] = {{"<i>", "\\i "},    {"</i>", "\\i0 "},    {"<b>", "\\b "},     {"</b>", "\\b0 "},
               {"<p>", "\\line "}, {"</p>", ""},         {"<ul>", "\\line "}, {"</ul>", ""},
               {"<li>", "- "},     {"</li>", "\\line "}, {"<br>", "\\line "}};
  std::string rtf = TqorRTFText::Escape(text);
  for (const auto& t : kTags) rtf = ReplaceText(rtf, t.tag, t.rtf);
  // After the tags, so that a "<" written as "&lt;" never starts one.
  return TqorRTFText::FromRtf(DecodeEntities(rtf));
}

TqorRTFText TqorRTFReporter::BodyText(const TqorXMLNode2& element) {
  if (element.GetAttributeStr("markup") == "yes") return TranslateInlineTags(element.Text());
  return InlineText(element.Text());
}

void TqorRTFReporter::RenderReport(std::string_view markup, const std::string& fileName,
                                   const std::string& imageFolder) {
  std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
  if (!file) throw EqorFileError("Cannot create file " + fileName);
  RenderReport(markup, file, imageFolder);
  file.close();
  if (file.fail()) throw EqorFileError("Cannot write file " + fileName);
}

void TqorRTFReporter::RenderReport(std::string_view markup, std::ostream& stream,
                                   const std::string& imageFolder) {
  imageFolder_ = imageFolder;
  markup_.Load(markup);
  paper_ = markup_.Paper();
  writer_.SetHeaderText(markup_.HeaderText());
  writer_.SetFooterText(markup_.FooterText());
  writer_.SetPaper(paper_);
  writer_.BeginDocument(stream);
  if (const TqorXMLNode2* body = markup_.Body())
    for (int i = 0; i < body->ChildCount(); ++i) ProcessElement(*body->GetChild(i));
  writer_.EndDocument();
}

void TqorRTFReporter::ProcessElement(const TqorXMLNode2& element) {
  switch (TqorReportMarkup::KindOf(element)) {
    case TqorBlockKind::Heading: {
      const std::string list =
          markup_.ClassText(TqorReportMarkup::ClassOf(element, element.Name()));
      writer_.WriteHeading(InlineText(element.Text()), TqorReportMarkup::HeadingLevel(element),
                           list);
      break;
    }
    case TqorBlockKind::Paragraph: {
      const TqorRTFText text = BodyText(element);
      const std::string list = markup_.ClassText(TqorReportMarkup::ClassOf(element, "p"));
      const std::string title = element.GetAttributeStr("title");
      if (title.empty()) {
        writer_.WriteParagraph(text, list);
      } else {
        writer_.BeginParagraph(list);
        writer_.WriteStyledText(title, "font-weight:bold");
        writer_.WriteLineBreak();
        writer_.WriteText(text);
        writer_.EndParagraph();
      }
      break;
    }
    case TqorBlockKind::Row:
      WriteRow(element);
      break;
    case TqorBlockKind::Image: {
      const std::string path = imageFolder_ + element.GetAttributeStr("src");
      std::error_code ec;
      // A paragraph of its own: the picture neither joins the text that follows nor lands
      // in the table row before it.
      if (!TqorRTFWriter::IsPictureKind(path) || !std::filesystem::is_regular_file(path, ec)) break;
      writer_.BeginParagraph("");
      writer_.WritePicture(path, 100);
      writer_.EndParagraph();
      break;
    }
    case TqorBlockKind::Container:
      for (int i = 0; i < element.ChildCount(); ++i) ProcessElement(*element.GetChild(i));
      break;
    case TqorBlockKind::Ignored:
      break;
  }
}

void TqorRTFReporter::WriteRow(const TqorXMLNode2& row) {
  if (row.ChildCount() == 0) return;
  writer_.BeginRow(row.GetAttributeStr("header") == "yes" ? "display:table-header-group" : "");
  for (int i = 0; i < row.ChildCount(); ++i) {
    const TqorXMLNode2& cell = *row.GetChild(i);
    const std::string list = markup_.ClassText(TqorReportMarkup::ClassOf(cell));
    const bool shaded = PosText("background-color:", list) > 0;
    writer_.AddCellBoundary(
        TqorReportMarkup::WholeNumberAttribute(cell, "right"),
        shaded ? "border-style-bottom:solid;cell-shading:3" : "border-style-bottom:solid");
  }
  for (int i = 0; i < row.ChildCount(); ++i) {
    const TqorXMLNode2& cell = *row.GetChild(i);
    writer_.WriteCell(BodyText(cell), markup_.ClassText(TqorReportMarkup::ClassOf(cell)));
  }
  writer_.EndRow();
}
