// Fault injection, compiled into test builds only (SETUP_FAULT_INJECTION; the product has none).
// The environment variable SETUP_FAULT names one fault for the whole run:
//   "write:N"     the N-th write through the system-call table (counting from 1) is refused with
//                 ERROR_ACCESS_DENIED, as if the system had refused it;
//   "write:N:E"   the same with Windows error E (112 for a full disk, ...);
//   "action:N"    the N-th action that the runner runs fails instead of running.
// Only that one call fails; later calls work again, so the rollback runs on a sound system.
// Every run of a test build ends with I1011 (writes counted, actions counted), which lets a test
// find how many indexes a run offers.
#pragma once
#include <cstdint>

#ifdef SETUP_FAULT_INJECTION

// Reads SETUP_FAULT and, for a write fault, installs the counting system-call table.
void FaultInjectionStart();
// The runner calls this once per action it runs; true for the action that must fail (traced W1010).
bool FaultInjectionActionDue();
// Writes I1011 with the counts.
void FaultInjectionReport();

#else

inline void FaultInjectionStart() {}
inline bool FaultInjectionActionDue() { return false; }
inline void FaultInjectionReport() {}

#endif
