#include "app/core/qorTextColumns.h"

std::string CheckTextLengths(const std::vector<TqorTextField>& fields) {
  std::string lines;
  int count = 0;
  for (const TqorTextField& field : fields) {
    if (field.Text.size() <= field.MaxBytes) continue;
    lines += field.Name + ": " + std::to_string(field.Text.size()) + " bytes, at most " +
             std::to_string(field.MaxBytes) + "\r\n";
    ++count;
  }
  if (count == 0) return {};
  return std::string(count == 1 ? "The following field is too long to store:"
                                : "The following fields are too long to store:") +
         "\r\n\r\n" + lines +
         "\r\nA length counts bytes of UTF-8: a character beyond plain ASCII (an accented letter, "
         "a letter of another script) takes 2 to 4 of them.";
}
