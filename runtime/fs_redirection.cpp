#include "runtime/fs_redirection.h"

#include <windows.h>

#include "runtime/proc_address.h"

namespace {

using DisableProc = BOOL(WINAPI*)(PVOID*);
using RevertProc = BOOL(WINAPI*)(PVOID);

struct Functions {
  DisableProc disable;
  RevertProc revert;
};

const Functions& Resolve() {
  static const Functions functions = [] {
    Functions f{};
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    f.disable = ProcAddress<DisableProc>(kernel, "Wow64DisableWow64FsRedirection");
    f.revert = ProcAddress<RevertProc>(kernel, "Wow64RevertWow64FsRedirection");
    return f;
  }();
  return functions;
}

// Thread-local access may go through TlsGetValue, which clears the last-error value: the callers'
// value is saved before any of them is touched.
thread_local int t_depth;
thread_local PVOID t_saved;
thread_local bool t_switched;

}  // namespace

void FsRedirectionOff() {
  DWORD lastError = GetLastError();
  if (t_depth++ == 0) {
    const Functions& f = Resolve();
    t_switched = f.disable && f.revert && f.disable(&t_saved);
  }
  SetLastError(lastError);
}

void FsRedirectionRestore() {
  DWORD lastError = GetLastError();
  if (t_depth > 0 && --t_depth == 0) {
    if (t_switched) Resolve().revert(t_saved);
    t_switched = false;
  }
  SetLastError(lastError);
}
