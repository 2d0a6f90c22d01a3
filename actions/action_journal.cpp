#include "actions/action_journal.h"

#include <cstring>

#include "actions/action_object.h"
#include "database/class_registry.h"
#include "resources/string_ids.h"
#include "runtime/heap.h"
#include "runtime/trace.h"
#include "ui/progress.h"

namespace {

JournalEntry* g_oldest;
JournalEntry* g_newest;

using ActionStep = int32_t (*)(SetupObject* action, int32_t run_result, uint32_t* context);

// Calls the step of one entry when its class has it, with the records of the session end.
void CallStep(JournalEntry* entry, bool finalize) {
  const ActionMethods* methods = ClassActionMethods(ClassOf(entry->action));
  ActionStep step = methods ? (finalize ? methods->finalize : methods->rollback) : nullptr;
  if (!step) return;
  const char16_t* name = ActionName(entry->action);
  TraceList(finalize ? TR("I1710") : TR("I1711"), 2, name, TagDebugName(ObjectClass(entry->action)->tag));
  int32_t result = step(entry->action, entry->result, entry->has_context ? entry->context : nullptr);
  Trace(finalize ? TR("I1712") : TR("I1713"), u"%s|%d", name, result);
}

}  // namespace

void JournalAppend(ObjectTable* database, SetupObject* action, const uint32_t* context, int32_t result) {
  auto* entry = MemNew<JournalEntry>();
  entry->database = database;
  entry->action = action;
  entry->result = result;
  if (context) {
    memcpy(entry->context, context, sizeof entry->context);
    entry->has_context = true;
  }
  entry->previous = g_newest;
  if (g_newest) g_newest->next = entry;
  else g_oldest = entry;
  g_newest = entry;
}

void JournalFinalize() {
  ProgressMainText(IDS_FINALIZING);
  for (JournalEntry* entry = g_oldest; entry; entry = entry->next) CallStep(entry, true);
  JournalFree();
}

void JournalRollback() {
  ProgressMainText(IDS_ROLLING_BACK);
  for (JournalEntry* entry = g_newest; entry; entry = entry->previous) CallStep(entry, false);
  JournalFree();
}

void JournalFree() {
  for (JournalEntry* entry = g_oldest; entry;) {
    JournalEntry* next = entry->next;
    MemFree(entry);
    entry = next;
  }
  g_oldest = g_newest = nullptr;
}

const JournalEntry* JournalOldest() { return g_oldest; }
const JournalEntry* JournalNewest() { return g_newest; }
