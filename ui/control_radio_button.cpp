// c009 radio button: checked when its variable holds its value (ASCII case ignored); a click writes
// the value, or, for buttons bound to options, sets every option of the group by its button's check.
#include <windows.h>

#include "expr/option_states.h"
#include "runtime/text.h"
#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/dialog_messages.h"

namespace {

constexpr unsigned kButtonValue = 16;  // text
constexpr uint32_t kTagRadioButton = TagOf("c009");
constexpr uint32_t kMaxGroup = 64;

const char16_t* Value(const ControlInstance* instance) {
  const char16_t* text = SlotText(instance->control, kButtonValue);
  return text ? text : u"";
}

// The first button of the group: the nearest window at or before `window` with WS_GROUP.
HWND GroupStart(HWND window) {
  HWND start = window;
  while (!(GetWindowLongW(start, GWL_STYLE) & WS_GROUP)) {
    HWND previous = GetWindow(start, GW_HWNDPREV);
    if (!previous) break;
    start = previous;
  }
  return start;
}

// Calls `visit` for every bound radio button of `window`'s group, in order; stops when it returns false.
template <typename Visit>
void ForEachInGroup(HWND window, Visit visit) {
  for (HWND item = GroupStart(window); item; item = GetWindow(item, GW_HWNDNEXT)) {
    if (item != GroupStart(window) && (GetWindowLongW(item, GWL_STYLE) & WS_GROUP)) break;
    ControlInstance* member = ControlInstanceOf(item);
    if (member && member->tag == kTagRadioButton && !visit(member)) break;
  }
}

// Checks `chosen` and clears the other buttons of its group.
void CheckOnly(ControlInstance* chosen) {
  ForEachInGroup(chosen->window, [&](ControlInstance* member) {
    SendMessageW(member->window, BM_SETCHECK, member == chosen ? BST_CHECKED : BST_UNCHECKED, 0);
    return true;
  });
}

void Click(ControlInstance* instance) {
  if (instance->option) {
    // The checks are read first: showing one option's state checks its button, which clears the
    // other automatic buttons of the group.
    ControlInstance* members[kMaxGroup];
    LRESULT checks[kMaxGroup];
    uint32_t count = 0;
    ForEachInGroup(instance->window, [&](ControlInstance* member) {
      if (!member->option) return true;
      members[count] = member;
      checks[count++] = SendMessageW(member->window, BM_GETCHECK, 0, 0);
      return count < kMaxGroup;
    });
    for (uint32_t i = 0; i < count; ++i) ControlRequestOption(members[i], checks[i]);
  } else if (SendMessageW(instance->window, BM_GETCHECK, 0, 0) == BST_CHECKED) {
    ControlWriteVariable(instance, Value(instance), kEventValueChanged);
  }
}

// 0x8080: the button of the group whose value is `text` becomes the checked one, as by a click.
void ClickByValue(ControlInstance* instance, const char16_t* text) {
  ControlInstance* chosen = nullptr;
  ForEachInGroup(instance->window, [&](ControlInstance* member) {
    if (!TextEqualNoCase(Value(member), text)) return true;
    chosen = member;
    return false;
  });
  if (!chosen) return;
  CheckOnly(chosen);
  Click(chosen);
  ControlSendEvent(chosen, kEventClicked, 0, 0);
}

void SetFromText(ControlInstance* instance, void* window, SetupObject*, const char16_t* text) {
  bool checked = TextEqualNoCase(text ? text : u"", Value(instance));
  SendMessageW(static_cast<HWND>(window), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int Handler(ControlInstance* instance, void*, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result) {
  int handled;
  if (ControlOptionMessage(instance, message, result, &handled)) return handled;
  switch (message) {
    case kReflectedCommand:
      if (HIWORD(wParam) != BN_CLICKED) return 0;
      if ((GetWindowLongW(instance->window, GWL_STYLE) & BS_TYPEMASK) == BS_RADIOBUTTON)
        CheckOnly(instance);  // what the system does for automatic buttons
      Click(instance);
      *result = ControlSendEvent(instance, kEventClicked, 0, 0);
      return 1;
    case kControlSetValueMessage:
      ClickByValue(instance, reinterpret_cast<const char16_t*>(lParam));
      *result = 0;
      return 1;
  }
  return 0;
}

}  // namespace

const ControlMethods kRadioButtonMethods = {
    Handler,      // handler
    SetFromText,  // set-from-text
};
