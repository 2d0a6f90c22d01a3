#include "ui/password_prompt.h"

#include "resources/dialog_ids.h"
#include "resources/string_ids.h"
#include "runtime/scramble.h"
#include "session/session_state.h"
#include "session/session_window.h"
#include "ui/dialog_template.h"
#include "ui/message_box.h"
#include "ui/string_table.h"
#include "ui/window_placement.h"

namespace {

constexpr size_t kLineCapacity = 256;
constexpr wchar_t kMaskCharacter = L'*';

struct PromptCall {
  PasswordPromptOptions options;
  char16_t* typed;
};

void SetLine(HWND dialog, int control, uint32_t text, uint16_t language) {
  char16_t line[kLineCapacity];
  StringLoad(text, language, line, line + kLineCapacity - 1);
  SetDlgItemTextW(dialog, control, reinterpret_cast<const wchar_t*>(line));
}

void Initialise(HWND dialog, const PromptCall* call) {
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(call));
  WindowPlace(dialog, kPlacementCentre, kPlaceInsideWorkArea);
  const SessionState* session = SessionCurrent();
  uint16_t language = SessionLanguage();
  if (session && session->title) SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(session->title));
  MessageButtonsLocalise(dialog, MB_OKCANCEL, language);
  SetLine(dialog, IDC_PASSWORD_LABEL, IDS_PASSWORD_LABEL, language);
  SetLine(dialog, IDC_PASSWORD_REQUIRED, IDS_PASSWORD_REQUIRED, language);
  SetLine(dialog, IDC_PASSWORD_INCORRECT, IDS_PASSWORD_INCORRECT, language);
  ShowWindow(GetDlgItem(dialog, IDC_PASSWORD_REQUIRED), call->options.incorrect ? SW_HIDE : SW_SHOW);
  ShowWindow(GetDlgItem(dialog, IDC_PASSWORD_INCORRECT), call->options.incorrect ? SW_SHOW : SW_HIDE);
  HWND edit = GetDlgItem(dialog, IDC_PASSWORD_EDIT);
  SendMessageW(edit, EM_LIMITTEXT, kPasswordPromptCapacity - 1, 0);
  if (call->options.masked) SendMessageW(edit, EM_SETPASSWORDCHAR, kMaskCharacter, 0);
  EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
  SetFocus(edit);
}

INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Initialise(dialog, reinterpret_cast<const PromptCall*>(lParam));
      return FALSE;  // the focus is set
    case WM_COMMAND: {
      HWND edit = GetDlgItem(dialog, IDC_PASSWORD_EDIT);
      switch (LOWORD(wParam)) {
        case IDC_PASSWORD_EDIT:
          if (HIWORD(wParam) == EN_CHANGE) EnableWindow(GetDlgItem(dialog, IDOK), GetWindowTextLengthW(edit) > 0);
          return TRUE;
        case IDOK: {
          if (GetWindowTextLengthW(edit) == 0) return TRUE;
          auto* call = reinterpret_cast<const PromptCall*>(GetWindowLongPtrW(dialog, DWLP_USER));
          GetWindowTextW(edit, reinterpret_cast<wchar_t*>(call->typed), int(kPasswordPromptCapacity));
          SetWindowTextW(edit, L"");  // no copy of the password stays in the edit control's memory
          EndDialog(dialog, IDOK);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

}  // namespace

uint32_t PasswordPromptShow(HWND owner, const PasswordPromptOptions& options, char16_t* typed) {
  typed[0] = 0;
  PromptCall call{options, typed};
  INT_PTR result = DialogRunModal(IDD_PASSWORD, Procedure, kLayoutFollowSession, owner, reinterpret_cast<LPARAM>(&call));
  if (result == IDOK) return ERROR_SUCCESS;
  WipeMemory(typed, kPasswordPromptCapacity * sizeof(char16_t));
  return result == IDCANCEL ? ERROR_CANCELLED : ERROR_INVALID_PASSWORD;
}
