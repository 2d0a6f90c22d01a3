#include "runtime/fault_injection.h"

#include <windows.h>

#include "runtime/number_parse.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

enum class FaultKind { kNone, kWrite, kAction, kCancelAtWrite, kCancelAtAction };

struct FaultPlan {
  FaultKind kind = FaultKind::kNone;
  uint32_t index = 0;                   // 1-based index of the failing call
  uint32_t error = ERROR_ACCESS_DENIED;
  uint32_t writes = 0;                  // writes counted so far
  uint32_t actions = 0;                 // actions counted so far
};

FaultPlan g_plan;
FaultCancel g_cancel;  // the user's Cancel, answered Yes
bool g_cancelling;     // while g_cancel runs

// Delivers the user's cancel (once); true when the run took it.
bool DeliverCancel(const char16_t* where, uint32_t index) {
  Trace(TR("W1010"), u"cancel|%u|%s|%lu", index, where, 0ul);
  if (!g_cancel) return false;
  g_cancelling = true;
  bool taken = g_cancel();
  g_cancelling = false;
  return taken;
}

// Counts one write; true (with the last-error value set) when it is the one to refuse. A cancel
// planned at this write arrives before it, and the write goes on.
bool WriteRefused(const char16_t* what) {
  ++g_plan.writes;
  if (g_plan.writes == g_plan.index && g_plan.kind == FaultKind::kCancelAtWrite) DeliverCancel(what, g_plan.writes);
  if (g_plan.writes != g_plan.index || g_plan.kind != FaultKind::kWrite) return false;
  Trace(TR("W1010"), u"write|%u|%s|%lu", g_plan.writes, what, g_plan.error);
  SetLastError(g_plan.error);
  return true;
}

const char16_t* U(LPCWSTR text) { return text ? reinterpret_cast<const char16_t*>(text) : u""; }

HANDLE WINAPI CountedCreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE model) {
  if (CreateFileWrites(access, disposition) && WriteRefused(U(path))) return INVALID_HANDLE_VALUE;
  return SystemCallsNative().CreateFileW(path, access, share, security, disposition, flags, model);
}
BOOL WINAPI CountedWriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
  if (WriteRefused(u"WriteFile")) return FALSE;
  return SystemCallsNative().WriteFile(file, buffer, count, written, overlapped);
}
BOOL WINAPI CountedSetFileTime(HANDLE file, const FILETIME* created, const FILETIME* accessed, const FILETIME* written) {
  if (WriteRefused(u"SetFileTime")) return FALSE;
  return SystemCallsNative().SetFileTime(file, created, accessed, written);
}
BOOL WINAPI CountedSetFileAttributesW(LPCWSTR path, DWORD attributes) {
  if (WriteRefused(U(path))) return FALSE;
  return SystemCallsNative().SetFileAttributesW(path, attributes);
}
BOOL WINAPI CountedMoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
  if (WriteRefused(U(from))) return FALSE;
  return SystemCallsNative().MoveFileExW(from, to, flags);
}
BOOL WINAPI CountedCopyFileW(LPCWSTR from, LPCWSTR to, BOOL fail_if_exists) {
  if (WriteRefused(U(to))) return FALSE;
  return SystemCallsNative().CopyFileW(from, to, fail_if_exists);
}
BOOL WINAPI CountedDeleteFileW(LPCWSTR path) {
  if (WriteRefused(U(path))) return FALSE;
  return SystemCallsNative().DeleteFileW(path);
}
BOOL WINAPI CountedCreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security) {
  if (WriteRefused(U(path))) return FALSE;
  return SystemCallsNative().CreateDirectoryW(path, security);
}
BOOL WINAPI CountedRemoveDirectoryW(LPCWSTR path) {
  if (WriteRefused(U(path))) return FALSE;
  return SystemCallsNative().RemoveDirectoryW(path);
}
LSTATUS WINAPI CountedRegCreateKeyExW(HKEY root, LPCWSTR path, DWORD reserved, LPWSTR klass, DWORD options,
                                      REGSAM sam, LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition) {
  if (WriteRefused(U(path))) return LSTATUS(g_plan.error);
  return SystemCallsNative().RegCreateKeyExW(root, path, reserved, klass, options, sam, security, key, disposition);
}
LSTATUS WINAPI CountedRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
  if (WriteRefused(U(name))) return LSTATUS(g_plan.error);
  return SystemCallsNative().RegSetValueExW(key, name, reserved, type, data, size);
}
LSTATUS WINAPI CountedRegDeleteValueW(HKEY key, LPCWSTR name) {
  if (WriteRefused(U(name))) return LSTATUS(g_plan.error);
  return SystemCallsNative().RegDeleteValueW(key, name);
}
LSTATUS WINAPI CountedRegDeleteKeyExW(HKEY key, LPCWSTR path, REGSAM sam, DWORD reserved) {
  if (WriteRefused(U(path))) return LSTATUS(g_plan.error);
  return SystemCallsNative().RegDeleteKeyExW(key, path, sam, reserved);
}
LSTATUS WINAPI CountedRegDeleteTreeW(HKEY key, LPCWSTR path) {
  if (WriteRefused(U(path))) return LSTATUS(g_plan.error);
  return SystemCallsNative().RegDeleteTreeW(key, path);
}

