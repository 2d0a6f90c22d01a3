#include "expr/substitute.h"

#include "runtime/heap.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

bool IsOneOf(char16_t c, const char16_t* set) {
  for (; set && *set; ++set)
    if (*set == c) return true;
  return false;
}

// The output of one level: characters past `end` are dropped; `trimmed` follows the last
// non-blank character written.
struct Output {
  char16_t* p;
  char16_t* end;
  char16_t* trimmed;

  void Put(char16_t c, bool quoted) {
    if (p >= end) return;
    *p++ = c;
    if (quoted || !IsBlank(c)) trimmed = p;
  }
  // Takes over text that a resolver or a nested level wrote at [p, written).
  void Took(char16_t* written) {
    for (char16_t* q = written; q > p; --q)
      if (!IsBlank(q[-1])) {
        trimmed = q;
        break;
      }
    p = written;
  }
};

// A level of the scan. Without `resolve` references are parsed (quotes and nested references
// consumed) but nothing is looked up or called: the parts of a discarded alternative.
struct Level {
  const ExprResolver& resolver;
  int depth;
  bool* stop;
  bool resolve;
};

char16_t* Scan(const Level& at, const char16_t* source, char16_t* start, char16_t* end, const char16_t* terminators,
               const char16_t** stopped_at, char16_t** trimmed_end);

// A nested scan one level deeper.
const char16_t* Nested(const Level& at, const char16_t* source, char16_t* start, char16_t* end,
                       const char16_t* terminators, char16_t** trimmed_end, bool resolve) {
  const char16_t* stopped;
  Scan(Level{at.resolver, at.depth + 1, at.stop, resolve}, source, start, end, terminators, &stopped, trimmed_end);
  return stopped;
}

char16_t* Terminated(char16_t* start, char16_t* end) {
  if (start <= end) *start = 0;
  return start;
}

// A variable's value, substituted one level deeper, into the output.
void ExpandVariable(const Level& at, const char16_t* name, Output& o) {
  if (!*name || !at.resolver.variable_raw) return;
  const char16_t* raw = at.resolver.variable_raw(at.resolver.context, name);
  if (!raw) return;
  o.Took(SubstituteLevel(at.resolver, raw, o.p, o.end, nullptr, nullptr, nullptr, at.depth + 1, at.stop));
}

void CopyText(const char16_t* text, Output& o) {
  if (text) o.Took(TextCopy(o.p, o.end, text));
}

// <#file?section?key> or <#Key>; `rest` is modifiable.
void FileReference(const Level& at, char16_t* rest, Output& o) {
  const ExprResolver& r = at.resolver;
  char16_t* section = rest;
  while (*section && *section != u'?') ++section;
  if (!*section) {
    if (r.file_path && *rest) o.Took(r.file_path(r.context, rest, o.p, o.end));
    return;
  }
  *section++ = 0;
  char16_t* key = section;
  while (*key && *key != u'?') ++key;
  if (*key) *key++ = 0;
  if (r.ini_value) o.Took(r.ini_value(r.context, rest, section, key, o.p, o.end));
}

// <@[32:|64:]ROOT\path\value> or <@ROOT\path\?|value\with\backslashes>; `rest` is modifiable.
void RegistryReference(const Level& at, char16_t* rest, Output& o) {
  const ExprResolver& r = at.resolver;
  int view = kRegistryViewNative;
  if ((rest[0] == u'3' && rest[1] == u'2' && rest[2] == u':') || (rest[0] == u'6' && rest[1] == u'4' && rest[2] == u':')) {
    view = rest[0] == u'3' ? kRegistryView32 : kRegistryView64;
    rest += 3;
  }
  char16_t* bar = nullptr;
  char16_t* backslash = nullptr;
  for (char16_t* p = rest; *p; ++p) {
    if (*p == u'|') bar = p;
    if (*p == u'\\') backslash = p;
  }
  char16_t* valueName;
  if (bar && bar - rest >= 2 && bar[-2] == u'\\' && bar[-1] == u'?') {
    bar[-2] = 0;
    valueName = bar + 1;
  } else if (backslash) {
    *backslash = 0;
    valueName = backslash + 1;
  } else {
    return;
  }
  if (r.registry_value) o.Took(r.registry_value(r.context, view, rest, valueName, o.p, o.end));
}

void OptionReference(const Level& at, const char16_t* option, Output& o) {
  if (!at.resolver.option_variable || !*option) return;
  const char16_t* variable = at.resolver.option_variable(at.resolver.context, option);
  if (variable) ExpandVariable(at, variable, o);
}

// Parses the arguments after "(" up to and with ")" into `block` (kFunctionArguments texts of
// kArgumentCapacity characters), or into a discarded scratch when `block` is null.
const char16_t* ParseArguments(const Level& at, const char16_t* p, char16_t* block) {
  char16_t discard[kReferenceScratch];
  for (int i = 0;; ++i) {
    while (IsBlank(*p)) ++p;
    bool kept = block && i < kFunctionArguments;
    char16_t* start = kept ? block + i * kArgumentCapacity : discard;
    char16_t* end = kept ? start + kArgumentCapacity - 1 : discard + kReferenceScratch - 1;
    char16_t* trimmed;
    p = Nested(at, p, start, end, u",)", &trimmed, kept);
    *trimmed = 0;
    if (*at.stop) return p;
    if (*p == u',') {
      ++p;
      continue;
    }
    if (*p == u')') ++p;
    return p;
  }
}

