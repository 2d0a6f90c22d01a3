// The field arena: large blocks owned by an object table, from which a load takes the instances of
// the objects it reads and the storage of their fields (texts, arrays, localized pairs). A database
// of a million small fields costs a few dozen allocations instead of a million, and is released at
// once with its table (ObjectTableDestroy).
//
// Arena memory is never freed on its own. FieldBlockFree, and through it FieldFree, ObjectDestroy
// and the LocalizedText helpers, recognise it and leave it to the table; everything else they free
// is a heap block. The rules for field memory that follow from this are in setup_object.h.
#pragma once
#include <cstddef>

struct FieldArena;

// An empty arena; it takes its first block when it is first used.
FieldArena* FieldArenaCreate();
// Frees every block of the arena. Null is accepted.
void FieldArenaRelease(FieldArena* arena);

// `size` (> 0) bytes aligned to `alignment` (a power of two, at most 8), not zero-filled. A null
// arena gives a zero-filled heap block instead (MemAlloc), so a reader serves both with one code
// path. Never null: out of memory raises like every must-succeed allocation.
void* FieldArenaAllocate(FieldArena* arena, size_t size, size_t alignment);
// Resizes a block of `size` bytes from FieldArenaAllocate with the same arena and alignment to
// `new_size` (> 0) bytes, keeping the first bytes of both sizes. The latest block of its alignment
// (texts up to 2, words above) grows or shrinks in place while its arena block has room; another
// block that grows moves to a new place (the old place is given up until the arena is released).
// Bytes beyond `size` are not zero-filled in an arena. A null arena resizes the heap block
// (MemRealloc).
void* FieldArenaResize(FieldArena* arena, void* block, size_t size, size_t new_size, size_t alignment);

// The arena whose memory holds the address, or null for memory outside every live arena. Safe from
// any thread.
FieldArena* FieldArenaOf(const void* address);

// Frees a heap block (MemFree) and leaves arena memory alone. Null is accepted.
void FieldBlockFree(void* block);
