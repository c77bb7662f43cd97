#include "db/storage/zuzFile.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "db/storage/zuzError.h"
#include "db/storage/zuzGlobalHdr.h"
#include "db/storage/zuzJournal.h"
#include "db/storage/zuzLogger.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TZuzFile";
constexpr int64_t kMaxFileSize = 0x7FFFFFFF;  // addresses are signed 32-bit

}  // namespace

TZuzFile::TZuzFile(TZuzFileSystem& fs) : fs_(fs), cache_(4096) {
  const auto& key = BuiltInXorKey();
  xorKey_.assign(key.begin(), key.end());
  std::string_view def = DefaultBlowfishKey();
  blowfish_ =
      std::make_unique<TZuzBlowfish>(reinterpret_cast<const uint8_t*>(def.data()), def.size());
  scratch_.assign(static_cast<size_t>(pageSize_), 0);
}

TZuzFile::~TZuzFile() {
  CloseZuzFile();
}

void TZuzFile::SetPageSize(int pageSize) {
  if (IsOpen())
    ZuzInternalError("TZuzFile.SetPageSize", "Cannot change the page size of an opened file");
  pageSize_ = pageSize;
  cache_ = TCacheMgr(pageSize);
  scratch_.assign(static_cast<size_t>(pageSize_), 0);
}

void TZuzFile::OpenZuzFile(const std::string& path) {
  CloseZuzFile();
  std::string error;
  handle_ = fs_.Open(path, readWrite_ ? TZuzAccess::ReadWrite : TZuzAccess::ReadOnly,
                     exclusive_ ? TZuzShare::Exclusive : TZuzShare::DenyNone,
                     TZuzCreate::OpenExisting, &error);
  if (!handle_) {
    if (error.empty()) error = "The error type could not be determined";
    ZuzDatabaseError(ZUZ_ERR_OPEN_FILE, "TZuzFile.OpenZuzFile",
                     "Unable to open file. Error type of: " + error, kObject);
  }
  int64_t size = handle_->Size();
  if (size < 0) {
    std::string text = handle_->LastErrorText();
    handle_.reset();
    ZuzDatabaseError(ZUZ_ERR_OPEN_FILE, "TZuzFile.OpenZuzFile",
                     "Unable to open file. Error type of: " + text, kObject);
  }
  fileName_ = path;
  physicalSize_ = logicalEnd_ = size;
}

bool TZuzFile::CreateZuzFile(const std::string& path, bool overwrite, std::string* error) {
  CloseZuzFile();
  handle_ =
      fs_.Open(path, TZuzAccess::ReadWrite, exclusive_ ? TZuzShare::Exclusive : TZuzShare::DenyNone,
               overwrite ? TZuzCreate::CreateAlways : TZuzCreate::CreateNew, error);
  if (!handle_) return false;
  fileName_ = path;
  physicalSize_ = logicalEnd_ = 0;
  return true;
}

void TZuzFile::CloseZuzFile() {
  inTransaction_ = false;
  blocks_.Clear();
  cache_.InvalidateAll();
  if (handle_ && readWrite_) (void)handle_->Sync();  // best effort: every write already went out
  handle_.reset();
  fileName_.clear();
  physicalSize_ = logicalEnd_ = 0;
}

void TZuzFile::SetXORKeyBuf(const uint8_t* key, int length) {
  if (IsOpen()) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TZuzFile.SetXORKeyBuf",
                     "Cannot set Crypt key on an opened file", kObject);
  }
  if (!key || length <= 0) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TZuzFile.SetXORKeyBuf",
                     "Error when setting XOR crypt key: Message was - the key is empty", kObject);
  }
  xorKey_.assign(key, key + length);
}

void TZuzFile::SetBlowKeyBuf(const uint8_t* key, std::size_t length) {
  if (!key || length == 0) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TZuzFile.SetBlowKeyBuf",
                     "Crypt key error (blowfish): Message was - the key is empty", kObject);
  }
  blowfish_ = std::make_unique<TZuzBlowfish>(key, length);
  // Cached plaintext was decrypted under the old key; it stays valid, the file bytes do too.
}

void TZuzFile::CheckOpen(const char* caller) const {
  if (!handle_) ZuzDatabaseError(ZUZ_ERR_OPEN_FILE, caller, "The file is not open", kObject);
}

