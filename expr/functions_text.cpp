// Text functions: eval, ifte, iisdata, iispath, instr, part, strsubst, strtrim, vercmp.
#include "expr/condition.h"
#include "expr/functions.h"
#include "expr/substitute.h"
#include "runtime/number_parse.h"
#include "runtime/text.h"
#include "runtime/version_text.h"

namespace {

bool SameNoCase(const char16_t* a, const char16_t* b, size_t length) { return TextCompareNoCaseN(a, b, length) == 0; }

// Copies [from, to) as far as it fits.
char16_t* CopyRange(char16_t* start, char16_t* end, const char16_t* from, const char16_t* to) {
  return TextCopyN(start, end, from, size_t(to - from));
}

char16_t* Decimal(char16_t* start, char16_t* end, int64_t value) { return TextFormat(start, end, u"%I64d", value); }

// Fields split at `separator`, trimmed: the n-th from the start (n >= 1) or from the end (n <= -1).
char16_t* SeparatedField(char16_t* start, char16_t* end, const char16_t* text, char16_t separator, int64_t n) {
  size_t fields = 1;
  for (const char16_t* p = text; *p; ++p) fields += *p == separator;
  int64_t index = n > 0 ? n - 1 : int64_t(fields) + n;
  if (index < 0 || index >= int64_t(fields)) return TextCopy(start, end, u"");
  const char16_t* from = text;
  for (int64_t i = 0; i < index; ++i) {
    while (*from != separator) ++from;
    ++from;
  }
  const char16_t* to = from;
  while (*to && *to != separator) ++to;
  while (from < to && IsBlank(*from)) ++from;
  while (to > from && IsBlank(to[-1])) --to;
  return CopyRange(start, end, from, to);
}

// White-space separated words, each possibly quoted with " ' or `; calls `visit` for each until it
// returns true.
template <typename Visit>
void ForEachWord(const char16_t* text, Visit visit) {
  const char16_t* p = text;
  for (;;) {
    while (IsBlank(*p)) ++p;
    if (!*p) return;
    const char16_t *from, *to;
    if (*p == u'"' || *p == u'\'' || *p == u'`') {
      char16_t quote = *p++;
      from = p;
      while (*p && *p != quote) ++p;
      to = p;
      if (*p) ++p;
    } else {
      from = p;
      while (*p && !IsBlank(*p)) ++p;
      to = p;
    }
    if (visit(from, to)) return;
  }
}

char16_t* WordField(char16_t* start, char16_t* end, const char16_t* text, int64_t n) {
  int64_t count = 0;
  ForEachWord(text, [&](const char16_t*, const char16_t*) { return ++count, false; });
  int64_t index = n > 0 ? n - 1 : count + n;
  char16_t* out = TextCopy(start, end, u"");
  if (index < 0 || index >= count) return out;
  int64_t i = 0;
  ForEachWord(text, [&](const char16_t* from, const char16_t* to) {
    if (i++ != index) return false;
    out = CopyRange(start, end, from, to);
    return true;
  });
  return out;
}

}  // namespace

EXPR_FUNCTION(eval) {
  return SubstituteLevel(*call.resolver, call.args[0], start, end, nullptr, nullptr, nullptr, call.depth + 1, call.stop);
}

EXPR_FUNCTION(ifte) {
  ExprScope scope{call.resolver, call.depth, call.stop};
  bool holds = ExprEvaluateCondition(scope, call.args[0], u"$ifte") != 0;
  return TextCopy(start, end, holds ? call.args[1] : call.args[2]);
}

EXPR_FUNCTION(iisdata) { return TextCopy(start, end, u""); }
EXPR_FUNCTION(iispath) { return TextCopy(start, end, u""); }

EXPR_FUNCTION(instr) {
  int64_t from = NumberParse64(call.args[0]);
  const char16_t* text = call.args[1];
  const char16_t* find = call.args[2];
  int64_t length = int64_t(TextLength(text)), findLength = int64_t(TextLength(find));
  int64_t found = 0;
  if (length > 0 && findLength > 0 && from <= length) {
    if (from >= 0) {
      for (int64_t i = from > 1 ? from - 1 : 0; i + findLength <= length && !found; ++i)
        if (SameNoCase(text + i, find, size_t(findLength))) found = i + 1;
    } else {
      for (int64_t i = length + from; i >= 0 && !found; --i)
        if (i + findLength <= length && SameNoCase(text + i, find, size_t(findLength))) found = i + 1;
    }
  }
  return Decimal(start, end, found);
}

EXPR_FUNCTION(part) {
  int64_t n = NumberParse64(call.args[2]);
  char16_t separator = call.args[1][0];
  if (n == 0) return TextCopy(start, end, u"");
  if (!separator || IsBlank(separator)) return WordField(start, end, call.args[0], n);
  return SeparatedField(start, end, call.args[0], separator, n);
}

EXPR_FUNCTION(strsubst) {
  const char16_t* text = call.args[0];
  const char16_t* find = call.args[1];
  size_t findLength = TextLength(find);
  if (!findLength) return TextCopy(start, end, text);
  char16_t* out = TextCopy(start, end, u"");
  for (const char16_t* p = text; *p;) {
    if (SameNoCase(p, find, findLength)) {
      out = TextCopy(out, end, call.args[2]);
      p += findLength;
    } else {
      out = TextCopyN(out, end, p++, 1);
    }
  }
  return out;
}

EXPR_FUNCTION(strtrim) {
  const char16_t* from = call.args[0];
  while (IsBlank(*from)) ++from;
  const char16_t* to = from + TextLength(from);
  while (to > from && IsBlank(to[-1])) --to;
  return CopyRange(start, end, from, to);
}

EXPR_FUNCTION(vercmp) {
  uint64_t a = VersionParse(call.args[0]), b = VersionParse(call.args[1]);
  return SignText(start, end, a < b ? -1 : a > b ? 1 : 0);
}

char16_t* SignText(char16_t* start, char16_t* end, int order) {
  return TextCopy(start, end, order < 0 ? u"-1" : order > 0 ? u"1" : u"0");
}
