// The last-resort fault handler. A structured exception that no handler takes (an access
// violation, the heap's out-of-memory exception 0xEBAD0004, ...) reaches the process's unhandled-
// exception filter, which writes trace record E0001 (code, flags, address), records exit code -1
// and reports "Runtime error - terminating." (to standard error for a console image, in the
// runtime message box for a GUI image unless the run is unattended). Then, when the faulting
// thread runs under a guard, execution resumes at that guard, whose call returns false; the
// frames between the fault and the guard are abandoned without unwinding. A fault outside any
// guard ends the process with exit code -1 after the log is closed.
#pragma once
#include <cstdint>

using GuardedFunction = intptr_t (*)(void* context);

// Calls `function(context)` under a guard. Returns true with its result, or false after a fault.
// Guards nest; a fault resumes at the innermost guard of the faulting thread.
bool RuntimeGuardedCall(GuardedFunction function, void* context, intptr_t* result);

// Installs the process's unhandled-exception filter (process start-up).
void FaultHandlerInstall();
