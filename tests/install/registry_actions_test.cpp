// a119 and a120 over a small database: keys and values by mode, unique names, the saved value and
// type for restore, the rollback of changed values with their bytes and type, failures and /u, and
// the Run-key registration.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "database/class_registry.h"
#include "database/localized_text.h"
#include "expr/installable_item.h"
#include "install/logon_command.h"
#include "install/registry_actions.h"
#include "install/registry_items.h"
#include "runtime/text.h"
#include "tests/actions/runner_fixture.h"
#include "tests/runtime/windows_test_support.h"

namespace {

using runner_test::RunnerTest;
using test_support::RegistryValueText;
using test_support::W;

class RegistryActions : public RunnerTest {
 protected:
  void SetUp() override {
    RunnerTest::SetUp();
    RegistryActionsRegister();
    wchar_t name[64];
    wsprintfW(name, L"Software\\KezRegActions%lu", GetCurrentProcessId());
    subkey_ = reinterpret_cast<const char16_t*>(name);
    Variable(600, u"AppKey", (u"HKEY_CURRENT_USER\\" + subkey_).c_str());
    Variable(601, u"Who", u"World");
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, W(subkey_));
    RunnerTest::TearDown();
  }
  SetupObject* Key(uint64_t id, int32_t mode, int32_t removal = 0) {
    SetupObject* key = BuilderAddObject(db_, TagOf("regk"), id);
    BuilderSetText(key, kRegKeyVariable, u"AppKey");
    BuilderSetInt(key, kRegKeyView, 2);
    BuilderSetInt(key, kItemInstallMode, mode);
    BuilderSetInt(key, kItemRemovalMode, removal);
    SetSlotU32(key, kItemEffectiveMode, uint32_t(mode));
    return key;
  }
  SetupObject* Value(uint64_t id, uint64_t key, const char16_t* name, const char16_t* data, uint32_t type,
                     int32_t mode, int32_t removal = 0, char16_t separator = 0) {
    SetupObject* value = BuilderAddObject(db_, TagOf("regv"), id);
    BuilderSetId(value, kRegValueKey, key);
    BuilderSetLocalized(value, kSettingName, name, nullptr, 0);
    BuilderSetLocalized(value, kSettingData, data, nullptr, 0);
    BuilderSetU32(value, kRegValueType, type);
    BuilderSetU32(value, kSettingSeparator, separator);
    BuilderSetInt(value, kItemInstallMode, mode);
    BuilderSetInt(value, kItemRemovalMode, removal);
    SetSlotU32(value, kItemEffectiveMode, uint32_t(mode));
    return value;
  }
  static void SetMode(SetupObject* item, int32_t mode) { SetSlotU32(item, kItemEffectiveMode, uint32_t(mode)); }
  int32_t RunAction(SetupObject* action) {
    return ClassActionMethods(ClassOf(action))->run(action, db_, nullptr);
  }
  int32_t RollBack(SetupObject* action) {
    return ClassActionMethods(ClassOf(action))->rollback(action, 0, nullptr);
  }
  void Put(const char16_t* name, DWORD type, const std::string& bytes) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, W(subkey_), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    RegSetValueExW(key, reinterpret_cast<LPCWSTR>(name), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   DWORD(bytes.size()));
    RegCloseKey(key);
  }
  // "<absent>", or the type and the data as text: "1:abc" for strings, "4:7" for numbers, hex else.
  std::string Get(const char16_t* name) { return RegistryValueText(HKEY_CURRENT_USER, subkey_, name); }
  bool KeyExists() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, W(subkey_), 0, KEY_READ, &key)) return false;
    RegCloseKey(key);
    return true;
  }

  std::u16string subkey_;
};

std::string Utf16Bytes(const char16_t* text) {
  return std::string(reinterpret_cast<const char*>(text), (std::u16string(text).size() + 1) * 2);
}

