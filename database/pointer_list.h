// Run-time lists of objects (PointerList, three slots: items, count, capacity). The list owns its
// item array, not the objects. Sorting is a heap sort in place and searching a bisection with the
// same comparison, as for the class registry.
#pragma once
#include <cstdint>

#include "database/setup_object.h"

void PointerListAppend(PointerList* list, SetupObject* object);
// Frees the item array; the list is empty afterwards.
void PointerListFree(PointerList* list);

// Compares two objects (negative, 0, positive).
using ObjectCompare = int (*)(const SetupObject* a, const SetupObject* b);
void PointerListSort(PointerList* list, ObjectCompare compare);

// Bisection over a list sorted by the same order: `compare(key, object)` compares a key with an
// object. Returns an object that matches, or null.
using KeyCompare = int (*)(const void* key, const SetupObject* object);
SetupObject* PointerListSearch(const PointerList* list, const void* key, KeyCompare compare);

// The heap sort on a plain array of object pointers.
void ObjectArraySort(SetupObject** items, uint32_t count, ObjectCompare compare);
