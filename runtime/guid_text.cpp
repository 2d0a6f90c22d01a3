#include "runtime/guid_text.h"

#include "runtime/number_parse.h"
#include "runtime/text.h"

char16_t* GuidText(char16_t* start, char16_t* end, const Guid& g) {
  return TextFormat(start, end, u"{%08lX-%04X-%04X-%04X-%04X%04X%04X}", g.data1, unsigned(g.data2),
                    unsigned(g.data3), unsigned(g.data4[0] << 8 | g.data4[1]), unsigned(g.data4[2] << 8 | g.data4[3]),
                    unsigned(g.data4[4] << 8 | g.data4[5]), unsigned(g.data4[6] << 8 | g.data4[7]));
}

namespace {

// Reads up to `digits` hexadecimal digits; false when there is none.
bool ReadGroup(const char16_t*& p, int digits, uint64_t* value) {
  *value = 0;
  int n = 0;
  for (; n < digits && HexDigitValue(*p) >= 0; ++n, ++p) *value = *value << 4 | uint64_t(HexDigitValue(*p));
  return n > 0;
}

}  // namespace

const char16_t* GuidParse(const char16_t* text, Guid* guid) {
  *guid = Guid{};
  const char16_t* p = text ? text : u"";
  if (*p != u'{') return p;
  ++p;
  static const int kDigits[5] = {8, 4, 4, 4, 12};
  for (int group = 0; group < 5; ++group) {
    uint64_t value;
    if (!ReadGroup(p, kDigits[group], &value)) return p;
    switch (group) {
      case 0: guid->data1 = uint32_t(value); break;
      case 1: guid->data2 = uint16_t(value); break;
      case 2: guid->data3 = uint16_t(value); break;
      case 3:
        guid->data4[0] = uint8_t(value >> 8);
        guid->data4[1] = uint8_t(value);
        break;
      default:
        for (int i = 0; i < 6; ++i) guid->data4[2 + i] = uint8_t(value >> (8 * (5 - i)));
        break;
    }
    if (group < 4) {
      if (*p != u'-') return p;
      ++p;
    }
  }
  if (*p == u'}') ++p;
  return p;
}
