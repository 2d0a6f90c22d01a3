// The controls of the standard pages in runs of Setup.exe on a virtual display: the folder page's
// edit box (typed text reaches its variable, a required empty box keeps the page with a message that
// closes itself), check boxes and radio buttons bound to options, the licence's rich text from the
// program's resource, from a file and from a text, and the progress bar on variable 504.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <regex>
#include <string>
#include <vector>

#include "resources/dialog_ids.h"
#include "runtime/file_utils.h"
#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/ui/screenshot.h"
#include "tests/ui/wizard_runs.h"

using namespace wizard_test;

namespace {

bool Checked(HWND page, int control) { return SendMessageW(GetDlgItem(page, control), BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool Enabled(HWND page, int control) { return IsWindowEnabled(GetDlgItem(page, control)) != FALSE; }

bool Contains(const std::string& log, const std::string& pattern) { return std::regex_search(log, std::regex(pattern)); }

// A run of `pages` between the preparation and the completion.
std::string Installation(const std::string& pages, const std::string& shows, const std::string& more = "",
                         const std::string& installation = "") {
  return Project(more + pages, R"("@prepare", )" + shows + R"(, "@complete")", installation);
}

// An option and the variable that mirrors its state (variable id `id`).
std::string Option(const std::string& name, const std::string& title, int state, int id, const std::string& flags = "0") {
  return R"({"tag": "cmp9", "name": ")" + name + R"(", "fields": {"name": ")" + title + R"(", "variable": ")" + title +
         R"(State", "state_if_false": )" + std::to_string(state) + R"(, "state_if_true": )" + std::to_string(state) +
         R"(, "flags": ")" + flags + R"("}},
  {"tag": "symb", "name": ")" + name + R"(_state", "fields": {"variable_id": )" + std::to_string(id) +
         R"(, "name": ")" + title + R"(State", "value": "0"}},
)";
}

}  // namespace

TEST(Controls, TypedFolderReachesItsVariableAndARequiredEmptyBoxKeepsThePage) {
  std::string more = R"(
  {"tag": "symb", "name": "timeout", "fields": {"variable_id": 530, "name": "MessageTimeout", "value": "3"}},
  {"tag": "c004", "name": "folder_edit", "fields": {"control_id": 1061, "variable": "InstallFolder", "flags": "0x2"}},
)";
  WizardRun run(u"controls_folder", Installation(Page("options", 67, R"("@folder_edit")"), R"("@show_options")", more));
  ASSERT_TRUE(run.Start()) << run.message();
  HWND page = run.WaitForPage(IDC_OPTIONS_FOLDER);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(Text(page, IDC_OPTIONS_FOLDER), u"C:\\Program Files\\Probe") << "the box shows its variable";

  SendMessageW(GetDlgItem(page, IDC_OPTIONS_FOLDER), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  Click(page, IDC_NEXT);
  HWND box = run.WaitForWindow([&](HWND window) {
    wchar_t name[16];
    return window != page && GetClassNameW(window, name, 16) && lstrcmpW(name, L"#32770") == 0;
  });
  ASSERT_NE(box, nullptr) << "the required-field message";
  DWORD shown = GetTickCount();
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); })) << "the message closes itself after 3 seconds";
  EXPECT_GE(GetTickCount() - shown, 2000u);
  EXPECT_TRUE(IsWindow(page)) << "an empty required box keeps the page";

  Type(page, IDC_OPTIONS_FOLDER, u"D:\\Apps\\Probe");
  EXPECT_TRUE(WaitUntil([&] { return Text(page, IDC_OPTIONS_FOLDER) == u"D:\\Apps\\Probe"; }));
  Click(page, IDC_NEXT);
  EXPECT_EQ(run.Finish(), 0u);
  std::string log = run.Log();
  EXPECT_TRUE(Contains(log, "QEL:I0013\\|[^\n]*\\|A required field is empty\\.##Please enter the required "
                            "information\\.\\|0x00000030\\|1\n"));
  EXPECT_TRUE(Contains(log, "QEL:A1512\\|[^\n]*\\|InstallFolder\\|D:\\\\Apps\\\\Prob\\|D:\\\\Apps\\\\Probe\n"))
      << "every keystroke writes the variable";
}

