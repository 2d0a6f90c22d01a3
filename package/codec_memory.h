// zlib's and liblzma's memory come from the process heap, like every other run-time allocation.
#pragma once
#include <lzma.h>
#include <zlib.h>

#include <cstdint>

#include "runtime/heap.h"

inline voidpf CodecZlibAlloc(voidpf, uInt items, uInt size) {
  if (size && items > SIZE_MAX / size) return Z_NULL;
  return MemAlloc(size_t(items) * size);
}
inline void CodecZlibFree(voidpf, voidpf block) { MemFree(block); }

inline void* CodecLzmaAlloc(void*, size_t count, size_t size) {
  if (size && count > SIZE_MAX / size) return nullptr;
  return MemAlloc(count * size);
}
inline void CodecLzmaFree(void*, void* block) { MemFree(block); }
constexpr lzma_allocator kCodecLzmaAllocator = {CodecLzmaAlloc, CodecLzmaFree, nullptr};
