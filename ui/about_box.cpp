#include "ui/about_box.h"

#include "resources/dialog_ids.h"
#include "runtime/text.h"
#include "session/build_info.h"
#include "session/session_state.h"
#include "ui/dialog_template.h"
#include "ui/window_placement.h"

namespace {

constexpr size_t kLineCapacity = 256;

INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      WindowPlace(dialog, kPlacementCentre, kPlaceInsideWorkArea);
      char16_t line[kLineCapacity];
      TextFormat(line, line + kLineCapacity - 1, u"%s %s", kLibraryName, kLibraryVersion);
      SetDlgItemTextW(dialog, IDC_ABOUT_LIBRARY, reinterpret_cast<const wchar_t*>(line));
      SetDlgItemTextW(dialog, IDC_ABOUT_BUILD, reinterpret_cast<const wchar_t*>(kLibraryBuild));
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

int32_t AboutShow(HWND owner) {
  SessionState* s = SessionCurrent();
  if (s && SessionQuietLevel(s) != 0) return 0;
  return DialogRunModal(IDD_ABOUT, Procedure, kLayoutFollowSession, owner, 0) == IDOK ? 1 : 0;
}
