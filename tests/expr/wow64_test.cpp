// A 32-bit process on 64-bit Windows: registry references read the native (64-bit) view unless
// "32:" asks for the 32-bit one, and file functions see the native system folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "expr/function_table.h"
#include "expr/substitute.h"
#include "expr/system_slots.h"
#include "runtime/fs_redirection.h"
#include "runtime/text.h"
#include "tests/expr/table_resolver.h"

namespace {

class Wow64 : public ::testing::Test {
 protected:
  void SetUp() override {
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) GTEST_SKIP() << "not a 32-bit process on 64-bit Windows";
    r_ = t_.Resolver(kExprFunctions, kExprFunctionCount);
    r_.registry_value = ExprRegistryValue;
  }
  void TearDown() override {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY key;
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        RegDeleteTreeW(key, L"SetupExprWow64");
        RegCloseKey(key);
      }
    }
  }
  std::u16string Run(const char16_t* text) {
    char16_t buffer[1024];
    Substitute(r_, text, buffer, buffer + 1023);
    return buffer;
  }
  TableResolver t_;
  ExprResolver r_{};
};

void SetView(REGSAM view, const wchar_t* data) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\SetupExprWow64", 0, nullptr, 0, KEY_ALL_ACCESS | view,
                            nullptr, &key, nullptr),
            0);
  RegSetValueExW(key, L"View", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), DWORD((wcslen(data) + 1) * 2));
  RegCloseKey(key);
}

}  // namespace

TEST_F(Wow64, RegistryViews) {
  SetView(KEY_WOW64_32KEY, L"32");
  SetView(KEY_WOW64_64KEY, L"64");
  EXPECT_EQ(Run(u"<@HKEY_LOCAL_MACHINE\\Software\\SetupExprWow64\\View>"), u"64");
  EXPECT_EQ(Run(u"<@64:HKEY_LOCAL_MACHINE\\Software\\SetupExprWow64\\View>"), u"64");
  EXPECT_EQ(Run(u"<@32:HKEY_LOCAL_MACHINE\\Software\\SetupExprWow64\\View>"), u"32");
  TearDown();
  SetView(KEY_WOW64_64KEY, L"64");
  EXPECT_EQ(Run(u"<$rkaccess(HKEY_LOCAL_MACHINE\\Software\\SetupExprWow64)>"), u"1");
  EXPECT_EQ(Run(u"<@32:HKEY_LOCAL_MACHINE\\Software\\SetupExprWow64\\View=!none>"), u"none");
}

TEST_F(Wow64, FileFunctionsSeeTheNativeSystemFolder) {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);  // the redirected name: C:\windows\system32
  std::wstring probe = std::wstring(system) + L"\\setup_expr_probe.txt";
  FsRedirectionOff();
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  FsRedirectionRestore();
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n;
  WriteFile(h, "12345", 5, &n, nullptr);
  CloseHandle(h);
  std::u16string path = reinterpret_cast<const char16_t*>(probe.c_str());
  EXPECT_EQ(GetFileAttributesW(probe.c_str()), INVALID_FILE_ATTRIBUTES);  // not in the 32-bit folder
  EXPECT_EQ(Run((u"<$fexist(" + path + u")>").c_str()), u"1");
  EXPECT_EQ(Run((u"<$fsize(" + path + u")>").c_str()), u"5");
  EXPECT_EQ(GetFileAttributesW(probe.c_str()), INVALID_FILE_ATTRIBUTES);  // redirection is back on
  FsRedirectionOff();
  EXPECT_TRUE(DeleteFileW(probe.c_str()));
  FsRedirectionRestore();
}
