// A program that faults on purpose, for the last-resort handler's tests. Its log goes to the
// temporary folder as "<program>.log".
//   fault_probe guarded|unguarded|oom|pump [quiet]
// guarded: an access violation under a guard, then the program returns the recorded exit code;
// unguarded: the same outside any guard; oom: a failing must-succeed allocation under a guard;
// pump: a window procedure faults while the main loop runs. "quiet" marks the run unattended.
#include <windows.h>

#include <cstring>

#include "runtime/fault_guard.h"
#include "runtime/heap.h"
#include "runtime/log.h"
#include "runtime/message_pump.h"
#include "runtime/run_control.h"
#include "runtime/trace.h"
#include "tests/runtime/windows_test_support.h"

namespace {

int* volatile g_null_pointer = nullptr;
bool g_quit, g_quiet;
int32_t g_exit_code;

const RunControl kProbeControl = {
    []() { return g_quit; }, []() { g_quit = true; },
    [](int32_t code) {
      if (!g_exit_code) g_exit_code = code;
    },
    []() { return g_exit_code; }, []() { return g_quiet; }};

intptr_t Fault(void*) {
  *g_null_pointer = 1;
  return 0;
}

intptr_t OutOfMemory(void*) {
  MemAllocFlags(SIZE_MAX / 2, kMemMustSucceed);
  return 0;
}

LRESULT CALLBACK FaultingWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) *g_null_pointer = 1;
  return DefWindowProcW(window, message, wParam, lParam);
}

void RunFaultingLoop() {
  HWND window = test_support::MessageWindow(L"FaultProbe", FaultingWindow);
  PostMessageW(window, WM_APP, 0, 0);
  RunMainLoop();
  DestroyWindow(window);
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "guarded";
  g_quiet = argc > 2 && strcmp(argv[2], "quiet") == 0;
  RunControlInstall(&kProbeControl);
  LogOpen(0);
  Trace(TR("I1001"), u"%hs", mode);
  intptr_t ignored;
  if (strcmp(mode, "guarded") == 0) RuntimeGuardedCall(Fault, nullptr, &ignored);
  else if (strcmp(mode, "unguarded") == 0) Fault(nullptr);
  else if (strcmp(mode, "oom") == 0) RuntimeGuardedCall(OutOfMemory, nullptr, &ignored);
  else if (strcmp(mode, "pump") == 0) RunFaultingLoop();
  Trace(TR("I1002"), u"%d", g_exit_code);
  return g_exit_code;
}
