// The registry engine under Wine: values of every type written from text and read back, the two
// views of 64-bit Windows with the fallback rule, deleting values and trees, exact restore of bytes,
// the per-user classes redirection.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "install/registry_key.h"
#include "install/registry_value.h"
#include "runtime/text.h"

namespace {

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

class RegistryEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t name[64];
    wsprintfW(name, L"Software\\KezRegistryTest%lu", GetCurrentProcessId());
    subkey_ = reinterpret_cast<const char16_t*>(name);
    path_ = u"HKEY_LOCAL_MACHINE\\" + subkey_;
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, W(subkey_));
    HKEY root32;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &root32) == 0) {
      RegDeleteTreeW(root32, W(subkey_.substr(9)));
      RegCloseKey(root32);
    }
  }
  // The raw data of a value in one view; "<absent>" when it is not there.
  std::string Raw(const char16_t* name, REGSAM view, DWORD* type = nullptr) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(subkey_), 0, KEY_QUERY_VALUE | view, &key)) return "<absent>";
    std::vector<BYTE> data(200000);
    DWORD size = DWORD(data.size()), t = 0;
    LSTATUS status = RegQueryValueExW(key, reinterpret_cast<LPCWSTR>(name), nullptr, &t, data.data(), &size);
    RegCloseKey(key);
    if (type) *type = t;
    return status ? "<absent>" : std::string(reinterpret_cast<char*>(data.data()), size);
  }
  void Put(const char16_t* name, REGSAM view, DWORD type, const std::string& bytes) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, W(subkey_), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                              nullptr), 0);
    RegSetValueExW(key, reinterpret_cast<LPCWSTR>(name), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   DWORD(bytes.size()));
    RegCloseKey(key);
  }
  std::u16string ReadText(const char16_t* name, int32_t view, DWORD* type = nullptr, int32_t* actual = nullptr) {
    char16_t text[1024];
    DWORD t = 0;
    int32_t a = 0;
    RegistryReadValueText(path_.c_str(), name, view, false, text, text + 1023, &t, &a);
    if (type) *type = t;
    if (actual) *actual = a;
    return text;
  }

  std::u16string subkey_;
  std::u16string path_;
};

std::string S(const char16_t* text, size_t units) { return std::string(reinterpret_cast<const char*>(text), units * 2); }

TEST_F(RegistryEngine, EveryTypeWrittenFromTextAndReadBack) {
  struct Case {
    const char16_t* name;
    uint32_t type;
    const char16_t* text;
    std::string raw;
    const char16_t* read;
  } cases[] = {
      {u"sz", REG_SZ, u"Hello", S(u"Hello", 6), u"Hello"},
      {u"expand", REG_EXPAND_SZ, u"%TEMP%\\x", S(u"%TEMP%\\x", 9), u"%TEMP%\\x"},
      {u"dword", REG_DWORD, u"0x12345678", std::string("\x78\x56\x34\x12", 4), u"305419896"},
      {u"octal", REG_DWORD, u"017", std::string("\x0f\0\0\0", 4), u"15"},
      {u"big", REG_DWORD_BIG_ENDIAN, u"258", std::string("\0\0\x01\x02", 4), u"258"},
      {u"qword", REG_QWORD, u"18446744073709551615", std::string(8, '\xff'), u"18446744073709551615"},
      {u"multi", REG_MULTI_SZ, u"a\x1f" u"bc", S(u"a\0bc\0", 6), u"a\x1f" u"bc"},
      {u"binary", REG_BINARY, u"0a 1B c", std::string("\x0a\x1b\x0c", 3), u"0A 1B 0C "},
      {u"empty", REG_SZ, u"", S(u"", 1), u""},
  };
  for (const Case& c : cases) {
    int32_t actual = 0;
    ASSERT_EQ(RegistryWriteValueText(path_.c_str(), c.name, c.text, kRegistryView64Only, c.type, true, &actual), 0u)
        << TextToUtf8(c.name);
    DWORD type = 0;
    EXPECT_EQ(Raw(c.name, KEY_WOW64_64KEY, &type), c.raw) << TextToUtf8(c.name);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(ReadText(c.name, kRegistryView64Only), c.read) << TextToUtf8(c.name);
  }
  char16_t expanded[512];
  DWORD type;
  int32_t actual;
  RegistryReadValueText(path_.c_str(), u"expand", kRegistryView64Only, true, expanded, expanded + 511, &type, &actual);
  EXPECT_EQ(std::u16string(expanded).find(u"%TEMP%"), std::u16string::npos);
}

