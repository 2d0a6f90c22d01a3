#include <windows.h>

#include "runtime/heap.h"

void* HeapPrimitiveAlloc(size_t size) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size); }

void* HeapPrimitiveRealloc(void* block, size_t size) {
  return HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, size);
}

void HeapPrimitiveFree(void* block) { HeapFree(GetProcessHeap(), 0, block); }

void MemRaiseOutOfMemory() {
  RaiseException(kOutOfMemoryException, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  ExitProcess(static_cast<UINT>(-1));  // not reached: the exception is non-continuable
}
