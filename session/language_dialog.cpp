#include "session/language_dialog.h"

#include <windows.h>

#include "resources/string_ids.h"
#include "runtime/modules.h"
#include "runtime/trace.h"
#include "session/language_selection.h"
#include "session/session_state.h"
#include "session/session_window.h"
#include "ui/string_table.h"
#include "ui/window_placement.h"

namespace {

constexpr size_t kTextCapacity = 512;

struct LanguageDialog {
  SetupObject* const* languages;
  uint32_t count;
  uint32_t selected;
};

// The name shown for a language: its own name, else the system's name of the locale.
void NameOf(SetupObject* language, wchar_t* name) {
  const char16_t* own = SlotText(language, kLanguageName);
  if (own && *own) {
    lstrcpynW(name, reinterpret_cast<const wchar_t*>(own), kTextCapacity);
    return;
  }
  LCID locale = MAKELCID(uint16_t(SlotU32(language, kLanguageId)), SORT_DEFAULT);
  if (!GetLocaleInfoW(locale, LOCALE_SLANGUAGE, name, kTextCapacity)) wsprintfW(name, L"0x%04X", LANGIDFROMLCID(locale));
}

void Fill(HWND dialog, LanguageDialog* state) {
  SessionState* s = SessionCurrent();
  char16_t prompt[kTextCapacity];
  StringLoad(IDS_SELECT_LANGUAGE, SessionLanguage(), prompt, prompt + kTextCapacity - 1);
  SetDlgItemTextW(dialog, IDC_LANGUAGE_PROMPT, reinterpret_cast<const wchar_t*>(prompt));
  if (s) SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(SessionText(s->title)));
  HWND list = GetDlgItem(dialog, IDC_LANGUAGE_LIST);
  for (uint32_t i = 0; i < state->count; ++i) {
    wchar_t name[kTextCapacity];
    NameOf(state->languages[i], name);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  }
  SendMessageW(list, LB_SETCURSEL, state->selected, 0);
  WindowPlace(dialog, kPlacementCentre, kPlaceInsideWorkArea);
}

void Take(HWND dialog, LanguageDialog* state) {
  LRESULT index = SendDlgItemMessageW(dialog, IDC_LANGUAGE_LIST, LB_GETCURSEL, 0, 0);
  if (index >= 0 && uint32_t(index) < state->count) state->selected = uint32_t(index);
  EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<LanguageDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      Fill(dialog, reinterpret_cast<LanguageDialog*>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || (LOWORD(wParam) == IDC_LANGUAGE_LIST && HIWORD(wParam) == LBN_DBLCLK)) {
        Take(dialog, state);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

uint32_t LanguageDialogAsk(SetupObject* const* languages, uint32_t count, uint32_t fallback) {
  LanguageDialog state{languages, count, fallback};
  INT_PTR result = DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_LANGUAGE), nullptr, Procedure,
                                   reinterpret_cast<LPARAM>(&state));
  if (result == IDOK) return state.selected;
  if (result == -1) Trace(TR("W1140"), u"%lu", GetLastError());
  return fallback;
}
