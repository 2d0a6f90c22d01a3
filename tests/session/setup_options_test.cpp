// Setup.exe end to end with options and folders: quiet runs of packages with two options and items
// that belong to them, checked by the decisions the log records (each option's action, each item's
// effective mode), the size variables, the per-user product folder and the resolved folders.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <string>

#include "runtime/file_utils.h"
#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/session/setup_run_support.h"
#include "tools/kez/project_ids.h"

using namespace setup_run;
using namespace test_support;

namespace {

// The log's record of an item's effective mode: class, id of the named object, mode.
std::string ItemMode(const char* tag, const std::string& name, int mode) {
  char id[20];
  snprintf(id, sizeof id, "%016llX", static_cast<unsigned long long>(ProjectIdFromName(name)));
  return std::string("QEL:I1603\\|[^|]*\\|") + tag + " \\([0-9A-F]{8}\\)\\|" + id + "\\|" + std::to_string(mode) + "\n";
}

std::string ShellFolder(int csidl) {
  wchar_t path[MAX_PATH];
  if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
  return TextToUtf8(reinterpret_cast<const char16_t*>(path));
}

// Two options, Core and Extras, each with a folder item, and a folder item of no option; the size
// variables; `extras` adds fields to Extras, `first` actions (names) run before the preparation.
std::string TwoOptions(const Workspace& w, const std::string& extras, const std::string& first,
                       const std::string& more = "") {
  return Project(w, R"(, "first_sequence": "@main", "options": ["@core", "@extras"])",
                 R"({"tag": "cmp9", "name": "core", "fields": {"name": "Core", "variable": "CoreState",
                      "state_if_false": 3, "state_if_true": 3, "install_size": 1000, "removal_size": 1100}},
                    {"tag": "cmp9", "name": "extras", "fields": {"name": "Extras", "variable": "ExtrasState",
                      "state_if_false": 2, "state_if_true": 3, "install_size": 5000, "removal_size": 5500)" +
                     extras + R"(}},
                    {"tag": "symb", "name": "core_state", "fields": {"variable_id": 1100, "name": "CoreState", "value": "0"}},
                    {"tag": "symb", "name": "extras_state", "fields": {"variable_id": 1101, "name": "ExtrasState", "value": "0"}},
                    {"tag": "symb", "name": "sizes", "fields": {"variable_id": 1102, "name": "Sizes", "value": "none"}},
                    {"tag": "symb", "name": "v401", "fields": {"variable_id": 401, "name": "ExtraBytes", "value": "20"}},
                    {"tag": "symb", "name": "v428", "fields": {"variable_id": 428, "name": "FreeBytes", "value": ""}},
                    {"tag": "symb", "name": "v429", "fields": {"variable_id": 429, "name": "FreeAfter", "value": ""}},
                    {"tag": "symb", "name": "v430", "fields": {"variable_id": 430, "name": "NeededBytes", "value": ""}},
                    {"tag": "symb", "name": "v520", "fields": {"variable_id": 520, "name": "RequiredBytes", "value": ""}},
                    {"tag": "symb", "name": "v521", "fields": {"variable_id": 521, "name": "FreedBytes", "value": ""}},
                    {"tag": "fldr", "name": "core_folder", "fields": {"options": ["@core"], "install_mode": 4, "removal_mode": -4}},
                    {"tag": "fldr", "name": "extras_folder", "fields": {"options": ["@extras"], "install_mode": 3, "removal_mode": -3}},
                    {"tag": "fldr", "name": "loose_folder", "fields": {"install_mode": 2, "removal_mode": -2}},
                    {"tag": "a213", "name": "report", "fields": {"name": "Report", "variable": "Sizes",
                      "value": "<RequiredBytes>/<FreedBytes>/<NeededBytes>"}},
                    {"tag": "aseq", "name": "main", "fields": {"name": "Main",
                      "actions": [)" + first + R"("@prepare", "@report", "@complete"]}})" +
                     more);
}

}  // namespace

