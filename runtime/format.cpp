// The printf-style formatter behind TextFormat: Windows conventions (l is 32 bits, I64 is 64 bits,
// %s is a UTF-16 text), bounded output.
#include <cstring>

#include "runtime/text.h"

namespace {

struct Output {
  char16_t* out;
  char16_t* end;
  void Put(char16_t c) {
    if (out < end) *out++ = c;
  }
  void Repeat(char16_t c, int count) {
    for (int i = 0; i < count; ++i) Put(c);
  }
};

enum Size { kSizeInt, kSizeShort, kSizeChar, kSizeLong, kSizeLongLong, kSizePointer };

struct Directive {
  bool left = false, plus = false, space = false, alternate = false, zero = false;
  int width = 0;
  int precision = -1;
  Size size = kSizeInt;
  bool narrowText = false;  // h or S: an 8-bit text or character
};

int ReadNumber(const char16_t*& p) {
  int value = 0;
  while (*p >= u'0' && *p <= u'9') {
    if (value < 100000) value = value * 10 + (*p - u'0');
    ++p;
  }
  return value;
}

void PutPadded(Output& o, const Directive& directive, const char16_t* body, int length, const char16_t* prefix) {
  int prefixLength = static_cast<int>(TextLength(prefix));
  int padding = directive.width - length - prefixLength;
  if (!directive.left && !directive.zero) o.Repeat(u' ', padding);
  for (int i = 0; i < prefixLength; ++i) o.Put(prefix[i]);
  if (!directive.left && directive.zero) o.Repeat(u'0', padding);
  for (int i = 0; i < length; ++i) o.Put(body[i]);
  if (directive.left) o.Repeat(u' ', padding);
}

void PutInteger(Output& o, Directive directive, char16_t conversion, uint64_t magnitude, bool negative) {
  unsigned base = conversion == u'o' ? 8 : (conversion == u'x' || conversion == u'X') ? 16 : 10;
  const char* digits = conversion == u'x' ? "0123456789abcdef" : "0123456789ABCDEF";
  char16_t body[72];
  int length = 0;
  char16_t reversed[72];
  while (magnitude) {
    reversed[length++] = char16_t(digits[magnitude % base]);
    magnitude /= base;
  }
  int minimum = directive.precision < 0 ? 1 : directive.precision;
  if (minimum > 64) minimum = 64;
  int total = length > minimum ? length : minimum;
  for (int i = 0; i < total; ++i) body[i] = i < total - length ? u'0' : reversed[total - 1 - i];
  if (directive.precision >= 0) directive.zero = false;
  const char16_t* prefix = u"";
  if (negative) prefix = u"-";
  else if (directive.plus && (conversion == u'd' || conversion == u'i')) prefix = u"+";
  else if (directive.space && (conversion == u'd' || conversion == u'i')) prefix = u" ";
  else if (directive.alternate && total && body[0] != u'0' && base == 8) prefix = u"0";
  else if (directive.alternate && length && base == 16) prefix = conversion == u'x' ? u"0x" : u"0X";
  PutPadded(o, directive, body, total, prefix);
}

uint64_t TakeUnsigned(va_list& args, Size size) {
  switch (size) {
    case kSizeLongLong: return va_arg(args, unsigned long long);
    case kSizePointer: return reinterpret_cast<uintptr_t>(va_arg(args, void*));
    case kSizeShort: return static_cast<uint16_t>(va_arg(args, unsigned));
    case kSizeChar: return static_cast<uint8_t>(va_arg(args, unsigned));
    default: return va_arg(args, uint32_t);
  }
}

int64_t TakeSigned(va_list& args, Size size) {
  switch (size) {
    case kSizeLongLong: return va_arg(args, long long);
    case kSizePointer: return static_cast<int64_t>(reinterpret_cast<intptr_t>(va_arg(args, void*)));
    case kSizeShort: return static_cast<int16_t>(va_arg(args, int));
    case kSizeChar: return static_cast<int8_t>(va_arg(args, int));
    default: return va_arg(args, int32_t);
  }
}

void PutWideText(Output& o, const Directive& directive, const char16_t* text) {
  if (!text) text = u"(null)";
  size_t length = 0;
  while (text[length] && (directive.precision < 0 || length < static_cast<size_t>(directive.precision))) ++length;
  Directive plain = directive;
  plain.zero = false;
  PutPadded(o, plain, text, static_cast<int>(length), u"");
}

void PutNarrowText(Output& o, const Directive& directive, const char* text) {
  if (!text) text = "(null)";
  size_t bytes = strlen(text);
  std::u16string wide = TextFromUtf8(text, bytes);
  PutWideText(o, directive, wide.c_str());
}

const char16_t* ParseDirective(const char16_t* p, Directive& directive, va_list& args) {
  for (;; ++p) {
    if (*p == u'-') directive.left = true;
    else if (*p == u'+') directive.plus = true;
    else if (*p == u' ') directive.space = true;
    else if (*p == u'#') directive.alternate = true;
    else if (*p == u'0') directive.zero = true;
    else break;
  }
  if (*p == u'*') {
    directive.width = va_arg(args, int);
    if (directive.width < 0) {
      directive.left = true;
      directive.width = -directive.width;
    }
    ++p;
  } else {
    directive.width = ReadNumber(p);
  }
  if (*p == u'.') {
    ++p;
    if (*p == u'*') {
      directive.precision = va_arg(args, int);
      ++p;
    } else {
      directive.precision = ReadNumber(p);
    }
  }
  if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
    directive.size = kSizeLongLong;
    p += 3;
  } else if (p[0] == u'I' && p[1] == u'3' && p[2] == u'2') {
    directive.size = kSizeLong;
    p += 3;
  } else if (*p == u'I' || *p == u'z' || *p == u't' || *p == u'j') {
    directive.size = (*p == u'j' || sizeof(void*) == 8) ? kSizeLongLong : kSizeLong;
    ++p;
  } else if (p[0] == u'l' && p[1] == u'l') {
    directive.size = kSizeLongLong;
    p += 2;
  } else if (*p == u'l' || *p == u'w') {
    directive.size = kSizeLong;
    ++p;
  } else if (p[0] == u'h' && p[1] == u'h') {
    directive.size = kSizeChar;
    directive.narrowText = true;
    p += 2;
  } else if (*p == u'h') {
    directive.size = kSizeShort;
    directive.narrowText = true;
    ++p;
  } else if (*p == u'L') {
    directive.size = kSizeLongLong;
    ++p;
  }
  return p;
}

}  // namespace

