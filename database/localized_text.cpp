#include "database/localized_text.h"

#include <cstring>

#include "database/field_arena.h"
#include "runtime/heap.h"

namespace {

constexpr uint16_t kPrimaryLanguageMask = 0x3FF;

const LocalizedPair* PairFor(const LocalizedText* text, uint16_t language) {
  const LocalizedPair* sameFamily = nullptr;
  for (uint32_t i = 0; text->pairs && i < text->count; ++i) {
    uint16_t key = uint16_t(text->pairs[i].key);
    if (key == language) return &text->pairs[i];
    if ((key & kPrimaryLanguageMask) == (language & kPrimaryLanguageMask)) sameFamily = &text->pairs[i];
  }
  return sameFamily;
}

}  // namespace

const char16_t* LocalizedTextFor(const LocalizedText* text, uint16_t language) {
  const LocalizedPair* pair = PairFor(text, language);
  const char16_t* chosen = pair ? pair->text : text->text;
  return chosen ? chosen : u"";
}

void LocalizedTextReduce(LocalizedText* text, uint16_t language) {
  const LocalizedPair* pair = PairFor(text, language);
  if (pair) {
    FieldBlockFree(text->text);
    text->text = pair->text;
  }
  for (uint32_t i = 0; text->pairs && i < text->count; ++i)
    if (&text->pairs[i] != pair) FieldBlockFree(text->pairs[i].text);
  FieldBlockFree(text->pairs);
  text->pairs = nullptr;
  text->count = 0;
}

void LocalizedTextSwap(LocalizedText* a, LocalizedText* b) {
  LocalizedText held = *a;
  *a = *b;
  *b = held;
}

void LocalizedTextFree(LocalizedText* text) {
  FieldBlockFree(text->text);
  for (uint32_t i = 0; text->pairs && i < text->count; ++i) FieldBlockFree(text->pairs[i].text);
  FieldBlockFree(text->pairs);
  *text = LocalizedText{};
}

void LocalizedTextGrow(LocalizedText* text, uint32_t count) {
  if (count <= text->count) return;
  size_t size = size_t(count) * sizeof(LocalizedPair);
  if (text->pairs && FieldArenaOf(text->pairs)) {  // loaded pairs move to the heap to grow
    auto* pairs = static_cast<LocalizedPair*>(MemAllocFlags(size, kMemMustSucceed));
    memcpy(pairs, text->pairs, size_t(text->count) * sizeof(LocalizedPair));
    text->pairs = pairs;
  } else {
    text->pairs = static_cast<LocalizedPair*>(MemReallocFlags(text->pairs, size, kMemKeep | kMemMustSucceed));
  }
  text->count = count;
}
