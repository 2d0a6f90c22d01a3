// The fields of an option (class cmp9, and asm9 which derives from it): the stored fields, the
// run-time members of the option tree and of the run's plan, the states and the flags.
#pragma once
#include <cstdint>

enum : unsigned {
  kOptionName = 8,               // text
  kOptionVariable = 9,           // text: the variable `<$Option>` reads; it mirrors the selection state
  kOptionCondition = 10,         // text
  kOptionPackagePath = 11,       // text: the option's own package (flag kOptionOwnPackage)
  kOptionTitle = 12,             // localized text
  kOptionDescription = 15,       // localized text
  kOptionChildIds = 18,          // id list (slots 18-19)
  kOptionLanguages = 20,         // u32 list (slots 20-21): language ids (flag kOptionLanguageList)
  kOptionFlags = 22,             // u32, kOption* flags
  kOptionArchitectureMask = 23,  // u32: native architectures on which the option is available
  kOptionCapabilityMask = 24,    // u32
  kOptionCapabilityMatch = 25,   // int: a capability match mode
  kOptionInstallSize = 26,       // u64: bytes the option's items need when it is installed
  kOptionRemovalSize = 28,       // u64: bytes its removal frees
  kOptionStateIfFalse = 30,      // int: the state when the condition does not hold (or is empty)
  kOptionStateIfTrue = 31,       // int: the state when it holds
  kOptionSelection = 32,         // int: the selection state, kSelection*
  kOptionInstalled = 33,         // int: installed state, kOptionStateInstalled / kOptionStateNotInstalled
  // Run time.
  kOptionChildren = 34,          // pointer list (slots 34-36) of the child options
  kOptionParent = 37,            // the parent option, null for a top-level option
  kOptionAction = 38,            // int: the action of this run, kOptionAction*
  kOptionAfter = 39,             // int: the installed state after this run (1 installed, 2 not)
  kOptionMarked = 40,            // u32: effectively selected (selected, and so are all its parents)
  kOptionSelectedDescendants = 41,  // u32: effectively selected options below this one
};

// Selection states.
enum : int32_t {
  kSelectionUnavailable = 0,
  kSelectionUnavailableToo = 1,
  kSelectionNotSelected = 2,
  kSelectionSelected = 3,
  kSelectionFixed = 4,  // selected, and the user cannot change it
};

// Actions of a run.
enum : int32_t {
  kOptionActionNone = 0,
  kOptionActionInstall = 1,
  kOptionActionRemove = 2,
};

enum : uint32_t {
  kOptionRadio = 0x2,         // the option and its siblings of this flag are mutually exclusive
  kOptionPersistent = 0x4,    // the selection state is saved with the product registration
  kOptionLanguageList = 0x8,  // available only in the languages of its list
  kOptionOwnPackage = 0x10,   // its files come from a package of its own
};
