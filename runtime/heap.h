// Memory from the process heap. Blocks come back zero-filled. An allocation with kMemMustSucceed
// never returns null: on failure it raises the out-of-memory exception 0xEBAD0004 on Windows (which
// ends the run through the last-resort handler) and aborts the process elsewhere.
#pragma once
#include <cstddef>
#include <cstdint>

enum : uint32_t {
  kMemZero = 0x1,         // zero-fill (plain MemAlloc always zero-fills)
  kMemKeep = 0x2,         // resize keeps the contents; without it the old block is freed first
  kMemMustSucceed = 0x4,  // raise instead of returning null
};

constexpr uint32_t kOutOfMemoryException = 0xEBAD0004;

// Zero-filled block of `size` bytes, or null.
void* MemAlloc(size_t size);
// Frees a block; null is accepted.
void MemFree(void* block);
// Null block allocates; size 0 frees and returns null; otherwise re-allocates, keeping the
// contents and zero-filling the new tail. Returns null on failure (the old block stays valid).
void* MemRealloc(void* block, size_t size);
// Allocation and resize with the flags above.
void* MemAllocFlags(size_t size, uint32_t flags);
void* MemReallocFlags(void* block, size_t size, uint32_t flags);

// Growth policy of growing buffers: from `capacity` (8 when 0) double until `needed` is reached;
// a need of 0x7FFFFFFF or more becomes the capacity directly; capped at `maximum`.
size_t MemGrowCapacity(size_t capacity, size_t needed, size_t maximum);

// Typed must-succeed helpers for the runtime's own records.
template <typename T>
T* MemNew(size_t count = 1) {
  return static_cast<T*>(MemAllocFlags(sizeof(T) * count, kMemZero | kMemMustSucceed));
}

// Called when a must-succeed allocation fails; never returns.
[[noreturn]] void MemRaiseOutOfMemory();
