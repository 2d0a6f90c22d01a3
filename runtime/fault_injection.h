// Fault injection, compiled into test builds only (SETUP_FAULT_INJECTION; the product has none).
// The environment variable SETUP_FAULT names one fault for the whole run:
//   "write:N"     the N-th write through the system-call table (counting from 1) is refused with
//                 ERROR_ACCESS_DENIED, as if the system had refused it;
//   "write:N:E"   the same with Windows error E (112 for a full disk, ...);
//   "action:N"    the N-th action that the runner runs fails instead of running;
//   "cancel-action:N"  the user cancels (and answers Yes to the cancel question) as the N-th action
//                 is about to run: the action does not run, as when Cancel closed its page;
//   "cancel-write:N"   the user cancels (answering Yes) just before the N-th write, which goes on:
//                 the running action and the runner see the cancel at their next check.
// Only that one call fails; later calls work again, so the rollback runs on a sound system.
// Every run of a test build ends with I1011 (writes counted, actions counted), which lets a test
// find how many indexes a run offers.
#pragma once
#include <cstdint>

// What the runner does with the action it is about to run.
enum class FaultAtAction { kNone, kFail, kCancelled };
// The user's Cancel as the cancel question would take it; true when the run is now cancelled.
using FaultCancel = bool (*)();

#ifdef SETUP_FAULT_INJECTION

// Reads SETUP_FAULT and, for a write fault, installs the counting system-call table.
void FaultInjectionStart();
// The runner calls this once per action it runs: kFail for the action that must fail, kCancelled
// when the planned cancel arrived and was taken (both traced W1010).
FaultAtAction FaultInjectionActionDue();
// The cancel a plan delivers; set by the session before it runs anything.
void FaultInjectionSetCancel(FaultCancel cancel);
// True while a planned cancel is delivered: the cancel question takes Yes without asking.
bool FaultInjectionCancelling();
// Writes I1011 with the counts.
void FaultInjectionReport();

#else

inline void FaultInjectionStart() {}
inline FaultAtAction FaultInjectionActionDue() { return FaultAtAction::kNone; }
inline void FaultInjectionSetCancel(FaultCancel) {}
inline bool FaultInjectionCancelling() { return false; }
inline void FaultInjectionReport() {}

#endif
