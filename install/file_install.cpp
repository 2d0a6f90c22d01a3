// a115 Install files: the sources in their order (the main package, external files), extraction of
// each file that needs data to "._tm", the replacement decision, the rollback copy "._rb", the move
// into place; finalize deletes the rollback copies, rollback puts every processed file back.
#include "install/file_install.h"

#include <windows.h>

#include "actions/abort_on_failure.h"
#include "actions/action_object.h"
#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/field_string.h"
#include "database/field_types.h"
#include "database/pointer_list.h"
#include "expr/database_resolver.h"
#include "expr/installable_item.h"
#include "expr/variables.h"
#include "install/file_decision.h"
#include "install/file_journal.h"
#include "install/file_ops.h"
#include "install/file_slots.h"
#include "install/file_steps.h"
#include "install/folders.h"
#include "install/shared_files.h"
#include "package/package_reader.h"
#include "runtime/error_text.h"
#include "runtime/fs_redirection.h"
#include "runtime/message_pump.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/run_package.h"
#include "session/session_state.h"
#include "session/subsystem_hooks.h"
#include "ui/message_box.h"
#include "ui/progress.h"

namespace {

constexpr unsigned kActionProcessed = 22;  // a005 and its descendants: the items processed (run time)
constexpr unsigned kInstallationFlags = 12;
constexpr uint32_t kSourceMainPackage = 0x10000000;
constexpr uint32_t kNoInUsePrompt = 0x40;
constexpr uint32_t kInUseMessage = 256;
constexpr uint32_t kVarDisplayName = 500;
constexpr uint32_t kVarRestartNeeded = 507;
constexpr uint32_t kVarRestartDeferred = 510;
constexpr uint32_t kEventFilesStarting = 12;
constexpr uint32_t kEventFilesEnded = 13;
constexpr uint64_t kInternalEntryMask = 0xFFFFFFFFFFFF0000ULL;

struct Progress {
  int32_t start;
  int32_t range;
  uint64_t total;
  uint64_t done;
};

Progress g_progress;

void ProgressAdd(uint64_t bytes) {
  g_progress.done += bytes;
  uint64_t total = g_progress.total ? g_progress.total : 1;
  uint64_t done = g_progress.done < total ? g_progress.done : total;
  ProgressSetPosition(g_progress.start + int32_t(uint64_t(g_progress.range) * done / total), false);
}

uint32_t ReadProgress(PackageReader*, uint32_t code, uint32_t low, uint32_t high) {
  if (code == kReadProgressBytes) {
    g_progress.done += low | uint64_t(high) << 32;
    ProgressAdd(0);
    PumpPendingMessages();
  }
  return InstallCancelled() ? ERROR_CANCELLED : ERROR_SUCCESS;
}

const char16_t* PathOf(const SetupObject* file) {
  const char16_t* path = SlotText(file, kFileTargetPath);
  return path ? path : u"";
}

void PublishDisplayName(ObjectTable* db, const SetupObject* file) {
  const char16_t* path = PathOf(file);
  const char16_t* name = path + TextLength(path);
  while (name > path && name[-1] != u'\\') --name;
  VariableSet(db, kVarDisplayName, name);
}

// Reports a failure of a file step; true when the installation is aborted (E0045 then).
bool ReportFailure() {
  if (!AbortOnFailure(kFailureFiles, true)) return false;
  TraceList(TR("E0045"), 0);
  return true;
}

uint32_t InstallationFlags(ObjectTable* db) { return db->installation ? SlotU32(db->installation, kInstallationFlags) : 0; }

// Message 256 for a target in use: true for Retry; Cancel, a quiet run and the time-out defer.
bool AskRetryInUse(ObjectTable* db, const char16_t* path, uint32_t err) {
  if (InstallationFlags(db) & kNoInUsePrompt) return false;
  SessionState* s = SessionCurrent();
  int answer = QelShowMessageBox(static_cast<HWND>(s ? s->main_window : nullptr), MB_RETRYCANCEL | MB_ICONEXCLAMATION,
                                 IDCANCEL, MessageBoxTimeout(), MessageTextId(kInUseMessage), path, err,
                                 ErrorTextOfThread(err));
  return answer == IDRETRY;
}

bool IsInUse(uint32_t err) {
  return err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION ||
         err == ERROR_ALREADY_EXISTS;
}

// Steps after a successful move: attributes, temporary entry or ".local" companion, restart flag.
void AfterMove(ObjectTable* db, SetupObject* action, SetupObject* file) {
  const char16_t* path = PathOf(file);
  TraceList(TR("A0007"), 1, path);
  Sys().SetFileAttributesW(W(path), SlotU32(file, kFileAttributes) ? SlotU32(file, kFileAttributes) : FILE_ATTRIBUTE_NORMAL);
  uint32_t flags = SlotU32(file, kFileFlags);
  if (flags & kFileFlagTemporary) {
    SetupObject* entry = FileJournalAdd(db, path, ObjectId(file));
    FileJournalSetState(entry, kEntryTemporary);
    BuilderSetId(file, kFileJournalLink, ObjectId(entry));
    TraceList(TR("Q0005"), 1, path);
  } else if (flags & kFileFlagLocalCompanion) {
    char16_t local[kInstallPathCapacity];
    PathWithSuffix(local, local + kInstallPathCapacity - 1, path, u".local");
    HANDLE h = Sys().CreateFileW(W(local), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      Trace(TR("E0059"), u"%s|%lu", local, GetLastError());
    } else {
      CloseHandle(h);
      SetSlotU32(file, kFileFlags, SlotU32(file, kFileFlags) | kFileFlagLocalCreated);
      TraceList(TR("A0064"), 1, local);
    }
  }
  if (flags & kFileFlagRestart) VariableSetInt(db, kVarRestartNeeded, 1);
  PointerListAppend(SlotPointerList(action, kActionProcessed), file);
  if (uint32_t err = PendingDeletionCancel(db, path)) Trace(TR("W0025"), u"%s|%lu", path, err);
  SharedCountIncrement(file);
}

// Defers the replacement to the next restart: the temporary copy stays, journalled in state 3.
void Defer(ObjectTable* db, SetupObject* file, const char16_t* temporary) {
  SetupObject* entry = FileJournalAdd(db, temporary, ObjectId(file));
  FileJournalSetState(entry, kEntryDeferred);
  FileJournalSetSecondPath(entry, PathOf(file));
  BuilderSetId(file, kFileJournalLink, ObjectId(entry));
  TraceList(TR("Q0001"), 2, temporary, PathOf(file));
  VariableSetInt(db, kVarRestartDeferred, 1);
}

// The file failed: installed state -1, the temporary copy deleted; returns the error.
uint32_t FailFile(SetupObject* file, const char16_t* temporary, uint32_t err) {
  SetSlotU32(file, kItemInstalledState, uint32_t(-1));
  if (temporary) {
    FileClearReadOnlyHidden(temporary);
    Sys().DeleteFileW(W(temporary));
  }
  return err;
}

}  // namespace

