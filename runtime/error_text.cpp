#include "runtime/error_text.h"

#include <windows.h>

#include "runtime/process_context.h"
#include "runtime/text.h"

namespace {

// The text of `code` in one message table, copied (and cut) into [start, end].
bool FromTable(DWORD source, HMODULE module, uint32_t code, char16_t* start, char16_t* end) {
  DWORD flags = source | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;
  wchar_t* text = nullptr;
  if (!FormatMessageW(flags, module, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr) || !text) return false;
  TextCopy(start, end, reinterpret_cast<const char16_t*>(text));
  LocalFree(text);
  return true;
}

}  // namespace

char16_t* ErrorText(uint32_t code, char16_t* start, char16_t* end) {
  if (start > end) return start;
  DWORD lastError = GetLastError();
  *start = 0;
  bool found = FromTable(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, start, end);
  for (const wchar_t* name : {L"netmsg.dll", L"wininet.dll", L"mscoree.dll"}) {
    if (found) break;
    if (HMODULE module = GetModuleHandleW(name)) found = FromTable(FORMAT_MESSAGE_FROM_HMODULE, module, code, start, end);
  }
  if (!found) TextCopy(start, end, kNoErrorDetails);
  char16_t* p = start + TextLength(start);
  while (p > start && IsBlank(p[-1])) *--p = 0;
  SetLastError(lastError);
  return p;
}

const char16_t* ErrorTextOfThread(uint32_t code) {
  ThreadContext* thread = ThreadCurrent();
  if (!thread) return kNoErrorDetails;
  ErrorText(code, thread->error_text, thread->error_text + kErrorTextCapacity - 1);
  return thread->error_text;
}
