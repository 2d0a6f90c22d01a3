#include "install/file_ops.h"

#include "runtime/system_calls.h"
#include "session/session_state.h"
#include "runtime/text.h"

void FileClearReadOnlyHidden(const char16_t* path) {
  DWORD attributes = GetFileAttributesW(W(path));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN))
    Sys().SetFileAttributesW(W(path), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
}

bool PathExists(const char16_t* path) { return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES; }

char16_t* PathWithSuffix(char16_t* start, char16_t* end, const char16_t* path, const char16_t* suffix) {
  return TextAppend(TextCopy(start, end, path), end, suffix);
}

bool InstallCancelled() {
  SessionState* s = SessionCurrent();
  return s && (s->cancel_requested || SessionInstallState(s) < 0);
}
