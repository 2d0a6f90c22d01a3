// Reading registry values by textual key path ("HKEY_LOCAL_MACHINE\Software\…").
#pragma once
#include <windows.h>

#include <cstdint>

// Root names, compared without regard to case up to the first backslash: HKEY_LOCAL_MACHINE,
// HKEY_ALL_USERS (HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER once per-user installation maps it),
// HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS. Returns the root and the subkey after the first
// backslash (empty for a bare root); false when the root is unknown.
bool RegistryParseRoot(const char16_t* path, HKEY* root, const char16_t** subkey);
// Maps HKEY_ALL_USERS to HKEY_CURRENT_USER for the rest of the run (per-user installations).
void RegistryMapAllUsersToCurrentUser(bool map);

// Reads the value `name` of the key at `path` in the view `view_flags` (0, KEY_WOW64_32KEY or
// KEY_WOW64_64KEY) as text by its type (registry_text.h); REG_EXPAND_SZ is expanded when asked.
// The data buffer starts at 520 bytes and grows while the system answers ERROR_MORE_DATA, to the
// larger of the needed size and the current size + 256, at most 65536 bytes. Returns 0 or the
// system's error (3 for an unknown root, 234 for a larger value); `*type` receives the value type.
uint32_t RegistryReadText(const char16_t* path, const char16_t* name, REGSAM view_flags, bool expand,
                          char16_t* start, char16_t* end, DWORD* type);

// The flag that selects the native view: the 64-bit view in a 32-bit process on 64-bit Windows.
REGSAM RegistryNativeViewFlag();
