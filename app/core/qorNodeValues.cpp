#include "app/core/qorNodeValues.h"

#include "planner/xml/qorXMLNode2.h"

std::string NodeText(const TqorXMLNode2* node, std::string_view name) {
  return node->GetAttributeStr(name);
}

double NodeReal(const TqorXMLNode2* node, std::string_view name) {
  double value = 0;
  const TqorVariant* v = node->FindAttribute(name);
  return v && v->TryToReal(value) ? value : 0;
}

double NodeDate(const TqorXMLNode2* node, std::string_view name) {
  double value = 0;
  const TqorVariant* v = node->FindAttribute(name);
  return v && v->TryToDate(value) ? value : 0;
}

bool NodeFlag(const TqorXMLNode2* node, std::string_view name) {
  bool value = false;
  const TqorVariant* v = node->FindAttribute(name);
  return v && v->TryToBool(value) && value;
}
