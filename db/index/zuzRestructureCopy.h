// The recovery copy of a restructure (index changes, index rebuild), in two files beside the
// database file (its name with the extension ".zuz" replaced, any other extension kept):
//
//   <name>.udx  the manifest: which table, and how far the restructure got
//   <name>.udd  a database file of this engine's format with three internal tables:
//     $RESTORE_TABLE   the table's fields (no indexes), with every record as it was before the
//                      restructure (same values, sequence numbers and versions) and its blobs
//     $RESTORE_INFO    one row: Name (the table), Definition (its definition in text form),
//                      Header (its 256-byte table header: counters and index slots)
//     $RESTORE_IMAGES  ImageAddress, Image: bytes of the database file that the restructure's
//                      commit overwrites, as they were before it (at most 64 KiB a row)
//
// Steps, all inside the restructure's one transaction T:
//   1. under the header write lock, create <name>.udx (it must not exist) and claim it: lock its
//      byte at kClaimOffset for as long as the restructure runs; manifest "copying"
//   2. under the table's write lock, copy the table into a new <name>.udd; manifest "copied"
//   3. the restructure changes the table (in T, so nothing reaches the file yet)
//   4. T's commit, before it writes: the bytes it will overwrite (as far as they lie within the
//      file) go into $RESTORE_IMAGES, synced; manifest "commit" with the file's size, synced
//   5. T writes; manifest "done"; <name>.udd and then <name>.udx are deleted
// A failure before step 5 writes anything rolls T back and deletes both files. A failure while T
// writes, or when the manifest can't be marked "done" (nor the copy deleted) afterwards, puts
// the images back at once and reports the failure; when that fails too, the files stay for the
// next open, which puts them back.
//
// Manifest: two slots of 512 bytes, at 0 and 512, written in turn; of the slots whose checksum
// is right the one with the higher sequence counts, so a torn write leaves the previous step:
//   0    8    "VZUDX001"
//   8    u32  sequence
//   12   u32  step: 1 copying, 2 copied, 3 commit, 4 done, 5 failed
//   16   u64  the database file's size before the commit (steps 3 on)
//   24   u32  number of rows of $RESTORE_IMAGES
//   28   u16  length n of the table name; 30: its n bytes (n <= 40)
//   508  u32  CRC-32 of bytes 0-507
//
// Recovery (RecoverRestructure, when a database is opened): under the header write lock, a
// manifest whose claim byte nobody holds was left by a program that stopped:
//   no readable step, or steps 1-2   the commit had not begun: both files are deleted;
//   step 3                           every image is put back and the file cut to its former
//                                    size; the table is then compared with its copy
//                                    (definition, header, records, blobs) and its indexes are
//                                    checked; the files are deleted, or when the comparison
//                                    fails, kept with the step "failed" for repair;
//   step 4                           the commit finished: both files are deleted;
//   step 5                           left alone (reported again).
// A .udd without a .udx is left over from step 5 and is deleted. Every case adds a line to the
// diagnostic log. Programs already connected when another one stops in the middle of a commit
// are not repaired: the next program to open the database repairs it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/record/zuzTableMgrUnit.h"
#include "db/storage/zuzDisk.h"

namespace zuz {

class TTableMgr;
class TZuzOSFile;

// Finishes or undoes a restructure that a program left behind when it stopped (see Recovery
// above). The table manager runs it first when it opens a database.
void RecoverRestructure(TTableMgr& tables);

// What a table manager needs from this layer: the index manager for every table, and the
// recovery of an interrupted restructure at open.
TTableMgrServices IndexedTableServices();

// The name of a restructure file of the database ("db/V.zuz", ".udx" -> "db/V.udx").
std::string RestructureFileName(const std::string& databasePath, const std::string& extension);

class TRestructureCopy {
 public:
  static constexpr int64_t kClaimOffset = int64_t{1} << 40;
  enum TStep : uint32_t { stCopying = 1, stCopied = 2, stCommit = 3, stDone = 4, stFailed = 5 };

  // Steps 1 and 2. REQUIRES: the restructure's transaction is open and the table exists.
  // 8578 "The requested object is in use" when another restructure of the database runs.
  TRestructureCopy(TTableMgr& tables, const std::string& tableName);
  // Deletes the files unless the commit began and could not be undone (recovery then needs them).
  ~TRestructureCopy();
  TRestructureCopy(const TRestructureCopy&) = delete;
  TRestructureCopy& operator=(const TRestructureCopy&) = delete;

  // Steps 4 and 5: commits the transaction.
  void Commit(TZuzTransaction& transaction);

 private:
  void Claim();
  void CopyTable();
  void SaveImages(const std::vector<std::pair<int64_t, int64_t>>& ranges);
  // Puts the images back after a commit that failed or can't be marked done; the files stay
  // for the next open when that fails too.
  void UndoCommit(TZuzTransaction& transaction);
  void WriteStep(TStep step);
  void RemoveFiles();

  TTableMgr& tables_;
  TDiskMgr& disk_;
  std::string tableName_;
  std::string uddPath_;
  std::string udxPath_;
  std::unique_ptr<TZuzOSFile> udx_;
  uint32_t sequence_ = 0;
  TStep step_ = stCopying;
  int64_t sizeBefore_ = 0;
  uint32_t imageCount_ = 0;
  bool keepFiles_ = false;
};

}  // namespace zuz
