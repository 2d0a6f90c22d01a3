#include "runtime/scramble.h"

#include <cstring>

namespace {

// L'Ecuyer's combined generator in Schrage's form, on signed 32-bit values with wrap-around products.
struct Generator {
  int32_t s1, s2;

  explicit Generator(uint32_t seed) : s1(int32_t(seed)), s2(int32_t(~seed)) {}

  static int32_t Step(int32_t s, int32_t q, uint32_t a, uint32_t m) {
    int32_t k = s / q;
    int32_t next = int32_t(a * uint32_t(s) - uint32_t(k) * m);
    if (next < 0) next = int32_t(uint32_t(next) + m);
    return next;
  }

  uint32_t Next() {
    s1 = Step(s1, 53668, 40014, 2147483563u);
    s2 = Step(s2, 52774, 40692, 2147483399u);
    return uint32_t(s1) - uint32_t(s2);
  }
};

uint32_t LoadWord(const uint8_t* p) {
  uint32_t w;
  memcpy(&w, p, 4);
  return w;
}

void StoreWord(uint8_t* p, uint32_t w) { memcpy(p, &w, 4); }

}  // namespace

void Scramble(void* buffer, size_t size, uint32_t seed) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  Generator generator(seed);
  uint32_t chain = 0;
  for (size_t k = 0; k < (size + 3) / 4; ++k) {
    chain ^= generator.Next() ^ LoadWord(bytes + 4 * k);
    StoreWord(bytes + 4 * k, chain);
  }
}

void Unscramble(void* buffer, size_t size, uint32_t seed) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  Generator generator(seed);
  uint32_t previous = 0;
  for (size_t k = 0; k < (size + 3) / 4; ++k) {
    uint32_t scrambled = LoadWord(bytes + 4 * k);
    StoreWord(bytes + 4 * k, generator.Next() ^ scrambled ^ previous);
    previous = scrambled;
  }
}

void WipeMemory(void* buffer, size_t size) {
  volatile auto* bytes = static_cast<volatile uint8_t*>(buffer);
  for (size_t i = 0; i < size; ++i) bytes[i] = 0;
}
