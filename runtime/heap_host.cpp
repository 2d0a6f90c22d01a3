#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/heap.h"

// Each block carries its size in a 16-byte header, so a resize can zero-fill exactly the new tail.
namespace {
constexpr size_t kHeader = 16;

size_t BlockSize(void* block) { return *reinterpret_cast<size_t*>(static_cast<char*>(block) - kHeader); }
}  // namespace

void* HeapPrimitiveAlloc(size_t size) {
  if (size > SIZE_MAX - kHeader) return nullptr;
  char* raw = static_cast<char*>(calloc(1, kHeader + size));
  if (!raw) return nullptr;
  *reinterpret_cast<size_t*>(raw) = size;
  return raw + kHeader;
}

void* HeapPrimitiveRealloc(void* block, size_t size) {
  if (size > SIZE_MAX - kHeader) return nullptr;
  size_t old = BlockSize(block);
  char* raw = static_cast<char*>(realloc(static_cast<char*>(block) - kHeader, kHeader + size));
  if (!raw) return nullptr;
  *reinterpret_cast<size_t*>(raw) = size;
  if (size > old) memset(raw + kHeader + old, 0, size - old);
  return raw + kHeader;
}

void HeapPrimitiveFree(void* block) { free(static_cast<char*>(block) - kHeader); }

void MemRaiseOutOfMemory() {
  fputs("out of memory (0xEBAD0004)\n", stderr);
  abort();
}
