#include "tests/ui/wizard_runs.h"

#include <gtest/gtest.h>

#include "runtime/file_utils.h"
#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/ui/screenshot.h"
#include "tools/kez/project_build.h"

using namespace test_support;

namespace wizard_test {

namespace {

constexpr DWORD kPageTimeoutMs = 60000;

// The objects every project here has: the installation record, the texts the pages show, the
// licence page's controls, the progress page's texts.
const char* kCommonObjects = R"(
  {"tag": "inst", "name": "installation", "fields": {"product": "Probe", "abort_mask": "0xFFFFFFFF", "flags": "0x4",
    "first_sequence": "@main"}},
  {"tag": "symb", "name": "state", "fields": {"variable_id": 509, "name": "InstallState", "value": "0"}},
  {"tag": "symb", "name": "product_folder", "fields": {"variable_id": 409, "name": "KesProductFolder",
    "value": "@PRODUCT_FOLDER@"}},
  {"tag": "symb", "name": "main_text", "fields": {"variable_id": 501, "name": "ProgressText", "value": "Copying new files"}},
  {"tag": "symb", "name": "detail_text", "fields": {"variable_id": 500, "name": "ProgressDetail",
    "value": "C:\\Program Files\\Probe\\bin\\probe-engine.dll"}},
  {"tag": "symb", "name": "position", "fields": {"variable_id": 504, "name": "ProgressPosition", "value": "420"}},
  {"tag": "symb", "name": "product", "fields": {"variable_id": 1000, "name": "ProductName", "value": "Probe"}},
  {"tag": "symb", "name": "version", "fields": {"variable_id": 1001, "name": "ProductVersion", "value": "1.0"}},
  {"tag": "symb", "name": "wizard", "fields": {"variable_id": 1002, "name": "UIWizardName", "value": "Setup Wizard"}},
  {"tag": "symb", "name": "publisher", "fields": {"variable_id": 1003, "name": "Publisher", "value": "Probe Works Ltd."}},
  {"tag": "symb", "name": "web", "fields": {"variable_id": 1004, "name": "WebSite", "value": "https://probe.example"}},
  {"tag": "symb", "name": "mail", "fields": {"variable_id": 1005, "name": "Email", "value": "help@probe.example"}},
  {"tag": "symb", "name": "copyright", "fields": {"variable_id": 1006, "name": "Copyright",
    "value": "Copyright (c) 2025 Probe Works Ltd. All rights reserved."}},
  {"tag": "symb", "name": "accepted", "fields": {"variable_id": 1007, "name": "LicenseAccepted", "value": "0"}},
  {"tag": "symb", "name": "folder", "fields": {"variable_id": 1008, "name": "InstallFolder",
    "value": "C:\\Program Files\\Probe"}},
  {"tag": "c003", "name": "agree", "fields": {"control_id": 1041, "variable": "LicenseAccepted",
    "checked_value": "1", "unchecked_value": "0"}},
  {"tag": "c002", "name": "license_next", "fields": {"control_id": 12324, "condition": "LicenseAccepted = 1"}},
  {"tag": "c010", "name": "progress_main", "fields": {"control_id": 1070, "variable": "ProgressText"}},
  {"tag": "c010", "name": "progress_detail", "fields": {"control_id": 1071, "variable": "ProgressDetail"}},
  {"tag": "c010", "name": "progress_percent", "fields": {"control_id": 1073, "variable": "ProgressPosition",
    "display": 2}},
  {"tag": "a100", "name": "prepare", "fields": {"name": "Prepare", "progress_text_id": 528}},
  {"tag": "a101", "name": "complete", "fields": {"name": "Complete", "progress_text_id": 529}},
)";

struct WindowSearch {
  DWORD process;
  std::function<bool(HWND)> wanted;
  HWND found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM argument) {
  auto* search = reinterpret_cast<WindowSearch*>(argument);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process || !IsWindowVisible(window) || !search->wanted(window)) return TRUE;
  search->found = window;
  return FALSE;
}

bool IsPage(HWND window) {
  wchar_t title[128];
  return GetWindowTextW(window, title, 128) && lstrcmpW(title, kPageTitle) == 0;
}

