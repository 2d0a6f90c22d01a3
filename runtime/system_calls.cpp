#include "runtime/system_calls.h"

namespace {

const SystemCalls kNative = {
    ::CreateFileW,         // CreateFileW
    ::WriteFile,           // WriteFile
    ::SetFileTime,         // SetFileTime
    ::SetFileAttributesW,  // SetFileAttributesW
    ::MoveFileExW,         // MoveFileExW
    ::CopyFileW,           // CopyFileW
    ::DeleteFileW,         // DeleteFileW
    ::CreateDirectoryW,    // CreateDirectoryW
    ::RemoveDirectoryW,    // RemoveDirectoryW
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
