// a116 Remove files: every file item with a negative effective mode, in database order, by the
// removal decision of its mode; a backed-up earlier version is copied back instead of deleting.
#include <windows.h>

#include "actions/action_object.h"
#include "database/pointer_list.h"
#include "expr/installable_item.h"
#include "expr/variables.h"
#include "install/file_journal.h"
#include "install/file_ops.h"
#include "install/file_slots.h"
#include "install/file_steps.h"
#include "install/shared_files.h"
#include "runtime/fs_redirection.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "session/subsystem_hooks.h"
#include "ui/progress.h"

namespace {

constexpr uint32_t kVarDisplayName = 500;
constexpr uint32_t kEventRemovalStarting = 20;
constexpr uint32_t kEventRemovalEnded = 21;

const char16_t* PathOf(const SetupObject* file) {
  const char16_t* path = SlotText(file, kFileTargetPath);
  return path ? path : u"";
}

bool ChangedByUser(const char16_t* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(W(path), GetFileExInfoStandard, &data)) return false;
  return CompareFileTime(&data.ftLastWriteTime, &data.ftCreationTime) > 0;
}

bool HasBackup(const SetupObject* file) {
  const char16_t* backup = SlotText(file, kFileBackupPath);
  return (SlotU32(file, kFileFlags) & kFileFlagBackupTaken) && backup && *backup;
}

// Whether the mode removes the file (before the shared-count and protection tests).
bool ModeRemoves(int32_t mode, const SetupObject* file) {
  switch (mode) {
    case -1: return !PathExists(PathOf(file)) || !ChangedByUser(PathOf(file));
    case -2: return SlotInt(file, kItemInstalledState) == 1;
    case -3: return true;
    case -4: return !HasBackup(file);
    case -5:
    case -6: return false;
    default: return mode < -6;
  }
}

// Deletes the companions of help files and controls that exist beside the target.
void DeleteCompanions(const char16_t* path) {
  size_t length = TextLength(path);
  if (length < 4) return;
  static const char16_t* const kHelp[] = {u".ann", u".bmk", u".ftg", u".fts", u".gid", nullptr};
  static const char16_t* const kControl[] = {u".oca", nullptr};
  const char16_t* extension = path + length - 4;
  bool help = TextEqualNoCase(extension, u".hlp"), control = TextEqualNoCase(extension, u".ocx");
  if (!help && !control) return;
  for (const char16_t* const* companion = help ? kHelp : kControl; *companion; ++companion) {
    char16_t name[kInstallPathCapacity];
    TextCopy(TextCopyN(name, name + kInstallPathCapacity - 1, path, length - 4), name + kInstallPathCapacity - 1, *companion);
    if (!PathExists(name)) continue;
    FileClearReadOnlyHidden(name);
    uint32_t err = Sys().DeleteFileW(W(name)) ? ERROR_SUCCESS : GetLastError();
    Trace(TR("A0010"), u"%s|%lu", name, err);
  }
}

void RemoveOne(ObjectTable* db, SetupObject* file, SetupObject* entry) {
  const char16_t* path = PathOf(file);
  TraceList(TR("I0025"), 1, path);
  FileBackupRule(db, file);
  bool copied = false;
  FileMakeRollbackCopy(file, &copied);
  if (copied || !SlotText(file, kFileRollbackCopy)) {
    // The target is still in place (no rollback copy, or only a copy of a file in use): delete it.
    if (entry) FileJournalDeleteObject(entry);
    else FileJournalDeleteByPattern(db, path, ObjectId(file), nullptr, false);
  }
  DeleteCompanions(path);
  if (SlotU32(file, kFileFlags) & kFileFlagLocalCreated) {
    char16_t local[kInstallPathCapacity];
    PathWithSuffix(local, local + kInstallPathCapacity - 1, path, u".local");
    FileClearReadOnlyHidden(local);
    uint32_t err = Sys().DeleteFileW(W(local)) ? ERROR_SUCCESS : GetLastError();
    SetSlotU32(file, kFileFlags, SlotU32(file, kFileFlags) & ~kFileFlagLocalCreated);
    Trace(TR("A0065"), u"%s|%lu", local, err);
  }
}

void RestoreBackup(SetupObject* file) {
  const char16_t* path = PathOf(file);
  const char16_t* backup = SlotText(file, kFileBackupPath);
  FileClearReadOnlyHidden(path);
  uint32_t err = Sys().CopyFileW(W(backup), W(path), FALSE) ? ERROR_SUCCESS : GetLastError();
  Trace(TR("A0043"), u"%s|%s|%lu", path, backup, err);
}

}  // namespace

int32_t RemoveFiles(SetupObject* action, ObjectTable* db, uint32_t*) {
  if (InstallCancelled()) return kResultCancelled;
  SessionState* s = SessionCurrent();
  ExtensionSendEvent(kEventRemovalStarting, 0);
  FsRedirectionScope native;
  for (uint32_t i = 0; i < db->files.count; ++i) {
    SetupObject* file = db->files.items[i];
    int32_t mode = SlotInt(file, kItemEffectiveMode);
    if (mode >= 0 || !*PathOf(file)) continue;
    if (s && s->keep_flag && (SlotU32(file, kItemFlags) & 0x1)) continue;
    if (SlotU32(file, kFileFlags) & (kFileFlagSideBySide | kFileFlagNetAssembly)) continue;
    SetupObject* entry = FileJournalFind(db, SlotU64(file, kFileJournalLink));
    VariableSet(db, kVarDisplayName, PathOf(file));
    bool removes = ModeRemoves(mode, file) && !SharedCountKeeps(file);
    if (removes) {
      RemoveOne(db, file, entry);
    } else if (mode == -4 && HasBackup(file)) {
      RestoreBackup(file);
    } else {
      TraceList(TR("I0024"), 1, PathOf(file));
      if (entry) FileJournalSetState(entry, kEntryFinished);
    }
    SharedCountDecrement(file);
    SetSlotU32(file, kItemPreviousState, SlotU32(file, kItemInstalledState));
    SetSlotU32(file, kItemInstalledState, 0);
    PointerListAppend(FileActionProcessed(action), file);
  }
  ExtensionSendEvent(kEventRemovalEnded, 0);
  return kResultDone;
}
