// Date and time texts of a system-time record, chosen by flags:
//   0xFF (all of bits 0-7): the fixed English form "Wed Jul 16 15:41:00 2025";
//   bits 0-3, the date: 1 "20250716", 2 "2025-07-16", 3 the user's short date, 4 the user's long
//   date, any other value no date;
//   bits 4-7, the time: 0x10 "154100", 0x20 "15:41:00", 0x30 the user's time format, 0 no time;
//   0x1000: "T" between date and time instead of a blank.
// Locale forms use the user's default locale; a failing conversion leaves that part empty.
#pragma once
#include <cstdint>

#include "runtime/calendar.h"

enum : uint32_t {
  kDateCompact = 0x1,
  kDateIso = 0x2,
  kDateLocaleShort = 0x3,
  kDateLocaleLong = 0x4,
  kTimeCompact = 0x10,
  kTimeColons = 0x20,
  kTimeLocale = 0x30,
  kDateTimeFixedEnglish = 0xFF,
  kDateTimeSeparatorT = 0x1000,
};

char16_t* DateTimeText(char16_t* start, char16_t* end, const DateTime& time, uint32_t flags);

// The locale forms (kDateLocaleShort, kDateLocaleLong, kTimeLocale) alone. Where the system has
// no locale services (host builds) nothing is written.
char16_t* DateTimeLocaleText(char16_t* start, char16_t* end, const DateTime& time, uint32_t form);
