// The action runner: walks an action sequence, checks each action's architecture masks and
// condition, publishes its progress text, calls its class's run method (or performs the built-in
// flow actions a000-a006, a129, a130), journals it and reacts to its result code.
#pragma once
#include <windows.h>

#include <cstdint>

#include "database/object_table.h"

struct SessionState;

constexpr int32_t kMaxSequenceNesting = 16;
constexpr UINT kDialogEndMessage = WM_APP + 0x82;  // wParam: end code, lParam: context word 2
constexpr WPARAM kDialogEndByRunner = 2;

// Runs the sequence; returns its result: -5 (fatal, also the 17th nested run), -4 (cancelled), -2
// (a missing transfer target), else 0. `context` (six words, may be null) is handed to every run
// method.
int32_t RunSequence(ObjectTable* database, SetupObject* sequence, uint32_t* context);
// Runs one action: -2 for a missing database or action, 2 when a pre-check skips it (or its class
// has no run method yet), else the run method's result or the flow action's code. `*target`
// receives the referenced sequence or action id of results 3 and 7.
int32_t RunAction(ObjectTable* database, SetupObject* action, uint32_t* context, uint64_t* target);
// The pre-checks in order: native architecture in the architecture mask (a mask of 0 runs nowhere),
// capability mask against the runnable architectures, the condition, flag 0x8 (user-interface level 0
// only). Each failing step writes a trace record naming the action and the values compared.
bool CheckAction(ObjectTable* database, SetupObject* action);

// Runs the installation record's first and second top-level sequences, the nesting counter reset
// before each, in phase 1. A missing first sequence or a negative result records exit code 19.
// Returns false when there is no database or installation record (the caller records -1).
bool RunTopLevelSequences(SessionState* session);

// Registers a modeless dialog with the innermost running sequence: when that sequence ends with a
// non-zero result, the dialog is told to close (kDialogEndMessage with code 2).
void RunnerRegisterModelessDialog(HWND dialog);

// Sequence runs active now.
int32_t RunnerNesting();
