// Reading the attributes of planner document elements as the dialogs show them: a missing
// attribute, or one whose value does not convert, reads as the empty text, 0 or false.
#pragma once

#include <string>
#include <string_view>

class TqorXMLNode2;

std::string NodeText(const TqorXMLNode2* node, std::string_view name);
double NodeReal(const TqorXMLNode2* node, std::string_view name);
// A day number, from a real or a date value alike.
double NodeDate(const TqorXMLNode2* node, std::string_view name);
bool NodeFlag(const TqorXMLNode2* node, std::string_view name);