TEST(SetupOptions, OnlyTheSelectedOptionsItemsInstall) {
  Workspace w;
  SetupRun run = Start(w, Build(w, TwoOptions(w, "", "")), u"/q2");
  EXPECT_EQ(run.exit_code, 0u) << run.log;
  EXPECT_TRUE(run.Has("QEL:A1512\\|[^|]*\\|CoreState\\|0\\|3\n")) << "the option's variable shows its state";
  EXPECT_TRUE(run.Has("QEL:A1512\\|[^|]*\\|ExtrasState\\|0\\|2\n"));
  EXPECT_TRUE(run.Has("QEL:I1601\\|[^|]*\\|Core\\|3\\|1\\|1\\|1\n"));
  EXPECT_TRUE(run.Has("QEL:I1601\\|[^|]*\\|Extras\\|2\\|0\\|2\\|0\n"));
  EXPECT_TRUE(run.Has(ItemMode("fldr", "core_folder", 4)));
  EXPECT_TRUE(run.Has(ItemMode("fldr", "extras_folder", 0)));
  EXPECT_TRUE(run.Has(ItemMode("fldr", "loose_folder", 2)));
  EXPECT_TRUE(run.Has("QEL:A1512\\|[^|]*\\|Sizes\\|none\\|1020/0/1020\n")) << "Core and the extra bytes";
  // The committed run kept the states: the saved database installs Core again on a repair.
  EXPECT_TRUE(run.Has("QEL:I1604\\|[^|]*\\|Core\\|1\\|3\n"));
  EXPECT_TRUE(run.Has("QEL:I1604\\|[^|]*\\|Extras\\|2\\|2\n"));

  using ProductInfoProc = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
  auto productInfo = reinterpret_cast<ProductInfoProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetProductInfo")));
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof version;
  DWORD edition = 0;
  ASSERT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)));
  ASSERT_TRUE(productInfo && productInfo(version.dwMajorVersion, version.dwMinorVersion, version.wServicePackMajor,
                                         version.wServicePackMinor, &edition));
  char code[16];
  snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(edition));
  EXPECT_TRUE(run.Has(std::string("QEL:I1113\\|[^|]*\\|") + code + "\\|")) << "the run records the edition";
}

TEST(SetupOptions, AnOptionForAnotherArchitectureIsUnavailable) {
  // x86 only: on 64-bit Windows the native architecture is x64, so Extras is unavailable even though
  // it would be selected.
  Workspace w;
  SetupRun run = Start(w, Build(w, TwoOptions(w, R"(, "state_if_false": 3, "architecture_mask": 1)", "")), u"/q2");
  EXPECT_EQ(run.exit_code, 0u) << run.log;
  EXPECT_TRUE(run.Has("QEL:I1609\\|[^|]*\\|Extras\\|0x00000001\\|0x00000100\n"));
  EXPECT_TRUE(run.Has("QEL:I1601\\|[^|]*\\|Extras\\|0\\|0\\|2\\|0\n"));
  EXPECT_TRUE(run.Has(ItemMode("fldr", "extras_folder", 0)));
  EXPECT_TRUE(run.Has(ItemMode("fldr", "core_folder", 4)));
}

TEST(SetupOptions, SetOptionStateDeselectsBeforeThePreparation) {
  Workspace w;
  SetupRun run = Start(w,
                       Build(w, TwoOptions(w, R"(, "state_if_false": 3)", R"("@drop_extras", )",
                                           R"(, {"tag": "a207", "name": "drop_extras", "fields": {"name": "Drop extras",
                                                 "progress_text_id": 525, "option": "extras", "request": 3}})")),
                       u"/q2");
  EXPECT_EQ(run.exit_code, 0u) << run.log;
  EXPECT_TRUE(run.Has("QEL:A1512\\|[^|]*\\|RequiredBytes\\|[^|]*\\|6020\n")) << "Extras was selected at first";
  EXPECT_TRUE(run.Has("QEL:I1606\\|[^|]*\\|Extras\\|3\\|2\n"));
  EXPECT_TRUE(run.Has("QEL:I1612\\|[^|]*\\|3\\|extras\\|2\n"));
  EXPECT_TRUE(run.Has(ItemMode("fldr", "extras_folder", 0)));
  EXPECT_TRUE(run.Has(ItemMode("fldr", "core_folder", 4)));
  EXPECT_TRUE(run.Has("QEL:A1512\\|[^|]*\\|RequiredBytes\\|6020\\|1020\n")) << "the sizes follow the change";
  EXPECT_TRUE(run.Has("QEL:A1512\\|[^|]*\\|Sizes\\|none\\|1020/0/1020\n"));
}

