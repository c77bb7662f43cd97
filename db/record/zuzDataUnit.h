// An open table: its definition, header, storage interfaces and indexes, one record buffer, and
// the row operations on it. Record image layout: zuzTableDef.h; blob chains: zuzBlob.h.
//
// Values in a record image (little-endian):
//   ftString                     u16 length in bytes at SizeMarkerOffset, the UTF-8 bytes at
//                                DataOffset, zero-filled to FieldSize (at most FieldSize - 1
//                                bytes, so a terminating zero always fits)
//   ftSmallint / ftWord          i16 / u16
//   ftInteger / ftAutoInc        i32
//   ftBoolean                    byte 0 or 1
//   ftFloat, ftCurrency          f64
//   ftDate / ftTime / ftDateTime f64 day number (days since 1899-12-30): whole days / the
//                                fraction of a day only / both
//   ftBytes                      FieldSize raw bytes
//   ftBlob, ftMemo, ftGraphic,   u32 first blob block, u32 length; an empty value is 0, 0 and
//   ftFmtMemo                    NULL
// A NULL field has null flag 0 and zero data.
//
// Locking. Every operation takes the table's lock (read for reading, write for changing) unless
// it is held already, re-reads the table header first (so that other programs' changes are seen:
// a changed write counter, or a rollback since the last operation, drops the table's cached
// pages and reloads its index roots), and releases the lock when it ends; inside a transaction
// the locks are kept until it ends.
//
// Owner checks. A record or blob block is used only when the map tags its pages as this table's
// records or blobs. Pages found so are remembered until the write counter moves or a rollback
// happens: a page leaves a table only when the table is emptied or deleted, which writes or
// removes its header.
// Outside a transaction every change reaches the file at once; a change that fails half-way
// leaves what was written, so callers that need all or nothing use a transaction.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "db/record/zuzBlob.h"
#include "db/record/zuzRecordMgr.h"
#include "db/record/zuzTableDef.h"
#include "db/record/zuzTableIndexes.h"

namespace zuz {

class TDiskIOInterface;
class TDiskMgr;
class TTableHeader;
class TTableHeaderMgr;

// A field value: NULL, an integer (the integer types and ftAutoInc), a double (float, currency,
// date and time types), a boolean, or bytes (ftString as UTF-8 text, ftBytes raw).
using TFieldValue = std::variant<std::monostate, int64_t, double, bool, std::string>;

class TOpenTable {
 public:
  // Holds a table lock for one operation: takes it unless held, re-reads the table header, and
  // releases the lock at the end if it took it (inside a transaction the disk manager keeps it).
  class TLockScope {
   public:
    TLockScope(TOpenTable& table, int lockType);
    ~TLockScope();
    TLockScope(const TLockScope&) = delete;
    TLockScope& operator=(const TLockScope&) = delete;

   private:
    TOpenTable& table_;
    bool taken_ = false;
    bool nested_ = false;
    bool outerWrite_ = false;
  };

  // Opens the table's header and storage interfaces. REQUIRES: a validated definition whose
  // table id is in the header map. onClose is called with the table id when the table closes.
  TOpenTable(TDiskMgr& disk, TTableHeaderMgr& headers, TTableDef def,
             const TTableIndexesFactory& indexes, std::function<void(uint32_t)> onClose);
  ~TOpenTable();
  TOpenTable(const TOpenTable&) = delete;
  TOpenTable& operator=(const TOpenTable&) = delete;

  const TTableDef& Def() const { return def_; }
  uint32_t TableId() const { return static_cast<uint32_t>(def_.TableID); }
  TTableHeader& Header() { return *header_; }
  TTableIndexes& Indexes() { return *indexes_; }
  TBlobInterface* Blobs() { return blobIo_.get(); }
  TDiskMgr& Disk() { return disk_; }

  // Restructuring copies rows with their auto-increment values instead of numbering them anew,
  // and a recovery copy keeps their sequence numbers and versions as well (a sequence number
  // must then be set and not yet used in the table).
  bool KeepAutoIncValues = false;
  bool KeepSequenceValues = false;
  // An INSERT that names a value for the AUTOINC field: a value the buffer holds is kept when no
  // live record holds it (9729 "Key violation" naming the field otherwise) and the counter goes
  // on from the larger of it and the counter; a NULL one is numbered as usual.
  bool AcceptGivenAutoInc = false;

