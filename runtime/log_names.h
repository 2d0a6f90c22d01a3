// Names and fixed lines of the log file: the name a run's log starts under, the readable name it
// gets at the end of the run, and the header and footer lines.
#pragma once
#include <cstdint>

#include "runtime/calendar.h"

enum : uint32_t {
  kLogWithProcessId = 0x1,  // the name gets the process identifier as "%08lX"
  kLogWithRandom = 0x2,     // the name gets a random 32-bit value as "%08lX"
};

// `temp_folder` (with or without its final separator; may be empty) + `base_name` + the suffixes
// chosen by `flags` + ".log". Returns the pointer to the terminating NUL (text.h conventions).
char16_t* LogBuildTempPath(char16_t* start, char16_t* end, const char16_t* temp_folder, const char16_t* base_name,
                           uint32_t flags, uint32_t process_id, uint32_t random);

// The end-of-run name: in the folder of `current_path`, "%s-%04u%02u%02uT%02u%02u%02u-%s.log" with
// the product text, the time and the run-mode name, then cleaned (PathClean). Path separators in the
// product text become "_", so the name stays in that folder.
char16_t* LogBuildEndOfRunPath(char16_t* start, char16_t* end, const char16_t* current_path,
                               const char16_t* product, const DateTime* time, const char16_t* run_mode_name);

// "%04u-%02u-%02u %02u:%02u:%02u.%03u ===== Logging %s =====\n"
char16_t* LogFormatHeader(char16_t* start, char16_t* end, const DateTime* time, const char16_t* executable_path);
// "%04u-%02u-%02u %02u:%02u:%02u.%03u ===== Closing log file =====\n"
char16_t* LogFormatFooter(char16_t* start, char16_t* end, const DateTime* time);
