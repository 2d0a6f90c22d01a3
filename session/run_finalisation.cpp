#include "session/run_finalisation.h"

#include <windows.h>

#include <shlobj.h>

#include "actions/abort_on_failure.h"
#include "actions/action_journal.h"
#include "database/database_file.h"
#include "expr/database_resolver.h"
#include "expr/option_plan.h"
#include "expr/variables.h"
#include "resources/string_ids.h"
#include "runtime/error_text.h"
#include "runtime/file_utils.h"
#include "runtime/fs_redirection.h"
#include "runtime/log.h"
#include "runtime/path_clean.h"
#include "runtime/path_parts.h"
#include "runtime/process_context.h"
#include "runtime/rights.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "session/subsystem_hooks.h"
#include "ui/message_box.h"

namespace {

constexpr uint32_t kVarProductFolder = 409;
constexpr size_t kPathCapacity = 1024;

enum : unsigned {
  kInstallationProductText = 20,
  kInstallationProductFolder = 29,  // run time: the product folder an installation moved aside
  kInstallationProductBackup = 30,  // run time: the folder it was moved to ("._rb")
};

void RenameLog(SessionState* s, ObjectTable* db) {
  char16_t current[kLogPathCapacity], target[kPathCapacity];
  LogCurrentPath(current, current + kLogPathCapacity - 1);
  if (s->log_path) {
    Substitute(db, s->log_path, target, target + kPathCapacity - 1);
    PathClean(target);
  } else {
    SYSTEMTIME t;
    GetLocalTime(&t);
    DateTime now{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
    const char16_t* product = SlotText(db->installation, kInstallationProductText);
    LogBuildEndOfRunPath(target, target + kPathCapacity - 1, current, product ? product : u"", &now,
                         RunModeName(SessionRunMode(s)));
  }
  uint32_t err = LogRename(target);
  if (err) Trace(TR("W1160"), u"%s|%s|%lu", current, target, err);
  else TraceList(TR("I1161"), 2, current, target);
}

void DeleteProductFolderBackup(ObjectTable* db) {
  const char16_t* backup = SlotText(db->installation, kInstallationProductBackup);
  if (!backup || !*backup) return;
  FsRedirectionScope native;
  uint32_t err = FolderDeleteTree(backup, kTreeDeleteFiles | kTreeDeleteSubfolders);
  if (err) Trace(TR("W0076"), u"%s|%lu", backup, err);
  else TraceList(TR("A0071"), 1, backup);
}

void RestoreProductFolder(ObjectTable* db) {
  const char16_t* folder = SlotText(db->installation, kInstallationProductFolder);
  const char16_t* backup = SlotText(db->installation, kInstallationProductBackup);
  if (!folder || !*folder || !backup || !*backup) return;
  FsRedirectionScope native;
  uint32_t err = FolderDeleteTree(folder, kTreeDeleteFiles | kTreeDeleteSubfolders);
  if (err) Trace(TR("W0077"), u"%s|%lu", folder, err);
  else TraceList(TR("A0072"), 1, folder);
  if (!MoveFileExW(reinterpret_cast<const wchar_t*>(backup), reinterpret_cast<const wchar_t*>(folder), 0))
    Trace(TR("W0078"), u"%s|%s|%lu", backup, folder, GetLastError());
  else TraceList(TR("A0073"), 2, backup, folder);
}

// "<product folder>\<name>" into [path, path + kPathCapacity - 1]; false when the folder is empty.
bool ProductFolderFile(ObjectTable* db, const char16_t* name, char16_t* path) {
  char16_t folder[kPathCapacity];
  if (VariableValue(db, kVarProductFolder, folder, folder + kPathCapacity - 1) == folder) return false;
  PathJoin(path, path + kPathCapacity - 1, folder, name);
  PathClean(path);
  return true;
}

void DeleteSavedDatabases(ObjectTable* db) {
  FsRedirectionScope native;
  for (const char16_t* name : {u"Setup.dat", u"Uninstall.dat"}) {
    char16_t path[kPathCapacity];
    if (!ProductFolderFile(db, name, path)) continue;
    uint32_t err = FileDeleteForced(path);
    if (err) Trace(TR("W1162"), u"%s|%lu", path, err);
    else TraceList(TR("A1163"), 1, path);
  }
}

void Hook(void (*hook)(ObjectTable*), ObjectTable* db, uint32_t code, const char16_t* step) {
  if (hook) hook(db);
  else Trace(code, u"%s", step);
}

void Commit(SessionState* s, ObjectTable* db) {
  TraceList(TR("I0059"), 0);
  SessionSetPhase(s, kPhaseCompleting);
  JournalFinalize();
  OptionsCommitInstalledStates(db);
  const WorkingFileHooks& working = Hooks()->working_files;
  const FileInstallationHooks& files = Hooks()->file_installation;
  if (s->fresh_installation) {
    if (working.keep_cached_files) working.keep_cached_files(s, db);
    else Trace(TR("I1164"), u"%s", u"working files: support files not cached");
  }
  DeleteProductFolderBackup(db);
  if (Hooks()->dialogs.close_all_and_release) Hooks()->dialogs.close_all_and_release();
  bool remove = SessionRunMode(s) == kRunModeRemove;
  if (remove) {
    DeleteSavedDatabases(db);
    Hook(files.delete_journal_temporary_files, db, TR("I1165"), u"file installation: journal temporary files kept");
  }
  if (files.clean_temporary_files) files.clean_temporary_files(db, s->keep_flag);
  else Trace(TR("I1166"), u"%s", u"file installation: no temporary files cleaned");
  Hook(files.release_journal_entries, db, TR("I1167"), u"file installation: journal entries kept");
  if (!remove) SaveRunDatabase(s, db);
  else if (Hooks()->removal.start_final_cleanup) Hooks()->removal.start_final_cleanup(s, db);
  else Trace(TR("I1168"), u"%s", u"removal: final clean-up not started");
  TraceList(TR("I0060"), 0);
}

void RollBack(SessionState* s, ObjectTable* db) {
  TraceList(TR("I0057"), 0);
  SessionSetState(s, kStateAborted);
  SessionSetPhase(s, kPhaseRolledBack);
  JournalRollback();
  if (Hooks()->dialogs.close_all_and_release) Hooks()->dialogs.close_all_and_release();
  const FileInstallationHooks& files = Hooks()->file_installation;
  Hook(files.delete_temporary_files, db, TR("I1169"), u"file installation: no temporary files deleted");
  Hook(files.release_journal_entries, db, TR("I1170"), u"file installation: journal entries kept");
  RestoreProductFolder(db);
  SessionSetRestartMode(s, 0);
  TraceList(TR("I0058"), 0);
}

void DecideRestart(SessionState* s) {
  int32_t mode = SessionRestartMode(s);
  bool needed = SessionRestartNeeded(s) != 0;
  SessionExitCode(s);
  bool restart = (mode == 1 || mode == 2) && needed;
  if (needed) SessionRecordExitCode(s, 12);
  if (SessionQuietLevel(s) != 0) restart = false;
  s->restart_decided = restart;
  if (restart) Trace(TR("A0003"), u"%d|%d", mode, needed ? 1 : 0);
}

// Creates `folder` and its missing parents.
uint32_t CreateFolderTree(const char16_t* folder) {
  if (GetFileAttributesW(reinterpret_cast<const wchar_t*>(folder)) != INVALID_FILE_ATTRIBUTES) return ERROR_SUCCESS;
  int result = SHCreateDirectoryExW(nullptr, reinterpret_cast<const wchar_t*>(folder), nullptr);
  if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS) return uint32_t(result);
  TraceList(TR("A1171"), 1, folder);
  return ERROR_SUCCESS;
}

// Creates the product folder and saves the database there as "Setup.dat" (its path into `path`).
uint32_t SaveIntoProductFolder(ObjectTable* db, char16_t* path) {
  FsRedirectionScope native;
  uint32_t err = ProductFolderFile(db, u"", path) ? CreateFolderTree(path) : uint32_t(ERROR_PATH_NOT_FOUND);
  TextAppend(path, path + kPathCapacity - 1, u"Setup.dat");
  if (err) {
    Trace(TR("E0003"), u"%s|%lu", path, err);
    return err;
  }
  return DatabaseSaveFile(db, path);  // writes I0008 or E0003
}

}  // namespace

