// Puts file installation into the run: the action methods of a115, a116, a142, a135, a136, a117 and
// a118, and the file journal's part of the preparation and the end of the session.
#include "install/install_register.h"

#include "install/file_install.h"
#include "install/file_journal.h"
#include "install/folder_actions.h"
#include "install/session_temp_folder.h"
#include "install/shortcut_actions.h"
#include "session/session_state.h"
#include "session/subsystem_hooks.h"

namespace {

bool KeepsFiles() {
  SessionState* s = SessionCurrent();
  return s && s->keep_flag;
}

// a101: temporary entries stay until the end of the session; with /u nothing is scheduled.
bool FinishFileOperations(ObjectTable* db) {
  return FileJournalFinish(db, kFinishKeepTemporary | (KeepsFiles() ? kFinishScheduleNothing : 0u)) > 0;
}

void CleanTemporaryFiles(ObjectTable* db, int32_t keep_flag) {
  FileJournalFinish(db, keep_flag ? kFinishScheduleNothing : 0u);
}

void DeleteSessionFiles(ObjectTable* db) { FileJournalDeleteFiles(db, false); }

void DeleteAllJournalFiles(ObjectTable* db) { FileJournalDeleteFiles(db, true); }

}  // namespace

void InstallRegister() {
  FileActionsRegister();
  FolderActionsRegister();
  ShortcutActionsRegister();
  FileInstallationHooks& hooks = Hooks()->file_installation;
  hooks.set_session_temp_folder = SessionTempFolderSet;
  hooks.start_rollback_journal = FileJournalPerformStagedCopies;
  hooks.finish_file_operations = FinishFileOperations;
  hooks.clean_temporary_files = CleanTemporaryFiles;
  hooks.delete_temporary_files = DeleteSessionFiles;
  hooks.release_journal_entries = FileJournalDropFinished;
  hooks.delete_journal_temporary_files = DeleteAllJournalFiles;
}
