#include "runtime/version_text.h"

#include "runtime/text.h"

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

uint64_t Parse(const char16_t* text, const char16_t** stop, bool strict) {
  uint32_t parts[4] = {0, 0, 0, 0};
  const char16_t* p = text ? text : u"";
  const char16_t* read = p;  // just after the last number or separator taken
  for (int i = 0; i < 4; ++i) {
    while (IsBlank(*p)) ++p;
    if (!IsDigit(*p)) break;
    uint32_t value = 0;
    for (; IsDigit(*p); ++p) value = (value * 10 + uint32_t(*p - u'0')) & 0xFFFF;
    parts[i] = value;
    read = p;
    if (!strict)
      while (IsBlank(*p)) ++p;
    if (i == 3 || !(*p == u'.' || (!strict && *p == u','))) break;
    read = ++p;
  }
  if (stop) *stop = read;
  return VersionPack(parts[0], parts[1], parts[2], parts[3]);
}

}  // namespace

char16_t* VersionText(char16_t* start, char16_t* end, uint64_t version) {
  return TextFormat(start, end, u"%u.%u.%u.%u", unsigned(version >> 48), unsigned((version >> 32) & 0xFFFF),
                    unsigned((version >> 16) & 0xFFFF), unsigned(version & 0xFFFF));
}

uint64_t VersionParse(const char16_t* text, const char16_t** stop) { return Parse(text, stop, false); }

uint64_t VersionParseStrict(const char16_t* text, const char16_t** stop) { return Parse(text, stop, true); }

bool VersionTextLooksLike(const char16_t* text) {
  if (!text) return false;
  const char16_t* p = text;
  while (IsBlank(*p)) ++p;
  if (!IsDigit(*p)) return false;
  while (IsDigit(*p)) ++p;
  return p[0] == u'.' && IsDigit(p[1]);
}
