#include "runtime/run_control.h"

namespace {

bool g_quit;
int32_t g_exit_code;

bool OwnQuitRequested() { return g_quit; }
void OwnRequestQuit() { g_quit = true; }
void OwnRecordExitCode(int32_t code) {
  if (!g_exit_code) g_exit_code = code;
}
int32_t OwnExitCode() { return g_exit_code; }
bool OwnUnattended() { return false; }

const RunControl kOwnControl = {
    OwnQuitRequested,   // quit_requested
    OwnRequestQuit,     // request_quit
    OwnRecordExitCode,  // record_exit_code
    OwnExitCode,        // exit_code
    OwnUnattended,      // unattended
};

const RunControl* g_control = &kOwnControl;

}  // namespace

void RunControlInstall(const RunControl* control) { g_control = control ? control : &kOwnControl; }
const RunControl* RunControlCurrent() { return g_control; }
