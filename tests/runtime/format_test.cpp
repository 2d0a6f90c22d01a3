#include <gtest/gtest.h>

#include "runtime/text.h"

namespace {
std::u16string Format(const char16_t* format, ...) {
  char16_t buffer[256];
  va_list args;
  va_start(args, format);
  TextFormatV(buffer, buffer + 255, format, args);
  va_end(args);
  return buffer;
}
}  // namespace

TEST(TextFormat, WindowsIntegerSizes) {
  EXPECT_EQ(Format(u"%08lX|%lu|%d", uint32_t(0x72044), uint32_t(4294967295u), -5), u"00072044|4294967295|-5");
  EXPECT_EQ(Format(u"%016I64X", uint64_t(0xFFFFFFFFFFFF0002ull)), u"FFFFFFFFFFFF0002");
  EXPECT_EQ(Format(u"%I64u|%I64d", uint64_t(18446744073709551615ull), int64_t(-9)), u"18446744073709551615|-9");
  EXPECT_EQ(Format(u"%04X-%04u", 0x409u, 7u), u"0409-0007");
  EXPECT_EQ(Format(u"%hu", 70000u), u"4464");
}

TEST(TextFormat, TextsAndFlags) {
  EXPECT_EQ(Format(u"%s|%hs|%S", u"wide", "narrow", "also"), u"wide|narrow|also");
  EXPECT_EQ(Format(u"[%-5s][%5s][%.2s]", u"ab", u"cd", u"efgh"), u"[ab   ][   cd][ef]");
  EXPECT_EQ(Format(u"%c%c", u'x', 0x263A), u"x\u263A");
  EXPECT_EQ(Format(u"%#x %+d % d %5.3d", 255u, 3, 4, 7), u"0xff +3  4   007");
  EXPECT_EQ(Format(u"%s", static_cast<const char16_t*>(nullptr)), u"(null)");
  EXPECT_EQ(Format(u"100%% %q"), u"100% q");
}

TEST(TextFormat, PointerHasPointerWidth) {
  std::u16string text = Format(u"%p", reinterpret_cast<void*>(0xABC));
  EXPECT_EQ(text.size(), sizeof(void*) * 2);
  EXPECT_EQ(text.substr(text.size() - 3), u"ABC");
}

TEST(TextFormat, OutputIsBounded) {
  char16_t buffer[6];
  char16_t* p = TextFormat(buffer, buffer + 5, u"%s-%d", u"abcdef", 12);
  EXPECT_EQ(std::u16string(buffer), u"abcde");
  EXPECT_EQ(p, buffer + 5);
}
