// The module registration list. The program's own record is pushed at entry; the module of the
// first record is the instance handle used for every resource, window class and dialog.
#pragma once
#include <windows.h>

struct ModuleRecord {
  HMODULE module;       // null: the executable's module
  ModuleRecord* next;
};

// Pushes a record (owned by the caller, it stays registered until unregistered).
void ModuleRegister(ModuleRecord* record);
// Unlinks the record; an unregistered record is ignored.
void ModuleUnregister(ModuleRecord* record);
// The first record holding `module`, or null; with `unlink` the record found is removed.
ModuleRecord* ModuleFind(HMODULE module, bool unlink);
// The instance handle for resources: the first record's module, or the executable's module.
HMODULE ModuleInstance();
