// Reads a whole text file into UTF-16 with its encoding detected from the byte-order mark.
#pragma once
#include <cstddef>
#include <cstdint>

enum : uint32_t {
  kTextEncodingCodePage = 0,  // 8-bit text in the caller's code page
  kTextEncodingUtf8 = 1,
  kTextEncodingUtf16LE = 2,
  kTextEncodingUtf16BE = 3,
};

constexpr uint64_t kFileTextMaxBytes = 16777216;

// Maps the file read-only and converts it: FF FE is UTF-16 little-endian, FE FF big-endian (byte-
// swapped), EF BB BF UTF-8, anything else 8-bit text in `code_page` (0 = the ANSI code page). The
// mark is not part of the text; every carriage return is removed. `*text` receives a heap block
// (MemFree) holding the NUL-terminated text, `*length` its length in characters, `*encoding` one of
// the values above. Returns 0; 8 for a file larger than 16 MiB or when memory runs out; the
// system's error when the file cannot be opened or mapped or the conversion fails.
uint32_t FileReadText(const char16_t* path, uint32_t code_page, char16_t** text, size_t* length, uint32_t* encoding);
