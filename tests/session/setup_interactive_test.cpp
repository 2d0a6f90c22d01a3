// Setup.exe with its user interface on a virtual display: the user answers the cancel question
// (action a107) with Yes, and the run ends cancelled.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>

#include "runtime/file_utils.h"
#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tools/kez/project_build.h"

using namespace test_support;

namespace {

struct Search {
  DWORD process;
  HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[16];
  if (process == search->process && GetClassNameW(window, name, 16) && lstrcmpW(name, L"#32770") == 0 &&
      GetDlgItem(window, IDYES)) {
    search->box = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

TEST(SetupInteractive, AnsweringYesToTheCancelQuestionCancelsTheInstallation) {
  wchar_t tempPath[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, tempPath);
  std::u16string root = reinterpret_cast<const char16_t*>(tempPath);
  root += u"setup_gui_e2e";
  FolderDeleteTree(root.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
  CreateDirectoryW(W(root), nullptr);
  std::u16string temp = root + u"\\temp";
  CreateDirectoryW(W(temp), nullptr);
  const char* project = R"({
    "output": {"package": "Setup.exe", "method": "zlib", "level": 1},
    "objects": [
      {"tag": "inst", "name": "installation", "fields": {"product": "Probe", "abort_mask": "0xFFFFFFFF",
        "flags": "0x4", "first_sequence": "@main"}},
      {"tag": "symb", "name": "state", "fields": {"variable_id": 509, "name": "InstallState", "value": "0"}},
      {"tag": "a100", "name": "prepare", "fields": {"name": "Prepare", "progress_text_id": 528}},
      {"tag": "a107", "name": "ask", "fields": {"name": "Ask", "progress_text_id": 535}},
      {"tag": "a101", "name": "complete", "fields": {"name": "Complete", "progress_text_id": 529}},
      {"tag": "aseq", "name": "main", "fields": {"name": "Main", "actions": ["@prepare", "@ask", "@complete"]}}
    ]})";
  ProjectBuildOptions options;
  options.output = root + u"\\out";
  options.runtime = SetupPath();
  options.quiet = true;
  std::string message;
  ASSERT_EQ(ProjectBuild(project, root, options, &message), 0u) << message;

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(StartProgram(u"\"" + root + u"\\out\\Setup.exe\"", temp, &startup, FALSE, &process));
  Search search{process.dwProcessId, nullptr};
  for (int i = 0; i < 600 && !search.box; ++i) {
    Sleep(100);
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
  }
  ASSERT_NE(search.box, nullptr) << "the cancel question appears";
  wchar_t yes[64] = L"";
  GetWindowTextW(GetDlgItem(search.box, IDYES), yes, 64);
  EXPECT_STREQ(yes, L"&Yes") << "the caption comes from the string table";
  PostMessageW(GetDlgItem(search.box, IDYES), BM_CLICK, 0, 0);
  DWORD code = FinishProgram(&process, 120000);
  EXPECT_EQ(code, 5u);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(W(temp + u"\\*.log"), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  std::string log = ReadBytes(temp + u"\\" + reinterpret_cast<const char16_t*>(data.cFileName));
  EXPECT_TRUE(std::regex_search(log, std::regex("QEL:I0013\\|[^|]*\\|The installation of Probe is not complete yet\\.[^\n]*\\|6\n")));
  EXPECT_TRUE(std::regex_search(log, std::regex("QEL:W0001\\|[^|]*\\|-2\\|5\n")));
  EXPECT_TRUE(std::regex_search(log, std::regex("QEL:I0057")));
  FolderDeleteTree(root.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
}
