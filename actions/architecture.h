// The architecture pre-check of actions, requirements and prerequisites: the machine's native
// architecture and the set of architectures it can run.
#pragma once
#include <cstdint>

// Whether `set` matches `mask` under the capability match mode (action_object.h kMatch*; other
// values as kMatchAny).
bool ArchitectureMatches(uint32_t mask, uint32_t set, int32_t mode);

struct MachineArchitectures {
  uint32_t native;    // one architecture bit
  uint32_t runnable;  // x86, the native one and those the system runs by emulation
};

// The machine's architectures, read once (IsWow64Process2 and GetMachineTypeAttributes when the
// system has them, else the native system information).
const MachineArchitectures& Machine();
