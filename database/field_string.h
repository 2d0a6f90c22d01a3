// The stored form of a text (field types 11 and 12, and the texts inside 13 and 14): a u32 byte
// count n, then n bytes, no terminator. Each UTF-16 code unit is written on its own: below 0x80 as
// one byte, below 0x800 as two (0xC0 | u >> 6, 0x80 | u & 0x3F), any other unit, surrogates
// included, as three (0xE0 | u >> 12, 0x80 | (u >> 6) & 0x3F, 0x80 | u & 0x3F). A character outside
// the basic plane is therefore two three-byte sequences. No text (null) is written like an empty one.
#pragma once
#include <cstddef>
#include <cstdint>

#include "database/field_arena.h"
#include "runtime/buffered_file.h"

// Bytes of the encoded form of a text (without the count); 0 for null.
uint32_t StringEncodedSize(const char16_t* text);

// Writes the count and the bytes. Returns 0 or the stream's error.
uint32_t StringWrite(BufferedFile* stream, const char16_t* text);

// Reads a stored text, decoding it straight from the stream's buffer, into a new owned text, empty
// for n = 0: arena memory when an arena is given (field_arena.h), else a heap block (MemFree).
// Decoding is lenient: a lead byte below 0x80 is one unit; a lead byte of 0x80 or more takes the
// next byte as continuation, ((lead << 6) | (next & 0x3F)) & 0x7FF; a lead of 0xE0 or more takes a
// second one, ((lead << 12) | ((next & 0x3F) << 6) | (third & 0x3F)) & 0xFFFF; continuation bytes
// are not tested. A zero byte (or a decoded unit 0) ends the text early and a sequence cut off by
// the end of the n bytes is dropped; all n bytes are consumed either way. A text that the buffer
// holds whole is decoded in one pass; a longer one grows as the bytes arrive, so a count beyond the
// stream's end fails there (38) without a large allocation. Returns 0 or the stream's error (*text
// is null then).
uint32_t StringRead(BufferedFile* stream, char16_t** text, FieldArena* arena = nullptr);

// Copies a text into a new owned text (null stays null).
char16_t* TextDuplicate(const char16_t* text);
char16_t* TextDuplicateN(const char16_t* text, size_t length);