const int kGalleryPages[] = {75, 66, 67, 68, 69, 70, 74, 73, 71, 65, 64};

std::string GalleryProject() {
  std::string pages, actions;
  for (int id : kGalleryPages) {
    std::string name = "page" + std::to_string(id);
    bool progress = id == 68 || id == 69;
    pages += Page(name, id, progress ? R"("@progress_main", "@progress_detail", "@progress_percent")" : "");
    actions += std::string(actions.empty() ? "" : ", ") + "\"@show_" + name + "\"";
  }
  return Project(pages, actions);
}

}  // namespace

const char kOptionTreeObjects[] = R"(
  {"tag": "cmp9", "name": "core", "fields": {"name": "Core", "title": "Core files", "flags": "0x4",
    "state_if_false": 4, "state_if_true": 4, "install_size": 2048}},
  {"tag": "cmp9", "name": "extras", "fields": {"name": "Extras", "title": "Extras for <ProductName>", "flags": "0x24",
    "state_if_false": 2, "state_if_true": 2, "install_size": 5000, "children": ["@samples"]}},
  {"tag": "cmp9", "name": "samples", "fields": {"name": "Samples", "title": "Samples", "flags": "0x4",
    "state_if_false": 3, "state_if_true": 3, "install_size": 3000}},
  {"tag": "cmp9", "name": "hidden", "fields": {"name": "Hidden", "title": "Hidden", "state_if_false": 3,
    "state_if_true": 3, "install_size": 0}},
  {"tag": "symb", "name": "v516", "fields": {"variable_id": 516, "name": "OptionTitle", "value": ""}},
  {"tag": "symb", "name": "v518", "fields": {"variable_id": 518, "name": "OptionSize", "value": ""}},
  {"tag": "symb", "name": "v520", "fields": {"variable_id": 520, "name": "RequiredBytes", "value": ""}},
  {"tag": "c008", "name": "tree", "fields": {"control_id": 1050}},
  {"tag": "c010", "name": "option_size", "fields": {"control_id": 1053, "variable": "OptionSize", "display": 1}},
  {"tag": "c010", "name": "required", "fields": {"control_id": 1055, "variable": "RequiredBytes", "display": 1}},
)";
const char kOptionTreeControls[] = R"("@tree", "@option_size", "@required")";
const char kOptionTreeList[] = R"(, "options": ["@core", "@extras", "@hidden"])";

std::string Page(const std::string& name, int templateId, const std::string& controls) {
  return R"({"tag": "dlg ", "name": ")" + name + R"(", "fields": {"template": )" + std::to_string(templateId) +
         (controls.empty() ? "" : R"(, "controls": [)" + controls + "]") + R"(}},
  {"tag": "a201", "name": "show_)" + name + R"(", "fields": {"name": "Show )" + name + R"(", "progress_text_id": 518,
    "dialog": "@)" + name + R"(", "options": 1}},
)";
}

std::string Project(const std::string& pages, const std::string& actions, const std::string& installation) {
  std::string common = kCommonObjects;
  const std::string anchor = R"("first_sequence": "@main")";
  common.insert(common.find(anchor) + anchor.size(), installation);
  return R"({"output": {"package": "Setup.exe", "method": "zlib", "level": 1}, "objects": [)" + common + pages + R"(
  {"tag": "aseq", "name": "main", "fields": {"name": "Main", "actions": [)" + actions + "]}}]}";
}

