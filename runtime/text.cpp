#include "runtime/text.h"

size_t TextLength(const char16_t* text) {
  size_t n = 0;
  if (text)
    while (text[n]) ++n;
  return n;
}

char16_t* TextCopyN(char16_t* start, char16_t* end, const char16_t* source, size_t count) {
  if (start > end) return start;
  char16_t* out = start;
  if (source)
    for (size_t i = 0; i < count && source[i] && out < end; ++i) *out++ = source[i];
  *out = 0;
  return out;
}

char16_t* TextCopy(char16_t* start, char16_t* end, const char16_t* source) {
  return TextCopyN(start, end, source, SIZE_MAX);
}

char16_t* TextAppend(char16_t* start, char16_t* end, const char16_t* source) {
  if (start > end) return start;
  char16_t* out = start;
  while (out < end && *out) ++out;
  return TextCopy(out, end, source);
}

char16_t* TextFormat(char16_t* start, char16_t* end, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  char16_t* result = TextFormatV(start, end, format, args);
  va_end(args);
  return result;
}

int TextCompareNoCaseN(const char16_t* a, const char16_t* b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    char16_t x = AsciiLower(a[i]), y = AsciiLower(b[i]);
    if (x != y) return x < y ? -1 : 1;
    if (!x) break;
  }
  return 0;
}

int TextCompareNoCase(const char16_t* a, const char16_t* b) { return TextCompareNoCaseN(a, b, SIZE_MAX); }

int TextCompare(const char16_t* a, const char16_t* b) {
  for (;; ++a, ++b) {
    if (*a != *b) return *a < *b ? -1 : 1;
    if (!*a) return 0;
  }
}

std::string TextToUtf8(const char16_t* text, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string TextFromUtf8(const char* text, size_t length) {
  std::u16string out;
  out.reserve(length);
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  while (i < length) {
    uint32_t c = s[i];
    if (c < 0x80) {
      out += char16_t(c);
      ++i;
      continue;
    }
    size_t extra = (c >= 0xF0 && c < 0xF5) ? 3 : (c >= 0xE0 && c < 0xF0) ? 2 : (c >= 0xC2 && c < 0xE0) ? 1 : 0;
    bool ok = extra != 0 && length - i > extra;
    if (ok) {
      c &= 0x3Fu >> extra;
      for (size_t k = 1; k <= extra && ok; ++k) {
        ok = (s[i + k] & 0xC0) == 0x80;
        c = (c << 6) | (s[i + k] & 0x3F);
      }
    }
    if (!ok) {
      out += char16_t(0xFFFD);
      ++i;
      continue;
    }
    i += extra + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += char16_t(0xD800 + (c >> 10));
      out += char16_t(0xDC00 + (c & 0x3FF));
    } else {
      out += char16_t(c);
    }
  }
  return out;
}
