// Setup.exe end to end with registry settings: quiet runs that write values of several types and
// modes, a forced failure that puts the values found before back with their type, a removal that
// restores, and the two views of 64-bit Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/session/setup_run_support.h"

using namespace setup_run;
using namespace test_support;

namespace {

// A registry key of the test under a root, removed (both views) at the end.
class TestKey {
 public:
  TestKey(HKEY root, const char16_t* stem) : root_(root) {
    wchar_t name[64];
    wsprintfW(name, L"Software\\%s%lu", reinterpret_cast<const wchar_t*>(stem), GetCurrentProcessId());
    subkey_ = reinterpret_cast<const char16_t*>(name);
    Remove();
  }
  ~TestKey() { Remove(); }
  void Clear() const { Remove(); }
  const std::u16string& subkey() const { return subkey_; }
  std::string Path() const {
    return std::string(root_ == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER\\\\" : "HKEY_LOCAL_MACHINE\\\\") +
           Utf8(subkey_).replace(8, 1, "\\\\");
  }
  void Put(const char16_t* name, DWORD type, const std::string& bytes, REGSAM view = 0) const {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(root_, W(subkey_), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr), 0);
    RegSetValueExW(key, reinterpret_cast<LPCWSTR>(name), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   DWORD(bytes.size()));
    RegCloseKey(key);
  }
  // "<absent>" or "type:data" (strings as text, DWORD in decimal, other types in hex).
  std::string Get(const char16_t* name, REGSAM view = 0) const { return RegistryValueText(root_, subkey_, name, view); }

 private:
  void Remove() const {
    RegDeleteTreeW(root_, W(subkey_));
    HKEY software;
    if (RegOpenKeyExW(root_, L"Software", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &software) == 0) {
      RegDeleteTreeW(software, W(subkey_.substr(9)));
      RegCloseKey(software);
    }
  }
  HKEY root_;
  std::u16string subkey_;
};

std::string Utf16Bytes(const char16_t* text) {
  return std::string(reinterpret_cast<const char*>(text), (std::u16string(text).size() + 1) * 2);
}

// A value item of the key "@key".
std::string Value(const char* name, const char* item_name, const char* data, int type, int install, int removal,
                  const char* more = "") {
  return std::string(R"(, {"tag": "regv", "name": ")") + name + R"(", "fields": {"key": "@key", "name": ")" +
         item_name + R"(", "data": ")" + data + R"(", "value_type": )" + std::to_string(type) +
         R"(, "install_mode": )" + std::to_string(install) + R"(, "removal_mode": )" + std::to_string(removal) + more +
         "}}";
}

// The project: the key item (variable AppKey, the view), its values, and the sequence prepare,
// a119, a120, `extra` actions, complete.
std::string RegistryProject(const Workspace& w, const TestKey& key, int view, const std::string& values,
                            const std::string& extra = "", const std::string& objects = "") {
  return Project(w, R"(, "first_sequence": "@main")",
                 R"({"tag": "symb", "name": "app_key", "fields": {"variable_id": 1200, "name": "AppKey", "value": ")" +
                     key.Path() + R"("}},
                    {"tag": "regk", "name": "key", "fields": {"variable": "AppKey", "view": )" +
                     std::to_string(view) + R"(, "install_mode": 5, "removal_mode": -1}})" + values + objects + R"(,
                    {"tag": "a119", "name": "install_registry", "fields": {"name": "Install registry"}},
                    {"tag": "a120", "name": "remove_registry", "fields": {"name": "Remove registry"}},
                    {"tag": "aseq", "name": "main", "fields": {"name": "Main",
                      "actions": ["@prepare", "@install_registry", "@remove_registry", )" +
                     extra + R"("@complete"]}})");
}

std::string Values() {
  return Value("text", "Text", "Hello <Greeting>", REG_SZ, 5, -3) +
         Value("number", "Number", "0x2A", REG_DWORD, 5, -3) +
         Value("existing", "Existing", "replaced", REG_SZ, 5, -4) +
         Value("path", "Path", "C:\\\\Tools", REG_EXPAND_SZ, 4, -1, R"(, "separator": 59)") +
         Value("counter", "Counter", "0", REG_DWORD, 6, -5) +
         Value("multi", "Multi", "a\\u001fb", REG_MULTI_SZ, 5, -3) +
         Value("binary", "Binary", "0a 1B c", REG_BINARY, 5, -3) +
         Value("unique", "Item%#", "first free", REG_SZ, 1, -3);
}

void PutExisting(const TestKey& key) {
  key.Put(u"Existing", REG_DWORD, std::string("\x07\0\0\0", 4));
  key.Put(u"Path", REG_EXPAND_SZ, Utf16Bytes(u"C:\\Bin"));
  key.Put(u"Item1", REG_SZ, Utf16Bytes(u"taken"));
}

// The key holds what PutExisting put there, with their types, and none of the values the runs write.
void ExpectAsPut(const TestKey& key) {
  EXPECT_EQ(key.Get(u"Existing"), "4:7");
  EXPECT_EQ(key.Get(u"Path"), "2:C:\\Bin");
  EXPECT_EQ(key.Get(u"Item1"), "1:taken");
  for (const char16_t* name : {u"Text", u"Number", u"Counter", u"Multi", u"Binary", u"Item2"})
    EXPECT_EQ(key.Get(name), "<absent>") << Utf8(name);
}

}  // namespace

