#include "session/argument_vector.h"

#include "runtime/heap.h"
#include "runtime/scramble.h"
#include "runtime/text.h"

namespace {

char16_t* CopyText(const char16_t* text, size_t length) {
  auto* copy = MemNew<char16_t>(length + 1);
  TextCopyN(copy, copy + length, text, length);
  return copy;
}

void FreeText(char16_t* text) {
  if (!text) return;
  WipeMemory(text, TextLength(text) * sizeof(char16_t));
  MemFree(text);
}

}  // namespace

void ArgumentAppend(ArgumentVector* vector, const char16_t* text, size_t length) {
  if (vector->count == vector->capacity) {
    uint32_t capacity = uint32_t(MemGrowCapacity(vector->capacity, size_t(vector->count) + 1, UINT32_MAX));
    vector->texts = static_cast<char16_t**>(
        MemReallocFlags(vector->texts, sizeof(char16_t*) * capacity, kMemKeep | kMemMustSucceed));
    vector->capacity = capacity;
  }
  vector->texts[vector->count++] = CopyText(text, length);
}

void ArgumentReplace(ArgumentVector* vector, uint32_t index, const char16_t* text) {
  if (index >= vector->count) return;
  FreeText(vector->texts[index]);
  vector->texts[index] = CopyText(text, TextLength(text));
}

void ArgumentFree(ArgumentVector* vector) {
  for (uint32_t i = 0; i < vector->count; ++i) FreeText(vector->texts[i]);
  MemFree(vector->texts);
  *vector = ArgumentVector{};
}
