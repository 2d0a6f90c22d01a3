// Path text functions: fbase, fdir, fext, fname, froot, srcpath.
#include "expr/functions.h"
#include "expr/substitute.h"
#include "runtime/heap.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

size_t PathRootLength(const char16_t* path) {
  if (IsSeparator(path[0]) && IsSeparator(path[1])) {
    size_t i = 2;
    for (int part = 0; part < 2; ++part) {
      while (path[i] && !IsSeparator(path[i])) ++i;
      if (part == 0 && path[i]) ++i;
    }
    return i;
  }
  if (path[0] && path[1] == u':') return IsSeparator(path[2]) ? 3 : 2;
  return IsSeparator(path[0]) ? 1 : 0;
}

namespace {

// Start of the last component.
const char16_t* NameStart(const char16_t* path) {
  const char16_t* name = path + PathRootLength(path);
  for (const char16_t* p = name; *p; ++p)
    if (IsSeparator(*p)) name = p + 1;
  return name;
}

// The extension's dot in the last component, or the end of the path.
const char16_t* ExtensionStart(const char16_t* name) {
  const char16_t* dot = nullptr;
  for (const char16_t* p = name; *p; ++p)
    if (*p == u'.') dot = p;
  return dot ? dot : name + TextLength(name);
}

}  // namespace

PathArgument::PathArgument(const char16_t* argument) {
  size_t length = TextLength(argument);
  const char16_t* from = argument ? argument : u"";
  if (length >= 2 && from[0] == u'"' && from[length - 1] == u'"') {
    ++from;
    length -= 2;
  }
  text = static_cast<char16_t*>(MemAllocFlags((length + 1) * sizeof(char16_t), kMemZero | kMemMustSucceed));
  TextCopyN(text, text + length, from, length);
}

PathArgument::~PathArgument() { MemFree(text); }

EXPR_FUNCTION(fname) {
  PathArgument path(call.args[0]);
  return TextCopy(start, end, NameStart(path.text));
}

EXPR_FUNCTION(fbase) {
  PathArgument path(call.args[0]);
  const char16_t* name = NameStart(path.text);
  return TextCopyN(start, end, name, size_t(ExtensionStart(name) - name));
}

EXPR_FUNCTION(fext) {
  PathArgument path(call.args[0]);
  return TextCopy(start, end, ExtensionStart(NameStart(path.text)));
}

EXPR_FUNCTION(fdir) {
  PathArgument path(call.args[0]);
  const char16_t* name = NameStart(path.text);
  const char16_t* cut = name;
  const char16_t* root = path.text + PathRootLength(path.text);
  if (cut > root && IsSeparator(cut[-1])) --cut;  // the separator before the name, unless it is the root's
  return TextCopyN(start, end, path.text, size_t(cut - path.text));
}

EXPR_FUNCTION(froot) {
  PathArgument path(call.args[0]);
  return TextCopyN(start, end, path.text, PathRootLength(path.text));
}

EXPR_FUNCTION(srcpath) {
  const ExprResolver& r = *call.resolver;
  char16_t* out = TextCopy(start, end, u"");
  char16_t relative[1024];
  if (!r.file_source || r.file_source(r.context, call.args[0], relative, relative + 1023) == relative) {
    Trace(TR("W1520"), u"%s", call.args[0]);
    return out;
  }
  const char16_t* source = r.variable_raw_by_id ? r.variable_raw_by_id(r.context, 408) : nullptr;
  out = SubstituteLevel(r, source, start, end, nullptr, nullptr, nullptr, call.depth + 1, call.stop);
  if (out > start && !IsSeparator(out[-1])) out = TextCopy(out, end, u"\\");
  return TextCopy(out, end, relative);
}
