// Fuzz target of the report converters: the input is report markup, converted to RTF and to PDF
// in memory (pictures from a folder that does not exist). A cell without a whole-number "right"
// edge is refused by the PDF converter as it should be; any other exception, an RTF text whose
// groups do not balance, a PDF without its header and end marker, a crash, a hang or a
// sanitizer report is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "planner/base/qorRegionalSettings.h"
#include "report/qorPDFReporter.h"
#include "report/qorRTFReporter.h"

namespace {

const char* const kNoPictures = "/nonexistent-report-pictures/";

[[noreturn]] void Finding(const char* what, std::string_view output) {
  std::fprintf(stderr, "%s\n%.*s\n", what, static_cast<int>(std::min<size_t>(output.size(), 4000)),
               output.data());
  std::abort();
}

// The groups of an RTF text balance: every "{" not escaped is closed, never more "}" than "{".
bool Balanced(std::string_view rtf) {
  long depth = 0;
  for (size_t i = 0; i < rtf.size(); ++i) {
    if (rtf[i] == '\\') {
      ++i;  // an escaped character or the first letter of a control word
    } else if (rtf[i] == '{') {
      ++depth;
    } else if (rtf[i] == '}') {
      if (--depth < 0) return false;
    }
  }
  return depth == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TqorRegionalSettingsGuard keep;
  const std::string_view markup(reinterpret_cast<const char*>(data), size);

  TqorRTFReporter rtf;
  rtf.SetLanguage(size % 2 ? "dutch" : "english");
  std::ostringstream rtfOut;
  rtf.RenderReport(markup, rtfOut, kNoPictures);
  const std::string rtfText = rtfOut.str();
  if (rtfText.rfind("{\\rtf1", 0) != 0 || !Balanced(rtfText)) Finding("unbalanced RTF", rtfText);

  TqorPDFReporter pdf;
  pdf.SetLanguage(size % 2 ? "english" : "dutch");
  std::ostringstream pdfOut;
  try {
    pdf.RenderReport(markup, pdfOut, kNoPictures);
  } catch (const EqorPDFReportError&) {
    return 0;
  }
  const std::string pdfBytes = pdfOut.str();
  if (pdfBytes.rfind("%PDF-1.4", 0) != 0 || pdfBytes.find("%%EOF") == std::string::npos) {
    Finding("a PDF without header or end marker", pdfBytes);
  }
  return 0;
}
