// Windows side of the platform services.
#include <windows.h>

#include <cstring>

#include "runtime/heap.h"
#include "runtime/platform.h"
#include "runtime/system_calls.h"

namespace {

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
HANDLE H(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
uint64_t U64(FILETIME t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

uint32_t Open(const char16_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags, FileHandle* file) {
  HANDLE h = Sys().CreateFileW(W(path), access, share, nullptr, disposition, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  *file = reinterpret_cast<FileHandle>(h);
  return ERROR_SUCCESS;
}

}  // namespace

uint64_t PlatformNowFileTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return U64(now);
}

uint32_t PlatformLastError() { return GetLastError(); }
void PlatformSetLastError(uint32_t error) { SetLastError(error); }

uint32_t FileOpenRead(const char16_t* path, uint32_t flags, FileHandle* file) {
  DWORD attributes = FILE_ATTRIBUTE_NORMAL | ((flags & kFileSequential) ? FILE_FLAG_SEQUENTIAL_SCAN : 0);
  return Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, attributes, file);
}

uint32_t FileCreateWrite(const char16_t* path, uint32_t flags, FileHandle* file) {
  DWORD share = (flags & kFileShareRead) ? FILE_SHARE_READ : 0;
  return Open(path, GENERIC_WRITE, share, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, file);
}

uint32_t FileOpenReadWrite(const char16_t* path, FileHandle* file) {
  return Open(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, file);
}

uint32_t FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* got) {
  DWORD n = 0;
  *got = 0;
  if (!ReadFile(H(file), buffer, count, &n, nullptr)) return GetLastError();
  *got = n;
  return ERROR_SUCCESS;
}

// A write that stops short is continued, so that the reason it stopped (a full disk: 112) is the
// one reported.
uint32_t FileWrite(FileHandle file, const void* buffer, uint32_t count) {
  const auto* next = static_cast<const BYTE*>(buffer);
  while (count) {
    DWORD n = 0;
    if (!Sys().WriteFile(H(file), next, count, &n, nullptr)) return GetLastError();
    if (n == 0) return ERROR_WRITE_FAULT;
    next += n;
    count -= n;
  }
  return ERROR_SUCCESS;
}

uint32_t FileSeek(FileHandle file, uint64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = LONGLONG(position);
  return SetFilePointerEx(H(file), to, nullptr, FILE_BEGIN) ? ERROR_SUCCESS : GetLastError();
}

uint32_t FileSize(FileHandle file, uint64_t* size) {
  LARGE_INTEGER n;
  if (!GetFileSizeEx(H(file), &n)) return GetLastError();
  *size = uint64_t(n.QuadPart);
  return ERROR_SUCCESS;
}

uint32_t FileSetLastWriteTime(FileHandle file, uint64_t filetime) {
  FILETIME t{DWORD(filetime), DWORD(filetime >> 32)};
  return Sys().SetFileTime(H(file), nullptr, nullptr, &t) ? ERROR_SUCCESS : GetLastError();
}

uint32_t FileClose(FileHandle file) { return CloseHandle(H(file)) ? ERROR_SUCCESS : GetLastError(); }

uint32_t FileGetAttributes(const char16_t* path, uint32_t* attributes) {
  DWORD a = GetFileAttributesW(W(path));
  if (a == INVALID_FILE_ATTRIBUTES) return GetLastError();
  *attributes = a;
  return ERROR_SUCCESS;
}

uint32_t FileSetAttributes(const char16_t* path, uint32_t attributes) {
  return Sys().SetFileAttributesW(W(path), attributes) ? ERROR_SUCCESS : GetLastError();
}

uint32_t FileGetFacts(const char16_t* path, FileFacts* facts) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(W(path), GetFileExInfoStandard, &data)) return GetLastError();
  facts->attributes = data.dwFileAttributes;
  facts->creation_time = U64(data.ftCreationTime);
  facts->last_write_time = U64(data.ftLastWriteTime);
  facts->size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return ERROR_SUCCESS;
}

uint32_t FileDelete(const char16_t* path) { return Sys().DeleteFileW(W(path)) ? ERROR_SUCCESS : GetLastError(); }

uint32_t FileReplace(const char16_t* from, const char16_t* to) {
  return Sys().MoveFileExW(W(from), W(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? ERROR_SUCCESS
                                                                                             : GetLastError();
}

uint32_t PlatformGetEnvironment(const char16_t* name, char16_t* buffer, uint32_t capacity) {
  if (capacity) buffer[0] = 0;
  DWORD n = GetEnvironmentVariableW(W(name), reinterpret_cast<wchar_t*>(buffer), capacity);
  if (n == 0) {
    if (capacity) buffer[0] = 0;
    return 0;
  }
  return n < capacity ? n : n - 1;  // too small: n counts the NUL as well
}

void PlatformSetEnvironment(const char16_t* name, const char16_t* value) { SetEnvironmentVariableW(W(name), W(value)); }

uint32_t PlatformAnsiToText(const char* bytes, uint32_t count, char16_t* out, uint32_t capacity) {
  if (!count || !capacity) return 0;
  auto* wide = reinterpret_cast<wchar_t*>(out);
  int needed = MultiByteToWideChar(CP_ACP, 0, bytes, int(count), nullptr, 0);
  if (needed <= 0) return 0;
  if (uint32_t(needed) <= capacity) return uint32_t(MultiByteToWideChar(CP_ACP, 0, bytes, int(count), wide, needed));
  auto* all = static_cast<wchar_t*>(MemAlloc(size_t(needed) * sizeof(wchar_t)));
  if (!all) return 0;
  MultiByteToWideChar(CP_ACP, 0, bytes, int(count), all, needed);
  memcpy(out, all, capacity * sizeof(char16_t));
  MemFree(all);
  return capacity;
}

uint32_t PlatformTextToAnsi(const char16_t* text, uint32_t count, char* out, uint32_t capacity) {
  if (!count || !capacity) return 0;
  const auto* wide = reinterpret_cast<const wchar_t*>(text);
  int needed = WideCharToMultiByte(CP_ACP, 0, wide, int(count), nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return 0;
  if (uint32_t(needed) <= capacity)
    return uint32_t(WideCharToMultiByte(CP_ACP, 0, wide, int(count), out, needed, nullptr, nullptr));
  auto* all = static_cast<char*>(MemAlloc(size_t(needed)));
  if (!all) return 0;
  WideCharToMultiByte(CP_ACP, 0, wide, int(count), all, needed, nullptr, nullptr);
  memcpy(out, all, capacity);
  MemFree(all);
  return capacity;
}