TEST(Controls, CheckBoxAndRadioButtonsBoundToOptions) {
  std::string more = Option("docs", "Docs", 2, 1200) + Option("modify", "Modify", 3, 1201, "0x2") +
                     Option("repair", "Repair", 2, 1202, "0x2") + Option("remove", "Remove", 0, 1203, "0x2") + R"(
  {"tag": "c003", "name": "docs_box", "fields": {"control_id": 1030, "option": "@docs"}},
  {"tag": "c009", "name": "modify_button", "fields": {"control_id": 1100, "option": "@modify"}},
  {"tag": "c009", "name": "repair_button", "fields": {"control_id": 1102, "option": "@repair"}},
  {"tag": "c009", "name": "remove_button", "fields": {"control_id": 1104, "option": "@remove"}},
)";
  std::string pages = Page("maintenance", 74, R"("@modify_button", "@repair_button", "@remove_button")") +
                      Page("finish", 65, R"("@docs_box")");
  WizardRun run(u"controls_options",
                Installation(pages, R"("@show_maintenance", "@show_finish")", more,
                             R"(, "options": ["@docs", "@modify", "@repair", "@remove"])"));
  ASSERT_TRUE(run.Start()) << run.message();

  HWND maintenance = run.WaitForPage(IDC_MAINTENANCE_REPAIR);
  ASSERT_NE(maintenance, nullptr);
  EXPECT_TRUE(Checked(maintenance, IDC_MAINTENANCE_MODIFY) && Enabled(maintenance, IDC_MAINTENANCE_MODIFY));
  EXPECT_TRUE(!Checked(maintenance, IDC_MAINTENANCE_REPAIR) && Enabled(maintenance, IDC_MAINTENANCE_REPAIR));
  EXPECT_TRUE(!Checked(maintenance, IDC_MAINTENANCE_REMOVE) && !Enabled(maintenance, IDC_MAINTENANCE_REMOVE))
      << "an unavailable option's button is disabled";
  Click(maintenance, IDC_MAINTENANCE_REPAIR);
  EXPECT_TRUE(WaitUntil([&] { return Checked(maintenance, IDC_MAINTENANCE_REPAIR); }));
  EXPECT_FALSE(Checked(maintenance, IDC_MAINTENANCE_MODIFY)) << "the group's other option was deselected";
  Click(maintenance, IDC_NEXT);

  HWND finish = run.WaitForPage(IDC_COMPLETED_START, maintenance);
  ASSERT_NE(finish, nullptr);
  EXPECT_TRUE(!Checked(finish, IDC_COMPLETED_START) && Enabled(finish, IDC_COMPLETED_START)) << "state 2";
  Click(finish, IDC_COMPLETED_START);
  EXPECT_TRUE(WaitUntil([&] { return Checked(finish, IDC_COMPLETED_START); }));
  Click(finish, IDC_COMPLETED_START);
  EXPECT_TRUE(WaitUntil([&] { return !Checked(finish, IDC_COMPLETED_START); }));
  Click(finish, IDC_COMPLETED_START);
  EXPECT_TRUE(WaitUntil([&] { return Checked(finish, IDC_COMPLETED_START); }));
  Click(finish, IDC_FINISH);
  EXPECT_EQ(run.Finish(), 0u);

  std::string log = run.Log();
  EXPECT_TRUE(Contains(log, "QEL:I1606\\|[^\n]*\\|Modify\\|3\\|2\n(.*\n){0,3}.*QEL:I1606\\|[^\n]*\\|Repair\\|2\\|3\n"))
      << "selecting Repair deselects Modify";
  EXPECT_TRUE(Contains(log, "QEL:I1606\\|[^\n]*\\|Docs\\|2\\|3\n"));
  EXPECT_TRUE(Contains(log, "QEL:I1606\\|[^\n]*\\|Docs\\|3\\|2\n"));
  EXPECT_TRUE(Contains(log, "QEL:A1512\\|[^\n]*\\|DocsState\\|2\\|3\n"));
  EXPECT_FALSE(Contains(log, "QEL:I1606\\|[^\n]*\\|Remove\\|")) << "the unavailable option never changed";
}

