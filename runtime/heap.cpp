#include "runtime/heap.h"

#include <cstring>

// The platform part (heap_win.cpp / heap_host.cpp) supplies these four primitives.
void* HeapPrimitiveAlloc(size_t size);
void* HeapPrimitiveRealloc(void* block, size_t size);  // zero-fills the tail
void HeapPrimitiveFree(void* block);

void* MemAlloc(size_t size) { return HeapPrimitiveAlloc(size); }

void MemFree(void* block) {
  if (block) HeapPrimitiveFree(block);
}

void* MemRealloc(void* block, size_t size) {
  if (!block) return MemAlloc(size);
  if (size == 0) {
    MemFree(block);
    return nullptr;
  }
  return HeapPrimitiveRealloc(block, size);
}

void* MemAllocFlags(size_t size, uint32_t flags) {
  void* block = HeapPrimitiveAlloc(size);
  if (!block && (flags & kMemMustSucceed)) MemRaiseOutOfMemory();
  return block;
}

void* MemReallocFlags(void* block, size_t size, uint32_t flags) {
  if (!block) return MemAllocFlags(size, flags);
  if (size == 0) {
    MemFree(block);
    return nullptr;
  }
  void* result;
  if (flags & kMemKeep) {
    result = HeapPrimitiveRealloc(block, size);
  } else {
    MemFree(block);
    result = HeapPrimitiveAlloc(size);
  }
  if (!result && (flags & kMemMustSucceed)) MemRaiseOutOfMemory();
  return result;
}

size_t MemGrowCapacity(size_t capacity, size_t needed, size_t maximum) {
  size_t result = capacity ? capacity : 8;
  if (needed >= 0x7FFFFFFF) {
    result = needed;
  } else {
    while (result < needed) result *= 2;
  }
  return result < maximum ? result : maximum;
}
