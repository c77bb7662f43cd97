// The engine's exception and the one routine through which every engine error is raised.
//
// An error carries a numeric code looked up in the engine's code table (unknown codes take the
// table's first entry, 65535 "Error code unknown"), the caller text naming the operation that
// failed, an optional custom message and the name of the object that raised it. Every raise
// also adds a line to the diagnostic log.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "db/storage/zuzErrorCodes.h"

namespace zuz {

class EZuzDatabaseError : public std::runtime_error {
 public:
  EZuzDatabaseError(int code, std::string tableText, std::string caller, std::string customMessage,
                    std::string objectName);

  int ErrorCode() const { return code_; }
  // The code table's text for the code ("Error code unknown" for codes not in the table).
  const std::string& TableText() const { return tableText_; }
  const std::string& Caller() const { return caller_; }
  const std::string& CustomMessage() const { return customMessage_; }
  const std::string& ObjectName() const { return objectName_; }

  // The message text as the engine formats it, with or without a custom message.
  static std::string FormatMessage(int code, const std::string& tableText,
                                   const std::string& customMessage);

 private:
  int code_;
  std::string tableText_;
  std::string caller_;
  std::string customMessage_;
  std::string objectName_;
};

// One entry of the engine's code table.
struct TZuzErrorEntry {
  uint16_t code;
  const char* text;
};

// Looks the code up in the code table; a code not in it gives entry 0 (65535).
const TZuzErrorEntry& LookupErrorCode(int code);
// The number of entries of the code table, entry 0 included.
int ErrorCodeTableSize();

// Raises EZuzDatabaseError for the code after logging it under the caller text.
// objectName is the raising object's name (its class name when it has none).
[[noreturn]] void ZuzDatabaseError(int code, std::string_view caller,
                                   std::string_view customMessage = {},
                                   std::string_view objectName = {});

// Raises the engine's internal-error code 8581 for a failed consistency check: a damaged file
// must stop the operation with an error, never end the program.
[[noreturn]] void ZuzInternalError(std::string_view caller, std::string_view message);

}  // namespace zuz
