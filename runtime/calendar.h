// Calendar dates and FILETIME values (100-nanosecond intervals since 1601-01-01 UTC) without the
// system: the proleptic Gregorian calendar, day counts and the system-time record.
#pragma once
#include <cstdint>

// The system-time record, in the Windows layout (SYSTEMTIME); day_of_week 0 is Sunday.
struct DateTime {
  uint16_t year;
  uint16_t month;
  uint16_t day_of_week;
  uint16_t day;
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint16_t milliseconds;
};

constexpr uint64_t kFileTimePerSecond = 10000000;
constexpr uint64_t kFileTimePerDay = 864000000000;

// Days from 1601-01-01 to the date. A day beyond the month's length (31 February) counts on into
// the next month, so every year, month (1-12) and day (1-31) gives a day number.
int64_t CalendarDayNumber(int64_t year, int month, int day);
// The date (year, month, day, day of week) of a day number; the time fields are cleared.
DateTime CalendarFromDayNumber(int64_t days);

uint64_t CalendarToFileTime(const DateTime& time);
DateTime CalendarFromFileTime(uint64_t filetime);
