// Folders: the creation routine every installation operation uses to make a target folder with its
// parents (each component it creates is journalled, so it disappears again on rollback or removal),
// the creation of folder items, and the removal of a folder by depth.
#pragma once
#include <cstdint>

#include "database/object_table.h"

// Journal modes of created folders: the state each created component's entry gets.
enum : int32_t {
  kFolderJournalOwned = 0,      // state 4: removed on rollback and removal of the product
  kFolderJournalTemporary = 1,  // state 2: removed with its contents at the end of the run
  kFolderJournalKept = 2,       // state 5: never removed through the journal
};

// Creates `path` and every missing parent, outermost first, each created component journalled
// (A0008). Returns 0 when the folder exists or was made; 87 for an empty path, 80 when a file holds
// the name, else the system's error (E0009 for every failure).
uint32_t FolderCreate(ObjectTable* db, const char16_t* path, int32_t journal_mode);

// Creates a folder item's path with the item's journal mode (kept when its removal mode is 0, else
// temporary by folder flag bit 0) and sets its installed state: 1, or -1 after message 265.
uint32_t FolderItemCreate(ObjectTable* db, SetupObject* folder);

// Removes a folder after deleting ".DS_Store" and "thumbs.db" in it: depth 0 only when empty, 1
// after deleting its files, 3 after deleting its files and subfolders. Returns 0 or the error.
uint32_t FolderRemove(const char16_t* path, int32_t depth);