unsigned long SaveRunDatabase(SessionState* s, ObjectTable* db) {
  char16_t path[kPathCapacity] = u"";
  uint32_t err = SaveIntoProductFolder(db, path);
  if (!err) return ERROR_SUCCESS;
  QelShowMessageBox(static_cast<HWND>(s->main_window), MB_OK | MB_ICONERROR, IDOK, MessageBoxTimeout(),
                    MessageTextId(IDS_SAVE_ERROR), path, err, ErrorTextOfThread(err));
  SessionRecordExitCode(s, 4);
  return err;
}

void FinalizeRun(SessionState* s) {
  ObjectTable* db = s->database;
  if (!db || !db->installation) return;
  Trace(TR("I1172"), u"%d|%d", SessionRunMode(s), SessionInstallState(s));
  RenameLog(s, db);
  if (SessionInstallState(s) >= kStateCompleted) Commit(s, db);
  else RollBack(s, db);
  if (s->fonts_installed) SendMessageTimeoutW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 1000, nullptr);
  if (Hooks()->system_inspection.release_tables) Hooks()->system_inspection.release_tables();
  SessionSetPhase(s, kPhaseFinished);
  DecideRestart(s);
}

void RestartIfDecided(SessionState* s) {
  if (!s->restart_decided) return;
  uint32_t err = PrivilegeAdjust(nullptr, u"SeShutdownPrivilege", false);
  if (err) Trace(TR("W1173"), u"%lu", err);
  if (!ExitWindowsEx(EWX_REBOOT, SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_MINOR_INSTALLATION |
                                    SHTDN_REASON_FLAG_PLANNED))
    Trace(TR("E1174"), u"%lu", GetLastError());
}
