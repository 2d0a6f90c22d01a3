#include "tools/kez/project_ids.h"

namespace {

constexpr uint64_t kFnvOffsetBasis = 0xCBF29CE484222325ULL;
constexpr uint64_t kFnvPrime = 0x100000001B3ULL;

uint64_t Fnv1a64(const std::string& text, uint64_t basis) {
  uint64_t hash = basis;
  for (char c : text) {
    hash ^= uint8_t(c);
    hash *= kFnvPrime;
  }
  return hash;
}

}  // namespace

uint64_t ProjectIdFromName(const std::string& name) {
  return 0x4000000000000000ULL | (Fnv1a64(name, kFnvOffsetBasis) & 0x3FFFFFFFFFFFFFFFULL);
}

void ProjectPackageCode(const std::string& text, uint8_t code[16]) {
  uint64_t low = Fnv1a64(text, kFnvOffsetBasis), high = Fnv1a64(text, ~kFnvOffsetBasis);
  for (int i = 0; i < 8; ++i) {
    code[i] = uint8_t(low >> (8 * i));
    code[8 + i] = uint8_t(high >> (8 * i));
  }
  code[7] = uint8_t((code[7] & 0x0F) | 0x80);  // the version nibble: high half of data3's high byte
  code[8] = uint8_t((code[8] & 0x3F) | 0x80);  // the variant bits
}
