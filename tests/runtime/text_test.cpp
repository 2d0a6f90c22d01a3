#include <gtest/gtest.h>

#include "runtime/text.h"

TEST(TextCopy, ChainsAndTerminates) {
  char16_t buffer[16];
  char16_t* end = buffer + 15;
  char16_t* p = TextCopy(buffer, end, u"C:\\Apps");
  p = TextCopy(p, end, u"\\Tool.exe");
  EXPECT_EQ(std::u16string(buffer), u"C:\\Apps\\Tool.ex");
  EXPECT_EQ(p, end);
  EXPECT_EQ(*p, 0);
}

TEST(TextCopy, StartBeyondEndWritesNothing) {
  char16_t buffer[4] = {u'x', u'y', u'z', 0};
  char16_t* p = TextCopy(buffer + 3, buffer + 2, u"abc");
  EXPECT_EQ(p, buffer + 3);
  EXPECT_EQ(std::u16string(buffer), u"xyz");
}

TEST(TextCopy, EndEqualsStartHoldsOnlyTheTerminator) {
  char16_t buffer[1] = {u'q'};
  EXPECT_EQ(TextCopy(buffer, buffer, u"abc"), buffer);
  EXPECT_EQ(buffer[0], 0);
}

TEST(TextAppend, AppendsAfterExistingText) {
  char16_t buffer[8] = u"ab";
  TextAppend(buffer, buffer + 7, u"cdefghij");
  EXPECT_EQ(std::u16string(buffer), u"abcdefg");
}

TEST(TextCompare, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(TextCompareNoCase(u"InstallDir", u"INSTALLDIR"), 0);
  EXPECT_NE(TextCompareNoCase(u"\u00e9", u"\u00c9"), 0);
  EXPECT_LT(TextCompareNoCase(u"abc", u"abd"), 0);
  EXPECT_LT(TextCompareNoCase(u"ab", u"abc"), 0);
}

TEST(Utf8, RoundTripsSurrogatePairsAndFlagsBadBytes) {
  std::u16string text = u"a\u00e9\u20ac\U0001F600";
  EXPECT_EQ(TextFromUtf8(TextToUtf8(text)), text);
  EXPECT_EQ(TextFromUtf8(std::string("a\xff" "b\xe2\x82")), u"a\ufffdb\ufffd\ufffd");
}
