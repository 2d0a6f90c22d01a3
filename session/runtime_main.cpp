// The runtime main: error mode, log, session record, first records, command line, runtime
// initialisation, the database, the preparation, the main window with the main loop, and the
// release of the session's resources, in this order.
#include "session/runtime_main.h"

#include <windows.h>

#include <commctrl.h>

#include "actions/action_journal.h"
#include "actions/action_runner.h"
#include "actions/cancel_query.h"
#include "database/object_table.h"
#include "expr/database_resolver.h"
#include "expr/main_window.h"
#include "expr/system_tables.h"
#include "expr/variables.h"
#include "runtime/fault_guard.h"
#include "runtime/fault_injection.h"
#include "runtime/heap.h"
#include "runtime/log.h"
#include "runtime/message_pump.h"
#include "runtime/process_context.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/build_info.h"
#include "session/command_line_help.h"
#include "session/command_line_split.h"
#include "session/command_line_switches.h"
#include "session/database_loading.h"
#include "session/run_finalisation.h"
#include "session/runtime_init.h"
#include "session/session_prepare.h"
#include "session/session_resources.h"
#include "session/session_run_control.h"
#include "session/session_state.h"
#include "session/session_variables.h"
#include "session/subsystem_hooks.h"
#include "ui/bitmap_panel.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/rich_text_class.h"

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

// 0x80C1: the top-level sequences, then the finalisation.
void StartRun(HWND) {
  SessionState* s = SessionCurrent();
  if (!RunTopLevelSequences(s)) {
    Trace(TR("E1180"), u"%p", s->database);
    SessionRecordExitCode(s, -1);
    return;
  }
  FinalizeRun(s);
}

bool RegisterWindowClasses() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  if (!InitCommonControlsEx(&controls)) Trace(TR("W1181"), u"%lu", GetLastError());
  return MainWindowRegisterClass(StartRun) && BitmapPanelRegisterClass() && RichTextRegisterClass();
}

void RunMainWindow(SessionState* s) {
  if (Hooks()->dialogs.load_resources) Hooks()->dialogs.load_resources();
  HWND window = MainWindowCreate(SessionText(s->title), s->show_command);
  if (!window) {
    SessionRecordExitCode(s, 2);
    return;
  }
  s->main_window = window;
  ExprSetMainWindow(window);
  if (!PostMessageW(window, kMainWindowStart, 0, 0)) {
    Trace(TR("E1182"), u"%lu", GetLastError());
    SessionRecordExitCode(s, -1);
  } else {
    RunMainLoop();
  }
  SessionExitCode(s);  // the database may have changed it
  ExprSetMainWindow(nullptr);
  s->main_window = nullptr;
  if (IsWindow(window)) DestroyWindow(window);
}

intptr_t RunPhases(void* context) {
  auto* main = static_cast<MainContext*>(context);
  SessionState* s = main->session;
  CommandLineSplit(main->command_line, true, &s->arguments);
  if (CommandLineParseSwitches(s, &kSystemSwitchActions) == kParseEndRun) return kExitHelpShown;
  if (!InitializeRuntime(s)) return 2;
  if (!LoadRunDatabase(s)) return 3;
  if (!PrepareSession(s)) return 2;
  if (!RegisterWindowClasses()) return 2;
  RunMainWindow(s);
  return 0;
}

// Release of the session's resources, in the order of the start-up in reverse.
void ReleaseSession(SessionState* s) {
  MainWindowUnregisterClass();
  BitmapPanelUnregisterClass();
  RichTextUnregisterClass();
  JournalFree();
  if (Hooks()->extension.unload) Hooks()->extension.unload();
  SessionDisconnectVariables();
  ObjectTableDestroy(s->database);
  s->database = nullptr;
  SystemPathsClear();
  ReleaseSessionResources();
}

}  // namespace

int RuntimeMain(const char16_t* commandLine) {
  SetErrorMode(SEM_FAILCRITICALERRORS);
  LogOpen(kLogWithRandom);
  FaultInjectionStart();
  FaultInjectionSetCancel([] { return QueryCancel(nullptr); });
  SessionState* session = SessionCreate(Process()->run_identifier);
  SessionSetCurrent(session);
  SessionInstallRunControl();
  SessionConnectVariables();
  WriteFirstRecords(commandLine);

  MainContext main{session, commandLine};
  intptr_t result = 0;
  if (!RuntimeGuardedCall(RunPhases, &main, &result)) result = -1;
  if (int32_t code = SessionExitCode(session)) result = code;
  ReleaseSession(session);
  FaultInjectionReport();
  Trace(TR("I1106"), u"%d", int(result));
  RestartIfDecided(session);
  SessionRemoveRunControl();
  SessionFree(session);
  return int(result);
}
