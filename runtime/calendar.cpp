#include "runtime/calendar.h"

namespace {

// Days from 1970-01-01 (the civil-date algorithms count from there); 1601-01-01 is day -134774.
constexpr int64_t k1601 = -134774;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  int64_t era = FloorDiv(y, 400);
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

int64_t CalendarDayNumber(int64_t year, int month, int day) {
  if (month < 1) month = 1;
  if (month > 12) month = 12;
  return DaysFromCivil(year, month, 1) + (day - 1) - k1601;
}

DateTime CalendarFromDayNumber(int64_t days) {
  int64_t z = days + k1601 + 719468;
  int64_t era = FloorDiv(z, 146097);
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yoe + era * 400 + (month <= 2);
  DateTime t{};
  t.year = uint16_t(year);
  t.month = uint16_t(month);
  t.day = uint16_t(day);
  // 1601-01-01 was a Monday.
  int64_t weekday = (days + 1) % 7;
  t.day_of_week = uint16_t(weekday < 0 ? weekday + 7 : weekday);
  return t;
}

uint64_t CalendarToFileTime(const DateTime& t) {
  int64_t days = CalendarDayNumber(t.year, t.month, t.day);
  uint64_t seconds = uint64_t(days) * 86400 + uint64_t(t.hour) * 3600 + uint64_t(t.minute) * 60 + t.second;
  return seconds * kFileTimePerSecond + uint64_t(t.milliseconds) * 10000;
}

DateTime CalendarFromFileTime(uint64_t filetime) {
  uint64_t seconds = filetime / kFileTimePerSecond;
  DateTime t = CalendarFromDayNumber(int64_t(seconds / 86400));
  uint64_t rest = seconds % 86400;
  t.hour = uint16_t(rest / 3600);
  t.minute = uint16_t(rest / 60 % 60);
  t.second = uint16_t(rest % 60);
  t.milliseconds = uint16_t(filetime % kFileTimePerSecond / 10000);
  return t;
}
