// The file journal: entries (class fsta) of the setup database that record the files and folders a
// run created, staged, deferred or could not delete. They are saved with the database, so an entry
// survives into a later session (a repair, a removal, the run after a restart). The list lives in
// the database's `journal`, in creation order; its processing at the end of a session walks it
// newest first, so nested folders go before their parents.
#pragma once
#include <cstdint>

#include "database/object_table.h"

// The id of this session's entries (made on first use, the same for the whole run).
uint64_t FileJournalSessionId();

// A new entry in state 0 for `path`, owned by `owner` (kOwnerFolder for folders), of this session.
SetupObject* FileJournalAdd(ObjectTable* db, const char16_t* path, uint64_t owner);
void FileJournalSetState(SetupObject* entry, int32_t state);
void FileJournalSetSecondPath(SetupObject* entry, const char16_t* path);
// The entry with the id, or null.
SetupObject* FileJournalFind(ObjectTable* db, uint64_t id);

// Deletes every file matching `pattern` (wildcards allowed). A match that cannot be deleted, or
// every match with `journal_only`, gets an entry in state -1 (its id into *entry_id when given).
// Returns the last error (0 when all were deleted or nothing matched; W0023 then).
uint32_t FileJournalDeleteByPattern(ObjectTable* db, const char16_t* pattern, uint64_t owner, uint64_t* entry_id,
                                    bool journal_only);

// Deletes the entry's file or folder (a folder in state 2 with everything in it). Success, or a file
// that is not there (2, 3), sets state -2; any other error state -1 and is returned.
uint32_t FileJournalDeleteObject(SetupObject* entry);

enum : uint32_t {
  kFinishScheduleNothing = 0x1,   // schedule nothing for the next restart
  kFinishKeepTemporary = 0x2,     // do not delete the temporary and staged entries' files now
};
// Finishes this session's entries, newest first: deletes temporary and staged files, schedules
// failed deletions and deferred replacements for the next restart. Returns the number scheduled.
uint32_t FileJournalFinish(ObjectTable* db, uint32_t flags);

// Deletes the files and folders of every entry in state -1, 1, 2, 3 or 4, newest first: of this
// session only, or of all sessions (the removal of the product).
void FileJournalDeleteFiles(ObjectTable* db, bool all_sessions);

// Removes the entries in state -2 or 0 from the journal and the database.
void FileJournalDropFinished(ObjectTable* db);

// A staged file: an entry in state 1 for `staged`, whose second path is `folder` joined with `name`
// by exactly one separator. The folder may hold
// variable references ("<KesProductFolder>"): they are resolved when the copy is made.
SetupObject* FileJournalStage(ObjectTable* db, const char16_t* staged, uint64_t owner, const char16_t* folder,
                              const char16_t* name);

// Copies every staged file (state 1) to its resolved destination, creating the destination's folder
// first (journalled, so a rollback removes it again); the destination becomes an owned entry (4).
void FileJournalPerformStagedCopies(ObjectTable* db);
