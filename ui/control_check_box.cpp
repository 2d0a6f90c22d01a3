// c003 check box: bound to a variable through its checked and unchecked values (compared without
// regard to ASCII case), or to an option, whose state it shows and requests.
#include <windows.h>

#include "expr/option_states.h"
#include "runtime/text.h"
#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/dialog_messages.h"

namespace {

enum : unsigned {
  kCheckedValue = 16,    // text
  kUncheckedValue = 17,  // text
};

const char16_t* Value(const ControlInstance* instance, unsigned slot) {
  const char16_t* text = SlotText(instance->control, slot);
  return text ? text : u"";
}

uint32_t ButtonType(HWND window) { return uint32_t(GetWindowLongW(window, GWL_STYLE)) & BS_TYPEMASK; }

bool IsThreeState(HWND window) { return ButtonType(window) == BS_3STATE || ButtonType(window) == BS_AUTO3STATE; }

// The state a text shows: checked for the checked value, indeterminate (three-state boxes only) for
// a value that is neither, unchecked otherwise.
WPARAM StateOf(const ControlInstance* instance, const char16_t* text) {
  if (TextEqualNoCase(text, Value(instance, kCheckedValue))) return BST_CHECKED;
  if (!TextEqualNoCase(text, Value(instance, kUncheckedValue)) && IsThreeState(instance->window))
    return BST_INDETERMINATE;
  return BST_UNCHECKED;
}

// The variable takes the value of the state (nothing for indeterminate); event 7 on a change.
void WriteState(ControlInstance* instance, LRESULT state) {
  if (state == BST_CHECKED) ControlWriteVariable(instance, Value(instance, kCheckedValue), kEventValueChanged);
  else if (state == BST_UNCHECKED) ControlWriteVariable(instance, Value(instance, kUncheckedValue), kEventValueChanged);
}

void Click(ControlInstance* instance) {
  HWND window = instance->window;
  uint32_t type = ButtonType(window);
  if (type == BS_CHECKBOX || type == BS_3STATE) {  // manual styles cycle unchecked → checked → unchecked
    LRESULT current = SendMessageW(window, BM_GETCHECK, 0, 0);
    SendMessageW(window, BM_SETCHECK, current == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
  }
  LRESULT check = SendMessageW(window, BM_GETCHECK, 0, 0);
  if (instance->option) ControlRequestOption(instance, check);
  else WriteState(instance, check);
}

void SetFromText(ControlInstance* instance, void* window, SetupObject*, const char16_t* text) {
  SendMessageW(static_cast<HWND>(window), BM_SETCHECK, StateOf(instance, text ? text : u""), 0);
}

int Handler(ControlInstance* instance, void* window, uint32_t message, uintptr_t wParam, intptr_t lParam,
            intptr_t* result) {
  int handled;
  if (ControlOptionMessage(instance, message, result, &handled)) return handled;
  switch (message) {
    case kReflectedCommand:
      if (HIWORD(wParam) != BN_CLICKED) return 0;
      Click(instance);
      *result = ControlSendEvent(instance, kEventClicked, 0, 0);
      return 1;
    case kControlSetValueMessage: {
      const auto* text = reinterpret_cast<const char16_t*>(lParam);
      SetFromText(instance, window, instance->variable, text);
      WriteState(instance, SendMessageW(instance->window, BM_GETCHECK, 0, 0));
      *result = 0;
      return 1;
    }
  }
  return 0;
}

}  // namespace

const ControlMethods kCheckBoxMethods = {
    Handler,      // handler
    SetFromText,  // set-from-text
};
