#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "expr/function_table.h"
#include "expr/registry_text.h"
#include "expr/substitute.h"
#include "expr/system_slots.h"
#include "runtime/file_utils.h"
#include "runtime/text.h"
#include "tests/expr/table_resolver.h"

namespace {

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
std::u16string U(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }

constexpr wchar_t kTestKey[] = L"Software\\SetupExprTest";

// The standard system slots over a table of variables, with the full function table; a folder with
// a few files and a registry key that are removed afterwards.
class SystemFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    folder_ = U(temp) + u"SetupExprTest" + std::u16string(1, char16_t(u'A' + GetCurrentProcessId() % 26));
    FolderDeleteTree(folder_.c_str(), 3);
    ASSERT_TRUE(CreateDirectoryW(W(folder_), nullptr));
    t_.variables = {{u"Folder", 1, folder_}, {u"Code", 456, u"<Two>"}, {u"Two", 2, u"2"}};
    r_ = t_.Resolver(kExprFunctions, kExprFunctionCount);
    r_.environment = ExprEnvironmentValue;
    r_.ini_value = ExprIniValue;
    r_.registry_value = ExprRegistryValue;
  }
  void TearDown() override {
    EXPECT_EQ(FolderDeleteTree(folder_.c_str(), 3), 0u);
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY key;
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        RegDeleteTreeW(key, L"SetupExprTest");
        RegCloseKey(key);
      }
    }
  }

  std::u16string Run(const std::u16string& text) {
    char16_t buffer[4096];
    Substitute(r_, text.c_str(), buffer, buffer + 4095);
    return buffer;
  }
  std::u16string Path(const char16_t* name) const { return folder_ + u"\\" + name; }
  void WriteFile(const char16_t* name, const std::string& bytes) {
    HANDLE h = CreateFileW(W(Path(name)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n;
    ::WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    CloseHandle(h);
  }
  void SetValue(HKEY root, REGSAM view, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(root, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr), 0);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), 0);
    RegCloseKey(key);
  }

  std::u16string folder_;
  TableResolver t_;
  ExprResolver r_{};
};

}  // namespace

TEST_F(SystemFunctions, EnvironmentAndIni) {
  SetEnvironmentVariableW(L"SETUP_EXPR_TEST", L"from environment");
  EXPECT_EQ(Run(u"<%SETUP_EXPR_TEST>"), u"from environment");
  EXPECT_EQ(Run(u"<%SETUP_EXPR_UNSET=!unset>"), u"unset");
  SetEnvironmentVariableW(L"SETUP_EXPR_TEST", std::wstring(5000, L'x').c_str());
  EXPECT_EQ(Run(u"<%SETUP_EXPR_TEST>"), u"");  // longer than the buffer: nothing
  SetEnvironmentVariableW(L"SETUP_EXPR_TEST", nullptr);

  WriteFile(u"app.ini", "[Main]\r\nKey=ini value\r\nOther = spaced \r\n");
  EXPECT_EQ(Run(u"<#<Folder>\\app.ini?Main?Key>"), u"ini value");
  EXPECT_EQ(Run(u"<#<Folder>\\app.ini?Main?Other>"), u"spaced");
  EXPECT_EQ(Run(u"<#<Folder>\\app.ini?Main?Missing=!dflt>"), u"dflt");
  EXPECT_EQ(Run(u"<#<Folder>\\app.ini?Main>"), u"");
  EXPECT_EQ(Run(u"<#<Folder>\\absent.ini?Main?Key>"), u"");
}

