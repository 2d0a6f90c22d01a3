#include "session/session_variables.h"

#include "database/object_table.h"
#include "expr/database_resolver.h"
#include "expr/variables.h"
#include "runtime/text.h"
#include "session/session_state.h"
#include "ui/message_box.h"

namespace {

// Whether the database has the variable (searched without the lookup's trace of a miss).
bool Has(ObjectTable* db, uint32_t id) {
  for (uint32_t i = 0; i < db->variables.count; ++i)
    if (SlotU32(db->variables.items[i], kSymbId) == id) return true;
  return false;
}

ObjectTable* Database() {
  SessionState* s = SessionCurrent();
  return s ? s->database : nullptr;
}

bool ReadMirrored(uint32_t id, int32_t* value) {
  ObjectTable* db = Database();
  if (!db || !Has(db, id)) return false;
  *value = VariableInt(db, id);
  return true;
}

void WriteMirrored(uint32_t id, int32_t value) {
  ObjectTable* db = Database();
  if (db && Has(db, id)) VariableSetInt(db, id, value);
}

void UiLevelChanged(int level) {
  if (SessionState* s = SessionCurrent()) s->quiet_level = level;
}

void PackageFolderChanged(const char16_t* text) {
  if (SessionState* s = SessionCurrent()) SessionSetText(&s->package_folder, text);
}

void SubstituteMessage(const char16_t* text, char16_t* start, char16_t* end) {
  if (ObjectTable* db = Database()) Substitute(db, text, start, end);
  else TextCopy(start, end, text);
}

const SessionVariableBridge kBridge = {ReadMirrored, WriteMirrored};
const VariableSessionHooks kVariableHooks = {UiLevelChanged, PackageFolderChanged};

}  // namespace

void SessionConnectVariables() {
  SessionSetVariableBridge(&kBridge);
  VariablesSetSessionHooks(&kVariableHooks);
  MessageBoxSetSubstituteHook(SubstituteMessage);
}

void SessionDisconnectVariables() {
  SessionSetVariableBridge(nullptr);
  VariablesSetSessionHooks(nullptr);
  MessageBoxSetSubstituteHook(nullptr);
}
