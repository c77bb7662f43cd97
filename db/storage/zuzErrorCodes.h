// The engine's code table: every error code with its name and its table text, in the order of
// the table (entry 0 answers for codes not in it; entries 1 onwards are sorted by code). Entries
// the engine never raises carry no name and the text "Reserved error code".
//
// This is the one place where engine error numbers are written: code and tests use the names
// (ZUZ_ERR_KEY_VIOLATION), never the numbers, and never look at message texts to tell errors
// apart.
#pragma once

// ZUZ_ERROR_CODE(name, code, text) for a code the engine raises, ZUZ_RESERVED_CODE(code) for one
// it never raises.
#define ZUZ_CODE_TABLE(ZUZ_ERROR_CODE, ZUZ_RESERVED_CODE)                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_UNKNOWN, 65535, "Error code unknown")                                    \
  ZUZ_RESERVED_CODE(130)                                                                          \
  ZUZ_ERROR_CODE(ZUZ_ERR_OPEN_FILE, 8449, "Cannot open the requested file")                       \
  ZUZ_ERROR_CODE(ZUZ_ERR_IO, 8450, "I/O error on a system file")                                  \
  ZUZ_ERROR_CODE(ZUZ_ERR_CORRUPT, 8451, "Data structure corruption")                              \
  ZUZ_RESERVED_CODE(8455)                                                                         \
  ZUZ_RESERVED_CODE(8458)                                                                         \
  ZUZ_RESERVED_CODE(8459)                                                                         \
  ZUZ_RESERVED_CODE(8461)                                                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_NOT_INITIALIZED, 8576, "System object is not initialized")               \
  ZUZ_ERROR_CODE(ZUZ_ERR_INVALID_OPERATION, 8577, "Operation is not valid on this object")        \
  ZUZ_ERROR_CODE(ZUZ_ERR_IN_USE, 8578, "The requested object is in use")                          \
  ZUZ_ERROR_CODE(ZUZ_ERR_NOT_FOUND, 8579, "The requested object could not be found")              \
  ZUZ_ERROR_CODE(ZUZ_ERR_ALREADY_EXISTS, 8580, "The requested object already exists")             \
  ZUZ_ERROR_CODE(ZUZ_ERR_INTERNAL, 8581,                                                          \
                 "There was an unexpected internal error in the database engine")                 \
  ZUZ_ERROR_CODE(ZUZ_ERR_CREATE, 8582, "The database file could not be created")                  \
  ZUZ_RESERVED_CODE(8705)                                                                         \
  ZUZ_RESERVED_CODE(8706)                                                                         \
  ZUZ_RESERVED_CODE(8707)                                                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_RECORD_CHANGED, 8708, "Record Deleted/Key Modified")                     \
  ZUZ_RESERVED_CODE(8709)                                                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_RECORD_NOT_FOUND, 8710, "Record was not found")                          \
  ZUZ_RESERVED_CODE(8711)                                                                         \
  ZUZ_RESERVED_CODE(8712)                                                                         \
  ZUZ_RESERVED_CODE(8713)                                                                         \
  ZUZ_RESERVED_CODE(8714)                                                                         \
  ZUZ_RESERVED_CODE(8715)                                                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_CORRUPT_HEADER, 8961, "Corrupt Header")                                  \
  ZUZ_RESERVED_CODE(8962)                                                                         \
  ZUZ_RESERVED_CODE(8963)                                                                         \
  ZUZ_RESERVED_CODE(8964)                                                                         \
  ZUZ_RESERVED_CODE(8965)                                                                         \
  ZUZ_RESERVED_CODE(8966)                                                                         \
  ZUZ_RESERVED_CODE(8967)                                                                         \
  ZUZ_RESERVED_CODE(8968)                                                                         \
  ZUZ_RESERVED_CODE(8969)                                                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_READ, 9217, "Disk read failure")                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_WRITE, 9218, "Disk write failure")                                       \
  ZUZ_RESERVED_CODE(9219)                                                                         \
  ZUZ_RESERVED_CODE(9220)                                                                         \
  ZUZ_RESERVED_CODE(9221)                                                                         \
  ZUZ_RESERVED_CODE(9222)                                                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_COPY_FAILED, 9344, "File copy failed")                                   \
  ZUZ_RESERVED_CODE(9473)                                                                         \
  ZUZ_RESERVED_CODE(9474)                                                                         \
  ZUZ_RESERVED_CODE(9475)                                                                         \
  ZUZ_RESERVED_CODE(9476)                                                                         \
  ZUZ_RESERVED_CODE(9477)                                                                         \
  ZUZ_RESERVED_CODE(9478)                                                                         \
  ZUZ_RESERVED_CODE(9479)                                                                         \
  ZUZ_RESERVED_CODE(9480)                                                                         \
  ZUZ_RESERVED_CODE(9481)                                                                         \
  ZUZ_RESERVED_CODE(9482)                                                                         \
  ZUZ_RESERVED_CODE(9483)                                                                         \
  ZUZ_RESERVED_CODE(9484)                                                                         \
  ZUZ_RESERVED_CODE(9485)                                                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_TOO_MANY_CLIENTS, 9486, "Too many clients ")                             \
  ZUZ_RESERVED_CODE(9487)                                                                         \
  ZUZ_RESERVED_CODE(9488)                                                                         \
  ZUZ_RESERVED_CODE(9489)                                                                         \
  ZUZ_RESERVED_CODE(9490)                                                                         \
  ZUZ_RESERVED_CODE(9491)                                                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_FIELD_COUNT, 9492, "None or too many Fields in Table Create ")           \
  ZUZ_RESERVED_CODE(9493)                                                                         \
  ZUZ_RESERVED_CODE(9494)                                                                         \
  ZUZ_RESERVED_CODE(9495)                                                                         \
  ZUZ_RESERVED_CODE(9496)                                                                         \
  ZUZ_RESERVED_CODE(9497)                                                                         \
  ZUZ_RESERVED_CODE(9498)                                                                         \
  ZUZ_RESERVED_CODE(9499)                                                                         \
  ZUZ_RESERVED_CODE(9500)                                                                         \
  ZUZ_RESERVED_CODE(9501)                                                                         \
  ZUZ_RESERVED_CODE(9502)                                                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_FILE_SIZE_LIMIT, 9600, "The database file size limit has been reached")  \
  ZUZ_ERROR_CODE(ZUZ_ERR_TABLE_LIMIT, 9601, "The database table limit has been reached")          \
  ZUZ_ERROR_CODE(ZUZ_ERR_KEY_TOO_LARGE, 9602, "Key size too large")                               \
  ZUZ_RESERVED_CODE(9603)                                                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_TOO_MANY_INDEXES, 9604, "Too many indexes")                              \
  ZUZ_ERROR_CODE(ZUZ_ERR_NAME_RANGE, 9605, "The object name is out of range")                     \
  ZUZ_ERROR_CODE(ZUZ_ERR_FIELD_LENGTH, 9606, "The field length is invalid")                       \
  ZUZ_ERROR_CODE(ZUZ_ERR_SQL, 9645, "SQL Error")                                                  \
  ZUZ_ERROR_CODE(ZUZ_ERR_SINGLE_ROW, 9650, "Single row result set returned multiple rows")        \
  ZUZ_ERROR_CODE(ZUZ_ERR_SUBQUERY_COLUMNS, 9656, "Subquery result set returned multiple columns") \
  ZUZ_ERROR_CODE(ZUZ_ERR_KEY_VIOLATION, 9729, "Key violation ")                                   \
  ZUZ_RESERVED_CODE(9730)                                                                         \
  ZUZ_RESERVED_CODE(9731)                                                                         \
  ZUZ_RESERVED_CODE(9732)                                                                         \
  ZUZ_RESERVED_CODE(9733)                                                                         \
  ZUZ_RESERVED_CODE(9734)                                                                         \
  ZUZ_RESERVED_CODE(9735)                                                                         \
  ZUZ_RESERVED_CODE(9736)                                                                         \
  ZUZ_RESERVED_CODE(9737)                                                                         \
  ZUZ_RESERVED_CODE(9738)                                                                         \
  ZUZ_RESERVED_CODE(9739)                                                                         \
  ZUZ_RESERVED_CODE(9740)                                                                         \
  ZUZ_RESERVED_CODE(9741)                                                                         \
  ZUZ_RESERVED_CODE(9742)                                                                         \
  ZUZ_RESERVED_CODE(9743)                                                                         \
  ZUZ_RESERVED_CODE(9744)                                                                         \
  ZUZ_RESERVED_CODE(9745)                                                                         \
  ZUZ_RESERVED_CODE(9746)                                                                         \
  ZUZ_RESERVED_CODE(9747)                                                                         \
  ZUZ_RESERVED_CODE(9748)                                                                         \
  ZUZ_RESERVED_CODE(9749)                                                                         \
  ZUZ_RESERVED_CODE(9750)                                                                         \
  ZUZ_RESERVED_CODE(9751)                                                                         \
  ZUZ_RESERVED_CODE(9985)                                                                         \
  ZUZ_RESERVED_CODE(9986)                                                                         \
  ZUZ_RESERVED_CODE(9987)                                                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_FILE_NOT_FOUND, 9988, "File not found")                                  \
  ZUZ_RESERVED_CODE(9989)                                                                         \
  ZUZ_RESERVED_CODE(9990)                                                                         \
  ZUZ_RESERVED_CODE(9991)                                                                         \
  ZUZ_RESERVED_CODE(9992)                                                                         \
  ZUZ_RESERVED_CODE(9993)                                                                         \
  ZUZ_RESERVED_CODE(9994)                                                                         \
  ZUZ_RESERVED_CODE(9995)                                                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_INVALID_MODIFY, 9996, "Invalid modify request")                          \
  ZUZ_ERROR_CODE(ZUZ_ERR_NO_SUCH_INDEX, 9997, "Index does not exist")                             \
  ZUZ_RESERVED_CODE(9998)                                                                         \
  ZUZ_RESERVED_CODE(9999)                                                                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_FIELD_TYPE, 10000, "Invalid field type")                                 \
  ZUZ_RESERVED_CODE(10001)                                                                        \
  ZUZ_RESERVED_CODE(10002)                                                                        \
  ZUZ_RESERVED_CODE(10003)                                                                        \
  ZUZ_RESERVED_CODE(10004)                                                                        \
  ZUZ_RESERVED_CODE(10005)                                                                        \
  ZUZ_RESERVED_CODE(10006)                                                                        \
  ZUZ_RESERVED_CODE(10007)                                                                        \
  ZUZ_RESERVED_CODE(10008)                                                                        \
  ZUZ_RESERVED_CODE(10009)                                                                        \
  ZUZ_RESERVED_CODE(10010)                                                                        \
  ZUZ_RESERVED_CODE(10011)                                                                        \
  ZUZ_RESERVED_CODE(10012)                                                                        \
  ZUZ_RESERVED_CODE(10013)                                                                        \
  ZUZ_RESERVED_CODE(10014)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_INVALID_LOGIN, 10015, "Invalid password/username given")                 \
  ZUZ_RESERVED_CODE(10016)                                                                        \
  ZUZ_RESERVED_CODE(10017)                                                                        \
  ZUZ_RESERVED_CODE(10018)                                                                        \
  ZUZ_RESERVED_CODE(10019)                                                                        \
  ZUZ_RESERVED_CODE(10020)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_BOOKMARK, 10021,                                                         \
                 "Bookmark does not match table or the bookmarked record cannot be found")        \
  ZUZ_RESERVED_CODE(10022)                                                                        \
  ZUZ_RESERVED_CODE(10023)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_NO_SUCH_TABLE, 10024, "No such table")                                   \
  ZUZ_RESERVED_CODE(10025)                                                                        \
  ZUZ_RESERVED_CODE(10026)                                                                        \
  ZUZ_RESERVED_CODE(10027)                                                                        \
  ZUZ_RESERVED_CODE(10028)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_BLOB_LENGTH, 10029, "Invalid Blob Length")                               \
  ZUZ_RESERVED_CODE(10030)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_TABLE_OPEN, 10031, "Table is open")                                      \
  ZUZ_RESERVED_CODE(10032)                                                                        \
  ZUZ_RESERVED_CODE(10033)                                                                        \
  ZUZ_RESERVED_CODE(10034)                                                                        \
  ZUZ_RESERVED_CODE(10035)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_BAD_PASSWORD, 10036, "Bad user name or password")                        \
  ZUZ_RESERVED_CODE(10037)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_FIELD_NAME, 10038, "Invalid field name")                                 \
  ZUZ_ERROR_CODE(ZUZ_ERR_TABLE_NAME, 10039, "Invalid table name")                                 \
  ZUZ_RESERVED_CODE(10040)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_RESERVED_NAME, 10041, "Name is reserved")                                \
  ZUZ_RESERVED_CODE(10042)                                                                        \
  ZUZ_RESERVED_CODE(10043)                                                                        \
  ZUZ_RESERVED_CODE(10044)                                                                        \
  ZUZ_RESERVED_CODE(10045)                                                                        \
  ZUZ_RESERVED_CODE(10046)                                                                        \
  ZUZ_RESERVED_CODE(10047)                                                                        \
  ZUZ_RESERVED_CODE(10048)                                                                        \
  ZUZ_RESERVED_CODE(10049)                                                                        \
  ZUZ_RESERVED_CODE(10050)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_FILTER, 10051, "Invalid filter/filter expression")                       \
  ZUZ_RESERVED_CODE(10052)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_TABLE_DELETE, 10053, "Invalid table delete request")                     \
  ZUZ_RESERVED_CODE(10054)                                                                        \
  ZUZ_RESERVED_CODE(10055)                                                                        \
  ZUZ_RESERVED_CODE(10056)                                                                        \
  ZUZ_RESERVED_CODE(10057)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_TIME_VALUE, 10058, "Invalid time value")                                 \
  ZUZ_ERROR_CODE(ZUZ_ERR_DATE_VALUE, 10059, "Invalid date value")                                 \
  ZUZ_RESERVED_CODE(10060)                                                                        \
  ZUZ_RESERVED_CODE(10061)                                                                        \
  ZUZ_RESERVED_CODE(10062)                                                                        \
  ZUZ_RESERVED_CODE(10063)                                                                        \
  ZUZ_RESERVED_CODE(10064)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_PROCEDURE_NAME, 10065, "Invalid procedure name")                         \
  ZUZ_RESERVED_CODE(10066)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_NO_ENGINE, 10112, "There is no connection to a database engine")         \
  ZUZ_ERROR_CODE(ZUZ_ERR_NOT_CONNECTED, 10113,                                                    \
                 "Cannot perform this operation on an unconnected database")                      \
  ZUZ_RESERVED_CODE(10115)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_NO_SUCH_FIELD, 10116, "No such field")                                   \
  ZUZ_ERROR_CODE(ZUZ_ERR_NOT_INDEXABLE, 10117, "Field type cannot be indexed")                    \
  ZUZ_ERROR_CODE(ZUZ_ERR_DATABASE_NAME, 10118, "Database name is invalid")                        \
  ZUZ_RESERVED_CODE(10119)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_CONNECTED, 10120,                                                        \
                 "Cannot perform this operation on a connected database")                         \
  ZUZ_ERROR_CODE(ZUZ_ERR_NOT_EXCLUSIVE, 10121,                                                    \
                 "Cannot perform this operation without exclusive database access")               \
  ZUZ_ERROR_CODE(ZUZ_ERR_IN_TRANSACTION, 10122,                                                   \
                 "Cannot perform this operation while a transaction is active")                   \
  ZUZ_RESERVED_CODE(10123)                                                                        \
  ZUZ_RESERVED_CODE(10124)                                                                        \
  ZUZ_RESERVED_CODE(10125)                                                                        \
  ZUZ_RESERVED_CODE(10241)                                                                        \
  ZUZ_RESERVED_CODE(10242)                                                                        \
  ZUZ_RESERVED_CODE(10243)                                                                        \
  ZUZ_RESERVED_CODE(10244)                                                                        \
  ZUZ_RESERVED_CODE(10245)                                                                        \
  ZUZ_RESERVED_CODE(10246)                                                                        \
  ZUZ_RESERVED_CODE(10247)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_NO_LOCK, 10248,                                                          \
                 "This operation cannot be performed without a prior lock")                       \
  ZUZ_ERROR_CODE(ZUZ_ERR_LOCK_TIMEOUT, 10249,                                                     \
                 "The requested lock could not be obtained. The request timed out")               \
  ZUZ_RESERVED_CODE(10250)                                                                        \
  ZUZ_RESERVED_CODE(10251)                                                                        \
  ZUZ_RESERVED_CODE(10252)                                                                        \
  ZUZ_RESERVED_CODE(10253)                                                                        \
  ZUZ_RESERVED_CODE(10254)                                                                        \
  ZUZ_RESERVED_CODE(10255)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_TRANSACTION_ACTIVE, 10256, "Transaction already active")                 \
  ZUZ_ERROR_CODE(ZUZ_ERR_NO_TRANSACTION, 10257, "There are no active transactions")               \
  ZUZ_RESERVED_CODE(10258)                                                                        \
  ZUZ_RESERVED_CODE(10259)                                                                        \
  ZUZ_RESERVED_CODE(10260)                                                                        \
  ZUZ_RESERVED_CODE(10263)                                                                        \
  ZUZ_RESERVED_CODE(10497)                                                                        \
  ZUZ_RESERVED_CODE(10498)                                                                        \
  ZUZ_RESERVED_CODE(10499)                                                                        \
  ZUZ_RESERVED_CODE(10500)                                                                        \
  ZUZ_RESERVED_CODE(10501)                                                                        \
  ZUZ_RESERVED_CODE(10502)                                                                        \
  ZUZ_RESERVED_CODE(10503)                                                                        \
  ZUZ_RESERVED_CODE(10504)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_PRIVILEGE, 10624,                                                        \
                 "You do not have the privilege/s required to perform this function")             \
  ZUZ_ERROR_CODE(ZUZ_ERR_NOT_A_BLOB, 10753, "Field is not a blob")                                \
  ZUZ_RESERVED_CODE(10754)                                                                        \
  ZUZ_RESERVED_CODE(10755)                                                                        \
  ZUZ_RESERVED_CODE(10756)                                                                        \
  ZUZ_RESERVED_CODE(10757)                                                                        \
  ZUZ_RESERVED_CODE(10758)                                                                        \
  ZUZ_RESERVED_CODE(10759)                                                                        \
  ZUZ_RESERVED_CODE(10760)                                                                        \
  ZUZ_RESERVED_CODE(10761)                                                                        \
  ZUZ_RESERVED_CODE(10762)                                                                        \
  ZUZ_RESERVED_CODE(10763)                                                                        \
  ZUZ_RESERVED_CODE(10764)                                                                        \
  ZUZ_RESERVED_CODE(10765)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_TABLE_TYPE, 10766,                                                       \
                 "The requested operation cannot be performed on this table type")                \
  ZUZ_RESERVED_CODE(10767)                                                                        \
  ZUZ_RESERVED_CODE(10768)                                                                        \
  ZUZ_RESERVED_CODE(10769)                                                                        \
  ZUZ_RESERVED_CODE(10770)                                                                        \
  ZUZ_RESERVED_CODE(10771)                                                                        \
  ZUZ_RESERVED_CODE(10772)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_IN_MEMORY, 10880,                                                        \
                 "The requested operation cannot be performed on an in-memory database")          \
  ZUZ_RESERVED_CODE(11009)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_NO_SUCH_FILE, 11010, "No such file or directory")                        \
  ZUZ_RESERVED_CODE(11011)                                                                        \
  ZUZ_RESERVED_CODE(11012)                                                                        \
  ZUZ_RESERVED_CODE(11013)                                                                        \
  ZUZ_RESERVED_CODE(11014)                                                                        \
  ZUZ_RESERVED_CODE(11015)                                                                        \
  ZUZ_RESERVED_CODE(11016)                                                                        \
  ZUZ_RESERVED_CODE(11017)                                                                        \
  ZUZ_RESERVED_CODE(11018)                                                                        \
  ZUZ_RESERVED_CODE(11019)                                                                        \
  ZUZ_RESERVED_CODE(11020)                                                                        \
  ZUZ_RESERVED_CODE(11021)                                                                        \
  ZUZ_RESERVED_CODE(11023)                                                                        \
  ZUZ_RESERVED_CODE(11024)                                                                        \
  ZUZ_RESERVED_CODE(11025)                                                                        \
  ZUZ_RESERVED_CODE(11026)                                                                        \
  ZUZ_RESERVED_CODE(11027)                                                                        \
  ZUZ_RESERVED_CODE(11028)                                                                        \
  ZUZ_RESERVED_CODE(11029)                                                                        \
  ZUZ_RESERVED_CODE(11030)                                                                        \
  ZUZ_RESERVED_CODE(11041)                                                                        \
  ZUZ_RESERVED_CODE(11042)                                                                        \
  ZUZ_RESERVED_CODE(11043)                                                                        \
  ZUZ_RESERVED_CODE(11047)                                                                        \
  ZUZ_RESERVED_CODE(11058)                                                                        \
  ZUZ_RESERVED_CODE(11059)                                                                        \
  ZUZ_RESERVED_CODE(11060)                                                                        \
  ZUZ_RESERVED_CODE(11061)                                                                        \
  ZUZ_RESERVED_CODE(11108)                                                                        \
  ZUZ_RESERVED_CODE(11109)                                                                        \
  ZUZ_RESERVED_CODE(11110)                                                                        \
  ZUZ_RESERVED_CODE(11111)                                                                        \
  ZUZ_RESERVED_CODE(11112)                                                                        \
  ZUZ_RESERVED_CODE(11113)                                                                        \
  ZUZ_RESERVED_CODE(11114)                                                                        \
  ZUZ_RESERVED_CODE(11265)                                                                        \
  ZUZ_RESERVED_CODE(11266)                                                                        \
  ZUZ_RESERVED_CODE(11267)                                                                        \
  ZUZ_RESERVED_CODE(11268)                                                                        \
  ZUZ_RESERVED_CODE(11269)                                                                        \
  ZUZ_RESERVED_CODE(11270)                                                                        \
  ZUZ_RESERVED_CODE(11271)                                                                        \
  ZUZ_RESERVED_CODE(11272)                                                                        \
  ZUZ_RESERVED_CODE(11273)                                                                        \
  ZUZ_RESERVED_CODE(11274)                                                                        \
  ZUZ_RESERVED_CODE(11275)                                                                        \
  ZUZ_RESERVED_CODE(11276)                                                                        \
  ZUZ_RESERVED_CODE(11277)                                                                        \
  ZUZ_RESERVED_CODE(11278)                                                                        \
  ZUZ_RESERVED_CODE(12033)                                                                        \
  ZUZ_RESERVED_CODE(12034)                                                                        \
  ZUZ_RESERVED_CODE(12035)                                                                        \
  ZUZ_RESERVED_CODE(12036)                                                                        \
  ZUZ_RESERVED_CODE(12037)                                                                        \
  ZUZ_RESERVED_CODE(12038)                                                                        \
  ZUZ_RESERVED_CODE(12039)                                                                        \
  ZUZ_RESERVED_CODE(12040)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_VERSION, 12041, "Higher database level required")                        \
  ZUZ_RESERVED_CODE(13057)                                                                        \
  ZUZ_RESERVED_CODE(13058)                                                                        \
  ZUZ_RESERVED_CODE(13059)                                                                        \
  ZUZ_ERROR_CODE(ZUZ_ERR_TABLE_EXISTS, 13060, "Table already exists")                             \
  ZUZ_RESERVED_CODE(13061)                                                                        \
  ZUZ_RESERVED_CODE(13062)

namespace zuz {

enum TZuzErrorCode : int {
#define ZUZ_NAME_CODE(name, code, text) name = code,  // NOLINT(bugprone-macro-parentheses)
#define ZUZ_SKIP_CODE(code)
  ZUZ_CODE_TABLE(ZUZ_NAME_CODE, ZUZ_SKIP_CODE)
#undef ZUZ_NAME_CODE
#undef ZUZ_SKIP_CODE
};

}  // namespace zuz
