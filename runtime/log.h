// The run's log file. It is opened in the temporary folder under the executable's base name (plus
// optional "%08lX" suffixes) and ".log"; every trace record is appended with one unbuffered write
// under lock 0; at the end of the run it is moved to a readable name and closed with a footer.
// Nothing a log call does changes the thread's last-error value, and no failure reaches the caller
// beyond the returned code.
#pragma once
#include <cstdint>

#include "runtime/log_names.h"

constexpr uint32_t kLogTruncateAbove = 65536;  // an existing file larger than this is emptied

// Opens the log (kLogWith* flags choose the name's suffixes when no path is set yet). Returns 0
// when the log is open (or already was); 6 when opening was already attempted and failed; 13 when
// the executable's path is unknown; otherwise the error of the file creation. A new or empty file
// gets the UTF-8 byte-order mark when the log is written in UTF-8; then the header line follows.
uint32_t LogOpen(uint32_t flags);

// Appends the text converted to the log's code page (opening the log with flags 0 if needed).
void LogWriteText(const char16_t* text, size_t length);
// Appends raw bytes.
void LogWriteBytes(const char* bytes, uint32_t count);

// Moves the open log to `new_path` (the file is open with delete sharing); when that fails its
// error is returned and the old path stays. On success, or when the log is not open, `new_path`
// becomes the log path; a closed log is opened there by the next open (even after a failed one).
// A path of 264 characters or more is refused with 206 (ERROR_FILENAME_EXCED_RANGE).
uint32_t LogRename(const char16_t* new_path);

// Writes the footer and closes the log; the next open starts afresh.
void LogClose();

// Copies the current log path (empty when none is set) into [start, end].
char16_t* LogCurrentPath(char16_t* start, char16_t* end);

// Process start-up and shutdown: trace records go to (or stop going to) the log.
void LogInstallTraceSink();
void LogRemoveTraceSink();
