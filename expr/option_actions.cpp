#include "expr/option_actions.h"

#include "actions/action_object.h"
#include "database/class_registry.h"
#include "expr/database_resolver.h"
#include "expr/option_plan.h"
#include "expr/option_states.h"
#include "runtime/trace.h"
#include "session/subsystem_hooks.h"

namespace {

enum : unsigned {
  kSetOptionName = 22,     // a207: text
  kSetOptionRequest = 23,  // a207: int
};

int32_t CheckOptions(SetupObject*, ObjectTable* db, uint32_t*) {
  OptionsComputeActionsAndSizes(db);
  return kResultDone;
}

int32_t SetOptionState(SetupObject* action, ObjectTable* db, uint32_t*) {
  const char16_t* name = SlotText(action, kSetOptionName);
  if (!name) name = u"";
  SetupObject* option = OptionFindByName(db, name);
  if (!option) {
    Trace(TR("W1613"), u"%s|%s", ActionName(action), name);
    return kResultSkipped;
  }
  int32_t request = SlotInt(action, kSetOptionRequest);
  if (OptionSetState(db, option, request, nullptr))
    Trace(TR("I1612"), u"%d|%s|%d", request, name, OptionSelection(option));
  return kResultDone;
}

const ActionMethods kCheckOptionsMethods = {
    CheckOptions,  // run
    nullptr,       // finalize
    nullptr,       // rollback
};

const ActionMethods kSetOptionStateMethods = {
    SetOptionState,  // run
    nullptr,         // finalize
    nullptr,         // rollback
};

}  // namespace

void OptionsRegister() {
  ClassSetActionMethods(TagOf("a105"), &kCheckOptionsMethods);
  ClassSetActionMethods(TagOf("a207"), &kSetOptionStateMethods);
  Hooks()->options.decide_item_actions = OptionsDecideItemModes;
}
