// The main thread's message pump with its stack of modeless dialogs. Pumping runs under the
// last-resort guard: a fault while a message is handled ends the main loop (the quit flag of the
// run is set) after the fault was reported.
#pragma once
#include <windows.h>

#include <cstdint>

// Takes every pending message: the quit message records its parameter as the run's exit code, sets
// the run's quit flag and stops; timer messages are dispatched untranslated; messages without a
// window are dropped; the rest goes to the active modeless dialog when it takes it, else it is
// translated and dispatched. Returns the number of messages taken.
uint32_t PumpPendingMessages();

// Pumps until the run's quit flag is set, waiting for messages in between. A failed wait records
// exit code -1 and sets the quit flag.
void RunMainLoop();

// Pumps whatever arrives during `milliseconds`; returns early when the quit flag gets set or a
// wait fails.
void WaitAndPump(uint32_t milliseconds);

// The stack of modeless dialogs (16 at most; the last pushed is active).
void ModelessPush(HWND dialog);
void ModelessRemove(HWND dialog);
HWND ModelessActive();
