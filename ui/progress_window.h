// The built-in progress window (template 5): a text line and a bar of range 0-1024, a Cancel button
// that raises the window's cancel flag. Timed windows advance by themselves and end after the
// duration; the package verification shows one while it reads the volumes.
#pragma once
#include <windows.h>

#include <cstdint>

constexpr int32_t kProgressWindowRange = 1024;

// Messages of the window.
enum : UINT {
  kProgressWindowStep = 0x83E8,       // advance by 1, wrapping after 1024
  kProgressWindowPosition = 0x83E9,   // wParam: the position
  kProgressWindowResult = 0x83EA,     // wParam: stored as the window's message result
  kProgressWindowTotal = 0x83EB,      // lParam: a uint64_t* total amount
  kProgressWindowAmount = 0x83EC,     // lParam: a uint64_t* amount done now
  kProgressWindowEndless = 0x83ED,    // the bar advances by 51 every 500 ms and wraps
};

struct ProgressWindow {
  uint32_t text_id;
  uint32_t duration_ms;   // 0: no timer; otherwise the bar advances by 204 every duration / 5
  bool modal;
  bool cancelled;         // the Cancel button was pressed
  int32_t position;
  uint64_t total;
  uint64_t done;
  LRESULT result;
  HWND window;
};

// A modeless window for `window` (filled by the caller with the text id and duration), shown without
// being moved; null at quiet level 2 or more, or when it cannot be created. Destroy it with
// DestroyWindow.
HWND ProgressWindowShow(HWND owner, ProgressWindow* window);
// The modal form: returns its end code (2 when a timed window ran out), or -1.
INT_PTR ProgressWindowRun(HWND owner, ProgressWindow* window);

// The package verification's progress: 1 start (the total), 2 progress (the amount just read), 3 end.
// Returns 1223 once the window's Cancel button was pressed.
uint32_t ProgressWindowVerify(uint32_t code, uint64_t amount);
