// The fields that every installable item shares (class insi and its descendants: fldr, file, shct,
// regk, sysx, regv, iniv, evar, svca, "svc "). The preparation of the installation gives each item
// its effective mode for the run from the options it belongs to (option_plan.h).
#pragma once

enum : unsigned {
  kItemOptions = 8,          // id list (slots 8-9): the options (cmp9) the item belongs to
  kItemInstallMode = 10,     // int: the mode used when the item is installed
  kItemRemovalMode = 11,     // int: the mode used when the item is removed
  kItemInstalledState = 12,  // int
  kItemFlags = 13,           // u32
  kItemEffectiveMode = 14,   // run time, int (stored as SetSlotU32(item, 14, uint32_t(mode))): 0 nothing
  kItemPreviousState = 15,   // run time, int: the installed state before this run (file installation)
};