void TZuzFile::InternalRead(int64_t address, int64_t n, void* buffer) {
  CheckOpen("TZuzFile.InternalRead");
  if (address < 0 || n < 0) {
    ZuzDatabaseError(ZUZ_ERR_IO, "TZuzFile.InternalRead", "Unable to seek for file read operation",
                     kObject);
  }
  if (handle_->ReadAt(address, buffer, n) != n) {
    ZuzDatabaseError(ZUZ_ERR_READ, "TZuzFile.InternalRead",
                     "Unable to complete file read operation", kObject);
  }
}

void TZuzFile::InternalWrite(int64_t address, int64_t n, const void* buffer) {
  CheckOpen("TZuzFile.InternalWrite");
  if (address < 0 || n < 0 || address + n > kMaxFileSize) {
    ZuzDatabaseError(ZUZ_ERR_IO, "TZuzFile.InternalWrite",
                     "Unable to seek for file write operation", kObject);
  }
  if (handle_->WriteAt(address, buffer, n) != n) {
    ZuzDatabaseError(ZUZ_ERR_WRITE, "TZuzFile.InternalWrite",
                     WriteFailureText(*handle_, "Unable to complete file write operation"),
                     kObject);
  }
  physicalSize_ = std::max(physicalSize_, address + n);
  if (!inTransaction_) logicalEnd_ = physicalSize_;
}

bool TZuzFile::ReadRaw(int64_t address, int64_t n, uint8_t* buffer, bool zeroFillPastEnd,
                       const char* caller) {
  CheckOpen(caller);
  if (address < 0 || n < 0) {
    ZuzDatabaseError(ZUZ_ERR_IO, caller, "Unable to seek for file read operation", kObject);
  }
  if (!zeroFillPastEnd && address + n > logicalEnd_) {
    ZuzDatabaseError(ZUZ_ERR_READ, caller, "Unable to complete file read operation", kObject);
  }
  int64_t fromFile = std::clamp<int64_t>(physicalSize_ - address, 0, n);
  if (fromFile > 0 && handle_->ReadAt(address, buffer, fromFile) != fromFile) {
    ZuzDatabaseError(ZUZ_ERR_READ, caller, "Unable to complete file read operation", kObject);
  }
  if (fromFile < n) std::memset(buffer + fromFile, 0, static_cast<size_t>(n - fromFile));
  return inTransaction_ && blocks_.Overlay(address, buffer, n);
}

void TZuzFile::Decrypt(uint8_t* page, uint32_t ioFlags, uint32_t tableId) const {
  if (ioFlags & ioBlowfish) blowfish_->DecryptBuffer(page, static_cast<size_t>(pageSize_));
  if (ioFlags & ioXor) {
    XorCryptBuffer(page, static_cast<size_t>(pageSize_), xorKey_.data(),
                   static_cast<int>(xorKey_.size()), tableId);
  }
}

void TZuzFile::Encrypt(uint8_t* page, uint32_t ioFlags, uint32_t tableId) const {
  if (ioFlags & ioXor) {
    XorCryptBuffer(page, static_cast<size_t>(pageSize_), xorKey_.data(),
                   static_cast<int>(xorKey_.size()), tableId);
  }
  if (ioFlags & ioBlowfish) blowfish_->EncryptBuffer(page, static_cast<size_t>(pageSize_));
}

void TZuzFile::LoadPage(int64_t address, uint8_t* page, uint32_t ioFlags, uint32_t tableId,
                        bool zeroFillPastEnd, bool* fromBlockCache) {
  bool overlaid = ReadRaw(address, pageSize_, page, zeroFillPastEnd, "TZuzFile.InternalReadPage");
  if (fromBlockCache) *fromBlockCache = overlaid;
  Decrypt(page, ioFlags, tableId);
}

void TZuzFile::InternalReadPage(int64_t address, uint8_t* page, uint32_t ioFlags,
                                uint32_t tableId) {
  LoadPage(address, page, ioFlags, tableId, false, nullptr);
}

