// Readers, writers and destruction of the field types (class_descriptor.h), applied to one field of
// an object: the field that starts at `slot`.
//
// Stored forms (little-endian): types 1, 3 four bytes; 2, 4, 9, 16 eight bytes; 5, 7 a u32 count then
// count × 4 bytes; 6, 8, 10 a u32 count then count × 8 bytes; 11, 12 a string (field_string.h); 13 a
// u32 count then count strings; 14 the default string, a u32 count, then count × (u32 language key,
// string); 15 a u32 length then the bytes.
#pragma once
#include <cstdint>

#include "database/class_descriptor.h"
#include "database/field_arena.h"
#include "runtime/buffered_file.h"

// Reads a stored field into a field that holds nothing yet, its texts and arrays taken from the
// arena when one is given (the loader passes its table's), else from the heap. A count or length of
// 0 leaves an array (types 5-8, 10, 13, 15) and the pairs of a localized text untouched; a text field
// always receives a text. Arrays grow as their items arrive, so a count that the stream cannot hold
// fails at the stream's end. Returns 0, the stream's error (38 when it ends inside the field; the
// field is left as it was, and what the arena gave up to it stays with the arena), or 11 for the end
// marker or an unknown type code.
uint32_t FieldRead(BufferedFile* stream, SetupObject* object, unsigned slot, uint8_t type,
                   FieldArena* arena = nullptr);

// Writes a field in its stored form. Returns 0, the stream's error, or 11 for type 0 or unknown.
uint32_t FieldWrite(BufferedFile* stream, const SetupObject* object, unsigned slot, uint8_t type);

// Frees what the field owns (type 5-8, 10, 15 the items; 11, 12 the text; 13 each text, then the
// items; 14 the default, every pair's text, the pairs) and clears the field's slots. Heap blocks are
// freed, arena memory is left to its table (FieldBlockFree).
void FieldFree(SetupObject* object, unsigned slot, uint8_t type);

// Arrays of u32 (types 5, 7): the index of the first item equal to value, or -1.
int32_t U32ArrayIndexOf(const U32Array* array, uint32_t value);
