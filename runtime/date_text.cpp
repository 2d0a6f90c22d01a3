#include "runtime/date_text.h"

#include "runtime/text.h"

namespace {

const char16_t* DayName(unsigned day) {
  static const char16_t* const kNames[] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                           u"Thursday", u"Friday", u"Saturday"};
  return day < 7 ? kNames[day] : u"---";
}

const char16_t* MonthName(unsigned month) {
  static const char16_t* const kNames[] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                                           u"July",    u"August",   u"September", u"October", u"November", u"December"};
  return month >= 1 && month <= 12 ? kNames[month - 1] : u"---";
}

char16_t* DatePart(char16_t* start, char16_t* end, const DateTime& t, uint32_t form) {
  switch (form) {
    case kDateCompact: return TextFormat(start, end, u"%04u%02u%02u", t.year, t.month, t.day);
    case kDateIso: return TextFormat(start, end, u"%04u-%02u-%02u", t.year, t.month, t.day);
    case kDateLocaleShort:
    case kDateLocaleLong: return DateTimeLocaleText(start, end, t, form);
    default: return TextCopy(start, end, u"");
  }
}

char16_t* TimePart(char16_t* start, char16_t* end, const DateTime& t, uint32_t form) {
  switch (form) {
    case kTimeCompact: return TextFormat(start, end, u"%02u%02u%02u", t.hour, t.minute, t.second);
    case kTimeColons: return TextFormat(start, end, u"%02u:%02u:%02u", t.hour, t.minute, t.second);
    case kTimeLocale: return DateTimeLocaleText(start, end, t, form);
    default: return TextCopy(start, end, u"");
  }
}

}  // namespace

char16_t* DateTimeText(char16_t* start, char16_t* end, const DateTime& t, uint32_t flags) {
  if (start > end) return start;
  if ((flags & 0xFF) == kDateTimeFixedEnglish)
    return TextFormat(start, end, u"%3.3s %3.3s %02u %02u:%02u:%02u %04u", DayName(t.day_of_week),
                      MonthName(t.month), t.day, t.hour, t.minute, t.second, t.year);
  char16_t* p = DatePart(start, end, t, flags & 0x0F);
  char16_t* timeStart = p;
  bool hasDate = p != start;
  if (hasDate) p = TextCopy(p, end, (flags & kDateTimeSeparatorT) ? u"T" : u" ");
  char16_t* q = TimePart(p, end, t, flags & 0xF0);
  if (q == p) {  // no time: drop the separator again
    *timeStart = 0;
    return timeStart;
  }
  return q;
}
