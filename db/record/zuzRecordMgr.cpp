#include "db/record/zuzRecordMgr.h"

#include "db/storage/zuzError.h"
#include "db/storage/zuzIOInterface.h"

namespace zuz {

namespace {
constexpr const char* kObject = "TRecordMgr";
}  // namespace

void TRecordMgr::Open(TBaseIOInterface* records, uint32_t recordSize) {
  if (!records || recordSize == 0) {
    ZuzDatabaseError(ZUZ_ERR_NOT_INITIALIZED, "TRecordMgr.Open", {}, kObject);
  }
  if (io_ && recordSize != recordSize_) {
    ZuzInternalError("TRecordMgr.Open", "The record size can't change while buffers exist");
  }
  io_ = records;
  recordSize_ = recordSize;
}

void TRecordMgr::Close() {
  io_ = nullptr;
}

void TRecordMgr::CheckOpen(const char* caller) const {
  if (!io_) ZuzDatabaseError(ZUZ_ERR_NOT_INITIALIZED, caller, {}, kObject);
}

uint32_t TRecordMgr::Add(const uint8_t* image) {
  CheckOpen("TRecordMgr.Add");
  const auto address = static_cast<uint32_t>(io_->AllocateNewAddress(recordSize_, image));
  return address;
}

void TRecordMgr::Read(uint32_t address, uint8_t* image) {
  CheckOpen("TRecordMgr.Read");
  io_->ReadBlock(address, recordSize_, image);
}

void TRecordMgr::Write(uint32_t address, const uint8_t* image) {
  CheckOpen("TRecordMgr.Write");
  io_->WriteBlock(address, recordSize_, image);
}

void TRecordMgr::Delete(uint32_t address) {
  CheckOpen("TRecordMgr.Delete");
  io_->ReleaseBlock(address, recordSize_);
}

}  // namespace zuz
