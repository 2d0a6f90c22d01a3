#include "ui/progress_window.h"

#include <commctrl.h>

#include "resources/dialog_ids.h"
#include "resources/string_ids.h"
#include "runtime/message_pump.h"
#include "session/session_state.h"
#include "session/session_window.h"
#include "ui/dialog_template.h"
#include "ui/string_table.h"
#include "ui/window_placement.h"

namespace {

constexpr UINT_PTR kTimedTimer = 0x4ACE;
constexpr UINT_PTR kEndlessTimer = 0x4ACF;
constexpr int32_t kTimedStep = 204;
constexpr int32_t kEndlessStep = 51;
constexpr UINT kEndlessInterval = 500;
constexpr UINT kShortestInterval = 10;
constexpr size_t kTextCapacity = 512;

ProgressWindow* RecordOf(HWND window) {
  return reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, DWLP_USER));
}

void ShowPosition(HWND dialog, ProgressWindow* progress, int32_t position) {
  progress->position = position;
  SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, WPARAM(position), 0);
}

void Initialise(HWND dialog, ProgressWindow* progress) {
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(progress));
  progress->window = dialog;
  WindowPlace(dialog, kPlacementCentre, kPlaceInsideWorkArea);
  SessionState* s = SessionCurrent();
  if (s) SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(SessionText(s->title)));
  char16_t text[kTextCapacity];
  StringLoad(progress->text_id, SessionLanguage(), text, text + kTextCapacity - 1);
  SetDlgItemTextW(dialog, IDC_PROGRESS_TEXT, reinterpret_cast<const wchar_t*>(text));
  SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, kProgressWindowRange);
  ShowPosition(dialog, progress, progress->position);
  if (progress->duration_ms) {
    UINT interval = progress->duration_ms / 5;
    SetTimer(dialog, kTimedTimer, interval < kShortestInterval ? kShortestInterval : interval, nullptr);
  }
  if (!progress->modal) ModelessPush(dialog);
}

// A timed window whose bar passed the end: a modal one ends with 2, a modeless one goes.
void TimedStep(HWND dialog, ProgressWindow* progress) {
  int32_t position = progress->position + kTimedStep;
  if (position <= kProgressWindowRange) {
    ShowPosition(dialog, progress, position);
    return;
  }
  KillTimer(dialog, kTimedTimer);
  if (progress->modal) EndDialog(dialog, IDCANCEL);
  else DestroyWindow(dialog);
}

void AddAmount(HWND dialog, ProgressWindow* progress, uint64_t amount) {
  progress->done += amount;
  uint64_t position = progress->total ? progress->done * kProgressWindowRange / progress->total : 0;
  ShowPosition(dialog, progress, position > kProgressWindowRange ? kProgressWindowRange : int32_t(position));
}

INT_PTR Result(HWND dialog, LRESULT result) {
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    Initialise(dialog, reinterpret_cast<ProgressWindow*>(lParam));
    return TRUE;
  }
  ProgressWindow* progress = RecordOf(dialog);
  if (!progress) return FALSE;
  switch (message) {
    case WM_TIMER:
      if (wParam == kTimedTimer) TimedStep(dialog, progress);
      else if (wParam == kEndlessTimer) ShowPosition(dialog, progress, (progress->position + kEndlessStep) % (kProgressWindowRange + 1));
      return TRUE;
    case kProgressWindowStep:
      ShowPosition(dialog, progress, (progress->position + 1) % (kProgressWindowRange + 1));
      return Result(dialog, progress->result);
    case kProgressWindowPosition:
      ShowPosition(dialog, progress, int32_t(wParam));
      return Result(dialog, progress->result);
    case kProgressWindowResult:
      progress->result = LRESULT(wParam);
      return Result(dialog, progress->result);
    case kProgressWindowTotal:
      progress->total = *reinterpret_cast<const uint64_t*>(lParam);
      return Result(dialog, progress->result);
    case kProgressWindowAmount:
      AddAmount(dialog, progress, *reinterpret_cast<const uint64_t*>(lParam));
      return Result(dialog, progress->result);
    case kProgressWindowEndless:
      SetTimer(dialog, kEndlessTimer, kEndlessInterval, nullptr);
      return Result(dialog, progress->result);
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) progress->cancelled = true;
      return TRUE;
    case WM_NCDESTROY:
      ModelessRemove(dialog);
      progress->window = nullptr;
      return FALSE;
  }
  return FALSE;
}

bool Silent() {
  SessionState* s = SessionCurrent();
  return s && SessionQuietLevel(s) >= 2;
}

ProgressWindow g_verification;

}  // namespace

HWND ProgressWindowShow(HWND owner, ProgressWindow* progress) {
  if (Silent()) return nullptr;
  progress->modal = false;
  HWND window = DialogCreateModeless(IDD_PROGRESS, Procedure, kLayoutFollowSession, owner,
                                     reinterpret_cast<LPARAM>(progress));
  if (window) SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
  return window;
}

INT_PTR ProgressWindowRun(HWND owner, ProgressWindow* progress) {
  if (Silent()) return -1;
  progress->modal = true;
  return DialogRunModal(IDD_PROGRESS, Procedure, kLayoutFollowSession, owner, reinterpret_cast<LPARAM>(progress));
}

uint32_t ProgressWindowVerify(uint32_t code, uint64_t amount) {
  ProgressWindow* progress = &g_verification;
  switch (code) {
    case 1:
      if (progress->window) DestroyWindow(progress->window);
      *progress = ProgressWindow{IDS_VERIFYING, 0, false, false, 0, amount, 0, 0, nullptr};
      ProgressWindowShow(nullptr, progress);
      break;
    case 2:
      if (progress->window) SendMessageW(progress->window, kProgressWindowAmount, 0, reinterpret_cast<LPARAM>(&amount));
      PumpPendingMessages();
      break;
    case 3:
      if (progress->window) DestroyWindow(progress->window);
      break;
  }
  return progress->cancelled ? ERROR_CANCELLED : 0;
}