TEST_F(RegistryEngine, EmptyTextWithoutWriteFlagDeletes) {
  int32_t actual = 0;
  ASSERT_EQ(RegistryWriteValueText(path_.c_str(), u"v", u"x", kRegistryView64Only, REG_SZ, true, &actual), 0u);
  EXPECT_EQ(RegistryWriteValueText(path_.c_str(), u"v", u"", kRegistryView64Only, REG_SZ, false, &actual), 0u);
  EXPECT_EQ(Raw(u"v", KEY_WOW64_64KEY), "<absent>");
  // A key that is not there counts as deleted; an unknown root does not.
  EXPECT_EQ(RegistryWriteValueText((path_ + u"\\none").c_str(), u"v", u"", 2, REG_SZ, false, &actual), 0u);
  EXPECT_EQ(RegistryWriteValueText(u"HKEY_NOWHERE\\x", u"v", u"x", 2, REG_SZ, true, &actual), 3u);
  HKEY key;
  EXPECT_EQ(RegistryOpenKey(u"HKLM\\Software", nullptr, 0, KEY_READ, &key, &actual), 3u);
  EXPECT_EQ(RegistryOpenKey(u"hkey_local_machine", nullptr, 0, KEY_READ, &key, &actual), 0u);
  RegCloseKey(key);
}

TEST_F(RegistryEngine, ViewsAndTheFallbackRule) {
  int32_t actual = 0;
  // View 5 writes the 32-bit view only (Wow6432Node), view 4 the 64-bit view only.
  ASSERT_EQ(RegistryWriteValueText(path_.c_str(), u"only32", u"a", kRegistryView32Bit, REG_SZ, true, &actual), 0u);
  EXPECT_EQ(actual, kRegistryView32Bit);
  EXPECT_EQ(Raw(u"only32", KEY_WOW64_32KEY), S(u"a", 2));
  EXPECT_EQ(Raw(u"only32", KEY_WOW64_64KEY), "<absent>");
  // View 0 finds a value that only the 32-bit key holds and updates it there.
  ASSERT_EQ(RegistryWriteValueText(path_.c_str(), u"only32", u"b", kRegistryViewAutomatic, REG_SZ, true, &actual), 0u);
  EXPECT_EQ(actual, kRegistryView32Bit);
  EXPECT_EQ(Raw(u"only32", KEY_WOW64_32KEY), S(u"b", 2));
  EXPECT_EQ(Raw(u"only32", KEY_WOW64_64KEY), "<absent>");
  // Once the 64-bit key exists, view 0 writes a new value there; view 1 takes the 32-bit key.
  Put(u"in64", KEY_WOW64_64KEY, REG_SZ, S(u"x", 2));
  ASSERT_EQ(RegistryWriteValueText(path_.c_str(), u"new0", u"c", kRegistryViewAutomatic, REG_SZ, true, &actual), 0u);
  EXPECT_EQ(actual, kRegistryView64Bit);
  EXPECT_EQ(Raw(u"new0", KEY_WOW64_64KEY), S(u"c", 2));
  ASSERT_EQ(RegistryWriteValueText(path_.c_str(), u"new1", u"d", kRegistryViewPrefer32, REG_SZ, true, &actual), 0u);
  EXPECT_EQ(actual, kRegistryView32Bit);
  EXPECT_EQ(Raw(u"new1", KEY_WOW64_32KEY), S(u"d", 2));
  // Reading reports the view it ended in.
  int32_t read_view = 0;
  EXPECT_EQ(ReadText(u"only32", kRegistryViewAutomatic, nullptr, &read_view), u"b");
  EXPECT_EQ(read_view, kRegistryView32Bit);
  EXPECT_EQ(ReadText(u"in64", kRegistryViewAutomatic, nullptr, &read_view), u"x");
  EXPECT_EQ(read_view, kRegistryView64Bit);
  // Creating a new key: view 1 in the 32-bit view, view 3 in the 64-bit view.
  HKEY key;
  DWORD disposition;
  ASSERT_EQ(RegistryCreateKey((path_ + u"\\k1").c_str(), nullptr, kRegistryViewPrefer32, KEY_ALL_ACCESS, &key,
                              &disposition, &actual), 0u);
  RegCloseKey(key);
  EXPECT_EQ(actual, kRegistryView32Bit);
  EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
  ASSERT_EQ(RegistryCreateKey((path_ + u"\\k3").c_str(), nullptr, kRegistryViewAutomaticFallback, KEY_ALL_ACCESS, &key,
                              &disposition, &actual), 0u);
  RegCloseKey(key);
  EXPECT_EQ(actual, kRegistryView64Bit);
}

