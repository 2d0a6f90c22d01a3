// Rights of the process: administrator membership, elevation and token privileges.
#pragma once
#include <cstdint>

// Whether the process token is a member of the built-in Administrators group.
bool ProcessIsAdministrator();

// 0 when the token cannot be read; otherwise by its elevation type: default → 3 for an
// administrator, else 1; full → 3; limited → 2 for an administrator, else 1.
int ProcessElevationState();

// Enables the privilege `name` on `token` (the process token when null), or removes it from the
// token. Returns the thread's last error after the adjustment: 1300 when the token does not hold
// the privilege; other errors when the name is unknown or the token cannot be opened.
uint32_t PrivilegeAdjust(void* token, const char16_t* name, bool remove);