TEST(SetupOptions, SelectingTheOtherOfARadioPairSwapsThem) {
  Workspace w;
  std::string radio = R"(, "flags": 2)";
  std::string project = TwoOptions(w, radio, R"("@take_extras", )",
                                   R"(, {"tag": "a207", "name": "take_extras", "fields": {"name": "Take extras",
                                         "option": "Extras", "request": 4}})");
  // Core joins the group too.
  std::string core = R"("state_if_false": 3, "state_if_true": 3,)";
  project.replace(project.find(core), core.size(), core + R"( "flags": 2,)");
  SetupRun run = Start(w, Build(w, project), u"/q2");
  EXPECT_EQ(run.exit_code, 0u) << run.log;
  EXPECT_TRUE(run.Has("QEL:I1606\\|[^|]*\\|Core\\|3\\|2\n[\\s\\S]*QEL:I1606\\|[^|]*\\|Extras\\|2\\|3\n"))
      << "the selected member leaves first";
  EXPECT_TRUE(run.Has("QEL:I1601\\|[^|]*\\|Core\\|2\\|0\\|2\\|0\n"));
  EXPECT_TRUE(run.Has("QEL:I1601\\|[^|]*\\|Extras\\|3\\|1\\|1\\|1\n"));
  EXPECT_TRUE(run.Has(ItemMode("fldr", "core_folder", 0)));
  EXPECT_TRUE(run.Has(ItemMode("fldr", "extras_folder", 3)));
  EXPECT_TRUE(run.Has("QEL:A1512\\|[^|]*\\|Sizes\\|none\\|5020/0/5020\n"));
}

TEST(SetupOptions, PerUserRunPutsTheProgramFolderUnderLocalApplicationData) {
  Workspace w;
  char product[32];
  snprintf(product, sizeof product, "ProbeUser%08lX", static_cast<unsigned long>(GetTickCount()));
  std::string local = ShellFolder(CSIDL_LOCAL_APPDATA);
  ASSERT_FALSE(local.empty());
  std::string folder = local + "\\Programs\\" + product;
  std::string project =
      Project(w, R"(, "first_sequence": "@main", "scope": 1, "redirection_mask": 1)",
              R"({"tag": "symb", "name": "local", "fields": {"variable_id": 1200, "name": "LocalAppDataFolder", "value": "<$shpath(28)>"}},
                 {"tag": "symb", "name": "programs", "fields": {"variable_id": 120, "name": "ProgramFilesXFolder", "value": "<$shpath(38)>"}},
                 {"tag": "a104", "name": "redirect", "fields": {"name": "Redirect", "progress_text_id": 532}},
                 {"tag": "aseq", "name": "main", "fields": {"name": "Main", "actions": ["@redirect", "@prepare", "@complete"]}})",
              std::string("\"<ProgramFilesXFolder>\\\\") + product + "\"");
  SetupRun run = Start(w, Build(w, project), u"/q2");
  EXPECT_EQ(run.exit_code, 0u) << run.log;
  EXPECT_TRUE(run.Has(
      "QEL:A1512\\|[^|]*\\|ProgramFilesXFolder\\|<\\$shpath\\(38\\)>\\|<LocalAppDataFolder>\\\\Programs\n"));
  EXPECT_TRUE(run.Has("QEL:I1551\\|[^|]*\\|1\\|0x00000001\\|" + RegexEscaped(folder + "\\Setup.exe") + "\\|1\n"))
      << run.log;
  EXPECT_TRUE(run.Has("QEL:I0008\\|[^|]*\\|" + RegexEscaped(folder + "\\Setup.dat") + "\n"));
  std::u16string saved = TextFromUtf8(folder + "\\Setup.dat");
  EXPECT_NE(GetFileAttributesW(W(saved)), INVALID_FILE_ATTRIBUTES);
  FolderDeleteTree(TextFromUtf8(folder).c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
  RemoveDirectoryW(W(TextFromUtf8(local + "\\Programs")));  // only when nothing else is in it
}

