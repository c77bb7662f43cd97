// Damaging a planner file as a failing disk or a stray write would: a page of a table's records
// overwritten with zeros, or a byte of a table definition's text changed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "db/access/qorDatabaseController.h"
#include "db/objects/zuzDatabase.h"
#include "db/record/zuzDataUnit.h"
#include "db/record/zuzTableMgrUnit.h"
#include "db/storage/zuzLockProvider.h"

// Overwrites with zeros the page holding the middle record of the table; returns its number.
inline int64_t ZeroRecordPage(const std::string& path, const std::string& table) {
  constexpr int64_t kPage = 4096;
  int64_t page = 0;
  {
    TqorDatabaseController c;
    c.OpenDatabase(path);
    zuz::TTableMgr& tables = *c.Database().Tables();
    std::unique_ptr<zuz::TOpenTable> open = tables.OpenTable(table);
    std::vector<uint32_t> addresses;
    {
      zuz::TOpenTable::TLockScope lock(*open, zuz::ltRead);
      addresses = open->RecordAddresses();
    }
    tables.ReturnTable(std::move(open));
    if (addresses.empty()) {
      ADD_FAILURE() << "the table " << table << " has no record";
      return -1;
    }
    page = addresses[addresses.size() / 2] / kPage;
  }
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(page * kPage);
  file.write(std::string(kPage, '\0').data(), kPage);
  return page;
}

// Replaces the first occurrence of from in the file's bytes with to (of the same length).
inline void ReplaceInFile(const std::string& path, const std::string& from, const std::string& to) {
  std::string bytes;
  {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const size_t at = bytes.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  ASSERT_EQ(from.size(), to.size());
  bytes.replace(at, from.size(), to);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
