// The five process-wide locks. Index 0 guards the log file, index 1 the module registration list.
// A request with an index of 5 or more, or before the locks exist, does nothing. No lock is held
// while another is taken.
#pragma once
#include <cstdint>

constexpr uint32_t kLockLog = 0;
constexpr uint32_t kLockModules = 1;
constexpr uint32_t kLockCount = 5;

void LockEnter(uint32_t index);
void LockLeave(uint32_t index);

// Process start-up and shutdown only.
bool LocksCreate();
void LocksDelete();