TEST_F(RegistryEngine, DeletingValuesTreesAndEmptyKeys) {
  int32_t actual;
  for (const char16_t* sub : {u"\\a\\b\\c", u"\\a\\d"})
    ASSERT_EQ(RegistryWriteValueText((path_ + sub).c_str(), u"v", u"1", 2, REG_SZ, true, &actual), 0u);
  ASSERT_EQ(RegistryWriteValueText(path_.c_str(), u"top", u"1", 2, REG_SZ, true, &actual), 0u);
  HKEY key;
  ASSERT_EQ(RegistryOpenKey((path_ + u"\\a").c_str(), nullptr, 2, KEY_ALL_ACCESS, &key, &actual), 0u);
  EXPECT_FALSE(RegistryKeyIsEmpty(key, true));
  EXPECT_EQ(RegistryDeleteSubkeys(key, actual), 0u);
  EXPECT_TRUE(RegistryKeyIsEmpty(key, false));
  RegCloseKey(key);
  // The empty key goes and, upwards, no parent that still holds a value.
  EXPECT_TRUE(RegistryDeleteEmptyKey((path_ + u"\\a").c_str(), actual, true));
  ASSERT_EQ(RegistryOpenKey(path_.c_str(), nullptr, 2, KEY_ALL_ACCESS, &key, &actual), 0u);
  EXPECT_FALSE(RegistryKeyIsEmpty(key, false));
  EXPECT_EQ(RegistryDeleteValues(key), 0u);
  EXPECT_TRUE(RegistryKeyIsEmpty(key, false));
  RegCloseKey(key);
  EXPECT_FALSE(RegistryDeleteEmptyKey((path_ + u"\\missing").c_str(), actual, false));
}