WizardRun::WizardRun(const char16_t* name, const std::string& project) {
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  root_ = std::u16string(reinterpret_cast<const char16_t*>(temp)) + name;
  FolderDeleteTree(root_.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
  CreateDirectoryW(W(root_), nullptr);
  CreateDirectoryW(W(root_ + u"\\temp"), nullptr);
  std::string escaped;  // the product folder, as a JSON text
  for (char c : TextToUtf8(root_ + u"\\product")) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  std::string text = project;
  text.replace(text.find("@PRODUCT_FOLDER@"), 16, escaped);
  ProjectBuildOptions options;
  options.output = root_ + u"\\out";
  options.runtime = SetupPath();
  options.quiet = true;
  built_ = ProjectBuild(text, root_, options, &message_) == 0;
}

WizardRun::~WizardRun() {
  if (::testing::Test::HasFailure()) printf("%s\n", Log().c_str());
  if (process_.hProcess) {
    TerminateProcess(process_.hProcess, 1);
    FinishProgram(&process_, 10000);
  }
  FolderDeleteTree(root_.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
}

bool WizardRun::Start() {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  return built_ && StartProgram(u"\"" + root_ + u"\\out\\Setup.exe\"", root_ + u"\\temp", &startup, FALSE, &process_);
}

HWND WizardRun::WaitForWindow(const std::function<bool(HWND)>& wanted) {
  WindowSearch search{process_.dwProcessId, wanted, nullptr};
  for (DWORD waited = 0; waited < kPageTimeoutMs && !search.found; waited += 50) {
    EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
    if (!search.found) Sleep(50);
  }
  if (search.found) Sleep(300);  // let it paint
  return search.found;
}

HWND WizardRun::WaitForPage(int control, HWND previous) {
  return WaitForWindow([&](HWND window) {
    return window != previous && IsPage(window) && (!control || GetDlgItem(window, control));
  });
}

DWORD WizardRun::Finish() {
  DWORD code = FinishProgram(&process_, 120000);
  process_ = PROCESS_INFORMATION{};
  return code;
}

std::string WizardRun::Log() const {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(W(root_ + u"\\temp\\*.log"), &data);
  if (find == INVALID_HANDLE_VALUE) return {};
  FindClose(find);
  return ReadBytes(root_ + u"\\temp\\" + reinterpret_cast<const char16_t*>(data.cFileName));
}

std::u16string Text(HWND page, int control) {
  // WM_GETTEXT asks the control itself: GetWindowText of another process's window reads only the
  // text the window was created with.
  std::u16string text(4096, u'\0');
  LRESULT length = SendMessageW(GetDlgItem(page, control), WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(length > 0 ? size_t(length) : 0);
  return text;
}

void Type(HWND page, int control, const std::u16string& text) {
  HWND window = GetDlgItem(page, control);
  for (char16_t c : text) PostMessageW(window, WM_CHAR, c, 1);
}

void Click(HWND page, int control) { PostMessageW(GetDlgItem(page, control), BM_CLICK, 0, 0); }

bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 200 && !done(); ++i) Sleep(50);
  return done();
}

ScreenDpi::ScreenDpi(DWORD dpi) {
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
  DWORD size = sizeof previous_;
  had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&previous_), &size) == 0;
  RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
}

ScreenDpi::~ScreenDpi() {
  if (had_) RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous_), sizeof previous_);
  else RegDeleteValueW(key_, L"LogPixels");
  RegCloseKey(key_);
}

void ShootEveryPage(DWORD dpi) {
  ScreenDpi screen(dpi);
  WizardRun run(u"wizard_gallery", GalleryProject());
  ASSERT_TRUE(run.Start()) << run.message();
  HWND previous = nullptr;
  for (int id : kGalleryPages) {
    HWND page = run.WaitForPage(0, previous);
    ASSERT_NE(page, nullptr) << "page " << id;
    std::u16string name = u"page_" + TextFromUtf8(std::to_string(id)) + u"_" + TextFromUtf8(std::to_string(dpi)) + u".png";
    EXPECT_TRUE(ScreenshotOfWindow(page, ScreenshotFolder() + name)) << "page " << id;
    RECT rect;
    GetWindowRect(page, &rect);
    EXPECT_LE(rect.right, GetSystemMetrics(SM_CXSCREEN)) << "page " << id << " fits the screen";
    EXPECT_LE(rect.bottom, GetSystemMetrics(SM_CYSCREEN)) << "page " << id << " fits the screen";
    PostMessageW(page, WM_COMMAND, IDOK, 0);
    previous = page;
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(page); })) << "page " << id;
  }
  EXPECT_EQ(run.Finish(), 6u) << "the gallery completes nothing";
}

}  // namespace wizard_test
