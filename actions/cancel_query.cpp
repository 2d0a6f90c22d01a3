#include "actions/cancel_query.h"

#include "actions/abort_on_failure.h"
#include "database/object_table.h"
#include "resources/string_ids.h"
#include "runtime/fault_injection.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "ui/message_box.h"

namespace {

constexpr unsigned kInstallationProductText = 20;

bool g_asking;  // the question is on screen (a second Cancel arrives while it waits)

const char16_t* ProductName(SessionState* s) {
  SetupObject* installation = s->database ? s->database->installation : nullptr;
  const char16_t* product = installation ? SlotText(installation, kInstallationProductText) : nullptr;
  return product && *product ? product : SessionText(s->title);
}

}  // namespace

bool QueryCancel(HWND owner) {
  SessionState* s = SessionCurrent();
  if (!s) return false;
  int32_t state = SessionInstallState(s);
  if (g_asking || s->cancel_requested || !UserCancelAllowed(s)) {
    Trace(TR("I1740"), u"%d|%d|0x%08X", state, s->cancel_requested ? 1 : 0, s->error_abort_mask);
    return state < 0;
  }
  if (state == kStateInstalling && s->phase >= kPhaseCompleting) {
    // the run is being made final: it can no longer be rolled back, so a cancel comes too late
    Trace(TR("I1740"), u"%d|%d|0x%08X", state, 0, s->error_abort_mask);
    return false;
  }
  if (state == kStateInitial || state == kStateInstalling) {
    g_asking = true;
    int answer = FaultInjectionCancelling()  // test builds: a planned cancel takes Yes
                     ? IDYES
                     : QelShowMessageBox(owner, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, IDNO, MessageBoxTimeout(),
                                         MessageTextId(IDS_CANCEL_QUESTION), ProductName(s));
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
