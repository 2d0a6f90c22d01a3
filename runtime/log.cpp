#include "runtime/log.h"

#include <windows.h>

#include "runtime/heap.h"
#include "runtime/locks.h"
#include "runtime/process_context.h"
#include "runtime/random.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

constexpr size_t kStackBytes = 1024;
constexpr size_t kLineCapacity = 2 * kLogPathCapacity;
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

DateTime LocalNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

// Called under lock 0 with the log open.
void WriteLocked(ProcessContext* p, const void* bytes, DWORD count) {
  DWORD written;
  WriteFile(p->log_file, bytes, count, &written, nullptr);
}

// Converts to the log's code page and writes with one call; under lock 0 when `locked` is false.
void WriteConverted(ProcessContext* p, const char16_t* text, size_t length, bool locked) {
  if (!length || length > 0x7FFFFFFF) return;
  const auto* wide = reinterpret_cast<const wchar_t*>(text);
  int count = WideCharToMultiByte(p->output_code_page, 0, wide, int(length), nullptr, 0, nullptr, nullptr);
  if (count <= 0) return;
  char stack[kStackBytes];
  char* bytes = size_t(count) <= kStackBytes ? stack : static_cast<char*>(MemAlloc(size_t(count)));
  if (!bytes) return;
  WideCharToMultiByte(p->output_code_page, 0, wide, int(length), bytes, count, nullptr, nullptr);
  if (!locked) LockEnter(kLockLog);
  if (p->log_file != INVALID_HANDLE_VALUE) WriteLocked(p, bytes, DWORD(count));
  if (!locked) LockLeave(kLockLog);
  if (bytes != stack) MemFree(bytes);
}

void SetDefaultPath(ProcessContext* p, uint32_t flags) {
  wchar_t temp[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) temp[0] = 0;
  uint32_t random = (flags & kLogWithRandom) ? RandomNext32() : 0;
  LogBuildTempPath(p->log_path, p->log_path + kLogPathCapacity - 1, reinterpret_cast<const char16_t*>(temp),
                   p->base_name, flags, GetCurrentProcessId(), random);
}

// Called under lock 0.
uint32_t OpenLocked(ProcessContext* p, uint32_t flags) {
  if (p->log_file != INVALID_HANDLE_VALUE) return ERROR_SUCCESS;
  if (p->log_attempted) return ERROR_INVALID_HANDLE;
  if (!p->executable_path) return ERROR_INVALID_DATA;
  if (!p->log_path[0]) SetDefaultPath(p, flags);
  p->log_attempted = true;
  HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(p->log_path), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  p->log_file = file;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart > kLogTruncateAbove) SetEndOfFile(file);
  LARGE_INTEGER end{};
  SetFilePointerEx(file, LARGE_INTEGER{}, &end, FILE_END);
  if (end.QuadPart == 0 && p->output_code_page == CP_UTF8) WriteLocked(p, kByteOrderMark, 3);
  char16_t line[kLineCapacity];
  DateTime now = LocalNow();
  char16_t* lineEnd = LogFormatHeader(line, line + kLineCapacity - 1, &now, p->executable_path);
  WriteConverted(p, line, size_t(lineEnd - line), true);
  return ERROR_SUCCESS;
}

bool EnsureOpen(ProcessContext* p) {
  if (p->log_file != INVALID_HANDLE_VALUE) return true;
  return LogOpen(0) == ERROR_SUCCESS;
}

void SinkWriteLine(void*, const char16_t* line, size_t length) { LogWriteText(line, length); }

const TraceSink kLogSink = {SinkWriteLine, nullptr};

}  // namespace

uint32_t LogOpen(uint32_t flags) {
  ProcessContext* p = Process();
  if (!p) return ERROR_INVALID_DATA;
  DWORD lastError = GetLastError();
  LockEnter(kLockLog);
  uint32_t err = OpenLocked(p, flags);
  LockLeave(kLockLog);
  SetLastError(lastError);
  return err;
}

void LogWriteText(const char16_t* text, size_t length) {
  ProcessContext* p = Process();
  if (!p) return;
  DWORD lastError = GetLastError();
  if (EnsureOpen(p)) WriteConverted(p, text, length, false);
  SetLastError(lastError);
}

void LogWriteBytes(const char* bytes, uint32_t count) {
  ProcessContext* p = Process();
  if (!p) return;
  DWORD lastError = GetLastError();
  if (EnsureOpen(p)) {
    LockEnter(kLockLog);
    if (p->log_file != INVALID_HANDLE_VALUE) WriteLocked(p, bytes, count);
    LockLeave(kLockLog);
  }
  SetLastError(lastError);
}

uint32_t LogRename(const char16_t* newPath) {
  ProcessContext* p = Process();
  if (!p) return ERROR_INVALID_DATA;
  if (TextLength(newPath) >= kLogPathCapacity) return ERROR_FILENAME_EXCED_RANGE;  // the path could not be kept
  DWORD lastError = GetLastError();
  uint32_t err = ERROR_SUCCESS;
  LockEnter(kLockLog);
  if (p->log_file != INVALID_HANDLE_VALUE &&
      !MoveFileExW(reinterpret_cast<const wchar_t*>(p->log_path), reinterpret_cast<const wchar_t*>(newPath),
                   MOVEFILE_REPLACE_EXISTING))
    err = GetLastError();
  if (!err) TextCopy(p->log_path, p->log_path + kLogPathCapacity - 1, newPath);
  if (p->log_file == INVALID_HANDLE_VALUE) p->log_attempted = false;  // the next open tries the new path
  LockLeave(kLockLog);
  SetLastError(lastError);
  return err;
}

void LogClose() {
  ProcessContext* p = Process();
  if (!p) return;
  DWORD lastError = GetLastError();
  LockEnter(kLockLog);
  if (p->log_file != INVALID_HANDLE_VALUE) {
    char16_t line[kLineCapacity];
    DateTime now = LocalNow();
    char16_t* lineEnd = LogFormatFooter(line, line + kLineCapacity - 1, &now);
    WriteConverted(p, line, size_t(lineEnd - line), true);
    CloseHandle(p->log_file);
    p->log_file = INVALID_HANDLE_VALUE;
    p->log_attempted = false;
  }
  LockLeave(kLockLog);
  SetLastError(lastError);
}

char16_t* LogCurrentPath(char16_t* start, char16_t* end) {
  ProcessContext* p = Process();
  if (!p) return TextCopy(start, end, u"");
  LockEnter(kLockLog);
  char16_t* result = TextCopy(start, end, p->log_path);
  LockLeave(kLockLog);
  return result;
}

void LogInstallTraceSink() { TraceSetSink(&kLogSink); }
void LogRemoveTraceSink() { TraceSetSink(nullptr); }
