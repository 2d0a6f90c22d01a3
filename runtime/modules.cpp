#include "runtime/modules.h"

#include "runtime/locks.h"

namespace {
ModuleRecord* g_modules;

// The link that points at `record`, or null. Called under the modules lock.
ModuleRecord** LinkTo(ModuleRecord* record) {
  for (ModuleRecord** link = &g_modules; *link; link = &(*link)->next)
    if (*link == record) return link;
  return nullptr;
}
}  // namespace

void ModuleRegister(ModuleRecord* record) {
  if (!record->module) record->module = GetModuleHandleW(nullptr);
  LockEnter(kLockModules);
  record->next = g_modules;
  g_modules = record;
  LockLeave(kLockModules);
}

void ModuleUnregister(ModuleRecord* record) {
  LockEnter(kLockModules);
  if (ModuleRecord** link = LinkTo(record)) *link = record->next;
  record->next = nullptr;
  LockLeave(kLockModules);
}

ModuleRecord* ModuleFind(HMODULE module, bool unlink) {
  LockEnter(kLockModules);
  ModuleRecord** link = &g_modules;
  while (*link && (*link)->module != module) link = &(*link)->next;
  ModuleRecord* found = *link;
  if (found && unlink) {
    *link = found->next;
    found->next = nullptr;
  }
  LockLeave(kLockModules);
  return found;
}

HMODULE ModuleInstance() {
  LockEnter(kLockModules);
  HMODULE module = g_modules ? g_modules->module : GetModuleHandleW(nullptr);
  LockLeave(kLockModules);
  return module;
}
