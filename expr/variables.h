// The variable store: variables (class symb) of a loaded database, addressed by name or by fixed
// id, read expanded or raw, set with change notification. The only way the rest of the system reads
// or writes variables.
#pragma once
#include <windows.h>

#include <cstdint>

#include "database/object_table.h"

// Slots of a variable object.
enum : unsigned {
  kSymbId = 8,              // u32
  kSymbFlags = 9,           // u32; kSymbSecret
  kSymbValue = 10,          // localized text (slots 10-12)
  kSymbSecondText = 13,     // localized text (slots 13-15), not read here
  kSymbName = 16,           // text
  kSymbListeners = 17,      // run time: up to 16 listener windows (slots 17-32)
  kSymbListenerCount = 33,  // run time
};
constexpr uint32_t kSymbSecret = 0x10;
constexpr unsigned kMaxVariableListeners = 16;
constexpr UINT kVariableChangedMessage = WM_APP + 0xC0;  // wParam: the variable, lParam: the new text
constexpr UINT_PTR kVariableRefreshTimer = 0xABCD;

// The language whose text a localized value yields (the user-interface language once chosen).
void VariablesSetLanguage(uint16_t language);
uint16_t VariablesLanguage();

// What the session takes from variable changes: 505 (user-interface level) and 524 (a session text,
// passed on only when not empty). Null hooks or slots: nothing is passed on.
struct VariableSessionHooks {
  void (*ui_level_changed)(int level);
  void (*session_text_changed)(const char16_t* text);
};
void VariablesSetSessionHooks(const VariableSessionHooks* hooks);

// Lookup: by name (bisection over the database's sorted variable list, ASCII case ignored) or by
// id (linear). A miss writes trace W1510 / W1511 and yields null.
SetupObject* VariableFind(ObjectTable* db, const char16_t* name);
SetupObject* VariableFindById(ObjectTable* db, uint32_t id);
const char16_t* VariableName(const SetupObject* variable);

// The stored text in the current language, unexpanded; "" for no text.
const char16_t* VariableRawValue(const SetupObject* variable);
// The stored text run through the substitution engine into the buffer; returns the end of the text
// (nothing for a missing variable).
char16_t* VariableValue(ObjectTable* db, uint32_t id, char16_t* start, char16_t* end);
char16_t* VariableValueOf(ObjectTable* db, const SetupObject* variable, char16_t* start, char16_t* end);
// The expanded value read as a number (base from the prefix); 0 when it is empty or missing.
int32_t VariableInt(ObjectTable* db, uint32_t id);
uint32_t VariableU32(ObjectTable* db, uint32_t id);
uint64_t VariableU64(ObjectTable* db, uint32_t id);

// Sets the stored value. Nothing happens when the text equals the current text (case-sensitive):
// no trace, no notification. Otherwise: trace A1512 (name, old, new; "*HIDDEN*" for non-empty
// values of secret variables; ids 500, 501, 504 and 528 untraced), store the text as the plain
// value, start the 10 ms timer 0xABCD on the main window, send each listener message 0x80C0, and
// apply the side effects of ids 505 (512 and the session level), 426 (427-429), 524 (the session
// text) and of the variable 426 names (427-429). A missing variable: nothing.
void VariableSet(ObjectTable* db, uint32_t id, const char16_t* text);
void VariableSetObject(ObjectTable* db, SetupObject* variable, const char16_t* text);
void VariableSetInt(ObjectTable* db, uint32_t id, int32_t value);
void VariableSetU32(ObjectTable* db, uint32_t id, uint32_t value);
void VariableSetU64(ObjectTable* db, uint32_t id, uint64_t value);

// Expands the variable's own value and stores the result when it differs.
void VariableReexpand(ObjectTable* db, uint32_t id);

// Measures 427-429 for the installation folder that 426 names, as a change of that folder does.
void VariablesMeasureFreeSpace(ObjectTable* db);

// Listener windows (controls that show or edit the variable): at most 16; a 17th registration is
// refused (false). Registering a window twice keeps one entry.
bool VariableListen(SetupObject* variable, HWND window);
void VariableUnlisten(SetupObject* variable, HWND window);
