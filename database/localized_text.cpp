#include "database/localized_text.h"

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
    MemFree(text->text);
    text->text = pair->text;
  }
  for (uint32_t i = 0; text->pairs && i < text->count; ++i)
    if (&text->pairs[i] != pair) MemFree(text->pairs[i].text);
  MemFree(text->pairs);
  text->pairs = nullptr;
  text->count = 0;
}

void LocalizedTextSwap(LocalizedText* a, LocalizedText* b) {
  LocalizedText held = *a;
  *a = *b;
  *b = held;
}

void LocalizedTextFree(LocalizedText* text) {
  MemFree(text->text);
  for (uint32_t i = 0; text->pairs && i < text->count; ++i) MemFree(text->pairs[i].text);
  MemFree(text->pairs);
  *text = LocalizedText{};
}

void LocalizedTextGrow(LocalizedText* text, uint32_t count) {
  if (count <= text->count) return;
  text->pairs = static_cast<LocalizedPair*>(
      MemReallocFlags(text->pairs, size_t(count) * sizeof(LocalizedPair), kMemKeep | kMemMustSucceed));
  text->count = count;
}
