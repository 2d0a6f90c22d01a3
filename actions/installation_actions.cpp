// a100 Prepare the installation and a101 Complete the installation: they open and close the
// installing state that decides between commit and rollback at the end of the run.
#include <windows.h>

#include <shlobj.h>

#include "actions/abort_on_failure.h"
#include "actions/action_journal.h"
#include "actions/action_object.h"
#include "actions/flow_actions.h"
#include "actions/flow_action_methods.h"
#include "database/database_file.h"
#include "expr/variables.h"
#include "runtime/platform.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "session/subsystem_hooks.h"
#include "ui/progress.h"

namespace {

enum : unsigned {
  kInstallationProductText = 20,
  kInstallationVersionHigh = 26,  // major << 16 | minor
  kInstallationVersionLow = 27,   // build << 16 | revision
};

bool RecordsStartTime(int32_t mode) {
  return mode == kRunModeInstall || mode == kRunModeRepair || mode == kRunModeResume;
}

void TraceInstallationStart(SessionState* s, ObjectTable* db, int32_t mode) {
  SetupObject* installation = db->installation;
  const char16_t* product = installation ? SlotText(installation, kInstallationProductText) : nullptr;
  uint32_t high = installation ? SlotU32(installation, kInstallationVersionHigh) : 0;
  uint32_t low = installation ? SlotU32(installation, kInstallationVersionLow) : 0;
  Trace(TR("I1731"), u"%s|%d|0x%04X|%u.%u.%u.%u", product ? product : u"", mode, s->system_language, high >> 16,
        high & 0xFFFF, low >> 16, low & 0xFFFF);
}

int32_t PrepareInstallation(SetupObject*, ObjectTable* db, uint32_t*) {
  SessionState* s = SessionCurrent();
  int32_t mode = SessionRunMode(s);
  if (SessionInstallState(s) != kStateInitial || mode < kRunModeInstall || mode > kRunModeResume) {
    Trace(TR("W1732"), u"%d|%d", SessionInstallState(s), mode);
    AbortOnFailure(kFailureAlways, true);
    return kResultCancelled;
  }
  if (mode == kRunModeRemove && ExtensionSendEvent(kEventRemovalStarting, 0) == kExtensionRefusesRemoval) {
    Trace(TR("W1733"), u"%d", mode);
    SessionRecordExitCode(s, 18);
    AbortOnFailure(kFailureAlways | 0x100, true);
    return kResultCancelled;
  }
  bool fresh = VariableInt(db, kVarInstalled) == 0;
  if (RecordsStartTime(mode) && fresh) DatabaseSetHeaderU64(db, kHeaderInstallTime, PlatformNowFileTime());
  if (Hooks()->options.decide_item_actions) Hooks()->options.decide_item_actions(db);
  else Trace(TR("I1734"), u"%s", u"option states: item actions not decided");
  SessionSetState(s, kStateInstalling);
  ExtensionSendEvent(kEventInstallationStarted, 0);
  TraceInstallationStart(s, db, mode);
  if (fresh) {
    if (Hooks()->file_installation.start_rollback_journal) Hooks()->file_installation.start_rollback_journal(db);
    else Trace(TR("I1735"), u"%s", u"file installation: no rollback journal files");
  }
  return kResultDone;
}

int32_t CompleteInstallation(SetupObject*, ObjectTable* db, uint32_t*) {
  SessionState* s = SessionCurrent();
  if (SessionInstallState(s) != kStateInstalling) {
    Trace(TR("W1736"), u"%d", SessionInstallState(s));
    return kResultFailed;
  }
  // From here on the run is being made final and a cancel is no longer taken (QueryCancel): the
  // saved database below is not journalled, so a cancel while it is written could not undo it.
  SessionSetPhase(s, kPhaseCompleting);
  // The saved database is written while the run can still be rolled back: a "Setup.dat" that cannot
  // be written (a full disk, no access) must not leave a product that cannot be repaired or removed.
  // The commit writes it again with the journal as the end of the run leaves it.
  if (SessionRunMode(s) != kRunModeRemove && Hooks()->working_files.save_database &&
      Hooks()->working_files.save_database(s, db))
    return kResultFailed;
  JournalFinalize();
  if (Hooks()->file_installation.finish_file_operations) {
    if (Hooks()->file_installation.finish_file_operations(db)) SessionSetRestartNeeded(s, 1);
  } else {
    Trace(TR("I1737"), u"%s", u"file installation: no file operations to finish");
  }
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH | SHCNF_FLUSHNOWAIT, nullptr, nullptr);
  int32_t mode = SessionRunMode(s);
  if ((mode == kRunModeInstall || mode == kRunModeRepair || mode == kRunModeResume) && SessionRestartMode(s) >= 2)
    SessionSetRestartNeeded(s, 1);
  ProgressSetPosition(kProgressEnd, false);
  ExtensionSendEvent(kEventInstallationCompleted, 0);
  SessionSetState(s, kStateCompleted);
  return kResultDone;
}

}  // namespace

const ActionMethods kPrepareInstallationMethods = {
    PrepareInstallation,  // run
    nullptr,              // finalize
    nullptr,              // rollback
};

const ActionMethods kCompleteInstallationMethods = {
    CompleteInstallation,  // run
    nullptr,               // finalize
    nullptr,               // rollback
};
