#include "ui/rich_text_class.h"

#include "runtime/modules.h"
#include "runtime/trace.h"
#include "ui/rich_text_content.h"

namespace {

struct RichEditLibrary {
  const wchar_t* library;
  const wchar_t* window_class;
};
const RichEditLibrary kLibraries[] = {
    {L"msftedit.dll", L"RICHEDIT50W"}, {L"riched20.dll", L"RichEdit20W"}, {L"riched32.dll", L"RICHEDIT"}};

WNDPROC g_systemProcedure;
const wchar_t* g_systemClass = L"";

// A box created with the text "#<id>" shows rich-text resource <id>, never the reference itself.
void LoadNamedResource(HWND window, const CREATESTRUCTW* creation) {
  const wchar_t* name = creation->lpszName;
  if (!name || IS_INTRESOURCE(name) || name[0] != L'#') return;
  uint32_t id = RichTextResourceId(reinterpret_cast<const char16_t*>(name));
  SetPropW(window, kRichTextIdProperty, reinterpret_cast<HANDLE>(uintptr_t(id)));
  RichTextLoadResource(window, id);
}

LRESULT CALLBACK Forward(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallWindowProcW(g_systemProcedure, window, message, wParam, lParam);
  if (message == WM_CREATE && result != -1) LoadNamedResource(window, reinterpret_cast<CREATESTRUCTW*>(lParam));
  // A new font applies to the whole text and flattens the rich text's own formatting: load it again.
  if (message == WM_SETFONT && GetPropW(window, kRichTextIdProperty))
    RichTextLoadResource(window, RichTextCreationId(window));
  if (message == WM_NCDESTROY) RemovePropW(window, kRichTextIdProperty);
  return result;
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

uint32_t RichTextCreationId(HWND window) { return uint32_t(reinterpret_cast<uintptr_t>(GetPropW(window, kRichTextIdProperty))); }
