// Ids for objects created at run time: the next value of a process-wide 64-bit pseudo-random
// sequence (main thread only).
#pragma once
#include <cstdint>

// Where the sequence's first state comes from. The Windows runtime passes a source built from the
// same values as its process seed (performance counter, memory status, system time, thread id,
// tick count); without one the state is seeded from the clock on first use.
using ObjectIdSeedSource = uint64_t (*)();
void ObjectIdSetSeedSource(ObjectIdSeedSource source);
// Sets the state directly (tests and tools that want a repeatable sequence).
void ObjectIdSeed(uint64_t state);

// The next id: four rounds of the mixing below over the state; the new state is the id.
uint64_t ObjectIdNew();

// Four rounds i = 0..3 of the pseudo-DES mixing over the state (L low, H high):
// t = H ^ C1[i]; lo = t & 0xFFFF; hi = t >> 16; u = rotr(~(hi*hi) + lo*lo, 16) ^ C2[i];
// (L, H) = (H, L ^ (u + hi*lo)), all modulo 2^32. Returns H << 32 | L.
uint64_t ObjectIdMix(uint64_t state);