TEST_F(RegistryActions, InstallWritesValuesByModeAndRollbackRestoresThem) {
  Put(u"Path", REG_EXPAND_SZ, Utf16Bytes(u"D:\\Bin;D:\\Tools"));
  Put(u"Kept", REG_SZ, Utf16Bytes(u"mine"));
  Put(u"Replaced", REG_BINARY, std::string("\x01\x02", 2));
  Put(u"Item1", REG_SZ, Utf16Bytes(u"x"));
  Put(u"Item2", REG_SZ, Utf16Bytes(u"x"));
  SetupObject* key = Key(0x100, 5);
  SetupObject* a = Value(0x201, 0x100, u"Greeting", u"Hello <Who>", REG_SZ, 5);
  Value(0x202, 0x100, u"Count", u"0", REG_DWORD, 6);
  Value(0x203, 0x100, u"Path", u"D:\\Tools", REG_EXPAND_SZ, 4, 0, u';');
  Value(0x204, 0x100, u"Kept", u"theirs", REG_SZ, 1);
  Value(0x205, 0x100, u"Replaced", u"0x10", REG_DWORD, 2);
  SetupObject* unique = Value(0x206, 0x100, u"Item%#", u"3", REG_SZ, 1);
  Value(0x207, 0x100, u"List", u"a\x1f" u"b", REG_MULTI_SZ, 5);
  SetupObject* action = Action(TagOf("a119"), 0x300);
  Link();
  ASSERT_EQ(RunAction(action), kResultDone);
  EXPECT_EQ(SlotInt(key, kItemInstalledState), 3);  // it held values before
  EXPECT_EQ(SlotInt(key, kRegKeyActualView), 4);
  EXPECT_TRUE(Traced(u"D0003", u"AppKey"));
  EXPECT_EQ(Get(u"Greeting"), "1:Hello World");
  EXPECT_EQ(SlotInt(a, kItemInstalledState), 1);
  EXPECT_EQ(Get(u"Count"), "4:1");
  EXPECT_EQ(Get(u"Path"), "2:D:\\Bin;D:\\Tools");
  EXPECT_EQ(Get(u"Kept"), "1:mine");
  EXPECT_EQ(Get(u"Replaced"), "4:16");
  EXPECT_EQ(Get(u"Item3"), "1:3");
  EXPECT_EQ(std::u16string(LocalizedTextFor(SlotLocalized(unique, kSettingName), 0)), u"Item3");
  EXPECT_EQ(Get(u"List"), "7:" "6100" "0000" "6200" "0000" "0000");
  EXPECT_EQ(SlotU32(a, kSettingFlags) & kSettingFlagResolved, 0u);

  ASSERT_EQ(RollBack(action), kResultDone);
  EXPECT_EQ(Get(u"Greeting"), "<absent>");
  EXPECT_EQ(Get(u"Count"), "<absent>");
  EXPECT_EQ(Get(u"Item3"), "<absent>");
  EXPECT_EQ(Get(u"Path"), "2:D:\\Bin;D:\\Tools");
  EXPECT_EQ(Get(u"Replaced"), "3:0102");
  EXPECT_EQ(Get(u"Kept"), "1:mine");
  EXPECT_TRUE(KeyExists());  // it held values before the run
}

TEST_F(RegistryActions, RollbackDeletesTheKeysTheRunCreatedWhenEmptyAgain) {
  SetupObject* key = Key(0x100, 5);
  Value(0x201, 0x100, u"Greeting", u"Hello", REG_SZ, 5);
  SetupObject* action = Action(TagOf("a119"), 0x300);
  Link();
  ASSERT_EQ(RunAction(action), kResultDone);
  EXPECT_EQ(SlotInt(key, kItemInstalledState), 1);
  ASSERT_EQ(RollBack(action), kResultDone);
  EXPECT_FALSE(KeyExists());
  EXPECT_EQ(SlotInt(key, kItemInstalledState), 0);

  // A key that someone filled meanwhile stays.
  ASSERT_EQ(RunAction(action), kResultDone);
  Put(u"Theirs", REG_SZ, Utf16Bytes(u"x"));
  ASSERT_EQ(RollBack(action), kResultDone);
  EXPECT_EQ(Get(u"Theirs"), "1:x");
  EXPECT_EQ(Get(u"Greeting"), "<absent>");
}

