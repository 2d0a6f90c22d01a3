// The fields of action objects (class a000 and its descendants) and of action sequences (aseq), and
// the action result codes.
#pragma once
#include <cstdint>

#include "database/class_descriptor.h"
#include "database/setup_object.h"

// Action sequence (aseq).
enum : unsigned {
  kSequenceName = 8,     // text
  kSequenceActions = 9,  // id list, in execution order
};

// Action base (a000).
enum : unsigned {
  kActionFlags = 8,              // u32, kActionFlag*
  kActionArchitectureMask = 9,   // u32: native architectures on which the action runs
  kActionCapabilityMask = 10,    // u32: architectures tested against those the machine can run
  kActionCapabilityMatch = 11,   // int: kMatch*
  kActionProgressTextId = 12,    // u32: string id of the default progress text
  kActionName = 14,              // text
  kActionCondition = 15,         // text
  kActionDescription = 16,       // localized text: the progress text
  kActionConfirmation = 19,      // localized text: the question of flag 0x4
  kActionTarget = 22,            // a001, a002, a006: the referenced sequence or action (id)
};

enum : uint32_t {
  kActionFlagSilent = 0x1,         // no progress text, no progress step
  kActionFlagNotJournaled = 0x2,
  kActionFlagConfirm = 0x4,
  kActionFlagFullUiOnly = 0x8,     // runs only at user-interface level 0
  kActionFlagIndirect = 0x10,      // variable-setting actions target the variable named by the value
};

// Result codes of run methods and of the built-in flow actions.
enum : int32_t {
  kResultFatal = -5,
  kResultCancelled = -4,
  kResultFailed = -3,
  kResultMissing = -2,
  kResultStop = -1,
  kResultDone = 0,
  kResultDoneToo = 1,
  kResultSkipped = 2,
  kResultTransfer = 3,
  kResultBack = 4,
  kResultBackToDialog = 5,
  kResultTerminate = 6,
  kResultGoTo = 7,
};

// Architecture bits.
enum : uint32_t {
  kArchitectureX86 = 0x1,
  kArchitectureX64 = 0x100,
  kArchitectureArm64 = 0x200,
};

// Capability match modes.
enum : int32_t {
  kMatchAny = 0,    // any bit in common
  kMatchAll = 1,    // all mask bits present
  kMatchEqual = 2,  // the set equals the mask
  kMatchNone = 3,   // no bit in common
};

// The action's name for trace records ("" when it has none).
inline const char16_t* ActionName(const SetupObject* action) {
  const char16_t* name = SlotText(action, kActionName);
  return name ? name : u"";
}

inline uint32_t ActionFlags(const SetupObject* action) { return SlotU32(action, kActionFlags); }
