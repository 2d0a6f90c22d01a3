// The session temporary folder (variable 413): where a fresh installation stages the files that it
// puts into the product folder once the folder is final.
#pragma once
#include <cstddef>

#include "database/object_table.h"

// Takes the expanded value of variable 413 (the start-up sequence's hook).
void SessionTempFolderSet(const char16_t* folder);

// The folder into [start, start + capacity), made when missing: the value taken above when it is a
// full path, else the user's temporary folder plus "Kes" and the run identifier ("Kes%08lX"). A
// folder this run makes is journalled as temporary and goes, with what is left in it, at the end
// of the run. Returns 0 or the error of making it (E0009).
uint32_t SessionTempFolderPath(ObjectTable* db, char16_t* start, size_t capacity);
