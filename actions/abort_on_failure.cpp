#include "actions/abort_on_failure.h"

#include <windows.h>

#include "database/setup_object.h"
#include "expr/variables.h"
#include "resources/string_ids.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "ui/message_box.h"

namespace {

constexpr unsigned kInstallationAbortMask = 14;
constexpr uint32_t kVarMessageTimeout = 530;
constexpr uint32_t kDefaultTimeoutSeconds = 300;
constexpr uint32_t kNoTimeoutSeconds = 4294967;  // the milliseconds would not fit 32 bits

}  // namespace

uint32_t AbortMessageId(uint32_t flags) {
  if (flags & kFailureFiles) return IDS_ABORT_FILES;
  if (flags & kFailureRegistration) return IDS_ABORT_REGISTRATION;
  if (flags & kFailureShortcuts) return IDS_ABORT_SHORTCUTS;
  if (flags & kFailureConfiguration) return IDS_ABORT_CONFIGURATION;
  if (flags & kFailureExternal) return IDS_ABORT_EXTERNAL;
  if (flags & kFailureDownload) return IDS_ABORT_DOWNLOAD;
  return IDS_ABORT_ACTION;
}

uint32_t MessageBoxTimeout() {
  SessionState* s = SessionCurrent();
  uint32_t seconds = s && s->database ? VariableU32(s->database, kVarMessageTimeout) : 0;
  if (seconds == 0) seconds = kDefaultTimeoutSeconds;
  return seconds >= kNoTimeoutSeconds ? 0 : seconds * 1000;
}

bool UserCancelAllowed(SessionState* s) {
  SetupObject* installation = s && s->database ? s->database->installation : nullptr;
  uint32_t abortMask = installation ? SlotU32(installation, kInstallationAbortMask) : 0;
  return s && (s->error_abort_mask & kFailureUserCancel) && (abortMask & kFailureUserCancel);
}

bool AbortOnFailure(uint32_t flags, bool show) {
  SessionState* s = SessionCurrent();
  if (!s) return false;
  Trace(TR("W1720"), u"0x%08X|%d|%d", flags, SessionInstallState(s), s->phase);
  if (s->phase >= kPhaseCompleting || SessionRunMode(s) == kRunModeRemove) return false;
  uint32_t allowed = flags & s->error_abort_mask;
  SetupObject* installation = s->database ? s->database->installation : nullptr;
  uint32_t abortMask = installation ? SlotU32(installation, kInstallationAbortMask) : 0;
  if (!(allowed & kFailureAlways) && !(allowed & abortMask)) return false;
  if (show)
    QelShowMessageBox(static_cast<HWND>(s->main_window), MB_OK | MB_ICONERROR, IDOK, MessageBoxTimeout(),
                      MessageTextId(AbortMessageId(flags)));
  SessionSetState(s, kStateAborted);
  return true;
}
