#include "db/storage/zuzError.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "db/storage/zuzErrorCodes.h"
#include "db/storage/zuzLogger.h"

namespace zuz {

namespace {

// Codes the engine reserves but never raises carry this text.
constexpr const char* kReserved = "Reserved error code";

#define ZUZ_TABLE_ENTRY(name, code, text) {static_cast<uint16_t>(name), text},
#define ZUZ_RESERVED_ENTRY(code) {code, kReserved},
// Entry 0 is the answer for codes not in the table; entries 1 onwards are sorted by code.
constexpr TZuzErrorEntry kCodeTable[] = {ZUZ_CODE_TABLE(ZUZ_TABLE_ENTRY, ZUZ_RESERVED_ENTRY)};
#undef ZUZ_TABLE_ENTRY
#undef ZUZ_RESERVED_ENTRY

constexpr std::size_t kCodeTableSize = sizeof(kCodeTable) / sizeof(kCodeTable[0]);

std::string Printf(const char* format, auto... args) {
  int n = std::snprintf(nullptr, 0, format, args...);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  std::snprintf(out.data(), out.size() + 1, format, args...);
  return out;
}

}  // namespace

EZuzDatabaseError::EZuzDatabaseError(int code, std::string tableText, std::string caller,
                                     std::string customMessage, std::string objectName)
    : std::runtime_error(FormatMessage(code, tableText, customMessage)),
      code_(code),
      tableText_(std::move(tableText)),
      caller_(std::move(caller)),
      customMessage_(std::move(customMessage)),
      objectName_(std::move(objectName)) {}

std::string EZuzDatabaseError::FormatMessage(int code, const std::string& tableText,
                                             const std::string& customMessage) {
  if (!customMessage.empty()) {
    return Printf("The Zezad database engine raised an error\r\n %s (error code #%d) - %s",
                  tableText.c_str(), code, customMessage.c_str());
  }
  return Printf("The Zezad database engine raised an error\r\n (error code #%d). %s", code,
                tableText.c_str());
}

const TZuzErrorEntry& LookupErrorCode(int code) {
  const TZuzErrorEntry* first = kCodeTable + 1;
  const TZuzErrorEntry* last = kCodeTable + kCodeTableSize;
  const TZuzErrorEntry* it = std::lower_bound(
      first, last, code, [](const TZuzErrorEntry& e, int c) { return e.code < c; });
  if (code >= 0 && code <= 0xFFFF && it != last && it->code == code) return *it;
  return kCodeTable[0];
}

int ErrorCodeTableSize() {
  return static_cast<int>(kCodeTableSize);
}

void ZuzDatabaseError(int code, std::string_view caller, std::string_view customMessage,
                      std::string_view objectName) {
  const TZuzErrorEntry& entry = LookupErrorCode(code);
  std::string object(objectName.empty() ? std::string_view("TZuzEngine") : objectName);
  std::string custom(customMessage);
  TDBLogger::Instance().AddLine(
      std::string(caller),
      Printf("Exception:  Caller %20s ErrCode %5d [ErrContext %s]. CustomMsg %s", object.c_str(),
             static_cast<int>(entry.code), entry.text, custom.c_str()));
  throw EZuzDatabaseError(code, entry.text, std::string(caller), std::move(custom),
                          std::move(object));
}

void ZuzInternalError(std::string_view caller, std::string_view message) {
  ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, message);
}

}  // namespace zuz