TEST_F(RegistryEngine, ValuesFoundAreRestoredAsExactBytes) {
  std::string large(100000, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = char(i * 7);
  const struct {
    const char16_t* name;
    DWORD type;
    std::string bytes;
  } cases[] = {{u"none", REG_NONE, std::string("\x01\x02\x03", 3)},
               {u"large", REG_BINARY, large},
               {u"unterminated", REG_SZ, std::string("a\0b", 3)},
               {u"odd", 0x1234, std::string("\xff", 1)},
               {u"nodata", REG_SZ, std::string()}};
  for (const auto& c : cases) {
    Put(c.name, KEY_WOW64_64KEY, c.type, c.bytes);
    RegistryValueBytes found;
    int32_t actual;
    ASSERT_EQ(RegistryReadValueBytes(path_.c_str(), c.name, 2, &found, &actual), 0u);
    ASSERT_TRUE(found.exists);
    int32_t ignored;
    RegistryWriteValueText(path_.c_str(), c.name, u"changed", 2, REG_SZ, true, &ignored);
    EXPECT_EQ(RegistryRestoreValueBytes(path_.c_str(), c.name, 2, found), 0u);
    DWORD type = 0;
    EXPECT_EQ(Raw(c.name, KEY_WOW64_64KEY, &type), c.bytes) << TextToUtf8(c.name);
    EXPECT_EQ(type, c.type);
    RegistryValueBytesFree(&found);
  }
  // A value that was not there is deleted again.
  RegistryValueBytes absent;
  int32_t actual;
  ASSERT_EQ(RegistryReadValueBytes(path_.c_str(), u"fresh", 2, &absent, &actual), 0u);
  EXPECT_FALSE(absent.exists);
  RegistryWriteValueText(path_.c_str(), u"fresh", u"1", 2, REG_SZ, true, &actual);
  EXPECT_EQ(RegistryRestoreValueBytes(path_.c_str(), u"fresh", 2, absent), 0u);
  EXPECT_EQ(Raw(u"fresh", KEY_WOW64_64KEY), "<absent>");
}

TEST_F(RegistryEngine, StringAndNumberReads) {
  Put(u"s", 0, REG_SZ, S(u"42", 3));
  Put(u"d", 0, REG_DWORD, std::string("\x05\0\0\0", 4));
  Put(u"be", 0, REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\x06", 4));
  Put(u"b", 0, REG_BINARY, std::string("\x07\0\0\0\x09", 5));
  Put(u"m", 0, REG_MULTI_SZ, S(u"x\0", 3));
  HKEY key;
  int32_t actual;
  ASSERT_EQ(RegistryOpenKey(path_.c_str(), nullptr, 2, KEY_READ, &key, &actual), 0u);
  const struct {
    const char16_t* name;
    uint32_t error;
    uint32_t number;
  } numbers[] = {{u"s", 0, 42}, {u"d", 0, 5}, {u"be", 0, 6}, {u"b", 0, 7}, {u"m", 13, 0}, {u"missing", 2, 0}};
  for (const auto& n : numbers) {
    uint32_t number = 99;
    EXPECT_EQ(RegistryReadNumber(key, n.name, &number), n.error) << TextToUtf8(n.name);
    EXPECT_EQ(number, n.number) << TextToUtf8(n.name);
  }
  char16_t text[64];
  EXPECT_EQ(RegistryReadString(key, u"s", false, text, text + 63), 0u);
  EXPECT_EQ(std::u16string(text), u"42");
  EXPECT_EQ(RegistryReadString(key, u"d", false, text, text + 63), 13u);
  EXPECT_TRUE(RegistryValueExists(key, u""));
  EXPECT_TRUE(RegistryValueExists(key, u"b"));
  EXPECT_FALSE(RegistryValueExists(key, u"missing"));
  RegCloseKey(key);
}

TEST_F(RegistryEngine, ClassesRedirectionWritesPerUserClasses) {
  HKEY classes;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &classes,
                            nullptr), 0);
  RegCloseKey(classes);
  std::u16string type = u".kezregtest" + subkey_.substr(24);
  RegistryRedirectClasses(true);
  int32_t actual;
  uint32_t err = RegistryWriteValueText((u"HKEY_CLASSES_ROOT\\" + type).c_str(), u"", u"KezFile", 2, REG_SZ, true,
                                        &actual);
  RegistryRedirectClasses(false);
  ASSERT_EQ(err, 0u);
  HKEY key;
  std::u16string user = u"Software\\Classes\\" + type;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, W(user), 0, KEY_READ, &key), 0);
  RegCloseKey(key);
  RegDeleteTreeW(HKEY_CURRENT_USER, W(user));
}

TEST(RegistrySystemKey, Path) {
  char16_t path[128];
  RegistrySystemKeyPath(u"Run", path, path + 127);
  EXPECT_EQ(std::u16string(path), u"Software\\Microsoft\\Windows\\CurrentVersion\\Run");
}

}  // namespace
