// Check boxes and radio buttons bound to an installation option: the option is looked up from the
// control object's slot 14, the control shows the option's state and hears of its changes.
#include <windows.h>

#include "expr/option_object.h"
#include "expr/option_states.h"
#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/dialog_messages.h"

namespace {

constexpr unsigned kOptionReference = 14;  // id of a cmp9 object

}  // namespace

void ControlShowOptionState(HWND window, int32_t state) {
  bool checked = state == kSelectionSelected || state == kSelectionFixed;
  bool enabled = state == kSelectionNotSelected || state == kSelectionSelected;
  SendMessageW(window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  EnableWindow(window, enabled);
}

bool ControlBindOption(ControlInstance* instance) {
  uint64_t id = SlotU64(instance->control, kOptionReference);
  instance->option = id ? ObjectTableFind(instance->database, TagOf("cmp9"), id) : nullptr;
  if (!instance->option) return false;
  ControlShowOptionState(instance->window, OptionSelection(instance->option));
  OptionListen(instance->window);
  return true;
}

void ControlReleaseOption(ControlInstance* instance) {
  if (instance->option) OptionUnlisten(instance->window);
  instance->option = nullptr;
}

void ControlRequestOption(ControlInstance* instance, LRESULT check) {
  int32_t request = check == BST_CHECKED ? kOptionRequestSelect
                    : check == BST_UNCHECKED ? kOptionRequestDeselect
                                             : kOptionRequestKeep;
  OptionSetState(instance->database, instance->option, request, instance->window);
  ControlShowOptionState(instance->window, OptionSelection(instance->option));
}

bool ControlOptionMessage(ControlInstance* instance, uint32_t message, intptr_t* result, int* handled) {
  switch (message) {
    case kControlBindMessage:
      ControlBindOption(instance);
      *handled = 0;
      return true;
    case kOptionChangedMessage:
      if (instance->option) ControlShowOptionState(instance->window, OptionSelection(instance->option));
      *result = 0;
      *handled = 1;
      return true;
    case WM_NCDESTROY:
      ControlReleaseOption(instance);
      *handled = 0;
      return true;
  }
  return false;
}
