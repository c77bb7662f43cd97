// The database header (254 bytes at file offset 0, never encrypted) and the security header
// (40 bytes at file offset 768). Strings are UTF-16LE slots (zuzSystemInfo.h).
//
// Database header:
//   0    u16  1
//   2    60   database name (30 UTF-16 units)        62   2   zero
//   64   60   creator's operating system            124  2   zero
//   126  f64  creation time (day number)
//   134  60   creator's user name                   194  2   zero
//   196  u32  zero
//   200  u32  default sort order: 0 soANSI, 1 soASCII
//   204  40   engine version text, "1.43.02"        244  2   zero
//   246  u32  security level: 0 none, 1 master key, 2 master key and user security
//   250  u32  checksum: CRC-32 over the bytes 0..255 then these 254 bytes with this field zero
//
// Security header:
//   0    u32  40
//   4    f64  time of writing
//   12   u16  1
//   14   u16  1
//   16   20   digest of the master key (zuzCrypt.h)
//   36   u32  CRC-32 of the 40 bytes with this field zero
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zuz {

constexpr const char* kEngineVersion = "1.43.02";
constexpr int kSupportedDiskFormat = 2;

struct TDatabaseHeader {
  static constexpr int kSize = 254;
  static constexpr int64_t kFileOffset = 0;

  std::string databaseName;
  std::string operatingSystem;
  double creationTime = 0;
  std::string userName;
  uint32_t sortOrder = 0;
  std::string version = kEngineVersion;
  uint32_t securityLevel = 0;

  // The header's bytes with their checksum.
  std::array<uint8_t, kSize> Encode() const;
  // Reads the bytes; a wrong checksum is 8961 "Corrupt Header".
  static TDatabaseHeader Decode(const uint8_t* bytes);

  // The version text's parts: "1.43.02" gives 1, 43 and disk format 2 (0 for a missing part).
  int MajorVersion() const;
  int MinorVersion() const;
  int DiskFormat() const;
  // Refuses a disk format above the engine's (12041, "Current database disk format is %s").
  void CheckDiskFormat() const;
  // Refuses files whose minor version is below the required one (12041).
  void CheckMinorVersion(int required) const;
};

struct TSecurityHeader {
  static constexpr int kSize = 40;
  static constexpr int64_t kFileOffset = 768;

  // The header for the master key, stamped with the time.
  static std::array<uint8_t, kSize> Encode(std::string_view masterKey, double timeWritten);
  // Checks the CRC, then the digest of the master key (8451 for either).
  static void Verify(const uint8_t* bytes, std::string_view masterKey);
  // Whether the CRC holds; whether the digest is the master key's.
  static bool Intact(const uint8_t* bytes);
  static bool Fits(const uint8_t* bytes, std::string_view masterKey);
};

}  // namespace zuz
