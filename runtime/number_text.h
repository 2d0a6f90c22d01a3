// Whole numbers read from texts (command-line switches, option assignments). Reading stops at the
// first character that does not belong to the number; a text without digits reads as 0. The
// magnitude saturates at 0xFFFFFFFF, so the result lies in [-0xFFFFFFFF, 0xFFFFFFFF].
#pragma once
#include <cstdint>

// Optional sign, then decimal digits.
int64_t NumberParseDecimal(const char16_t* text, const char16_t** end = nullptr);
// Optional sign, then the base by prefix: "0x" or "0X" hexadecimal, a leading "0" octal, else decimal.
int64_t NumberParseByPrefix(const char16_t* text, const char16_t** end = nullptr);

// Clamps to the range of a signed 32-bit value.
int32_t NumberClampInt32(int64_t value);
