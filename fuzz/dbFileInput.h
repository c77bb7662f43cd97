// The input of the database file fuzz target: a database file and the journal and lock file
// beside it, given as runs of bytes (files are mostly zero, so the runs keep inputs small and the
// fuzzer's changes on the bytes that matter). Layout (little-endian):
//
//   byte 0        options: bit 0 seals the database header's checksum over the damaged header,
//                 bit 1 the journal's two checksums, so that damage gets past them
//   then records until the input ends:
//     u8          file in bits 0-1 (0 database, 1 journal, 2 lock file, 3 a record to skip);
//                 bit 7 set: a size record, the u32 that follows is the file's size
//     u32         offset of the run (size records: the size)
//     u16         length n of the run (not in size records)
//     n bytes     the run
//
// A file is present when a record names it; its size is the largest of its size records and run
// ends. Runs and sizes past kMaxFileSize are dropped, so a file never exceeds it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzCrypt.h"
#include "db/storage/zuzJournal.h"
#include "tests/db/index/dbDamagedDb.h"

namespace zuz::fuzz {

constexpr uint32_t kMaxFileSize = 1u << 20;
constexpr uint8_t kSealHeader = 1, kSealJournal = 2;
constexpr uint8_t kSizeRecord = 0x80;

struct TDecodedFiles {
  test::TDbFiles files;
  bool present[3] = {false, false, false};
};

inline std::vector<uint8_t>& FileNo(test::TDbFiles& f, int no) {
  return no == 0 ? f.database : no == 1 ? f.journal : f.lockFile;
}

inline void SealDatabaseHeader(std::vector<uint8_t>& db) {
  if (db.size() < 254) return;
  PutU32(db.data() + 250, 0);
  PutU32(db.data() + 250, DatabaseHeaderChecksum(db.data()));
}

inline void SealJournal(std::vector<uint8_t>& j) {
  const size_t head = TZuzJournal::kHeaderSize;
  if (j.size() < head) return;
  const uint64_t length = GetU64(j.data() + 24);
  if (length > j.size() - head) return;
  PutU32(j.data() + 32, Crc32(j.data() + head, static_cast<size_t>(length)));
  PutU32(j.data() + 36, Crc32(j.data(), 36));
}

inline TDecodedFiles DecodeDbFiles(const uint8_t* data, size_t size) {
  TDecodedFiles out;
  if (size == 0) return out;
  const uint8_t options = data[0];
  size_t at = 1;
  while (at + 5 <= size) {
    const uint8_t kind = data[at];
    const int no = kind & 3;
    const uint32_t offset = GetU32(data + at + 1);
    at += 5;
    if (kind & kSizeRecord) {
      if (no == 3 || offset > kMaxFileSize) continue;
      out.present[no] = true;
      std::vector<uint8_t>& file = FileNo(out.files, no);
      if (file.size() < offset) file.resize(offset);
      continue;
    }
    if (at + 2 > size) break;
    const size_t n = std::min<size_t>(GetU16(data + at), size - at - 2);
    at += 2;
    const uint8_t* run = data + at;
    at += n;
    if (no == 3 || offset > kMaxFileSize || n > kMaxFileSize - offset) continue;
    out.present[no] = true;
    std::vector<uint8_t>& file = FileNo(out.files, no);
    if (file.size() < offset + n) file.resize(offset + n);
    if (n > 0) std::memcpy(file.data() + offset, run, n);
  }
  if (options & kSealHeader) SealDatabaseHeader(out.files.database);
  if (options & kSealJournal) SealJournal(out.files.journal);
  return out;
}

// The encoding of the files: their sizes and their runs of non-zero bytes (runs closer than eight
// zero bytes are joined).
inline std::vector<uint8_t> EncodeDbFiles(const test::TDbFiles& files, uint8_t options) {
  std::vector<uint8_t> out{options};
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  test::TDbFiles copy = files;
  for (int no = 0; no < 3; ++no) {
    const std::vector<uint8_t>& f = FileNo(copy, no);
    if (f.empty()) continue;
    out.push_back(static_cast<uint8_t>(no | kSizeRecord));
    put32(static_cast<uint32_t>(f.size()));
    size_t i = 0;
    while (i < f.size()) {
      if (f[i] == 0) {
        ++i;
        continue;
      }
      size_t end = i, zeros = 0;
      for (size_t k = i; k < f.size() && k - i < 0xFFFF && zeros < 8; ++k) {
        zeros = f[k] == 0 ? zeros + 1 : 0;
        if (f[k] != 0) end = k + 1;
      }
      out.push_back(static_cast<uint8_t>(no));
      put32(static_cast<uint32_t>(i));
      out.push_back(static_cast<uint8_t>((end - i) & 0xFF));
      out.push_back(static_cast<uint8_t>((end - i) >> 8));
      out.insert(out.end(), f.begin() + static_cast<std::ptrdiff_t>(i),
                 f.begin() + static_cast<std::ptrdiff_t>(end));
      i = end;
    }
  }
  return out;
}

}  // namespace zuz::fuzz
