// Texts of the program's string table (the resources of the registered instance module).
#pragma once
#include <cstdint>

// Loads text `id` in `language`, falling back to the neutral language and then to an empty text.
// Returns the pointer to the terminating NUL (text.h conventions).
char16_t* StringLoad(uint32_t id, uint16_t language, char16_t* start, char16_t* end);
