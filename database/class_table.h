// The fixed table of the setup classes: one descriptor per class, ended by an empty entry (tag 0).
#pragma once
#include <cstddef>

#include "database/class_descriptor.h"

constexpr size_t kSetupClassCount = 108;
extern const ClassDescriptor kSetupClassTable[kSetupClassCount + 1];
