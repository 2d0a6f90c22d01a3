// c002 push button: a click sends event 4, whose result is the command's; the button's image and
// the elevation shield at initialisation.
#include <windows.h>

#include <commctrl.h>

#include "runtime/heap.h"
#include "runtime/modules.h"
#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/dialog_messages.h"
#include "ui/window_text.h"

namespace {

// A button with the icon or bitmap style gets the image named by its text.
void LoadImageOfButton(ControlInstance* instance) {
  LONG style = GetWindowLongW(instance->window, GWL_STYLE);
  if (style & (BS_ICON | BS_BITMAP)) {
    char16_t* name = WindowTextCopy(instance->window);
    bool icon = style & BS_ICON;
    HANDLE image = LoadImageW(ModuleInstance(), reinterpret_cast<const wchar_t*>(name), icon ? IMAGE_ICON : IMAGE_BITMAP,
                              0, 0, LR_DEFAULTSIZE);
    MemFree(name);
    if (image) {
      if (icon) instance->icon = static_cast<HICON>(image);
      else instance->bitmap = static_cast<HBITMAP>(image);
      SendMessageW(instance->window, BM_SETIMAGE, icon ? IMAGE_ICON : IMAGE_BITMAP, reinterpret_cast<LPARAM>(image));
    }
  }
  if (SlotU32(instance->control, kControlFlags) & kControlFlagShield)
    SendMessageW(instance->window, BCM_SETSHIELD, 0, TRUE);
}

int Handler(ControlInstance* instance, void*, uint32_t message, uintptr_t wParam, intptr_t, intptr_t* result) {
  switch (message) {
    case kControlInitMessage:
      LoadImageOfButton(instance);
      return 0;
    case kReflectedCommand:
      if (HIWORD(wParam) != BN_CLICKED) return 0;
      *result = ControlSendEvent(instance, kEventClicked, 0, 0);
      return 1;
  }
  return 0;
}

}  // namespace

const ControlMethods kPushButtonMethods = {
    Handler,  // handler
    nullptr,  // set-from-text
};
