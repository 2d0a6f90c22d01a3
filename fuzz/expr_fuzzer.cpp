// Substitution and evaluation of arbitrary text against a fixed small set of variables, some of
// them self-referencing. The input is read as UTF-16 (pairs of bytes). Checks: no crash, the
// output stays inside its buffer and is terminated, and the work stays bounded (libFuzzer's
// time-out catches runaway recursion).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "expr/condition.h"
#include "expr/evaluate.h"
#include "expr/substitute.h"
#include "tests/expr/table_resolver.h"

namespace {

TableResolver& Fixture() {
  static TableResolver t = [] {
    TableResolver r;
    r.variables = {{u"Name", 1, u"value"},
                   {u"Folder", 2, u"<Base>\\App"},
                   {u"Base", 3, u"C:\\Programs"},
                   {u"Self", 4, u"<Self>"},
                   {u"Grow", 5, u"x<Grow>y"},
                   {u"Ping", 6, u"<Pong>"},
                   {u"Pong", 7, u"<Ping>"},
                   {u"Eval", 8, u"<$eval(`<Eval>`)>"},
                   {u"Cond", 9, u"<$ifte(`<Cond>`,1,0)>"},
                   {u"Wide", 10, u"<Name><Name><Name><Name>"},
                   {u"Wider", 11, u"<Wide><Wide><Wide><Wide>"},
                   {u"SourceDir", 408, u"<Folder>\\Media"},
                   {u"Ver", 12, u"1.10.0.0"},
                   {u"Num", 13, u"0x10"}};
    r.environment = {{u"OS", u"Windows_NT"}};
    r.files = {{u"Key", u"C:\\App\\main.exe"}};
    r.sources = {{u"Key", u"bin\\main.exe"}};
    r.ini = {{u"a.ini|s|k", u"ini"}};
    r.registry = {{u"0|HKEY_LOCAL_MACHINE\\Software|v", u"reg"}};
    r.options = {{u"Opt", u"Name", 1, 2}, {u"Loop", u"Self", 2, 1}};
    return r;
  }();
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  std::u16string text(size / 2, u'\0');
  memcpy(&text[0], data, text.size() * 2);
  TableResolver& t = Fixture();
  t.misses.clear();
  ExprResolver r = t.Resolver(kPortableFunctions, kPortableFunctionCount);

  constexpr size_t kCapacity = 4096;
  static char16_t buffer[kCapacity + 8];
  for (size_t i = kCapacity; i < kCapacity + 8; ++i) buffer[i] = 0xBEEF;
  char16_t* end = Substitute(r, text.c_str(), buffer, buffer + kCapacity - 1);
  if (end < buffer || end > buffer + kCapacity - 1 || *end != 0) abort();
  for (size_t i = kCapacity; i < kCapacity + 8; ++i)
    if (buffer[i] != 0xBEEF) abort();

  bool stop = false;
  ExprScope scope{&r, 0, &stop};
  int error = 0;
  int result = Evaluate(text.c_str(), ExprResolveName, &scope, &error);
  if (result < -1 || result > 1 || error > 0 || error < -5) abort();
  return 0;
}
