// a104 Redirecting folders: a per-user installation points the program folders into the user's
// local application-data folder, then the run records where its runtime copy goes and which root
// "HKEY_ALL_USERS" means.
#pragma once
#include <cstdint>

#include "database/object_table.h"

// Bits of the installation record's redirection mask (slot 15).
enum : uint32_t {
  kRedirectProgramFiles = 0x1,     // 102, 116, 120 ← "<LocalAppDataFolder>\Programs32", "…64", "…"
  kRedirectCommonFiles = 0x2,      // 100, 115, 119 ← "<LocalAppDataFolder>\Common32", "…64", "…"
  kRedirectShellFolders = 0x4,     // 418 ← "<LocalAppDataFolder>\Installer"; the all-users shell
                                   // folders 300-320 ← references to their per-user counterparts
  kRedirectInstallerCache = 0x80,  // 418 as with 0x4
  kRedirectRegistryMask = 0x70,    // any of these: "HKEY_ALL_USERS" means HKEY_CURRENT_USER
};

// The installation's scope: variable 523 when it holds a value of 0 or more (the /a switch or the
// access check set it), else the installation record's scope (slot 25). 1 is the current user only.
int32_t InstallationScope(ObjectTable* db);

// The redirection of a run for the current user only (scope 1), by `mask`; each rewrite stores
// the text as the variable's value (later reads expand it) and is traced (A1512). Exposed for
// tests; the action calls it.
void FoldersRedirect(ObjectTable* db, uint32_t mask);

// Registers the method table of a104 (after the class table is registered). Its run: the
// redirection when the scope is 1; then variable 409 is re-expanded in place and "<409>\Setup.exe"
// becomes the session's runtime copy path; "HKEY_ALL_USERS" is mapped to HKEY_CURRENT_USER when the
// record's scope is 1 or the mask has a bit of 0x70; trace I1551 (scope, mask, path). Result 0.
void FolderRedirectionRegister();
