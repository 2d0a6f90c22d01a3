#include "ui/main_window.h"

#include "expr/variables.h"
#include "runtime/modules.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "session/subsystem_hooks.h"
#include "ui/window_placement.h"

namespace {

constexpr UINT kClassStyle = 0x4000;  // CS_SAVEBITS
MainWindowStart g_start;

void CentreOn(HWND window, const RECT* rect) {
  RECT own;
  if (!rect || !GetWindowRect(window, &own)) return;
  int x = (rect->left + rect->right) / 2 - (own.right - own.left) / 2;
  int y = (rect->top + rect->bottom) / 2 - (own.bottom - own.top) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT QueryEndSession(WPARAM wParam, LPARAM lParam) {
  Trace(TR("I3211"), u"%08IX|%08IX", wParam, lParam);
  SessionState* s = SessionCurrent();
  if (!s || s->phase < kPhaseRunning || s->phase > kPhaseRolledBack) return TRUE;
  SessionSetRestartNeeded(s, 1);
  return FALSE;
}

void OnTimer(HWND window, WPARAM id) {
  KillTimer(window, id);
  if (id != kVariableRefreshTimer) return;
  if (Hooks()->dialogs.refresh_conditions) Hooks()->dialogs.refresh_conditions();
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      WindowPlace(window, kPlacementCentre, kPlaceInsideWorkArea | kPlaceOnDesktop);
      return 0;
    case kMainWindowStart:
      if (g_start) g_start(window);
      if (IsWindow(window)) PostMessageW(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_CLOSE: {
      SessionState* s = SessionCurrent();
      PostQuitMessage(s ? SessionExitCode(s) : 0);
      return 0;
    }
    case kMainWindowCentre:
      CentreOn(window, reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_QUERYENDSESSION:
      return QueryEndSession(wParam, lParam);
    case WM_ENDSESSION:
      Trace(TR("I3212"), u"%08IX|%08IX", wParam, lParam);
      return 0;
    case WM_TIMER:
      OnTimer(window, wParam);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool MainWindowRegisterClass(MainWindowStart start) {
  g_start = start;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = kClassStyle;
  windowClass.lpfnWndProc = Procedure;
  windowClass.cbWndExtra = 4;
  windowClass.hInstance = ModuleInstance();
  windowClass.hIcon = LoadIconW(ModuleInstance(), MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kMainWindowClass;
  if (RegisterClassExW(&windowClass)) return true;
  Trace(TR("E3213"), u"%s|%lu", u"QELWNDW", GetLastError());
  return false;
}

void MainWindowUnregisterClass() { UnregisterClassW(kMainWindowClass, ModuleInstance()); }

HWND MainWindowCreate(const char16_t* title, int showCommand) {
  HWND window = CreateWindowExW(0, kMainWindowClass, reinterpret_cast<const wchar_t*>(title), WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, ModuleInstance(), nullptr);
  if (!window) {
    Trace(TR("E3214"), u"%lu", GetLastError());
    return nullptr;
  }
  if (showCommand != SW_HIDE) {
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
  }
  return window;
}
