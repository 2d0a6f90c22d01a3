#include "runtime/number_text.h"

namespace {

constexpr uint64_t kMaximum = 0xFFFFFFFFull;

int DigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return 99;
}

int64_t Parse(const char16_t* text, bool byPrefix, const char16_t** end) {
  const char16_t* p = text;
  bool negative = false;
  if (*p == u'+' || *p == u'-') negative = *p++ == u'-';
  unsigned base = 10;
  if (byPrefix && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') && DigitValue(p[2]) < 16) {
    base = 16;
    p += 2;
  } else if (byPrefix && p[0] == u'0') {
    base = 8;
  }
  uint64_t magnitude = 0;
  const char16_t* digits = p;
  for (; DigitValue(*p) < int(base); ++p) {
    magnitude = magnitude * base + unsigned(DigitValue(*p));
    if (magnitude > kMaximum) magnitude = kMaximum + 1;  // keeps growing bounded; clamped below
  }
  if (magnitude > kMaximum) magnitude = kMaximum;
  if (end) *end = p == digits ? text : p;
  return negative ? -int64_t(magnitude) : int64_t(magnitude);
}

}  // namespace

int64_t NumberParseDecimal(const char16_t* text, const char16_t** end) { return Parse(text, false, end); }
int64_t NumberParseByPrefix(const char16_t* text, const char16_t** end) { return Parse(text, true, end); }

int32_t NumberClampInt32(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return int32_t(value);
}