void TZuzFile::InternalWritePage(int64_t address, const uint8_t* page, uint32_t ioFlags,
                                 uint32_t tableId) {
  CheckOpen("TZuzFile.InternalWritePage");
  if (address < 0 || address + pageSize_ > kMaxFileSize) {
    ZuzDatabaseError(ZUZ_ERR_IO, "TZuzFile.InternalWritePage",
                     "Unable to seek for file write operation", kObject);
  }
  std::memcpy(scratch_.data(), page, static_cast<size_t>(pageSize_));
  Encrypt(scratch_.data(), ioFlags, tableId);
  if (handle_->WriteAt(address, scratch_.data(), pageSize_) != pageSize_) {
    ZuzDatabaseError(ZUZ_ERR_WRITE, "TZuzFile.InternalWritePage",
                     WriteFailureText(*handle_, "Unable to complete file write operation"),
                     kObject);
  }
  physicalSize_ = std::max<int64_t>(physicalSize_, address + pageSize_);
  if (!inTransaction_) logicalEnd_ = physicalSize_;
}

void TZuzFile::NoteWritten(int64_t end) {
  if (end > logicalEnd_) logicalEnd_ = end;
}

TCachePage* TZuzFile::CachedPage(int64_t pageAddress, uint32_t ioFlags, uint32_t tableId,
                                 bool willOverwrite, bool forWrite) {
  TCachePage* page = cache_.Find(pageAddress);
  if (page && page->tableId == tableId && page->ioFlags == ioFlags) {
    cache_.CountHit();
    cache_.Touch(page);
    return page;
  }
  cache_.CountMiss();
  if (page && page->state == cpsDirty && !willOverwrite) {
    // Two owners for one page within a transaction: only a damaged map leads here.
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TZuzFile.CachedPage",
                     "Cache page is in use by another table", kObject);
  }
  bool reuse = page != nullptr;
  if (!reuse) page = cache_.GetNextEmptyPage();
  TCachePageState state = (reuse && page->state == cpsDirty) ? cpsDirty : cpsClean;
  if (!willOverwrite) {
    bool overlaid = false;
    try {
      LoadPage(pageAddress, page->data.data(), ioFlags, tableId, forWrite, &overlaid);
    } catch (...) {
      if (reuse)
        cache_.Invalidate(page);
      else
        cache_.ReturnEmptyPage(page);
      throw;
    }
    state = overlaid ? cpsDirty : cpsClean;
  }
  cache_.Enter(page, pageAddress, tableId, ioFlags, state);
  return page;
}

void TZuzFile::KeepOriginal(const TCachePage* page, uint32_t ioFlags, uint32_t tableId) {
  // Only a table's pages (its lock keeps other programs off them, and its write counter checked
  // them at the lock), in plain text (the journal holds the bytes as they lie in the file), that
  // lay within the file when the transaction started and hold what the file holds.
  if (!inTransaction_ || !page || page->state != cpsClean || tableId == 0 ||
      page->tableId != tableId || page->ioFlags != ioFlags || (ioFlags & (ioXor | ioBlowfish)) ||
      page->address + pageSize_ > physicalSize_ || originals_.count(page->address) != 0) {
    return;
  }
  originals_.emplace(page->address, page->data);
}

void TZuzFile::PagewiseTransfer(int64_t address, int64_t n, uint8_t* readBuf,
                                const uint8_t* writeBuf, uint32_t ioFlags, uint32_t tableId) {
  const bool useCache = cacheActive_ || inTransaction_;
  std::vector<uint8_t> temp;
  int64_t done = 0;
  while (done < n) {
    int64_t a = address + done;
    int64_t pageAddress = a - (a % pageSize_);
    int64_t offset = a - pageAddress;
    int64_t count = std::min<int64_t>(pageSize_ - offset, n - done);
    bool whole = writeBuf && count == pageSize_;
    uint8_t* image;
    TCachePage* page = nullptr;
    if (useCache) {
      if (writeBuf && whole) KeepOriginal(cache_.Find(pageAddress), ioFlags, tableId);
      page = CachedPage(pageAddress, ioFlags, tableId, whole, writeBuf != nullptr);
      if (writeBuf && !whole) KeepOriginal(page, ioFlags, tableId);
      image = page->data.data();
    } else {
      temp.resize(static_cast<size_t>(pageSize_));
      image = temp.data();
      if (!whole) LoadPage(pageAddress, image, ioFlags, tableId, writeBuf != nullptr, nullptr);
    }
    if (readBuf) {
      std::memcpy(readBuf + done, image + offset, static_cast<size_t>(count));
    } else {
      std::memcpy(image + offset, writeBuf + done, static_cast<size_t>(count));
      if (inTransaction_) {
        cache_.MarkDirty(page);
        NoteWritten(pageAddress + pageSize_);
      } else {
        try {
          InternalWritePage(pageAddress, image, ioFlags, tableId);
        } catch (...) {
          if (page) cache_.Invalidate(page);  // the file may hold either image now
          throw;
        }
        if (page) cache_.MarkClean(page);
      }
    }
    done += count;
  }
}

