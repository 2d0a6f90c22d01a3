#include "ui/rich_text_class.h"

#include "runtime/modules.h"
#include "runtime/trace.h"

namespace {

struct RichEditLibrary {
  const wchar_t* library;
  const wchar_t* window_class;
};
const RichEditLibrary kLibraries[] = {
    {L"msftedit.dll", L"RICHEDIT50W"}, {L"riched20.dll", L"RichEdit20W"}, {L"riched32.dll", L"RICHEDIT"}};

WNDPROC g_systemProcedure;
const wchar_t* g_systemClass = L"";

LRESULT CALLBACK Forward(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(g_systemProcedure, window, message, wParam, lParam);
}

}  // namespace

bool RichTextRegisterClass() {
  for (const RichEditLibrary& candidate : kLibraries) {
    HMODULE library = LoadLibraryExW(candidate.library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!library || !GetClassInfoExW(library, candidate.window_class, &windowClass)) {
      if (library) FreeLibrary(library);
      continue;
    }
    g_systemProcedure = windowClass.lpfnWndProc;
    g_systemClass = candidate.window_class;
    windowClass.lpfnWndProc = Forward;
    windowClass.hInstance = ModuleInstance();
    windowClass.lpszClassName = kRichTextClass;
    windowClass.style &= ~CS_GLOBALCLASS;
    if (RegisterClassExW(&windowClass)) {
      Trace(TR("I3230"), u"%s|%s", reinterpret_cast<const char16_t*>(candidate.library),
            reinterpret_cast<const char16_t*>(candidate.window_class));
      return true;
    }
    break;
  }
  Trace(TR("E3231"), u"%s|%lu", u"QELRTF", GetLastError());
  return false;
}

void RichTextUnregisterClass() { UnregisterClassW(kRichTextClass, ModuleInstance()); }

const wchar_t* RichTextSystemClass() { return g_systemClass; }
