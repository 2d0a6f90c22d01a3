// The condition evaluator. Grammar, lowest precedence first, each binary level left-associative:
//   imp := eqv {IMP eqv}; eqv := xor {EQV xor}; xor := or {XOR or}; or := and {OR and};
//   and := not {AND not}; not := [NOT] cmp; cmp := "(" imp ")" | operand [compare operand];
//   operand := name | <reference> | "string" | number | version.
// Names and references get their text from the name-resolution callback.
#pragma once
#include <cstddef>

// Fills the buffer with the text of a name or reference token; false when it has none.
using ExprNameCallback = bool (*)(void* context, const char16_t* token, char16_t* start, char16_t* end);

enum : int {
  kEvalStackOverflow = -2,   // more than 32 pending operands, or parentheses nested deeper than 64
  kEvalMalformed = -3,       // malformed expression or tokens left over
  kEvalLexical = -4,
  kEvalMissingOperand = -5,  // also memory exhaustion
};

constexpr int kEvalStackEntries = 32;
constexpr int kEvalMaxNesting = 64;
constexpr size_t kEvalOperandCapacity = 32768;  // characters of a resolved operand text

// Returns -1 for an empty or absent expression (nothing is evaluated), otherwise 1 when it holds and
// 0 when it does not or cannot be evaluated; `*error` (optional) receives 0 or one of the codes above.
int Evaluate(const char16_t* expression, ExprNameCallback callback, void* context, int* error = nullptr);
