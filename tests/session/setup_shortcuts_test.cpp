// Setup.exe end to end with shortcuts: quiet runs that create links to an installed program and to
// an address, read them back through the shell's link object, replace a shortcut found in the way,
// put it back byte for byte after a failure, and remove the shortcuts with the product.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>

#include <string>

#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/session/link_fields.h"
#include "tests/session/setup_run_support.h"

using namespace setup_run;
using namespace test_support;

namespace {

bool Exists(const std::u16string& path) { return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES; }

// Whether the system's link object keeps the run-as-administrator flag through a save and a load
// (this Wine drops it when it saves).
bool SystemKeepsRunAsFlag(const std::u16string& file) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return false;
  IShellLinkDataList* data = nullptr;
  IPersistFile* persist = nullptr;
  link->SetPath(L"C:\\windows\\notepad.exe");
  if (SUCCEEDED(link->QueryInterface(IID_IShellLinkDataList, reinterpret_cast<void**>(&data)))) {
    DWORD flags = 0;
    data->GetFlags(&flags);
    data->SetFlags(flags | SLDF_RUNAS_USER);
    data->Release();
  }
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
    persist->Save(W(file), TRUE);
    persist->Release();
  }
  link->Release();
  bool kept = (LinkFieldsRead(file).data_flags & SLDF_RUNAS_USER) != 0;
  DeleteFileW(W(file));
  return kept;
}

// COM for the test's own link objects.
class ComScope : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
  void TearDown() override { CoUninitialize(); }
};

// The project: the product folder with "tool.exe" and "icons.dll", the menu folder "Menu\Tally" of
// the workspace, and the shortcuts; the sequence prepare, resolve, folders, files, a117, a118,
// `extra` actions, complete.
std::string ShortcutProject(const Workspace& w, const std::string& shortcuts, const std::string& extra = "",
                            const std::string& objects = "") {
  return Project(w, R"(, "first_sequence": "@main")",
                 R"({"tag": "symb", "name": "menu_variable", "fields": {"variable_id": 1200, "name": "MenuFolder",
                       "value": )" + Json(w.Path(u"Menu\\Tally")) + R"(}},
                    {"tag": "fldr", "name": "app", "fields": {"variable": "KesProductFolder", "install_mode": 4,
                       "removal_mode": -3}},
                    {"tag": "fldr", "name": "menu", "fields": {"variable": "MenuFolder", "install_mode": 4,
                       "removal_mode": -3}},
                    {"tag": "file", "name": "tool", "source": "in/tool.exe", "fields": {"folder": "@app",
                       "name": "tool.exe", "install_mode": 4, "removal_mode": -3}},
                    {"tag": "file", "name": "icons", "source": "in/icons.dll", "fields": {"folder": "@app",
                       "name": "icons.dll", "install_mode": 4, "removal_mode": -3}},
                    {"tag": "a142", "name": "resolve", "fields": {"name": "Resolve"}},
                    {"tag": "a135", "name": "folders", "fields": {"name": "Folders"}},
                    {"tag": "a115", "name": "files", "fields": {"name": "Files"}},
                    {"tag": "a117", "name": "create_shortcuts", "fields": {"name": "Create shortcuts"}},
                    {"tag": "a118", "name": "remove_shortcuts", "fields": {"name": "Remove shortcuts"}})" +
                     shortcuts + objects + R"(,
                    {"tag": "aseq", "name": "main", "fields": {"name": "Main", "actions": ["@prepare", "@resolve",
                       "@folders", "@files", "@create_shortcuts", "@remove_shortcuts", )" +
                     extra + R"("@complete"]}})");
}

// A link to the installed tool with every field, one to an address, one to a program that is not there.
const char kShortcuts[] = R"(,
    {"tag": "shct", "name": "tally", "fields": {"folder": "@menu", "name": "Tally", "target": "<KesProductFolder>\\tool.exe",
      "arguments": "--fast \"<KesProductFolder>\\data\"", "description": "Counts <ProductName>",
      "working_folder": "<KesProductFolder>\\work", "icon_file": "@icons", "icon_index": 2, "show_command": 7,
      "shortcut_flags": 1, "install_mode": 4, "removal_mode": -3}},
    {"tag": "shct", "name": "web", "fields": {"folder": "@menu", "name": "Web site", "target": "https://example.com/tally",
      "install_mode": 4, "removal_mode": -3}},
    {"tag": "shct", "name": "gone", "fields": {"folder": "@menu", "name": "Gone",
      "target": "<KesProductFolder>\\absent.exe", "install_mode": 4, "removal_mode": -3}})";

void WriteInputs(const Workspace& w) {
  CreateDirectoryW(W(w.Path(u"in")), nullptr);
  WriteBytes(w.Path(u"in\\tool.exe"), "MZ tool");
  WriteBytes(w.Path(u"in\\icons.dll"), "MZ icons");
}

const char kFail[] = R"(, {"tag": "a200", "name": "fail", "fields": {"name": "Fail", "flags": "0x10000", "style": 16}})";

}  // namespace

using SetupShortcuts = ComScope;

