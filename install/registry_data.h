// Registry value data written from text, by value type: REG_SZ and REG_EXPAND_SZ the text with its
// terminating NUL; REG_DWORD an integer literal (decimal, 0x hexadecimal, leading-0 octal) in 4
// bytes; REG_DWORD_BIG_ENDIAN the same with the bytes swapped; REG_QWORD a 64-bit literal in 8
// bytes; REG_MULTI_SZ the text with every character 31 turned into a NUL, then an empty string;
// REG_BINARY and every other type hexadecimal digit pairs (blanks before each pair, a lone digit
// is one byte, stopping at the first other character), at most 2048 bytes. Null reads as "".
// The reverse is RegistryDataText (expr/registry_text.h).
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kRegistryBinaryTextLimit = 2048;

// The data bytes for `text` as a value of `type`: a heap block (MemFree) of *size bytes, or null
// when memory ran out.
uint8_t* RegistryTextData(const char16_t* text, uint32_t type, size_t* size);
