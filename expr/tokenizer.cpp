#include "expr/tokenizer.h"

#include "runtime/number_parse.h"
#include "runtime/text.h"

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c >= 0x80; }
bool IsWordCharacter(char16_t c) { return IsLetter(c) || IsDigit(c) || c == u'_' || c == u'.'; }
bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

Token Make(TokenKind kind, const char16_t* text = nullptr, size_t length = 0) {
  Token t{};
  t.kind = kind;
  t.text = text;
  t.length = length;
  return t;
}

Token Compare(uint8_t op) {
  Token t = Make(TokenKind::kCompare);
  t.op = op;
  return t;
}

// A reference: "<" … ">" with balanced brackets, backtick runs not counted.
Token ReferenceToken(const char16_t* start, const char16_t** cursor) {
  const char16_t* p = start;
  size_t open = 0;
  for (; *p; ++p) {
    if (*p == u'`') {
      ++p;
      while (*p && *p != u'`') ++p;
      if (!*p) break;
    } else if (*p == u'<') {
      ++open;
    } else if (*p == u'>' && --open == 0) {
      *cursor = p + 1;
      return Make(TokenKind::kReference, start, size_t(p + 1 - start));
    }
  }
  *cursor = p;
  return Make(TokenKind::kError);
}

// "<" and what follows it: an operator or a reference.
Token LessToken(const char16_t* p, const char16_t** cursor) {
  auto endOrBlank = [](char16_t c) { return !c || IsBlank(c); };
  if (p[1] == u'<' && endOrBlank(p[2])) return *cursor = p + 2, Compare(kCompareStartsWith);
  if (p[1] == u'=') return *cursor = p + 2, Compare(kCompareLessEqual);
  if (p[1] == u'>') return *cursor = p + 2, Compare(kCompareNotEqual);
  if (endOrBlank(p[1])) return *cursor = p + 1, Compare(kCompareLess);
  return ReferenceToken(p, cursor);
}

Token GreaterToken(const char16_t* p, const char16_t** cursor) {
  if (p[1] == u'<') return *cursor = p + 2, Compare(kCompareContains);
  if (p[1] == u'=') return *cursor = p + 2, Compare(kCompareGreaterEqual);
  if (p[1] == u'>') return *cursor = p + 2, Compare(kCompareEndsWith);
  return *cursor = p + 1, Compare(kCompareGreater);
}

Token WordToken(const char16_t* p, const char16_t** cursor) {
  const char16_t* q = p + 1;
  while (IsWordCharacter(*q)) ++q;
  *cursor = q;
  size_t length = size_t(q - p);
  static const struct {
    const char16_t* word;
    TokenKind kind;
  } kKeywords[] = {{u"NOT", TokenKind::kNot}, {u"AND", TokenKind::kAnd}, {u"OR", TokenKind::kOr},
                   {u"XOR", TokenKind::kXor}, {u"EQV", TokenKind::kEqv}, {u"IMP", TokenKind::kImp}};
  for (const auto& k : kKeywords)
    if (TextLength(k.word) == length && TextCompareNoCaseN(k.word, p, length) == 0) return Make(k.kind);
  return Make(TokenKind::kName, p, length);
}

// A version (digits "." digits …) or an integer literal.
Token LiteralToken(const char16_t* p, const char16_t** cursor) {
  const char16_t* q = p;
  if (IsDigit(q[0])) {
    while (IsDigit(*q)) ++q;
    if (q[0] == u'.' && IsDigit(q[1])) {
      while (q[0] == u'.' && IsDigit(q[1])) {
        ++q;
        while (IsDigit(*q)) ++q;
      }
      *cursor = q;
      return Make(TokenKind::kVersion, p, size_t(q - p));
    }
    q = p;
  }
  if (*q == u'+' || *q == u'-') ++q;
  if (q[0] == u'0' && (q[1] == u'x' || q[1] == u'X') && HexDigitValue(q[2]) >= 0) {
    q += 2;
    while (HexDigitValue(*q) >= 0) ++q;
  } else if (IsDigit(*q)) {
    while (IsDigit(*q)) ++q;
  } else {
    *cursor = q;
    return Make(TokenKind::kError);
  }
  *cursor = q;
  if (IsLetter(*q) || *q == u'_') return Make(TokenKind::kError);
  Token t = Make(TokenKind::kNumber, p, size_t(q - p));
  t.number = NumberParse32(p);
  return t;
}

}  // namespace

Token NextToken(const char16_t** cursor) {
  const char16_t* p = *cursor;
  while (IsSpace(*p)) ++p;
  *cursor = p;
  switch (*p) {
    case 0: return Make(TokenKind::kEnd);
    case u'"': {
      const char16_t* q = p + 1;
      while (*q && *q != u'"') ++q;
      if (!*q) return *cursor = q, Make(TokenKind::kError);
      *cursor = q + 1;
      return Make(TokenKind::kString, p + 1, size_t(q - p - 1));
    }
    case u'(': return *cursor = p + 1, Make(TokenKind::kOpen);
    case u')': return *cursor = p + 1, Make(TokenKind::kClose);
    case u'<': return LessToken(p, cursor);
    case u'>': return GreaterToken(p, cursor);
    case u'=': return *cursor = p + 1, Compare(kCompareEqual);
    case u'~': {
      if (p[1] != u'<' && p[1] != u'=' && p[1] != u'>') return *cursor = p + 1, Make(TokenKind::kError);
      *cursor = p + 1;
      Token t = NextToken(cursor);
      if (t.kind != TokenKind::kCompare) return Make(TokenKind::kError);
      t.no_case = true;
      return t;
    }
    case u'!':
    case u'$':
    case u'%':
    case u'&':
    case u'?': {
      const char16_t* q = p + 1;
      while (IsWordCharacter(*q)) ++q;
      *cursor = q;
      return Make(TokenKind::kName, p, size_t(q - p));
    }
    default:
      if (IsLetter(*p) || *p == u'_') return WordToken(p, cursor);
      return LiteralToken(p, cursor);
  }
}

bool IsIntegerLiteral(const char16_t* text) {
  const char16_t* p = text;
  if (!p) return false;
  if (*p == u'+' || *p == u'-') ++p;
  if (p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') && HexDigitValue(p[2]) >= 0) {
    p += 2;
    while (HexDigitValue(*p) >= 0) ++p;
  } else if (IsDigit(*p)) {
    while (IsDigit(*p)) ++p;
  } else {
    return false;
  }
  return *p == 0;
}
