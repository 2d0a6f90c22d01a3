// An argument vector: the command line split into texts, the first being the program path.
#pragma once
#include <cstddef>
#include <cstdint>

struct ArgumentVector {
  uint32_t count;
  uint32_t capacity;
  char16_t** texts;  // each text and the array are heap blocks owned by the vector
};

// Appends a copy of `length` characters of `text`.
void ArgumentAppend(ArgumentVector* vector, const char16_t* text, size_t length);
// Replaces argument `index` with a copy of `text`, wiping the old text first.
void ArgumentReplace(ArgumentVector* vector, uint32_t index, const char16_t* text);
// Frees every text and the array; the vector is empty afterwards.
void ArgumentFree(ArgumentVector* vector);
