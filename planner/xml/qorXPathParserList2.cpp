#include "planner/xml/qorXPathParserList2.h"

#include "planner/base/qorStrings.h"

std::string TqorXPathParserList2::Prepare(std::string_view predicate) {
  return ReplaceAll(ReplaceAll(ReplaceAll(predicate, "&lt;", "<"), "&gt;", ">"), "!=", "<>");
}

TqorXPathParser2& TqorXPathParserList2::Compile(std::string_view predicate) {
  const std::string prepared = Prepare(predicate);
  if (TqorXPathParser2* found = parsers_.Find(prepared)) {
    ++hits_;
    return *found;
  }
  ++misses_;
  auto parser = std::make_unique<TqorXPathParser2>();
  parser->Compile(prepared);
  return *parsers_.Set(prepared, std::move(parser));
}
