#include "actions/flow_actions.h"

#include "actions/flow_action_methods.h"
#include "database/class_registry.h"

void FlowActionsRegister() {
  ClassSetActionMethods(TagOf("a100"), &kPrepareInstallationMethods);
  ClassSetActionMethods(TagOf("a101"), &kCompleteInstallationMethods);
  ClassSetActionMethods(TagOf("a107"), &kQueryCancellationMethods);
  ClassSetActionMethods(TagOf("a200"), &kMessageBoxMethods);
  ClassSetActionMethods(TagOf("a213"), &kSetVariableMethods);
  ClassSetActionMethods(TagOf("a214"), &kFileSearchMethods);
}
