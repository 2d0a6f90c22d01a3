#include "ui/cancel_query.h"

#include "actions/abort_on_failure.h"
#include "resources/string_ids.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "ui/message_box.h"

namespace {
bool g_asking;  // the question is on screen (a second Cancel arrives while it waits)
}  // namespace

bool DialogQueryCancel(HWND owner) {
  SessionState* s = SessionCurrent();
  if (!s) return false;
  int32_t state = SessionInstallState(s);
  if (g_asking || s->cancel_requested || !UserCancelAllowed(s)) return state < 0;
  if (state == kStateInitial || state == kStateInstalling) {
    g_asking = true;
    int answer = QelShowMessageBox(owner, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, IDNO, MessageBoxTimeout(),
                                   MessageTextId(IDS_CANCEL_QUESTION), SessionText(s->title));
    g_asking = false;
    if (answer != IDYES) return false;
  } else if (state >= 0) {
    return false;
  }
  Trace(TR("W0006"), u"%d", state);
  SessionSetState(s, kStateCancelled);
  s->cancel_requested = true;
  return true;
}
