// Registry value data as text, by value type: REG_SZ and REG_EXPAND_SZ the text (a missing
// terminator added); REG_DWORD decimal; REG_DWORD_BIG_ENDIAN bytes swapped back, decimal; REG_QWORD
// decimal; REG_MULTI_SZ the strings joined with character 31; REG_BINARY and every other type each
// byte as two upper-case hexadecimal digits followed by a blank. Empty data is the empty text.
#pragma once
#include <cstddef>
#include <cstdint>

enum : uint32_t {
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegMultiSz = 7,
  kRegQword = 11,
};

char16_t* RegistryDataText(char16_t* start, char16_t* end, uint32_t type, const uint8_t* data, size_t size);
