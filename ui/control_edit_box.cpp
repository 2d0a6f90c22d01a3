// c004 edit box: every change of its text is written to the variable (event 5); a required box
// refuses an empty text on validation with the required-field message.
#include <windows.h>

#include "actions/abort_on_failure.h"
#include "resources/string_ids.h"
#include "runtime/heap.h"
#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/dialog_messages.h"
#include "ui/message_box.h"

namespace {

constexpr int kTextCapacity = 131072;

void TextChanged(ControlInstance* instance) {
  auto* text = MemNew<char16_t>(kTextCapacity + 1);
  GetWindowTextW(instance->window, reinterpret_cast<wchar_t*>(text), kTextCapacity + 1);
  ControlWriteVariable(instance, text, kEventTextChanged);
  MemFree(text);
}

// A required box that the user can edit must not be empty.
bool Accepts(ControlInstance* instance) {
  HWND window = instance->window;
  if (!(SlotU32(instance->control, kControlFlags) & kControlFlagRequired)) return true;
  if (!IsWindowEnabled(window) || (GetWindowLongW(window, GWL_STYLE) & ES_READONLY)) return true;
  if (GetWindowTextLengthW(window) > 0) return true;
  QelShowMessageBox(GetParent(window), MB_OK | MB_ICONEXCLAMATION, IDOK, MessageBoxTimeout(),
                    MessageTextId(IDS_REQUIRED_FIELD));
  SetFocus(window);
  return false;
}

void SetFromText(ControlInstance*, void* window, SetupObject*, const char16_t* text) {
  SetWindowTextW(static_cast<HWND>(window), reinterpret_cast<const wchar_t*>(text ? text : u""));
}

int Handler(ControlInstance* instance, void*, uint32_t message, uintptr_t wParam, intptr_t, intptr_t* result) {
  switch (message) {
    case kReflectedCommand:
      if (HIWORD(wParam) != EN_CHANGE) return 0;
      if (!instance->reentry) TextChanged(instance);
      *result = 0;
      return 1;
    case kControlValidateMessage:
      *result = Accepts(instance) ? 1 : 0;
      return 1;
  }
  return 0;
}

}  // namespace

const ControlMethods kEditBoxMethods = {
    Handler,      // handler
    SetFromText,  // set-from-text
};
