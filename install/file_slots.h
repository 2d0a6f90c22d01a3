// The fields of the objects that file installation works on: file items (class file), folder items
// (fldr) and file journal entries (fsta). The installable-item fields they share are in
// expr/installable_item.h.
#pragma once
#include <cstdint>

// File item (file).
enum : unsigned {
  kFileFolder = 16,          // id: the folder item (fldr) that holds the file
  kFileJournalLink = 18,     // id: the journal entry of a deferred or temporary file
  kFileSize = 20,            // u64
  kFileAttributes = 22,      // u32: set on the installed file
  kFileFlags = 23,           // u32, kFileFlag*
  kFileName = 26,            // localized text: the file name, may hold variable references
  kFileKey = 29,             // text: the name `<#Key>` looks up (the file list is sorted by it)
  kFileTargetPath = 30,      // text: full target path, variables resolved
  kFileBackupPath = 31,      // text: the "._bu" copy, once taken
  kFileSourceName = 32,      // text: name in the installation source folder (external files)
  kFileCreationTime = 36,    // FILETIME
  kFileLastWriteTime = 38,   // FILETIME
  kFileProductVersion = 40,  // u64, most significant half compared first
  kFileFileVersion = 42,     // u64
  kFileFolderObject = 46,    // run time: the folder item (linked)
  kFileRollbackCopy = 47,    // run time, text: the "._rb" copy made in this run
  kFileDecision = 48,        // run time: the replacement decision of this run + 1 (0: not decided)
};

enum : uint32_t {
  kFileFlagShared = 0x1,
  kFileFlagRestart = 0x2,
  kFileFlagNoRollbackCopy = 0x8,
  kFileFlagBackupTaken = 0x10,
  kFileFlagTemporary = 0x40,
  kFileFlagExternal = 0x80,
  kFileFlagLocalCompanion = 0x100,
  kFileFlagLocalCreated = 0x200,
  kFileFlagNetAssembly = 0x1000000,
  kFileFlagSideBySide = 0x2000000,
};

// Folder item (fldr).
enum : unsigned {
  kFolderParent = 16,        // id: the enclosing folder item, 0 for a root
  kFolderVariable = 18,      // text: the variable whose value is the folder's path
  kFolderPath = 19,          // text: the resolved path, kept once installed
  kFolderSourceFolder = 20,  // text: relative name in the installation source
  kFolderFlags = 21,         // u32: bit 0 temporary
  kFolderParentObject = 22,  // run time: the parent folder item (linked)
};

constexpr uint32_t kFolderFlagTemporary = 0x1;

// File journal entry (fsta).
enum : unsigned {
  kEntrySession = 8,      // id: the session that made the entry
  kEntryOwner = 10,       // id: the item the entry belongs to, 0 none, kOwnerFolder for folders
  kEntryState = 12,       // int, kEntry*
  kEntryPath = 13,        // text
  kEntrySecondPath = 14,  // text: destination of states 1 and 3, may hold variable references
};

constexpr uint64_t kOwnerFolder = ~uint64_t(1);  // every bit set but the lowest

// Journal states.
enum : int32_t {
  kEntryFinished = -2,
  kEntryDeletionFailed = -1,
  kEntryNothing = 0,
  kEntryStaged = 1,
  kEntryTemporary = 2,
  kEntryDeferred = 3,
  kEntryOwned = 4,
  kEntryKept = 5,
};
