// The invisible main window QELWNDW: it owns the run's message loop, starts the run when it
// receives 0x80C1 and answers the system's session messages.
#pragma once
#include <windows.h>

constexpr UINT kMainWindowStart = 0x80C1;    // run the top-level sequences and the finalisation
constexpr UINT kMainWindowCentre = 0x80C2;   // wParam 0, lParam a RECT*: centre the window on it
constexpr UINT kConditionRefresh = 0x80C3;   // sent to controls when conditions are re-evaluated
constexpr wchar_t kMainWindowClass[] = L"QELWNDW";

// What 0x80C1 runs (the session's top-level sequences and finalisation).
using MainWindowStart = void (*)(HWND window);

// Registers the class (style 0x4000, 4 extra bytes, icon 1, arrow cursor, window colour); false
// with the thread's last error when that fails.
bool MainWindowRegisterClass(MainWindowStart start);
void MainWindowUnregisterClass();

// Creates the window: the title as caption, pop-up style, no size, no owner; shown normally and
// brought to the foreground unless `show_command` is SW_HIDE. Null on failure.
HWND MainWindowCreate(const char16_t* title, int show_command);