void TZuzFile::PatchCachedPages(int64_t address, int64_t n, const uint8_t* data) {
  int64_t first = address - (address % pageSize_);
  for (int64_t a = first; a < address + n; a += pageSize_) {
    TCachePage* page = cache_.Find(a);
    if (!page) continue;
    if (!inTransaction_ || (page->ioFlags & (ioXor | ioBlowfish))) {
      // Raw bytes over an encrypted image have no plaintext meaning; outside a transaction the
      // file holds the truth. Either way the image is dropped and read again when needed.
      cache_.Invalidate(page);
      continue;
    }
    int64_t lo = std::max(address, a), hi = std::min(address + n, a + pageSize_);
    std::memcpy(page->data.data() + (lo - a), data + (lo - address), static_cast<size_t>(hi - lo));
    cache_.MarkDirty(page);
  }
}

void TZuzFile::ReadData(int64_t address, int64_t n, void* buffer, uint32_t ioFlags,
                        uint32_t tableId) {
  CheckOpen("TZuzFile.ReadData");
  if (n <= 0) return;
  if (ioFlags != 0) {
    PagewiseTransfer(address, n, static_cast<uint8_t*>(buffer), nullptr, ioFlags, tableId);
  } else if (inTransaction_) {
    ReadRaw(address, n, static_cast<uint8_t*>(buffer), false, "TZuzFile.InternalRead");
  } else {
    InternalRead(address, n, buffer);
  }
}

void TZuzFile::WriteData(int64_t address, int64_t n, const void* buffer, uint32_t ioFlags,
                         uint32_t tableId) {
  CheckOpen("TZuzFile.WriteData");
  if (n <= 0) return;
  if (address < 0 || address + n > kMaxFileSize) {
    ZuzDatabaseError(ZUZ_ERR_IO, "TZuzFile.InternalWrite",
                     "Unable to seek for file write operation", kObject);
  }
  const auto* data = static_cast<const uint8_t*>(buffer);
  if (ioFlags != 0) {
    PagewiseTransfer(address, n, nullptr, data, ioFlags, tableId);
    return;
  }
  if (inTransaction_) {
    blocks_.Write(address, data, n, tableId);
    NoteWritten(address + n);
  } else {
    InternalWrite(address, n, data);
  }
  PatchCachedPages(address, n, data);
}

bool TZuzFile::CanReadByRef(int64_t address, int64_t size, uint32_t ioFlags) const {
  if (address < 0 || size <= 0) return false;
  const int64_t pageAddress = address - (address % pageSize_);
  return (ioFlags & ioCached) && (cacheActive_ || inTransaction_) &&
         address + size <= pageAddress + pageSize_;
}

const uint8_t* TZuzFile::ReadBlockByRef(int64_t address, int64_t size, uint32_t ioFlags,
                                        uint32_t tableId) {
  CheckOpen("TZuzFile.ReadBlockByRef");
  const int64_t pageAddress = address - (address % pageSize_);
  if (!CanReadByRef(address, size, ioFlags)) {
    ZuzInternalError("TZuzFile.ReadBlockByRef", "ReadCacheByRef failed");
  }
  TCachePage* page = CachedPage(pageAddress, ioFlags, tableId, false, false);
  return page->data.data() + (address - pageAddress);
}

void TZuzFile::WriteBlockByRef(int64_t address, int64_t size, uint32_t ioFlags, uint32_t tableId,
                               const std::function<void(uint8_t*)>& edit) {
  CheckOpen("TZuzFile.WriteBlockByRef");
  int64_t pageAddress = address - (address % pageSize_);
  if (!(ioFlags & ioCached) || !(cacheActive_ || inTransaction_) || address < 0 || size <= 0 ||
      address + size > pageAddress + pageSize_) {
    ZuzInternalError("TZuzFile.WriteBlockByRef", "WriteCacheByRef - page not found");
  }
  TCachePage* page = CachedPage(pageAddress, ioFlags, tableId, false, true);
  KeepOriginal(page, ioFlags, tableId);
  edit(page->data.data() + (address - pageAddress));
  if (inTransaction_) {
    cache_.MarkDirty(page);
  } else {
    try {
      InternalWritePage(pageAddress, page->data.data(), ioFlags, tableId);
    } catch (...) {
      cache_.Invalidate(page);
      throw;
    }
  }
}