uint32_t FileInstallFromTemporary(ObjectTable* db, SetupObject* action, SetupObject* file, const char16_t* temporary) {
  FsRedirectionScope native;
  const char16_t* path = PathOf(file);
  for (;;) {
    bool copied = false;
    if (uint32_t err = FileMakeRollbackCopy(file, &copied)) return FailFile(file, temporary, err);
    FileClearReadOnlyHidden(path);
    if (Sys().MoveFileExW(W(temporary), W(path), MOVEFILE_REPLACE_EXISTING)) break;
    uint32_t err = GetLastError();
    Trace(TR("E0007"), u"%s|%s|%lu", temporary, path, err);
    FileUndoRollbackCopy(file, copied);
    if (!IsInUse(err)) return FailFile(file, temporary, err);
    if (AskRetryInUse(db, path, err)) continue;
    if (SlotU32(file, kFileFlags) & kFileFlagTemporary) return FailFile(file, temporary, err);
    Defer(db, file, temporary);
    return ERROR_SUCCESS;
  }
  AfterMove(db, action, file);
  return ERROR_SUCCESS;
}

// Decision result handling before any data is written; returns the result, or kDecisionSkip when
// nothing more is to be done for the item.
int32_t FileApplyDecision(ObjectTable* db, SetupObject* action, SetupObject* file, int32_t result) {
  static const uint32_t kStateOf[] = {0, 3, 2, 1};
  int32_t previous = SlotInt(file, kItemInstalledState);
  SetSlotU32(file, kItemPreviousState, uint32_t(previous));
  if (result == kDecisionSkip) {
    TraceList(TR("I0076"), 1, PathOf(file));
    return kDecisionSkip;
  }
  static const uint32_t kTraces[] = {0, TR("I0077"), TR("I0078"), TR("I0079")};
  TraceList(kTraces[result], 1, PathOf(file));
  // A file kept by a repair stays as it was installed.
  SetSlotU32(file, kItemInstalledState, result == kDecisionKeep && previous > 0 ? uint32_t(previous) : kStateOf[result]);
  if (result == kDecisionKeep) {
    // A file that was installed already and is kept has nothing for the rollback to undo.
    if (previous <= 0) PointerListAppend(SlotPointerList(action, kActionProcessed), file);
    if (uint32_t err = PendingDeletionCancel(db, PathOf(file))) Trace(TR("W0025"), u"%s|%lu", PathOf(file), err);
    SharedCountIncrement(file);
    FileBackupRule(db, file);
    return kDecisionSkip;
  }
  if (result == kDecisionReplace) FileBackupRule(db, file);
  PublishDisplayName(db, file);
  return result;
}

