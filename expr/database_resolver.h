// The standard resolver over a loaded database: variables of the variable store, file keys, options,
// the system's environment, INI files and registry, and the 43 built-in functions. Substitute and
// Evaluate-condition in the form the rest of the system calls them.
#pragma once
#include "database/object_table.h"
#include "expr/option_object.h"
#include "expr/resolver.h"

// The buffer size most callers use for substituted texts.
constexpr size_t kSubstituteBufferCapacity = 131072;

// Slots of the objects the resolver reads.
enum : unsigned {
  kFileKeySlot = 29,         // file: the key `<#Key>` and `srcpath` name (the file list is sorted by it)
  kFileTargetPathSlot = 30,  // file: full target path, variables resolved
  kFileSourceNameSlot = 32,  // file: path of the file relative to the installation source folder
};

ExprResolver DatabaseResolver(ObjectTable* db);

// Substitutes `source` with the database's resolver; returns the end of the text written.
char16_t* Substitute(ObjectTable* db, const char16_t* source, char16_t* start, char16_t* end);

// Evaluates a condition with the standard callback, traces I1501 (label, expression, result) and
// returns -1 (empty), 1 or 0.
int EvaluateCondition(ObjectTable* db, const char16_t* expression, const char16_t* label);

// The option named `name`: a walk of the option tree from the installation's top-level options,
// children before the option itself, ASCII case ignored; null (trace W1514) when there is none.
SetupObject* OptionFindByName(ObjectTable* db, const char16_t* name);
