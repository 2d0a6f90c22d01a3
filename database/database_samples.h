// Sample databases for tests, fuzz seeds and the benchmark, made with the builder API.
#pragma once
#include <cstdint>

#include "database/object_table.h"

// Gives every stored field of the object a non-default value that depends on `variant`: numbers,
// ids and lists, texts with characters of one, two and three bytes and one outside the basic plane,
// localized texts with two pairs, a byte block.
void SampleFillEveryField(SetupObject* object, uint32_t variant);

// A table (seed 0) with `per_class` objects of every class of the class table, every stored field
// filled, ids 1, 2, 3, ... in class-table order, and a package code, installation time and
// support-file count in the header.
ObjectTable* SampleEveryClass(uint32_t per_class);
