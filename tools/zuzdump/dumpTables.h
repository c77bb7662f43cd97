// The table view of zuzdump: the catalogues with every table's definition, and the records of
// one table field by field. It reads the file's bytes itself (decrypting pages where the tables
// are encrypted), so that it also shows what it can of a damaged file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Prints the tables of both catalogues (listTables), the records of the named table (recordsOf,
// or null), and the indexes of the named table (indexesOf, or null; only indexName when given):
// each index's definition, its levels with their nodes and fill, the tree checker's findings,
// its keys against the live records, and its first keyLimit keys in order, readable, with their
// record addresses. masterKey: the database's master key, or null for the built-in key.
// Returns the number of problems found.
int DumpTables(const std::vector<uint8_t>& file, const char* masterKey, bool listTables,
               const char* recordsOf, const char* indexesOf = nullptr,
               const char* indexName = nullptr, int64_t keyLimit = INT64_MAX);

// A day number (days since 30 December 1899) as "yyyy-mm-dd hh:nn:ss", or "(invalid date)".
std::string DayText(double day);
// The bytes in lower-case hexadecimal.
std::string Hex(const uint8_t* p, int n);