void CallFunction(const Level& at, const char16_t* name, const char16_t* block, Output& o) {
  const ExprFunction* function = FindFunction(at.resolver, name);
  if (!function) {
    Trace(TR("W1502"), u"%s", name);
    return;
  }
  ExprCall call{&at.resolver, {}, at.depth, at.stop};
  for (int i = 0; i < kFunctionArguments; ++i) call.args[i] = block ? block + i * kArgumentCapacity : u"";
  o.Took(function->proc(call, o.p, o.end));
}

// A function call's arguments, the call and whatever stands between ")" and the end of the part.
const char16_t* FunctionPart(const Level& at, const char16_t* p, const char16_t* name, bool resolve, Output& o) {
  char16_t* block = nullptr;
  if (resolve)
    block = static_cast<char16_t*>(MemAlloc(kFunctionArguments * kArgumentCapacity * sizeof(char16_t)));
  p = ParseArguments(at, p, block);
  if (block && !*at.stop) CallFunction(at, name, block, o);
  MemFree(block);
  if (*at.stop || !*p || *p == u'=' || *p == u'>') return p;
  char16_t discard[kReferenceScratch];
  char16_t* trimmed;
  return Nested(at, p, discard, discard + kReferenceScratch - 1, u"=>", &trimmed, false);
}

// One part of a reference: expands its text, then resolves it by its first character (as written)
// unless an earlier alternative already produced output. Returns where the part stopped.
const char16_t* ReferencePart(const Level& at, const char16_t* p, bool resolve, Output& o) {
  char16_t kind = *p;
  char16_t scratch[kReferenceScratch];
  char16_t* trimmed;
  p = Nested(at, p, scratch, scratch + kReferenceScratch - 1, kind == u'$' ? u"(=>" : u"=>", &trimmed, resolve);
  if (*at.stop) return p;
  char16_t* rest = scratch[0] ? scratch + 1 : scratch;
  if (kind == u'$') {
    *trimmed = 0;
    if (*p == u'(') return FunctionPart(at, p + 1, rest, resolve, o);
    if (resolve) OptionReference(at, rest, o);
    return p;
  }
  if (!resolve) return p;
  switch (kind) {
    case u'?':
      if (at.resolver.variable_raw && *rest) CopyText(at.resolver.variable_raw(at.resolver.context, rest), o);
      break;
    case u'!': CopyText(rest, o); break;
    case u'%':
      if (at.resolver.environment && *rest) o.Took(at.resolver.environment(at.resolver.context, rest, o.p, o.end));
      break;
    case u'#': FileReference(at, rest, o); break;
    case u'@': RegistryReference(at, rest, o); break;
    default: ExpandVariable(at, scratch, o); break;
  }
  return p;
}

// The reference after "<": its alternatives up to the closing ">" or the end of the text.
const char16_t* Reference(const Level& at, const char16_t* p, Output& o) {
  bool produced = false;
  for (;;) {
    char16_t* before = o.p;
    p = ReferencePart(at, p, at.resolve && !produced, o);
    if (*at.stop) return p;
    produced = produced || o.p != before;
    if (*p == u'=') {
      ++p;
      continue;
    }
    if (*p == u'>') ++p;
    return p;
  }
}

// Copies a quoted run after its opening backtick; returns the position after the closing one.
const char16_t* Quoted(const char16_t* p, Output& o) {
  for (; *p; ++p) {
    if (*p == u'`') {
      if (p[1] != u'`') return p + 1;
      ++p;
    }
    o.Put(*p, true);
  }
  return p;
}

char16_t* Scan(const Level& at, const char16_t* source, char16_t* start, char16_t* end, const char16_t* terminators,
               const char16_t** stopped_at, char16_t** trimmed_end) {
  const char16_t* p = source ? source : u"";
  Output o{start, end, start};
  bool* stop = at.stop;
  if (at.depth >= kSubstituteMaxDepth && !*stop) {
    *stop = true;
    Trace(TR("W1503"), u"%d|%.64s", at.depth, p);
  }
  while (*p && !*stop) {
    if (IsOneOf(*p, terminators)) break;
    if (*p == u'`') {
      if (p[1] == u'`') {
        o.Put(u'`', true);
        p += 2;
      } else {
        p = Quoted(p + 1, o);
      }
    } else if (*p == u'<' && (!p[1] || IsBlank(p[1]))) {
      o.Put(*p++, false);
    } else if (*p == u'<') {
      p = Reference(at, p + 1, o);
    } else {
      o.Put(*p++, false);
    }
  }
  if (at.depth >= kSubstituteMaxDepth)
    while (*p) ++p;
  if (stopped_at) *stopped_at = p;
  if (trimmed_end) *trimmed_end = o.trimmed;
  return Terminated(o.p, end);
}

}  // namespace

char16_t* SubstituteLevel(const ExprResolver& resolver, const char16_t* source, char16_t* start, char16_t* end,
                          const char16_t* terminators, const char16_t** stopped_at, char16_t** trimmed_end, int depth,
                          bool* stop) {
  return Scan(Level{resolver, depth, stop, true}, source, start, end, terminators, stopped_at, trimmed_end);
}

char16_t* Substitute(const ExprResolver& resolver, const char16_t* source, char16_t* start, char16_t* end) {
  bool stop = false;
  return SubstituteLevel(resolver, source, start, end, nullptr, nullptr, nullptr, 0, &stop);
}

const ExprFunction* FindFunction(const ExprResolver& resolver, const char16_t* name) {
  size_t low = 0, high = resolver.function_count;
  while (low < high) {
    size_t middle = (low + high) / 2;
    int order = TextCompareNoCase(resolver.functions[middle].name, name);
    if (order == 0) return &resolver.functions[middle];
    if (order < 0) low = middle + 1;
    else high = middle;
  }
  return nullptr;
}
