// One open database file: the handle, the page cache, the page keys and the transaction.
//
// The file is a sequence of pages (page size bytes; page p at p x page size). Every transfer
// names IO flags:
//   bit 0  through the page cache
//   bit 1  pages XOR-encrypted with the built-in key (stepping by table id)
//   bit 2  pages Blowfish-encrypted with the database's key
// Flags 0 move exactly the bytes asked for; any other flags move whole pages, encrypted in the
// file and plaintext in memory.
//
// Transactions. From StartTransaction on nothing is written to the file: written pages stay
// dirty in the cache, uncached writes collect in the block cache, and appends take addresses
// beyond the real end of the file. Reads see the transaction's own changes. Commit saves the
// bytes it will overwrite in the rollback journal (zuzJournal.h), writes the block cache, then
// the dirty pages, syncs, and clears the journal; Rollback drops both caches. A page whose image
// includes bytes of the block cache counts as dirty, so that no uncommitted byte survives a
// rollback. A commit that fails puts the file back as it was before it reports the failure, or,
// when even that fails, leaves the journal for RecoverFromJournal.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "db/storage/zuzCache.h"
#include "db/storage/zuzCrypt.h"
#include "db/storage/zuzJournal.h"
#include "db/storage/zuzOSFile.h"

namespace zuz {

enum : uint32_t {
  ioCached = 1,
  ioXor = 2,
  ioBlowfish = 4,
};

class TZuzFile {
 public:
  explicit TZuzFile(TZuzFileSystem& fs);
  ~TZuzFile();
  TZuzFile(const TZuzFile&) = delete;
  TZuzFile& operator=(const TZuzFile&) = delete;

  // Settings, taken into account at the next open.
  void SetPageSize(int pageSize);
  int PageSize() const { return pageSize_; }
  void SetReadWrite(bool readWrite) { readWrite_ = readWrite; }
  bool ReadWrite() const { return readWrite_; }
  void SetExclusive(bool exclusive) { exclusive_ = exclusive; }
  bool Exclusive() const { return exclusive_; }
  void SetLockRetry(int count, int intervalMs) {
    lockRetryCount_ = count;
    lockRetryInterval_ = intervalMs;
  }
  int LockRetryCount() const { return lockRetryCount_; }
  int LockRetryInterval() const { return lockRetryInterval_; }
  void SetCacheActive(bool active) { cacheActive_ = active; }
  bool CacheActive() const { return cacheActive_; }
  void SetCacheCapacity(int pages) { cache_.SetCapacity(pages); }
  const TCacheMgr& Cache() const { return cache_; }

  // Opens an existing file with the configured access and share mode (8449 on failure).
  void OpenZuzFile(const std::string& path);
  // Creates (or, with overwrite, truncates) and opens the file; false with the system's text in
  // *error when the file exists without overwrite or can't be created.
  bool CreateZuzFile(const std::string& path, bool overwrite, std::string* error);
  // Drops an open transaction, empties the caches and closes the handle.
  void CloseZuzFile();
  bool IsOpen() const { return handle_ != nullptr; }
  const std::string& FileName() const { return fileName_; }
  // The open handle (for byte-range locks on the database file), or null.
  TZuzOSFile* Handle() const { return handle_.get(); }

  // REQUIRES: the file is closed (8581 otherwise). Sets the key of the XOR step.
  void SetXORKeyBuf(const uint8_t* key, int length);
  // Sets the Blowfish key (the first 56 bytes of longer keys); allowed on an open file.
  void SetBlowKeyBuf(const uint8_t* key, std::size_t length);

  // Raw transfers of exactly n bytes at the address, past every cache.
  void InternalRead(int64_t address, int64_t n, void* buffer);
  void InternalWrite(int64_t address, int64_t n, const void* buffer);
  // One page image: read (decrypted by the flags) or written (encrypted by the flags). Inside a
  // transaction the read sees the block cache; the write always goes to the file.
  void InternalReadPage(int64_t address, uint8_t* page, uint32_t ioFlags, uint32_t tableId);
  void InternalWritePage(int64_t address, const uint8_t* page, uint32_t ioFlags, uint32_t tableId);

  // Any byte range, through the caches as the flags say.
  void ReadData(int64_t address, int64_t n, void* buffer, uint32_t ioFlags, uint32_t tableId);
  void WriteData(int64_t address, int64_t n, const void* buffer, uint32_t ioFlags,
                 uint32_t tableId);
  // Whether ReadBlockByRef can hand out the range: cached flags, an active cache or a
  // transaction, and the range within one page.
  bool CanReadByRef(int64_t address, int64_t size, uint32_t ioFlags) const;
  // REQUIRES: CanReadByRef (8581 otherwise). The pointer stays valid until the next transfer on
  // this file.
  const uint8_t* ReadBlockByRef(int64_t address, int64_t size, uint32_t ioFlags, uint32_t tableId);
  // Lets edit change the cached bytes in place, then marks the page written.
  void WriteBlockByRef(int64_t address, int64_t size, uint32_t ioFlags, uint32_t tableId,
                       const std::function<void(uint8_t*)>& edit);

  // Writes n bytes at the logical end of the file and returns their address (9600 beyond 2 GiB).
  int64_t SeekAndAppendZuzFile(int64_t n, const void* buffer, uint32_t ioFlags, uint32_t tableId);
  // The file's size, or inside a transaction its size at the start plus what was appended since.
  int64_t LogicalEndOfFile() const { return logicalEnd_; }

