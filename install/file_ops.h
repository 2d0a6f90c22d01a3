// Small helpers shared by the file-installation code: wide-text casts for the system's functions,
// the capacity of the path buffers, and the attribute clearing that comes before every replacement,
// move or deletion of a target file. Writing calls go through the system-call table (Sys()).
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

constexpr size_t kInstallPathCapacity = 1024;

inline const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* W(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

// Clears the read-only and hidden attributes of an existing file (nothing when it does not exist).
void FileClearReadOnlyHidden(const char16_t* path);
// Whether a file or folder exists at the path.
bool PathExists(const char16_t* path);
// `path` + `suffix` into [start, end]; returns the end of the text.
char16_t* PathWithSuffix(char16_t* start, char16_t* end, const char16_t* path, const char16_t* suffix);

// Whether the user cancelled the run, or the installation was aborted.
bool InstallCancelled();
