// Conditions over a resolver: the standard name resolution and Evaluate-condition.
#pragma once
#include "expr/resolver.h"

// Where a condition is evaluated: inside a substitution (a function's condition) the level and the
// stop flag of that substitution carry on, so that conditions and references cannot recurse
// without bound.
struct ExprScope {
  const ExprResolver* resolver;
  int depth;
  bool* stop;
};

// The standard name-resolution callback (context: ExprScope). By the token's first character:
// "!" or "?" the installed state and "$" or "&" the requested state of the option named by the rest
// ("3", "2" or "-1"); "%" an environment variable (empty when unset); "<" the token substituted;
// anything else the variable's expanded value, failing when it is unknown or empty.
bool ExprResolveName(void* scope, const char16_t* token, char16_t* start, char16_t* end);

// Evaluates with the standard callback, writes trace record I1501 with the label, the expression
// and the result, and returns the result (-1 empty, 1 true, 0 false or not evaluable).
int ExprEvaluateCondition(const ExprScope& scope, const char16_t* expression, const char16_t* label);