TEST(SetupRegistry, InstallWritesValuesAndRemovalRestoresThem) {
  Workspace w;
  TestKey key(HKEY_CURRENT_USER, u"KezRegistryE2E");
  PutExisting(key);
  std::u16string setup = Build(w, RegistryProject(w, key, 0, Values()));
  SetupRun run = Start(w, setup, u"/q2");
  ASSERT_EQ(run.exit_code, 0u) << run.log;
  EXPECT_EQ(key.Get(u"Text"), "1:Hello none");
  EXPECT_EQ(key.Get(u"Number"), "4:42");
  EXPECT_EQ(key.Get(u"Existing"), "1:replaced");
  EXPECT_EQ(key.Get(u"Path"), "2:C:\\Bin;C:\\Tools");
  EXPECT_EQ(key.Get(u"Counter"), "4:1");
  EXPECT_EQ(key.Get(u"Multi"), "7:61000000620000000000");
  EXPECT_EQ(key.Get(u"Binary"), "3:0A1B0C");
  EXPECT_EQ(key.Get(u"Item2"), "1:first free");
  EXPECT_TRUE(run.Has("QEL:A0029\\|[^|]*\\|" + key.Path() + "\\|Number\\|0x2A\n"));

  Workspace second;  // a temporary folder of its own for the second log
  SetupRun removal = Start(second, setup, u"/q2 /remove \"/d:" + w.Path(u"Product\\Setup.dat") + u"\"");
  ASSERT_EQ(removal.exit_code, 0u) << removal.log;
  EXPECT_EQ(key.Get(u"Existing"), "4:7") << "put back with its type";
  EXPECT_EQ(key.Get(u"Path"), "2:C:\\Bin");
  for (const char16_t* name : {u"Text", u"Number", u"Counter", u"Multi", u"Binary", u"Item2"})
    EXPECT_EQ(key.Get(name), "<absent>") << Utf8(name);
  EXPECT_EQ(key.Get(u"Item1"), "1:taken");
}

TEST(SetupRegistry, FailureAfterTheRegistryActionRestoresValuesWithTheirType) {
  Workspace w;
  TestKey key(HKEY_CURRENT_USER, u"KezRegistryE2E");
  PutExisting(key);
  std::string fail = R"(, {"tag": "a200", "name": "fail", "fields": {"name": "Fail", "flags": "0x10000", "style": 16}})";
  std::u16string setup = Build(w, RegistryProject(w, key, 0, Values(), R"("@fail", )", fail));
  SetupRun run = Start(w, setup, u"/q2");
  EXPECT_NE(run.exit_code, 0u) << run.log;
  EXPECT_TRUE(run.Has("QEL:I3210\\|[^|]*\\|Rolling back the installation")) << run.log;
  ExpectAsPut(key);
}

// Only test trees refuse writes on request.
#ifdef SETUP_FAULT_INJECTION
TEST(SetupRegistry, RefusedWriteAbortsAndRollsBack) {
  Workspace w;
  TestKey key(HKEY_CURRENT_USER, u"KezRegistryE2E");
  PutExisting(key);
  std::u16string setup = Build(w, RegistryProject(w, key, 0, Values()));
  // Refuse the 1st, 2nd, … write of the run until the refused one is the data of a value written
  // after another one (a refused write of the temporary files may leave a run that completes).
  SetupRun run;
  for (int n = 1; n <= 40 && !(run.Has("QEL:E0018") && run.Has("QEL:A0029")); ++n) {
    key.Clear();
    PutExisting(key);
    Workspace temp;
    FaultGuard fault(W(u"write:" + TextFromUtf8(std::to_string(n))));
    run = Start(temp, setup, u"/q2");
  }
  ASSERT_TRUE(run.Has("QEL:E0018\\|[^|]*\\|" + key.Path() + "\\|[^|]*\\|5\n")) << run.log;
  EXPECT_EQ(run.exit_code, 6u) << run.log;
  EXPECT_TRUE(run.Has("QEL:W1720\\|[^|]*\\|0x00000008\\|")) << run.log;
  ExpectAsPut(key);
}
#endif