namespace {

// One entry of the package: extract it to "._tm" and install it when its file's decision needs its
// data, else skip it. Returns 0, or the error that stops the extraction (only when the failure
// aborts the installation, or the user cancelled).
uint32_t InstallEntry(ObjectTable* db, SetupObject* action, PackageReader* reader, const PackageEntryHeader& header) {
  SetupObject* file = ObjectTableFind(db, TagOf("file"), header.id);
  if (!file) Trace(TR("D0055"), u"%016I64X", header.id);
  int32_t decided = file ? SlotInt(file, kFileDecision) - 1 : kDecisionSkip;
  if (decided != kDecisionReplace && decided != kDecisionInstall) {
    g_progress.done += header.size;
    return PackageSkipEntry(reader, &header);
  }
  SetSlotU32(file, kFileDecision, 0);
  int32_t result = FileApplyDecision(db, action, file, decided);
  char16_t temporary[kInstallPathCapacity];
  PathWithSuffix(temporary, temporary + kInstallPathCapacity - 1, PathOf(file), u"._tm");
  FsRedirectionScope native;
  uint32_t err = FilePrepareTarget(db, file, result);
  if (err) {
    FailFile(file, nullptr, err);
    if (ReportFailure()) return err;
    return PackageSkipEntry(reader, &header);
  }
  err = PackageExtractEntry(reader, &header, temporary);
  if (err) {
    Trace(TR("E0006"), u"%s|%lu", temporary, err);
    FailFile(file, temporary, err);
    return ReportFailure() || err == ERROR_CANCELLED ? err : ERROR_SUCCESS;
  }
  TraceList(TR("A0006"), 1, temporary);
  err = FileInstallFromTemporary(db, action, file, temporary);
  if (err && ReportFailure()) return err;
  return ERROR_SUCCESS;
}

// Decides every packaged file first: the kept and skipped ones are done at once, the others wait
// for their entry. Returns how many need data from the package.
uint32_t DecidePackagedFiles(ObjectTable* db, SetupObject* action) {
  uint32_t needing = 0;
  for (uint32_t i = 0; i < db->files.count; ++i) {
    SetupObject* file = db->files.items[i];
    if (SlotU32(file, kFileFlags) & kFileFlagExternal) continue;
    int32_t result = FileItemDecide(file);
    if (result == kDecisionReplace || result == kDecisionInstall) {
      SetSlotU32(file, kFileDecision, uint32_t(result + 1));
      ++needing;
    } else {
      SetSlotU32(file, kFileDecision, 0);
      FileApplyDecision(db, action, file, result);
    }
  }
  return needing;
}

// The extraction loop over an open package.
uint32_t ExtractFrom(ObjectTable* db, SetupObject* action, PackageReader* reader) {
  PackageReadProgress previous = reader->read_progress;
  reader->read_progress = ReadProgress;
  uint32_t err;
  for (;;) {
    if (InstallCancelled()) {
      err = ERROR_CANCELLED;
      break;
    }
    PackageEntryHeader header;
    err = PackageNextEntry(reader, &header);
    if (err == ERROR_HANDLE_EOF) {
      err = ERROR_SUCCESS;
      break;
    }
    if (err) {
      Trace(TR("E0037"), u"%lu", err);
      ReportFailure();
      break;
    }
    if ((header.id & kInternalEntryMask) == kInternalEntryMask) err = PackageSkipEntry(reader, &header);
    else err = InstallEntry(db, action, reader, header);
    if (err) break;
  }
  reader->read_progress = previous;
  return err;
}

// The run's own package, opened only when a file needs data.
uint32_t InstallFromMainPackage(ObjectTable* db, SetupObject* action) {
  PackageReader* reader = RunPackageReader();
  uint32_t err = PackageIsOpen(reader) ? ERROR_SUCCESS : RunPackageOpenMain();
  if (err) {
    Trace(TR("E0034"), u"%lu", err);
    ReportFailure();
    return err;
  }
  err = ExtractFrom(db, action, reader);
  // The reader is at the end of the stream: a later search starts from the front again.
  PackageClose(reader);
  return err;
}

// The packages of the options that install and carry their files in a package of their own
// (flags 0x10), where the option's package path (slot 11, variables resolved) exists.
uint32_t InstallFromOptionPackages(ObjectTable* db, SetupObject* action, PointerList* options) {
  constexpr unsigned kOptionPackagePath = 11, kOptionFlags = 22, kOptionChildren = 34, kOptionAction = 38;
  for (uint32_t i = 0; i < options->count; ++i) {
    SetupObject* option = options->items[i];
    if (uint32_t err = InstallFromOptionPackages(db, action, SlotPointerList(option, kOptionChildren))) return err;
    const char16_t* stored = SlotText(option, kOptionPackagePath);
    if (!(SlotU32(option, kOptionFlags) & 0x10) || SlotInt(option, kOptionAction) != 1 || !stored || !*stored) continue;
    char16_t path[kInstallPathCapacity];
    Substitute(db, stored, path, path + kInstallPathCapacity - 1);
    if (!PathExists(path)) {
      TraceList(TR("I2008"), 1, path);
      continue;
    }
    SessionState* s = SessionCurrent();
    PackageReader* reader = PackageReaderCreate();
    reader->password_provider = RunPasswordProvider;
    uint32_t err = PackageOpen(reader, path, s ? s->package_code : nullptr, ObjectId(option), kVerifyUnlessReadOnly,
                               nullptr, nullptr);
    if (err) {
      Trace(TR("E0034"), u"%lu", err);
      ReportFailure();
    } else {
      TraceList(TR("I0012"), 1, path);
      err = ExtractFrom(db, action, reader);
    }
    PackageReaderDestroy(reader);
    if (err) return err;
  }
  return ERROR_SUCCESS;
}

// The packaged files: decided first, then the sources in their order.
uint32_t InstallPackagedFiles(ObjectTable* db, SetupObject* action) {
  uint32_t needing = DecidePackagedFiles(db, action);
  Trace(TR("I2006"), u"%u", needing);
  uint32_t err = ERROR_SUCCESS;
  if (needing && (InstallationFlags(db) & kSourceMainPackage)) err = InstallFromMainPackage(db, action);
  if (needing && !err) err = InstallFromOptionPackages(db, action, &db->options);
  for (uint32_t i = 0; i < db->files.count; ++i) {  // files whose data no source held
    SetupObject* file = db->files.items[i];
    if (SlotU32(file, kFileDecision)) Trace(TR("I2007"), u"%016I64X|%s", ObjectId(file), PathOf(file));
    SetSlotU32(file, kFileDecision, 0);
  }
  return err;
}

// External files: copied from the installation source folder, in database order.
uint32_t InstallExternalFiles(ObjectTable* db, SetupObject* action) {
  for (uint32_t i = 0; i < db->files.count; ++i) {
    SetupObject* file = db->files.items[i];
    if (!(SlotU32(file, kFileFlags) & kFileFlagExternal)) continue;
    if (InstallCancelled()) return ERROR_CANCELLED;
    int32_t result = FileApplyDecision(db, action, file, FileItemDecide(file));
    if (result == kDecisionSkip) continue;
    uint32_t err = FileCopyExternal(db, action, file, result);
    if (err && ReportFailure()) return err;
  }
  return ERROR_SUCCESS;
}

uint64_t BytesToInstall(ObjectTable* db) {
  uint64_t total = 0;
  for (uint32_t i = 0; i < db->files.count; ++i)
    if (SlotInt(db->files.items[i], kItemEffectiveMode) > 0) total += SlotU64(db->files.items[i], kFileSize);
  return total;
}

int32_t InstallFiles(SetupObject* action, ObjectTable* db, uint32_t*) {
  SessionState* s = SessionCurrent();
  bool remove = s && SessionRunMode(s) == kRunModeRemove;
  g_progress = {ProgressPosition(), remove ? 100 : 850, BytesToInstall(db), 0};
  ExtensionSendEvent(kEventFilesStarting, 0);
  uint32_t err = InstallPackagedFiles(db, action);
  if (!err) err = InstallExternalFiles(db, action);
  ExtensionSendEvent(kEventFilesEnded, 0);
  Trace(TR("I2005"), u"%lu|%u", err, SlotPointerList(action, kActionProcessed)->count);
  return err ? kResultFailed : kResultDone;
}

// Finalize of a115 and a116: the rollback copies go, last processed first.
int32_t FinalizeFiles(SetupObject* action, int32_t, uint32_t*) {
  ObjectTable* db = ObjectOwner(action);
  PointerList* processed = SlotPointerList(action, kActionProcessed);
  for (uint32_t i = processed->count; i-- > 0;) {
    SetupObject* file = processed->items[i];
    const char16_t* copy = SlotText(file, kFileRollbackCopy);
    if (!copy) continue;
    FileJournalDeleteByPattern(db, copy, ObjectId(file), nullptr, false);
    TraceList(TR("A0062"), 1, copy);
    FieldFree(file, kFileRollbackCopy, kFieldText);
    SetSlotPointer(file, kFileRollbackCopy, nullptr);
  }
  return kResultDone;
}

// Rollback of a115 and a116: every processed file back as it was, last processed first.
int32_t RollBackFiles(SetupObject* action, int32_t, uint32_t*) {
  ObjectTable* db = ObjectOwner(action);
  PointerList* processed = SlotPointerList(action, kActionProcessed);
  for (uint32_t i = processed->count; i-- > 0;) {
    SetupObject* file = processed->items[i];
    int32_t before = SlotInt(file, kItemPreviousState);
    int32_t now = SlotInt(file, kItemInstalledState);
    if (now == 1 || now == 2) {
      // Written by this run: also a repair's replacement goes back to the old file.
      FileRestore(db, file);
      if (before == 0) SharedCountDecrement(file);
    } else if (before == 0 && now == 3) {
      SharedCountDecrement(file);
    } else if (before != 0 && now == 0) {
      // The run removed it: the count is restored with the installed state it had.
      SetSlotU32(file, kItemInstalledState, uint32_t(before));
      if (before == 1 || before == 2) FileRestore(db, file);
      if (before >= 1 && before <= 3) SharedCountIncrement(file);
    }
    SetSlotU32(file, kItemInstalledState, uint32_t(before));
  }
  return kResultDone;
}

const ActionMethods kInstallFilesMethods = {
    InstallFiles,   // run
    FinalizeFiles,  // finalize
    RollBackFiles,  // rollback
};

const ActionMethods kRemoveFilesMethods = {
    RemoveFiles,    // run
    FinalizeFiles,  // finalize
    RollBackFiles,  // rollback
};

}  // namespace

void FileActionsRegister() {
  ClassSetActionMethods(TagOf("a115"), &kInstallFilesMethods);
  ClassSetActionMethods(TagOf("a116"), &kRemoveFilesMethods);
}