TEST_F(SetupShortcuts, CreatesLinksWithEveryFieldAndRemovesThem) {
  Workspace w;
  WriteInputs(w);
  std::u16string setup = Build(w, ShortcutProject(w, kShortcuts));
  SetupRun run = Start(w, setup, u"/q2");
  ASSERT_EQ(run.exit_code, 0u) << run.log;

  std::u16string product = w.Path(u"Product");
  LinkFields main = LinkFieldsRead(w.Path(u"Menu\\Tally\\Tally.lnk"));
  ASSERT_TRUE(main.loaded) << run.log;
  EXPECT_EQ(Utf8(main.path), Utf8(product + u"\\tool.exe"));
  EXPECT_EQ(Utf8(main.arguments), Utf8(u"--fast \"" + product + u"\\data\""));
  EXPECT_EQ(Utf8(main.working_folder), Utf8(product + u"\\work"));
  EXPECT_EQ(Utf8(main.icon), Utf8(product + u"\\icons.dll"));
  EXPECT_EQ(main.icon_index, 2);
  if (SystemKeepsRunAsFlag(w.Path(u"probe.lnk"))) {
    EXPECT_EQ(main.data_flags & SLDF_RUNAS_USER, DWORD(SLDF_RUNAS_USER));
  }
  EXPECT_EQ(main.description.rfind(u"Counts ", 0), 0u) << Utf8(main.description);
  EXPECT_EQ(main.show_command, 7);

  // An address: no test of existence, no working folder made from it.
  std::u16string web_file = w.Path(u"Menu\\Tally\\Web site.lnk");
  if (!Exists(web_file)) web_file = w.Path(u"Menu\\Tally\\Web site.url");
  LinkFields web = LinkFieldsRead(web_file);
  EXPECT_TRUE(Exists(web_file)) << run.log;
  EXPECT_EQ(web.working_folder, u"");
  // A program that is not there: nothing made, nothing failed.
  EXPECT_FALSE(Exists(w.Path(u"Menu\\Tally\\Gone.lnk")));
  EXPECT_TRUE(run.Has("QEL:I0050\\|[^|]*\\|[^|]*Gone\\.lnk\\|[^|]*absent\\.exe\n")) << run.log;
  EXPECT_TRUE(run.Has("QEL:A0023\\|[^|]*\\|[^|]*Tally\\.lnk\\|")) << run.log;

  Workspace second;
  SetupRun removal = Start(second, setup, u"/q2 /remove \"/d:" + product + u"\\Setup.dat\"");
  ASSERT_EQ(removal.exit_code, 0u) << removal.log;
  EXPECT_FALSE(Exists(w.Path(u"Menu\\Tally\\Tally.lnk"))) << removal.log;
  EXPECT_FALSE(Exists(web_file));
  EXPECT_FALSE(Exists(w.Path(u"Menu\\Tally\\Tally.lnk._rb"))) << "removed at commit";
  EXPECT_FALSE(Exists(w.Path(u"Menu\\Tally"))) << "the folder the installation made goes with it";
}

TEST_F(SetupShortcuts, ReplacesAShortcutFoundInTheWayAndPutsItBackAfterAFailure) {
  Workspace w;
  WriteInputs(w);
  CreateDirectoryW(W(w.Path(u"Menu")), nullptr);
  CreateDirectoryW(W(w.Path(u"Menu\\Tally")), nullptr);
  const std::string old_link = std::string("L\0\0\0 an older link's bytes", 27);
  std::u16string link = w.Path(u"Menu\\Tally\\Tally.lnk");
  WriteBytes(link, old_link);

  SetupRun failed = Start(w, Build(w, ShortcutProject(w, kShortcuts, R"("@fail", )", kFail)), u"/q2");
  EXPECT_NE(failed.exit_code, 0u) << failed.log;
  EXPECT_TRUE(failed.Has("QEL:A0023\\|")) << "the shortcuts were made before the failure\n" << failed.log;
  EXPECT_EQ(ReadBytes(link), old_link) << failed.log;
  EXPECT_FALSE(Exists(link + u"._rb"));
  EXPECT_FALSE(Exists(w.Path(u"Menu\\Tally\\Web site.lnk")));
  EXPECT_FALSE(Exists(w.Path(u"Menu\\Tally\\Web site.url")));

  Workspace again;
  WriteInputs(again);
  SetupRun run = Start(again, Build(again, ShortcutProject(w, kShortcuts)), u"/q2");
  ASSERT_EQ(run.exit_code, 0u) << run.log;
  EXPECT_TRUE(LinkFieldsRead(link).loaded) << "replaced by the new link";
  EXPECT_FALSE(Exists(link + u"._rb")) << "the copy goes at commit";
}

// A shortcut name from a hostile package that would leave its folder is refused; nothing is written
// outside the folder and the failure (category 0x4) rolls the installation back.
TEST_F(SetupShortcuts, ANameThatLeavesItsFolderIsRefused) {
  Workspace w;
  WriteInputs(w);
  std::string escaping = R"(,
    {"tag": "shct", "name": "escape", "fields": {"folder": "@menu", "name": "..\\..\\Escaped",
      "target": "<KesProductFolder>\\tool.exe", "install_mode": 4, "removal_mode": -3}})";
  SetupRun run = Start(w, Build(w, ShortcutProject(w, escaping)), u"/q2");
  EXPECT_NE(run.exit_code, 0u) << run.log;
  EXPECT_TRUE(run.Has("QEL:E2004\\|[^|]*\\|\\.\\.\\\\\\.\\.\\\\Escaped\\|[0-9A-F]{16}\\|123\n")) << run.log;
  EXPECT_TRUE(run.Has("QEL:W1720\\|[^|]*\\|0x00000004\\|")) << run.log;
  EXPECT_FALSE(Exists(w.Path(u"Escaped.lnk")));
  EXPECT_FALSE(Exists(w.Path(u"Product"))) << "rolled back";
}
