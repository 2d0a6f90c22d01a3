// Host builds have no user locale: the locale forms are left empty, as a failing conversion is.
#include "runtime/date_text.h"
#include "runtime/text.h"

char16_t* DateTimeLocaleText(char16_t* start, char16_t* end, const DateTime&, uint32_t) {
  return TextCopy(start, end, u"");
}
