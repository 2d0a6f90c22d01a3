// In-memory scrambling of small secrets (the remembered package password): the buffer is treated
// as whole 32-bit words (a length that is not a multiple of 4 is rounded up, so the buffer must be
// that large) and chained with the output of L'Ecuyer's combined generator, started from `seed`.
// Unscrambling with the same seed restores the bytes.
#pragma once
#include <cstddef>
#include <cstdint>

void Scramble(void* buffer, size_t size, uint32_t seed);
void Unscramble(void* buffer, size_t size, uint32_t seed);

// Overwrites a buffer with zeros in a way the compiler does not remove.
void WipeMemory(void* buffer, size_t size);
