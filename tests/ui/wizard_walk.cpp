// wizard_walk SETUP.EXE FOLDER: runs an installer with its wizard and walks through it as a user who
// accepts every default would: on each page it saves a screenshot (FOLDER\NN_<page>.png), ticks the
// licence agreement, and presses Next or Finish; the progress page is only photographed. Prints one
// line per page and ends with the installer's exit code (1 when a page did not come or go).
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

#include "resources/dialog_ids.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/ui/screenshot.h"

using namespace test_support;

namespace {

constexpr DWORD kPageWaitMs = 120000;

struct Search {
  DWORD process;
  const std::set<HWND>* seen;
  HWND found;
};

// A visible top-level window of the installer with a wizard button on it: a page.
BOOL CALLBACK FindPage(HWND window, LPARAM argument) {
  auto* search = reinterpret_cast<Search*>(argument);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process || search->seen->count(window) || !IsWindowVisible(window)) return TRUE;
  if (!GetDlgItem(window, IDC_NEXT) && !GetDlgItem(window, IDC_FINISH) && !GetDlgItem(window, IDCANCEL)) return TRUE;
  search->found = window;
  return FALSE;
}

// The next page not seen before; null when the installer ended or no page came in time.
HWND NextPage(const PROCESS_INFORMATION& process, const std::set<HWND>& seen) {
  Search search{process.dwProcessId, &seen, nullptr};
  for (DWORD waited = 0; waited < kPageWaitMs; waited += 100) {
    EnumWindows(FindPage, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      Sleep(500);  // let it paint
      return search.found;
    }
    if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

const char* PageName(HWND page) {
  struct Kind {
    int control;
    const char* name;
  } kinds[] = {{IDC_WELCOME_PUBLISHER, "welcome"}, {IDC_LICENSE_AGREE, "license"}, {IDC_OPTIONS_TREE, "options"},
               {IDC_PROGRESS_MAIN_TEXT, "progress"},     {IDC_COMPLETED_START, "finish"}, {IDC_INFORMATION_TEXT, "readme"}};
  for (const Kind& kind : kinds)
    if (GetDlgItem(page, kind.control)) return kind.name;
  return "page";
}

bool Enabled(HWND page, int control) {
  HWND button = GetDlgItem(page, control);
  return button && IsWindowEnabled(button);
}

// Ticks the agreement when there is one and presses Next or Finish once it is enabled; false on the
// progress page.
bool GoOn(HWND page) {
  if (GetDlgItem(page, IDC_PROGRESS_MAIN_TEXT)) return false;
  if (HWND agree = GetDlgItem(page, IDC_LICENSE_AGREE)) {
    if (SendMessageW(agree, BM_GETCHECK, 0, 0) != BST_CHECKED) PostMessageW(agree, BM_CLICK, 0, 0);
  }
  for (int control : {IDC_NEXT, IDC_FINISH}) {
    if (!GetDlgItem(page, control)) continue;
    for (int i = 0; i < 100 && !Enabled(page, control); ++i) Sleep(50);
    PostMessageW(GetDlgItem(page, control), BM_CLICK, 0, 0);
    return true;
  }
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: wizard_walk SETUP.EXE FOLDER\n");
    return 2;
  }
  SetProcessDPIAware();  // screen coordinates in pixels, as the installer's own windows use them
  std::u16string setup = reinterpret_cast<const char16_t*>(argv[1]);
  std::u16string folder = reinterpret_cast<const char16_t*>(argv[2]);
  CreateDirectoryW(argv[2], nullptr);
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!StartProgram(u"\"" + setup + u"\"", reinterpret_cast<const char16_t*>(temp), &startup, FALSE, &process)) {
    fprintf(stderr, "wizard_walk: cannot start the installer (error %lu)\n", GetLastError());
    return 1;
  }
  std::set<HWND> seen;
  HWND page;
  for (int number = 1; (page = NextPage(process, seen)) != nullptr; ++number) {
    seen.insert(page);
    char name[64];
    snprintf(name, sizeof name, "%02d_%s.png", number, PageName(page));
    bool saved = ScreenshotOfWindow(page, folder + u"\\" + std::u16string(name, name + strlen(name)));
    printf("wizard_walk: page %d, %s%s\n", number, PageName(page), saved ? "" : " (no screenshot)");
    fflush(stdout);
    // A page with Next or Finish is left by pressing it; the progress page stays while the next
    // page comes over it.
    if (GoOn(page))
      for (int i = 0; i < 200 && IsWindow(page) && IsWindowVisible(page); ++i) Sleep(50);
  }
  DWORD code = FinishProgram(&process, kPageWaitMs);
  printf("wizard_walk: the installer ended with exit code %ld\n", long(code));
  return code == STILL_ACTIVE ? 1 : int(code);
}
