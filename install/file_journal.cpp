#include "install/file_journal.h"

#include <windows.h>

#include "database/class_descriptor.h"
#include "database/database_builder.h"
#include "database/object_id.h"
#include "database/pointer_list.h"
#include "expr/database_resolver.h"
#include "install/file_ops.h"
#include "install/file_slots.h"
#include "install/folders.h"
#include "runtime/file_utils.h"
#include "runtime/fs_redirection.h"
#include "runtime/path_clean.h"
#include "runtime/path_parts.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

uint64_t g_sessionId;

const char16_t* TextOf(const SetupObject* entry, unsigned slot) {
  const char16_t* text = SlotText(entry, slot);
  return text ? text : u"";
}

bool OfThisSession(const SetupObject* entry) { return SlotU64(entry, kEntrySession) == FileJournalSessionId(); }

bool IsNotFound(uint32_t err) { return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND; }

// The second path with its variable references resolved.
void ResolvedSecondPath(ObjectTable* db, const SetupObject* entry, char16_t* path) {
  Substitute(db, TextOf(entry, kEntrySecondPath), path, path + kInstallPathCapacity - 1);
}

// Schedules the entry for the next restart (a failed deletion or a deferred replacement); true when
// the system took it.
bool ScheduleForRestart(ObjectTable* db, SetupObject* entry) {
  const char16_t* path = TextOf(entry, kEntryPath);
  char16_t second[kInstallPathCapacity];
  ResolvedSecondPath(db, entry, second);
  if (SlotInt(entry, kEntryState) == kEntryDeferred) {
    if (!*second) return false;
    TraceList(TR("Q0002"), 2, path, second);
    if (!Sys().MoveFileExW(W(path), W(second), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)) {
      Trace(TR("W2001"), u"%s|%s|%lu", path, second, GetLastError());
      return false;
    }
    FileClearReadOnlyHidden(path);
    FileClearReadOnlyHidden(second);
    FileJournalSetState(entry, kEntryOwned);
    BuilderSetText(entry, kEntryPath, second);
    return true;
  }
  TraceList(TR("Q0002"), 2, path, u"");
  if (!Sys().MoveFileExW(W(path), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    Trace(TR("W2001"), u"%s|%s|%lu", path, u"", GetLastError());
    return false;
  }
  FileClearReadOnlyHidden(path);
  FileJournalSetState(entry, kEntryFinished);
  return true;
}

// The journal's entries, newest last, copied so that a walk may add entries.
PointerList Snapshot(const ObjectTable* db) {
  PointerList copy{};
  for (uint32_t i = 0; i < db->journal.count; ++i) PointerListAppend(&copy, db->journal.items[i]);
  return copy;
}

}  // namespace

uint64_t FileJournalSessionId() {
  if (!g_sessionId) g_sessionId = ObjectIdNew();
  return g_sessionId;
}

SetupObject* FileJournalAdd(ObjectTable* db, const char16_t* path, uint64_t owner) {
  SetupObject* entry = ObjectCreate(db, TagOf("fsta"), ObjectIdNew());
  BuilderSetId(entry, kEntrySession, FileJournalSessionId());
  BuilderSetId(entry, kEntryOwner, owner);
  BuilderSetInt(entry, kEntryState, kEntryNothing);
  BuilderSetText(entry, kEntryPath, path);
  ObjectTableInsert(db, entry);
  PointerListAppend(&db->journal, entry);
  return entry;
}

void FileJournalSetState(SetupObject* entry, int32_t state) { BuilderSetInt(entry, kEntryState, state); }

void FileJournalSetSecondPath(SetupObject* entry, const char16_t* path) { BuilderSetText(entry, kEntrySecondPath, path); }

SetupObject* FileJournalFind(ObjectTable* db, uint64_t id) {
  return id ? ObjectTableFind(db, TagOf("fsta"), id) : nullptr;
}

