#include <gtest/gtest.h>

#include <string>

#include "expr/functions.h"
#include "expr/substitute.h"
#include "expr/system_tables.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "tests/expr/table_resolver.h"

namespace {

class PortableFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    t_.variables = {{u"SourceDir", 408, u"<Base>\\Media"}, {u"Base", 1, u"D:"}, {u"yes", 2, u"1"}};
    t_.sources = {{u"MainExe", u"bin\\main.exe"}};
    r_ = t_.Resolver(kPortableFunctions, kPortableFunctionCount);
  }
  std::u16string Run(const char16_t* text) {
    char16_t buffer[2048];
    Substitute(r_, text, buffer, buffer + 2047);
    return buffer;
  }
  TableResolver t_;
  ExprResolver r_{};
};

struct Case {
  const char16_t* text;
  const char16_t* result;
};

}  // namespace

TEST_F(PortableFunctions, Table) {
  const Case cases[] = {
      // dates
      {u"<$dateadd(20250131,,1)>", u"20250231"},
      {u"<$dateadd(20250131,1,1)>", u"20250304"},
      {u"<$dateadd(20251115,,3)>", u"20260215"},
      {u"<$dateadd(20250115,,-1)>", u"20241215"},
      {u"<$dateadd(20250115,,-13,1)>", u"20241215"},
      {u"<$dateadd(20240228,2)>", u"20240301"},
      {u"<$dateadd(20240301,-1)>", u"20240229"},
      {u"<$dateadd(20250716,010)>", u"20250726"},
      {u"<$dateadd(20250716,,,010)>", u"20330716"},
      {u"<$dateadd(20250716,,,-99999)>", u"00000101"},
      // The first and the last day of the form are the limits in both directions.
      {u"<$dateadd(00000101,-1)>", u"00000101"},
      {u"<$dateadd(00000102,-1)>", u"00000101"},
      {u"<$dateadd(00000115,,-1)>", u"00000101"},
      {u"<$dateadd(99991231,1)>", u"99991231"},
      {u"<$dateadd(99991230,1)>", u"99991231"},
      {u"<$dateadd(99991215,,1)>", u"99991231"},
      {u"<$dateadd(99990101,-18446744073709551621)>", u"00000101"},
      {u"<$dateadd(00001300)>", u"00001201"},
      {u"<$datediff(20240301,20240228)>", u"2"},
      {u"<$datediff(20240301,20240229)>", u"1"},
      {u"<$datediff(20230301,20230228)>", u"1"},
      {u"<$datediff(20240101,20250101)>", u"-366"},
      {u"<$dateiso(20250716)>", u"2025-07-16"},
      {u"<$dateiso(2025)>", u"2025-01-01"},
      {u"<$dateiso(x)>", u"0000-01-01"},
      // texts
      {u"<$instr(0,Hello World,o)>", u"5"},
      {u"<$instr(1,Hello World,O)>", u"5"},
      {u"<$instr(6,Hello World,o)>", u"8"},
      {u"<$instr(-1,Hello World,o)>", u"8"},
      {u"<$instr(-5,Hello World,o)>", u"5"},
      {u"<$instr(-11,Hello World,H)>", u"1"},
      {u"<$instr(-12,Hello World,H)>", u"0"},
      {u"<$instr(12,Hello World,o)>", u"0"},
      {u"<$instr(1,,o)>", u"0"},
      {u"<$instr(1,abc,)>", u"0"},
      {u"<$part(a;b;c,;,1)>", u"a"},
      {u"<$part(a;b;c,;,3)>", u"c"},
      {u"<$part(a;b;c,;,4)>", u""},
      {u"<$part(a;b;c,;,-3)>", u"a"},
      {u"<$part(a;b;c,;,-4)>", u""},
      {u"<$part(a;b;c,;,0)>", u""},
      {u"<$part(a; b ;c,;,2)>", u"b"},
      {u"<$part(one \"two three\" 'four' `five six`,,2)>", u"two three"},
      {u"<$part(one \"two three\" 'four' ``five six``,` `,-1)>", u"five six"},
      {u"<$part(one two,,3)>", u""},
      {u"<$strsubst(aXbxc,x,--)>", u"a--b--c"},
      {u"<$strsubst(abc,,z)>", u"abc"},
      {u"<$strtrim(`  x  `)>", u"x"},
      {u"<$vercmp(1.10,1.9)>", u"1"},
      {u"<$vercmp(1.2,1.2.0.0)>", u"0"},
      {u"<$vercmp(1.2,1.3)>", u"-1"},
      {u"<$ifte(yes = 1,then,else)>", u"then"},
      {u"<$ifte(yes = 2,then,else)>", u"else"},
      {u"<$ifte(,then,else)>", u"then"},
      {u"<$iispath(x)>", u""},
      {u"<$eval(`<Base>`)>", u"D:"},
      // paths
      {u"<$fname(C:\\a\\b.txt)>", u"b.txt"},
      {u"<$fname(\"C:\\a\\b c.txt\")>", u"b c.txt"},
      {u"<$fbase(C:\\a\\b.tar.gz)>", u"b.tar"},
      {u"<$fbase(C:\\a.d\\b)>", u"b"},
      {u"<$fext(C:\\a\\b.txt)>", u".txt"},
      {u"<$fext(C:\\a.d\\b)>", u""},
      {u"<$fdir(C:\\a\\b.txt)>", u"C:\\a"},
      {u"<$fdir(C:\\b.txt)>", u"C:\\"},
      {u"<$fdir(\\\\srv\\share\\x)>", u"\\\\srv\\share"},
      {u"<$froot(C:\\a\\b.txt)>", u"C:\\"},
      {u"<$froot(C:rel)>", u"C:"},
      {u"<$froot(\\\\srv\\share\\x\\y)>", u"\\\\srv\\share"},
      {u"<$froot(rel\\x)>", u""},
      {u"<$srcpath(MainExe)>", u"D:\\Media\\bin\\main.exe"},
      {u"<$srcpath(Unknown)>", u""},
      {u"<$syspath(12)>", u""},
      {u"<$sysval(40)>", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.text), c.result) << TextToUtf8(c.text);
}

TEST_F(PortableFunctions, SystemTables) {
  SystemPathSet(4, u"C:\\Temp");
  EXPECT_EQ(Run(u"<$syspath(4)>"), u"C:\\Temp");
  EXPECT_EQ(Run(u"<$syspath(5)>"), u"");
  SystemPathsClear();
  EXPECT_EQ(Run(u"<$syspath(4)>"), u"");
  static SystemValueProc table[kSystemValueSlots] = {};
  table[32] = [](const char16_t* argument, char16_t* start, char16_t* end) {
    return TextFormat(start, end, u"pid:%s", argument);
  };
  SystemValuesInstall(table);
  EXPECT_EQ(Run(u"<$sysval(32,x)>"), u"pid:x");
  EXPECT_EQ(Run(u"<$sysval(31,x)>"), u"");
  SystemValuesInstall(nullptr);
  EXPECT_EQ(Run(u"<$sysval(32,x)>"), u"");
}

TEST_F(PortableFunctions, SystimeAddsSeconds) {
  uint64_t before = PlatformNowFileTime() / 10000000;
  uint64_t value = std::stoull(TextToUtf8(Run(u"<$systime(-60)>").c_str()));
  uint64_t after = PlatformNowFileTime() / 10000000;
  EXPECT_GE(value, before - 60);
  EXPECT_LE(value, after - 60);
}
