// The system path table read by `<$syspath(i)>` and the system value table read by
// `<$sysval(i,arg)>`. Both start empty; start-up fills them (standard folders, system inspection).
#pragma once
#include <cstdint>

constexpr unsigned kSystemPathSlots = 10;
constexpr unsigned kSystemValueSlots = 36;

// Stores a copy of `text` in slot `index` (0-9) and traces the write; a null text empties the slot.
void SystemPathSet(unsigned index, const char16_t* text);
// The text of a slot; empty for an empty slot or an index out of range.
const char16_t* SystemPath(unsigned index);
// Frees the slots (at shutdown).
void SystemPathsClear();

// One entry of the system value table: writes the value for `argument`.
using SystemValueProc = char16_t* (*)(const char16_t* argument, char16_t* start, char16_t* end);
// Installs the table of kSystemValueSlots entries (null entries give nothing); null uninstalls it.
void SystemValuesInstall(const SystemValueProc* table);
