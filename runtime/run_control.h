// How the runtime's message pump and last-resort handler reach the run they belong to: the quit
// flag of the main loop, the run's exit code (the first non-zero code recorded wins) and whether
// the run is unattended (no message may wait for a user). The setup session installs its own
// table; without one the runtime keeps this state itself.
#pragma once
#include <cstdint>

struct RunControl {
  bool (*quit_requested)();
  void (*request_quit)();
  void (*record_exit_code)(int32_t code);  // keeps the first non-zero code
  int32_t (*exit_code)();
  bool (*unattended)();
};

// Installs `control` (kept by pointer; null: the runtime's own state).
void RunControlInstall(const RunControl* control);
const RunControl* RunControlCurrent();
