#include "ui/progress.h"

#include "expr/variables.h"
#include "runtime/message_pump.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "session/session_window.h"
#include "ui/string_table.h"

namespace {

constexpr uint32_t kVarDetailText = 500;
constexpr uint32_t kVarMainText = 501;
constexpr uint32_t kVarPosition = 504;
constexpr uint32_t kVarStepTotal = 527;
constexpr uint32_t kVarStepDone = 528;
constexpr size_t kTextCapacity = 1024;

struct ProgressState {
  uint64_t total;
  uint64_t done;
  int32_t position;
  int32_t step_start;
  int32_t step_end;
};

ProgressState g_progress;

ObjectTable* Database() {
  SessionState* s = SessionCurrent();
  return s ? s->database : nullptr;
}

void SetText(uint32_t id, const char16_t* text) {
  if (ObjectTable* db = Database()) VariableSet(db, id, text);
}

void SetU64(uint32_t id, uint64_t value) {
  if (ObjectTable* db = Database()) VariableSetU64(db, id, value);
}

}  // namespace

void ProgressMainTextDirect(const char16_t* text) {
  SetText(kVarMainText, text);
  SetText(kVarDetailText, u"");
  TraceList(TR("I3210"), 1, text);
  PumpPendingMessages();
}

void ProgressMainText(uint32_t id) {
  char16_t text[kTextCapacity];
  StringLoad(id, SessionLanguage(), text, text + kTextCapacity - 1);
  ProgressMainTextDirect(text);
}

void ProgressDetailText(uint32_t id) {
  char16_t text[kTextCapacity];
  StringLoad(id, SessionLanguage(), text, text + kTextCapacity - 1);
  SetText(kVarDetailText, text);
  PumpPendingMessages();
}

void ProgressReset() {
  g_progress = ProgressState{};
  SetText(kVarDetailText, u"");
  SetText(kVarMainText, u"");
  SetText(kVarPosition, u"");
  PumpPendingMessages();
}

int32_t ProgressSetPosition(int32_t value, bool wrap) {
  if (wrap) value %= kProgressEnd;
  else value = value < -kProgressEnd ? -kProgressEnd : value > kProgressEnd ? kProgressEnd : value;
  int32_t previous = g_progress.position;
  if (value != previous) {
    g_progress.position = value;
    if (ObjectTable* db = Database()) VariableSetInt(db, kVarPosition, value);
  }
  return previous;
}

int32_t ProgressAdvance(int32_t delta) {
  int64_t target = int64_t(g_progress.position) + delta;
  return ProgressSetPosition(target > kProgressEnd ? kProgressEnd : target < -kProgressEnd ? -kProgressEnd : int32_t(target),
                             false);
}

int32_t ProgressPosition() { return g_progress.position; }

void ProgressBeginStep(int32_t size, uint64_t total) {
  g_progress.step_start = g_progress.position;
  g_progress.step_end = g_progress.position + size;
  if (total != g_progress.total) {
    g_progress.total = total;
    SetU64(kVarStepTotal, total);
  }
  if (g_progress.done) {
    g_progress.done = 0;
    SetU64(kVarStepDone, 0);
  }
}
