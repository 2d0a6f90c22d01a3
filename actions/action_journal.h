// The action journal: one entry per executed journaled action, doubly linked in execution order.
// When the installation completes it is finalized oldest first; otherwise it is rolled back newest
// first. Either walk frees it.
#pragma once
#include <cstdint>

#include "database/object_table.h"

constexpr unsigned kContextWords = 6;

struct JournalEntry {
  JournalEntry* previous;
  JournalEntry* next;
  ObjectTable* database;
  SetupObject* action;
  uint32_t context[kContextWords];  // copied from the caller's context
  bool has_context;                 // the action ran with a context
  int32_t result;                   // of the run method
};

// Appends an entry (the context, may be null, is copied).
void JournalAppend(ObjectTable* database, SetupObject* action, const uint32_t* context, int32_t result);
// Shows "Finalizing the installation..." (text 259) and calls each entry's finalize method, oldest
// first, with the action, its stored result and its context; traces each call and result; frees
// the journal.
void JournalFinalize();
// Shows "Rolling back the installation..." (text 260) and calls each entry's rollback method,
// newest first, likewise; frees the journal.
void JournalRollback();
// Frees the journal without calling anything (session end).
void JournalFree();

// The oldest and the newest entry (null when the journal is empty).
const JournalEntry* JournalOldest();
const JournalEntry* JournalNewest();
