#include "session/session_state.h"

#include "runtime/heap.h"
#include "runtime/scramble.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {
SessionState* g_current;
}

SessionState* SessionCreate(uint32_t passwordSeed) {
  auto* s = MemNew<SessionState>();
  s->restart_mode = -1;
  s->error_abort_mask = 0xFFFFFFFF;
  s->value_a = -1;
  s->verification_option = -1;
  s->language_request = kNoLanguageRequest;
  s->show_command = kShowDefault;
  s->password_seed = passwordSeed;
  Scramble(s->password, kPasswordBufferSize, passwordSeed);
  SessionSetText(&s->title, kLibraryName);
  return s;
}

void SessionFree(SessionState* s) {
  if (!s) return;
  if (g_current == s) g_current = nullptr;
  for (char16_t** field : {&s->install_folder, &s->database_path, &s->source_folder, &s->package_folder,
                           &s->log_path, &s->title})
    SessionSetText(field, nullptr);
  ArgumentFree(&s->arguments);
  WipeMemory(s->password, kPasswordBufferSize);
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

void SessionRecordExitCode(SessionState* session, int32_t code) {
  Trace(TR("I1100"), u"%d|%d", session->exit_code, code);
  if (!session->exit_code) session->exit_code = code;
}