// In the 32-bit product on 64-bit Windows (the win32 tree) the views differ from the process's own.
TEST(SetupRegistry, ViewsOf64BitWindows) {
  Workspace w;
  TestKey k64(HKEY_LOCAL_MACHINE, u"KezView64x");
  TestKey k32(HKEY_LOCAL_MACHINE, u"KezView32x");
  TestKey kauto(HKEY_LOCAL_MACHINE, u"KezViewAutox");
  kauto.Put(u"Found", REG_SZ, Utf16Bytes(u"old"), KEY_WOW64_32KEY);
  std::string objects =
      R"(, {"tag": "symb", "name": "k64", "fields": {"variable_id": 1201, "name": "Key64", "value": ")" + k64.Path() +
      R"("}}, {"tag": "symb", "name": "k32", "fields": {"variable_id": 1202, "name": "Key32", "value": ")" +
      k32.Path() + R"("}}, {"tag": "regk", "name": "key64", "fields": {"variable": "Key64", "view": 4, "install_mode": 5}},
      {"tag": "regk", "name": "key32", "fields": {"variable": "Key32", "view": 5, "install_mode": 5}},
      {"tag": "regv", "name": "v64", "fields": {"key": "@key64", "name": "V", "data": "64", "value_type": 1, "install_mode": 5}},
      {"tag": "regv", "name": "v32", "fields": {"key": "@key32", "name": "V", "data": "32", "value_type": 1, "install_mode": 5}})";
  std::u16string setup = Build(w, RegistryProject(w, kauto, 0, Value("found", "Found", "new", REG_SZ, 5, -3), "",
                                                  objects));
  SetupRun run = Start(w, setup, u"/q2");
  ASSERT_EQ(run.exit_code, 0u) << run.log;
  EXPECT_EQ(k64.Get(u"V", KEY_WOW64_64KEY), "1:64");
  EXPECT_EQ(k64.Get(u"V", KEY_WOW64_32KEY), "<no key>");
  EXPECT_EQ(k32.Get(u"V", KEY_WOW64_32KEY), "1:32");
  EXPECT_EQ(k32.Get(u"V", KEY_WOW64_64KEY), "<no key>");
  // The automatic view updates the value where it was found: in the 32-bit view only.
  EXPECT_EQ(kauto.Get(u"Found", KEY_WOW64_32KEY), "1:new");
  EXPECT_EQ(kauto.Get(u"Found", KEY_WOW64_64KEY), "<no key>");
}

// Key paths from a hostile package under roots the engine does not know: each is refused (error 3,
// path not found) without a write, and the run rolls back the values it wrote before.
TEST(SetupRegistry, KeysOutsideTheKnownRootsAreRefused) {
  for (const char* outside : {"HKEY_PERFORMANCE_DATA\\\\Kez", "HKEY_USERSX\\\\Kez", "Software\\\\Kez", "\\\\Registry\\\\Machine"}) {
    Workspace w;
    TestKey key(HKEY_CURRENT_USER, u"KezRegistryRoots");
    PutExisting(key);
    std::string objects = std::string(R"(, {"tag": "symb", "name": "outside_key", "fields": {"variable_id": 1201,
          "name": "OutsideKey", "value": ")") + outside + R"("}},
        {"tag": "regk", "name": "outside", "fields": {"variable": "OutsideKey", "install_mode": 5, "removal_mode": -1}},
        {"tag": "regv", "name": "outside_value", "fields": {"key": "@outside", "name": "Escaped", "data": "1",
          "value_type": 1, "install_mode": 5, "removal_mode": -3}})";
    SetupRun run = Start(w, Build(w, RegistryProject(w, key, 0, Values(), "", objects)), u"/q2");
    EXPECT_NE(run.exit_code, 0u) << outside << "\n" << run.log;
    EXPECT_TRUE(run.Has("QEL:I0057\\|")) << outside << "\n" << run.log;
    ExpectAsPut(key);
  }
}