TEST(Controls, LicenceTextFromTheResourceAFileAndAText) {
  test_support::TempFolder folder(u"licence");
  std::u16string file = folder.path() + u"\\terms.rtf";
  test_support::WriteBytes(file, "{\\rtf1\\ansi {\\b Probe file terms}\\par Second line.}");
  std::string escaped;
  for (char c : TextToUtf8(file)) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  std::string more = R"(
  {"tag": "symb", "name": "license_file", "fields": {"variable_id": 1100, "name": "LicenseFile", "value": ")" +
                     escaped + R"("}},
  {"tag": "symb", "name": "license_text", "fields": {"variable_id": 1101, "name": "LicenseText",
    "value": "Plain terms of <ProductName>."}},
  {"tag": "c016", "name": "file_license", "fields": {"control_id": 1040, "variable": "LicenseFile"}},
  {"tag": "c016", "name": "text_license", "fields": {"control_id": 1040, "variable": "LicenseText"}},
)";
  std::string pages = Page("resource", 66) + Page("from_file", 66, R"("@file_license")") +
                      Page("from_text", 66, R"("@text_license")");
  WizardRun run(u"controls_license", Installation(pages, R"("@show_resource", "@show_from_file", "@show_from_text")", more));
  ASSERT_TRUE(run.Start()) << run.message();

  HWND page = run.WaitForPage(IDC_LICENSE_TEXT);
  ASSERT_NE(page, nullptr);
  std::u16string text = Text(page, IDC_LICENSE_TEXT);
  EXPECT_EQ(text.find(u"#64"), std::u16string::npos) << "the resource reference is not shown as text";
  EXPECT_EQ(text.rfind(u"SOFTWARE LICENSE AGREEMENT", 0), 0u) << "the rich text, not its source";
  EXPECT_TRUE(ScreenshotOfWindow(page, ScreenshotFolder() + u"controls_license_resource.png"));
  PostMessageW(page, WM_COMMAND, IDC_NEXT, 0);

  HWND next = run.WaitForPage(IDC_LICENSE_TEXT, page);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(Text(next, IDC_LICENSE_TEXT).rfind(u"Probe file terms", 0), 0u) << "the file the variable names";
  EXPECT_TRUE(ScreenshotOfWindow(next, ScreenshotFolder() + u"controls_license_file.png"));
  PostMessageW(next, WM_COMMAND, IDC_NEXT, 0);

  HWND last = run.WaitForPage(IDC_LICENSE_TEXT, next);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(Text(last, IDC_LICENSE_TEXT), u"Plain terms of Probe.") << "the variable's substituted text";
  PostMessageW(last, WM_COMMAND, IDC_NEXT, 0);
  EXPECT_EQ(run.Finish(), 0u);
}

TEST(Controls, ProgressBarShowsTheAbsoluteValueOfItsVariable) {
  std::string more = R"(
  {"tag": "symb", "name": "level", "fields": {"variable_id": 1100, "name": "Level", "value": "0"}},
  {"tag": "c017", "name": "bar", "fields": {"control_id": 1072, "variable": "Level"}},
  {"tag": "c010", "name": "percent", "fields": {"control_id": 1073, "variable": "Level", "display": 2}},
  {"tag": "a213", "name": "move", "fields": {"name": "Move", "variable": "Level", "value": "-730"}},
  {"tag": "a201", "name": "show_progress_modeless", "fields": {"name": "Show", "dialog": "@progress", "options": 0}},
)";
  WizardRun run(u"controls_progress",
                Installation(Page("progress", 68, R"("@bar", "@percent")") + Page("finish", 65),
                             R"("@show_progress_modeless", "@move", "@show_finish")", more));
  ASSERT_TRUE(run.Start()) << run.message();
  HWND finish = run.WaitForPage(IDC_COMPLETED_START);
  ASSERT_NE(finish, nullptr);
  HWND progress = run.WaitForPage(IDC_PROGRESS_POSITION);
  ASSERT_NE(progress, nullptr) << "the modeless progress page stays open";
  HWND bar = GetDlgItem(progress, IDC_PROGRESS_POSITION);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 730) << "the absolute value";
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 1000);
  EXPECT_EQ(Text(progress, IDC_PROGRESS_PERCENT), u"") << "no percentage for a negative position";
  Click(finish, IDC_FINISH);
  EXPECT_EQ(run.Finish(), 0u);
}