TEST_F(RegistryActions, RemovalRestoresCountsDownAndDeletesTheKeyByMode) {
  Put(u"Old", REG_DWORD, std::string("\x07\0\0\0", 4));
  SetupObject* key = Key(0x100, 5, -1);
  SetupObject* old_value = Value(0x201, 0x100, u"Old", u"second", REG_SZ, 5, -4);
  Value(0x202, 0x100, u"New", u"fresh", REG_SZ, 5, -4);
  Value(0x203, 0x100, u"Users", u"0", REG_DWORD, 6, -5);
  Value(0x204, 0x100, u"Path", u"b", REG_SZ, 4, -1, u';');
  Value(0x205, 0x100, u"Mine", u"v", REG_SZ, 5, -2);
  SetupObject* install = Action(TagOf("a119"), 0x300);
  SetupObject* remove = Action(TagOf("a120"), 0x301);
  Put(u"Path", REG_SZ, Utf16Bytes(u"a"));
  Link();
  ASSERT_EQ(RunAction(install), kResultDone);
  EXPECT_EQ(Get(u"Old"), "1:second");
  EXPECT_EQ(Get(u"Path"), "1:a;b");
  // The first installation saved the value and type found before it.
  EXPECT_EQ(SlotU32(old_value, kRegValuePreviousType), uint32_t(REG_DWORD));
  EXPECT_EQ(std::u16string(SlotText(old_value, kSettingSaved)), u"07000000");
  EXPECT_EQ(SlotU32(old_value, kSettingFlags) & (kSettingFlagSaved | kSettingFlagSavedBytes),
            kSettingFlagSaved | kSettingFlagSavedBytes);

  for (uint64_t id : {0x100, 0x201, 0x202, 0x203, 0x204, 0x205})
    SetMode(ObjectTableFind(db_, 0, id), SlotInt(ObjectTableFind(db_, 0, id), kItemRemovalMode));
  ASSERT_EQ(RunAction(remove), kResultDone);
  EXPECT_EQ(Get(u"Old"), "4:7");       // restored with its type
  EXPECT_EQ(Get(u"New"), "<absent>");  // it was not there before
  EXPECT_EQ(Get(u"Users"), "<absent>");  // counted down from 1
  EXPECT_EQ(Get(u"Path"), "1:a");
  EXPECT_EQ(Get(u"Mine"), "<absent>");
  // Mode -1 leaves a key that still holds values; -3 deletes its tree and the key.
  EXPECT_TRUE(KeyExists());
  EXPECT_FALSE(Traced(u"A0040"));
  HKEY sub;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, W(subkey_ + u"\\Sub\\Deeper"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &sub, nullptr), 0);
  RegCloseKey(sub);
  SetMode(key, -3);
  ASSERT_EQ(RunAction(remove), kResultDone);
  EXPECT_FALSE(KeyExists());
  EXPECT_EQ(SlotInt(key, kItemInstalledState), 0);
  EXPECT_TRUE(Traced(u"A0040"));
}

// Removal mode -4 puts back exactly the bytes and type found before the first installation, for
// values that the text form cannot carry: REG_NONE (type 0, with and without data), a string without
// its terminating NUL, binary data far beyond the text form's 2048 bytes.
TEST_F(RegistryActions, RestoreOnRemovalKeepsTheExactBytesAndType) {
  std::string big(40000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7 + (i >> 8));
  struct Found {
    const char16_t* name;
    DWORD type;
    std::string bytes;
  } found[] = {
      {u"None", REG_NONE, std::string("\x00\x01\xFF", 3)},
      {u"EmptyNone", REG_NONE, ""},
      {u"Unterminated", REG_SZ, std::string("a\0b", 3)},
      {u"Big", REG_BINARY, big},
  };
  Key(0x100, 5, -1);
  uint64_t id = 0x200;
  for (const Found& f : found) {
    Put(f.name, f.type, f.bytes);
    Value(++id, 0x100, f.name, u"installed", REG_SZ, 5, -4);
  }
  SetupObject* install = Action(TagOf("a119"), 0x300);
  SetupObject* remove = Action(TagOf("a120"), 0x301);
  Link();
  ASSERT_EQ(RunAction(install), kResultDone);
  for (const Found& f : found) EXPECT_EQ(Get(f.name), "1:installed") << TextToUtf8(f.name);

  for (uint64_t i = 0x201; i <= id; ++i) SetMode(ObjectTableFind(db_, 0, i), -4);
  ASSERT_EQ(RunAction(remove), kResultDone);
  for (const Found& f : found) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, W(subkey_), 0, KEY_READ, &key), 0);
    DWORD type = 0xFFFF, size = 0;
    EXPECT_EQ(RegQueryValueExW(key, reinterpret_cast<LPCWSTR>(f.name), nullptr, &type, nullptr, &size), 0)
        << TextToUtf8(f.name);
    std::string bytes(size, '\0');
    RegQueryValueExW(key, reinterpret_cast<LPCWSTR>(f.name), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()),
                     &size);
    RegCloseKey(key);
    EXPECT_EQ(type, f.type) << TextToUtf8(f.name);
    EXPECT_TRUE(bytes == f.bytes) << TextToUtf8(f.name) << ": " << bytes.size() << " bytes";
  }
  // A second removal finds them as saved and leaves them.
  ASSERT_EQ(RunAction(remove), kResultDone);
  EXPECT_EQ(SlotInt(ObjectTableFind(db_, 0, 0x201), kItemInstalledState), 3);
}

