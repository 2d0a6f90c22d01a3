// Copying an executable in front of the package it will carry (inside the package writer only).
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/buffered_file.h"

// Writes the executable at `path` to `out` with its DOS header prepared for an appended package:
// the marker "qe11", the locator (the optional header's checksum and the security-directory entry
// as they were, and the package offset = the executable's length) and the locator's checksum; the
// checksum and the security-directory entry themselves are cleared. `package_offset` receives the
// executable's length. Returns 0; 11 for a length outside 0x4000 .. 0x10000000; 193 for a file
// that is not a PE image; or a file error.
uint32_t PackageCopyExecutable(const char16_t* path, BufferedFile* out, uint64_t* package_offset);
// The same for an executable held in memory.
uint32_t PackageCopyExecutableImage(const uint8_t* image, size_t size, BufferedFile* out, uint64_t* package_offset);