// Also run by the 32-bit product build (label wow64): there the program-files folder of the native
// form is the 32-bit one, and the 64-bit folders come from the environment.
TEST(SetupOptions, FolderVariablesResolve) {
  Workspace w;
  std::string project =
      Project(w, R"(, "first_sequence": "@main")",
              R"({"tag": "symb", "name": "pf32", "fields": {"variable_id": 102, "name": "ProgramFilesFolder", "value": "<$shpath(42)>"}},
                 {"tag": "symb", "name": "pf64", "fields": {"variable_id": 116, "name": "ProgramFiles64Folder", "value": "<%ProgramW6432=$shpath(38)>"}},
                 {"tag": "symb", "name": "pfx", "fields": {"variable_id": 120, "name": "ProgramFilesXFolder", "value": "<$shpath(38)>"}},
                 {"tag": "symb", "name": "cf32", "fields": {"variable_id": 100, "name": "CommonFilesFolder", "value": "<$shpath(44)>"}},
                 {"tag": "symb", "name": "system", "fields": {"variable_id": 1300, "name": "SystemFolder", "value": "<$syspath(0)>"}},
                 {"tag": "symb", "name": "wow", "fields": {"variable_id": 1301, "name": "Wow64SystemFolder", "value": "<$syspath(1)>"}},
                 {"tag": "symb", "name": "local", "fields": {"variable_id": 1302, "name": "LocalAppDataFolder",
                   "value": "<$shpath({F1B32785-6FBA-4FCF-9D55-7B8E7F157091})>"}},
                 {"tag": "symb", "name": "folders", "fields": {"variable_id": 1303, "name": "Folders", "value": "none"}},
                 {"tag": "a213", "name": "report", "fields": {"name": "Report", "variable": "Folders",
                   "value": "<ProgramFilesFolder>;<ProgramFiles64Folder>;<ProgramFilesXFolder>;<CommonFilesFolder>;<SystemFolder>;<Wow64SystemFolder>;<LocalAppDataFolder>"}},
                 {"tag": "aseq", "name": "main", "fields": {"name": "Main", "actions": ["@prepare", "@report", "@complete"]}})");
  SetupRun run = Start(w, Build(w, project), u"/q2");
  EXPECT_EQ(run.exit_code, 0u) << run.log;
  const std::string x86 = "C:\\Program Files (x86)";
  const std::string native = sizeof(void*) == 4 ? x86 : "C:\\Program Files";
  std::string expected = x86 + ";C:\\Program Files;" + native + ";" + x86 + "\\Common Files;C:\\windows\\system32;" +
                         "C:\\windows\\syswow64;" + ShellFolder(CSIDL_LOCAL_APPDATA);
  std::regex record("QEL:A1512\\|[^|]*\\|Folders\\|none\\|" + RegexEscaped(expected) + "\n",
                    std::regex::icase);
  EXPECT_TRUE(std::regex_search(run.log, record)) << expected << "\n" << run.log;
  // The fixed folders were stored expanded at start-up.
  EXPECT_TRUE(
      run.Has("QEL:A1512\\|[^|]*\\|ProgramFilesFolder\\|<\\$shpath\\(42\\)>\\|" + RegexEscaped(x86) + "\n"));
  EXPECT_TRUE(run.Has("QEL:A1512\\|[^|]*\\|CommonFilesFolder\\|<\\$shpath\\(44\\)>\\|" + RegexEscaped(x86) +
                      "\\\\Common Files\n"));
}
