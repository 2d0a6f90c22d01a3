// c015 link text: a static whose text is "display text, line feed, target". It shows the hand
// cursor and takes clicks; a click opens the target with the shell, or, for a text without a
// target (no line feed, or nothing after it), sends the dialog a command as a button would. The
// reflected click command sends event 4.
#include <windows.h>

#include <shellapi.h>

#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/dialog_messages.h"

namespace {

constexpr int kTextCapacity = 389;  // 388 characters and the terminator

void SetHandCursor() {
  HCURSOR cursor = LoadCursorW(nullptr, IDC_HAND);
  SetCursor(cursor ? cursor : LoadCursorW(nullptr, IDC_ARROW));
}

void Click(ControlInstance* instance) {
  HWND window = instance->window;
  wchar_t text[kTextCapacity] = L"";
  GetWindowTextW(window, text, kTextCapacity);
  const wchar_t* feed = wcschr(text, L'\n');
  if (feed && feed[1]) {
    ShellExecuteW(window, L"open", feed + 1, nullptr, nullptr, SW_SHOWNORMAL);
    return;
  }
  int id = GetDlgCtrlID(window);
  SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), reinterpret_cast<LPARAM>(window));
}

int Handler(ControlInstance* instance, void*, uint32_t message, uintptr_t wParam, intptr_t, intptr_t* result) {
  switch (message) {
    case WM_SETCURSOR:
      SetHandCursor();
      *result = TRUE;
      return 1;
    case WM_NCHITTEST:
      *result = HTCLIENT;
      return 1;
    case WM_LBUTTONDOWN:
      // The click is the release; a static that notifies would report the press as a second click.
      *result = 0;
      return 1;
    case WM_LBUTTONUP:
    case BM_CLICK:
      Click(instance);
      *result = 0;
      return 1;
    case kReflectedCommand:
      // Only clicks: a notifying static also reports being enabled and disabled.
      if (HIWORD(wParam) != STN_CLICKED) return 0;
      *result = ControlSendEvent(instance, kEventClicked, 0, 0);
      return 1;
  }
  return 0;
}

}  // namespace

const ControlMethods kLinkTextMethods = {
    Handler,  // handler
    nullptr,  // set-from-text
};
