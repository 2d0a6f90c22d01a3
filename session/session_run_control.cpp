#include "session/session_run_control.h"

#include "runtime/run_control.h"
#include "session/session_state.h"

namespace {

bool QuitRequested() {
  SessionState* s = SessionCurrent();
  return s && s->quit;
}

void RequestQuit() {
  if (SessionState* s = SessionCurrent()) s->quit = true;
}

void RecordExitCode(int32_t code) {
  if (SessionState* s = SessionCurrent()) SessionRecordExitCode(s, code);
}

int32_t ExitCode() {
  SessionState* s = SessionCurrent();
  return s ? s->exit_code : 0;
}

bool Unattended() {
  SessionState* s = SessionCurrent();
  return s && s->quiet_level != 0;
}

const RunControl kSessionControl = {
    QuitRequested,   // quit_requested
    RequestQuit,     // request_quit
    RecordExitCode,  // record_exit_code
    ExitCode,        // exit_code
    Unattended,      // unattended
};

}  // namespace

void SessionInstallRunControl() { RunControlInstall(&kSessionControl); }
void SessionRemoveRunControl() { RunControlInstall(nullptr); }
