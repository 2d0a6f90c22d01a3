// The check of a file name taken from a database before it is joined to its folder: the result must
// stay inside the folder and name a plain file. Portable.
#pragma once

// 0 when the name is safe; otherwise the reason, a Windows error: 123 (invalid name) for an empty
// name, a "." or ".." component, a leading separator, a drive or a colon stream; 161 (bad path
// name) for a device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, with any extension)
// as any component.
unsigned long TargetNameCheck(const char16_t* name);

// The check of a folder path resolved from a database variable, before anything is created in it: a
// full path, "X:\..." or "\\server\share\...", whose components are plain names. 0 when it is
// safe; 123 (invalid name) for a relative or drive-relative path or a "." or ".." component; 161
// (bad path name) for a device name as a component or the "\\?\" and "\\.\" namespaces. Portable.
unsigned long FolderPathCheck(const char16_t* path);
