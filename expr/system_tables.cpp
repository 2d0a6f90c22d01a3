#include "expr/system_tables.h"

#include "expr/functions.h"
#include "runtime/heap.h"
#include "runtime/number_parse.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

char16_t* g_paths[kSystemPathSlots];
const SystemValueProc* g_values;

}  // namespace

void SystemPathSet(unsigned index, const char16_t* text) {
  if (index >= kSystemPathSlots) return;
  MemFree(g_paths[index]);
  g_paths[index] = nullptr;
  if (text) {
    size_t length = TextLength(text);
    g_paths[index] = static_cast<char16_t*>(MemAllocFlags((length + 1) * sizeof(char16_t), kMemMustSucceed));
    TextCopy(g_paths[index], g_paths[index] + length, text);
  }
  Trace(TR("I1521"), u"%u|%s", index, text ? text : u"");
}

const char16_t* SystemPath(unsigned index) {
  return index < kSystemPathSlots && g_paths[index] ? g_paths[index] : u"";
}

void SystemPathsClear() {
  for (char16_t*& path : g_paths) {
    MemFree(path);
    path = nullptr;
  }
}

void SystemValuesInstall(const SystemValueProc* table) { g_values = table; }

EXPR_FUNCTION(syspath) {
  uint32_t index = NumberParseU32(call.args[0]);
  if (index >= kSystemPathSlots) {
    Trace(TR("W1522"), u"%s", call.args[0]);
    return TextCopy(start, end, u"");
  }
  return TextCopy(start, end, SystemPath(index));
}

EXPR_FUNCTION(sysval) {
  uint32_t index = NumberParseU32(call.args[0]);
  char16_t* out = TextCopy(start, end, u"");
  if (index >= kSystemValueSlots) {
    Trace(TR("W1523"), u"%s|%s", call.args[0], call.args[1]);
    return out;
  }
  if (g_values && g_values[index]) out = g_values[index](call.args[1], start, end);
  Trace(TR("I1524"), u"%u|%s|%s", index, call.args[1], start <= end ? start : u"");
  return out;
}
