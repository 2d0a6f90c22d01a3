// Date functions: dateadd, datediff, dateiso, datelocal, systime.
#include "expr/functions.h"
#include "runtime/calendar.h"
#include "runtime/date_text.h"
#include "runtime/number_parse.h"
#include "runtime/platform.h"
#include "runtime/text.h"

namespace {

int ReadDigits(const char16_t*& p, int count) {
  int value = 0;
  for (int i = 0; i < count && *p >= u'0' && *p <= u'9'; ++i, ++p) value = value * 10 + (*p - u'0');
  return value;
}

int64_t Clamp(int64_t value, int64_t low, int64_t high) { return value < low ? low : value > high ? high : value; }

constexpr int64_t kFirstYear = 0;
constexpr int64_t kLastYear = 9999;

char16_t* DateText(char16_t* start, char16_t* end, int64_t year, int month, int day) {
  return TextFormat(start, end, u"%04u%02u%02u", unsigned(year), unsigned(month), unsigned(day));
}

}  // namespace

void ReadDateArgument(const char16_t* text, int* year, int* month, int* day) {
  const char16_t* p = text ? text : u"";
  *year = ReadDigits(p, 4);
  *month = int(Clamp(ReadDigits(p, 2), 1, 12));
  *day = int(Clamp(ReadDigits(p, 2), 1, 31));
}

char16_t* DateShifted(char16_t* start, char16_t* end, int year, int month, int day, const char16_t* days,
                      const char16_t* months, const char16_t* years) {
  int64_t total = int64_t(year) * 12 + (month - 1) + int64_t(NumberParse32(months)) + int64_t(NumberParse32(years)) * 12;
  int64_t newYear = total >= 0 ? total / 12 : -((-total + 11) / 12);
  int newMonth = int(total - newYear * 12) + 1;
  int64_t dayOffset = NumberParseDecimal64(days);
  if (dayOffset == 0 && newYear >= kFirstYear && newYear <= kLastYear)
    return DateText(start, end, newYear, newMonth, day);
  dayOffset = Clamp(dayOffset, -4000000, 4000000);  // more than the form's 3652059 days, no overflow
  // The offset goes through the file-time scale; a day beyond the month's end counts on into the
  // next month. The form holds the days from 00000101 to 99991231: a result outside them becomes the
  // first or the last of them, so a later date never reads as an earlier one.
  int64_t number = Clamp(CalendarDayNumber(newYear, newMonth, day) + dayOffset, CalendarDayNumber(kFirstYear, 1, 1),
                         CalendarDayNumber(kLastYear, 12, 31));
  DateTime t = CalendarFromDayNumber(number);
  return DateText(start, end, t.year, t.month, t.day);
}

EXPR_FUNCTION(dateadd) {
  int year, month, day;
  ReadDateArgument(call.args[0], &year, &month, &day);
  return DateShifted(start, end, year, month, day, call.args[1], call.args[2], call.args[3]);
}

EXPR_FUNCTION(datediff) {
  int y1, m1, d1, y2, m2, d2;
  ReadDateArgument(call.args[0], &y1, &m1, &d1);
  ReadDateArgument(call.args[1], &y2, &m2, &d2);
  return TextFormat(start, end, u"%I64d", CalendarDayNumber(y1, m1, d1) - CalendarDayNumber(y2, m2, d2));
}

EXPR_FUNCTION(dateiso) {
  int year, month, day;
  ReadDateArgument(call.args[0], &year, &month, &day);
  return TextFormat(start, end, u"%04u-%02u-%02u", unsigned(year), unsigned(month), unsigned(day));
}

EXPR_FUNCTION(datelocal) {
  int year, month, day;
  ReadDateArgument(call.args[0], &year, &month, &day);
  DateTime t{};
  t.year = uint16_t(year);
  t.month = uint16_t(month);
  t.day = uint16_t(day);
  t.day_of_week = CalendarFromDayNumber(CalendarDayNumber(year, month, day)).day_of_week;
  return DateTimeText(start, end, t, kDateLocaleShort);
}

EXPR_FUNCTION(systime) {
  int64_t seconds = NumberParseDecimal64(call.args[0]);
  if (seconds > INT32_MAX) seconds = INT32_MAX;
  if (seconds < INT32_MIN) seconds = INT32_MIN;
  uint64_t now = PlatformNowFileTime() / kFileTimePerSecond;
  return TextFormat(start, end, u"%I64u", now + uint64_t(seconds));
}
