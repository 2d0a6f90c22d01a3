#include "runtime/fault_guard.h"

#include <windows.h>
#ifndef _WIN64
#include <intrin.h>
#endif

#include "runtime/image_check.h"
#include "runtime/log.h"
#include "runtime/process_context.h"
#include "runtime/run_control.h"
#include "runtime/runtime_message_box.h"
#include "runtime/trace.h"

struct FaultGuard {
  void* jump[5];        // __builtin_setjmp buffer
  FaultGuard* outer;
#ifndef _WIN64
  DWORD handler_chain;  // head of the thread's exception-registration chain at the guard
#endif
};

namespace {

constexpr char16_t kFaultMessage[] = u"Runtime error - terminating.\r\n";
constexpr int kMaximumConsoleBytes = 512;

void Report() {
  ProcessContext* process = Process();
  if (process && process->subsystem_kind == kSubsystemKindConsole) {
    char bytes[kMaximumConsoleBytes];
    int count = WideCharToMultiByte(process->console_code_page, 0, reinterpret_cast<const wchar_t*>(kFaultMessage),
                                    -1, bytes, kMaximumConsoleBytes, nullptr, nullptr);
    DWORD written;
    if (count > 1) WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes, DWORD(count - 1), &written, nullptr);
  } else if (!RunControlCurrent()->unattended()) {
    RuntimeMessageBox(nullptr, MB_ICONERROR | kRuntimeBoxUnformatted, kFaultMessage);
  }
}

LONG WINAPI LastResortFilter(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  Trace(TR("E0001"), u"0x%08lX|0x%08lX|%p", uint32_t(record->ExceptionCode), uint32_t(record->ExceptionFlags),
        record->ExceptionAddress);
  RunControlCurrent()->record_exit_code(-1);
  Report();
  ThreadContext* thread = ThreadCurrent();
  if (thread && thread->fault_guard) __builtin_longjmp(thread->fault_guard->jump, 1);
  LogClose();
  TerminateProcess(GetCurrentProcess(), UINT(-1));
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

__attribute__((noinline)) bool RuntimeGuardedCall(GuardedFunction function, void* context, intptr_t* result) {
  ThreadContext* thread = ThreadCurrent();
  if (!thread) {
    *result = function(context);
    return true;
  }
  FaultGuard guard;
  guard.outer = thread->fault_guard;
#ifndef _WIN64
  guard.handler_chain = __readfsdword(0);
#endif
  thread->fault_guard = &guard;
  if (__builtin_setjmp(guard.jump) == 0) {
    *result = function(context);
    thread->fault_guard = guard.outer;
    return true;
  }
  // Resumed by the filter: the abandoned frames' exception registrations go with them.
#ifndef _WIN64
  __writefsdword(0, guard.handler_chain);
#endif
  thread = ThreadCurrent();
  thread->fault_guard = guard.outer;
  *result = 0;
  return false;
}

void FaultHandlerInstall() { SetUnhandledExceptionFilter(LastResortFilter); }
