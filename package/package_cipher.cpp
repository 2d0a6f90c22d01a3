#include "package/package_cipher.h"

#include "runtime/errors.h"
#include "runtime/heap.h"

namespace {

uint32_t CipherHook(void* context, uint8_t* bytes, uint32_t count) {
  if (!context) return ERROR_INVALID_PARAMETER;
  PackageCipherApply(static_cast<PackageCipher*>(context), bytes, count);
  return ERROR_SUCCESS;
}

bool HasCipher(const BufferedFile* file) {
  return file->fill_hook == CipherHook && file->hook_context != nullptr;
}

}  // namespace

void PackageCipherKey(PackageCipher* cipher, const uint8_t* key, uint32_t length) {
  for (int k = 0; k < 256; ++k) cipher->s[k] = uint8_t(k);
  uint8_t j = 0;
  for (uint32_t i = 0; i < 256; ++i) {
    j = uint8_t(j + cipher->s[i] + key[i % length]);
    uint8_t t = cipher->s[i];
    cipher->s[i] = cipher->s[j];
    cipher->s[j] = t;
  }
  cipher->i = 0;
  cipher->j = j;
}

void PackageCipherApply(PackageCipher* cipher, uint8_t* bytes, uint32_t count) {
  uint8_t* s = cipher->s;
  uint8_t i = cipher->i, j = cipher->j;
  for (uint32_t k = 0; k < count; ++k) {
    i = uint8_t(i + 1);
    uint8_t si = s[i];
    j = uint8_t(j + si);
    uint8_t sj = s[j];
    s[i] = sj;
    s[j] = si;
    bytes[k] ^= s[uint8_t(si + sj)];
  }
  cipher->i = i;
  cipher->j = j;
}

uint32_t PackageCipherAttach(BufferedFile* file, const uint8_t* key, uint32_t length) {
  if (!length) return ERROR_INVALID_PARAMETER;
  PackageCipherDetach(file);
  auto* cipher = MemNew<PackageCipher>();
  PackageCipherKey(cipher, key, length);
  BufferedSetHooks(file, CipherHook, CipherHook, cipher);
  return ERROR_SUCCESS;
}

void PackageCipherApplyNow(BufferedFile* file) {
  if (!HasCipher(file)) return;
  uint32_t count;
  uint8_t* bytes = BufferedUnread(file, &count);
  PackageCipherApply(static_cast<PackageCipher*>(file->hook_context), bytes, count);
}

void PackageCipherDetach(BufferedFile* file) {
  if (!HasCipher(file)) return;
  PackageWipe(file->hook_context, sizeof(PackageCipher));
  MemFree(file->hook_context);
  BufferedSetHooks(file, nullptr, nullptr, nullptr);
}

void PackageWipe(void* bytes, uint32_t count) {
  volatile uint8_t* p = static_cast<volatile uint8_t*>(bytes);
  while (count--) *p++ = 0;
}
