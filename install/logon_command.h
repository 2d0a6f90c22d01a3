// Registering a command that Windows starts at the next logon (the Run keys).
#pragma once
#include <cstdint>

#include "database/object_table.h"

// Flags: bits 16-17 the key under "Software\Microsoft\Windows\CurrentVersion": 0 "Run", 1 "RunOnce",
// 2 "RunServices", 3 "RunServicesOnce"; bit 20 name prefix "*"; bit 21 name prefix "!" (before the
// "*"); bit 22 the name from variable 403, bit 23 from variable 414, otherwise "QEL" and 16
// hexadecimal digits of a fresh random number; bit 25 HKEY_LOCAL_MACHINE, bit 24 HKEY_CURRENT_USER,
// otherwise HKEY_CURRENT_USER when the installation scope flags have bit 5, else HKEY_LOCAL_MACHINE.
enum : uint32_t {
  kLogonKeyShift = 16,
  kLogonPrefixStar = 1u << 20,
  kLogonPrefixBang = 1u << 21,
  kLogonNameFrom403 = 1u << 22,
  kLogonNameFrom414 = 1u << 23,
  kLogonCurrentUser = 1u << 24,
  kLogonLocalMachine = 1u << 25,
};

// Writes the REG_SZ value: the program (variables resolved) in double quotes, then a space and the
// arguments (resolved) when there are any. The value's name, prefixes included, goes to
// [name, name_end]. Traces A0001 (name, data) or E0033 (name, data, error); returns 0 or the error.
uint32_t RegisterLogonCommand(ObjectTable* db, const char16_t* program, const char16_t* arguments, uint32_t flags,
                              char16_t* name, char16_t* name_end);
