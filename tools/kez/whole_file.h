// Reading input files of kez into memory (icons, runtimes, executables to list).
#pragma once
#include <cstdint>
#include <vector>

// Reads the file at `path`. Returns 0; 13 (ERROR_INVALID_DATA) when it is longer than `limit`
// bytes; or the file's error.
uint32_t WholeFileRead(const char16_t* path, uint64_t limit, std::vector<uint8_t>* bytes);

// Reads the first `count` bytes of the file at `path` (all of it when it is shorter). Returns 0 or
// the file's error.
uint32_t FileStartRead(const char16_t* path, uint64_t count, std::vector<uint8_t>* bytes);
