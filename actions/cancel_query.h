// The cancel question, asked by the wizard's Cancel button and by the action a107.
#pragma once
#include <windows.h>

// Nothing is asked while a cancel request is handled already or when the user may not cancel (bit
// 0x400 of both abort masks); the answer is then whether the run is cancelled already. Before the
// installation completed, asks "The installation of %s is not complete yet. ... cancel anyway?"
// (text 264 with the product's name; Yes/No, No by default and without a user); once `a101` makes
// the run final, and after it completed, the answer is false without a question. A Yes, or a state that is negative already, writes W0006, sets the state to
// -2 (exit code 5) and marks the request handled: true.
bool QueryCancel(HWND owner);