uint32_t FileJournalDeleteByPattern(ObjectTable* db, const char16_t* pattern, uint64_t owner, uint64_t* entry_id,
                                    bool journal_only) {
  FsRedirectionScope native;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(W(pattern), &found);
  if (find == INVALID_HANDLE_VALUE) {
    uint32_t err = GetLastError();
    Trace(TR("W0023"), u"%s|%lu", pattern, err);
    return IsNotFound(err) ? ERROR_SUCCESS : err;
  }
  // The folder part of the pattern, to which each match's name is joined.
  char16_t path[kInstallPathCapacity];
  char16_t* name = TextCopy(path, path + kInstallPathCapacity - 1, pattern);
  while (name > path && name[-1] != u'\\' && name[-1] != u'/') --name;
  uint32_t last = ERROR_SUCCESS;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    TextCopy(name, path + kInstallPathCapacity - 1, reinterpret_cast<const char16_t*>(found.cFileName));
    uint32_t err = ERROR_SUCCESS;
    if (!journal_only) {
      FileClearReadOnlyHidden(path);
      err = Sys().DeleteFileW(W(path)) ? ERROR_SUCCESS : GetLastError();
      if (IsNotFound(err)) err = ERROR_SUCCESS;
      if (!err) TraceList(TR("A0012"), 1, path);
      else Trace(TR("W0011"), u"%s|%lu", path, err);
    }
    if (err || journal_only) {
      SetupObject* entry = FileJournalAdd(db, path, owner);
      FileJournalSetState(entry, kEntryDeletionFailed);
      if (entry_id) *entry_id = ObjectId(entry);
      last = err;
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return last;
}

uint32_t FileJournalDeleteObject(SetupObject* entry) {
  FsRedirectionScope native;
  const char16_t* path = TextOf(entry, kEntryPath);
  uint32_t err;
  if (SlotU64(entry, kEntryOwner) == kOwnerFolder) {
    bool everything = SlotInt(entry, kEntryState) == kEntryTemporary;
    err = everything ? FolderDeleteTree(path, kTreeDeleteFiles | kTreeDeleteSubfolders)
                     : (Sys().RemoveDirectoryW(W(path)) ? ERROR_SUCCESS : GetLastError());
  } else {
    FileClearReadOnlyHidden(path);
    err = Sys().DeleteFileW(W(path)) ? ERROR_SUCCESS : GetLastError();
  }
  if (IsNotFound(err)) {
    Trace(TR("D0060"), u"%s|%lu", path, err);
    err = ERROR_SUCCESS;
  } else if (!err) {
    TraceList(TR("A0012"), 1, path);
  } else {
    Trace(TR("W0011"), u"%s|%lu", path, err);
  }
  FileJournalSetState(entry, err ? kEntryDeletionFailed : kEntryFinished);
  return err;
}

uint32_t FileJournalFinish(ObjectTable* db, uint32_t flags) {
  FsRedirectionScope native;
  uint32_t scheduled = 0;
  PointerList entries = Snapshot(db);
  for (uint32_t i = entries.count; i-- > 0;) {
    SetupObject* entry = entries.items[i];
    if (!OfThisSession(entry)) continue;
    int32_t state = SlotInt(entry, kEntryState);
    if ((state == kEntryStaged || state == kEntryTemporary) && !(flags & kFinishKeepTemporary))
      state = FileJournalDeleteObject(entry) ? kEntryDeletionFailed : kEntryFinished;
    if (flags & kFinishScheduleNothing) continue;
    if ((state == kEntryDeletionFailed || state == kEntryDeferred) && ScheduleForRestart(db, entry)) ++scheduled;
  }
  PointerListFree(&entries);
  Trace(TR("I2002"), u"0x%X|%u", flags, scheduled);
  return scheduled;
}

void FileJournalDeleteFiles(ObjectTable* db, bool all_sessions) {
  PointerList entries = Snapshot(db);
  for (uint32_t i = entries.count; i-- > 0;) {
    SetupObject* entry = entries.items[i];
    int32_t state = SlotInt(entry, kEntryState);
    if (state < kEntryDeletionFailed || state > kEntryOwned || state == kEntryNothing) continue;
    if (all_sessions || OfThisSession(entry)) FileJournalDeleteObject(entry);
  }
  PointerListFree(&entries);
}

void FileJournalDropFinished(ObjectTable* db) {
  PointerList kept{};
  uint32_t dropped = 0;
  for (uint32_t i = 0; i < db->journal.count; ++i) {
    SetupObject* entry = db->journal.items[i];
    int32_t state = SlotInt(entry, kEntryState);
    if (state != kEntryFinished && state != kEntryNothing) {
      PointerListAppend(&kept, entry);
      continue;
    }
    ObjectTableRemove(db, entry);
    ObjectDestroy(entry);
    ++dropped;
  }
  PointerListFree(&db->journal);
  db->journal = kept;
  Trace(TR("I2003"), u"%u|%u", dropped, kept.count);
}

SetupObject* FileJournalStage(ObjectTable* db, const char16_t* staged, uint64_t owner, const char16_t* folder,
                              const char16_t* name) {
  char16_t destination[kInstallPathCapacity];
  PathJoin(destination, destination + kInstallPathCapacity - 1, folder, name);
  SetupObject* entry = FileJournalAdd(db, staged, owner);
  FileJournalSetState(entry, kEntryStaged);
  FileJournalSetSecondPath(entry, destination);
  return entry;
}

void FileJournalPerformStagedCopies(ObjectTable* db) {
  FsRedirectionScope native;
  PointerList entries = Snapshot(db);
  for (uint32_t i = 0; i < entries.count; ++i) {
    SetupObject* entry = entries.items[i];
    if (SlotInt(entry, kEntryState) != kEntryStaged || !*TextOf(entry, kEntrySecondPath)) continue;
    const char16_t* staged = TextOf(entry, kEntryPath);
    char16_t destination[kInstallPathCapacity];
    ResolvedSecondPath(db, entry, destination);
    PathClean(destination);
    char16_t folder[kInstallPathCapacity];
    PathFolderPart(folder, folder + kInstallPathCapacity - 1, destination);
    if (*folder) FolderCreate(db, folder, kFolderJournalOwned);
    for (int wait = 0; wait < 5; ++wait) {
      HANDLE h = CreateFileW(W(destination), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        break;
      }
      DWORD err = GetLastError();
      if (err != ERROR_SHARING_VIOLATION && err != ERROR_LOCK_VIOLATION) break;
      Sleep(1000);
    }
    FileClearReadOnlyHidden(destination);
    if (!Sys().CopyFileW(W(staged), W(destination), FALSE)) {
      Trace(TR("W0014"), u"%s|%s|%lu", staged, destination, GetLastError());
      FileJournalSetState(entry, kEntryDeferred);
      continue;
    }
    TraceList(TR("A0009"), 2, staged, destination);
    FileJournalSetState(entry, kEntryTemporary);
    FileJournalSetState(FileJournalAdd(db, destination, SlotU64(entry, kEntryOwner)), kEntryOwned);
  }
  PointerListFree(&entries);
}
