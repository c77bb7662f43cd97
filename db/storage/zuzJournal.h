// The rollback journal of a commit: the bytes a commit overwrites, saved beside the database file
// before the first of them is written, so that a commit cut short by a crash, a power cut or a
// write error can be undone. Its name is the database file's with ".journal" added
// ("db/Vazadod.zuz" -> "db/Vazadod.zuz.journal").
//
// Layout (all numbers little-endian):
//   header, 512 bytes at offset 0
//     0    8    "VZJRNL01"
//     8    u32  database page size
//     12   u32  number of images
//     16   u64  the database file's size when the transaction started
//     24   u64  length of the image records (the bytes from offset 512 on)
//     32   u32  CRC-32 of the image records
//     36   u32  CRC-32 of header bytes 0..35
//     40   ...  zero
//   image records from offset 512, one after another
//     0    u64  address in the database file
//     8    u32  length n
//     12   u32  zero
//     16   n    the raw bytes (as they lie in the file, encrypted pages encrypted)
//
// A journal is whole when both checksums hold and every record lies within the recorded size.
// Commit protocol:
//   1. the journal is written (images of every byte the commit overwrites that lay within the
//      file at the start; appended pages need none), synced, and its folder synced;
//   2. the database bytes are written and the database file synced;
//   3. the commit point: the journal's header is cleared and synced, so it is no longer whole;
//   4. the journal is deleted.
// A whole journal found later means the commit did not reach step 3: the images are written back,
// the file is cut to the recorded size and synced, and the journal is cleared and deleted. A
// journal that is not whole is left from a commit that never wrote the database (or that
// finished): it is deleted.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zuz {

class TZuzFileSystem;
class TZuzOSFile;

struct TJournalImage {
  int64_t address = 0;
  std::vector<uint8_t> bytes;
};

struct TJournalContents {
  int pageSize = 0;
  int64_t sizeBefore = 0;
  std::vector<TJournalImage> images;
};

std::string JournalFileNameFor(const std::string& databasePath);

class TZuzJournal {
 public:
  static constexpr int kHeaderSize = 512;

  TZuzJournal(TZuzFileSystem& fs, std::string path);
  ~TZuzJournal();
  TZuzJournal(const TZuzJournal&) = delete;
  TZuzJournal& operator=(const TZuzJournal&) = delete;

  const std::string& Path() const { return path_; }

  // Step 1: creates the journal with the images and makes it and its folder durable. Raises
  // 9218 when anything fails (the journal is then removed as far as possible).
  void Write(int pageSize, int64_t sizeBefore, const std::vector<TJournalImage>& images);
  // Step 3: clears the header durably. False when that fails (the journal may still be whole).
  bool Invalidate();
  // Step 4: deletes the journal; a failure (or a power cut before the deletion reached the disk)
  // leaves a journal that is not whole, which the next look at it deletes.
  void Remove();

  // The contents of a whole journal at the path; nothing when there is none or it is not whole.
  static std::optional<TJournalContents> ReadWhole(TZuzFileSystem& fs, const std::string& path);
  // The journal can belong to a database file of the size: a commit only overwrites bytes that
  // lay within the file when it started and never makes the file shorter, so every image and
  // the recorded size lie within the file.
  static bool Fits(const TJournalContents& journal, int64_t databaseSize);
  // Writes the images back into the database file, cuts it to the recorded size and syncs it.
  // False when any of that fails.
  static bool RollBack(TZuzOSFile& database, const TJournalContents& journal);

 private:
  TZuzFileSystem& fs_;
  std::string path_;
  std::unique_ptr<TZuzOSFile> handle_;
};

}  // namespace zuz
