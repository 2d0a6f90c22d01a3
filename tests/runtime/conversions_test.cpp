#include <gtest/gtest.h>

#include "runtime/calendar.h"
#include "runtime/date_text.h"
#include "runtime/guid_text.h"
#include "runtime/number_parse.h"
#include "runtime/text.h"
#include "runtime/version_text.h"

namespace {

std::u16string Version(uint64_t v) {
  char16_t buffer[64];
  VersionText(buffer, buffer + 63, v);
  return buffer;
}

// 16 July 2025, 15:41:00, a Wednesday.
constexpr DateTime kSample{2025, 7, 3, 16, 15, 41, 0, 0};

std::u16string DateText(const DateTime& t, uint32_t flags) {
  char16_t buffer[128];
  DateTimeText(buffer, buffer + 127, t, flags);
  return buffer;
}

}  // namespace

TEST(NumberParse, BaseFromPrefix) {
  struct Case {
    const char16_t* text;
    int64_t value;
    size_t consumed;
  } cases[] = {
      {u"42", 42, 2},      {u"010", 8, 3},      {u"0x1F", 31, 4},  {u"0X1f", 31, 4}, {u"-12", -12, 3},
      {u"  +7", 7, 4},     {u"09", 0, 1},       {u"0x", 0, 1},     {u"abc", 0, 0},  {u"12abc", 12, 2},
      {u"", 0, 0},         {u"-", 0, 0},        {u"0", 0, 1},
  };
  for (const Case& c : cases) {
    const char16_t* stop = nullptr;
    EXPECT_EQ(NumberParse64(c.text, &stop), c.value) << TextToUtf8(c.text);
    EXPECT_EQ(size_t(stop - c.text), c.consumed) << TextToUtf8(c.text);
  }
}