int64_t TZuzFile::SeekAndAppendZuzFile(int64_t n, const void* buffer, uint32_t ioFlags,
                                       uint32_t tableId) {
  CheckOpen("TZuzFile.SeekAndAppendZuzFile");
  int64_t address = logicalEnd_;
  if (address < 0 || address + n > kMaxFileSize) {
    ZuzDatabaseError(ZUZ_ERR_FILE_SIZE_LIMIT, "TZuzFile.SeekAndAppendZuzFile", {}, kObject);
  }
  WriteData(address, n, buffer, ioFlags, tableId);
  NoteWritten(address + n);
  return address;
}

void TZuzFile::RefreshSize() {
  if (!handle_) return;
  if (inTransaction_ && logicalEnd_ != physicalSize_) return;
  const int64_t size = handle_->Size();
  if (size > physicalSize_) physicalSize_ = logicalEnd_ = size;
}

void TZuzFile::InvalidateCleanTablePages(uint32_t tableId) {
  if (inTransaction_ && cache_.HasDirtyPageOf(tableId)) return;
  cache_.InvalidateTable(tableId);
}

std::vector<std::pair<int64_t, int64_t>> TZuzFile::PendingWrites() const {
  std::vector<std::pair<int64_t, int64_t>> out;
  if (!inTransaction_) return out;
  for (const auto& [address, block] : blocks_.Blocks()) {
    out.emplace_back(address, static_cast<int64_t>(block.data.size()));
  }
  for (const TCachePage* page : cache_.DirtyPages()) out.emplace_back(page->address, pageSize_);
  return out;
}

void TZuzFile::StartTransaction(bool keepSize) {
  if (inTransaction_) {
    ZuzDatabaseError(ZUZ_ERR_TRANSACTION_ACTIVE, "TZuzFile.StartTransaction", {}, kObject);
  }
  CheckOpen("TZuzFile.StartTransaction");
  int64_t size = keepSize ? physicalSize_ : handle_->Size();
  if (size < 0) {
    ZuzDatabaseError(ZUZ_ERR_IO, "TZuzFile.StartTransaction", handle_->LastErrorText(), kObject);
  }
  physicalSize_ = logicalEnd_ = size;
  blocks_.Clear();
  originals_.clear();
  inTransaction_ = true;
}

std::vector<TJournalImage> TZuzFile::BeforeImages(
    const std::vector<std::pair<int64_t, int64_t>>& writes) {
  // The parts of the written ranges that lay within the file at the start, merged.
  std::vector<std::pair<int64_t, int64_t>> spans;
  for (const auto& [address, length] : writes) {
    const int64_t end = std::min(address + length, physicalSize_);
    if (address < end) spans.emplace_back(address, end);
  }
  std::sort(spans.begin(), spans.end());
  std::vector<TJournalImage> images;
  for (const auto& [from, to] : spans) {
    if (!images.empty()) {
      TJournalImage& last = images.back();
      const int64_t lastEnd = last.address + static_cast<int64_t>(last.bytes.size());
      if (from <= lastEnd) {
        if (to > lastEnd) last.bytes.resize(static_cast<size_t>(to - last.address));
        continue;
      }
    }
    TJournalImage image;
    image.address = from;
    image.bytes.resize(static_cast<size_t>(to - from));
    images.push_back(std::move(image));
  }
  // The bytes as the file holds them: from the pages kept before they were first changed, the
  // rest read from the file (runs of pages without a kept copy in one read each).
  for (TJournalImage& image : images) {
    const int64_t end = image.address + static_cast<int64_t>(image.bytes.size());
    int64_t at = image.address;
    while (at < end) {
      const int64_t page = at - at % pageSize_;
      const int64_t chunkEnd = std::min(end, page + pageSize_);
      uint8_t* into = image.bytes.data() + (at - image.address);
      if (auto it = originals_.find(page); it != originals_.end()) {
        std::memcpy(into, it->second.data() + (at - page), static_cast<size_t>(chunkEnd - at));
        at = chunkEnd;
        continue;
      }
      int64_t runEnd = chunkEnd;
      while (runEnd < end && originals_.count(runEnd) == 0)
        runEnd = std::min(end, runEnd + pageSize_);
      InternalRead(at, runEnd - at, into);
      at = runEnd;
    }
  }
  return images;
}