// The progress page's bar follows a real installation of twelve files of 6 MiB: the positions read
// while they install rise through several values, and the page photographed at two of them differs.
TEST(Controls, ProgressBarMovesWhileFilesInstall) {
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  const std::u16string payload = reinterpret_cast<const char16_t*>(temp) + std::u16string(u"kez_progress_payload");
  FolderDeleteTree(payload.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
  CreateDirectoryW(test_support::W(payload), nullptr);
  std::string files;
  uint32_t seed = 1;
  for (int i = 0; i < 12; ++i) {
    std::string bytes(6 << 20, '\0');
    for (char& c : bytes) c = char((seed = seed * 1103515245u + 12345u) >> 16);  // nothing to compress
    std::u16string source = payload + u"\\part" + TextFromUtf8(std::to_string(i)) + u".bin";
    test_support::WriteBytes(source, bytes);
    std::string json_source;
    for (char c : TextToUtf8(source)) json_source += c == '\\' ? std::string("\\\\") : std::string(1, c);
    files += R"({"tag": "file", "name": "part)" + std::to_string(i) + R"(", "source": ")" + json_source +
             R"(", "fields": {"folder": "@app", "name": "part)" + std::to_string(i) +
             R"(.bin", "install_mode": 4, "removal_mode": -3}},
)";
  }
  std::string more = files + R"(
  {"tag": "c017", "name": "bar", "fields": {"control_id": 1072, "variable": "ProgressPosition"}},
  {"tag": "fldr", "name": "app", "fields": {"variable": "KesProductFolder", "install_mode": 4, "removal_mode": -3}},
  {"tag": "a142", "name": "resolve", "fields": {"name": "Resolve", "progress_text_id": 565}},
  {"tag": "a135", "name": "folders", "fields": {"name": "Folders", "progress_text_id": 573}},
  {"tag": "a115", "name": "files", "fields": {"name": "Files", "progress_text_id": 543}},
  {"tag": "a201", "name": "show_progress_modeless", "fields": {"name": "Show", "dialog": "@progress", "options": 0}},
)";
  WizardRun run(u"controls_progress_moves",
                Project(more + Page("progress", 68, R"("@bar")") + Page("finish", 65),
                        R"("@show_progress_modeless", "@prepare", "@resolve", "@folders", "@files", "@complete",
                           "@show_finish")"));
  FolderDeleteTree(payload.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
  ASSERT_TRUE(run.Start()) << run.message();
  HWND progress = run.WaitForPage(IDC_PROGRESS_POSITION);
  ASSERT_NE(progress, nullptr);
  HWND bar = GetDlgItem(progress, IDC_PROGRESS_POSITION);
  const std::u16string shots[] = {ScreenshotFolder() + u"controls_progress_1.png",
                                  ScreenshotFolder() + u"controls_progress_2.png"};
  std::vector<LRESULT> seen;
  int taken = 0;
  LRESULT first_shot = -1;
  for (DWORD waited = 0; waited < 120000 && IsWindow(bar); waited += 20) {
    LRESULT position = SendMessageW(bar, PBM_GETPOS, 0, 0);
    if (seen.empty() || seen.back() != position) seen.push_back(position);
    bool moving = position > 0 && position < 1000;
    if (moving && taken == 0 && ScreenshotOfWindow(progress, shots[0])) taken = 1, first_shot = position;
    if (moving && taken == 1 && position >= first_shot + 100 && ScreenshotOfWindow(progress, shots[1])) taken = 2;
    if (position >= 1000 || (taken == 2 && seen.size() >= 4)) break;  // 1000: the installation completed
    Sleep(20);
  }
  EXPECT_GE(seen.size(), 4u) << "the bar moved through several positions";
  ASSERT_EQ(taken, 2) << "two moments of the installation photographed";
  EXPECT_NE(test_support::ReadBytes(shots[0]), test_support::ReadBytes(shots[1]));
  HWND finish = run.WaitForPage(IDC_COMPLETED_START);
  ASSERT_NE(finish, nullptr);
  Click(finish, IDC_FINISH);
  EXPECT_EQ(run.Finish(), 0u);
}

TEST(Controls, OptionTreeTogglesOptionsAndTheSizesFollow) {
  WizardRun run(u"controls_tree", Installation(Page("options", 67, kOptionTreeControls), R"("@show_options")",
                                               kOptionTreeObjects, kOptionTreeList));
  ASSERT_TRUE(run.Start()) << run.message();
  HWND page = run.WaitForPage(IDC_OPTIONS_TREE);
  ASSERT_NE(page, nullptr);
  HWND tree = GetDlgItem(page, IDC_OPTIONS_TREE);
  EXPECT_EQ(TreeView_GetCount(tree), 3u) << "Core, Extras and its Samples; Hidden is not listed";
  HTREEITEM core = TreeView_GetRoot(tree);
  HTREEITEM extras = TreeView_GetNextSibling(tree, core);
  HTREEITEM samples = TreeView_GetChild(tree, extras);
  ASSERT_NE(samples, nullptr);
  EXPECT_TRUE(TreeView_GetItemState(tree, extras, TVIS_EXPANDED) & TVIS_EXPANDED) << "option flag 0x20";
  EXPECT_TRUE(TreeView_GetItemState(tree, samples, TVIS_CUT) & TVIS_CUT) << "below an unselected option";
  EXPECT_EQ(TreeView_GetSelection(tree), core);
  EXPECT_EQ(Text(page, IDC_OPTIONS_SIZE), u"2 KB");
  EXPECT_EQ(Text(page, IDC_OPTIONS_INSTALL_SIZE), u"2 KB") << "only Core installs";

  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(extras));
  EXPECT_TRUE(WaitUntil([&] { return Text(page, IDC_OPTIONS_SIZE) == u"5 KB"; })) << "the selected option's size";
  PostMessageW(tree, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_TRUE(WaitUntil([&] { return Text(page, IDC_OPTIONS_INSTALL_SIZE) == u"10 KB"; }))
      << "Core, Extras and Samples install";
  EXPECT_FALSE(TreeView_GetItemState(tree, samples, TVIS_CUT) & TVIS_CUT);
  EXPECT_TRUE(ScreenshotOfWindow(page, ScreenshotFolder() + u"controls_option_tree.png"));

  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(core));
  PostMessageW(tree, WM_KEYDOWN, VK_SPACE, 0);
  Sleep(500);
  EXPECT_EQ(Text(page, IDC_OPTIONS_INSTALL_SIZE), u"10 KB") << "a fixed option does not toggle";
  Click(page, IDC_NEXT);
  EXPECT_EQ(run.Finish(), 0u);
  std::string log = run.Log();
  EXPECT_TRUE(Contains(log, "QEL:I1606\\|[^\n]*\\|Extras\\|2\\|3\n"));
  EXPECT_TRUE(Contains(log, "QEL:A1512\\|[^\n]*\\|OptionTitle\\|Core files\\|Extras for Probe\n"));
  EXPECT_FALSE(Contains(log, "QEL:I1606\\|[^\n]*\\|Core\\|"));
}
