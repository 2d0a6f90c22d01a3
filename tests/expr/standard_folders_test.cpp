// The system path table, the start-up re-expansion of the program folders and the per-user
// redirection of a104.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>
#include <userenv.h>

#include <string>
#include <vector>

#include "actions/action_journal.h"
#include "actions/action_object.h"
#include "actions/action_runner.h"
#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/database_link.h"
#include "expr/database_resolver.h"
#include "expr/folder_redirection.h"
#include "expr/registry_read.h"
#include "expr/standard_folders.h"
#include "expr/system_tables.h"
#include "expr/variables.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"

namespace {

std::vector<std::u16string> g_lines;

std::u16string U(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

class Folders : public ::testing::Test {
 protected:
  void SetUp() override {
    g_lines.clear();
    static const TraceSink sink{[](void*, const char16_t* line, size_t length) { g_lines.emplace_back(line, length); },
                                nullptr};
    TraceSetSink(&sink);
    ClassRegistryRegisterSetupClasses();
    FolderRedirectionRegister();
    db_ = BuilderCreateTable();
    installation_ = BuilderAddObject(db_, TagOf("inst"), 1);
    Variable(150, u"LocalAppDataFolder", u"C:\\Users\\Me\\AppData\\Local");
    Variable(100, u"CommonFilesFolder", u"<$syspath(2)>\\Common32");
    Variable(102, u"ProgramFilesFolder", u"<$syspath(2)>\\Programs32");
    Variable(115, u"CommonFiles64Folder", u"<$syspath(2)>\\Common64");
    Variable(116, u"ProgramFiles64Folder", u"<$syspath(2)>\\Programs64");
    Variable(119, u"CommonFilesXFolder", u"<CommonFiles64Folder>");
    Variable(120, u"ProgramFilesXFolder", u"<ProgramFiles64Folder>");
    Variable(200, u"DesktopFolder", u"C:\\Users\\Me\\Desktop");
    Variable(201, u"StartMenuFolder", u"C:\\Users\\Me\\Start Menu");
    Variable(300, u"CommonDesktopFolder", u"C:\\Users\\Public\\Desktop");
    Variable(301, u"CommonStartMenuFolder", u"C:\\ProgramData\\Start Menu");
    Variable(304, u"CommonTemplatesFolder", u"C:\\ProgramData\\Templates");  // its per-user 204 is missing
    Variable(409, u"KesProductFolder", u"<ProgramFilesXFolder>\\Probe");
    Variable(418, u"InstallerCacheFolder", u"C:\\ProgramData\\Installer");
    Variable(523, u"Scope", u"-1");
    LinkHooks hooks{};
    DatabaseLink(db_, &hooks);
    session_ = SessionCreate(1);
    session_->run_mode = kRunModeInstall;
    SessionSetCurrent(session_);
  }
  void TearDown() override {
    RegistryMapAllUsersToCurrentUser(false);
    JournalFree();
    SessionFree(session_);
    ObjectTableDestroy(db_);
    SystemPathsClear();
    TraceSetSink(nullptr);
  }
  void Variable(uint32_t id, const char16_t* name, const char16_t* value) {
    SetupObject* v = BuilderAddObject(db_, TagOf("symb"), 0x10000 + id);
    BuilderSetU32(v, kSymbId, id);
    BuilderSetLocalized(v, kSymbValue, value, nullptr, 0);
    BuilderSetText(v, kSymbName, name);
  }
  std::u16string Raw(uint32_t id) { return VariableRawValue(VariableFindById(db_, id)); }
  std::u16string Value(uint32_t id) {
    char16_t buffer[1024];
    VariableValue(db_, id, buffer, buffer + 1023);
    return buffer;
  }
  int32_t RunRedirection() {
    SetupObject* action = BuilderAddObject(db_, TagOf("a104"), next_action_id_++);
    BuilderSetU32(action, kActionArchitectureMask, kArchitectureX86 | kArchitectureX64 | kArchitectureArm64);
    BuilderSetU32(action, kActionCapabilityMask, kArchitectureX86 | kArchitectureX64 | kArchitectureArm64);
    uint64_t target = 0;
    return RunAction(db_, action, nullptr, &target);
  }
  HKEY AllUsersRoot() {
    HKEY root = nullptr;
    const char16_t* subkey;
    RegistryParseRoot(u"HKEY_ALL_USERS\\Software", &root, &subkey);
    return root;
  }

  ObjectTable* db_ = nullptr;
  SetupObject* installation_ = nullptr;
  SessionState* session_ = nullptr;
  uint64_t next_action_id_ = 500;
};

}  // namespace

TEST_F(Folders, SystemPathTableAndReexpansion) {
  SystemPathsFill();
  wchar_t path[MAX_PATH + 1];
  GetSystemDirectoryW(path, MAX_PATH + 1);
  EXPECT_EQ(std::u16string(SystemPath(0)), U(path));
  ASSERT_NE(GetSystemWow64DirectoryW(path, MAX_PATH + 1), 0u) << "the test prefix is 64-bit Windows";
  EXPECT_EQ(std::u16string(SystemPath(1)), U(path));
  GetWindowsDirectoryW(path, MAX_PATH + 1);
  EXPECT_EQ(std::u16string(SystemPath(2)), U(path));
  GetSystemWindowsDirectoryW(path, MAX_PATH + 1);
  EXPECT_EQ(std::u16string(SystemPath(3)), U(path));
  DWORD length = GetTempPathW(MAX_PATH + 1, path);
  EXPECT_EQ(std::u16string(SystemPath(4)), U(path).substr(0, length - 1)) << "without its final backslash";
  DWORD size = MAX_PATH + 1;
  ASSERT_TRUE(GetProfilesDirectoryW(path, &size));
  EXPECT_EQ(std::u16string(SystemPath(5)), U(path));
  HANDLE token;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  size = MAX_PATH + 1;
  ASSERT_TRUE(GetUserProfileDirectoryW(token, path, &size));
  CloseHandle(token);
  EXPECT_EQ(std::u16string(SystemPath(7)), U(path));
  size = MAX_PATH + 1;
  if (GetAllUsersProfileDirectoryW(path, &size)) {
    EXPECT_EQ(std::u16string(SystemPath(6)), U(path));
  }
  for (unsigned slot : {8u, 9u}) {
    char16_t root[MAX_PATH + 1] = u"";
    DWORD type;
    RegistryReadText(u"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\.NETFramework", u"InstallRoot",
                     slot == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY, true, root, root + MAX_PATH, &type);
    EXPECT_EQ(std::u16string(SystemPath(slot)), root) << slot;
  }
  for (unsigned slot = 0; slot < 10; ++slot) {
    bool traced = false;
    for (const auto& line : g_lines)
      traced = traced || (line.find(u"QEL:I1521|") != std::u16string::npos &&
                          line.find(u"|" + std::u16string(1, char16_t(u'0' + slot)) + u"|") != std::u16string::npos);
    EXPECT_TRUE(traced) << "every slot write is traced: " << slot;
  }

  StandardFoldersFix(db_);
  std::u16string windows = SystemPath(2);
  for (const auto& fixed : {std::make_pair(100u, u"\\Common32"), std::make_pair(102u, u"\\Programs32"),
                            std::make_pair(115u, u"\\Common64"), std::make_pair(116u, u"\\Programs64")})
    EXPECT_EQ(Raw(fixed.first), windows + fixed.second) << "stored expanded: " << fixed.first;
  EXPECT_EQ(Raw(120), u"<ProgramFiles64Folder>") << "other folder variables keep their references";
}

TEST_F(Folders, PerUserRedirectionByMask) {
  const std::u16string local = u"C:\\Users\\Me\\AppData\\Local";
  FoldersRedirect(db_, kRedirectProgramFiles | kRedirectCommonFiles);
  EXPECT_EQ(Value(102), local + u"\\Programs32");
  EXPECT_EQ(Value(116), local + u"\\Programs64");
  EXPECT_EQ(Value(120), local + u"\\Programs");
  EXPECT_EQ(Raw(120), u"<LocalAppDataFolder>\\Programs") << "stored as a reference";
  EXPECT_EQ(Value(100), local + u"\\Common32");
  EXPECT_EQ(Value(115), local + u"\\Common64");
  EXPECT_EQ(Value(119), local + u"\\Common");
  EXPECT_EQ(Value(300), u"C:\\Users\\Public\\Desktop") << "mask 0x3 leaves the all-users folders";
  EXPECT_EQ(Value(418), u"C:\\ProgramData\\Installer");

  FoldersRedirect(db_, kRedirectInstallerCache);
  EXPECT_EQ(Value(418), local + u"\\Installer");
  EXPECT_EQ(Value(300), u"C:\\Users\\Public\\Desktop");

  FoldersRedirect(db_, kRedirectShellFolders);
  EXPECT_EQ(Raw(300), u"<DesktopFolder>");
  EXPECT_EQ(Value(300), Value(200));
  EXPECT_EQ(Value(301), Value(201));
  EXPECT_EQ(Value(304), u"C:\\ProgramData\\Templates") << "no per-user counterpart: passed over";
}

TEST_F(Folders, ActionRedirectsForTheCurrentUserOnlyAndRecordsTheRuntimeCopy) {
  const std::u16string local = u"C:\\Users\\Me\\AppData\\Local";
  BuilderSetU32(installation_, 15, kRedirectProgramFiles);
  EXPECT_EQ(RunRedirection(), kResultDone);
  EXPECT_NE(Value(120), local + u"\\Programs") << "scope 0: machine-wide, nothing redirected";
  EXPECT_EQ(AllUsersRoot(), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(Raw(409).find(u'<'), std::u16string::npos) << "the product folder is fixed";

  BuilderSetLocalized(VariableFindById(db_, 409), kSymbValue, u"<ProgramFilesXFolder>\\Probe", nullptr, 0);
  BuilderSetInt(installation_, 25, 1);
  EXPECT_EQ(RunRedirection(), kResultDone);
  EXPECT_EQ(Value(409), local + u"\\Programs\\Probe");
  EXPECT_EQ(Raw(409), local + u"\\Programs\\Probe");
  EXPECT_EQ(std::u16string(SessionText(session_->runtime_copy_path)), local + u"\\Programs\\Probe\\Setup.exe");
  EXPECT_EQ(AllUsersRoot(), HKEY_CURRENT_USER);
  bool traced = false;
  for (const auto& line : g_lines) traced = traced || line.find(u"QEL:I1551|") != std::u16string::npos;
  EXPECT_TRUE(traced);
}

TEST_F(Folders, ScopeComesFromVariable523BeforeTheRecord) {
  EXPECT_EQ(InstallationScope(db_), 0);
  BuilderSetInt(installation_, 25, 1);
  EXPECT_EQ(InstallationScope(db_), 1) << "523 is -1: the record decides";
  VariableSet(db_, 523, u"0");
  EXPECT_EQ(InstallationScope(db_), 0) << "the access check chose all users";
  VariableSet(db_, 523, u"1");
  BuilderSetInt(installation_, 25, 0);
  EXPECT_EQ(InstallationScope(db_), 1);

  RegistryMapAllUsersToCurrentUser(false);
  BuilderSetU32(installation_, 15, 0x20);
  VariableSet(db_, 523, u"0");
  EXPECT_EQ(RunRedirection(), kResultDone);
  EXPECT_EQ(AllUsersRoot(), HKEY_CURRENT_USER) << "mask bit 0x20 maps HKEY_ALL_USERS for a machine-wide run too";
}