TEST_F(SystemFunctions, RegistryValuesAsText) {
  const wchar_t text[] = L"text";
  const wchar_t expand[] = L"%SETUP_EXPR_ROOT%\\x";
  const wchar_t multi[] = L"a\0bc\0\0";
  DWORD dword = 4000000000u;
  DWORD big = 0x01000000;  // bytes 00 00 00 01: big-endian 1
  ULONGLONG qword = 18000000000000000000ull;
  BYTE binary[] = {0x0A, 0xFF, 0x00};
  SetEnvironmentVariableW(L"SETUP_EXPR_ROOT", L"C:\\Root");
  SetValue(HKEY_CURRENT_USER, 0, L"Sz", REG_SZ, text, sizeof(text));
  SetValue(HKEY_CURRENT_USER, 0, L"Unterminated", REG_SZ, text, 8);
  SetValue(HKEY_CURRENT_USER, 0, L"Expand", REG_EXPAND_SZ, expand, sizeof(expand));
  SetValue(HKEY_CURRENT_USER, 0, L"Multi", REG_MULTI_SZ, multi, sizeof(multi));
  SetValue(HKEY_CURRENT_USER, 0, L"Dword", REG_DWORD, &dword, 4);
  SetValue(HKEY_CURRENT_USER, 0, L"Big", REG_DWORD_BIG_ENDIAN, &big, 4);
  SetValue(HKEY_CURRENT_USER, 0, L"Qword", REG_QWORD, &qword, 8);
  SetValue(HKEY_CURRENT_USER, 0, L"Binary", REG_BINARY, binary, 3);
  SetValue(HKEY_CURRENT_USER, 0, L"Empty", REG_BINARY, binary, 0);
  SetValue(HKEY_CURRENT_USER, 0, L"with\\back\\slashes", REG_SZ, text, sizeof(text));
  SetValue(HKEY_CURRENT_USER, 0, L"", REG_SZ, L"default", 16);
  std::wstring large(30000, L'L');
  SetValue(HKEY_CURRENT_USER, 0, L"Large", REG_SZ, large.c_str(), DWORD((large.size() + 1) * 2));
  std::wstring huge(40000, L'H');
  SetValue(HKEY_CURRENT_USER, 0, L"Huge", REG_BINARY, huge.c_str(), DWORD(huge.size() * 2));
  struct {
    const char16_t* name;
    const char16_t* result;
  } cases[] = {
      {u"Sz", u"text"},       {u"Unterminated", u"text"}, {u"Expand", u"C:\\Root\\x"}, {u"Multi", u"a\x1F" u"bc"},
      {u"Dword", u"4000000000"}, {u"Big", u"1"},         {u"Qword", u"18000000000000000000"},
      {u"Binary", u"0A FF 00 "}, {u"Empty", u""},        {u"Absent", u""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Run(u"<@HKEY_CURRENT_USER\\Software\\SetupExprTest\\" + std::u16string(c.name) + u">"), c.result)
        << TextToUtf8(c.name);
  EXPECT_EQ(Run(u"<@HKEY_CURRENT_USER\\Software\\SetupExprTest\\?|with\\back\\slashes>"), u"text");
  EXPECT_EQ(Run(u"<@hkey_current_user\\Software\\SetupExprTest\\>"), u"default");
  EXPECT_EQ(Run(u"<@HKEY_NOWHERE\\Software\\SetupExprTest\\Sz=!none>"), u"none");
  char16_t buffer[70000];
  Substitute(r_, u"<@HKEY_CURRENT_USER\\Software\\SetupExprTest\\Large>", buffer, buffer + 69999);
  EXPECT_EQ(TextLength(buffer), 30000u);
  // Larger than the 65536 bytes a value may have: a failure, read as nothing.
  Substitute(r_, u"<@HKEY_CURRENT_USER\\Software\\SetupExprTest\\Huge>", buffer, buffer + 69999);
  EXPECT_EQ(buffer[0], 0);
}

TEST_F(SystemFunctions, RegistryViews) {
  SetValue(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"View", REG_SZ, L"32", 6);
  SetValue(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"View", REG_SZ, L"64", 6);
  EXPECT_EQ(Run(u"<@32:HKEY_LOCAL_MACHINE\\Software\\SetupExprTest\\View>"), u"32");
  EXPECT_EQ(Run(u"<@64:HKEY_LOCAL_MACHINE\\Software\\SetupExprTest\\View>"), u"64");
  EXPECT_EQ(Run(u"<@HKEY_LOCAL_MACHINE\\Software\\SetupExprTest\\View>"), u"64");
  EXPECT_EQ(Run(u"<@HKEY_ALL_USERS\\Software\\SetupExprTest\\View>"), u"64");
  EXPECT_EQ(Run(u"<$rkaccess(HKEY_LOCAL_MACHINE\\Software\\SetupExprTest)>"), u"1");
  EXPECT_EQ(Run(u"<$rkaccess(HKEY_CURRENT_USER\\Software\\SetupExprAbsent)>"), u"0");
  EXPECT_EQ(Run(u"<$rkaccess(HKEY_BAD\\Software)>"), u"0");
  EXPECT_EQ(Run(u"<$rkaccess(HKEY_USERS)>"), u"1");
}

TEST_F(SystemFunctions, FileFunctions) {
  WriteFile(u"data.txt", std::string("\xFE\xFF\0A\0B\0\r\0\n", 10));
  FILETIME written{};
  SYSTEMTIME st{2020, 2, 0, 29, 12, 0, 0, 0};
  SystemTimeToFileTime(&st, &written);
  HANDLE h = CreateFileW(W(Path(u"data.txt")), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(h, &written, nullptr, &written);
  CloseHandle(h);
  std::u16string file = u"\"" + Path(u"data.txt") + u"\"";
  EXPECT_EQ(Run(u"<$fexist(" + file + u")>"), u"1");
  EXPECT_EQ(Run(u"<$fexist(<Folder>)>"), u"-1");
  EXPECT_EQ(Run(u"<$fexist(<Folder>\\d*.txt)>"), u"1");
  EXPECT_EQ(Run(u"<$fexist(<Folder>\\absent)>"), u"0");
  EXPECT_EQ(Run(u"<$fexist()>"), u"0");
  EXPECT_EQ(Run(u"<$fsize(" + file + u")>"), u"10");
  EXPECT_EQ(Run(u"<$fread(" + file + u")>"), u"AB\n");
  EXPECT_EQ(Run(u"<$fread(<Folder>\\absent)>"), u"");
  EXPECT_EQ(Run(u"<$ftimem(" + file + u")>"), u"13227451200");
  EXPECT_EQ(Run(u"<$ftimec(" + file + u")>"), u"13227451200");
  EXPECT_EQ(Run(u"<$ftimem(<Folder>\\absent)>"), u"");
  FILETIME local;
  SYSTEMTIME localTime;
  FileTimeToLocalFileTime(&written, &local);
  FileTimeToSystemTime(&local, &localTime);
  char16_t date[16];
  TextFormat(date, date + 15, u"%04u%02u%02u", localTime.wYear, localTime.wMonth, localTime.wDay);
  EXPECT_EQ(Run(u"<$fdatem(" + file + u")>"), date);
  EXPECT_EQ(Run(u"<$fdatec(" + file + u")>"), date);
  long long age = std::stoll(TextToUtf8(Run(u"<$fagem(" + file + u")>")));
  EXPECT_GT(age, 150000000);
  EXPECT_EQ(Run(u"<$fagec(<Folder>\\absent)>"), u"");
  EXPECT_EQ(Run(u"<$lfn(" + file + u")>"), Path(u"data.txt"));
  EXPECT_NE(Run(u"<$sfn(" + file + u")>"), u"");
  EXPECT_EQ(Run(u"<$lfn(<Folder>\\absent)>"), u"");
}

TEST_F(SystemFunctions, VersionFunctions) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::u16string exe = U(self);
  EXPECT_EQ(Run(u"<$fverf(" + exe + u")>"), u"1.2.3.4");
  EXPECT_EQ(Run(u"<$fverp(" + exe + u")>"), u"5.6.7.8");
  EXPECT_EQ(Run(u"<$fverfcmp(" + exe + u",1.2.3.5)>"), u"-1");
  EXPECT_EQ(Run(u"<$fverfcmp(" + exe + u",1.2.3.4)>"), u"0");
  EXPECT_EQ(Run(u"<$fverpcmp(" + exe + u",5.6)>"), u"1");
  EXPECT_EQ(Run(u"<$fverf(<Folder>\\absent.dll)>"), u"");
  EXPECT_EQ(Run(u"<$fverfcmp(<Folder>\\absent.dll,0.0.0.1)>"), u"-1");
}

TEST_F(SystemFunctions, TextAndSystem) {
  EXPECT_EQ(Run(u"<$strupper(abc\u00e4)>"), u"ABC\u00c4");
  EXPECT_EQ(Run(u"<$strlower(ABC\u00c4)>"), u"abc\u00e4");
  wchar_t message[512];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                           nullptr, 2, 0, message, 512, nullptr);
  ASSERT_GT(n, 0u);
  while (n && (message[n - 1] == L' ' || message[n - 1] == L'\n' || message[n - 1] == L'\r')) message[--n] = 0;
  EXPECT_EQ(Run(u"<$errmsg(2)>"), U(message));
  EXPECT_EQ(Run(u"<$errmsg()>"), U(message));  // variable 456
  wchar_t appData[MAX_PATH];
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData), S_OK);
  EXPECT_EQ(Run(u"<$shpath(26)>"), U(appData));
  EXPECT_EQ(Run(u"<$shpath({3EB685DB-65F9-4CF6-A03A-E3EF65729F3D})>"), U(appData));  // FOLDERID_RoamingAppData
  EXPECT_EQ(Run(u"<$shpath(9999)>"), u"");
  SYSTEMTIME now;
  GetLocalTime(&now);
  char16_t today[16];
  TextFormat(today, today + 15, u"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  std::u16string nowText = Run(u"<$datenow()>");
  if (nowText != today) {  // midnight passed between the two reads
    GetLocalTime(&now);
    TextFormat(today, today + 15, u"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  }
  EXPECT_EQ(nowText, today);
  EXPECT_EQ(Run(u"<$datenow(0,0,1)>").substr(0, 4), TextFromUtf8(std::to_string(now.wYear + 1)));
  EXPECT_EQ(Run(u"<$datenow(-3650000)>"), u"00000101");
  EXPECT_EQ(Run(u"<$datenow(3650000)>"), u"99991231");
  EXPECT_EQ(Run(u"<$datenow(,,20000)>"), u"99991231");
}

TEST(RegistryDataText, Types) {
  char16_t buffer[64];
  const uint8_t dword[] = {1, 0, 0, 0};
  RegistryDataText(buffer, buffer + 63, kRegDword, dword, 4);
  EXPECT_EQ(std::u16string(buffer), u"1");
  const uint8_t other[] = {0xAB};
  RegistryDataText(buffer, buffer + 63, 0x99, other, 1);
  EXPECT_EQ(std::u16string(buffer), u"AB ");
  const uint8_t multi[] = {'a', 0, 0, 0, 0, 0};
  RegistryDataText(buffer, buffer + 63, kRegMultiSz, multi, 6);
  EXPECT_EQ(std::u16string(buffer), u"a");
}
