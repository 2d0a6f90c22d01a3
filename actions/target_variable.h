// The variable a variable-setting action writes (set variable, file search, file dialog).
#pragma once
#include "database/object_table.h"

// The variable named in the action's text slot `slot`, or, with action flag 0x10, the variable whose
// name that variable's value holds; null when either does not exist.
SetupObject* ActionTargetVariable(ObjectTable* db, SetupObject* action, unsigned slot);
