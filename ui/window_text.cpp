#include "ui/window_text.h"

#include "expr/database_resolver.h"
#include "runtime/heap.h"
#include "runtime/text.h"

char16_t* WindowTextCopy(HWND window) {
  int length = GetWindowTextLengthW(window);
  auto* text = MemNew<char16_t>(size_t(length > 0 ? length : 0) + 1);
  if (length > 0) GetWindowTextW(window, reinterpret_cast<wchar_t*>(text), length + 1);
  return text;
}

char16_t* SubstitutedCopy(ObjectTable* database, const char16_t* text) {
  auto* buffer = MemNew<char16_t>(kSubstituteBufferCapacity);
  char16_t* end = Substitute(database, text ? text : u"", buffer, buffer + kSubstituteBufferCapacity - 1);
  auto* copy = MemNew<char16_t>(size_t(end - buffer) + 1);
  TextCopy(copy, copy + (end - buffer), buffer);
  MemFree(buffer);
  return copy;
}

void WindowSubstituteText(ObjectTable* database, HWND window) {
  char16_t* text = WindowTextCopy(window);
  bool referenced = false;
  for (const char16_t* c = text; *c && !referenced; ++c) referenced = *c == u'<';
  if (referenced) {
    char16_t* substituted = SubstitutedCopy(database, text);
    SetWindowTextW(window, reinterpret_cast<const wchar_t*>(substituted));
    MemFree(substituted);
  }
  MemFree(text);
}
