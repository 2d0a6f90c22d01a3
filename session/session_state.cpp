#include "session/session_state.h"

#include "runtime/heap.h"
#include "runtime/scramble.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/subsystem_hooks.h"

namespace {

SessionState* g_current;
SessionVariableBridge g_bridge;

constexpr uint32_t kEventInstallationAborted = 9;

// The value of a session field, read from its variable while a database is loaded.
int32_t Mirrored(SessionState* s, uint32_t id, int32_t* field) {
  int32_t value;
  if (s->database && g_bridge.read_int && g_bridge.read_int(id, &value)) *field = value;
  return *field;
}

void Publish(SessionState* s, uint32_t id, int32_t value) {
  if (s->database && g_bridge.write_int) g_bridge.write_int(id, value);
}

}  // namespace

SessionState* SessionCreate(uint32_t passwordSeed) {
  auto* s = MemNew<SessionState>();
  s->restart_mode = -1;
  s->error_abort_mask = 0xFFFFFFFF;
  s->value_a = -1;
  s->verification_option = -1;
  s->language_request = kNoLanguageRequest;
  s->show_command = kShowDefault;
  s->password_seed = passwordSeed;
  Scramble(s->password, kRememberedPasswordSize, passwordSeed);
  SessionSetText(&s->title, kLibraryName);
  return s;
}

void SessionFree(SessionState* s) {
  if (!s) return;
  if (g_current == s) g_current = nullptr;
  for (char16_t** field : {&s->install_folder, &s->database_path, &s->source_folder, &s->package_folder,
                           &s->log_path, &s->title, &s->database_file, &s->package_path, &s->runtime_copy_path,
                           &s->system_folder, &s->user_name, &s->user_domain, &s->user_sid})
    SessionSetText(field, nullptr);
  ArgumentFree(&s->arguments);
  WipeMemory(s->password, kRememberedPasswordSize);
  MemFree(s);
}

void SessionSetText(char16_t** field, const char16_t* text) {
  MemFree(*field);
  *field = nullptr;
  size_t length = TextLength(text);
  if (!length) return;
  *field = MemNew<char16_t>(length + 1);
  TextCopy(*field, *field + length, text);
}

const char16_t* RunModeName(int32_t runMode) {
  static const char16_t* const kNames[] = {u"Unknown", u"Install", u"Remove", u"Register", u"Repair", u"Resume"};
  return runMode >= 0 && runMode <= kRunModeResume ? kNames[runMode] : kNames[0];
}

SessionState* SessionCurrent() { return g_current; }
void SessionSetCurrent(SessionState* session) { g_current = session; }

void SessionSetVariableBridge(const SessionVariableBridge* bridge) { g_bridge = bridge ? *bridge : SessionVariableBridge{}; }

void SessionRecordExitCode(SessionState* session, int32_t code) {
  int32_t current = SessionExitCode(session);
  Trace(TR("I1100"), u"%d|%d", current, code);
  if (!current) session->exit_code = code;
  Publish(session, kVarExitCode, session->exit_code);
}

int32_t SessionExitCode(SessionState* s) { return Mirrored(s, kVarExitCode, &s->exit_code); }
int32_t SessionRunMode(SessionState* s) { return Mirrored(s, kVarRunMode, &s->run_mode); }
int32_t SessionQuietLevel(SessionState* s) { return Mirrored(s, kVarQuietLevel, &s->quiet_level); }
int32_t SessionRestartMode(SessionState* s) { return Mirrored(s, kVarRestartMode, &s->restart_mode); }
int32_t SessionRestartNeeded(SessionState* s) { return Mirrored(s, kVarRestartNeeded, &s->restart_needed); }
int32_t SessionInstallState(SessionState* s) { return Mirrored(s, kVarState, &s->state); }

void SessionSetState(SessionState* s, int32_t state) {
  int32_t current = SessionInstallState(s);
  if (current < 0 || current == state) return;
  s->state = state;
  Publish(s, kVarState, state);
  if (state >= 0) return;
  SessionRecordExitCode(s, state == kStateCancelled ? 5 : 6);
  Trace(TR("W0001"), u"%d|%d", state, SessionExitCode(s));
  ExtensionSendEvent(kEventInstallationAborted, 0);
}

void SessionSetPhase(SessionState* s, int32_t phase) {
  Trace(TR("I1107"), u"%d|%d", s->phase, phase);
  s->phase = phase;
}

void SessionSetRestartNeeded(SessionState* s, int32_t flag) {
  s->restart_needed = flag;
  Publish(s, kVarRestartNeeded, flag);
}

void SessionSetRestartMode(SessionState* s, int32_t mode) {
  s->restart_mode = mode;
  Publish(s, kVarRestartMode, mode);
}