int64_t TZuzFile::WriteChangeCounterFirst() {
  constexpr int64_t kAt = TGlobalHdr::kFileOffset + ghChangeCounter;
  constexpr int64_t kWidth = 4;
  // The counter's newest bytes: a dirty page's image is newer than a block within it, so such a
  // page gives the four bytes to write ahead of everything (the page follows in its turn).
  for (const TCachePage* page : cache_.DirtyPages()) {
    if (page->address <= kAt && kAt + kWidth <= page->address + pageSize_) {
      InternalWrite(kAt, kWidth, page->data.data() + (kAt - page->address));
      return -1;
    }
  }
  // Otherwise the block that holds them (the global header's) goes first.
  const auto& blocks = blocks_.Blocks();
  auto it = blocks.upper_bound(kAt);
  if (it == blocks.begin()) return -1;
  --it;
  if (kAt + kWidth > it->first + static_cast<int64_t>(it->second.data.size())) return -1;
  InternalWrite(it->first, static_cast<int64_t>(it->second.data.size()), it->second.data.data());
  return it->first;
}

void TZuzFile::Commit() {
  const char* caller = "TZuzFile.Commit";
  if (!inTransaction_) ZuzDatabaseError(ZUZ_ERR_NO_TRANSACTION, caller, {}, kObject);
  const std::vector<std::pair<int64_t, int64_t>> writes = PendingWrites();
  if (writes.empty()) {
    inTransaction_ = false;
    logicalEnd_ = physicalSize_;
    return;
  }
  // 1. The journal: every byte about to be overwritten, durable before the first is.
  TZuzJournal journal(fs_, JournalFileNameFor(fileName_));
  TJournalContents undo;
  undo.pageSize = pageSize_;
  undo.sizeBefore = physicalSize_;
  undo.images = BeforeImages(writes);
  journal.Write(undo.pageSize, undo.sizeBefore, undo.images);
  // 2. The database. The block cache first: a page image already includes every block byte that
  // lies within it, so the pages written afterwards are the newest state of their bytes. Pages
  // stay dirty until everything is durable, so that a failed commit leaves nothing in the cache
  // that the file does not hold.
  try {
    const int64_t written = WriteChangeCounterFirst();
    for (const auto& [address, block] : blocks_.Blocks()) {
      if (address == written) continue;
      InternalWrite(address, static_cast<int64_t>(block.data.size()), block.data.data());
    }
    for (TCachePage* page : cache_.DirtyPages()) {
      InternalWritePage(page->address, page->data.data(), page->ioFlags, page->tableId);
    }
    if (!handle_->Sync()) {
      ZuzDatabaseError(ZUZ_ERR_WRITE, caller,
                       WriteFailureText(*handle_, "Unable to complete file write operation"),
                       kObject);
    }
    // 3. The commit point.
    if (!journal.Invalidate()) {
      ZuzDatabaseError(ZUZ_ERR_WRITE, caller, "Unable to complete the journal " + journal.Path(),
                       kObject);
    }
  } catch (...) {
    // A failed write or flush is final: the file goes back to where the transaction started,
    // now if possible, else when the journal is next looked at. The transaction stays open for
    // the caller's rollback.
    UndoFailedCommit(journal, undo);
    throw;
  }
  // 4. Cleaning up; a journal left here is no longer whole.
  journal.Remove();
  blocks_.Clear();
  originals_.clear();
  for (TCachePage* page : cache_.DirtyPages()) cache_.MarkClean(page);
  inTransaction_ = false;
  const int64_t size = handle_->Size();
  physicalSize_ = logicalEnd_ = size < 0 ? logicalEnd_ : size;
}

void TZuzFile::UndoFailedCommit(TZuzJournal& journal, const TJournalContents& undo) {
  // From the images in memory, not from the journal's file: a failed flush may have left that
  // no longer whole while the database already holds the new bytes.
  cache_.InvalidateAll();
  recoveryPending_ = true;
  if (!TZuzJournal::RollBack(*handle_, undo)) return;
  TDBLogger::Instance().AddLine(kObject, "Undid a failed commit: " + fileName_);
  if (journal.Invalidate()) {
    journal.Remove();
    recoveryPending_ = false;
  }
}

