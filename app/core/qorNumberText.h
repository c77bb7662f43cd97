// Numbers as the planner's dialogs and prompts show and read them: general format with up to 15
// significant digits and "." as decimal separator in every regional setting (37.5, 100,
// 66.6666666666667); a text is a number when the whole of it reads as one with ".".
#pragma once

#include <string>
#include <string_view>

std::string FormatNumber(double value);
// True with the value when the text is a finite decimal number with "." (blanks around, a sign
// and an exponent allowed); false for "", "1,5", "abc", and numbers too large for a double.
bool ParseNumber(std::string_view text, double& value);
