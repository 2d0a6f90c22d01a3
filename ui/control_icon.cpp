// c012 icon picture: a static whose type is an image type gets the program's icon named by its text.
#include <windows.h>

#include "runtime/heap.h"
#include "runtime/modules.h"
#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/dialog_messages.h"
#include "ui/window_text.h"

namespace {

// The two lowest bits of the static type: both clear for the text and frame types.
constexpr LONG kImageTypeBits = 0x3;

void LoadIconOfText(ControlInstance* instance) {
  HWND window = instance->window;
  if (!(GetWindowLongW(window, GWL_STYLE) & kImageTypeBits)) return;
  char16_t* name = WindowTextCopy(window);
  auto icon = static_cast<HICON>(
      LoadImageW(ModuleInstance(), reinterpret_cast<const wchar_t*>(name), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  MemFree(name);
  if (!icon) return;
  if (instance->icon) DestroyIcon(instance->icon);
  instance->icon = icon;
  SendMessageW(window, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
}

int Handler(ControlInstance* instance, void*, uint32_t message, uintptr_t, intptr_t, intptr_t*) {
  if (message == kControlInitMessage) LoadIconOfText(instance);
  return 0;
}

}  // namespace

const ControlMethods kIconPictureMethods = {
    Handler,  // handler
    nullptr,  // set-from-text
};
