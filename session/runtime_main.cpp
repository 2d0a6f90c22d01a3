// Phases of a run: error mode, log, session record, first records, splitting and switches. The
// phases from runtime initialisation on follow once the start-up sequence exists; until then the
// run ends after parsing with the run's exit code.
#include "session/runtime_main.h"

#include <windows.h>

#include "runtime/fault_guard.h"
#include "runtime/heap.h"
#include "runtime/log.h"
#include "runtime/process_context.h"
#include "runtime/trace.h"
#include "session/build_info.h"
#include "session/command_line_help.h"
#include "session/command_line_split.h"
#include "session/command_line_switches.h"
#include "session/session_run_control.h"
#include "session/session_state.h"

namespace {

struct MainContext {
  SessionState* session;
  const char16_t* command_line;
};

void WriteFirstRecords(const char16_t* commandLine) {
  TraceList(TR("I0069"), 4, kLibraryName, kLibraryVersion, kLibraryBuild, kBuildNumber);
  char16_t* shown = CommandLineHidePasswords(commandLine);
  TraceList(TR("I0094"), 1, shown);
  MemFree(shown);
}

intptr_t RunPhases(void* context) {
  auto* main = static_cast<MainContext*>(context);
  SessionState* session = main->session;
  CommandLineSplit(main->command_line, true, &session->arguments);
  if (CommandLineParseSwitches(session, &kSystemSwitchActions) == kParseEndRun) return kExitHelpShown;
  return 0;
}

}  // namespace

int RuntimeMain(const char16_t* commandLine) {
  SetErrorMode(SEM_FAILCRITICALERRORS);
  LogOpen(kLogWithRandom);
  SessionState* session = SessionCreate(Process()->run_identifier);
  SessionSetCurrent(session);
  SessionInstallRunControl();
  WriteFirstRecords(commandLine);

  MainContext main{session, commandLine};
  intptr_t result = 0;
  if (!RuntimeGuardedCall(RunPhases, &main, &result)) result = -1;
  if (session->exit_code) result = session->exit_code;
  Trace(TR("I1106"), u"%d", int(result));
  SessionRemoveRunControl();
  SessionFree(session);
  return int(result);
}