TEST_F(RegistryActions, CounterSharedByTwoInstallationsAndChangedValuesStay) {
  Key(0x100, 5);
  Value(0x201, 0x100, u"Users", u"0", REG_DWORD, 6, -5);
  Value(0x202, 0x100, u"Mine", u"v", REG_SZ, 5, -2);
  SetupObject* install = Action(TagOf("a119"), 0x300);
  SetupObject* remove = Action(TagOf("a120"), 0x301);
  Link();
  ASSERT_EQ(RunAction(install), kResultDone);
  ASSERT_EQ(RunAction(install), kResultDone);
  EXPECT_EQ(Get(u"Users"), "4:2");
  Put(u"Mine", REG_SZ, Utf16Bytes(u"edited"));
  SetMode(ObjectTableFind(db_, 0, 0x201), -5);
  SetMode(ObjectTableFind(db_, 0, 0x202), -2);
  ASSERT_EQ(RunAction(remove), kResultDone);
  EXPECT_EQ(Get(u"Users"), "4:1");
  EXPECT_EQ(Get(u"Mine"), "1:edited");
  EXPECT_EQ(SlotInt(ObjectTableFind(db_, 0, 0x202), kItemInstalledState), 3);
}

TEST_F(RegistryActions, KeyFailureAbortsWithCategory8) {
  SetupObject* key = Key(0x100, 5);
  BuilderSetText(key, kRegKeyVariable, nullptr);
  BuilderSetText(key, kRegKeyPath, u"HKEY_NOWHERE\\x");
  SetupObject* action = Action(TagOf("a119"), 0x300);
  Link();
  EXPECT_EQ(RunAction(action), kResultFailed);
  EXPECT_EQ(SlotInt(key, kItemInstalledState), -1);
  EXPECT_TRUE(Traced(u"E0017", u"HKEY_NOWHERE\\x|2|3"));
  EXPECT_TRUE(Traced(u"W1720", u"0x00000008"));
}

TEST_F(RegistryActions, MissingKeyVariableStopsAndKeepFlagLeavesItems) {
  SetupObject* key = Key(0x100, 5);
  BuilderSetText(key, kRegKeyVariable, u"NoSuchVariable");
  SetupObject* action = Action(TagOf("a119"), 0x300);
  Link();
  EXPECT_EQ(RunAction(action), kResultFailed);
  EXPECT_TRUE(Traced(u"E0042", u"NoSuchVariable"));

  BuilderSetU32(key, kItemFlags, 1);
  session_->keep_flag = 1;
  EXPECT_EQ(RunAction(action), kResultDone);
}

TEST_F(RegistryActions, CancelledRunDoesNothing) {
  Key(0x100, 5);
  SetupObject* action = Action(TagOf("a119"), 0x300);
  Link();
  session_->cancel_requested = true;
  EXPECT_EQ(RunAction(action), kResultCancelled);
  EXPECT_FALSE(KeyExists());
}

TEST_F(RegistryActions, LogonCommandUnderTheRunKey) {
  Link();
  char16_t name[64];
  ASSERT_EQ(RegisterLogonCommand(db_, u"C:\\<Who>\\tool.exe", u"/x <Who>",
                                 kLogonCurrentUser | kLogonPrefixBang | kLogonPrefixStar | (1u << kLogonKeyShift), name,
                                 name + 63),
            0u);
  std::u16string value = name;
  ASSERT_EQ(value.size(), 21u);
  EXPECT_EQ(value.substr(0, 5), u"!*QEL");
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0,
                          KEY_ALL_ACCESS, &key), 0);
  wchar_t data[256];
  DWORD size = sizeof data, type = 0;
  ASSERT_EQ(RegQueryValueExW(key, W(value), nullptr, &type, reinterpret_cast<BYTE*>(data), &size), 0);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(data)), u"\"C:\\World\\tool.exe\" /x World");
  EXPECT_EQ(type, DWORD(REG_SZ));
  RegDeleteValueW(key, W(value));
  RegCloseKey(key);
  EXPECT_TRUE(Traced(u"A0001"));
}

}  // namespace
