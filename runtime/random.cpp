#include "runtime/random.h"

namespace {

uint32_t ReverseBytes(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

}  // namespace

void PsdesHash(uint32_t* lword, uint32_t* irword) {
  static const uint32_t kC1[4] = {0xBAA96887, 0x1E17D32C, 0x03BCDC3C, 0x0F33D1B2};
  static const uint32_t kC2[4] = {0x4B0F3B58, 0xE874F0C3, 0x6955C5A6, 0x55A7CA46};
  for (int i = 0; i < 4; ++i) {
    uint32_t swap = *irword;
    uint32_t ia = swap ^ kC1[i];
    uint32_t low = ia & 0xFFFF;
    uint32_t high = ia >> 16;
    uint32_t ib = low * low + ~(high * high);
    ia = (ib >> 16) | ((ib & 0xFFFF) << 16);
    *irword = *lword ^ ((ia ^ kC2[i]) + low * high);
    *lword = swap;
  }
}

void ProcessSeedMix(const SeedSources* s, uint32_t seed[2]) {
  uint64_t time = (s->filetime + 0xAC14DA92C000ull) << 12;
  uint32_t low = uint32_t(time) ^ uint32_t(s->performance_counter);
  uint32_t high = uint32_t(time >> 32) ^ uint32_t(s->performance_counter >> 32);
  low ^= s->thread_id;
  high ^= ReverseBytes(s->tick_count);
  for (int i = 0; i < 8; i += 2) {
    low ^= s->memory[i];
    high ^= s->memory[i + 1];
  }
  seed[0] = low;
  seed[1] = high;
}
