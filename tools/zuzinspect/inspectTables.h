// The table view of zuzinspect: the catalogues with every table's definition, and the records of
// one table field by field. It reads the file's bytes itself (decrypting pages where the tables
// are encrypted), so that it also shows what it can of a damaged file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Prints the tables of both catalogues (listTables) and/or the records of the named table
// (recordsOf, or null). masterKey: the database's master key, or null for the built-in key.
// Returns the number of problems found.
int InspectTables(const std::vector<uint8_t>& file, const char* masterKey, bool listTables,
                  const char* recordsOf);
