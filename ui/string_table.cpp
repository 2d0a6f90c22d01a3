#include "ui/string_table.h"

#include <windows.h>

#include "runtime/modules.h"
#include "runtime/text.h"

namespace {

constexpr uint32_t kStringsPerBlock = 16;

// The entry of `id` in its block in `language` into [start, end]; false when there is none.
bool LoadFromBlock(HMODULE module, uint32_t id, uint16_t language, char16_t* start, char16_t* end, char16_t** out) {
  HRSRC found = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / kStringsPerBlock + 1),
                                language);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* entry = loaded ? static_cast<const uint16_t*>(LockResource(loaded)) : nullptr;
  if (!entry) return false;
  const uint16_t* blockEnd = entry + SizeofResource(module, found) / sizeof(uint16_t);
  for (uint32_t i = 0; i < id % kStringsPerBlock && entry < blockEnd; ++i) entry += 1 + *entry;
  if (entry >= blockEnd || *entry == 0 || entry + 1 + *entry > blockEnd) return false;
  *out = TextCopyN(start, end, reinterpret_cast<const char16_t*>(entry + 1), *entry);
  return true;
}

}  // namespace

char16_t* StringLoad(uint32_t id, uint16_t language, char16_t* start, char16_t* end) {
  HMODULE module = ModuleInstance();
  char16_t* out;
  if (LoadFromBlock(module, id, language, start, end, &out)) return out;
  if (language != LANG_NEUTRAL && LoadFromBlock(module, id, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), start, end, &out))
    return out;
  return TextCopy(start, end, u"");
}
