#include "actions/target_variable.h"

#include "actions/action_object.h"
#include "expr/variables.h"

namespace {

constexpr size_t kNameCapacity = 1024;

}  // namespace

SetupObject* ActionTargetVariable(ObjectTable* db, SetupObject* action, unsigned slot) {
  const char16_t* name = SlotText(action, slot);
  SetupObject* variable = VariableFind(db, name ? name : u"");
  if (variable && (ActionFlags(action) & kActionFlagIndirect)) {
    char16_t target[kNameCapacity];
    VariableValueOf(db, variable, target, target + kNameCapacity - 1);
    variable = VariableFind(db, target);
  }
  return variable;
}
