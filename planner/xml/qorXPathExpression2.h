// One compiled path predicate: its tokens and the postfix program built from them by operator
// precedence, and the state of a run of that program.
//
// Compiling: operands go to the program; "(" is pushed; an operator or function first moves
// every operator on top of the stack with an equal or higher precedence to the program
// (stopping at "("), then is pushed; ")" moves operators down to the nearest "(" and drops it;
// a comma inside parentheses moves the operators above the nearest "(" (so that "f(a - b, c)"
// passes a - b); other commas and number signs are skipped; at the end the remaining operators
// follow. A ")" without
// "(" or a "(" left open makes the compilation fail: the program stays as far as it was built
// (and is what runs), CompileError says why.
//
// Running: operands push their values, operators pop right then left, functions pop their
// arguments (the last first); the result is the top of the stack (Null when empty). Popping an
// empty stack gives Null. Any error stops the run and makes the result Null (EvalError says
// why), as does a run that needs more than kMaxStack values at once.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "planner/base/qorVariant.h"
#include "planner/xml/qorXPathTokenizer.h"

class TqorXMLNode2;

class TqorXPathExpression2 {
 public:
  static constexpr size_t kMaxStack = 100;

  // (expression, attribute name) to the attribute's value.
  using TAttributeResolver =
      std::function<TqorVariant(const TqorXPathExpression2&, std::string_view)>;

  // An empty program; the attribute resolver reads the context element's attributes.
  TqorXPathExpression2();
  TqorXPathExpression2(const TqorXPathExpression2&) = delete;
  TqorXPathExpression2& operator=(const TqorXPathExpression2&) = delete;

  // Tokenizes and compiles text, replacing any earlier program. Never raises; false when the
  // compilation failed or tokenizing stopped before the end (see CompileError).
  bool Compile(std::string_view text);
  const std::string& Text() const { return text_; }
  // Empty after a compilation that used the whole text.
  const std::string& CompileError() const { return compileError_; }
  size_t ProgramSize() const { return program_.size(); }
  // The program in postfix order, items separated by blanks ("@a 1 = @b 2 = or"); for
  // diagnostics.
  std::string ProgramText() const;

  // The list being filtered, for "position", "first" and "last" (nullptr: none). The list must
  // outlive its use here.
  void SetList(const std::vector<TqorXMLNode2*>* list) { list_ = list; }
  // Runs the program with element (nullptr: none) as context; its position is looked up in the
  // list. Never raises.
  TqorVariant Evaluate(TqorXMLNode2* element);
  // As Evaluate, with the element's position in the list given. REQUIRES: position is -1 or
  // the element's index in the list.
  TqorVariant EvaluateAt(TqorXMLNode2* element, int position);
  // The error that stopped the last run, empty when it ran to its end.
  const std::string& EvalError() const { return evalError_; }

  // The context element of the run in progress (nullptr outside a run or without one).
  TqorXMLNode2* Context() const { return context_; }
  void SetAttributeResolver(TAttributeResolver resolver) { resolver_ = std::move(resolver); }
  // The clock behind "date" and "time": the current local day number with its time of day.
  // Read once per run.
  void SetClock(std::function<double()> clock) { clock_ = std::move(clock); }
  static double LocalNow();

 private:
  TqorVariant Run();
  TqorVariant OperandValue(const TToken& token);
  TqorVariant Location(const std::string& word);
  void Push(TqorVariant value);
  TqorVariant Pop();

  std::string text_;
  std::string compileError_;
  std::vector<TToken> tokens_;
  std::vector<size_t> program_;  // indexes into tokens_
  bool usesClock_ = false;

  std::vector<TqorVariant> stack_;
  size_t item_ = 0;  // the program item being executed
  TqorXMLNode2* context_ = nullptr;
  int position_ = -1;
  const std::vector<TqorXMLNode2*>* list_ = nullptr;
  std::string date_, time_;  // "yyyy-mm-dd" and "hh:nn:ss" of the run
  std::string evalError_;
  TAttributeResolver resolver_;
  std::function<double()> clock_;
};
