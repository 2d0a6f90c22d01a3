// The operating-system calls that change the machine: files, folders and the registry. Every piece
// of the runtime that writes to a target (installation operations, working files, the package
// extraction through the platform layer) calls them through this table, so that test builds can
// refuse the N-th write as the system would (fault_injection.h). The product's table holds the
// system's own functions.
#pragma once
#include <windows.h>

struct SystemCalls {
  // Files and folders. CreateFileW counts as a write only when it may create or change a file.
  decltype(&::CreateFileW) CreateFileW;
  decltype(&::WriteFile) WriteFile;
  decltype(&::SetFileTime) SetFileTime;
  decltype(&::SetFileAttributesW) SetFileAttributesW;
  decltype(&::MoveFileExW) MoveFileExW;
  decltype(&::CopyFileW) CopyFileW;
  decltype(&::DeleteFileW) DeleteFileW;
  decltype(&::CreateDirectoryW) CreateDirectoryW;
  decltype(&::RemoveDirectoryW) RemoveDirectoryW;
  // Registry.
  decltype(&::RegCreateKeyExW) RegCreateKeyExW;
  decltype(&::RegSetValueExW) RegSetValueExW;
  decltype(&::RegDeleteValueW) RegDeleteValueW;
  decltype(&::RegDeleteKeyExW) RegDeleteKeyExW;
  decltype(&::RegDeleteTreeW) RegDeleteTreeW;
};

// The table in use.
const SystemCalls& Sys();
// The system's own functions.
const SystemCalls& SystemCallsNative();
// Replaces the table in use (tests and fault injection); null restores the system's.
void SystemCallsOverride(const SystemCalls* calls);

// Whether CreateFileW with these arguments may create or change a file (a write for the counting
// above): any write access, or a disposition other than OPEN_EXISTING.
bool CreateFileWrites(DWORD access, DWORD disposition);
