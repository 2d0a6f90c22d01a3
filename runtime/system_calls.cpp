#include "runtime/system_calls.h"

#include "runtime/long_path.h"

namespace {

// The system's functions with their paths in the long form where the plain one is too short.
HANDLE WINAPI LongCreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE model) {
  return ::CreateFileW(LongPathArgument(path).path, access, share, security, disposition, flags, model);
}
BOOL WINAPI LongSetFileAttributesW(LPCWSTR path, DWORD attributes) {
  return ::SetFileAttributesW(LongPathArgument(path).path, attributes);
}
BOOL WINAPI LongMoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
  LongPathArgument source(from), target(to);
  // The system records a move at the next restart as a native path whichever form it gets; the
  // plain form keeps the record as it always was.
  if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) return ::MoveFileExW(from, to, flags);
  return ::MoveFileExW(source.path, target.path, flags);
}
BOOL WINAPI LongCopyFileW(LPCWSTR from, LPCWSTR to, BOOL fail_if_exists) {
  return ::CopyFileW(LongPathArgument(from).path, LongPathArgument(to).path, fail_if_exists);
}
BOOL WINAPI LongDeleteFileW(LPCWSTR path) { return ::DeleteFileW(LongPathArgument(path).path); }
BOOL WINAPI LongCreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security) {
  return ::CreateDirectoryW(LongPathArgument(path).path, security);
}
BOOL WINAPI LongRemoveDirectoryW(LPCWSTR path) { return ::RemoveDirectoryW(LongPathArgument(path).path); }

const SystemCalls kNative = {
    LongCreateFileW,         // CreateFileW
    ::WriteFile,             // WriteFile
    ::SetFileTime,           // SetFileTime
    LongSetFileAttributesW,  // SetFileAttributesW
    LongMoveFileExW,         // MoveFileExW
    LongCopyFileW,           // CopyFileW
    LongDeleteFileW,         // DeleteFileW
    LongCreateDirectoryW,    // CreateDirectoryW
    LongRemoveDirectoryW,    // RemoveDirectoryW
    ::RegCreateKeyExW,     // RegCreateKeyExW
    ::RegSetValueExW,      // RegSetValueExW
    ::RegDeleteValueW,     // RegDeleteValueW
    ::RegDeleteKeyExW,     // RegDeleteKeyExW
    ::RegDeleteTreeW,      // RegDeleteTreeW
};

const SystemCalls* g_calls = &kNative;

}  // namespace

const SystemCalls& Sys() { return *g_calls; }
const SystemCalls& SystemCallsNative() { return kNative; }
void SystemCallsOverride(const SystemCalls* calls) { g_calls = calls ? calls : &kNative; }

bool CreateFileWrites(DWORD access, DWORD disposition) {
  constexpr DWORD kWriteAccess = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA |
                                 FILE_WRITE_ATTRIBUTES | FILE_WRITE_EA | DELETE | WRITE_DAC | WRITE_OWNER;
  return (access & kWriteAccess) || disposition != OPEN_EXISTING;
}
