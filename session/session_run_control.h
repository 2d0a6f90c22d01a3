// Hands the session's quit flag, exit code and quiet level to the runtime's message pump and
// last-resort handler (runtime/run_control.h), through SessionCurrent.
#pragma once

void SessionInstallRunControl();
void SessionRemoveRunControl();
