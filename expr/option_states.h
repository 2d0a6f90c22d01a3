// The selection states of the option tree: what the machine, the language and the conditions allow
// (Evaluate), the requests of actions and controls (Set), and the windows told about every change.
// The tree is the installation's top-level options and their children (linked at load); walks stop
// at 64 levels, so a damaged database with a cycle cannot loop.
#pragma once
#include <windows.h>

#include <cstdint>

#include "database/object_table.h"

// Sent to every listener window after an option's selection state changed; lParam: the option.
constexpr UINT kOptionChangedMessage = WM_APP + 0xC4;
constexpr unsigned kMaxOptionListeners = 64;

// The selection state the option gets from the machine and the session, in this order: 0 when the
// native architecture is not in its architecture mask (trace I1609), 0 when the capability mask
// does not match the runnable architectures (I1610), 0 when it has flag 0x8 and the user-interface
// language is not in its language list (I1611); otherwise the state-if-true when its condition
// holds and the state-if-false when it does not or is empty (I1608: name, condition, result, old and
// new state). Changes nothing.
int32_t OptionEvaluate(ObjectTable* db, SetupObject* option);

// Every option of the tree, parents first, gets the state OptionEvaluate gives; then the actions
// and sizes are computed (option_plan.h). Done once the session's variables and language are known.
void OptionsInitialize(ObjectTable* db);

// Applies a request: 1 → 0, 2 → 1, 3 → 2, 4 → 3, 5 → 4; 6 toggles between 2 and 3 (other states
// stay); 7 and 8 change nothing; 0 and anything above 8 → OptionEvaluate. In a radio group (flag
// 0x2: the option and those of its siblings that have the flag) a selected option cannot be
// deselected by request 3 (I1607); selecting one (3 or 4) first deselects the selected members;
// one that leaves state 3 (0, 1, or 2 by a toggle) selects the first unselected member instead, and
// a toggle with no such member changes nothing. Every changed option is traced (I1606), mirrored
// into its variable and announced with kOptionChangedMessage to the listeners except `skip`; then
// the actions and sizes are computed. Returns whether the option's state changed.
bool OptionSetState(ObjectTable* db, SetupObject* option, int32_t request, HWND skip);

// The option's selection state, and a store of it that also sets the option's variable (the state
// as decimal text) when it names one. Neither announces anything.
int32_t OptionSelection(const SetupObject* option);
void OptionStoreSelection(ObjectTable* db, SetupObject* option, int32_t state);

// Windows told about option changes (controls that show an option). A window is kept once; at most
// kMaxOptionListeners (false beyond).
bool OptionListen(HWND window);
void OptionUnlisten(HWND window);

// Calls `visit` for the options of the tree, parents before their children, depth first; the
// children of an option are visited when `visit` returns true for it.
using OptionVisit = bool (*)(ObjectTable* db, SetupObject* option, void* context);
void OptionsForEach(ObjectTable* db, OptionVisit visit, void* context);
