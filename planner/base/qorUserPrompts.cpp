#include "planner/base/qorUserPrompts.h"

#include <cstdio>

namespace {
TqorUserPrompts* g_prompts = nullptr;
}

TqorUserPrompts* SetUserPrompts(TqorUserPrompts* prompts) {
  TqorUserPrompts* old = g_prompts;
  g_prompts = prompts;
  return old;
}

TqorUserPrompts* UserPrompts() {
  return g_prompts;
}

void ShowMessage(const std::string& text) {
  if (g_prompts) {
    g_prompts->ShowMessage(text);
    return;
  }
  std::fprintf(stderr, "%s\n", text.c_str());
}

bool TqorUserPrompts::InputQuery(const std::string&, const std::string&, std::string&) {
  return false;
}

bool InputQuery(const std::string& caption, const std::string& label, std::string& value) {
  return g_prompts && g_prompts->InputQuery(caption, label, value);
}

bool TqorUserPrompts::CheckedInputQuery(const std::string& caption, const std::string& label,
                                        std::string& value, const TqorInputCheck& check) {
  std::string text = value;
  for (;;) {
    if (!InputQuery(caption, label, text)) return false;
    const std::string problem = check ? check(text) : std::string();
    if (problem.empty()) break;
    ShowMessage(problem);
  }
  value = text;
  return true;
}

bool CheckedInputQuery(const std::string& caption, const std::string& label, std::string& value,
                       const TqorInputCheck& check) {
  return g_prompts && g_prompts->CheckedInputQuery(caption, label, value, check);
}
