// A resolver over small fixed tables, for the portable tests and the fuzzer: variables by name and
// id, environment variables, file keys, INI and registry values, options. Lookups ignore ASCII case
// like the real ones; registry and INI lookups match "view|key|value" and "file|section|key".
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "expr/resolver.h"

struct TableResolver {
  struct Variable {
    std::u16string name;
    uint32_t id;
    std::u16string value;
  };
  struct Entry {
    std::u16string key;
    std::u16string value;
  };
  struct Option {
    std::u16string name;
    std::u16string variable;
    int installed;
    int requested;
  };
  std::vector<Variable> variables;
  std::vector<Entry> environment;
  std::vector<Entry> files;     // key → target path
  std::vector<Entry> sources;   // key → relative source path
  std::vector<Entry> ini;       // "file|section|key" → value
  std::vector<Entry> registry;  // "view|key|value name" → value; view 0, 32 or 64
  std::vector<Option> options;
  std::vector<std::u16string> misses;  // every name that resolved to nothing, with its kind letter

  // The resolver's slots over these tables, with the given function table.
  ExprResolver Resolver(const ExprFunction* functions, size_t count);
};

// The portable built-in functions, sorted by name.
extern const ExprFunction kPortableFunctions[];
extern const size_t kPortableFunctionCount;
