// The method tables of the flow actions (flow_actions.h), one per class.
#pragma once
#include "database/class_descriptor.h"

extern const ActionMethods kPrepareInstallationMethods;   // a100
extern const ActionMethods kCompleteInstallationMethods;  // a101
extern const ActionMethods kQueryCancellationMethods;     // a107
extern const ActionMethods kMessageBoxMethods;            // a200
extern const ActionMethods kSetVariableMethods;           // a213
extern const ActionMethods kFileSearchMethods;            // a214
