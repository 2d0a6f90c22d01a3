// The Windows resources that a run holds from runtime initialisation to the release at the end:
// the single-instance mutex, the shell's allocator, the shared small-icon image list, the libraries
// loaded at start, the version block and the package reader.
#pragma once
#include <windows.h>

#include <commctrl.h>
#include <objidl.h>

#include "runtime/version_resource.h"

struct PackageReader;

struct OptionalFunctions {
  FARPROC reg_delete_key_ex;          // RegDeleteKeyExW
  FARPROC get_known_folder_path;      // SHGetKnownFolderPath
  FARPROC sfc_is_file_protected;      // SfcIsFileProtected
  FARPROC sfc_is_key_protected;       // SfcIsKeyProtected
  FARPROC wow64_disable_redirection;  // Wow64DisableWow64FsRedirection
  FARPROC wow64_revert_redirection;   // Wow64RevertWow64FsRedirection
};

struct SessionResources {
  HANDLE instance_mutex;
  char16_t* instance_name;           // the name the mutex was claimed under (owned)
  VersionResource version;           // the executable's version block
  bool ole_initialized;
  IMalloc* shell_malloc;
  HIMAGELIST small_icons;
  HMODULE libraries[4];              // comctl32, shell32, wininet, msi
  OptionalFunctions functions;
  PackageReader* reader;
};

// The run's resources (one per process).
SessionResources* Resources();

// Claims the single instance under `name`: nothing when this run holds a mutex already or the name
// is empty. Creates and owns the mutex and writes I1110 (name, error). An existing instance (183)
// shows "The product installer is already running" (text 488) and returns 183.
uint32_t ClaimSingleInstance(const char16_t* name);

// Releases everything above in the order of the release at the end of a run.
void ReleaseSessionResources();
