// The run methods of the flow actions that this subsystem implements, and their registration:
//   a100 Prepare the installation     a101 Complete the installation    a107 Query cancellation
//   a200 Message box                  a213 Set an internal variable
// The other action classes keep empty method tables until their subsystems register theirs; the
// runner skips their actions (result 2) with a record naming the class.
#pragma once
#include <cstdint>

#include "database/object_table.h"

// Registers the method tables above with the class registry (after the class table is registered).
void FlowActionsRegister();

// Extension-library events sent by these actions.
enum : uint32_t {
  kEventInstallationStarted = 7,
  kEventInstallationCompleted = 8,
  kEventRemovalStarting = 28,
};
constexpr int32_t kExtensionRefusesRemoval = 2;
