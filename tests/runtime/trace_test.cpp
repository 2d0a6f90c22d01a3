#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/trace.h"

namespace {

std::u16string FormatLine(uint32_t code, uint16_t language, uint64_t time, const char16_t* format, ...) {
  std::vector<char16_t> line(kTraceLineCapacity);
  va_list args;
  va_start(args, format);
  size_t n = TraceFormatLine(line.data(), code, language, time, format, args);
  va_end(args);
  return std::u16string(line.data(), n);
}

std::u16string ListLine(uint32_t code, std::vector<const char16_t*> texts) {
  std::vector<char16_t> line(kTraceLineCapacity);
  size_t n = TraceListLine(line.data(), code, 0x0409, 0x01DBF5A1B2C3D4E5ull, unsigned(texts.size()), texts.data());
  return std::u16string(line.data(), n);
}

}  // namespace

TEST(TraceCode, NamesMapToCodes) {
  EXPECT_EQ(TR("I0069"), 0x00072044u);
  EXPECT_EQ(TR("E0001"), 0x0007C000u);
  EXPECT_EQ(TR("D8192"), 0x00071FFFu);
  EXPECT_EQ(TR("F0002"), 0x0007E001u);
}

TEST(TraceLine, FormattedRecordHasTheFixedPrefix) {
  EXPECT_EQ(FormatLine(TR("I0069"), 0x0407, 0x01DBF5A1B2C3D4E5ull, u"%s|%lu", u"name", uint32_t(5)),
            u"00072044|QEL:I0069|0407-01DBF5A1B2C3D4E5|name|5\n");
  EXPECT_EQ(FormatLine(TR("D8192"), 0, 0, u""), u"00071FFF|QEL:D8192|0000-0000000000000000|\n");
}

TEST(TraceLine, ListedRecordWithoutTextsEndsAfterTheTime) {
  EXPECT_EQ(ListLine(TR("I0057"), {}), u"00072038|QEL:I0057|0409-01DBF5A1B2C3D4E5\n");
  EXPECT_EQ(ListLine(TR("D0001"), {u"Name", u""}), u"00070000|QEL:D0001|0409-01DBF5A1B2C3D4E5|Name|\n");
}

TEST(TraceLine, LineBreaksInsideArgumentsStayOnOneLine) {
  EXPECT_EQ(ListLine(TR("I0094"), {u"a\r\nb", u"c\nd\re"}), u"0007205D|QEL:I0094|0409-01DBF5A1B2C3D4E5|a#b|c#de\n");
}

TEST(TraceLine, LongTextIsCutAt16383Characters) {
  std::u16string big(20000, u'x');
  std::u16string line = ListLine(TR("I0094"), {big.c_str()});
  EXPECT_EQ(line.size(), 16384u);
  EXPECT_EQ(line.back(), u'\n');
}

TEST(TraceSinkTest, RecordsReachTheSink) {
  static std::u16string seen;
  TraceSink sink{[](void*, const char16_t* line, size_t n) { seen.assign(line, n); }, nullptr};
  TraceSetSink(&sink);
  TraceSetLanguage(0x0C07);
  Trace(TR("W0001"), u"%d|%d", -2, 5);
  TraceSetSink(nullptr);
  ASSERT_GE(seen.size(), 20u);
  EXPECT_EQ(seen.substr(0, 25), u"0007A000|QEL:W0001|0C07-0");
  EXPECT_EQ(seen.substr(seen.size() - 6), u"|-2|5\n");
}