bool TZuzFile::RecoverFromJournal() {
  const char* caller = "TZuzFile.RecoverFromJournal";
  CheckOpen(caller);
  if (inTransaction_) ZuzDatabaseError(ZUZ_ERR_TRANSACTION_ACTIVE, caller, {}, kObject);
  const std::string path = JournalFileNameFor(fileName_);
  const std::optional<TJournalContents> contents = TZuzJournal::ReadWhole(fs_, path);
  bool rolledBack = false;
  if (contents) {
    if (!readWrite_) {
      ZuzDatabaseError(ZUZ_ERR_OPEN_FILE, caller,
                       "The last commit of the database was cut short; open it for writing once "
                       "so that it is rolled back from " +
                           path,
                       kObject);
    }
    if (!TZuzJournal::Fits(*contents, handle_->Size())) {
      recoveryPending_ = true;
      ZuzDatabaseError(
          ZUZ_ERR_CORRUPT, caller,
          "The journal " + path + " does not fit the database file; both were left as they are",
          kObject);
    }
    cache_.InvalidateAll();
    TZuzJournal journal(fs_, path);
    if (!TZuzJournal::RollBack(*handle_, *contents) || !journal.Invalidate()) {
      recoveryPending_ = true;
      ZuzDatabaseError(
          ZUZ_ERR_WRITE, caller,
          "Unable to roll back the last commit from " + path + ": " + handle_->LastErrorText(),
          kObject);
    }
    journal.Remove();
    rolledBack = true;
  } else if (readWrite_ && fs_.Exists(path)) {
    TZuzJournal(fs_, path).Remove();  // not whole: its commit never wrote the database
  }
  recoveryPending_ = false;
  const int64_t size = handle_->Size();
  if (size < 0) ZuzDatabaseError(ZUZ_ERR_IO, caller, handle_->LastErrorText(), kObject);
  physicalSize_ = logicalEnd_ = size;
  return rolledBack;
}

bool TZuzFile::JournalPresent() const {
  return recoveryPending_ || (handle_ && fs_.Exists(JournalFileNameFor(fileName_)));
}

void TZuzFile::Rollback() {
  if (!inTransaction_) {
    ZuzDatabaseError(ZUZ_ERR_NO_TRANSACTION, "TZuzFile.Rollback", {}, kObject);
  }
  cache_.InvalidateDirty();
  blocks_.Clear();
  originals_.clear();
  inTransaction_ = false;
  int64_t size = handle_ ? handle_->Size() : -1;
  physicalSize_ = logicalEnd_ = size < 0 ? physicalSize_ : size;
}

void TZuzFile::CopyZuzFile(const std::string& destination) {
  if (!handle_) ZuzDatabaseError(ZUZ_ERR_OPEN_FILE, "TZuzFile.CopyZuzFile", {}, kObject);
  int64_t sourceSize = handle_->Size();
  if (sourceSize < 0) {
    ZuzDatabaseError(ZUZ_ERR_IO, "TZuzFile.CopyZuzFile",
                     "The file could not be positioned for copying", kObject);
  }
  std::string error;
  auto dest = fs_.Open(destination, TZuzAccess::ReadWrite, TZuzShare::Exclusive,
                       TZuzCreate::CreateAlways, &error);
  if (!dest) {
    ZuzDatabaseError(ZUZ_ERR_IO, "TZuzFile.CopyZuzFile",
                     "The file could not be copied correctly: " + error, kObject);
  }
  std::vector<uint8_t> buf(4096);
  int64_t offset = 0;
  for (;;) {
    int64_t got = handle_->ReadAt(offset, buf.data(), 4096);
    if (got < 0) break;
    if (got > 0 && dest->WriteAt(offset, buf.data(), got) != got) break;
    offset += got;
    if (got < 4096) break;
  }
  if (dest->Size() != sourceSize || !dest->Sync()) {
    ZuzDatabaseError(ZUZ_ERR_IO, "TZuzFile.CopyZuzFile", "The file could not be copied correctly",
                     kObject);
  }
}

}  // namespace zuz