TEST(NumberParse, OverflowSaturates) {
  EXPECT_EQ(NumberParse32(u"2147483648"), INT32_MAX);
  EXPECT_EQ(NumberParse32(u"-2147483648"), INT32_MIN);
  EXPECT_EQ(NumberParse32(u"-99999999999999999999999"), INT32_MIN);
  EXPECT_EQ(NumberParse64(u"9223372036854775807"), INT64_MAX);
  EXPECT_EQ(NumberParse64(u"99999999999999999999999"), INT64_MAX);
  EXPECT_EQ(NumberParse64(u"-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(NumberParseU32(u"4294967295"), 4294967295u);
  EXPECT_EQ(NumberParseU32(u"4294967296"), 4294967295u);
  EXPECT_EQ(NumberParseU32(u"-1"), 4294967295u);
  EXPECT_EQ(NumberParseU64(u"0xFFFFFFFFFFFFFFFFF"), UINT64_MAX);
}

// Decimal only, saturated: a number past 2^64 must not wrap round to a small one.
TEST(NumberParse, DecimalSaturatesBeforeItWraps) {
  struct Case {
    const char16_t* text;
    int64_t value;
  } cases[] = {
      {u"18446744073709551621", INT64_MAX},   {u"-18446744073709551621", INT64_MIN},
      {u"9223372036854775807", INT64_MAX},    {u"9223372036854775808", INT64_MAX},
      {u"-9223372036854775808", INT64_MIN},   {u"-9223372036854775809", INT64_MIN},
      {u"99999999999999999999999", INT64_MAX}, {u" +0x10", 0},
      {u"010", 10},                           {u"-42days", -42},
  };
  for (const Case& c : cases) EXPECT_EQ(NumberParseDecimal64(c.text), c.value) << TextToUtf8(c.text);
}

TEST(HexBytesParse, PairsBlanksAndLoneDigits) {
  uint8_t bytes[8] = {};
  EXPECT_EQ(HexBytesParse(u"0a FF  7 1b", bytes, 8), 4u);
  EXPECT_EQ(bytes[0], 0x0A);
  EXPECT_EQ(bytes[1], 0xFF);
  EXPECT_EQ(bytes[2], 0x07);
  EXPECT_EQ(bytes[3], 0x1B);
  EXPECT_EQ(HexBytesParse(u"1", bytes, 8), 1u);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(HexBytesParse(u"0102030405", bytes, 3), 3u);
  EXPECT_EQ(HexBytesParse(u"zz", bytes, 8), 0u);
}

TEST(VersionText, FormatAndParse) {
  EXPECT_EQ(Version(VersionPack(1, 2, 3, 4)), u"1.2.3.4");
  EXPECT_EQ(Version(VersionParse(u"1, 2 ,3,4")), u"1.2.3.4");
  EXPECT_EQ(Version(VersionParse(u"7")), u"7.0.0.0");
  EXPECT_EQ(Version(VersionParse(u"65537.1")), u"1.1.0.0");
  EXPECT_EQ(Version(VersionParse(u"1.2.3.4.5")), u"1.2.3.4");
  const char16_t* text = u"2.5 beta";
  const char16_t* stop = nullptr;
  EXPECT_EQ(Version(VersionParse(text, &stop)), u"2.5.0.0");
  EXPECT_EQ(stop, text + 3);
  char16_t words[32];
  VersionTextWords(words, words + 31, 0x00010002, 0x00030004);
  EXPECT_EQ(std::u16string(words), u"1.2.3.4");
}

TEST(VersionText, StrictVariant) {
  EXPECT_EQ(Version(VersionParseStrict(u"1.2.3.4")), u"1.2.3.4");
  EXPECT_EQ(Version(VersionParseStrict(u"1,2")), u"1.0.0.0");
  EXPECT_EQ(Version(VersionParseStrict(u"1 .2")), u"1.0.0.0");
}

TEST(VersionText, LooksLike) {
  EXPECT_TRUE(VersionTextLooksLike(u"1.10"));
  EXPECT_TRUE(VersionTextLooksLike(u" 0.0"));
  EXPECT_FALSE(VersionTextLooksLike(u"10"));
  EXPECT_FALSE(VersionTextLooksLike(u"1."));
  EXPECT_FALSE(VersionTextLooksLike(u"v1.2"));
}

TEST(GuidText, FormatsBytesInWindowsLayout) {
  Guid g;
  auto* bytes = reinterpret_cast<uint8_t*>(&g);
  for (int i = 0; i < 16; ++i) bytes[i] = uint8_t(i);
  char16_t buffer[40];
  GuidText(buffer, buffer + 39, g);
  EXPECT_EQ(std::u16string(buffer), u"{03020100-0504-0706-0809-0A0B0C0D0E0F}");
  Guid back;
  const char16_t* stop = GuidParse(buffer, &back);
  EXPECT_EQ(*stop, 0);
  EXPECT_EQ(memcmp(&g, &back, 16), 0);
}

TEST(GuidText, ParseStopsAtUnexpectedCharacter) {
  Guid g;
  const char16_t* text = u"{12345678-9abc-x";
  EXPECT_EQ(GuidParse(text, &g), text + 15);
  EXPECT_EQ(g.data1, 0x12345678u);
  EXPECT_EQ(g.data2, 0x9ABC);
  EXPECT_EQ(g.data3, 0);
  text = u"12345678";
  EXPECT_EQ(GuidParse(text, &g), text);
  EXPECT_EQ(g.data1, 0u);
  text = u"{00000001-0002-0003-0405-060708090A0B}tail";
  EXPECT_EQ(GuidParse(text, &g), text + 38);
  EXPECT_EQ(g.data4[7], 0x0B);
}

TEST(Calendar, DayNumbersAndFileTimes) {
  EXPECT_EQ(CalendarDayNumber(1601, 1, 1), 0);
  EXPECT_EQ(CalendarDayNumber(2024, 3, 1) - CalendarDayNumber(2024, 2, 29), 1);
  EXPECT_EQ(CalendarDayNumber(2023, 2, 31), CalendarDayNumber(2023, 3, 3));
  DateTime t = CalendarFromDayNumber(CalendarDayNumber(2025, 7, 16));
  EXPECT_EQ(t.year, 2025);
  EXPECT_EQ(t.month, 7);
  EXPECT_EQ(t.day, 16);
  EXPECT_EQ(t.day_of_week, 3);
  uint64_t ft = CalendarToFileTime(kSample);
  EXPECT_EQ(ft, 133971540600000000ull);
  DateTime back = CalendarFromFileTime(ft);
  EXPECT_EQ(memcmp(&back, &kSample, sizeof(DateTime)), 0);
}

TEST(DateTimeText, FixedAndNumericForms) {
  struct Case {
    uint32_t flags;
    const char16_t* text;
  } cases[] = {
      {0x11, u"20250716 154100"},      {0x22, u"2025-07-16 15:41:00"},   {0x1022, u"2025-07-16T15:41:00"},
      {0xFF, u"Wed Jul 16 15:41:00 2025"}, {0x10FF, u"Wed Jul 16 15:41:00 2025"}, {0x01, u"20250716"},
      {0x20, u"15:41:00"},             {0x05, u""},                      {0x00, u""},
  };
  for (const Case& c : cases) EXPECT_EQ(DateText(kSample, c.flags), c.text) << std::hex << c.flags;
  DateTime bad = kSample;
  bad.day_of_week = 9;
  bad.month = 13;
  EXPECT_EQ(DateText(bad, 0xFF), u"--- --- 16 15:41:00 2025");
}
