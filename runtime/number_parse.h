// Integer literals with the base taken from the prefix (0x hexadecimal, a leading 0 octal,
// otherwise decimal), as every number read from a text is read, and hexadecimal byte strings.
#pragma once
#include <cstddef>
#include <cstdint>

// Reads blanks, an optional sign and the longest number at `text` in the base its prefix gives.
// Values beyond the type saturate at its limits (as the C library's strtol family does); the
// unsigned form negates a leading "-" modulo 2^32. `*stop` (optional) receives the first character
// not read; it is `text` itself when no digit was found, and the value is then 0.
int32_t NumberParse32(const char16_t* text, const char16_t** stop = nullptr);
uint32_t NumberParseU32(const char16_t* text, const char16_t** stop = nullptr);
int64_t NumberParse64(const char16_t* text, const char16_t** stop = nullptr);
uint64_t NumberParseU64(const char16_t* text, const char16_t** stop = nullptr);

// Reads up to `capacity` bytes, each from two hexadecimal digits (a single digit gives a byte of
// that value), blanks skipped before each byte; stops at the first other character. Returns the
// number of bytes read.
size_t HexBytesParse(const char16_t* text, uint8_t* bytes, size_t capacity);

inline int HexDigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// A decimal number (blanks, optional sign, digits) without base detection, saturated to 64 bits.
int64_t NumberParseDecimal64(const char16_t* text);
