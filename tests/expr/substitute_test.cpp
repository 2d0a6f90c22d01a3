#include <gtest/gtest.h>

#include <string>

#include "expr/substitute.h"
#include "runtime/text.h"
#include "tests/expr/table_resolver.h"

namespace {

class Substitution : public ::testing::Test {
 protected:
  void SetUp() override {
    t_.variables = {
        {u"Name", 1, u"value"},
        {u"Set", 2, u"set"},
        {u"Empty", 3, u""},
        {u"Indirect", 4, u"Name"},
        {u"Folder", 5, u"<Base>\\App"},
        {u"Base", 6, u"C:\\Programs"},
        {u"Self", 7, u"<Self>"},
        {u"Grow", 8, u"x<Grow>"},
        {u"Ping", 9, u"<Pong>"},
        {u"Pong", 10, u"<Ping>"},
        {u"Spaced", 11, u"  padded  "},
        {u"Target", 12, u"target value"},
    };
    t_.environment = {{u"ProgramFiles", u"C:\\Program Files"}};
    t_.files = {{u"MainExe", u"C:\\App\\main.exe"}};
    t_.ini = {{u"C:\\a.ini|Sec|Key", u"ini value"}, {u"C:\\a.ini|Sec|", u"empty key"}};
    t_.registry = {{u"0|HKEY_LOCAL_MACHINE\\Software\\Vendor|Path", u"native"},
                   {u"64|HKEY_LOCAL_MACHINE\\Software\\Vendor|Path", u"sixty-four"},
                   {u"32|HKEY_LOCAL_MACHINE\\Software\\Vendor|Path", u"thirty-two"},
                   {u"0|HKEY_CURRENT_USER\\Software\\Vendor|a\\b\\c", u"backslashed"},
                   {u"0|HKEY_CURRENT_USER\\Software|", u"default value"}};
    t_.options = {{u"Docs", u"Target", 1, 2}, {u"NoVar", u"", 2, 1}};
    r_ = t_.Resolver(kPortableFunctions, kPortableFunctionCount);
  }

  std::u16string Run(const char16_t* text, size_t capacity = 4096) {
    std::u16string buffer(capacity, u'\xFFFF');
    char16_t* end = Substitute(r_, text, &buffer[0], &buffer[0] + capacity - 1);
    EXPECT_EQ(*end, 0);
    return std::u16string(buffer.c_str());
  }

  TableResolver t_;
  ExprResolver r_{};
};

}  // namespace

TEST_F(Substitution, ReferenceForms) {
  struct Case {
    const char16_t* text;
    const char16_t* result;
  } cases[] = {
      {u"plain text", u"plain text"},
      {u"<Name>", u"value"},
      {u"[<name>]", u"[value]"},
      {u"<Folder>", u"C:\\Programs\\App"},
      {u"<?Folder>", u"<Base>\\App"},
      {u"<!constant <Name>>", u"constant value"},
      {u"<%ProgramFiles>\\x", u"C:\\Program Files\\x"},
      {u"<%Unset>", u""},
      {u"<#MainExe>", u"C:\\App\\main.exe"},
      {u"<#C:\\a.ini?Sec?Key>", u"ini value"},
      {u"<#C:\\a.ini?Sec>", u"empty key"},
      {u"<@HKEY_LOCAL_MACHINE\\Software\\Vendor\\Path>", u"native"},
      {u"<@64:HKEY_LOCAL_MACHINE\\Software\\Vendor\\Path>", u"sixty-four"},
      {u"<@32:HKEY_LOCAL_MACHINE\\Software\\Vendor\\Path>", u"thirty-two"},
      {u"<@HKEY_CURRENT_USER\\Software\\Vendor\\?|a\\b\\c>", u"backslashed"},
      {u"<@HKEY_CURRENT_USER\\Software\\>", u"default value"},
      {u"<@NoBackslash>", u""},
      {u"<$Docs>", u"target value"},
      {u"<$NoVar>", u""},
      {u"<$Missing>", u""},
      {u"<<Indirect>>", u"value"},
      {u"<$strtrim( ab )>", u"ab"},
      {u"<$unknownfunc(a)>", u""},
      {u"<Missing>", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.text), c.result) << TextToUtf8(c.text);
}

TEST_F(Substitution, LiteralLessThanAndQuotes) {
  struct Case {
    const char16_t* text;
    const char16_t* result;
  } cases[] = {
      {u"a < b", u"a < b"},
      {u"a <Name", u"a value"},
      {u"ends with <", u"ends with <"},
      {u"tab <\tx", u"tab <\tx"},
      {u"``", u"`"},
      {u"`<Name>`", u"<Name>"},
      {u"`a``b`", u"a`b"},
      {u"x`unclosed <Name>", u"xunclosed <Name>"},
      {u"<Name", u"value"},
      {u"<Name=", u"value"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.text), c.result) << TextToUtf8(c.text);
}

