#include "runtime/locks.h"

#include <windows.h>

#include "runtime/heap.h"

namespace {
CRITICAL_SECTION* g_locks;
}

bool LocksCreate() {
  auto* locks = static_cast<CRITICAL_SECTION*>(MemAlloc(sizeof(CRITICAL_SECTION) * kLockCount));
  if (!locks) return false;
  for (uint32_t i = 0; i < kLockCount; ++i) InitializeCriticalSectionAndSpinCount(&locks[i], 0);
  g_locks = locks;
  return true;
}

void LocksDelete() {
  if (!g_locks) return;
  for (uint32_t i = 0; i < kLockCount; ++i) DeleteCriticalSection(&g_locks[i]);
  MemFree(g_locks);
  g_locks = nullptr;
}

void LockEnter(uint32_t index) {
  if (g_locks && index < kLockCount) EnterCriticalSection(&g_locks[index]);
}

void LockLeave(uint32_t index) {
  if (g_locks && index < kLockCount) LeaveCriticalSection(&g_locks[index]);
}
