// Fuzz target for path queries: the predicate tokenizer, compiler and evaluator, and the path
// walk. Input layout:
//   line 1        a path, also compiled on its own as one predicate
//   the rest      an XML document to run it on (a small planner document when empty)
// Expected failures (path errors, predicates whose result is no truth value) are caught; any
// other exception, crash or sanitizer report is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "planner/base/qorRegionalSettings.h"
#include "planner/xml/qorXMLParser2.h"
#include "planner/xml/qorXPathError.h"
#include "planner/xml/qorXPathParser2.h"
#include "planner/xml/qorXPathSelect.h"

namespace {

const char* const kPlanner =
    "<planner><projects id=\"projects\">"
    "<project id=\"1\" name=\"Alpha\" startdate=\"45292\" enddate=\"45320\" expanded=\"-1\">"
    "<task id=\"10\" name=\"Design\" startdate=\"45292\" enddate=\"45296\" ismilestone=\"0\">"
    "<assignment id=\"100\" resourceid=\"3\" units=\"50\"/>"
    "<assignment id=\"101\" resourceid=\"4\" units=\"100\"/></task>"
    "<task id=\"11\" name=\"Build &amp; test\" startdate=\"45300\" enddate=\"45320\">"
    "<assignment id=\"102\" resourceid=\"3\" units=\"25\"/></task></project></projects>"
    "<resources id=\"resources\">"
    "<resource id=\"3\" name=\"Bob\" initials=\"BB\" hoursperweek=\"40\"/>"
    "<resource id=\"4\" name=\"Ann\" initials=\"AN\" hoursperweek=\"32.5\"/></resources>"
    "<holidays id=\"holidays\"><holiday id=\"7\" resourceid=\"3\" startdate=\"45301\" "
    "enddate=\"45302\"/></holidays>"
    "<xel:program><xel:var id=\"v\">1</xel:var><xel:function><xel:var id=\"w\">2</xel:var>"
    "<step/></xel:function></xel:program></planner>";

// Small enough that every input finishes in well under a second.
constexpr size_t kMaxWork = size_t{1} << 20;

// Touches every selected node, so that a dangling pointer shows up under the sanitizer.
size_t Touch(const std::vector<TqorXMLNode2*>& list) {
  size_t sum = 0;
  for (const TqorXMLNode2* n : list) sum += n->Name().size() + static_cast<size_t>(n->ChildCount());
  return sum;
}

void Select(TqorXMLNode2& start, std::string_view path) {
  std::vector<TqorXMLNode2*> list;
  try {
    XPathSelectNodes(start, path, list, kMaxWork);
  } catch (const EqorXPathError&) {
  } catch (const EqorVariantError&) {
  }
  Touch(list);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TqorRegionalSettingsGuard keep;
  TqorRegionalSettings& rs = RegionalSettings();
  rs = TqorRegionalSettings();
  rs.ShortDateFormat = "dd.MM.yyyy";

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t newline = input.find('\n');
  const std::string_view path = input.substr(0, newline);
  const std::string_view xml =
      newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

  TqorXMLParser2 doc;
  doc.SetXml(xml.empty() ? std::string_view(kPlanner) : xml);

  // From the document and from an element below it; the second round takes its predicates
  // from the document's cache.
  for (int round = 0; round < 2; ++round) {
    Select(doc, path);
    if (TqorXMLNode2* child = doc.GetChild(0)) Select(*child, path);
  }

  // The whole line as one predicate, on every element.
  std::vector<TqorXMLNode2*> all{&doc};
  try {
    XPathSelectNodes(doc, "*", all, kMaxWork);
  } catch (const EqorXPathError&) {
  }
  if (all.size() > 500) all.resize(500);
  TqorXPathParser2 parser;
  parser.Compile(path);
  parser.Expression().SetList(&all);
  for (size_t i = 0; i < all.size(); ++i)
    parser.Expression().EvaluateAt(all[i], static_cast<int>(i));
  parser.Expression().SetList(nullptr);
  parser.Expression().Evaluate(nullptr);
  try {
    parser.Filter(all);
  } catch (const EqorVariantError&) {
  }
  Touch(all);
  return 0;
}
