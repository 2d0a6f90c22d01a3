// The cancel confirmation of the wizard's Cancel button (and of whoever asks whether to cancel).
#pragma once
#include <windows.h>

// Nothing is asked while a cancel request is handled already or when the user may not cancel (bit
// 0x400 of the abort masks); the answer is then whether the run is cancelled already. Before the
// installation completed, asks "The installation of %s is not complete yet. ... cancel anyway?"
// (text 264, the title; Yes/No, No by default); after it completed the answer is false. A Yes (or
// a state that is negative already) writes W0006, sets the state to -2 and marks the request
// handled: true.
bool DialogQueryCancel(HWND owner);
