// Field names of the package builder's project files: per class, the names that stand for stored
// slots, and for reference fields the class that the referenced object must be of. A class's own
// rows are looked up first, then those of its ancestors, so `a001` also knows the names of `a000`.
#pragma once
#include <cstdint>

#include "database/class_descriptor.h"

struct ProjectFieldName {
  uint32_t tag;      // the class that owns the slot
  const char* name;  // null: a row that only says what a reference field points to
  unsigned slot;
  uint32_t target;   // reference fields: the class the referenced object is of (or descends from); 0 any
};

// The row of the class (or an ancestor) with the name; null when none.
const ProjectFieldName* ProjectFieldByName(const ClassDescriptor* cls, const char* name);
// The row of the class (or an ancestor) for the slot; null when none.
const ProjectFieldName* ProjectFieldBySlot(const ClassDescriptor* cls, unsigned slot);