char16_t* TextFormatV(char16_t* start, char16_t* end, const char16_t* format, va_list argsIn) {
  if (start > end) return start;
  Output o{start, end};
  va_list args;
  va_copy(args, argsIn);
  for (const char16_t* p = format; p && *p; ++p) {
    if (*p != u'%') {
      o.Put(*p);
      continue;
    }
    ++p;
    if (*p == u'%') {
      o.Put(u'%');
      continue;
    }
    Directive directive;
    p = ParseDirective(p, directive, args);
    char16_t conversion = *p;
    switch (conversion) {
      case u'd':
      case u'i': {
        int64_t value = TakeSigned(args, directive.size);
        uint64_t magnitude = value < 0 ? uint64_t(0) - uint64_t(value) : uint64_t(value);
        PutInteger(o, directive, conversion, magnitude, value < 0);
        break;
      }
      case u'u':
      case u'o':
      case u'x':
      case u'X':
        PutInteger(o, directive, conversion, TakeUnsigned(args, directive.size), false);
        break;
      case u'p': {
        Directive pointer = directive;
        pointer.precision = int(sizeof(void*) * 2);
        PutInteger(o, pointer, u'X', TakeUnsigned(args, kSizePointer), false);
        break;
      }
      case u'c':
      case u'C': {
        char16_t c[2] = {char16_t(va_arg(args, int)), 0};
        if (directive.narrowText || conversion == u'C') c[0] = char16_t(static_cast<unsigned char>(c[0]));
        PutWideText(o, directive, c);
        break;
      }
      case u's':
        if (directive.narrowText) PutNarrowText(o, directive, va_arg(args, const char*));
        else PutWideText(o, directive, va_arg(args, const char16_t*));
        break;
      case u'S':
        PutNarrowText(o, directive, va_arg(args, const char*));
        break;
      case 0:
        --p;  // a lone % at the end
        break;
      default:
        o.Put(conversion);  // unknown conversion: copied as it stands
        break;
    }
  }
  va_end(args);
  *o.out = 0;
  return o.out;
}