const SystemCalls kCounted = {
    CountedCreateFileW,         // CreateFileW
    CountedWriteFile,           // WriteFile
    CountedSetFileTime,         // SetFileTime
    CountedSetFileAttributesW,  // SetFileAttributesW
    CountedMoveFileExW,         // MoveFileExW
    CountedCopyFileW,           // CopyFileW
    CountedDeleteFileW,         // DeleteFileW
    CountedCreateDirectoryW,    // CreateDirectoryW
    CountedRemoveDirectoryW,    // RemoveDirectoryW
    CountedRegCreateKeyExW,     // RegCreateKeyExW
    CountedRegSetValueExW,      // RegSetValueExW
    CountedRegDeleteValueW,     // RegDeleteValueW
    CountedRegDeleteKeyExW,     // RegDeleteKeyExW
    CountedRegDeleteTreeW,      // RegDeleteTreeW
};

// "KIND:N[:E]" into the plan; false for anything else.
bool ParsePlan(const char16_t* text, FaultPlan* plan) {
  FaultKind kind;
  if (!TextCompareNoCaseN(text, u"write:", 6)) kind = FaultKind::kWrite, text += 6;
  else if (!TextCompareNoCaseN(text, u"action:", 7)) kind = FaultKind::kAction, text += 7;
  else if (!TextCompareNoCaseN(text, u"cancel-write:", 13)) kind = FaultKind::kCancelAtWrite, text += 13;
  else if (!TextCompareNoCaseN(text, u"cancel-action:", 14)) kind = FaultKind::kCancelAtAction, text += 14;
  else return false;
  const char16_t* end = text;
  uint32_t index = NumberParseU32(text, &end);
  if (end == text || index == 0) return false;
  uint32_t error = ERROR_ACCESS_DENIED;
  if (*end == u':' && kind == FaultKind::kWrite) {
    const char16_t* number = end + 1;
    error = NumberParseU32(number, &end);
    if (end == number || error == 0) return false;
  }
  if (*end) return false;
  plan->kind = kind;
  plan->index = index;
  plan->error = error;
  return true;
}

}  // namespace

void FaultInjectionStart() {
  // Counting is on in every run of a test build, so that a run without a fault reports its counts.
  SystemCallsOverride(&kCounted);
  wchar_t text[64];
  DWORD n = GetEnvironmentVariableW(L"SETUP_FAULT", text, 64);
  if (n == 0 || n >= 64) return;
  if (!ParsePlan(reinterpret_cast<const char16_t*>(text), &g_plan))
    Trace(TR("W1012"), u"%s", reinterpret_cast<const char16_t*>(text));
  else
    Trace(TR("I1013"), u"%s", reinterpret_cast<const char16_t*>(text));
}

FaultAtAction FaultInjectionActionDue() {
  if (++g_plan.actions != g_plan.index) return FaultAtAction::kNone;
  if (g_plan.kind == FaultKind::kCancelAtAction)
    return DeliverCancel(u"", g_plan.actions) ? FaultAtAction::kCancelled : FaultAtAction::kNone;
  if (g_plan.kind != FaultKind::kAction) return FaultAtAction::kNone;
  Trace(TR("W1010"), u"action|%u|%s|%lu", g_plan.actions, u"", 0ul);
  return FaultAtAction::kFail;
}

void FaultInjectionSetCancel(FaultCancel cancel) { g_cancel = cancel; }

bool FaultInjectionCancelling() { return g_cancelling; }

void FaultInjectionReport() { Trace(TR("I1011"), u"%u|%u", g_plan.writes, g_plan.actions); }
