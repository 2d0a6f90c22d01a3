// Resolver slots over the system itself (no database): environment variables, INI files and the
// registry. The standard resolver uses them; tests put them into fixture resolvers.
#pragma once
#include "expr/resolver.h"

// An environment variable; nothing when unset or longer than the buffer.
char16_t* ExprEnvironmentValue(void* context, const char16_t* name, char16_t* start, char16_t* end);
// GetPrivateProfileStringW with an empty default, 32-bit file-system redirection switched off.
char16_t* ExprIniValue(void* context, const char16_t* file, const char16_t* section, const char16_t* key,
                       char16_t* start, char16_t* end);
// A registry value as text in the native, 32-bit or 64-bit view; nothing (and trace W1531) when it
// cannot be read.
char16_t* ExprRegistryValue(void* context, int view, const char16_t* key, const char16_t* value_name,
                            char16_t* start, char16_t* end);
