// The standard folders: the system path table that `<$syspath(i)>` reads and the start-up
// re-expansion of the fixed program-files and common-files variables. Which folder each variable
// names is the database's choice (its values use `<$shpath(…)>`, `<$syspath(…)>` and the
// environment); the program supplies the pieces.
#pragma once

#include "database/object_table.h"

// Folder variable ids the program itself rewrites.
enum : uint32_t {
  kVarCommonFiles32 = 100,
  kVarProgramFiles32 = 102,
  kVarCommonFiles64 = 115,
  kVarProgramFiles64 = 116,
  kVarCommonFiles = 119,
  kVarProgramFiles = 120,
  kVarInstallerCache = 418,
};

// Fills the system path table in the order 2 (Windows folder), 3 (shared Windows folder), 0 (system
// folder), 1 (32-bit system folder of 64-bit Windows), 4 (temporary folder without its final
// backslash), 5 (root of the user profiles), 6 (all-users profile), 7 (the user's profile), then 8
// and 9 (the installation roots of the .NET Framework: the "InstallRoot" value of
// HKEY_LOCAL_MACHINE\Software\Microsoft\.NETFramework in the 32-bit and, on 64-bit Windows, the
// 64-bit registry view). A slot the system cannot fill stays empty with trace W1550 (index, error).
void SystemPathsFill();

// Re-expands variables 102 and 116, then 100 and 115, in place, so that they keep the folders of
// this system even when the references inside them change later.
void StandardFoldersFix(ObjectTable* db);
