#include "runtime/message_pump.h"

#include "runtime/fault_guard.h"
#include "runtime/modeless_stack.h"
#include "runtime/run_control.h"

namespace {

ModelessStack g_modeless;

// Handles one message; false for the quit message.
bool Handle(MSG* msg) {
  if (msg->message == WM_QUIT) {
    RunControlCurrent()->record_exit_code(int32_t(msg->wParam));
    RunControlCurrent()->request_quit();
    return false;
  }
  if (msg->message == WM_TIMER) {
    DispatchMessageW(msg);
  } else if (msg->hwnd) {
    HWND dialog = ModelessActive();
    if (!dialog || !IsDialogMessageW(dialog, msg)) {
      TranslateMessage(msg);
      DispatchMessageW(msg);
    }
  }
  return true;
}

intptr_t PumpUnguarded(void*) {
  uint32_t count = 0;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ++count;
    if (!Handle(&msg)) break;
  }
  return intptr_t(count);
}

}  // namespace

uint32_t PumpPendingMessages() {
  intptr_t count = 0;
  if (!RuntimeGuardedCall(PumpUnguarded, nullptr, &count)) RunControlCurrent()->request_quit();
  return uint32_t(count);
}

void RunMainLoop() {
  const RunControl* run = RunControlCurrent();
  while (!run->quit_requested()) {
    if (PumpPendingMessages() == 0 && !run->quit_requested() && !WaitMessage()) {
      run->record_exit_code(-1);
      run->request_quit();
    }
  }
}

void WaitAndPump(uint32_t milliseconds) {
  DWORD start = GetTickCount();
  const RunControl* run = RunControlCurrent();
  while (!run->quit_requested()) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= milliseconds) break;
    DWORD woken = MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    if (woken != WAIT_OBJECT_0) break;
    PumpPendingMessages();
  }
}

void ModelessPush(HWND dialog) { ModelessStackPush(&g_modeless, dialog); }
void ModelessRemove(HWND dialog) { ModelessStackRemove(&g_modeless, dialog); }
HWND ModelessActive() { return static_cast<HWND>(ModelessStackTop(&g_modeless)); }
