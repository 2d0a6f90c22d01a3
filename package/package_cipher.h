// The package stream cipher: a byte-stream cipher of the RC4 family whose index j keeps the value
// it has at the end of the key schedule (standard RC4 resets it to 0). Enciphering and
// deciphering are the same operation; no keystream bytes are discarded.
#pragma once
#include <cstdint>

#include "runtime/buffered_file.h"

struct PackageCipher {
  uint8_t s[256];
  uint8_t i;
  uint8_t j;
};

// Keys the state; `length` must be at least 1.
void PackageCipherKey(PackageCipher* cipher, const uint8_t* key, uint32_t length);
// XORs `count` bytes in place with the next keystream bytes.
void PackageCipherApply(PackageCipher* cipher, uint8_t* bytes, uint32_t count);

// Keys a new cipher state and hooks it into the buffered file: every fill of the read buffer is
// deciphered in place before it is consumed, every flush of the write buffer enciphered first.
// A file that already has a cipher gets a fresh one. Returns 0, or 87 for an empty key.
uint32_t PackageCipherAttach(BufferedFile* file, const uint8_t* key, uint32_t length);
// Deciphers the bytes between the read position and the end of the current buffer: the bytes that
// were read before the key was known.
void PackageCipherApplyNow(BufferedFile* file);
// Unhooks and frees (wiped) the cipher state; a file without cipher is left alone.
void PackageCipherDetach(BufferedFile* file);

// Overwrites `count` bytes with zeros in a way the compiler keeps (for keys and passwords).
void PackageWipe(void* bytes, uint32_t count);
