#include "expr/operand_compare.h"

#include "expr/tokenizer.h"
#include "runtime/number_parse.h"
#include "runtime/text.h"
#include "runtime/version_text.h"

namespace {

template <typename T>
bool Ordered(T a, T b, uint8_t op) {
  switch (op) {
    case kCompareLess: return a < b;
    case kCompareLessEqual: return a <= b;
    case kCompareEqual: return a == b;
    case kCompareGreaterEqual: return a >= b;
    case kCompareGreater: return a > b;
    case kCompareNotEqual: return a != b;
    default: return false;
  }
}

char16_t Fold(char16_t c, bool noCase) { return noCase ? AsciiLower(c) : c; }

bool SameAt(const char16_t* a, const char16_t* b, size_t length, bool noCase) {
  for (size_t i = 0; i < length; ++i)
    if (Fold(a[i], noCase) != Fold(b[i], noCase)) return false;
  return true;
}

int Order(const char16_t* a, const char16_t* b, bool noCase) {
  for (;; ++a, ++b) {
    char16_t x = Fold(*a, noCase), y = Fold(*b, noCase);
    if (x != y) return x < y ? -1 : 1;
    if (!x) return 0;
  }
}

bool CompareStrings(const char16_t* a, const char16_t* b, uint8_t op, bool noCase) {
  size_t la = TextLength(a), lb = TextLength(b);
  switch (op) {
    case kCompareContains:
      if (lb > la) return false;
      for (size_t i = 0; i + lb <= la; ++i)
        if (SameAt(a + i, b, lb, noCase)) return true;
      return false;
    case kCompareStartsWith: return lb <= la && SameAt(a, b, lb, noCase);
    case kCompareEndsWith: return lb <= la && SameAt(a + la - lb, b, lb, noCase);
    default: return Ordered(Order(a, b, noCase), 0, op);
  }
}

bool CompareNumbers(int64_t a, int64_t b, uint8_t op) {
  uint64_t ua = uint64_t(a), ub = uint64_t(b);
  switch (op) {
    case kCompareContains: return (ua & ub) != 0;
    case kCompareStartsWith: return (ub >> 32) == 0 && ((ua >> 16) & 0xFFFF) == ub;
    case kCompareEndsWith: return (ub >> 32) == 0 && (ua & 0xFFFF) == ub;
    default: return Ordered(a, b, op);
  }
}

}  // namespace

bool TextTruth(const char16_t* text) {
  if (!text || !*text) return false;
  if (VersionTextLooksLike(text)) return VersionParse(text) != 0;
  if (IsIntegerLiteral(text)) return NumberParse64(text) != 0;
  return true;
}

bool CompareTexts(const char16_t* a, const char16_t* b, uint8_t op, bool noCase) {
  if (noCase) return CompareStrings(a, b, op, true);
  if (VersionTextLooksLike(a) || VersionTextLooksLike(b))
    return op <= kCompareNotEqual && Ordered(VersionParse(a), VersionParse(b), op);
  if (IsIntegerLiteral(a) || IsIntegerLiteral(b)) return CompareNumbers(NumberParse64(a), NumberParse64(b), op);
  return CompareStrings(a, b, op, false);
}
