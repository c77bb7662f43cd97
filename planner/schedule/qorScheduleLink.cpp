#include "planner/schedule/qorScheduleLink.h"

namespace {

constexpr std::string_view kTexts[] = {"FS", "SS", "FF", "SF"};

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string_view LinkTypeText(TqorLinkType type) {
  return kTexts[static_cast<int>(type)];
}

bool TryParseLinkType(std::string_view text, TqorLinkType& type) {
  if (text.size() != 2) return false;
  const char upper[2] = {Upper(text[0]), Upper(text[1])};
  for (int i = 0; i < 4; ++i) {
    if (kTexts[i] == std::string_view(upper, 2)) {
      type = static_cast<TqorLinkType>(i);
      return true;
    }
  }
  return false;
}
