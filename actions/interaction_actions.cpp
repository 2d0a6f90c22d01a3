// a107 Query cancellation, a200 Message box and a213 Set an internal variable.
#include <windows.h>

#include "actions/abort_on_failure.h"
#include "actions/action_object.h"
#include "actions/cancel_query.h"
#include "actions/dialog_result.h"
#include "actions/flow_action_methods.h"
#include "actions/target_variable.h"
#include "database/localized_text.h"
#include "expr/database_resolver.h"
#include "expr/variables.h"
#include "runtime/heap.h"
#include "runtime/trace.h"
#include "session/session_window.h"
#include "ui/message_box.h"

namespace {

enum : unsigned {
  kMessageBoxStyle = 22,    // a200: u32
  kMessageBoxTimeout = 23,  // a200: u32, milliseconds
  kMessageBoxDefault = 24,  // a200: int, the answer without a user
  kSetVariableName = 22,    // a213: text
  kSetVariableValue = 23,   // a213: localized text
};

enum : uint32_t {
  kMessageAbortAlways = 0x10000,    // abort the installation whatever the answer
  kMessageAbortOnCancel = 0x20000,  // abort when the answer is Cancel or Abort
};

int32_t QueryCancellation(SetupObject*, ObjectTable*, uint32_t*) {
  return QueryCancel(SessionMainWindow()) ? kResultDone : kResultCancelled;
}

int32_t ShowMessage(SetupObject* action, ObjectTable*, uint32_t*) {
  const char16_t* text = LocalizedTextFor(SlotLocalized(action, kActionDescription), SessionLanguage());
  uint32_t style = SlotU32(action, kMessageBoxStyle) | kMessageSubstitute | kMessageUnformatted;
  int answer = QelShowMessageBox(SessionMainWindow(), style, SlotInt(action, kMessageBoxDefault),
                                 SlotU32(action, kMessageBoxTimeout), text);
  uint32_t flags = ActionFlags(action);
  bool cancelled = answer == IDCANCEL || answer == IDABORT;
  if ((flags & kMessageAbortAlways) || ((flags & kMessageAbortOnCancel) && cancelled)) {
    AbortOnFailure(kFailureAlways, false);
    return kResultCancelled;
  }
  return ActionResultFromDialog(answer);
}

int32_t SetVariable(SetupObject* action, ObjectTable* db, uint32_t*) {
  SetupObject* variable = ActionTargetVariable(db, action, kSetVariableName);
  if (!variable) return kResultDone;
  const char16_t* value = LocalizedTextFor(SlotLocalized(action, kSetVariableValue), SessionLanguage());
  auto* substituted = MemNew<char16_t>(kSubstituteBufferCapacity);
  Substitute(db, value, substituted, substituted + kSubstituteBufferCapacity - 1);
  VariableSetObject(db, variable, substituted);
  MemFree(substituted);
  return kResultDone;
}

}  // namespace

const ActionMethods kQueryCancellationMethods = {
    QueryCancellation,  // run
    nullptr,            // finalize
    nullptr,            // rollback
};

const ActionMethods kMessageBoxMethods = {
    ShowMessage,  // run
    nullptr,      // finalize
    nullptr,      // rollback
};

const ActionMethods kSetVariableMethods = {
    SetVariable,  // run
    nullptr,      // finalize
    nullptr,      // rollback
};
