// Page encryption, the master-key digest and the header checksums.
//
// XOR step (IO flag bit 1): out[i] = in[i] ^ key[j]; j starts at 0 and advances by
//   ((table id & 0x64) | 1) after each byte, wrapping by subtracting 71. The same call decrypts.
// Blowfish step (IO flag bit 2): 8-bit cipher feedback over the page. The 8-byte register starts
//   at the initial vector (eight 0xFF bytes encrypted under the key) at every page; per byte the
//   register is encrypted, its first byte is XORed with the data byte, and the register shifts
//   left by one byte taking in the ciphertext byte.
// Master-key digest (security header): SHA-1 of the key's bytes, stored as the five result words
//   H0..H4, each little-endian; an empty key gives 20 zero bytes.
// Password digests (user passwords): the five SHA-1 result words H0..H4 of the password's bytes.
// Header checksum: CRC-32 (zlib) over the bytes 0, 1, ..., 255 followed by the 254-byte
//   database header with its checksum field zero.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include <nettle/blowfish.h>

namespace zuz {

constexpr int kXorKeyLength = 71;
constexpr std::size_t kBlowfishMaxKeyBytes = 56;

// The built-in XOR key: 70 printable characters and a terminating zero byte.
const std::array<uint8_t, kXorKeyLength>& BuiltInXorKey();
// The Blowfish key of a database that has no master key (14 printable characters).
std::string_view DefaultBlowfishKey();

// Applies the XOR step to n bytes in place (encrypts and decrypts alike).
void XorCryptBuffer(uint8_t* data, std::size_t n, const uint8_t* key, int keyLength,
                    uint32_t tableId);

// Blowfish in 8-bit cipher feedback, reset to the initial vector for every buffer.
class TZuzBlowfish {
 public:
  // Keys longer than 56 bytes are cut to their first 56 bytes; an empty key is refused by the
  // caller (the disk manager substitutes the default key).
  explicit TZuzBlowfish(const uint8_t* key, std::size_t length);

  void EncryptBuffer(uint8_t* data, std::size_t n) const;
  void DecryptBuffer(uint8_t* data, std::size_t n) const;
  // One standard Blowfish block (ECB), exposed for checks against published vectors.
  void EncryptBlock(const uint8_t in[8], uint8_t out[8]) const;
  const std::array<uint8_t, 8>& InitialVector() const { return iv_; }

 private:
  blowfish_ctx ctx_{};
  std::array<uint8_t, 8> iv_{};
};

// The 20-byte digest stored in the security header.
std::array<uint8_t, 20> MasterKeyDigest(std::string_view key);
// The SHA-1 result words H0..H4 of the text's bytes (the empty text has a digest too).
std::array<uint32_t, 5> Sha1Words(std::string_view text);
// Compares n bytes in a time that does not depend on where they differ (for secrets).
bool ConstantTimeEqual(const uint8_t* a, const uint8_t* b, std::size_t n);

// CRC-32 of the buffer (zlib's polynomial, initial value and final complement).
uint32_t Crc32(const uint8_t* data, std::size_t n);
// The database header's checksum over the 254 header bytes (their checksum field must be zero).
uint32_t DatabaseHeaderChecksum(const uint8_t* header254);

}  // namespace zuz
