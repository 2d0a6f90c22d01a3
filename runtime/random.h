// The pseudo-random source: a per-thread generator that iterates the pseudo-DES hash of Numerical
// Recipes (psdes) over a 64-bit state seeded from the process seed, and the seed itself.
#pragma once
#include <cstdint>

// One application of psdes: hashes the pair (lword, irword) in place.
void PsdesHash(uint32_t* lword, uint32_t* irword);

// Inputs of the process seed, read from the system by ProcessSeedMake.
struct SeedSources {
  uint64_t performance_counter;
  uint64_t filetime;      // system time as a FILETIME
  uint32_t thread_id;
  uint32_t tick_count;
  uint32_t memory[8];     // the memory-status record as 32-bit words
};
// Mixes the sources into the two seed words.
void ProcessSeedMix(const SeedSources* sources, uint32_t seed[2]);

#ifdef _WIN32
// Reads the sources from the system and mixes them.
void ProcessSeedMake(uint32_t seed[2]);
// Next value of the calling thread's generator (high word first); the thread's state is seeded on
// first use.
uint64_t RandomNext64();
// The XOR of the two halves of RandomNext64.
uint32_t RandomNext32();
#endif
