#include "database/object_id.h"

#include "runtime/platform.h"

namespace {

constexpr uint32_t kRoundKeys[4] = {0xBAA96887, 0x1E17D32C, 0x03BCDC3C, 0x0F33D1B2};
constexpr uint32_t kRoundMasks[4] = {0x4B0F3B58, 0xE874F0C3, 0x6955C5A6, 0x55A7CA46};

ObjectIdSeedSource g_source;
uint64_t g_state;
bool g_seeded;

uint32_t RotateRight16(uint32_t value) { return value >> 16 | value << 16; }

}  // namespace

uint64_t ObjectIdMix(uint64_t state) {
  uint32_t low = uint32_t(state);
  uint32_t high = uint32_t(state >> 32);
  for (int i = 0; i < 4; ++i) {
    uint32_t t = high ^ kRoundKeys[i];
    uint32_t lo = t & 0xFFFF;
    uint32_t hi = t >> 16;
    uint32_t u = RotateRight16(~(hi * hi) + lo * lo) ^ kRoundMasks[i];
    uint32_t next = low ^ (u + hi * lo);
    low = high;
    high = next;
  }
  return uint64_t(high) << 32 | low;
}

void ObjectIdSetSeedSource(ObjectIdSeedSource source) { g_source = source; }

void ObjectIdSeed(uint64_t state) {
  g_state = state;
  g_seeded = true;
}

uint64_t ObjectIdNew() {
  if (!g_seeded) ObjectIdSeed(g_source ? g_source() : PlatformNowFileTime());
  g_state = ObjectIdMix(g_state);
  return g_state;
}
