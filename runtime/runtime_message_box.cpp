#include "runtime/runtime_message_box.h"

#include "runtime/process_context.h"
#include "runtime/text.h"

namespace {
constexpr size_t kTextCapacity = 1025;
}

int RuntimeMessageBoxV(HWND owner, uint32_t flags, const char16_t* format, va_list args) {
  if (!format) return -1;
  ProcessContext* process = Process();
  if (process && !process->interactive_desktop) flags |= MB_SERVICE_NOTIFICATION;
  if (flags & MB_SERVICE_NOTIFICATION) {
    owner = nullptr;
  } else {
    HWND window = owner ? owner : GetActiveWindow();
    owner = window ? GetLastActivePopup(window) : nullptr;
  }
  char16_t text[kTextCapacity];
  const char16_t* shown = format;
  if (!(flags & kRuntimeBoxUnformatted)) {
    TextFormatV(text, text + kTextCapacity - 1, format, args);
    shown = text;
  }
  const char16_t* title = process && process->base_name && *process->base_name ? process->base_name
                                                                             : u"Vennick runtime support";
  return MessageBoxW(owner, reinterpret_cast<const wchar_t*>(shown), reinterpret_cast<const wchar_t*>(title), flags);
}

int RuntimeMessageBox(HWND owner, uint32_t flags, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  int result = RuntimeMessageBoxV(owner, flags, format, args);
  va_end(args);
  return result;
}
