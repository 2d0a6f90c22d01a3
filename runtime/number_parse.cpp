#include "runtime/number_parse.h"

#include "runtime/text.h"

namespace {

// The magnitude of the number at `p` (after blanks and sign), saturated at `limit`.
struct Magnitude {
  uint64_t value;
  bool negative;
  bool overflow;
  const char16_t* stop;
};

Magnitude ReadMagnitude(const char16_t* text, uint64_t limit) {
  Magnitude m{0, false, false, text};
  if (!text) return m;
  const char16_t* p = text;
  while (IsBlank(*p)) ++p;
  if (*p == u'+' || *p == u'-') m.negative = *p++ == u'-';
  unsigned base = 10;
  if (p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') && HexDigitValue(p[2]) >= 0) {
    base = 16;
    p += 2;
  } else if (p[0] == u'0') {
    base = 8;
  }
  const char16_t* digits = p;
  for (;; ++p) {
    int d = HexDigitValue(*p);
    if (d < 0 || unsigned(d) >= base) break;
    if (m.value > (limit - unsigned(d)) / base) m.overflow = true;
    else m.value = m.value * base + unsigned(d);
  }
  if (p != digits) m.stop = p;
  return m;
}

template <typename T>
T ParseSigned(const char16_t* text, const char16_t** stop, uint64_t positiveLimit) {
  Magnitude m = ReadMagnitude(text, positiveLimit + 1);
  if (stop) *stop = m.stop;
  if (m.negative) return (m.overflow || m.value > positiveLimit) ? T(-T(positiveLimit) - 1) : T(-T(m.value));
  return (m.overflow || m.value > positiveLimit) ? T(positiveLimit) : T(m.value);
}

template <typename T>
T ParseUnsigned(const char16_t* text, const char16_t** stop, uint64_t limit) {
  Magnitude m = ReadMagnitude(text, limit);
  if (stop) *stop = m.stop;
  if (m.overflow) return T(limit);
  return m.negative ? T(T(0) - T(m.value)) : T(m.value);
}

}  // namespace

int32_t NumberParse32(const char16_t* text, const char16_t** stop) {
  return ParseSigned<int32_t>(text, stop, 0x7FFFFFFF);
}

uint32_t NumberParseU32(const char16_t* text, const char16_t** stop) {
  return ParseUnsigned<uint32_t>(text, stop, 0xFFFFFFFF);
}

int64_t NumberParse64(const char16_t* text, const char16_t** stop) {
  return ParseSigned<int64_t>(text, stop, 0x7FFFFFFFFFFFFFFFull);
}

uint64_t NumberParseU64(const char16_t* text, const char16_t** stop) {
  return ParseUnsigned<uint64_t>(text, stop, 0xFFFFFFFFFFFFFFFFull);
}

size_t HexBytesParse(const char16_t* text, uint8_t* bytes, size_t capacity) {
  size_t count = 0;
  const char16_t* p = text;
  while (p && count < capacity) {
    while (IsBlank(*p)) ++p;
    int high = HexDigitValue(*p);
    if (high < 0) break;
    ++p;
    int low = HexDigitValue(*p);
    if (low >= 0) {
      bytes[count++] = uint8_t(high * 16 + low);
      ++p;
    } else {
      bytes[count++] = uint8_t(high);
    }
  }
  return count;
}

int64_t NumberParseDecimal64(const char16_t* text) {
  const char16_t* p = text ? text : u"";
  while (IsBlank(*p)) ++p;
  bool negative = *p == u'-';
  if (*p == u'+' || *p == u'-') ++p;
  // The magnitude may reach 2^63 for a negative number; the test comes before the step, so a value
  // never wraps.
  const uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
  uint64_t value = 0;
  for (; *p >= u'0' && *p <= u'9'; ++p) {
    unsigned digit = unsigned(*p - u'0');
    if (value > (limit - digit) / 10) return negative ? INT64_MIN : INT64_MAX;
    value = value * 10 + digit;
  }
  return negative ? int64_t(0 - value) : int64_t(value);
}
