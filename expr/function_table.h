// The table of the 43 built-in functions, sorted by name, for the standard resolver.
#pragma once
#include "expr/resolver.h"

extern const ExprFunction kExprFunctions[];
extern const size_t kExprFunctionCount;
