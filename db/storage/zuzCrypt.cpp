#include "db/storage/zuzCrypt.h"

#include <nettle/memops.h>
#include <nettle/sha1.h>
#include <zlib.h>

#include <cstring>

#include "db/storage/zuzCoding.h"

namespace zuz {

const std::array<uint8_t, kXorKeyLength>& BuiltInXorKey() {
  static const std::array<uint8_t, kXorKeyLength> key = [] {
    static const char text[] =
        "Vz7q!Lm2#Rb9@Xk4$Tw8%Hn3^Pj6&Dc1*Gs5(Yf0)Ue2-Za7+Qo4=Ki9[Nv3]Bl8{Mr6}J";
    static_assert(sizeof(text) == kXorKeyLength, "70 characters and the terminating zero");
    std::array<uint8_t, kXorKeyLength> k{};
    std::memcpy(k.data(), text, kXorKeyLength);
    return k;
  }();
  return key;
}

std::string_view DefaultBlowfishKey() {
  return "Kw4#Zp9!Lr2@Vx";
}

void XorCryptBuffer(uint8_t* data, std::size_t n, const uint8_t* key, int keyLength,
                    uint32_t tableId) {
  const int step = static_cast<int>((tableId & 0x64) | 1);
  int j = 0;
  for (std::size_t i = 0; i < n; ++i) {
    data[i] ^= key[j];
    j += step;
    while (j >= keyLength) j -= keyLength;
  }
}

TZuzBlowfish::TZuzBlowfish(const uint8_t* key, std::size_t length) {
  if (length > kBlowfishMaxKeyBytes) length = kBlowfishMaxKeyBytes;
  // Blowfish cycles the key bytes through its 72-byte schedule, so keys shorter than nettle's
  // advised minimum (8 bytes) give the standard schedule; nettle accepts them as they are. Its
  // result only reports weak keys, whose schedule is complete and usable all the same.
  (void)blowfish_set_key(&ctx_, length, key);
  std::array<uint8_t, 8> ones;
  ones.fill(0xFF);
  blowfish_encrypt(&ctx_, 8, iv_.data(), ones.data());
}

void TZuzBlowfish::EncryptBlock(const uint8_t in[8], uint8_t out[8]) const {
  blowfish_encrypt(&ctx_, 8, out, in);
}

void TZuzBlowfish::EncryptBuffer(uint8_t* data, std::size_t n) const {
  std::array<uint8_t, 8> reg = iv_, out;
  for (std::size_t i = 0; i < n; ++i) {
    blowfish_encrypt(&ctx_, 8, out.data(), reg.data());
    uint8_t c = data[i] ^ out[0];
    std::memmove(reg.data(), reg.data() + 1, 7);
    reg[7] = c;
    data[i] = c;
  }
}

void TZuzBlowfish::DecryptBuffer(uint8_t* data, std::size_t n) const {
  std::array<uint8_t, 8> reg = iv_, out;
  for (std::size_t i = 0; i < n; ++i) {
    blowfish_encrypt(&ctx_, 8, out.data(), reg.data());
    uint8_t c = data[i];
    std::memmove(reg.data(), reg.data() + 1, 7);
    reg[7] = c;
    data[i] = c ^ out[0];
  }
}

std::array<uint8_t, 20> MasterKeyDigest(std::string_view key) {
  std::array<uint8_t, 20> out{};
  if (key.empty()) return out;
  sha1_ctx ctx;
  sha1_init(&ctx);
  sha1_update(&ctx, key.size(), reinterpret_cast<const uint8_t*>(key.data()));
  uint8_t digest[SHA1_DIGEST_SIZE];
  sha1_digest(&ctx, sizeof digest, digest);
  // The digest bytes are the words H0..H4 big-endian; the file stores each word little-endian.
  for (int w = 0; w < 5; ++w) {
    for (int b = 0; b < 4; ++b) out[w * 4 + b] = digest[w * 4 + 3 - b];
  }
  return out;
}

std::array<uint32_t, 5> Sha1Words(std::string_view text) {
  sha1_ctx ctx;
  sha1_init(&ctx);
  sha1_update(&ctx, text.size(), reinterpret_cast<const uint8_t*>(text.data()));
  uint8_t digest[SHA1_DIGEST_SIZE];
  sha1_digest(&ctx, sizeof digest, digest);
  std::array<uint32_t, 5> words{};
  for (int w = 0; w < 5; ++w) {
    words[w] = uint32_t{digest[w * 4]} << 24 | uint32_t{digest[w * 4 + 1]} << 16 |
               uint32_t{digest[w * 4 + 2]} << 8 | uint32_t{digest[w * 4 + 3]};
  }
  return words;
}

bool ConstantTimeEqual(const uint8_t* a, const uint8_t* b, std::size_t n) {
  return memeql_sec(a, b, n) != 0;
}

uint32_t Crc32(const uint8_t* data, std::size_t n) {
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, data, static_cast<uInt>(n));
  return static_cast<uint32_t>(crc);
}

uint32_t DatabaseHeaderChecksum(const uint8_t* header254) {
  uint8_t prefix[256];
  for (int i = 0; i < 256; ++i) prefix[i] = static_cast<uint8_t>(i);
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, prefix, sizeof prefix);
  crc = crc32(crc, header254, 254);
  return static_cast<uint32_t>(crc);
}

}  // namespace zuz