  // --- Reading (under the read lock) ---
  // The addresses of the live records, in the current index's order (block order without one).
  std::vector<uint32_t> RecordAddresses();
  uint32_t RecordCount();
  // The addresses of the live records in block order, whatever the indexes hold.
  std::vector<uint32_t> BlockOrderAddresses();
  // The image of the live record at the address into image, leaving the buffer alone; false
  // when there is none. REQUIRES: the caller holds a lock scope of the table; the header is not
  // read again, so that index roots changed by the caller and not yet written stay as they are.
  bool ReadRecordImage(uint32_t address, std::vector<uint8_t>& image);
  // Reads the record into the buffer and positions on it; false (buffer unchanged) when no live
  // record of this table is at the address. An address the table's indexes list must hold one:
  // otherwise the record is damaged (8451), not deleted since the address was handed out.
  bool ReadRecord(uint32_t address);
  // The position: the address of the record in the buffer, 0 for a new record.
  uint32_t CurrentAddress() const { return current_; }

  // --- The record buffer ---
  // Starts a new record: every field NULL, no position.
  void NewRecord();
  // Starts a new record as a copy of an image of this table's records: values, null flags,
  // sequence number and version; blob fields empty (set them with SetBlob). 8581 for an image
  // of another size.
  void NewRecordFrom(const std::vector<uint8_t>& image);
  const std::vector<uint8_t>& RecordBuffer() const { return buffer_; }
  uint32_t BufferSequence() const;
  uint32_t BufferVersion() const;

  // The field's number, or -1.
  int FindField(std::string_view name) const { return def_.FindField(name); }
  // REQUIRES: a field number in range (8581 otherwise); a NULL field reads as NULL.
  bool IsNull(int field) const;
  // Non-blob fields ("Unable to use this method to access blob fields", 8581, for blobs).
  TFieldValue GetValue(int field) const;
  // Converts and checks the value for the field's type ("Field data length is out of range"
  // for a string that does not fit, 8581); NULL clears the field. Blob fields are refused.
  void SetValue(int field, const TFieldValue& value);
  // The field's stored bytes (width of the type; strings: FieldSize bytes, zero-terminated) into
  // dest; false when NULL. Blob fields are refused.
  bool DataSetGetFieldDataFromRecBuf(int field, void* dest) const;
  // Stores raw data (strings: length bytes of text; other types: exactly their width); null data
  // makes the field NULL.
  void DataSetSetFieldDataToRecBuf(int field, const void* data, std::size_t length);
  // The value of a blob field (10753 "Field is not a blob" for others), read on first use. A
  // record changed by another program since it was read is 8708.
  std::string DataSetSetFieldStreamFromRecBuf(int field);
  std::string GetBlob(int field) { return DataSetSetFieldStreamFromRecBuf(field); }
  // Sets a blob field's value; it reaches the file with the next add or update.
  void SetBlob(int field, std::string_view data);

  // --- Row operations (under the write lock) ---
  // Outside a transaction each runs as a transaction of its own, so that the record, its blobs
  // and its index keys reach the file together or not at all.
  // Adds the buffer as a new record (auto-increment value, sequence number, version 0) and
  // positions on it; returns its address.
  uint32_t AddRecord();
  // Writes the buffer over the record it was read from, version + 1. 8710 without a position;
  // 8708 when the record was deleted or changed since it was read.
  void UpdateRecord();
  // Deletes the record the buffer was read from. With compareImage, a record whose status, owner
  // check or sequence number no longer match the buffer is left alone and -1 is returned;
  // without, a missing record is 8708. Returns 0 when deleted. 8710 without a position.
  int DeleteRecord(bool compareImage = true);
  // Writes the changed blob fields of image (all of them as new chains when fileImage is null,
  // i.e. when adding; all of fileImage's chains are freed when deleting) and sets their
  // references and null flags in image.
  void WriteBlobsToInterface(uint8_t* image, const uint8_t* fileImage, bool deleting);

  // Checks the table's blocks under its read lock and returns what is wrong (never raises for
  // damage): every record block is a live record or on the free list and not both, the free
  // lists of records and blobs are as freeing leaves them, every live record reads and its blob
  // chains hold, and every blob block belongs to exactly one chain or to the free list.
  std::vector<std::string> CheckStorage(int maxProblems = 50);

  // Frees every page of the table, resets the record and blob free lists and the sequence
  // counter and recreates empty indexes; the auto-increment counter is kept. Refused inside a
  // transaction (10122). Runs as a transaction of its own.
  void EmptyTable();

