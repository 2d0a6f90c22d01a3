// File and folder routines with the program's tolerance for missing items. All return Windows
// error codes (0 = success) unless said otherwise.
#pragma once
#include <cstdint>

#include "runtime/platform.h"

// Deletes a file, clearing its read-only and system attributes first. A file or path that does not
// exist (2, 3) counts as success.
uint32_t FileDeleteForced(const char16_t* path);

enum : uint32_t {
  kTreeDeleteFiles = 0x1,       // delete the plain files in the folder
  kTreeDeleteSubfolders = 0x2,  // descend into subfolders, applying the same flags
  kTreeKeepFolder = 0x4,        // keep the folder itself
};
// Deletes a folder's content and the folder by the flags above. The first error stops the walk and
// is returned; a folder that does not exist counts as success. Read-only files and folders are
// deleted; a linked folder (junction, symbolic link) is removed as a link, never descended into.
uint32_t FolderDeleteTree(const char16_t* path, uint32_t flags);

// "<temporary folder><prefix><8 hex digits><extension>" with "%s%08lX%s", the extension ".tmp" when
// none is given; `random` supplies the digits (the calling thread's next random value). The file is
// not created.
char16_t* TempFileNameFrom(char16_t* start, char16_t* end, const char16_t* prefix, const char16_t* extension,
                           uint32_t random);

// A non-empty path whose attributes can be read.
bool FileExists(const char16_t* path);

struct FoundFile {
  FileFacts facts;
  char16_t name[260];
};
// The first directory entry that matches `path`. Unless wildcards are allowed, a path with "*" or
// "?" is refused with 87. Returns 0 or the system's error (2 when nothing matches).
uint32_t FileFindOne(const char16_t* path, bool allowWildcards, FoundFile* found);
