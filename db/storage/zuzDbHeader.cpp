#include "db/storage/zuzDbHeader.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzCrypt.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzSystemInfo.h"

namespace zuz {

namespace {

// The numeric value of part k of the dotted version text (0 when missing or not a number).
int VersionPart(const std::string& version, int k) {
  std::size_t start = 0;
  for (int i = 0; i < k; ++i) {
    start = version.find('.', start);
    if (start == std::string::npos) return 0;
    ++start;
  }
  int value = 0;
  for (std::size_t i = start; i < version.size() && version[i] != '.'; ++i) {
    if (version[i] < '0' || version[i] > '9') return 0;
    value = value * 10 + (version[i] - '0');
    if (value > 100000) return value;
  }
  return value;
}

}  // namespace

std::array<uint8_t, TDatabaseHeader::kSize> TDatabaseHeader::Encode() const {
  std::array<uint8_t, kSize> b{};
  PutU16(b.data() + 0, 1);
  PutUtf16Slot(b.data() + 2, 60, databaseName);
  PutUtf16Slot(b.data() + 64, 60, operatingSystem);
  PutF64(b.data() + 126, creationTime);
  PutUtf16Slot(b.data() + 134, 60, userName);
  PutU32(b.data() + 200, sortOrder);
  PutUtf16Slot(b.data() + 204, 40, version);
  PutU32(b.data() + 246, securityLevel);
  PutU32(b.data() + 250, DatabaseHeaderChecksum(b.data()));
  return b;
}

TDatabaseHeader TDatabaseHeader::Decode(const uint8_t* bytes) {
  std::array<uint8_t, kSize> b;
  std::memcpy(b.data(), bytes, kSize);
  uint32_t stored = GetU32(b.data() + 250);
  PutU32(b.data() + 250, 0);
  if (DatabaseHeaderChecksum(b.data()) != stored) {
    ZuzDatabaseError(ZUZ_ERR_CORRUPT_HEADER, "TZuzTable.DoConnect", {}, "TDiskMgr");
  }
  TDatabaseHeader h;
  h.databaseName = GetUtf16Slot(b.data() + 2, 60);
  h.operatingSystem = GetUtf16Slot(b.data() + 64, 60);
  h.creationTime = GetF64(b.data() + 126);
  h.userName = GetUtf16Slot(b.data() + 134, 60);
  h.sortOrder = GetU32(b.data() + 200);
  h.version = GetUtf16Slot(b.data() + 204, 40);
  h.securityLevel = GetU32(b.data() + 246);
  return h;
}

int TDatabaseHeader::MajorVersion() const {
  return VersionPart(version, 0);
}
int TDatabaseHeader::MinorVersion() const {
  return VersionPart(version, 1);
}
int TDatabaseHeader::DiskFormat() const {
  return VersionPart(version, 2);
}

void TDatabaseHeader::CheckDiskFormat() const {
  if (DiskFormat() > kSupportedDiskFormat) {
    std::vector<char> text(version.size() + 64);
    std::snprintf(text.data(), text.size(), "Current database disk format is %s", version.c_str());
    ZuzDatabaseError(ZUZ_ERR_VERSION, "TZuzTable.DoConnect", text.data(), "TDiskMgr");
  }
}

void TDatabaseHeader::CheckMinorVersion(int required) const {
  if (MinorVersion() < required) {
    ZuzDatabaseError(
        ZUZ_ERR_VERSION, "TZuzDataBase.CheckMinorVersion",
        "This database version does not support this operation " + std::to_string(required),
        "TZuzDataBase");
  }
}

std::array<uint8_t, TSecurityHeader::kSize> TSecurityHeader::Encode(std::string_view masterKey,
                                                                    double timeWritten) {
  std::array<uint8_t, kSize> b{};
  PutU32(b.data() + 0, kSize);
  PutF64(b.data() + 4, timeWritten);
  PutU16(b.data() + 12, 1);
  PutU16(b.data() + 14, 1);
  auto digest = MasterKeyDigest(masterKey);
  std::memcpy(b.data() + 16, digest.data(), digest.size());
  PutU32(b.data() + 36, Crc32(b.data(), kSize));
  return b;
}

bool TSecurityHeader::Intact(const uint8_t* bytes) {
  std::array<uint8_t, kSize> b;
  std::memcpy(b.data(), bytes, kSize);
  const uint32_t stored = GetU32(b.data() + 36);
  PutU32(b.data() + 36, 0);
  return Crc32(b.data(), kSize) == stored;
}

bool TSecurityHeader::Fits(const uint8_t* bytes, std::string_view masterKey) {
  auto digest = MasterKeyDigest(masterKey);
  return ConstantTimeEqual(bytes + 16, digest.data(), digest.size());
}

void TSecurityHeader::Verify(const uint8_t* bytes, std::string_view masterKey) {
  if (!Intact(bytes)) {
    ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TDiskMgr.ReadSecurityHeader",
                     "The Security Header CRC is incorrect", "TDiskMgr");
  }
  if (!Fits(bytes, masterKey)) {
    ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TDiskMgr.ReadSecurityHeader", "The MasterKey is incorrect",
                     "TDiskMgr");
  }
}

}  // namespace zuz