  // After a change of the table's indexes made outside the row operations (a rebuild): writes
  // the roots and the header. REQUIRES: the table's write lock.
  void FinishWrite();

  // What is called with the table id when the object goes (taken out to keep the object for
  // later use without counting it as open, and put back when it is used again).
  std::function<void(uint32_t)> TakeOnClose() { return std::exchange(onClose_, nullptr); }
  void SetOnClose(std::function<void(uint32_t)> onClose) { onClose_ = std::move(onClose); }
  // The generation of the catalogue the definition was read under (kept by the table manager).
  uint64_t DefGeneration() const { return defGeneration_; }
  void SetDefGeneration(uint64_t generation) { defGeneration_ = generation; }

  // Goes up whenever the table's contents may have changed as seen by this object (its own
  // writes, another program's commit, a rollback); what was read from the table under an
  // earlier value may be kept while it stays the same. Current once a lock scope is taken.
  uint64_t Generation() const { return generation_; }

 private:
  friend class TLockScope;
  uint32_t AddRecordInTransaction();
  // 9729 when a live record's field f holds value. REQUIRES: a lock scope of the table.
  void CheckAutoIncFree(const TInternalFieldItem& f, uint32_t value);
  void UpdateRecordInTransaction();
  int DeleteRecordInTransaction(bool compareImage);
  const TInternalFieldItem& Field(int field, const char* caller) const;
  // Reads the header again (unless a lock held before the scope kept it current) and drops
  // what another writer may have changed.
  // unchanged: the lock was just taken and nothing was committed to the file since this
  // object last read the header (TDiskMgr::LockTableIfUnchanged).
  void Refresh(bool lockWasHeld, bool unchanged = false);
  void AfterFailedWrite();
  // The block lies in the file on pages tagged with the tag (remembered in known).
  bool OnOwnPages(uint32_t address, int64_t size, uint16_t tag, std::unordered_set<int64_t>& known);
  bool IsRecordBlock(uint32_t address);
  // 8451 when the current index lists the address (which holds no live record). The listed
  // addresses are gathered once per generation, and only when a read finds no record.
  void CheckNotIndexed(uint32_t address);
  // 8451 unless a live record of the table lies at the address (an index entry's record).
  void CheckIndexedRecord(uint32_t address);
  bool ReadImage(uint32_t address, std::vector<uint8_t>& image);
  void PutBlobRef(uint8_t* image, const TInternalFieldItem& f, uint32_t address, uint32_t length);

  TDiskMgr& disk_;
  TTableHeaderMgr& headers_;
  TTableDef def_;
  TTableHeader* header_ = nullptr;
  std::unique_ptr<TDiskIOInterface> recordIo_;
  std::unique_ptr<TDiskIOInterface> blobBlocks_;
  std::unique_ptr<TDiskIOInterface> nodeIo_;
  std::unique_ptr<TBlobInterface> blobIo_;
  std::unique_ptr<TTableIndexes> indexes_;
  TRecordMgr recordMgr_;
  TBlobMgr blobs_;
  std::vector<int> blobFields_;
  std::vector<uint8_t> buffer_;
  uint32_t current_ = 0;
  std::optional<uint32_t> lastWriteCounter_;
  uint64_t lastRollbackCount_ = 0;
  uint64_t lastLockReleaseCount_ = 0;
  uint64_t syncEpoch_ = 0;  // the disk's sync epoch in which the header was last read, or 0
  // The lock scopes open on this object: a scope opened inside another of at least its kind,
  // with no lock released and no rollback since the outer one began, has nothing to take or
  // read again (a record read inside a scan, say).
  int scopeDepth_ = 0;
  bool scopeWrite_ = false;
  uint64_t scopeReleases_ = 0, scopeRollbacks_ = 0;
  std::vector<uint8_t> readBuffer_;  // ReadRecord reads here, then trades it with buffer_
  uint64_t generation_ = 0;
  uint64_t defGeneration_ = 0;
  std::optional<std::unordered_set<uint32_t>> indexed_;  // addresses the current index lists
  uint64_t indexedGeneration_ = 0;
  std::unordered_set<int64_t> recordPages_;  // pages known to hold this table's records
  std::unordered_set<int64_t> blobPages_;
  std::function<void(uint32_t)> onClose_;
};

// The value's text for messages and tools: NULL, the number, True/False, or the text.
std::string FieldValueText(const TFieldValue& value);

}  // namespace zuz
