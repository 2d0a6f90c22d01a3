#include "package/package_digest.h"

#include <cstring>

#include "package/package_format.h"

namespace {

constexpr uint8_t kLeftShift[16] = {11, 14, 15, 12, 5, 8, 7, 9, 11, 13, 14, 15, 6, 7, 9, 8};
constexpr uint8_t kRightWord[16] = {5, 14, 7, 0, 9, 2, 11, 4, 13, 6, 15, 8, 1, 10, 3, 12};
constexpr uint8_t kRightShift[16] = {8, 9, 9, 11, 13, 15, 15, 5, 7, 7, 8, 11, 14, 14, 12, 6};
constexpr uint32_t kRightConstant = 0x50A28BE6;

inline uint32_t Rotate(uint32_t x, unsigned n) { return (x << n) | (x >> (32 - n)); }

void Compress(uint32_t chain[4], const uint8_t* block) {
  uint32_t x[16];
  for (int k = 0; k < 16; ++k) x[k] = LoadLe32(block + 4 * k);

  uint32_t a = chain[0], b = chain[1], c = chain[2], d = chain[3];
  for (int j = 0; j < 16; ++j) {
    uint32_t t = Rotate(a + (b ^ c ^ d) + x[j], kLeftShift[j]);
    a = d;
    d = c;
    c = b;
    b = t;
  }
  uint32_t ar = chain[0], br = chain[1], cr = chain[2], dr = chain[3];
  for (int j = 0; j < 16; ++j) {
    uint32_t t = Rotate(ar + ((br & dr) | (cr & ~dr)) + x[kRightWord[j]] + kRightConstant, kRightShift[j]);
    ar = dr;
    dr = cr;
    cr = br;
    br = t;
  }
  uint32_t t = chain[1] + c + dr;
  chain[1] = chain[2] + d + ar;
  chain[2] = chain[3] + a + br;
  chain[3] = chain[0] + b + cr;
  chain[0] = t;
}

}  // namespace

void PackageDigestInit(PackageDigest* digest) {
  digest->chain[0] = 0x67452301;
  digest->chain[1] = 0xEFCDAB89;
  digest->chain[2] = 0x98BADCFE;
  digest->chain[3] = 0x10325476;
  digest->count = 0;
  digest->free = 64;
}

void PackageDigestUpdate(PackageDigest* digest, const void* bytes, uint64_t count) {
  const auto* in = static_cast<const uint8_t*>(bytes);
  digest->count += count;
  if (digest->free < 64) {
    uint32_t n = count < digest->free ? uint32_t(count) : digest->free;
    memcpy(digest->block + 64 - digest->free, in, n);
    digest->free -= n;
    in += n;
    count -= n;
    if (digest->free) return;
    Compress(digest->chain, digest->block);
    digest->free = 64;
  }
  for (; count >= 64; in += 64, count -= 64) Compress(digest->chain, in);
  memcpy(digest->block, in, size_t(count));
  digest->free = 64 - uint32_t(count);
}

void PackageDigestFinal(PackageDigest* digest, uint8_t out[16]) {
  uint64_t bits = digest->count * 8;
  uint32_t used = 64 - digest->free;
  digest->block[used++] = 0x80;
  if (used > 56) {
    memset(digest->block + used, 0, 64 - used);
    Compress(digest->chain, digest->block);
    used = 0;
  }
  memset(digest->block + used, 0, 56 - used);
  StoreLe64(digest->block + 56, bits);
  Compress(digest->chain, digest->block);
  for (int k = 0; k < 4; ++k) StoreLe32(out + 4 * k, digest->chain[k]);
}
