// Switching the 32-bit file-system redirection of a 32-bit process on 64-bit Windows off and back
// on around work on target paths, so that system paths name the native folders. Switches nest: only
// the outermost pair changes the thread's state. Where the system has no redirection (32-bit or
// native 64-bit processes) both do nothing.
#pragma once

void FsRedirectionOff();
void FsRedirectionRestore();

// Scoped form: off for the lifetime of the object.
struct FsRedirectionScope {
  FsRedirectionScope() { FsRedirectionOff(); }
  ~FsRedirectionScope() { FsRedirectionRestore(); }
  FsRedirectionScope(const FsRedirectionScope&) = delete;
  FsRedirectionScope& operator=(const FsRedirectionScope&) = delete;
};
