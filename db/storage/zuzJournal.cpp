#include "db/storage/zuzJournal.h"

#include <cstring>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzCrypt.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzOSFile.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TZuzJournal";
constexpr char kMagic[8] = {'V', 'Z', 'J', 'R', 'N', 'L', '0', '1'};
constexpr int kRecordHead = 16;
// Far more than any commit of a 2 GiB file can need; a damaged header never makes us allocate
// beyond what the journal file holds anyway.
constexpr uint64_t kMaxSizeBefore = uint64_t{1} << 40;

enum : int {
  jhMagic = 0,
  jhPageSize = 8,
  jhImageCount = 12,
  jhSizeBefore = 16,
  jhRecordsLength = 24,
  jhRecordsCrc = 32,
  jhHeaderCrc = 36,
};

// Reads exactly n bytes at offset; false on a short read or an error.
bool ReadExactly(TZuzOSFile& file, int64_t offset, uint8_t* buffer, int64_t n) {
  return n == 0 || file.ReadAt(offset, buffer, n) == n;
}

}  // namespace

std::string JournalFileNameFor(const std::string& databasePath) {
  return databasePath + ".journal";
}

TZuzJournal::TZuzJournal(TZuzFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}

TZuzJournal::~TZuzJournal() = default;

void TZuzJournal::Write(int pageSize, int64_t sizeBefore,
                        const std::vector<TJournalImage>& images) {
  const char* caller = "TZuzJournal.Write";
  std::vector<uint8_t> records;
  size_t total = 0;
  for (const TJournalImage& image : images) total += kRecordHead + image.bytes.size();
  records.reserve(total);
  for (const TJournalImage& image : images) {
    uint8_t head[kRecordHead] = {};
    PutU64(head, static_cast<uint64_t>(image.address));
    PutU32(head + 8, static_cast<uint32_t>(image.bytes.size()));
    records.insert(records.end(), head, head + kRecordHead);
    records.insert(records.end(), image.bytes.begin(), image.bytes.end());
  }
  uint8_t header[kHeaderSize] = {};
  std::memcpy(header + jhMagic, kMagic, sizeof kMagic);
  PutU32(header + jhPageSize, static_cast<uint32_t>(pageSize));
  PutU32(header + jhImageCount, static_cast<uint32_t>(images.size()));
  PutU64(header + jhSizeBefore, static_cast<uint64_t>(sizeBefore));
  PutU64(header + jhRecordsLength, records.size());
  PutU32(header + jhRecordsCrc, Crc32(records.data(), records.size()));
  PutU32(header + jhHeaderCrc, Crc32(header, jhHeaderCrc));

  std::string error;
  handle_ =
      fs_.Open(path_, TZuzAccess::ReadWrite, TZuzShare::DenyNone, TZuzCreate::CreateAlways, &error);
  bool ok = handle_ != nullptr;
  if (ok) {
    const auto n = static_cast<int64_t>(records.size());
    ok = (n == 0 || handle_->WriteAt(kHeaderSize, records.data(), n) == n) &&
         handle_->WriteAt(0, header, kHeaderSize) == kHeaderSize && handle_->Sync() &&
         fs_.SyncFolder(path_);
    if (!ok) error = handle_->DiskFull() ? "the disk is full" : handle_->LastErrorText();
  }
  if (!ok) {
    handle_.reset();
    fs_.Delete(path_, nullptr);
    ZuzDatabaseError(ZUZ_ERR_WRITE, caller,
                     "Unable to write the journal " + path_ + (error.empty() ? "" : ": " + error),
                     kObject);
  }
}

bool TZuzJournal::Invalidate() {
  if (!handle_) {
    handle_ = fs_.Open(path_, TZuzAccess::ReadWrite, TZuzShare::DenyNone, TZuzCreate::OpenExisting,
                       nullptr);
    if (!handle_) return !fs_.Exists(path_);
  }
  const uint8_t zeros[kHeaderSize] = {};
  return handle_->WriteAt(0, zeros, kHeaderSize) == kHeaderSize && handle_->Sync();
}

void TZuzJournal::Remove() {
  // No folder flush: a journal that comes back after a power cut is no longer whole.
  handle_.reset();
  fs_.Delete(path_, nullptr);
}

std::optional<TJournalContents> TZuzJournal::ReadWhole(TZuzFileSystem& fs,
                                                       const std::string& path) {
  if (!fs.Exists(path)) return std::nullopt;
  auto file =
      fs.Open(path, TZuzAccess::ReadOnly, TZuzShare::DenyNone, TZuzCreate::OpenExisting, nullptr);
  if (!file) return std::nullopt;
  const int64_t size = file->Size();
  uint8_t header[kHeaderSize];
  if (size < kHeaderSize || !ReadExactly(*file, 0, header, kHeaderSize)) return std::nullopt;
  if (std::memcmp(header + jhMagic, kMagic, sizeof kMagic) != 0 ||
      GetU32(header + jhHeaderCrc) != Crc32(header, jhHeaderCrc)) {
    return std::nullopt;
  }
  const uint64_t length = GetU64(header + jhRecordsLength);
  const uint64_t sizeBefore = GetU64(header + jhSizeBefore);
  if (length != static_cast<uint64_t>(size - kHeaderSize) || sizeBefore > kMaxSizeBefore) {
    return std::nullopt;
  }
  std::vector<uint8_t> records(length);
  if (!ReadExactly(*file, kHeaderSize, records.data(), static_cast<int64_t>(length)) ||
      GetU32(header + jhRecordsCrc) != Crc32(records.data(), records.size())) {
    return std::nullopt;
  }
  TJournalContents contents;
  contents.pageSize = static_cast<int>(GetU32(header + jhPageSize));
  contents.sizeBefore = static_cast<int64_t>(sizeBefore);
  const uint32_t count = GetU32(header + jhImageCount);
  size_t at = 0;
  for (uint32_t k = 0; k < count; ++k) {
    if (records.size() - at < kRecordHead) return std::nullopt;
    const uint64_t address = GetU64(records.data() + at);
    const uint32_t n = GetU32(records.data() + at + 8);
    at += kRecordHead;
    if (records.size() - at < n || address > sizeBefore || n > sizeBefore - address) {
      return std::nullopt;
    }
    TJournalImage image;
    image.address = static_cast<int64_t>(address);
    image.bytes.assign(records.begin() + static_cast<std::ptrdiff_t>(at),
                       records.begin() + static_cast<std::ptrdiff_t>(at + n));
    contents.images.push_back(std::move(image));
    at += n;
  }
  if (at != records.size()) return std::nullopt;
  return contents;
}

bool TZuzJournal::Fits(const TJournalContents& journal, int64_t databaseSize) {
  if (databaseSize < 0 || journal.sizeBefore > databaseSize) return false;
  for (const TJournalImage& image : journal.images) {
    const auto n = static_cast<int64_t>(image.bytes.size());
    if (image.address < 0 || image.address > databaseSize || n > databaseSize - image.address) {
      return false;
    }
  }
  return true;
}

bool TZuzJournal::RollBack(TZuzOSFile& database, const TJournalContents& journal) {
  for (const TJournalImage& image : journal.images) {
    const auto n = static_cast<int64_t>(image.bytes.size());
    if (database.WriteAt(image.address, image.bytes.data(), n) != n) return false;
  }
  const int64_t size = database.Size();
  if (size < 0) return false;
  if (size > journal.sizeBefore && !database.Truncate(journal.sizeBefore)) return false;
  return database.Sync();
}

}  // namespace zuz
