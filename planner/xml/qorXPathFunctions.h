// The operators and the function library of path predicates, on variants.
//
// Operators: "+" joins two texts and adds anything else as numbers; "-", "*" and "div" (real
// division) work on numbers; a text taking part converts to a number with the regional decimal
// separator. Two whole numbers give a whole number when the result fits 32 bits; a date plus or
// minus a number stays a date. Comparisons give booleans: two texts compare byte by byte (letter
// case counts), a text against a date as dates, a text against a boolean as booleans, anything
// else as numbers. "and" and "or" are logical on booleans and bitwise on whole numbers. A Null
// operand gives Null. A result that is not a finite number, a division by zero and an operand
// that does not convert raise (the evaluator turns that into a Null result).
//
// Functions take their arguments in written order; each raises only where its arguments cannot
// be used at all (see the table in the implementation).
#pragma once

#include <string_view>

#include "planner/base/qorVariant.h"
#include "planner/xml/qorXPathTokenizer.h"

class TqorXMLNode2;

// Applies a binary operator. REQUIRES: code is an operator (Or .. Times).
TqorVariant XPathOperator(TTokenCode code, const TqorVariant& left, const TqorVariant& right);
// Calls a function; args holds its Arity arguments in written order, context is the context
// element or nullptr. REQUIRES: code is a function (Sin .. Get).
TqorVariant XPathFunction(TTokenCode code, const TqorVariant* args, TqorXMLNode2* context);
// The variant negation: logical for booleans, the bitwise complement of the whole number for
// numbers and number texts ("True"/"False" texts as booleans); Null stays Null. Raises
// EqorVariantError for any other text.
TqorVariant XPathNegate(const TqorVariant& value);
// True when the text matches the pattern, letter case ignored; "%" in the pattern stands for
// any run of characters, including none.
bool XPathLike(std::string_view text, std::string_view pattern);
// The variable element a name stands for, seen from the context element: the first direct
// child with that "id" of the nearest "xel:function" ancestor (or, failing one, "xel:program"
// ancestor), if that child is an "xel:var"; otherwise the search continues from that ancestor
// upwards and ends after an "xel:program". nullptr when there is none.
TqorXMLNode2* XPathVariable(TqorXMLNode2* context, std::string_view name);
