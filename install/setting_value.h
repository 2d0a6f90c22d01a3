// The new text of a system setting (a registry value, an INI value, an environment variable) from
// the text it has now, by the item's effective mode. Shared by every kind of setting.
#pragma once
#include <cstdint>

// Modes, by effective mode M (installing M >= 1, removing M < 0):
//   1 create only: D unless E is not empty      2 replace only: D unless E is empty
//   3 prepend D to the list E                   4 append D to the list E
//   5 set D                                     6, -6 count up      7, -5 count down
//  -1 remove the element D from E              -2 remove when E equals D
//  -3 remove                                    -4 restore the saved value (or remove)
// 0 and any other value leave the setting.
struct SettingInput {
  const char16_t* existing;  // E: the text found ("" when absent)
  const char16_t* data;      // D: the resolved data
  char16_t separator;        // S: 0 for none
  const char16_t* saved;     // the saved value, null when none was saved
  int32_t mode;              // M
};

// Whether the mode acts in this direction: installing needs M >= 1, removing M < 0.
inline bool SettingModeApplies(int32_t mode, bool installing) { return installing ? mode >= 1 : mode < 0; }

// Computes the new text into [start, end] (cut to fit); false when the setting is left as it is.
// An empty result means the setting is to be removed (or written empty where the caller writes).
bool SettingComputeValue(const SettingInput& in, char16_t* start, char16_t* end);

// Removes the element `item` from the list `list` separated by `separator` into [start, end]: the
// first occurrence, ignoring case, goes only when it is a whole element, with the separator before
// it (or after it for the first element); without a separator the first occurrence goes as found.
// An empty item removes nothing.
char16_t* SettingListRemove(const char16_t* list, const char16_t* item, char16_t separator, char16_t* start,
                            char16_t* end);