TEST_F(Substitution, Alternatives) {
  EXPECT_EQ(Run(u"<Missing=!default>"), u"default");
  EXPECT_EQ(Run(u"<Set=!default>"), u"set");
  EXPECT_EQ(Run(u"<Empty=%ProgramFiles=!C:\\App>"), u"C:\\Program Files");
  EXPECT_EQ(Run(u"<Empty=%Unset=!C:\\App>"), u"C:\\App");
  // The discarded alternative is parsed (its quote and nested reference consumed), not resolved.
  t_.misses.clear();
  EXPECT_EQ(Run(u"<Set=Other`>`<Nope>>tail"), u"settail");
  EXPECT_TRUE(t_.misses.empty());
  EXPECT_EQ(Run(u"<Set=$strtrim(a,b)>!"), u"set!");
}

TEST_F(Substitution, FunctionArguments) {
  EXPECT_EQ(Run(u"<$strsubst(` ab `,x,y)>"), u" ab ");
  EXPECT_EQ(Run(u"<$part(a;b;c,;,2)>"), u"b");
  EXPECT_EQ(Run(u"<$part(a;b;c , ; , -1 )>"), u"c");
  EXPECT_EQ(Run(u"<$strsubst(<Folder>,\\,/)>"), u"C:/Programs/App");
  EXPECT_EQ(Run(u"<$STRTRIM(x)>"), u"x");
  EXPECT_EQ(Run(u"<$strtrim(a,b,c,d,e,f)>"), u"a");  // arguments past the fourth are dropped
  EXPECT_EQ(Run(u"<$strtrim(unclosed"), u"unclosed");
  EXPECT_EQ(Run(u"<$strtrim(a) junk>x"), u"ax");
  EXPECT_EQ(Run(u"<$strtrim(a)=!alt>"), u"a");
  EXPECT_EQ(Run(u"<$iisdata(a)=!alt>"), u"alt");
  EXPECT_EQ(Run(u"<$eval(`<Name>`)>"), u"value");
}

TEST_F(Substitution, ArgumentLongerThanItsBufferIsCut) {
  std::u16string text = u"<$strtrim(" + std::u16string(20000, u'a') + u")>b";
  std::u16string result = Run(text.c_str(), 40000);
  EXPECT_EQ(result, std::u16string(kArgumentCapacity - 1, u'a') + u"b");
}

TEST_F(Substitution, SelfReferenceStopsEverything) {
  EXPECT_EQ(Run(u"before <Self> after"), u"before ");
  std::u16string grown = Run(u"<Grow>tail");
  EXPECT_GT(grown.size(), 10u);
  EXPECT_LT(grown.size(), 70u);
  EXPECT_EQ(grown.find(u"tail"), std::u16string::npos);
  EXPECT_EQ(Run(u"a<Ping>b"), u"a");
  EXPECT_EQ(Run(u"<$eval(`<Self>`)>x"), u"");
}

TEST_F(Substitution, DeepNestingIsBounded) {
  std::u16string deep = std::u16string(10000, u'<') + u"Name" + std::u16string(10000, u'>');
  EXPECT_EQ(Run(deep.c_str()), u"");
  std::u16string calls;
  for (int i = 0; i < 10000; ++i) calls += u"<$strtrim(";
  EXPECT_EQ(Run(calls.c_str()), u"");
}

TEST_F(Substitution, OutputIsBounded) {
  EXPECT_EQ(Run(u"<Folder>", 5), u"C:\\P");
  EXPECT_EQ(Run(u"abc<Name>", 4), u"abc");
  char16_t one[1] = {u'x'};
  EXPECT_EQ(Substitute(r_, u"<Name>", one, one), one);
  EXPECT_EQ(one[0], 0);
  char16_t none[2] = {u'x', u'y'};
  EXPECT_EQ(Substitute(r_, u"<Name>", none + 1, none), none + 1);
  EXPECT_EQ(none[1], u'y');
  std::u16string big(1 << 20, u'q');
  EXPECT_EQ(Run(big.c_str(), 100).size(), 99u);
}

TEST_F(Substitution, ScratchBufferCutsLongNames) {
  std::u16string name = u"<!" + std::u16string(1000, u'n') + u">";
  EXPECT_EQ(Run(name.c_str()).size(), kReferenceScratch - 2);
}

TEST_F(Substitution, LevelReportsStopAndTrimmedEnd) {
  char16_t buffer[64];
  const char16_t* stopped = nullptr;
  char16_t* trimmed = nullptr;
  bool stop = false;
  const char16_t* text = u"ab `  `  ,rest";
  char16_t* end = SubstituteLevel(r_, text, buffer, buffer + 63, u",)", &stopped, &trimmed, 0, &stop);
  EXPECT_EQ(stopped, text + 9);
  EXPECT_EQ(std::u16string(buffer), u"ab     ");
  EXPECT_EQ(trimmed, buffer + 5);
  EXPECT_EQ(end, buffer + 7);
  EXPECT_FALSE(stop);
  SubstituteLevel(r_, u"<Name>", buffer, buffer + 63, nullptr, &stopped, &trimmed, kSubstituteMaxDepth, &stop);
  EXPECT_TRUE(stop);
  EXPECT_EQ(buffer[0], 0);
}
