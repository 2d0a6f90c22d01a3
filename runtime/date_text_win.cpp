#include <windows.h>

#include "runtime/date_text.h"
#include "runtime/text.h"

char16_t* DateTimeLocaleText(char16_t* start, char16_t* end, const DateTime& time, uint32_t form) {
  if (start > end) return start;
  SYSTEMTIME st;
  static_assert(sizeof(st) == sizeof(time), "DateTime has the SYSTEMTIME layout");
  memcpy(&st, &time, sizeof(st));
  auto* out = reinterpret_cast<wchar_t*>(start);
  int capacity = int(end - start + 1);
  int written = 0;
  if (form == kTimeLocale)
    written = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, out, capacity);
  else
    written = GetDateFormatW(LOCALE_USER_DEFAULT, form == kDateLocaleLong ? DATE_LONGDATE : DATE_SHORTDATE, &st,
                             nullptr, out, capacity);
  if (written <= 0) {
    *start = 0;
    return start;
  }
  return start + written - 1;
}
