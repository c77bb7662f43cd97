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

namespace zuz {

// Error codes used by the storage layer (the full table is in zuzError.cpp).
enum : int {
  ZUZ_ERR_UNKNOWN = 65535,
  ZUZ_ERR_OPEN_FILE = 8449,         // "Cannot open the requested file"
  ZUZ_ERR_IO = 8450,                // "I/O error on a system file"
  ZUZ_ERR_CORRUPT = 8451,           // "Data structure corruption"
  ZUZ_ERR_NOT_FOUND = 8579,         // "The requested object could not be found"
  ZUZ_ERR_INTERNAL = 8581,          // "There was an unexpected internal error ..."
  ZUZ_ERR_CREATE = 8582,            // "The database file could not be created"
  ZUZ_ERR_CORRUPT_HEADER = 8961,    // "Corrupt Header"
  ZUZ_ERR_READ = 9217,              // "Disk read failure"
  ZUZ_ERR_WRITE = 9218,             // "Disk write failure"
  ZUZ_ERR_FILE_SIZE_LIMIT = 9600,   // "The database file size limit has been reached"
  ZUZ_ERR_TABLE_LIMIT = 9601,       // "The database table limit has been reached"
  ZUZ_ERR_NOT_IMPLEMENTED = 10065,  // "Invalid procedure name"
  ZUZ_ERR_NO_LOCK = 10248,          // "This operation cannot be performed without a prior lock"
  ZUZ_ERR_LOCK_TIMEOUT = 10249,     // "The requested lock could not be obtained ..."
  ZUZ_ERR_TRANSACTION_ACTIVE = 10256,  // "Transaction already active"
  ZUZ_ERR_NO_TRANSACTION = 10257,      // "There are no active transactions"
  ZUZ_ERR_NO_SUCH_FILE = 11010,        // "No such file or directory"
  ZUZ_ERR_VERSION = 12041,             // "Higher database level required"
};

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
