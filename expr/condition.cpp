#include "expr/condition.h"

#include "expr/evaluate.h"
#include "expr/substitute.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

char16_t* OptionStateText(const ExprScope& s, const char16_t* option, bool requested, char16_t* start,
                          char16_t* end) {
  int state = s.resolver->option_state ? s.resolver->option_state(s.resolver->context, option, requested) : 0;
  return TextCopy(start, end, state == kOptionStateInstalled ? u"3" : state == kOptionStateNotInstalled ? u"2" : u"-1");
}

}  // namespace

bool ExprResolveName(void* context, const char16_t* token, char16_t* start, char16_t* end) {
  const ExprScope& s = *static_cast<const ExprScope*>(context);
  const ExprResolver& r = *s.resolver;
  TextCopy(start, end, u"");
  switch (token[0]) {
    case u'!':
    case u'?': OptionStateText(s, token + 1, false, start, end); return true;
    case u'$':
    case u'&': OptionStateText(s, token + 1, true, start, end); return true;
    case u'%':
      if (r.environment && token[1]) r.environment(r.context, token + 1, start, end);
      return true;
    case u'<':
      SubstituteLevel(r, token, start, end, nullptr, nullptr, nullptr, s.depth + 1, s.stop);
      return true;
    default: {
      const char16_t* raw = r.variable_raw ? r.variable_raw(r.context, token) : nullptr;
      if (!raw) return false;
      return SubstituteLevel(r, raw, start, end, nullptr, nullptr, nullptr, s.depth + 1, s.stop) != start;
    }
  }
}

int ExprEvaluateCondition(const ExprScope& scope, const char16_t* expression, const char16_t* label) {
  int result = Evaluate(expression, ExprResolveName, const_cast<ExprScope*>(&scope));
  Trace(TR("I1501"), u"%s|%s|%d", label ? label : u"", expression ? expression : u"", result);
  return result;
}
