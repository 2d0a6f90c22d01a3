// Paths longer than the plain form allows (MAX_PATH, 248 characters for a folder) reach the file
// system in the "\\?\" form, which has no length limit but is not normalised by the system: only a
// full path of plain components ("X:\..." or "\\server\share\...", no "/", "." or "..") is turned
// into it, which is what the installation's resolved paths are.
#pragma once
#include <windows.h>

// The path as the system should get it: `path` itself, or a heap copy in the "\\?\" form that the
// destructor frees (keeping the calling thread's last-error value).
struct LongPathArgument {
  explicit LongPathArgument(LPCWSTR path);
  ~LongPathArgument();
  LongPathArgument(const LongPathArgument&) = delete;
  LongPathArgument& operator=(const LongPathArgument&) = delete;
  LPCWSTR path;
  wchar_t* owned;
};