  // The byte ranges (address, length) a Commit now would write: the block cache's ranges and the
  // dirty pages, in that order.
  // Whether the transaction has written anything (a block or a page) yet.
  bool HasPendingWrites() const {
    return inTransaction_ && (!blocks_.Blocks().empty() || cache_.DirtyCount() > 0);
  }
  std::vector<std::pair<int64_t, int64_t>> PendingWrites() const;
  // The file's size on disk (inside a transaction: at its start).
  int64_t PhysicalSize() const { return physicalSize_; }
  // 10256 when one is active. keepSize: the size last seen is taken as the file's, without
  // asking the file system (the caller knows nothing was committed since).
  void StartTransaction(bool keepSize = false);
  // 10257 without a transaction; 9218 when a write or flush fails (the transaction then stays
  // open for Rollback, and the file is as it was at its start or recovers so from the journal).
  void Commit();
  void Rollback();  // 10257 without a transaction
  bool InTransaction() const { return inTransaction_; }

  // Whether a journal lies beside the file (or a failed commit could not be undone yet).
  bool JournalPresent() const;
  // Rolls back a commit cut short, from a whole journal beside the file, and deletes the journal
  // (one that is not whole is only deleted). Returns true when the file was rolled back. The
  // caller holds what keeps other programs from committing meanwhile. REQUIRES: no transaction.
  // 8449 when the file is open read-only and a whole journal needs rolling back; 9218 when the
  // rollback fails.
  bool RecoverFromJournal();

  // Copies the file as it is on disk (committed state) to the destination.
  void CopyZuzFile(const std::string& destination);

  // Takes in pages other programs appended since the size was last read. Inside a transaction
  // only until the transaction appends itself (from then on its header lock keeps others out).
  void RefreshSize();
  // Drops the clean cached pages of a table that another program has changed. Inside a
  // transaction that holds changed pages of the table nothing is dropped: the table's lock
  // kept other writers out since those changes were made.
  void InvalidateCleanTablePages(uint32_t tableId);

  // Drops the cached pages of a table / of a byte range (dirty ones included).
  void InvalidateTablePages(uint32_t tableId) { cache_.InvalidateTable(tableId); }
  void InvalidateRange(int64_t address, int64_t n) { cache_.InvalidateRange(address, n); }

 private:
  // The page image of the address for the table and flags: cached, or loaded unless the caller
  // overwrites it completely (then its bytes are undefined). A page loaded for a partial write
  // may extend past the end of the file; the missing bytes read as zero.
  TCachePage* CachedPage(int64_t pageAddress, uint32_t ioFlags, uint32_t tableId,
                         bool willOverwrite, bool forWrite);
  // Reads the raw bytes of [address, address + n) as the transaction sees them; bytes past the
  // end of the file are an error unless zeroFillPastEnd. Returns true when the block cache
  // supplied any byte.
  bool ReadRaw(int64_t address, int64_t n, uint8_t* buffer, bool zeroFillPastEnd,
               const char* caller);
  void LoadPage(int64_t address, uint8_t* page, uint32_t ioFlags, uint32_t tableId,
                bool zeroFillPastEnd, bool* fromBlockCache);
  void Decrypt(uint8_t* page, uint32_t ioFlags, uint32_t tableId) const;
  void Encrypt(uint8_t* page, uint32_t ioFlags, uint32_t tableId) const;
  void CheckOpen(const char* caller) const;
  void NoteWritten(int64_t end);
  // Keeps cached pages consistent with an uncached write of [address, address + n).
  void PatchCachedPages(int64_t address, int64_t n, const uint8_t* data);
  // The bytes the writes will overwrite that lay within the file at the transaction's start.
  std::vector<TJournalImage> BeforeImages(const std::vector<std::pair<int64_t, int64_t>>& writes);
  void UndoFailedCommit(TZuzJournal& journal, const TJournalContents& undo);
  // A commit writes the global header's change counter before any other byte of the database, so
  // that a program that reads it unchanged knows that no part of a commit reached the file.
  // Returns the address of the block it wrote whole (to be left out of the blocks written
  // next), or -1.
  int64_t WriteChangeCounterFirst();
  // Keeps the page's bytes as the transaction's original of its page, when they are known to be
  // what the file holds (see originals_).
  void KeepOriginal(const TCachePage* page, uint32_t ioFlags, uint32_t tableId);
  void PagewiseTransfer(int64_t address, int64_t n, uint8_t* readBuf, const uint8_t* writeBuf,
                        uint32_t ioFlags, uint32_t tableId);

  TZuzFileSystem& fs_;
  std::unique_ptr<TZuzOSFile> handle_;
  std::string fileName_;
  int pageSize_ = 4096;
  bool readWrite_ = true;
  bool exclusive_ = false;
  int lockRetryCount_ = 10;
  int lockRetryInterval_ = 200;
  bool cacheActive_ = true;

  std::vector<uint8_t> xorKey_;
  std::unique_ptr<TZuzBlowfish> blowfish_;

  TCacheMgr cache_;
  TCacheBlockMgr blocks_;
  // Inside a transaction: what table pages held before it first changed them (the journal's
  // before-images are taken from here instead of being read from the file again).
  std::unordered_map<int64_t, std::vector<uint8_t>> originals_;
  bool inTransaction_ = false;
  bool recoveryPending_ = false;  // a failed commit's journal still waits to be rolled back
  int64_t physicalSize_ = 0;      // the file's size (constant during a transaction)
  int64_t logicalEnd_ = 0;
  std::vector<uint8_t> scratch_;
};

}  // namespace zuz
