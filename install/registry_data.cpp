#include "install/registry_data.h"

#include <cstring>

#include "expr/registry_text.h"
#include "runtime/heap.h"
#include "runtime/number_parse.h"
#include "runtime/text.h"

namespace {

uint8_t* Block(size_t size) { return static_cast<uint8_t*>(MemAlloc(size ? size : 1)); }

uint8_t* StringData(const char16_t* text, bool multi, size_t* size) {
  size_t length = TextLength(text);
  size_t units = length + 1 + (multi ? 1 : 0);
  uint8_t* data = Block(units * 2);
  if (!data) return nullptr;
  for (size_t i = 0; i < units; ++i) {
    char16_t c = i < length ? text[i] : u'\0';
    if (multi && c == 31) c = 0;
    data[2 * i] = uint8_t(c);
    data[2 * i + 1] = uint8_t(c >> 8);
  }
  *size = units * 2;
  return data;
}

uint8_t* NumberData(uint64_t value, size_t bytes, bool big_endian, size_t* size) {
  uint8_t* data = Block(bytes);
  if (!data) return nullptr;
  for (size_t i = 0; i < bytes; ++i) {
    uint8_t byte = uint8_t(value >> (8 * i));
    data[big_endian ? bytes - 1 - i : i] = byte;
  }
  *size = bytes;
  return data;
}

}  // namespace

uint8_t* RegistryTextData(const char16_t* text, uint32_t type, size_t* size) {
  if (!text) text = u"";
  *size = 0;
  switch (type) {
    case kRegSz:
    case kRegExpandSz: return StringData(text, false, size);
    case kRegMultiSz: return StringData(text, true, size);
    case kRegDword: return NumberData(NumberParseU32(text), 4, false, size);
    case kRegDwordBigEndian: return NumberData(NumberParseU32(text), 4, true, size);
    case kRegQword: return NumberData(NumberParseU64(text), 8, false, size);
    default: {
      uint8_t* data = Block(kRegistryBinaryTextLimit);
      if (data) *size = HexBytesParse(text, data, kRegistryBinaryTextLimit);
      return data;
    }
  }
}
