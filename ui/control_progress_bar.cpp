// c017 progress bar: a range of 0-1000 (thousandths, variable 504), endless mode by flag; the
// position is the absolute value of the number in the variable.
#include <windows.h>

#include <commctrl.h>

#include "runtime/number_parse.h"
#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/dialog_messages.h"

namespace {

constexpr LPARAM kRangeEnd = 1000;

void Initialise(ControlInstance* instance) {
  HWND window = instance->window;
  SendMessageW(window, PBM_SETRANGE32, 0, kRangeEnd);
  if (!(SlotU32(instance->control, kControlFlags) & kControlFlagEndless)) return;
  SetWindowLongW(window, GWL_STYLE, GetWindowLongW(window, GWL_STYLE) | PBS_MARQUEE);
  SendMessageW(window, PBM_SETMARQUEE, TRUE, 0);
}

void SetFromText(ControlInstance*, void* window, SetupObject*, const char16_t* text) {
  int64_t position = NumberParseDecimal64(text ? text : u"");
  if (position < 0) position = -position;
  SendMessageW(static_cast<HWND>(window), PBM_SETPOS, WPARAM(position), 0);
}

int Handler(ControlInstance* instance, void*, uint32_t message, uintptr_t, intptr_t, intptr_t*) {
  if (message == kControlInitMessage) Initialise(instance);
  return 0;
}

}  // namespace

const ControlMethods kProgressBarMethods = {
    Handler,      // handler
    SetFromText,  // set-from-text
};
