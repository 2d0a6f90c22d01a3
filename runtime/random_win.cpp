#include <windows.h>

#include <cstring>

#include "runtime/process_context.h"
#include "runtime/random.h"

void ProcessSeedMake(uint32_t seed[2]) {
  SeedSources sources{};
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  sources.performance_counter = uint64_t(counter.QuadPart);
  MEMORYSTATUS memory{};
  memory.dwLength = sizeof memory;
  GlobalMemoryStatus(&memory);
  memcpy(sources.memory, &memory, sizeof sources.memory < sizeof memory ? sizeof sources.memory : sizeof memory);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  sources.filetime = (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  sources.thread_id = GetCurrentThreadId();
  sources.tick_count = GetTickCount();
  ProcessSeedMix(&sources, seed);
}

uint64_t RandomNext64() {
  ThreadContext* thread = ThreadCurrent();
  uint32_t local[2] = {0, 0};
  uint32_t* state = thread ? thread->random_state : local;
  if (!state[0] && !state[1]) ProcessSeedMake(state);
  PsdesHash(&state[0], &state[1]);
  return (uint64_t(state[0]) << 32) | state[1];
}

uint32_t RandomNext32() {
  uint64_t value = RandomNext64();
  return uint32_t(value >> 32) ^ uint32_t(value);
}
