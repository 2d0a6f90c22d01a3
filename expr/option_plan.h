// What a run does with the options and the installable items: each option's action and its
// installed state after the run, the bytes the installation needs and frees, each item's effective
// mode, and the commit of the installed states once the installation is complete.
#pragma once
#include <cstdint>

#include "database/object_table.h"

// The actions and sizes, from the selection states and the run mode (variable 508):
// - install, repair and resume: an option is effectively selected when it is in state 3 or 4 and
//   so is every option above it; the bytes of variable 401 are needed as well;
// - remove: every option's selection state becomes 3 and none is effectively selected;
// - register: no option changes (action 0, installed state after as before).
// An effectively selected option gets action 1 and after state 1; any other after state 2 and
// action 2 when it is installed, else 0 (I1601 per option). Needed: the install sizes of the options
// with action 1 and, in install, repair and resume runs, the sizes of the files that belong to no
// option; freed: the removal sizes of the options with action 2 and, in remove runs, the sizes of
// those files. Sets 520 and 430 (needed), 521 (freed) and 429 (the free bytes of 428 less the
// needed ones, or 0), traces I1602.
void OptionsComputeActionsAndSizes(ObjectTable* db);

// The effective mode of an installable item for the run mode: its options' combined action (1 when
// any of them installs, else 2 when any removes, else 0; ids that name no option count for
// nothing), or for an item without options 1 in install, repair and resume runs, 2 in remove runs
// and 0 otherwise; action 1 gives the item's install mode, 2 its removal mode, 0 gives 0.
int32_t ItemEffectiveMode(const ObjectTable* db, const SetupObject* item, int32_t run_mode);

// The preparation of the installation: computes the actions and sizes, then stores every
// installable item's effective mode in its slot 14 (I1603: class, id, mode).
void OptionsDecideItemModes(ObjectTable* db);

// Completion: every option's installed state becomes its after state, and its state-if-false its
// selection state when that is a choice (2, 3 or 4), so that the next run's evaluation starts from
// the user's last choice (I1604). Options without an after state (no computation ran) keep theirs.
void OptionsCommitInstalledStates(ObjectTable* db);
