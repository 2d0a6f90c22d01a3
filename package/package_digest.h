// The 16-byte volume digest: RIPEMD-128 with its compression function cut down to the first
// 16-step round of each of its two lines (32 steps per 64-byte block instead of 128). Stored
// package digests depend on exactly this reduction.
#pragma once
#include <cstdint>

struct PackageDigest {
  uint32_t chain[4];
  uint8_t block[64];
  uint64_t count;      // bytes fed so far
  uint32_t free;       // free bytes left in `block` (64 when empty)
};

void PackageDigestInit(PackageDigest* digest);
void PackageDigestUpdate(PackageDigest* digest, const void* bytes, uint64_t count);
// Pads, processes the last block(s) and writes the four chaining words as little-endian u32.
void PackageDigestFinal(PackageDigest* digest, uint8_t out[16]);
