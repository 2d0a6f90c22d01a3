#include "database/field_arena.h"

#include <cstdint>
#include <cstring>

#include "runtime/heap.h"

namespace {

constexpr size_t kFirstBlockSize = 64 * 1024;
constexpr size_t kLargestBlockSize = 8 * 1024 * 1024;
constexpr size_t kBlockHeader = 16;  // keeps the data as aligned as the heap block
constexpr size_t kMaxAlignment = 8;  // heap blocks are at least 8-aligned, so block ends are too

struct ArenaBlock {
  ArenaBlock* next;
  size_t size;  // bytes of data after the header
};

// The data ranges of every live arena's blocks, sorted by start, for FieldArenaOf. A spin lock
// guards them: blocks come and go rarely and every lookup is a short bisection.
struct Range {
  uintptr_t begin;
  uintptr_t end;
  FieldArena* arena;
};
Range* g_ranges;
uint32_t g_range_count;
uint32_t g_range_capacity;
bool g_ranges_locked;

void LockRanges() {
  while (__atomic_test_and_set(&g_ranges_locked, __ATOMIC_ACQUIRE)) {
  }
}
void UnlockRanges() { __atomic_clear(&g_ranges_locked, __ATOMIC_RELEASE); }

// The number of ranges that start at or below the address.
uint32_t RangesFrom(uintptr_t address) {
  uint32_t low = 0, high = g_range_count;
  while (low < high) {
    uint32_t middle = low + (high - low) / 2;
    if (g_ranges[middle].begin <= address)
      low = middle + 1;
    else
      high = middle;
  }
  return low;
}

void AddRange(const uint8_t* data, size_t size, FieldArena* arena) {
  LockRanges();
  if (g_range_count == g_range_capacity) {
    g_range_capacity = g_range_capacity ? g_range_capacity * 2 : 16;
    g_ranges = static_cast<Range*>(
        MemReallocFlags(g_ranges, g_range_capacity * sizeof(Range), kMemKeep | kMemMustSucceed));
  }
  uint32_t at = RangesFrom(uintptr_t(data));
  memmove(g_ranges + at + 1, g_ranges + at, (g_range_count - at) * sizeof(Range));
  g_ranges[at] = Range{uintptr_t(data), uintptr_t(data) + size, arena};
  __atomic_store_n(&g_range_count, g_range_count + 1, __ATOMIC_RELAXED);
  UnlockRanges();
}

void RemoveRanges(const FieldArena* arena) {
  LockRanges();
  uint32_t kept = 0;
  for (uint32_t i = 0; i < g_range_count; ++i)
    if (g_ranges[i].arena != arena) g_ranges[kept++] = g_ranges[i];
  __atomic_store_n(&g_range_count, kept, __ATOMIC_RELAXED);
  if (!kept) {
    MemFree(g_ranges);
    g_ranges = nullptr;
    g_range_capacity = 0;
  }
  UnlockRanges();
}

uint8_t* AlignUp(uint8_t* at, size_t alignment) {
  return reinterpret_cast<uint8_t*>((uintptr_t(at) + alignment - 1) & ~uintptr_t(alignment - 1));
}

}  // namespace

// Texts (2-aligned) and word-aligned data (instances, arrays of pointers and numbers) come from two
// lanes with a current block each, so that a text's odd length costs no padding before the next
// instance or array.
struct ArenaLane {
  uint8_t* cursor;  // the next free byte of the lane's current block
  uint8_t* limit;   // the end of the current block
  uint8_t* latest;  // the latest allocation in the current block: it may still change its size
};

struct FieldArena {
  ArenaBlock* blocks;  // every block, the newest first
  ArenaLane lanes[2];  // 0: alignment up to 2, 1: larger alignments
  size_t next_size;    // the data size of the next current block
};

namespace {

uint8_t* AddBlock(FieldArena* arena, size_t size) {
  if (size > SIZE_MAX - kBlockHeader - kMaxAlignment) MemRaiseOutOfMemory();
  size = (size + kMaxAlignment - 1) & ~(kMaxAlignment - 1);
  auto* block = static_cast<ArenaBlock*>(MemAllocFlags(kBlockHeader + size, kMemMustSucceed));
  block->next = arena->blocks;
  block->size = size;
  arena->blocks = block;
  uint8_t* data = reinterpret_cast<uint8_t*>(block) + kBlockHeader;
  AddRange(data, size, arena);
  return data;
}

ArenaLane* LaneFor(FieldArena* arena, size_t alignment) { return &arena->lanes[alignment > 2 ? 1 : 0]; }

uint8_t* Take(ArenaLane* lane, size_t size, size_t alignment) {
  uint8_t* at = AlignUp(lane->cursor, alignment);
  if (size > size_t(lane->limit - at)) return nullptr;
  lane->latest = at;
  lane->cursor = at + size;
  return at;
}

}  // namespace

FieldArena* FieldArenaCreate() {
  FieldArena* arena = MemNew<FieldArena>();
  arena->next_size = kFirstBlockSize;
  return arena;
}

void FieldArenaRelease(FieldArena* arena) {
  if (!arena) return;
  RemoveRanges(arena);
  for (ArenaBlock* block = arena->blocks; block;) {
    ArenaBlock* next = block->next;
    MemFree(block);
    block = next;
  }
  MemFree(arena);
}

void* FieldArenaAllocate(FieldArena* arena, size_t size, size_t alignment) {
  if (!arena) return MemAllocFlags(size, kMemMustSucceed);
  ArenaLane* lane = LaneFor(arena, alignment);
  if (uint8_t* at = Take(lane, size, alignment)) return at;
  // A request of more than a quarter of the next block gets a block of its own, so that the room
  // left in the current block is not given up for it.
  if (size > arena->next_size / 4) return AddBlock(arena, size);
  lane->cursor = AddBlock(arena, arena->next_size);
  lane->limit = lane->cursor + arena->blocks->size;
  if (arena->next_size < kLargestBlockSize) arena->next_size *= 2;
  return Take(lane, size, alignment);
}

void* FieldArenaResize(FieldArena* arena, void* block, size_t size, size_t new_size, size_t alignment) {
  if (!arena) return MemReallocFlags(block, new_size, kMemKeep | kMemMustSucceed);
  auto* at = static_cast<uint8_t*>(block);
  ArenaLane* lane = LaneFor(arena, alignment);
  if (at == lane->latest && new_size <= size_t(lane->limit - at)) {
    lane->cursor = at + new_size;
    return block;
  }
  if (new_size <= size) return block;
  void* moved = FieldArenaAllocate(arena, new_size, alignment);
  memcpy(moved, block, size);
  return moved;
}

FieldArena* FieldArenaOf(const void* address) {
  // Without a live arena there is nothing to look up (most of the runtime's frees).
  if (!__atomic_load_n(&g_range_count, __ATOMIC_RELAXED)) return nullptr;
  FieldArena* arena = nullptr;
  LockRanges();
  uint32_t from = RangesFrom(uintptr_t(address));
  if (from && uintptr_t(address) < g_ranges[from - 1].end) arena = g_ranges[from - 1].arena;
  UnlockRanges();
  return arena;
}

void FieldBlockFree(void* block) {
  if (block && !FieldArenaOf(block)) MemFree(block);
}
