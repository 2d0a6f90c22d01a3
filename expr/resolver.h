// What the substitution engine, the evaluator and the function library ask of their surroundings:
// variables, the environment, file keys, INI and registry values, options and the function table.
// The engine itself knows no database and no system; the standard resolver over a loaded database
// fills these slots, tests and the fuzzer fill them with fixtures. A null slot yields nothing.
// Every slot writes into a bounded text buffer (start, end = last usable character) and returns
// the end of what it wrote; a miss writes nothing and returns `start`. The resolver traces its own
// misses (unknown variable, file key, option).
#pragma once
#include <cstddef>
#include <cstdint>

struct ExprResolver;

// One call of a built-in function: up to four argument texts (absent ones are empty), already
// substituted and trimmed, and the substitution level the call was made at (for the functions that
// substitute or evaluate again).
struct ExprCall {
  const ExprResolver* resolver;
  const char16_t* args[4];
  int depth;
  bool* stop;
};
using ExprFunctionProc = char16_t* (*)(const ExprCall& call, char16_t* start, char16_t* end);
struct ExprFunction {
  const char16_t* name;
  ExprFunctionProc proc;
};

// Registry views of `<@…>` references.
enum : int {
  kRegistryViewNative = 0,
  kRegistryView32 = 32,
  kRegistryView64 = 64,
};

// Option states as the expression view shows them: an installed or requested state of 1 reads "3",
// 2 reads "2", anything else (or no such option) "-1".
enum : int {
  kOptionStateInstalled = 1,
  kOptionStateNotInstalled = 2,
};

struct ExprResolver {
  void* context;
  // The stored (language-selected, unexpanded) value of a variable, or null when there is none.
  const char16_t* (*variable_raw)(void* context, const char16_t* name);
  const char16_t* (*variable_raw_by_id)(void* context, uint32_t id);
  // An environment variable; nothing when it is unset or does not fit.
  char16_t* (*environment)(void* context, const char16_t* name, char16_t* start, char16_t* end);
  // The full target path of the file object whose key is `key`.
  char16_t* (*file_path)(void* context, const char16_t* key, char16_t* start, char16_t* end);
  // The relative source path of that file object.
  char16_t* (*file_source)(void* context, const char16_t* key, char16_t* start, char16_t* end);
  char16_t* (*ini_value)(void* context, const char16_t* file, const char16_t* section, const char16_t* key,
                         char16_t* start, char16_t* end);
  // A registry value read as text, REG_EXPAND_SZ expanded; `view` is one of kRegistryView*.
  char16_t* (*registry_value)(void* context, int view, const char16_t* key, const char16_t* value_name,
                              char16_t* start, char16_t* end);
  // The name of the variable that the option names in its variable field, or null.
  const char16_t* (*option_variable)(void* context, const char16_t* option);
  // The installed state (requested = false) or the requested action state of an option.
  int (*option_state)(void* context, const char16_t* option, bool requested);
  // The built-in functions, sorted by name (ASCII case ignored).
  const ExprFunction* functions;
  size_t function_count;
};
