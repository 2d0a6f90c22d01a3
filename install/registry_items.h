// The fields of registry key items (regk), system settings (sysx, the base of registry values, INI
// values and environment variables) and registry value items (regv). Installable-item fields are
// in expr/installable_item.h.
#pragma once

enum : unsigned {
  kRegKeyVariable = 16,    // regk text: the variable whose value is the key path ("" for none)
  kRegKeyPath = 17,        // regk text: the key path, resolved from the variable
  kRegKeyView = 18,        // regk int: the requested view (install/registry_key.h)
  kRegKeyActualView = 19,  // regk int: the view the key was found or created in (4 or 5)

  kSettingFlags = 16,         // sysx u32: kSettingFlag*
  kSettingSeparator = 17,     // sysx u32: the list separator character, 0 for none
  kSettingName = 18,          // sysx localized (18-20)
  kSettingData = 21,          // sysx localized (21-23)
  kSettingSaved = 24,         // sysx text: the value found before the first installation
  kSettingResolvedName = 25,  // run time, heap text: the name in the session's language, resolved
  kSettingResolvedData = 26,  // run time, heap text: the data likewise
  kSettingExisting = 27,      // run time, heap text: the value found in this run

  kRegValueKey = 28,           // regv id (28-29): the key item
  kRegValueType = 30,          // regv u32: the value type
  kRegValuePreviousType = 31,  // regv u32: the type before the first installation, 0 when absent
  kRegValueFoundType = 32,     // run time u32: the type found in this run
};

enum : uint32_t {
  kSettingFlagSaved = 0x4,        // the saved value (slot 24) holds the value found before
  kSettingFlagSavedBytes = 0x8,   // registry values: the saved value is the value's bytes as hex
                                  // pairs and the previous type (slot 31) is exact, REG_NONE too
  kSettingFlagResolved = 0x1000,  // a run-time mark; never kept in the stored flags
};
