#include "ui/message_box.h"

#include <commctrl.h>

#include "runtime/heap.h"
#include "runtime/message_pump.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "session/session_window.h"
#include "ui/string_table.h"
#include "ui/window_placement.h"

namespace {

constexpr uint32_t kPrivateFlags = kMessageSubstitute | kMessageUnformatted;
constexpr uint32_t kRightToLeft = MB_RIGHT | MB_RTLREADING;
constexpr UINT_PTR kSubclassId = 0x51E1;
constexpr uint32_t kFirstCaption = 63;   // the caption of button n is text 63 + n
constexpr int kLastCaptionedButton = 11;

MessageSubstituteHook g_substitute;

// One shown box, from the hook that finds its window to its destruction.
struct BoxCall {
  uint32_t style;
  int default_result;
  uint32_t timeout;
  uint16_t language;
  HWND box;
  BoxCall* outer;   // a box shown while another one of this thread is up
};

thread_local BoxCall* t_call;

LRESULT CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* call = reinterpret_cast<BoxCall*>(data);
  switch (message) {
    case WM_INITDIALOG: {
      LRESULT result = DefSubclassProc(box, message, wParam, lParam);
      WindowPlace(box, kPlacementCentre, kPlaceInsideWorkArea);
      MessageButtonsLocalise(box, call->style, call->language);
      if (call->timeout) SetTimer(box, kMessageTimerId, call->timeout, nullptr);
      return result;
    }
    case WM_TIMER:
      if (wParam != kMessageTimerId) break;
      KillTimer(box, kMessageTimerId);
      EndDialog(box, call->default_result);
      return 0;
    case WM_NCDESTROY:
      KillTimer(box, kMessageTimerId);
      RemoveWindowSubclass(box, BoxProc, kSubclassId);
      break;
  }
  return DefSubclassProc(box, message, wParam, lParam);
}

// Subclasses the first dialog window the current call creates.
LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
  BoxCall* call = t_call;
  if (code == HCBT_CREATEWND && call && !call->box) {
    auto window = reinterpret_cast<HWND>(wParam);
    wchar_t name[16];
    if (GetClassNameW(window, name, 16) && lstrcmpW(name, L"#32770") == 0) {
      call->box = window;
      SetWindowSubclass(window, BoxProc, kSubclassId, reinterpret_cast<DWORD_PTR>(call));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

int Show(const SessionState* session, HWND owner, uint32_t flags, int defaultResult, uint32_t timeout,
         const char16_t* text) {
  uint32_t style = flags & ~kPrivateFlags;
  if (session && session->right_to_left) style |= kRightToLeft;
  if (!owner) owner = ModelessActive();
  if (!owner && session) owner = static_cast<HWND>(session->main_window);
  BoxCall call{style, defaultResult, timeout, SessionLanguage(), nullptr, t_call};
  t_call = &call;
  HHOOK hook = SetWindowsHookExW(WH_CBT, CreationHook, nullptr, GetCurrentThreadId());
  const char16_t* title = session ? SessionText(session->title) : kLibraryName;
  int result = MessageBoxW(owner, reinterpret_cast<const wchar_t*>(text), reinterpret_cast<const wchar_t*>(title),
                           style);
  if (hook) UnhookWindowsHookEx(hook);
  t_call = call.outer;
  return result;
}

}  // namespace

void MessageButtonsLocalise(HWND window, uint32_t style, uint16_t language) {
  char16_t caption[64];
  for (int id = 1; id <= kLastCaptionedButton; ++id) {
    HWND button = GetDlgItem(window, id);
    if (!button) continue;
    int textId = ((style & MB_TYPEMASK) == MB_OK && id == IDCANCEL) ? IDOK : id;
    StringLoad(kFirstCaption + uint32_t(textId), language, caption, caption + 63);
    if (caption[0]) SetWindowTextW(button, reinterpret_cast<const wchar_t*>(caption));
  }
}

void MessageBoxSetSubstituteHook(MessageSubstituteHook hook) { g_substitute = hook; }

int QelShowMessageBoxV(HWND owner, uint32_t flags, int defaultResult, uint32_t timeoutMs, const char16_t* text,
                       va_list args) {
  size_t bytes = kMessageTextCapacity * sizeof(char16_t);
  auto* first = static_cast<char16_t*>(MemAlloc(bytes));
  auto* second = static_cast<char16_t*>(MemAlloc(bytes));
  if (!first || !second) {
    MemFree(first);
    MemFree(second);
    Trace(TR("E3200"), u"%s", u"QelShowMessageBoxV");
    return defaultResult;
  }
  const SessionState* session = SessionCurrent();
  uint16_t language = SessionLanguage();
  char16_t* loadInto = (flags & kMessageUnformatted) ? second : first;
  char16_t* last = loadInto + kMessageTextCapacity - 1;
  if (reinterpret_cast<uintptr_t>(text) < 0x10000) StringLoad(uint32_t(reinterpret_cast<uintptr_t>(text)), language, loadInto, last);
  else TextCopy(loadInto, last, text);
  if (!(flags & kMessageUnformatted)) TextFormatV(second, second + kMessageTextCapacity - 1, first, args);
  const char16_t* shown = second;
  if ((flags & kMessageSubstitute) && g_substitute) {
    g_substitute(second, first, first + kMessageTextCapacity - 1);
    shown = first;
  }
  int result = defaultResult;
  if (!session || session->quiet_level == 0) result = Show(session, owner, flags, defaultResult, timeoutMs, shown);
  Trace(TR("I0013"), u"%s|0x%08X|%d", shown, flags, result);
  MemFree(first);
  MemFree(second);
  return result;
}

int QelShowMessageBox(HWND owner, uint32_t flags, int defaultResult, uint32_t timeoutMs, const char16_t* text, ...) {
  va_list args;
  va_start(args, text);
  int result = QelShowMessageBoxV(owner, flags, defaultResult, timeoutMs, text, args);
  va_end(args);
  return result;
}
