// The substitution engine: replaces the `<…>` references of a text by their values.
//   `text` quoted (backticks dropped, "``" gives one backtick), "<" before white space or the end
//   literal; <Name> a variable's value, itself substituted; <?Name> its stored value; <!text> the
//   text; <%NAME> an environment variable; <#Key> a file's target path; <#file?section?key> an INI
//   value; <@ROOT\key\value> a registry value ("\?|" before the last "|" lets the value name hold
//   backslashes; "32:" and "64:" choose the view); <$Option> the value of the variable an option
//   names; <$func(a,b,…)> a built-in function. "=" separates alternatives: the first part that
//   produces text wins. References nest: <<Name>> looks up the value of Name.
// Substitution never fails: misses give nothing, output that does not fit is cut (the text is always
// terminated), and a chain of references deeper than 64 levels stops the whole substitution, keeping
// what was produced before it.
#pragma once
#include "expr/resolver.h"

constexpr int kSubstituteMaxDepth = 64;
constexpr size_t kReferenceScratch = 519;   // characters of a reference's name part
constexpr size_t kArgumentCapacity = 16384; // characters of one function argument, with its NUL
constexpr int kFunctionArguments = 4;

// Substitutes `source` into the buffer; returns the end of the text written.
char16_t* Substitute(const ExprResolver& resolver, const char16_t* source, char16_t* start, char16_t* end);

// The internal form. Scanning also stops at a character of `terminators` (null: none) outside
// quotes; `*stopped_at` receives where scanning stopped, `*trimmed_end` the end of the output
// without trailing white space (quoted characters count as non-blank). At `depth` 64 or more
// nothing is substituted: the text is skipped to its end and `*stop` set. Once `*stop` is set every
// level returns what it has produced so far.
char16_t* SubstituteLevel(const ExprResolver& resolver, const char16_t* source, char16_t* start, char16_t* end,
                          const char16_t* terminators, const char16_t** stopped_at, char16_t** trimmed_end, int depth,
                          bool* stop);

// Looks a function up in the resolver's sorted table, ignoring ASCII case; null when unknown.
const ExprFunction* FindFunction(const ExprResolver& resolver, const char16_t* name);
