// Tokens of condition expressions.
#pragma once
#include <cstddef>
#include <cstdint>

enum class TokenKind : uint8_t {
  kEnd,
  kName,       // a word, or a name starting with ! $ % & ?
  kReference,  // <…>, with its outer brackets
  kString,     // "…", the text between the quotes
  kNumber,
  kOpen,
  kClose,
  kCompare,
  kNot,
  kAnd,
  kOr,
  kXor,
  kEqv,
  kImp,
  kVersion,
  kError,      // lexical error
};

// Comparison operator codes.
enum : uint8_t {
  kCompareLess = 0,
  kCompareLessEqual = 1,
  kCompareEqual = 2,
  kCompareGreaterEqual = 3,
  kCompareGreater = 4,
  kCompareNotEqual = 5,
  kCompareContains = 6,    // ><
  kCompareStartsWith = 7,  // <<
  kCompareEndsWith = 8,    // >>
};

struct Token {
  TokenKind kind;
  uint8_t op;        // kCompare: the operator code
  bool no_case;      // kCompare: written with "~"
  int64_t number;    // kNumber
  const char16_t* text;  // kName, kReference, kString, kVersion: into the expression
  size_t length;
};

// Reads the token at `*cursor` and advances the cursor past it.
Token NextToken(const char16_t** cursor);

// Whether the whole text is an integer literal: optional sign, then decimal digits or 0x and
// hexadecimal digits.
bool IsIntegerLiteral(const char16_t* text);
