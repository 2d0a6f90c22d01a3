#include "expr/registry_text.h"

#include "runtime/text.h"

namespace {

uint64_t LittleEndian(const uint8_t* data, size_t bytes) {
  uint64_t value = 0;
  for (size_t i = bytes; i-- > 0;) value = value << 8 | data[i];
  return value;
}

// The UTF-16 characters of string data, up to the first NUL or the end of the data.
char16_t* StringData(char16_t* start, char16_t* end, const uint8_t* data, size_t size, bool multi) {
  char16_t* out = TextCopy(start, end, u"");
  size_t count = size / 2;
  for (size_t i = 0; i < count; ++i) {
    char16_t c = char16_t(data[2 * i] | data[2 * i + 1] << 8);
    if (c == 0) {
      // In a multi-string a NUL separates strings; an empty string (two NULs) ends the list.
      if (!multi || i + 1 >= count || (data[2 * i + 2] | data[2 * i + 3]) == 0) break;
      c = 31;
    }
    out = TextCopyN(out, end, &c, 1);
  }
  return out;
}

}  // namespace

char16_t* RegistryDataText(char16_t* start, char16_t* end, uint32_t type, const uint8_t* data, size_t size) {
  if (!size) return TextCopy(start, end, u"");
  switch (type) {
    case kRegSz:
    case kRegExpandSz: return StringData(start, end, data, size, false);
    case kRegMultiSz: return StringData(start, end, data, size, true);
    case kRegDword:
      return TextFormat(start, end, u"%lu", uint32_t(LittleEndian(data, size < 4 ? size : 4)));
    case kRegDwordBigEndian: {
      uint32_t value = 0;
      for (size_t i = 0; i < 4 && i < size; ++i) value = value << 8 | data[i];
      return TextFormat(start, end, u"%lu", value);
    }
    case kRegQword: return TextFormat(start, end, u"%I64u", LittleEndian(data, size < 8 ? size : 8));
    default: {
      char16_t* out = TextCopy(start, end, u"");
      for (size_t i = 0; i < size; ++i) out = TextFormat(out, end, u"%02X ", unsigned(data[i]));
      return out;
    }
  }
}
