// The fields of shortcut items (class shct). The installable-item fields they share are in
// expr/installable_item.h.
#pragma once
#include <cstdint>

enum : unsigned {
  kShortcutFolder = 16,         // id: the folder item (fldr) the shortcut file is made in
  kShortcutIconFile = 18,       // id: the file item whose installed path is the icon source, 0 for none
  kShortcutName = 20,           // localized text (20-22): the name without extension
  kShortcutDescription = 23,    // localized text (23-25)
  kShortcutArguments = 26,      // localized text (26-28)
  kShortcutTarget = 29,         // text: the path or address the link points to, variables allowed
  kShortcutWorkingFolder = 30,  // text: variables allowed; empty: the target's folder
  kShortcutPath = 31,           // text: the shortcut file, computed once and kept so removal finds it
  kShortcutIconIndex = 32,      // int
  kShortcutShowCommand = 33,    // int: the window show state
  kShortcutFlags = 34,          // u32, kShortcutFlag*
  kShortcutFolderObject = 35,   // run time: the folder item (linked)
  kShortcutRollbackCopy = 36,   // run time, heap text: P + "._rb" when an existing file was moved aside
};

constexpr uint32_t kShortcutFlagRunAsAdministrator = 0x1;
