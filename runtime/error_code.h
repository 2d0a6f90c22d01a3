// The error-code conventions: functions return Windows error numbers (0 = success), and a failure
// that is reported through the thread's last-error value keeps the first error that was set.
#pragma once
#include <cstdint>

// If the thread's last-error value is non-zero it is returned unchanged; otherwise `code` is
// stored as the last error and returned.
uint32_t KeepFirstError(uint32_t code);
// `code` when it is non-zero, else `fallback`.
inline uint32_t CodeOrDefault(uint32_t code, uint32_t fallback) { return code ? code : fallback; }
