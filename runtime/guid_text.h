// GUIDs in registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}". The record has the Windows
// layout (a 32-bit, two 16-bit fields and eight bytes), so a Windows GUID can be passed through.
#pragma once
#include <cstdint>

struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};
static_assert(sizeof(Guid) == 16, "Guid has the Windows layout");

// "{%08lX-%04X-%04X-%04X-%04X%04X%04X}": upper-case, bytes 8-9 as one group, 10-15 as three.
char16_t* GuidText(char16_t* start, char16_t* end, const Guid& guid);

// Expects "{", then hexadecimal groups separated by "-" (32-bit, 16-bit, 16-bit, two bytes, six
// bytes); a closing "}" is consumed when present. Reading stops at the first unexpected character:
// the fields read so far stay, the rest are zero. Returns where reading stopped.
const char16_t* GuidParse(const char16_t* text, Guid* guid);
