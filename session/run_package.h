// The run's package: the package-open step that every caller uses, with the run's password
// provider, next-volume provider and verification progress callback, and the search for an entry
// that may lie behind the reader's position.
#pragma once
#include <cstdint>

#include "package/package_reader.h"

struct SessionState;

// Opens `path` with the run's callbacks and the verify mode of the command line, requiring the
// package code (null: any) and set identifier (0: any). Calls the verification progress callback
// with code 3 afterwards in every case. Writes E0035 (path, error) or I0012 (the opened path);
// the opened path is copied into [opened_start, opened_end] (may be null). Returns 0 or the error.
uint32_t RunPackageOpen(const char16_t* path, const uint8_t* package_code, uint64_t set_identifier,
                        char16_t* opened_start, char16_t* opened_end);

// Opens the run's own package: the package the run started from, or, for a run that started from a
// database file (an installed product's Setup.dat), the file of the program's own name in the
// package folder (z:, variable 524). The opened path becomes the run's package path. Returns 0 or
// the error (E0035).
uint32_t RunPackageOpenMain();

// The run's reader (created on first use, destroyed with the session's resources).
PackageReader* RunPackageReader();

// Finds entry `id` of the run's own package. The reader reads strictly forward: when the entry is
// not found before the stream ends (it may lie behind the position), the package is closed and
// reopened once from the run's package path and searched again. A closed reader is opened first.
// Returns 0 with the header, or the error.
uint32_t RunPackageFindEntry(uint64_t id, PackageEntryHeader* header);

// The callbacks (exposed for tests).
uint32_t RunPasswordProvider(PackageReader* reader, uint32_t attempt, uint8_t* buffer, uint32_t* length);
bool RunNextVolumeProvider(PackageReader* reader, uint32_t index, uint32_t last_error, char16_t* path);
uint32_t RunVerifyProgress(uint32_t code, void* context, uint32_t low, uint32_t high);
