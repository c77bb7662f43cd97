// Fuzz target of the SQL lexer and parsers. The input is statement text. It is tokenised, then
// prepared with the planner's tables and without a catalogue, and as a table filter. A statement
// that is accepted is printed; the print must be accepted again, give the same tree (the same
// dump) and print the same. A refused statement must say why. Failures of these checks abort.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "db/sql/zuzSqlLexer.h"
#include "db/sql/zuzSqlParser.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzErrorCodes.h"
#include "tests/db/sql/sqlTestCatalogue.h"

namespace {

using namespace zuz;

[[noreturn]] void Finding(const char* what, std::string_view a, std::string_view b) {
  std::fprintf(stderr, "%s\n--- first:\n%.*s\n--- second:\n%.*s\n", what,
               static_cast<int>(a.size()), a.data(), static_cast<int>(b.size()), b.data());
  std::abort();
}

// Only a string that is no date or time may raise an engine error out of Prepare.
bool ExpectedEngineError(const EZuzDatabaseError& e) {
  return e.ErrorCode() == ZUZ_ERR_DATE_VALUE || e.ErrorCode() == ZUZ_ERR_TIME_VALUE;
}

void RoundTrip(std::string_view text, const TZuzSqlCatalogue* catalogue) {
  TZuzSqlParser parser(catalogue);
  try {
    if (!parser.Prepare(text)) {
      if (parser.Errors().empty()) Finding("refused without a message", text, "");
      return;
    }
  } catch (const EZuzDatabaseError& e) {
    if (!ExpectedEngineError(e)) Finding("unexpected engine error", text, e.what());
    return;
  }
  std::string print = parser.Statement()->ToSql();
  std::string dump = parser.Statement()->ToDump();
  TZuzSqlParser again(catalogue);
  try {
    if (!again.Prepare(print)) Finding("print refused", print, again.ErrorText());
  } catch (const EZuzDatabaseError& e) {
    Finding("print raised", print, e.what());
  }
  if (again.Statement()->ToDump() != dump) {
    Finding("print parses to another tree", dump, again.Statement()->ToDump());
  }
  if (again.Statement()->ToSql() != print) {
    Finding("print prints differently", print, again.Statement()->ToSql());
  }
}

void Filter(std::string_view text) {
  const TTableDef* samples = test::PlannerCatalogue().FindTable("Samples", false);
  TZuzSqlParser parser;
  try {
    if (!parser.PrepareFilter(text, *samples)) return;
  } catch (const EZuzDatabaseError& e) {
    if (!ExpectedEngineError(e)) Finding("unexpected engine error", text, e.what());
    return;
  }
  TSqlFilter filter = parser.TakeFilter();
  std::string print = filter.Condition->ToSql();
  TZuzSqlParser again;
  if (!again.PrepareFilter(print, *samples)) Finding("filter print refused", print, "");
  if (again.TakeFilter().Condition->ToDump() != filter.Condition->ToDump()) {
    Finding("filter print parses to another tree", text, print);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (SqlTokenize(text).empty()) Finding("no end token", text, "");
  RoundTrip(text, &test::PlannerCatalogue());
  RoundTrip(text, nullptr);
  Filter(text);
  return 0;
}
