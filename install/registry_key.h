// Registry keys by textual path: the choice between the 32-bit and the 64-bit view of 64-bit
// Windows, opening and creating keys with the system's protection check, deleting values and key
// trees, the per-user redirection of HKEY_CLASSES_ROOT.
#pragma once
#include <windows.h>

#include <cstdint>

// Requested views (a key item's view): 0 automatic, 1 automatic preferring the 32-bit view,
// 2 the 64-bit view only, 3 automatic creating in the 32-bit view when the 64-bit one fails,
// 4 the 64-bit view only (error 1010 on 32-bit Windows), 5 the 32-bit view only. Opens report the
// view they ended in: 4 or 5 (on 32-bit Windows always 5).
enum : int32_t {
  kRegistryViewAutomatic = 0,
  kRegistryViewPrefer32 = 1,
  kRegistryView64Only = 2,
  kRegistryViewAutomaticFallback = 3,
  kRegistryView64Bit = 4,
  kRegistryView32Bit = 5,
};

bool RegistryIs64BitWindows();

// Opens the key at `path`. Views 0, 1 and 3 open the 64-bit key and move to the 32-bit key when the
// 64-bit one does not open, or when `value_name` (null: none) is not in the 64-bit key and is in
// the 32-bit key (view 1: whenever the 32-bit key opens). Write access (set-value or
// create-subkey rights) to a key that the system protects fails with 5. Returns 0 or the error.
uint32_t RegistryOpenKey(const char16_t* path, const char16_t* value_name, int32_t view, REGSAM access, HKEY* key,
                         int32_t* actual_view);

// Opens (views 0 and 1 first try RegistryOpenKey) or creates the key: in the 64-bit view for views
// 0, 2, 3 (falling back to the 32-bit view) and 4, in the 32-bit view for 1 and 5. `*disposition`
// is REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
uint32_t RegistryCreateKey(const char16_t* path, const char16_t* value_name, int32_t view, REGSAM access, HKEY* key,
                           DWORD* disposition, int32_t* actual_view);

// The view flag for deleting keys in a stored view: 4 the 64-bit flag (on any Windows); 1 and 5 the
// 32-bit flag on 64-bit Windows; any other view the 64-bit flag on 64-bit Windows; else none.
REGSAM RegistryDeleteViewFlags(int32_t view);

// Deletes every value of the key; 0 when all went.
uint32_t RegistryDeleteValues(HKEY key);
// Deletes every subkey tree below the key, depth first; 0 when all went.
uint32_t RegistryDeleteSubkeys(HKEY key, int32_t view);
// Whether the key has no subkeys and, unless `ignore_values`, no values.
bool RegistryKeyIsEmpty(HKEY key, bool ignore_values);
// Deletes the key at `path` when it is empty; with `upwards` each parent that becomes empty too
// (never a root). True when a key was deleted.
bool RegistryDeleteEmptyKey(const char16_t* path, int32_t view, bool upwards);

// On: HKEY_CLASSES_ROOT becomes the current user's "Software\Classes"; off: the system's again.
void RegistryRedirectClasses(bool on);

// "Software\Microsoft\Windows\CurrentVersion\" + name.
char16_t* RegistrySystemKeyPath(const char16_t* name, char16_t* start, char16_t* end);
