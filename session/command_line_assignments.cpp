#include "session/command_line_assignments.h"

#include "runtime/number_parse.h"
#include "runtime/text.h"

namespace {

// The first "=" of `text` at or after `from`, or null.
const char16_t* EqualsSign(const char16_t* text, size_t from) {
  for (const char16_t* c = text + from; *c; ++c)
    if (*c == u'=') return c;
  return nullptr;
}

void CopyName(char16_t* name, const char16_t* start, const char16_t* end) {
  TextCopyN(name, name + kAssignmentNameCapacity - 1, start, size_t(end - start));
}

}  // namespace

bool NextVariableAssignment(const ArgumentVector* arguments, uint32_t* index, VariableAssignment* assignment) {
  for (uint32_t i = *index < 1 ? 1 : *index; i < arguments->count; ++i) {
    const char16_t* argument = arguments->texts[i];
    if (!argument[0] || argument[0] == u'/' || argument[0] == u'-' || argument[0] == u'$') continue;
    const char16_t* equals = EqualsSign(argument, 1);
    if (!equals || equals == argument) continue;
    CopyName(assignment->name, argument, equals);
    assignment->value = equals + 1;
    *index = i + 1;
    return true;
  }
  *index = arguments->count;
  return false;
}

bool NextOptionAssignment(const ArgumentVector* arguments, uint32_t* index, OptionAssignment* assignment) {
  for (uint32_t i = *index < 1 ? 1 : *index; i < arguments->count; ++i) {
    const char16_t* argument = arguments->texts[i];
    if (argument[0] != u'$' || !argument[1]) continue;
    const char16_t* equals = EqualsSign(argument, 2);
    if (!equals) continue;
    int64_t state = NumberParse64(equals + 1);
    CopyName(assignment->name, argument + 1, equals);
    assignment->state = int32_t(state < 0 ? 0 : state > 5 ? 5 : state);
    *index = i + 1;
    return true;
  }
  *index = arguments->count;
  return false;
}
